#include "../testsupport.h"
#include "batchplan.h"
#include "batchwrite.h"
#include "defaultcolours.h"
#include "pagewriter.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

std::vector<BatchRow> rowsWithTitles(const QStringList &titles)
{
    std::vector<BatchRow> rows;
    int line = 2;
    for (const QString &title : titles) {
        rows.push_back(BatchRow{title, {}, {}, {}, line++});
    }
    return rows;
}

// The settings a folder would hold: reusable texts, styles and colours, and stale per-listing
// texts that every row must replace.
ListingSettings folderSettings()
{
    ListingSettings s;
    s.startFirstRun();
    s.setColors(defaultColorSet());
    s.setText(TextField::MainTitle, u"Old title"_s);
    s.setText(TextField::SubTitle, u"Old sub title"_s);
    s.setText(TextField::Description, u"Old description"_s);
    s.setText(TextField::Condition, u"Old condition"_s);
    s.setText(TextField::NoReserve, u"No reserve!"_s);
    s.setText(TextField::Payment, u"Cash"_s);
    s.setText(TextField::Shipping, u"Post"_s);
    s.setText(TextField::ThankYou, u"Thanks"_s);
    s.setText(TextField::AuctionId, u"seller42"_s);
    choose(s, names("foldertab|headercenter|desccent|descsize4|fonttimes"));
    return s;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestBatchPlan : public QObject
{
    Q_OBJECT

private slots:
    void namesFiles_data();
    void namesFiles();
    void manyRepeatsStayDistinct();
    void listingTakesTheRowsTextsAndTheFoldersRest();
    void writesEveryListing();
    void replacesFilesOfTheSameNameOnly();
    void writesNothingWhenTheFolderIsUnusable_data();
    void writesNothingWhenTheFolderIsUnusable();
    void stopsAtAFileThatCannotBeWritten();
    void checksEachListingWhenAsked();
};

void TestBatchPlan::namesFiles_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("characters outside the allowed set dropped")
        << QStringList{u"Vintage 1.5L Bottle: NEW!"_s, u"Caf\u00E9 Table"_s, u"a/b\\c.d"_s}
        << QStringList{u"Vintage 15L Bottle NEW.txt"_s, u"Caf Table.txt"_s, u"abcd.txt"_s};
    QTest::newRow("blanks trimmed at the ends, kept inside")
        << QStringList{u"  Blue  Vase  "_s, u"\tTab"_s}
        << QStringList{u"Blue  Vase.txt"_s, u"Tab.txt"_s};
    QTest::newRow("allowed punctuation kept")
        << QStringList{u"Jug (large) - set_2"_s} << QStringList{u"Jug (large) - set_2.txt"_s};
    QTest::newRow("empty names become listing, repeats numbered")
        << QStringList{u""_s, u"   "_s, u"!!!"_s, u"\u20AC"_s}
        << QStringList{u"listing.txt"_s, u"listing (2).txt"_s, u"listing (3).txt"_s,
                       u"listing (4).txt"_s};
    QTest::newRow("repeats numbered in row order")
        << QStringList{u"Vase"_s, u"Vase"_s, u"Jug"_s, u"Vase!"_s}
        << QStringList{u"Vase.txt"_s, u"Vase (2).txt"_s, u"Jug.txt"_s, u"Vase (3).txt"_s};
    QTest::newRow("letter case does not make a name new")
        << QStringList{u"Vase"_s, u"vase"_s, u"VASE"_s}
        << QStringList{u"Vase.txt"_s, u"vase (2).txt"_s, u"VASE (3).txt"_s};
    QTest::newRow("a number never takes another row's own name")
        << QStringList{u"Vase"_s, u"Vase"_s, u"vase (2)"_s}
        << QStringList{u"Vase.txt"_s, u"Vase (3).txt"_s, u"vase (2).txt"_s};
    QTest::newRow("a title that is listing meets the empty ones")
        << QStringList{u""_s, u"Listing"_s, u""_s}
        << QStringList{u"listing.txt"_s, u"Listing (2).txt"_s, u"listing (3).txt"_s};
    QTest::newRow("device names of Windows are numbered from the start")
        << QStringList{u"CON"_s,  u"nul"_s, u"Lpt1"_s,    u"aux!"_s,
                       u"com9"_s, u"CON"_s, u"Console"_s, u"com10"_s}
        << QStringList{u"CON (2).txt"_s,  u"nul (2).txt"_s, u"Lpt1 (2).txt"_s, u"aux (2).txt"_s,
                       u"com9 (2).txt"_s, u"CON (3).txt"_s, u"Console.txt"_s,  u"com10.txt"_s};
    // 54 letters, a blank and a 56th character: the cut leaves a trailing blank to trim.
    QTest::newRow("cut to 55 characters before the blanks go")
        << QStringList{QString(54, u'a') + u" b"_s} << QStringList{QString(54, u'a') + u".txt"_s};
    // A character outside the Basic Multilingual Plane is one of the 55, not two.
    QTest::newRow("the cut counts code points")
        << QStringList{u"\U0001F600"_s + QString(54, u'x') + u"yz"_s}
        << QStringList{QString(54, u'x') + u".txt"_s};
}

