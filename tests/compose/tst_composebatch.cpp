#include "composer.h"
#include "composerun.h"
#include "datafolder.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// One listing a batch should write: its file name and the texts the single form gets for it.
struct Listing
{
    QString file;
    QString mainTitle;
    QString subTitle;
    QString description;
    QString condition;
};
using Listings = QList<Listing>;

// A program folder as shipped.
void copyDefaults(const DataFolder &folder)
{
    const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
    const QStringList names = defaults.entryList(QDir::Files);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names) {
        QVERIFY(QFile::copy(defaults.filePath(name), folder.file(name)));
    }
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// What a batch lists on standard output: one native path a line.
QString listOf(const DataFolder &output, const QStringList &names)
{
    QString list;
    for (const QString &name : names) {
        list += native(output.file(name)) + u'\n';
    }
    return list;
}

QStringList errLines(const Run &run)
{
    return QString::fromUtf8(run.err).split(u'\n', Qt::SkipEmptyParts);
}

const QByteArray ThreeRows = "main title,description\r\n"
                             "Jug,plain\r\n"
                             "Vase,\"<b onclick=alert(1)>tall</b>\"\r\n"
                             "Bowl,round\r\n";

} // namespace

Q_DECLARE_METATYPE(Listings)

class TestComposeBatch : public QObject
{
    Q_OBJECT

private slots:
    void writesOneListingPerRow_data();
    void writesOneListingPerRow();
    void malformedBatchWritesNothing_data();
    void malformedBatchWritesNothing();
    void stopsAtAFileThatCannotBeWritten();
    void checkReportsFindings_data();
    void checkReportsFindings();
    void batchCheckNamesTheListingAtFault();
    void showsProgressOnlyOnATerminal();
};

void TestComposeBatch::writesOneListingPerRow_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<Listings>("listings");
    QTest::addColumn<QString>("warning"); // what standard error names, empty when nothing

    QTest::newRow("commas, line breaks in quotes, repeated and empty titles")
        << QByteArray("main title,sub title,description,condition\r\n"
                      "Blue Vase,Hand made,\"Tall vase.\nNo chips, no \"\"cracks\"\".\",As new\r\n"
                      "Blue Vase,Second,\"one\r\ntwo\rthree\",Used\r\n"
                      ",No title,x,y\r\n"
                      "Lamp: 1.5W!,,,\r\n")
        << Listings{
               {u"Blue Vase.txt"_s, u"Blue Vase"_s, u"Hand made"_s,
                u"Tall vase.\r\nNo chips, no \"cracks\"."_s, u"As new"_s},
               {u"Blue Vase (2).txt"_s, u"Blue Vase"_s, u"Second"_s, u"one\r\ntwo\r\nthree"_s,
                u"Used"_s},
               {u"listing.txt"_s, u""_s, u"No title"_s, u"x"_s, u"y"_s},
               {u"Lamp 15W.txt"_s, u"Lamp: 1.5W!"_s, u""_s, u""_s, u""_s},
           }
        << QString();
    QTest::newRow("semicolons, byte-order mark, blank row, extra column")
        << QByteArray("\xEF\xBB\xBFMain Title;Description;Price\r\n"
                      "Caf\xC3\xA9 Table;\"Oak; solid\nlegs\";12,50\r\n"
                      ";;\r\n"
                      "  Vase  ;plain;3\r\n")
        << Listings{
               {u"Caf Table.txt"_s, u"Caf\u00e9 Table"_s, u""_s, u"Oak; solid\r\nlegs"_s, u""_s},
               {u"Vase.txt"_s, u"  Vase  "_s, u""_s, u"plain"_s, u""_s},
           }
        << u"Price"_s;
}

