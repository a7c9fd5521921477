#include "composer.h"
#include "composerun.h"
#include "datafolder.h"
#include "defaultcolours.h"
#include "pagewriter.h"
#include "textrules.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

using DataFiles = QMap<QString, QByteArray>;

namespace {

QByteArray slot(const char *name)
{
    QByteArray field(name);
    return field + QByteArray(12 - field.size(), ' ');
}

// The texts of DataFolder::writeTexts as the window shows them.
ListingSettings withFolderTexts()
{
    ListingSettings s;
    s.setText(TextField::NoReserve, u"No reserve!"_s);
    s.setText(TextField::AuctionId, u"seller42"_s);
    s.setText(TextField::ThankYou, u"Thanks"_s);
    s.setText(TextField::Shipping, u"Ships fast"_s);
    s.setText(TextField::Payment, u"Pay soon"_s);
    return s;
}

// 54 letters, then a character outside the BMP as the 55th: it must stay whole.
const QString LongTitle = QString(54, u'T') + u"\U0001F600 and more"_s;
const QString CutTitle = QString(54, u'T') + u"\U0001F600"_s;

} // namespace

Q_DECLARE_METATYPE(ListingSettings)

class TestCompose : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void normalizesLineBreaks_data();
    void normalizesLineBreaks();
    void badUsage_data();
    void badUsage();
    void helpAndVersion();
    void refusesToOverwriteADataFile();

    void composesLikeThePageWriter_data();
    void composesLikeThePageWriter();
    void readsDescriptionAndConditionFiles();
    void defaultFolderIsTheProgramFolder();
    void failsOnDataFiles_data();
    void failsOnDataFiles();
    void failsOnInputFiles_data();
    void failsOnInputFiles();
    void failsOnUnwritableOutput_data();
    void failsOnUnwritableOutput();
    void reportsAFullStandardOutput();
    void badUsageAsAProcess();
};

void TestCompose::initTestCase()
{
    QVERIFY2(QFileInfo(ComposerProgram).isExecutable(), qPrintable(ComposerProgram));
}

void TestCompose::normalizesLineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("none") << u"abc"_s << u"abc"_s;
    QTest::newRow("CR LF kept") << u"a\r\nb"_s << u"a\r\nb"_s;
    QTest::newRow("lone LF") << u"a\nb"_s << u"a\r\nb"_s;
    QTest::newRow("lone CR") << u"a\rb"_s << u"a\r\nb"_s;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("CR CR LF is two breaks") << u"a\r\r\nb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("final break kept") << u"a\n"_s << u"a\r\n"_s;
    QTest::newRow("only breaks") << u"\n\r\r\n"_s << u"\r\n\r\n\r\n"_s;
}

void TestCompose::normalizesLineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(normalizeLineBreaks(text), expected);
}

void TestCompose::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("unknown option") << QStringList{u"--colour"_s, u"red"_s} << u"colour"_s;
    QTest::newRow("positional argument") << QStringList{u"title"_s} << u"title"_s;
    QTest::newRow("missing value") << QStringList{u"--folder"_s} << u"folder"_s;
    QTest::newRow("description twice over")
        << QStringList{u"--description"_s, u"a"_s, u"--description-file"_s, u"f"_s}
        << u"--description-file"_s;
    QTest::newRow("condition twice over")
        << QStringList{u"--condition-file"_s, u"f"_s, u"--condition"_s, u"a"_s}
        << u"--condition-file"_s;
    QTest::newRow("option repeated")
        << QStringList{u"--main-title"_s, u"a"_s, u"--main-title"_s, u"b"_s} << u"main-title"_s;
    QTest::newRow("empty folder") << QStringList{u"--folder"_s, u""_s} << u"folder"_s;
    QTest::newRow("empty output") << QStringList{u"--output"_s, u""_s} << u"output"_s;
    QTest::newRow("empty description file")
        << QStringList{u"--description-file"_s, u""_s} << u"description-file"_s;

    const QStringList batch{u"--batch"_s, u"items.csv"_s, u"--output-dir"_s, u"out"_s};
    QTest::newRow("batch without output dir")
        << QStringList{u"--batch"_s, u"items.csv"_s} << u"--output-dir"_s;
    QTest::newRow("output dir without batch")
        << QStringList{u"--output-dir"_s, u"out"_s, u"--main-title"_s, u"a"_s} << u"--batch"_s;
    QTest::newRow("batch with output")
        << batch + QStringList{u"--output"_s, u"a.txt"_s} << u"--output"_s;
    for (const QString &option :
         {u"--main-title"_s, u"--sub-title"_s, u"--description"_s, u"--description-file"_s,
          u"--condition"_s, u"--condition-file"_s}) {
        QTest::addRow("batch with %s", qPrintable(option))
            << batch + QStringList{option, u"x"_s} << option;
    }
    QTest::newRow("batch repeated")
        << batch + QStringList{u"--batch"_s, u"more.csv"_s} << u"--batch"_s;
    QTest::newRow("check repeated") << QStringList{u"--check"_s, u"--check"_s} << u"--check"_s;
    QTest::newRow("empty batch") << QStringList{u"--batch"_s, u""_s, u"--output-dir"_s, u"out"_s}
                                 << u"--batch"_s;
}

