#include "../testsupport.h"
#include "datafolder.h"
#include "startup.h"

using namespace Qt::StringLiterals;

namespace {

const QString TextFiles[] = {u"NoReserve.dat"_s, u"ebayid.dat"_s, u"thankyou.dat"_s,
                             u"shipping.dat"_s, u"payment.dat"_s};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void programFolder_data();
    void programFolder();
    void readsTheTextFiles();
    void firstRunPath_data();
    void firstRunPath();
    void savedPath();
    void shortPrefsReadAsZeroPadded();
    void readsColoursWithDefaultsForMissingSlots_data();
    void readsColoursWithDefaultsForMissingSlots();
    void failsOnMissingOrEmptyTextFile_data();
    void failsOnMissingOrEmptyTextFile();
    void stopsAtTheFirstFailingFile();
    void failsOnUnreadableRecordFile_data();
    void failsOnUnreadableRecordFile();
    void undoesCreatedRecordFilesWhenCreationFails();
    void prefersTheNoReserveSpellingItReads();
};

void TestStartup::programFolder_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("folder");

    QTest::newRow("ordinary folder") << u"/opt/tavrin"_s << u"/opt/tavrin/"_s;
    QTest::newRow("already ends in a slash") << u"/opt/tavrin/"_s << u"/opt/tavrin/"_s;
    QTest::newRow("several slashes") << u"/opt/tavrin//"_s << u"/opt/tavrin/"_s;
    QTest::newRow("root") << u"/"_s << u"/"_s;
    QTest::newRow("drive root") << u"C:/"_s << u"C:/"_s;
    QTest::newRow("folder on a drive") << u"C:/Tavrin"_s << u"C:/Tavrin/"_s;
}

void TestStartup::programFolder()
{
    QFETCH(QString, reported);
    QFETCH(QString, folder);
    QCOMPARE(programFolderFrom(reported), folder);
}

void TestStartup::readsTheTextFiles()
{
    DataFolder folder;
    folder.writeTexts();
    folder.write(u"NoReserve.dat"_s, "  No reserve!  \r\nnever read\r\n");
    folder.write(u"thankyou.dat"_s, "Thanks\rmore");
    folder.write(u"shipping.dat"_s, "\r\n  Ships fast\r\nInsured  \r\n\r\n");
    folder.write(u"payment.dat"_s, "Pay\nsoon");

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    const ListingSettings &s = session.settings;
    QCOMPARE(s.text(TextField::NoReserve), u"  No reserve!  "_s);
    QCOMPARE(s.text(TextField::AuctionId), u"seller42"_s);
    QCOMPARE(s.text(TextField::ThankYou), u"Thanks"_s);
    QCOMPARE(s.text(TextField::Shipping), u"Ships fast\r\nInsured  \r\n"_s);
    QCOMPARE(s.text(TextField::Payment), u"Pay\nsoon"_s);
    QCOMPARE(session.loaded.noReserve, u"  No reserve!  "_s);
    QCOMPARE(session.loaded.auctionId, u"seller42"_s);
    QCOMPARE(session.loaded.thankYou, u"Thanks"_s);
    QCOMPARE(session.loaded.shipping, u"  Ships fast\rInsured  \r"_s);
    QCOMPARE(session.loaded.payment, u"Pay\nsoon"_s);
    for (TextField field : {TextField::MainTitle, TextField::SubTitle, TextField::Description,
                            TextField::Condition}) {
        QVERIFY(s.text(field).isEmpty());
    }
    QCOMPARE(session.programFolder, folder.path());
}

void TestStartup::firstRunPath_data()
{
    QTest::addColumn<bool>("prefsPresent");
    QTest::addColumn<bool>("createRecords");

    QTest::newRow("prefs.dat empty") << true << true;
    QTest::newRow("prefs.dat absent, created") << false << true;
    QTest::newRow("prefs.dat absent, folder left alone") << false << false;
}

