#include "../testsupport.h"
#include "datafolder.h"
#include "saveout.h"
#include "startup.h"

#include <QDateTime>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TextField)

namespace {

const QByteArray SevenSlots = nameSlot("Title") + nameSlot("No Reserve") + nameSlot("Description") +
                              nameSlot("Condition") + nameSlot("Payment") + nameSlot("Shipping") +
                              nameSlot("Thank You") + QByteArray(84, ' ');

// The shipped colour scheme as the colour file holds it, slot by slot.
const QByteArray ShippedColours = "FFFFFF000033990000003300330000003333000066000000"
                                  "33669999CCFFFFFFCCCCFFCCFFCC99CCFFFFCCCCFFFFFFFF";

const QDateTime LongAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);

// Marks a file as old, so that a later rewrite shows in its modification time even when the
// bytes come out the same.
void age(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(LongAgo, QFileDevice::FileModificationTime));
}

bool rewritten(const QString &path)
{
    return QFileInfo(path).lastModified() != LongAgo;
}

QStringList fileNames(const std::vector<FileError> &errors)
{
    QStringList names;
    for (const FileError &error : errors) {
        names.append(error.fileName);
    }
    return names;
}

void changeEveryText(Session &session)
{
    ListingSettings &s = session.settings;
    s.setText(TextField::AuctionId, u"new id"_s);
    s.setText(TextField::ThankYou, u"new thanks"_s);
    s.setText(TextField::NoReserve, u"new note"_s);
    s.setText(TextField::Shipping, u"new\r\nshipping"_s);
    s.setText(TextField::Payment, u"new payment"_s);
}

} // namespace

class TestSaveout : public QObject
{
    Q_OBJECT

private slots:
    void firstRunCloseWritesTheDocumentedRecords();
    void oneLineTextsOnlyWhenChanged_data();
    void oneLineTextsOnlyWhenChanged();
    void multiLineTexts_data();
    void multiLineTexts();
    void textsGoThroughTheCodePage();
    void noReserveFileReplacedUnderItsOwnName_data();
    void noReserveFileReplacedUnderItsOwnName();
    void recordFilesKeepTheirLaterBytes();
    void roundTrip();

    void directoryWhereAFileShouldBe_data();
    void directoryWhereAFileShouldBe();
    void folderUnderARegularFile_data();
    void folderUnderARegularFile();
    void readOnlyFolder();
    void refusesWithoutAProgramFolder();
};

void TestSaveout::firstRunCloseWritesTheDocumentedRecords()
{
    DataFolder folder;
    folder.writeTexts();
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    const QStringList texts =
        names("NoReserve.dat|ebayid.dat|thankyou.dat|shipping.dat|payment.dat");
    for (const QString &name : texts) {
        age(folder.file(name));
    }
    const auto before = folder.snapshot();

    QVERIFY(saveout(session).empty());
    QCOMPARE(folder.read(u"prefs.dat"_s),
             SevenSlots + "SLL1LLLLLL" + QByteArray(8, '\0') + QByteArray(24, '\0'));
    QCOMPARE(folder.read(u"colorset.dat"_s), ShippedColours);
    // One-line texts unchanged, and a one-line shipping or payment text equals its loaded text.
    for (const QString &name : texts) {
        QVERIFY2(!rewritten(folder.file(name)), qPrintable(name));
        QCOMPARE(folder.read(name), before.value(name));
    }
}

void TestSaveout::oneLineTextsOnlyWhenChanged_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<TextField>("field");
    QTest::newRow("auction id") << u"ebayid.dat"_s << TextField::AuctionId;
    QTest::newRow("thank you") << u"thankyou.dat"_s << TextField::ThankYou;
    QTest::newRow("no reserve") << u"NoReserve.dat"_s << TextField::NoReserve;
}

void TestSaveout::oneLineTextsOnlyWhenChanged()
{
    QFETCH(QString, file);
    QFETCH(TextField, field);
    const QByteArray original = "  first  \r\nsecond line, never read\r\n";
    for (bool change : {false, true}) {
        DataFolder folder;
        folder.writeTexts();
        folder.write(file, original);
        Session session;
        QCOMPARE(startup(session, folder.path()), std::nullopt);
        QCOMPARE(session.settings.text(field), u"  first  "_s);
        age(folder.file(file));
        if (change) {
            session.settings.setText(field, u"  first "_s);
        }
        QVERIFY(saveout(session).empty());
        QCOMPARE(rewritten(folder.file(file)), change);
        QCOMPARE(folder.read(file), change ? QByteArray("  first \r\n") : original);
    }
}