void TestCompose::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    const Run run = composeInProcess(arguments);
    QCOMPARE(run.exitCode, int(Composer::BadUsage));
    QVERIFY(run.out.isEmpty());
    QVERIFY2(QString::fromUtf8(run.err).contains(mentions), run.err.constData());
}

void TestCompose::helpAndVersion()
{
    const Run help = composeInProcess({u"--help"_s});
    QCOMPARE(help.exitCode, int(Composer::Success));
    for (const char *option :
         {"--folder", "--main-title", "--sub-title", "--description", "--description-file",
          "--condition", "--condition-file", "--output", "--batch", "--output-dir", "--check"}) {
        QVERIFY2(help.out.contains(option), option);
    }
    QVERIFY(help.err.isEmpty());

    const Run version = composeInProcess({u"--version"_s});
    QCOMPARE(version.exitCode, int(Composer::Success));
    QCOMPARE(version.out, QByteArray("tavrin-compose 2.0.1\n"));
}

void TestCompose::refusesToOverwriteADataFile()
{
    DataFolder folder;
    folder.writeTexts();
    const auto before = folder.snapshot();
    for (const QString &name : {u"prefs.dat"_s, u"NORESERVE.DAT"_s, u"colorset.dat"_s}) {
        const Run run = compose({u"--folder"_s, folder.path(), u"--output"_s, folder.file(name)});
        QCOMPARE(run.exitCode, int(Composer::BadUsage));
        QVERIFY(!run.err.isEmpty());
        QCOMPARE(folder.snapshot(), before);
    }
}