void TestStartup::firstRunPath()
{
    QFETCH(bool, prefsPresent);
    QFETCH(bool, createRecords);
    DataFolder folder;
    folder.writeTexts();
    if (prefsPresent) {
        folder.write(u"prefs.dat"_s, {});
    }

    Session session;
    const auto records =
        createRecords ? RecordFiles::CreateWhenAbsent : RecordFiles::LeaveFolderUntouched;
    QCOMPARE(startup(session, folder.path(), records), std::nullopt);

    const ListingSettings &s = session.settings;
    QCOMPARE(s.sectionOrder(),
             names("Title|No Reserve|Description|Condition|Payment|Shipping|Thank You"));
    for (SectionId id : SwitchableSections) {
        QVERIFY(s.isSwitchedOn(id));
    }
    QCOMPARE(markedItems(s), (QStringList{u"HeaderSolid"_s, u"Headerleft"_s, u"fontarial"_s}));
    QCOMPARE(session.prefs.bytes(), QByteArray(210, '\0'));

    QCOMPARE(folder.exists(u"prefs.dat"_s), createRecords || prefsPresent);
    QCOMPARE(folder.exists(u"colorset.dat"_s), createRecords);
    if (createRecords) {
        QCOMPARE(folder.read(u"prefs.dat"_s), QByteArray());
        QCOMPARE(folder.read(u"colorset.dat"_s), QByteArray());
    }
}

// The saved order and every style byte reach the settings; the record is kept as read.
void TestStartup::savedPath()
{
    DataFolder folder;
    folder.writeTexts();
    const QByteArray bytes = nameSlot("Title") + nameSlot("Description") + nameSlot("No Reserve") +
                             nameSlot("Payment") + QByteArray(120, ' ') + "FCC6LCLLCL" +
                             QByteArray("1234567\0", 8) + QByteArray(24, 'r');
    QCOMPARE(bytes.size(), 210);
    folder.write(u"prefs.dat"_s, bytes);

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.prefs.bytes(), bytes);
    const ListingSettings &s = session.settings;
    QCOMPARE(s.sectionOrder(), names("Title|Description|No Reserve|Payment"));
    for (SectionId id : SwitchableSections) {
        QCOMPARE(s.isSwitchedOn(id), id == SectionId::NoReserve || id == SectionId::Payment);
    }
    QCOMPARE(markedItems(s),
             names("foldertab|headercenter|fontlucidaconsole|titlsize1|descsize2|condsize3|"
                   "thnksize4|shipsize5|pmntsize6|rsrvsize7|hedrsize1|titlcent|rsrvleft|desccent|"
                   "condleft|thnkcent|shipleft|pmntleft"));
}

void TestStartup::shortPrefsReadAsZeroPadded()
{
    DataFolder folder;
    folder.writeTexts();
    folder.write(u"prefs.dat"_s, nameSlot("Description") + nameSlot("Thank You"));

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.prefs.bytes(),
             nameSlot("Description") + nameSlot("Thank You") + QByteArray(186, '\0'));
    // The padding's zero bytes are not blanks: each empty slot is a name of twelve zero bytes.
    QStringList expected{u"Description"_s, u"Thank You"_s};
    for (int i = 2; i < 14; ++i) {
        expected.append(QString(12, QChar(0)));
    }
    QCOMPARE(session.settings.sectionOrder(), expected);
    QVERIFY(session.settings.isSwitchedOn(SectionId::ThankYou));
    QCOMPARE(session.settings.style(SectionId::Title).fontSize, std::optional<int>(5));
    QCOMPARE(session.settings.headerSize(), std::optional<int>(1));
}

void TestStartup::readsColoursWithDefaultsForMissingSlots_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("slotsFromFile");

    const QByteArray whole = QByteArray("336600").repeated(16);
    QTest::newRow("absent") << false << QByteArray() << 0;
    QTest::newRow("empty") << true << QByteArray() << 0;
    QTest::newRow("half a slot") << true << whole.left(3) << 0;
    QTest::newRow("five names") << true << whole.left(30) << 5;
    QTest::newRow("one byte short") << true << whole.left(95) << 15;
    QTest::newRow("whole with later bytes") << true << whole + "extra" << 16;
}

void TestStartup::readsColoursWithDefaultsForMissingSlots()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, bytes);
    QFETCH(int, slotsFromFile);
    DataFolder folder;
    folder.writeTexts();
    if (present) {
        folder.write(u"colorset.dat"_s, bytes);
    }
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    // The shipped scheme, from the table of default colours.
    const char *const shipped[] = {"FFFFFF", "000033", "990000", "003300", "330000", "003333",
                                   "000066", "000000", "336699", "99CCFF", "FFFFCC", "CCFFCC",
                                   "FFCC99", "CCFFFF", "CCCCFF", "FFFFFF"};
    for (int k = 0; k < 16; ++k) {
        const QString expected = k < slotsFromFile ? u"336600"_s : QString::fromLatin1(shipped[k]);
        QCOMPARE(session.settings.colors().slot(static_cast<ColorSlotId>(k)).text(), expected);
    }
}