void TestComposeBatch::writesOneListingPerRow()
{
    QFETCH(QByteArray, csv);
    QFETCH(Listings, listings);
    QFETCH(QString, warning);
    DataFolder program;
    copyDefaults(program);
    const auto before = program.snapshot();
    DataFolder inputs;
    inputs.write(u"items.csv"_s, csv);

    // The expected pages come from the single form, one process per listing.
    QMap<QString, QByteArray> expected;
    QStringList names;
    for (const Listing &listing : listings) {
        const Run single =
            compose({u"--folder"_s, program.path(), u"--main-title"_s, listing.mainTitle,
                     u"--sub-title"_s, listing.subTitle, u"--description"_s, listing.description,
                     u"--condition"_s, listing.condition});
        QCOMPARE(single.exitCode, 0);
        expected.insert(listing.file, single.out);
        names << listing.file;
    }

    for (const bool check : {false, true}) {
        DataFolder output;
        QStringList arguments{u"--folder"_s,     program.path(),
                              u"--batch"_s,      inputs.file(u"items.csv"_s),
                              u"--output-dir"_s, output.path()};
        if (check) {
            arguments << u"--check"_s;
        }
        const Run run = compose(arguments);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QString::fromUtf8(run.out), listOf(output, names));
        if (warning.isEmpty()) {
            QVERIFY2(run.err.isEmpty(), run.err.constData());
        } else {
            const QStringList lines = errLines(run);
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines[0].startsWith(native(inputs.file(u"items.csv:1: "_s))),
                     qPrintable(lines[0]));
            QVERIFY2(lines[0].contains(warning), qPrintable(lines[0]));
        }
        QCOMPARE(output.snapshot(), expected);
    }
    QCOMPARE(program.snapshot(), before);
}

void TestComposeBatch::malformedBatchWritesNothing_data()
{
    QTest::addColumn<QByteArray>("csv"); // "<none>": no such file
    QTest::addColumn<QString>("message");

    QTest::newRow("unterminated quote after a multi-line field")
        << QByteArray("main title,description\r\n"
                      "Vase,\"two\r\nlines\"\r\n"
                      "Jug,plain\r\n"
                      "Bowl,\"never closed\r\n"
                      "more\r\n")
        << u"items.csv:5: "_s;
    QTest::newRow("more fields than the header") << QByteArray("main title;description\n"
                                                               "Vase;\"a\nb\"\n"
                                                               "Jug;plain;extra\n")
                                                 << u"items.csv:4: "_s;
    QTest::newRow("no such file") << QByteArray("<none>")
                                  << u"tavrin-compose: cannot read \"items.csv\": "_s;
}

void TestComposeBatch::malformedBatchWritesNothing()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    DataFolder program;
    copyDefaults(program);
    const auto before = program.snapshot();
    DataFolder output;
    output.write(u"Vase.txt"_s, "an earlier listing");
    const auto outputBefore = output.snapshot();
    DataFolder inputs;
    if (csv != "<none>") {
        inputs.write(u"items.csv"_s, csv);
    }

    // Run where the batch file lies, so that the message names it as given.
    const Run run = compose({u"--folder"_s, program.path(), u"--batch"_s, u"items.csv"_s,
                             u"--output-dir"_s, output.path()},
                            ComposerProgram, inputs.path());
    QCOMPARE(run.exitCode, int(Composer::FileFailure));
    QVERIFY(run.out.isEmpty());
    const QStringList lines = errLines(run);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(message), qPrintable(lines[0]));
    QCOMPARE(output.snapshot(), outputBefore);
    QCOMPARE(program.snapshot(), before);
}

void TestComposeBatch::stopsAtAFileThatCannotBeWritten()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a symbolic link into a missing folder");
#endif
    DataFolder program;
    copyDefaults(program);
    DataFolder inputs;
    inputs.write(u"items.csv"_s, ThreeRows);
    DataFolder output;
    // The second listing's name leads nowhere; no check done before writing can see that.
    QVERIFY(QFile::link(u"/nonexistent-tavrin-folder/x"_s, output.file(u"Vase.txt"_s)));

    const Run run = compose({u"--folder"_s, program.path(), u"--batch"_s,
                             inputs.file(u"items.csv"_s), u"--output-dir"_s, output.path()});
    QCOMPARE(run.exitCode, int(Composer::FileFailure));
    QCOMPARE(QString::fromUtf8(run.out), listOf(output, {u"Jug.txt"_s}));
    const QStringList lines = errLines(run);
    QCOMPARE(lines.size(), 1);
    const QString prefix =
        u"tavrin-compose: cannot write \"%1\": "_s.arg(native(output.file(u"Vase.txt"_s)));
    QVERIFY2(lines[0].startsWith(prefix) && lines[0].endsWith(u'.'), qPrintable(lines[0]));
    QVERIFY(output.exists(u"Jug.txt"_s));
    QVERIFY(!output.exists(u"Bowl.txt"_s));
}