void TestCompose::composesLikeThePageWriter_data()
{
    QTest::addColumn<DataFiles>("files");
    QTest::addColumn<ListingSettings>("expected");

    const QMap<QString, QByteArray> texts{
        {u"NoReserve.dat"_s, "No reserve!\r\n"}, {u"ebayid.dat"_s, "seller42\r\n"},
        {u"thankyou.dat"_s, "Thanks\r\n"},       {u"shipping.dat"_s, "Ships fast\r\n"},
        {u"payment.dat"_s, "Pay soon\r\n"},
    };

    {
        ListingSettings s = withFolderTexts();
        s.startFirstRun();
        s.setColors(defaultColorSet());
        QTest::newRow("first run, no record files") << texts << s;
    }
    {
        auto files = texts;
        files[u"prefs.dat"_s] = {};
        files[u"colorset.dat"_s] = "FF0000"
                                   "00FF00"
                                   "0000";
        ListingSettings s = withFolderTexts();
        s.startFirstRun();
        s.setColors(defaultColorSet());
        s.setColor(ColorSlotId::HeaderFont, u"FF0000"_s);
        s.setColor(ColorSlotId::TitleFont, u"00FF00"_s);
        QTest::newRow("first run, empty prefs, short colours") << files << s;
    }
    {
        auto files = texts;
        files[u"prefs.dat"_s] = slot("Title") + slot("Description") + slot("No Reserve") +
                                slot("Payment") + QByteArray(120, ' ') + "FRC3LCLLLC" + "71234567" +
                                QByteArray(24, '\0');
        files[u"colorset.dat"_s] = QByteArray("663399").repeated(16);
        ListingSettings s = withFolderTexts();
        s.appendRestoredName(u"Title"_s);
        s.appendRestoredName(u"Description"_s);
        s.setSwitch(SectionId::NoReserve, true);
        s.setSwitch(SectionId::Payment, true);
        s.setHeaderLook(HeaderLook::FolderTab);
        s.setHeaderAlign(HeaderAlign::Right);
        s.setFontFamily(FontFamily::ComicSans);
        for (SectionId id : AllSections) {
            s.setCentered(id, id == SectionId::Description || id == SectionId::ThankYou ||
                                  id == SectionId::NoReserve);
        }
        s.setFontSize(SectionId::Title, 7);
        s.setFontSize(SectionId::Description, 1);
        s.setFontSize(SectionId::Condition, 2);
        s.setFontSize(SectionId::ThankYou, 3);
        s.setFontSize(SectionId::Shipping, 4);
        s.setFontSize(SectionId::Payment, 5);
        s.setFontSize(SectionId::NoReserve, 6);
        s.setHeaderSize(7);
        for (int k = 0; k < ColorSet::Count; ++k) {
            s.setColor(static_cast<ColorSlotId>(k), u"663399"_s);
        }
        QTest::newRow("saved order with switches") << files << s;
    }
    {
        auto files = texts;
        files.remove(u"NoReserve.dat"_s);
        files[u"noreserve.dat"_s] = "  lower-case file  \r\nnot read\r\n";
        files[u"shipping.dat"_s] = "\r\n  line one\r\nline two\r\n\r\n";
        files[u"payment.dat"_s] = "a\nb\rc";
        ListingSettings s = withFolderTexts();
        s.setText(TextField::NoReserve, u"  lower-case file  "_s);
        s.setText(TextField::Shipping, u"line one\r\nline two\r\n"_s);
        s.setText(TextField::Payment, u"a\nb\r\nc"_s);
        s.startFirstRun();
        s.setColors(defaultColorSet());
        QTest::newRow("multi-line texts, no-reserve file in lower case") << files << s;
    }
    {
        auto files = texts;
        files[u"prefs.dat"_s] = slot("Gallery") + slot("no reserve") + slot("Shipping") +
                                slot("Shipping") + QByteArray(120, ' ') + "xyCZCxCxCx" +
                                QByteArray("08 \0A9zq", 8) + QByteArray(24, '\0');
        ListingSettings s = withFolderTexts();
        s.appendRestoredName(u"Gallery"_s);
        s.appendRestoredName(u"no reserve"_s);
        s.setSwitch(SectionId::Shipping, true);
        for (SectionId id : AllSections) {
            s.setCentered(id, id == SectionId::Description || id == SectionId::Condition ||
                                  id == SectionId::Shipping || id == SectionId::Title);
        }
        s.setFontSize(SectionId::Title, 5);
        s.setFontSize(SectionId::Description, 3);
        s.setFontSize(SectionId::Condition, 3);
        s.setFontSize(SectionId::ThankYou, 4);
        s.setFontSize(SectionId::Shipping, 3);
        s.setFontSize(SectionId::Payment, 3);
        s.setFontSize(SectionId::NoReserve, 3);
        s.setHeaderSize(1);
        s.setColors(defaultColorSet());
        QTest::newRow("damaged prefs") << files << s;
    }
}