void TestStartup::failsOnMissingOrEmptyTextFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QString>("reason");
    for (const QString &file : TextFiles) {
        QTest::addRow("%s missing", qPrintable(file)) << file << false << u"file not found"_s;
        QTest::addRow("%s empty", qPrintable(file)) << file << true << u"input past end of file"_s;
    }
}

void TestStartup::failsOnMissingOrEmptyTextFile()
{
    QFETCH(QString, file);
    QFETCH(bool, empty);
    QFETCH(QString, reason);
    DataFolder folder;
    folder.writeTexts();
    QVERIFY(QFile::remove(folder.file(file)));
    if (empty) {
        folder.write(file, {});
    }
    const auto before = folder.snapshot();

    Session session;
    const std::optional<FileError> error = startup(session, folder.path());
    QVERIFY(error);
    QCOMPARE(error->fileName, file);
    QCOMPARE(error->folder, folder.path());
    QCOMPARE(error->reason, reason);
    // Nothing is written: the record files are not even created.
    QCOMPARE(folder.snapshot(), before);
}

void TestStartup::stopsAtTheFirstFailingFile()
{
    DataFolder folder;
    folder.writeTexts();
    QVERIFY(QFile::remove(folder.file(u"thankyou.dat"_s)));
    QVERIFY(QFile::remove(folder.file(u"payment.dat"_s)));

    Session session;
    const std::optional<FileError> error = startup(session, folder.path());
    QVERIFY(error);
    QCOMPARE(error->fileName, u"thankyou.dat"_s);
    // The files before it were read.
    QCOMPARE(session.settings.text(TextField::NoReserve), u"No reserve!"_s);
    QCOMPARE(session.settings.text(TextField::AuctionId), u"seller42"_s);
    QVERIFY(session.settings.text(TextField::Shipping).isEmpty());
}

void TestStartup::failsOnUnreadableRecordFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("colorset.dat is a folder") << u"colorset.dat"_s;
    QTest::newRow("prefs.dat is a folder") << u"prefs.dat"_s;
    QTest::newRow("shipping.dat is a folder") << u"shipping.dat"_s;
}

void TestStartup::failsOnUnreadableRecordFile()
{
    QFETCH(QString, file);
    DataFolder folder;
    folder.writeTexts();
    QFile::remove(folder.file(file));
    folder.makeDirectory(file);
    const auto before = folder.snapshot();

    Session session;
    const std::optional<FileError> error = startup(session, folder.path());
    QVERIFY(error);
    QCOMPARE(error->fileName, file);
    QVERIFY(!error->reason.isEmpty());
    QCOMPARE(folder.snapshot(), before);
}

void TestStartup::undoesCreatedRecordFilesWhenCreationFails()
{
#ifdef Q_OS_UNIX
    DataFolder folder;
    folder.writeTexts();
    // A link to nowhere: the file is absent, yet nothing can be created under its name.
    QVERIFY(QFile::link(folder.file(u"missing/prefs.dat"_s), folder.file(u"prefs.dat"_s)));
    const auto before = folder.snapshot();

    Session session;
    const std::optional<FileError> error = startup(session, folder.path());
    QVERIFY(error);
    QCOMPARE(error->fileName, u"prefs.dat"_s);
    QVERIFY(!folder.exists(u"colorset.dat"_s));
    QCOMPARE(folder.snapshot(), before);
#else
    QSKIP("needs symbolic links");
#endif
}

// Any letter case is found (the saving tests read each spelling); with two spellings present
// the one the reader names wins.
void TestStartup::prefersTheNoReserveSpellingItReads()
{
    DataFolder folder;
    folder.writeTexts();
    folder.write(u"noreserve.dat"_s, "written spelling\r\n");
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.noReserveFileName, u"NoReserve.dat"_s);
    QCOMPARE(session.settings.text(TextField::NoReserve), u"No reserve!"_s);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
