#include "datafolder.h"
#include "startup.h"
#include "styleitems.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString TextFiles[] = {u"NoReserve.dat"_s, u"ebayid.dat"_s, u"thankyou.dat"_s,
                             u"shipping.dat"_s, u"payment.dat"_s};

// The marks of a freshly created window: only Solid Bar, Left Justified and Arial.
QStringList markedItems(const ListingSettings &settings)
{
    QStringList names;
    for (const StyleItem &item : styleItems()) {
        if (isMarked(settings, item)) {
            names.append(item.name);
        }
    }
    return names;
}

QByteArray slot(const char *name)
{
    QByteArray field(name);
    return field + QByteArray(12 - field.size(), ' ');
}

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
    void savedPathRestoresOrderAndSwitches();
    void savedPathAppliesStyles();
    void shortPrefsReadAsZeroPadded();
    void readsColoursWithDefaultsForMissingSlots_data();
    void readsColoursWithDefaultsForMissingSlots();
    void failsOnMissingOrEmptyTextFile_data();
    void failsOnMissingOrEmptyTextFile();
    void stopsAtTheFirstFailingFile();
    void failsOnUnreadableRecordFile_data();
    void failsOnUnreadableRecordFile();
    void undoesCreatedRecordFilesWhenCreationFails();
    void findsTheNoReserveFileInAnyLetterCase_data();
    void findsTheNoReserveFileInAnyLetterCase();
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
             (QStringList{u"Title"_s, u"No Reserve"_s, u"Description"_s, u"Condition"_s,
                          u"Payment"_s, u"Shipping"_s, u"Thank You"_s}));
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

void TestStartup::savedPathRestoresOrderAndSwitches()
{
    DataFolder folder;
    folder.writeTexts();
    const QByteArray names = slot("Title") + slot("Description") + slot("No Reserve") +
                             slot("Payment") + QByteArray(120, ' ');
    folder.write(u"prefs.dat"_s, names + "SLL1LLLLLL53343331" + QByteArray(24, '\0'));

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    const ListingSettings &s = session.settings;
    QCOMPARE(s.sectionOrder(),
             (QStringList{u"Title"_s, u"Description"_s, u"No Reserve"_s, u"Payment"_s}));
    QVERIFY(s.isSwitchedOn(SectionId::NoReserve));
    QVERIFY(s.isSwitchedOn(SectionId::Payment));
    QVERIFY(!s.isSwitchedOn(SectionId::Shipping));
    QVERIFY(!s.isSwitchedOn(SectionId::Condition));
    QVERIFY(!s.isSwitchedOn(SectionId::ThankYou));
}

void TestStartup::savedPathAppliesStyles()
{
    DataFolder folder;
    folder.writeTexts();
    const QByteArray reserved(24, 'r');
    const QByteArray bytes =
        slot("Title") + QByteArray(156, ' ') + "FCC6LCLLCL" + QByteArray("1234567\0", 8) + reserved;
    QCOMPARE(bytes.size(), 210);
    folder.write(u"prefs.dat"_s, bytes);

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.prefs.bytes(), bytes);
    const ListingSettings &s = session.settings;
    QCOMPARE(
        markedItems(s),
        (QStringList{u"foldertab"_s, u"headercenter"_s, u"fontlucidaconsole"_s, u"titlsize1"_s,
                     u"descsize2"_s, u"condsize3"_s, u"thnksize4"_s, u"shipsize5"_s, u"pmntsize6"_s,
                     u"rsrvsize7"_s, u"hedrsize1"_s, u"titlcent"_s, u"rsrvleft"_s, u"desccent"_s,
                     u"condleft"_s, u"thnkcent"_s, u"shipleft"_s, u"pmntleft"_s}));
}

void TestStartup::shortPrefsReadAsZeroPadded()
{
    DataFolder folder;
    folder.writeTexts();
    folder.write(u"prefs.dat"_s, slot("Description") + slot("Thank You"));

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.prefs.bytes(),
             slot("Description") + slot("Thank You") + QByteArray(186, '\0'));
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
    QTest::newRow("five names") << true << whole.left(30) << 5;
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

void TestStartup::findsTheNoReserveFileInAnyLetterCase_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("found");

    QTest::newRow("as read") << QStringList{u"NoReserve.dat"_s} << u"NoReserve.dat"_s;
    QTest::newRow("as written") << QStringList{u"noreserve.dat"_s} << u"noreserve.dat"_s;
    QTest::newRow("any other case") << QStringList{u"NORESERVE.Dat"_s} << u"NORESERVE.Dat"_s;
    QTest::newRow("read spelling wins")
        << QStringList{u"noreserve.dat"_s, u"NoReserve.dat"_s} << u"NoReserve.dat"_s;
}

void TestStartup::findsTheNoReserveFileInAnyLetterCase()
{
    QFETCH(QStringList, present);
    QFETCH(QString, found);
    DataFolder folder;
    folder.writeTexts();
    QFile::remove(folder.file(u"NoReserve.dat"_s));
    for (const QString &name : present) {
        folder.write(name, (name + u"\r\n"_s).toLatin1());
    }
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.noReserveFileName, found);
    QCOMPARE(session.settings.text(TextField::NoReserve), found);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