void TestSaveout::multiLineTexts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("rewrite");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("one plain line") << u"shipping.dat"_s << QByteArray("Ships fast\r\n") << false
                                    << QByteArray("Ships fast\r\n");
    QTest::newRow("two lines, same lines")
        << u"shipping.dat"_s << QByteArray("a\r\nb\r\n") << true << QByteArray("a\r\nb\r\n");
    QTest::newRow("empty first line is dropped")
        << u"shipping.dat"_s << QByteArray("\r\nline one\r\nline two\r\n") << true
        << QByteArray("line one\r\nline two\r\n");
    QTest::newRow("blanks around are dropped")
        << u"shipping.dat"_s << QByteArray("  Ships fast   \r\n") << true
        << QByteArray("Ships fast\r\n");
    QTest::newRow("lone LF stays")
        << u"payment.dat"_s << QByteArray("a\nb\r\n") << false << QByteArray("a\nb\r\n");
}

void TestSaveout::multiLineTexts()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, before);
    QFETCH(bool, rewrite);
    QFETCH(QByteArray, after);
    DataFolder folder;
    folder.writeTexts();
    folder.write(file, before);
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    age(folder.file(file));
    QVERIFY(saveout(session).empty());
    QCOMPARE(rewritten(folder.file(file)), rewrite);
    QCOMPARE(folder.read(file), after);
}

void TestSaveout::textsGoThroughTheCodePage()
{
    DataFolder folder;
    folder.writeTexts();
    folder.write(u"thankyou.dat"_s, "Merci \x80 caf\xe9\r\n");
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.settings.text(TextField::ThankYou), u"Merci \u20ac caf\u00e9"_s);
    session.settings.setText(TextField::ThankYou, u"Merci \u20ac caf\u00e9 \u2192 \U0001F600"_s);
    QVERIFY(saveout(session).empty());
    QCOMPARE(folder.read(u"thankyou.dat"_s),
             QByteArray("Merci \x80 caf\xe9 &#8594; &#128512;\r\n"));
}

void TestSaveout::noReserveFileReplacedUnderItsOwnName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("as read") << u"NoReserve.dat"_s;
    QTest::newRow("as written") << u"noreserve.dat"_s;
    QTest::newRow("other case") << u"NORESERVE.DAT"_s;
}

void TestSaveout::noReserveFileReplacedUnderItsOwnName()
{
    QFETCH(QString, name);
    DataFolder folder;
    folder.writeTexts();
    QFile::remove(folder.file(u"NoReserve.dat"_s));
    folder.write(name, "old note\r\n");

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    QCOMPARE(session.settings.text(TextField::NoReserve), u"old note"_s);
    session.settings.setText(TextField::NoReserve, u"new note"_s);
    QVERIFY(saveout(session).empty());

    const QStringList spellings =
        QDir(folder.path()).entryList(QDir::Files).filter(u"noreserve.dat"_s, Qt::CaseInsensitive);
    QCOMPARE(spellings, QStringList{name});
    QCOMPARE(folder.read(name), QByteArray("new note\r\n"));

    Session next;
    QCOMPARE(startup(next, folder.path()), std::nullopt);
    QCOMPARE(next.settings.text(TextField::NoReserve), u"new note"_s);
}

void TestSaveout::recordFilesKeepTheirLaterBytes()
{
    DataFolder folder;
    folder.writeTexts();
    const QByteArray colours = QByteArray("123456").repeated(16);
    const QByteArray prefs = SevenSlots + "FRC2CCCCCC77777777" + QByteArray(24, 'z');
    folder.write(u"colorset.dat"_s, colours + "colour tail");
    folder.write(u"prefs.dat"_s, prefs + "prefs tail\r\n");

    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    session.settings.setColor(ColorSlotId::TitleFont, u"FF0000"_s);
    session.settings.setHeaderLook(HeaderLook::SolidBar);
    QVERIFY(saveout(session).empty());

    QCOMPARE(folder.read(u"colorset.dat"_s),
             QByteArray("123456FF0000") + QByteArray("123456").repeated(14) + "colour tail");
    QCOMPARE(folder.read(u"prefs.dat"_s),
             SevenSlots + "SRC2CCCCCC77777777" + QByteArray(24, 'z') + "prefs tail\r\n");
}

void TestSaveout::roundTrip()
{
    DataFolder folder;
    folder.writeTexts();
    Session first;
    QCOMPARE(startup(first, folder.path()), std::nullopt);
    ListingSettings &s = first.settings;
    s.setText(TextField::AuctionId, u"another id"_s);
    s.setText(TextField::Shipping, u"line one\r\nline two"_s);
    s.setSwitch(SectionId::NoReserve, false);
    s.setSwitch(SectionId::Condition, false);
    s.setSwitch(SectionId::NoReserve, true);
    s.moveUp(s.moveUp(3));
    s.setHeaderLook(HeaderLook::FolderTab);
    s.setHeaderAlign(HeaderAlign::Right);
    s.setFontFamily(FontFamily::Impact);
    for (SectionId id : AllSections) {
        s.setFontSize(id, 7 - static_cast<int>(id));
        s.setCentered(id, id == SectionId::Payment);
    }
    s.setHeaderSize(4);
    s.setColor(ColorSlotId::ShippingBackground, u"00FF99"_s);
    s.setText(TextField::MainTitle, u"not kept"_s);
    QVERIFY(saveout(first).empty());

    Session second;
    QCOMPARE(startup(second, folder.path()), std::nullopt);
    ListingSettings expected = s;
    expected.setText(TextField::MainTitle, {});
    QCOMPARE(second.settings, expected);
}