void TestBatchPlan::namesFiles()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, names);

    const std::vector<QString> planned = plannedFileNames(rowsWithTitles(titles));
    QCOMPARE(QStringList(planned.begin(), planned.end()), names);
}

void TestBatchPlan::manyRepeatsStayDistinct()
{
    const std::vector<QString> planned =
        plannedFileNames(rowsWithTitles(QStringList(2000, u"Vase"_s)));
    QSet<QString> seen;
    for (const QString &name : planned) {
        QVERIFY2(!seen.contains(name.toLower()), qPrintable(name));
        seen.insert(name.toLower());
    }
    QCOMPARE(planned.back(), u"Vase (2000).txt"_s);
}

void TestBatchPlan::listingTakesTheRowsTextsAndTheFoldersRest()
{
    const ListingSettings folder = folderSettings();
    const BatchRow row{QString(60, u'T'), u"Sub"_s, {}, u"Fine\r\nreally"_s, 2};
    const ListingSettings listing = listingForRow(folder, row);

    QCOMPARE(listing.text(TextField::MainTitle), QString(55, u'T'));
    QCOMPARE(listing.text(TextField::SubTitle), u"Sub"_s);
    // An empty field empties the text; the folder's stale text must not show through.
    QCOMPARE(listing.text(TextField::Description), QString());
    QCOMPARE(listing.text(TextField::Condition), u"Fine\r\nreally"_s);
    for (TextField kept : {TextField::NoReserve, TextField::Payment, TextField::Shipping,
                           TextField::ThankYou, TextField::AuctionId}) {
        QCOMPARE(listing.text(kept), folder.text(kept));
    }
    QCOMPARE(listing.headerLook(), HeaderLook::FolderTab);
    QCOMPARE(listing.headerAlign(), HeaderAlign::Center);
    QCOMPARE(listing.fontFamily(), FontFamily::TimesNewRoman);
    QCOMPARE(listing.style(SectionId::Description), folder.style(SectionId::Description));
    QCOMPARE(listing.colors(), defaultColorSet());
    QCOMPARE(listing.sectionOrder(), folder.sectionOrder());
}

void TestBatchPlan::writesEveryListing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const BatchParseResult parsed =
        parseBatchCsv("main title,description\r\nVase,\"Tall\nand blue\"\r\nvase,Small\r\n,x\r\n");
    QVERIFY(parsed.ok());
    std::vector<std::pair<qsizetype, qsizetype>> progress;
    BatchOptions options;
    options.progress = [&](qsizetype done, qsizetype total) { progress.emplace_back(done, total); };

    const BatchWriteResult result = writeBatch(dir.path(), folderSettings(), parsed.rows, options);
    QVERIFY(result.ok());

    const QStringList names{u"Vase.txt"_s, u"vase (2).txt"_s, u"listing.txt"_s};
    QCOMPARE(result.written.size(), size_t(3));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(result.written[size_t(i)].path, QDir::toNativeSeparators(dir.filePath(names[i])));
        QCOMPARE(result.written[size_t(i)].line, 2 + i + (i > 0 ? 1 : 0));
        QVERIFY(result.written[size_t(i)].findings.empty());
    }
    QCOMPARE(entries(dir.path()),
             (QStringList{u"Vase.txt"_s, u"listing.txt"_s, u"vase (2).txt"_s}));

    // Composed as the single-listing form would: the folder's settings with the row's texts,
    // the field's lone LF written as the CR LF break of a text box.
    ListingSettings vase = folderSettings();
    vase.setText(TextField::MainTitle, u"Vase"_s);
    vase.setText(TextField::SubTitle, {});
    vase.setText(TextField::Description, u"Tall\r\nand blue"_s);
    vase.setText(TextField::Condition, {});
    const QByteArray page = fileBytes(dir.filePath(u"Vase.txt"_s));
    QCOMPARE(page, renderPage(vase));
    QVERIFY(page.contains("Tall<br>\r\r\n\nand blue</font>\r\n"));
    QVERIFY(!page.contains("Old"));
    QVERIFY(fileBytes(dir.filePath(u"listing.txt"_s)).contains("\r\nx</font>\r\n"));

    QCOMPARE(progress, (std::vector<std::pair<qsizetype, qsizetype>>{{1, 3}, {2, 3}, {3, 3}}));
}