void TestComposeBatch::checkReportsFindings_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("findings"); // what each finding line names, in page order

    QTest::newRow("clean") << u"<p><b>Bold</b> and <a href=\"https://example.com/a\">a "
                              "link</a></p>"_s
                           << QStringList{};
    QTest::newRow("script, event handler, plain http")
        << u"<SCRIPT>x</SCRIPT>\n<b onClick=y>b</b>\n"
           "<a href=http://example.com>a</a>"_s
        << QStringList{u"script"_s, u"onclick"_s, u"http://example.com"_s};
}

void TestComposeBatch::checkReportsFindings()
{
    QFETCH(QString, description);
    QFETCH(QStringList, findings);
    DataFolder program;
    copyDefaults(program);
    const auto before = program.snapshot();
    const QStringList texts{u"--folder"_s, program.path(),     u"--main-title"_s,
                            u"Vase"_s,     u"--description"_s, description};
    const Run unchecked = compose(texts);
    QCOMPARE(unchecked.exitCode, 0);
    const int status = findings.isEmpty() ? Composer::Success : Composer::Findings;

    DataFolder output;
    const Run toFile =
        compose(texts + QStringList{u"--check"_s, u"--output"_s, output.file(u"page.txt"_s)});
    QCOMPARE(toFile.exitCode, status);
    QVERIFY(toFile.out.isEmpty());
    QCOMPARE(output.read(u"page.txt"_s), unchecked.out);
    const QStringList lines = errLines(toFile);
    QCOMPARE(lines.size(), findings.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QVERIFY2(lines[i].startsWith(u"Description: "_s), qPrintable(lines[i]));
        QVERIFY2(lines[i].contains(findings[i], Qt::CaseInsensitive), qPrintable(lines[i]));
    }

    const Run toStdout = compose(texts + QStringList{u"--check"_s});
    QCOMPARE(toStdout.exitCode, status);
    QCOMPARE(toStdout.out, unchecked.out);
    QCOMPARE(toStdout.err, toFile.err);
    QCOMPARE(program.snapshot(), before);
}

void TestComposeBatch::batchCheckNamesTheListingAtFault()
{
    DataFolder program;
    copyDefaults(program);
    DataFolder inputs;
    inputs.write(u"items.csv"_s, ThreeRows);
    DataFolder output;

    const Run run =
        compose({u"--folder"_s, program.path(), u"--batch"_s, inputs.file(u"items.csv"_s),
                 u"--output-dir"_s, output.path(), u"--check"_s});
    QCOMPARE(run.exitCode, int(Composer::Findings));
    const QStringList names{u"Jug.txt"_s, u"Vase.txt"_s, u"Bowl.txt"_s};
    QCOMPARE(QString::fromUtf8(run.out), listOf(output, names));
    for (const QString &name : names) {
        QVERIFY2(output.read(name).startsWith("<"), qPrintable(name));
    }
    const QStringList lines = errLines(run);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(native(output.file(u"Vase.txt: Description: "_s))),
             qPrintable(lines[0]));
    QVERIFY2(lines[0].contains(u"onclick"_s), qPrintable(lines[0]));
}

void TestComposeBatch::showsProgressOnlyOnATerminal()
{
    DataFolder program;
    copyDefaults(program);
    DataFolder inputs;
    inputs.write(u"items.csv"_s, ThreeRows);

    for (const bool terminal : {false, true}) {
        DataFolder output;
        const Run run =
            composeInProcess({u"--folder"_s, program.path(), u"--batch"_s,
                              inputs.file(u"items.csv"_s), u"--output-dir"_s, output.path()},
                             u"/nowhere/"_s, Composer::Streams{terminal});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QString::fromUtf8(run.out),
                 listOf(output, {u"Jug.txt"_s, u"Vase.txt"_s, u"Bowl.txt"_s}));
        if (!terminal) {
            QVERIFY2(run.err.isEmpty(), run.err.constData());
            continue;
        }
        // One state of the line per listing, each drawn over the last, and the line ended.
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.startsWith(u'\r') && err.endsWith(u'\n') && err.count(u'\n') == 1,
                 qPrintable(err));
        const QStringList states = err.chopped(1).split(u'\r', Qt::SkipEmptyParts);
        QCOMPARE(states.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(states[i].contains(u"%1 of 3"_s.arg(i + 1)), qPrintable(states[i]));
        }
    }
}

QTEST_GUILESS_MAIN(TestComposeBatch)
#include "tst_composebatch.moc"