void TestSaveout::directoryWhereAFileShouldBe_data()
{
    QTest::addColumn<QString>("broken");
    for (const QString &name : names("ebayid.dat|thankyou.dat|NoReserve.dat|shipping.dat|"
                                     "payment.dat|colorset.dat|prefs.dat")) {
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestSaveout::directoryWhereAFileShouldBe()
{
    QFETCH(QString, broken);
    DataFolder folder;
    folder.writeTexts();
    folder.write(u"colorset.dat"_s, ShippedColours);
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    changeEveryText(session);
    session.settings.setHeaderLook(HeaderLook::FolderTab);
    session.settings.setColor(ColorSlotId::HeaderFont, u"000000"_s);
    QVERIFY(QFile::remove(folder.file(broken)));
    folder.makeDirectory(broken);

    const std::vector<FileError> errors = saveout(session);
    QCOMPARE(fileNames(errors), QStringList{broken});
    QCOMPARE(errors.front().folder, folder.path());
    QVERIFY(!errors.front().reason.isEmpty());

    const QMap<QString, QByteArray> saved{
        {u"ebayid.dat"_s, "new id\r\n"},
        {u"thankyou.dat"_s, "new thanks\r\n"},
        {u"NoReserve.dat"_s, "new note\r\n"},
        {u"shipping.dat"_s, "new\r\nshipping\r\n"},
        {u"payment.dat"_s, "new payment\r\n"},
        {u"colorset.dat"_s, "000000" + ShippedColours.sliced(6)},
        {u"prefs.dat"_s, SevenSlots + "FLL1LLLLLL" + QByteArray(32, '\0')},
    };
    QMap<QString, QByteArray> expected = saved;
    expected[broken] = "<dir>";
    QCOMPARE(folder.snapshot(), expected);
}

void TestSaveout::folderUnderARegularFile_data()
{
    QTest::addColumn<bool>("everyText");
    QTest::addColumn<QStringList>("failed");

    QTest::newRow("every text changed")
        << true
        << names("ebayid.dat|thankyou.dat|NoReserve.dat|shipping.dat|payment.dat|colorset.dat|"
                 "prefs.dat");
    // Unchanged texts are not even attempted.
    QTest::newRow("payment changed") << false << names("payment.dat|colorset.dat|prefs.dat");
}

void TestSaveout::folderUnderARegularFile()
{
    QFETCH(bool, everyText);
    QFETCH(QStringList, failed);
    DataFolder folder;
    folder.writeTexts();
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    if (everyText) {
        changeEveryText(session);
    } else {
        session.settings.setText(TextField::Payment, u"changed"_s);
    }
    const auto before = folder.snapshot();
    folder.write(u"plain"_s, "not a folder");
    session.programFolder = folder.file(u"plain/"_s);

    const std::vector<FileError> errors = saveout(session);
    QCOMPARE(fileNames(errors), failed);
    for (const FileError &error : errors) {
        QCOMPARE(error.folder, folder.file(u"plain/"_s));
        QVERIFY(!error.reason.isEmpty());
    }
    auto after = folder.snapshot();
    after.remove(u"plain"_s);
    QCOMPARE(after, before);
}

void TestSaveout::readOnlyFolder()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        QSKIP("a read-only folder does not stop root; the other failure tests cover this path");
    }
#else
    QSKIP("folder permissions are POSIX-only");
#endif
    DataFolder folder;
    folder.writeTexts();
    Session session;
    QCOMPARE(startup(session, folder.path()), std::nullopt);
    changeEveryText(session);
    const auto before = folder.snapshot();
    const QFile::Permissions writable = QFileInfo(folder.path()).permissions();
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));

    const std::vector<FileError> errors = saveout(session);
    QFile::setPermissions(folder.path(), writable);
    QCOMPARE(errors.size(), size_t(7));
    QCOMPARE(folder.snapshot(), before);
}

void TestSaveout::refusesWithoutAProgramFolder()
{
    DataFolder cwd;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd.path()));
    Session session;
    changeEveryText(session);
    const std::vector<FileError> errors = saveout(session);
    QDir::setCurrent(previous);
    QCOMPARE(errors.size(), size_t(1));
    QVERIFY(cwd.snapshot().isEmpty());
}

QTEST_GUILESS_MAIN(TestSaveout)
#include "tst_saveout.moc"