void TestCompose::composesLikeThePageWriter()
{
    QFETCH(DataFiles, files);
    QFETCH(ListingSettings, expected);
    DataFolder folder;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        folder.write(it.key(), it.value());
    }
    const auto before = folder.snapshot();
    const QStringList texts{
        u"--main-title"_s,  LongTitle,      u"--sub-title"_s, u"  Caf\u00e9 \u2192 sub  "_s,
        u"--description"_s, u"Line\none"_s, u"--condition"_s, u"Used & <fine>"_s};
    expected.setText(TextField::MainTitle, CutTitle);
    expected.setText(TextField::SubTitle, u"  Caf\u00e9 \u2192 sub  "_s);
    expected.setText(TextField::Description, u"Line\none"_s);
    expected.setText(TextField::Condition, u"Used & <fine>"_s);
    const QByteArray page = renderPage(expected);

    const Run toStdout = compose(QStringList{u"--folder"_s, folder.path()} + texts);
    QCOMPARE(toStdout.exitCode, 0);
    QVERIFY2(toStdout.err.isEmpty(), toStdout.err.constData());
    QCOMPARE(toStdout.out, page);

    DataFolder target;
    const QString output = target.file(u"listing.txt"_s);
    target.write(u"listing.txt"_s, "an earlier listing");
    const Run toFile =
        compose(QStringList{u"--folder"_s, folder.path(), u"--output"_s, output} + texts);
    QCOMPARE(toFile.exitCode, 0);
    QVERIFY(toFile.out.isEmpty());
    QCOMPARE(target.read(u"listing.txt"_s), page);

    QCOMPARE(folder.snapshot(), before);
}

void TestCompose::readsDescriptionAndConditionFiles()
{
    DataFolder folder;
    folder.writeTexts();
    DataFolder inputs;
    inputs.write(u"description.txt"_s, "\xef\xbb\xbf"
                                       "Caf\xc3\xa9\nline two\r\nthree\rfour\n\n");
    inputs.write(u"condition.txt"_s, "  as new  ");

    const Run run = compose({u"--folder"_s, folder.path(), u"--description-file"_s,
                             inputs.file(u"description.txt"_s), u"--condition-file"_s,
                             inputs.file(u"condition.txt"_s)});
    QCOMPARE(run.exitCode, 0);

    ListingSettings expected = withFolderTexts();
    expected.startFirstRun();
    expected.setColors(defaultColorSet());
    expected.setText(TextField::Description, u"Caf\u00e9\r\nline two\r\nthree\r\nfour\r\n\r\n"_s);
    expected.setText(TextField::Condition, u"  as new  "_s);
    QCOMPARE(run.out, renderPage(expected));
}

void TestCompose::defaultFolderIsTheProgramFolder()
{
    DataFolder programFolder;
    programFolder.writeTexts();
    programFolder.write(u"thankyou.dat"_s, "From the program folder\r\n");
    const QString copy = programFolder.file(u"tavrin-compose"_s);
    QVERIFY(QFile::copy(ComposerProgram, copy));
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(ComposerProgram)));
    // The current directory holds other data files, which must play no part.
    DataFolder current;
    current.writeTexts();
    current.write(u"thankyou.dat"_s, "From the current directory\r\n");

    const Run run = compose({u"--main-title"_s, u"Lamp"_s}, copy, current.path());
    QCOMPARE(run.exitCode, 0);
    ListingSettings expected = withFolderTexts();
    expected.setText(TextField::ThankYou, u"From the program folder"_s);
    expected.setText(TextField::MainTitle, u"Lamp"_s);
    expected.startFirstRun();
    expected.setColors(defaultColorSet());
    QCOMPARE(run.out, renderPage(expected));
}

void TestCompose::failsOnDataFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content"); // "<none>" removes the file, "<dir>" makes a folder
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing text file")
        << u"thankyou.dat"_s << QByteArray("<none>") << u"file not found"_s;
    QTest::newRow("empty text file")
        << u"payment.dat"_s << QByteArray() << u"input past end of file"_s;
    QTest::newRow("colour file is a folder") << u"colorset.dat"_s << QByteArray("<dir>") << u""_s;
}