void TestBatchPlan::replacesFilesOfTheSameNameOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : {u"Vase.txt"_s, u"Other.txt"_s}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier content that is longer than any page written here could be, "
                   "so that a file that was not truncated would show");
    }
    const BatchWriteResult result =
        writeBatch(dir.path(), folderSettings(), rowsWithTitles({u"Vase"_s}));
    QVERIFY(result.ok());
    QVERIFY(fileBytes(dir.filePath(u"Vase.txt"_s)).startsWith("<table"));
    QVERIFY(fileBytes(dir.filePath(u"Vase.txt"_s)).endsWith("</table>\r\n"));
    QVERIFY(fileBytes(dir.filePath(u"Other.txt"_s)).startsWith("earlier content"));
    // No temporary file is left behind.
    QCOMPARE(entries(dir.path()), (QStringList{u"Other.txt"_s, u"Vase.txt"_s}));
}

void TestBatchPlan::writesNothingWhenTheFolderIsUnusable_data()
{
    QTest::addColumn<QString>("outputDir");
    QTest::addColumn<QString>("failingPath");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder missing") << u"missing"_s << u"missing"_s << u"no such folder"_s;
    QTest::newRow("a file instead of a folder")
        << u"plain.txt"_s << u"plain.txt"_s << u"not a folder"_s;
    QTest::newRow("a folder where a listing should go")
        << u"out"_s << u"out/Jug.txt"_s << u"a folder or device of that name is in the way"_s;
}

void TestBatchPlan::writesNothingWhenTheFolderIsUnusable()
{
    QFETCH(QString, outputDir);
    QFETCH(QString, failingPath);
    QFETCH(QString, reason);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(u"out/Jug.txt"_s));
    QFile plain(root.filePath(u"plain.txt"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QStringList before = entries(root.filePath(u"out"_s));

    const BatchWriteResult result = writeBatch(root.filePath(outputDir), folderSettings(),
                                               rowsWithTitles({u"Vase"_s, u"Jug"_s}));
    QVERIFY(!result.ok());
    QCOMPARE(result.failure->path, QDir::toNativeSeparators(root.filePath(failingPath)));
    QCOMPARE(result.failure->error, reason);
    QVERIFY(result.written.empty());
    QCOMPARE(entries(root.filePath(u"out"_s)), before);
}

// A folder appears under the second name after the first file is written, as another program
// might make one: the batch stops there, reports it, and the first file stays whole.
void TestBatchPlan::stopsAtAFileThatCannotBeWritten()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BatchOptions options;
    options.progress = [&](qsizetype done, qsizetype) {
        if (done == 1) {
            QDir(dir.path()).mkdir(u"Jug.txt"_s);
        }
    };
    const BatchWriteResult result = writeBatch(
        dir.path(), folderSettings(), rowsWithTitles({u"Vase"_s, u"Jug"_s, u"Pot"_s}), options);
    QVERIFY(!result.ok());
    QCOMPARE(result.failure->path, QDir::toNativeSeparators(dir.filePath(u"Jug.txt"_s)));
    QVERIFY(!result.failure->error.isEmpty());
    QCOMPARE(result.written.size(), size_t(1));
    QCOMPARE(result.written[0].path, QDir::toNativeSeparators(dir.filePath(u"Vase.txt"_s)));
    QVERIFY(fileBytes(dir.filePath(u"Vase.txt"_s)).endsWith("</table>\r\n"));
    QCOMPARE(entries(dir.path()), (QStringList{u"Jug.txt"_s, u"Vase.txt"_s}));
}

void TestBatchPlan::checksEachListingWhenAsked()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::vector<BatchRow> rows{
        BatchRow{u"Clean"_s, {}, u"Plain <b>bold</b>"_s, {}, 2},
        BatchRow{u"Risky"_s, {}, u"<SCRIPT>go()</SCRIPT>"_s, u"<img src=http://x/a.jpg>"_s, 3},
    };
    BatchOptions options;
    options.check = true;
    const BatchWriteResult checked = writeBatch(dir.path(), folderSettings(), rows, options);
    QVERIFY(checked.ok());
    QCOMPARE(checked.written.size(), size_t(2));
    QVERIFY(checked.written[0].findings.empty());
    QStringList lines;
    for (const Finding &f : checked.written[1].findings) {
        lines += formatFinding(f);
    }
    QCOMPARE(lines,
             (QStringList{u"Description: <script> element: <SCRIPT>"_s,
                          u"Condition: plain http:// in \"src\": <img src=http://x/a.jpg>"_s}));
    // The checked page is the page written.
    ListingSettings risky = listingForRow(folderSettings(), rows[1]);
    QCOMPARE(fileBytes(dir.filePath(u"Risky.txt"_s)), renderPage(risky));

    const BatchWriteResult unchecked = writeBatch(dir.path(), folderSettings(), rows);
    QVERIFY(unchecked.written[1].findings.empty());
}

QTEST_GUILESS_MAIN(TestBatchPlan)
#include "tst_batchplan.moc"