void TestCompose::failsOnDataFiles()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    DataFolder folder;
    folder.writeTexts();
    QFile::remove(folder.file(file));
    if (content == "<dir>") {
        folder.makeDirectory(file);
    } else if (content != "<none>") {
        folder.write(file, content);
    }
    const auto before = folder.snapshot();
    DataFolder target;
    target.write(u"listing.txt"_s, "earlier");

    const Run run =
        compose({u"--folder"_s, folder.path(), u"--output"_s, target.file(u"listing.txt"_s)});
    QCOMPARE(run.exitCode, int(Composer::FileFailure));
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.contains(file), qPrintable(err));
    QVERIFY2(err.contains(QDir::toNativeSeparators(folder.path())), qPrintable(err));
    QVERIFY2(err.contains(reason), qPrintable(err));
    QCOMPARE(target.read(u"listing.txt"_s), QByteArray("earlier"));
    QCOMPARE(folder.snapshot(), before);
}

void TestCompose::failsOnInputFiles_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("content"); // "<none>": no such file, "<dir>": a folder
    QTest::addColumn<QString>("reason");

    QTest::newRow("no such description file")
        << u"--description-file"_s << QByteArray("<none>") << u""_s;
    QTest::newRow("condition file is a folder")
        << u"--condition-file"_s << QByteArray("<dir>") << u""_s;
    QTest::newRow("description file not UTF-8")
        << u"--description-file"_s << QByteArray("caf\xe9\r\n") << u"not valid UTF-8"_s;
}

void TestCompose::failsOnInputFiles()
{
    QFETCH(QString, option);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    DataFolder folder;
    folder.writeTexts();
    const auto before = folder.snapshot();
    DataFolder inputs;
    if (content == "<dir>") {
        inputs.makeDirectory(u"input.txt"_s);
    } else if (content != "<none>") {
        inputs.write(u"input.txt"_s, content);
    }
    const QString output = inputs.file(u"listing.txt"_s);

    const Run run = compose(
        {u"--folder"_s, folder.path(), option, inputs.file(u"input.txt"_s), u"--output"_s, output});
    QCOMPARE(run.exitCode, int(Composer::FileFailure));
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.contains(QDir::toNativeSeparators(inputs.file(u"input.txt"_s))), qPrintable(err));
    QVERIFY2(err.contains(reason), qPrintable(err));
    QVERIFY(!QFileInfo::exists(output));
    QCOMPARE(folder.snapshot(), before);
}

void TestCompose::failsOnUnwritableOutput_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("output is a folder") << u"folder"_s;
    QTest::newRow("output under a regular file") << u"plain/listing.txt"_s;
    QTest::newRow("output in a missing folder") << u"missing/listing.txt"_s;
}

void TestCompose::failsOnUnwritableOutput()
{
    QFETCH(QString, relative);
    DataFolder folder;
    folder.writeTexts();
    const auto before = folder.snapshot();
    DataFolder target;
    target.makeDirectory(u"folder"_s);
    target.write(u"plain"_s, "a file");
    const auto targetBefore = target.snapshot();

    const Run run = compose({u"--folder"_s, folder.path(), u"--output"_s, target.file(relative)});
    QCOMPARE(run.exitCode, int(Composer::FileFailure));
    QVERIFY(run.out.isEmpty());
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.contains(QDir::toNativeSeparators(target.file(relative))), qPrintable(err));
    QCOMPARE(target.snapshot(), targetBefore);
    QCOMPARE(folder.snapshot(), before);
}

void TestCompose::reportsAFullStandardOutput()
{
    if (!QFileInfo::exists(u"/dev/full"_s)) {
        QSKIP("needs /dev/full");
    }
    DataFolder folder;
    folder.writeTexts();
    QProcess process;
    process.setStandardOutputFile(u"/dev/full"_s);
    process.start(ComposerProgram, {u"--folder"_s, folder.path()});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), int(Composer::FileFailure));
    QVERIFY(process.readAllStandardError().contains("standard output"));
}

void TestCompose::badUsageAsAProcess()
{
    const Run run = compose({u"--description"_s, u"a"_s, u"--description-file"_s, u"b"_s});
    QCOMPARE(run.exitCode, int(Composer::BadUsage));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!run.err.isEmpty());

    const Run help = compose({u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("--description-file"));
}

QTEST_GUILESS_MAIN(TestCompose)
#include "tst_compose.moc"
