#include "../faildevice.h"
#include "../testsupport.h"
#include "colorrecord.h"
#include "defaultcolours.h"
#include "prefsrecord.h"
#include "recordio.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace {

QByteArray blankSlots(int count)
{
    return QByteArray(12 * count, ' ');
}

QByteArray zeros(int count)
{
    return QByteArray(count, '\0');
}

// Slots 0..13, then the 18 one-byte group fields and the 24 reserved bytes.
QByteArray record(const QByteArray &names, const QByteArray &groupBytes,
                  const QByteArray &reserved = zeros(24))
{
    return names + groupBytes + reserved;
}

const QByteArray SevenSlots = nameSlot("Title") + nameSlot("No Reserve") + nameSlot("Description") +
                              nameSlot("Condition") + nameSlot("Payment") + nameSlot("Shipping") +
                              nameSlot("Thank You") + blankSlots(7);

// Look, header alignment, Description alignment, font, six alignments, eight sizes.
const QByteArray NeutralGroups = QByteArray("SLL1LLLLLL") + QByteArray("53343331");

ListingSettings applied(const QByteArray &bytes)
{
    ListingSettings settings;
    applyPrefs(PrefsRecord::fromBytes(bytes), settings);
    return settings;
}

// The sections in the order of their size bytes, 178 to 184.
const SectionId SizeOrder[] = {SectionId::Title,    SectionId::Description, SectionId::Condition,
                               SectionId::ThankYou, SectionId::Shipping,    SectionId::Payment,
                               SectionId::NoReserve};

QByteArray withByte(QByteArray bytes, qsizetype offset, char value)
{
    bytes[offset] = value;
    return bytes;
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void fillWritesEveryFieldAtItsOffset();
    void fillKeepsUnchosenSizesAndReservedBytes();
    void fillSavesOnlyFourteenEntries();
    void fillCutsLongNamesToTheirSlot();
    void shortRecordReadsAsZeroPadded();

    void appliesNameSlots_data();
    void appliesNameSlots();
    void appliesSizes();
    void fallbackSizes_data();
    void fallbackSizes();
    void invalidGroupBytesLeaveTheMarks_data();
    void invalidGroupBytesLeaveTheMarks();
    void appliesAlignments();

    void colourRecordIsByteExact();
    void colourRecordCutsAndPadsSlots();

    void readsOnlyTheRecord();
    void writesRecordAndKeepsLaterBytes_data();
    void writesRecordAndKeepsLaterBytes();
    void recordWriteReportsFailingDevices();
};

void TestRecords::fillWritesEveryFieldAtItsOffset()
{
    ListingSettings settings;
    for (const char *name : {"Description", "Title", "Condition"}) {
        settings.appendRestoredName(QString::fromLatin1(name));
    }
    settings.setHeaderLook(HeaderLook::FolderTab);
    settings.setHeaderAlign(HeaderAlign::Right);
    settings.setFontFamily(FontFamily::TimesNewRoman);
    settings.setCentered(SectionId::Description, true);
    settings.setCentered(SectionId::ThankYou, true);
    settings.setCentered(SectionId::NoReserve, true);
    settings.setCentered(SectionId::Payment, false);
    for (int i = 0; i < 7; ++i) {
        settings.setFontSize(SizeOrder[i], i + 1);
    }
    settings.setHeaderSize(7);

    PrefsRecord prefs;
    fillPrefs(prefs, settings);
    // 170 Description "C", 171 font "8", then Condition, Thank You, Shipping, Payment, Title,
    // No Reserve; alignments never chosen are written "L".
    const QByteArray expected =
        record(nameSlot("Description") + nameSlot("Title") + nameSlot("Condition") + blankSlots(11),
               QByteArray("FRC8LCLLLC") + QByteArray("12345677"));
    QCOMPARE(prefs.bytes(), expected);
}

void TestRecords::fillKeepsUnchosenSizesAndReservedBytes()
{
    QByteArray reserved;
    for (int i = 0; i < 24; ++i) {
        reserved += char('a' + i);
    }
    const QByteArray read = record(nameSlot("Title") + blankSlots(13),
                                   QByteArray("FC") + "C5CCCCCC" +
                                       QByteArray("x2Z\x01"
                                                  "9\0\0q",
                                                  8),
                                   reserved);
    PrefsRecord prefs = PrefsRecord::fromBytes(read);

    ListingSettings settings; // nothing chosen in any size group
    settings.appendRestoredName(u"Description"_s);
    settings.setFontSize(SectionId::Condition, 6);
    fillPrefs(prefs, settings);

    const QByteArray expected = record(nameSlot("Description") + blankSlots(13),
                                       QByteArray("SLL1LLLLLL") + QByteArray("x26\x01"
                                                                             "9\0\0q",
                                                                             8),
                                       reserved);
    QCOMPARE(prefs.bytes(), expected);
}

void TestRecords::fillSavesOnlyFourteenEntries()
{
    ListingSettings settings;
    for (int i = 0; i < 16; ++i) {
        settings.appendRestoredName(u"Entry "_s + QString::number(i));
    }
    PrefsRecord prefs;
    fillPrefs(prefs, settings);
    for (int i = 0; i < 14; ++i) {
        QCOMPARE(prefs.nameSlot(i), (u"Entry "_s + QString::number(i)).leftJustified(12));
    }
    QCOMPARE(prefs.bytes().at(168), 'S');
}

void TestRecords::fillCutsLongNamesToTheirSlot()
{
    ListingSettings settings;
    settings.appendRestoredName(u"A name longer than twelve"_s);
    settings.appendRestoredName(u"caf\u00e9"_s);
    settings.appendRestoredName(u"abcdefghij\u2192x"_s);
    PrefsRecord prefs;
    fillPrefs(prefs, settings);
    QCOMPARE(prefs.bytes().first(36), QByteArray("A name longe") + QByteArray("caf\xe9        ") +
                                          QByteArray("abcdefghij&#"));
}

void TestRecords::shortRecordReadsAsZeroPadded()
{
    const PrefsRecord prefs = PrefsRecord::fromBytes(nameSlot("Title") + "Desc");
    QCOMPARE(prefs.bytes(), nameSlot("Title") + "Desc" + zeros(210 - 16));
    QCOMPARE(PrefsRecord::fromBytes(record(SevenSlots, NeutralGroups) + "later").bytes(),
             record(SevenSlots, NeutralGroups));
}

// Each switch ends up on exactly when its section's name is in the list.
void TestRecords::appliesNameSlots_data()
{
    QTest::addColumn<QByteArray>("names");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("saved order with two switches")
        << nameSlot("Title") + nameSlot("Description") + nameSlot("No Reserve") +
               nameSlot("Payment") + blankSlots(10)
        << names("Title|Description|No Reserve|Payment");
    QTest::newRow("all seven") << SevenSlots
                               << names("Title|No Reserve|Description|Condition|Payment|Shipping|"
                                        "Thank You");
    QTest::newRow("blank names between are skipped")
        << blankSlots(3) + nameSlot("Thank You") + blankSlots(4) + nameSlot("Title") + blankSlots(5)
        << names("Thank You|Title");
    QTest::newRow("blanks around a name")
        << QByteArray("  Shipping  ") + blankSlots(13) << names("Shipping");
    QTest::newRow("unknown name appended unchanged")
        << nameSlot("Gallery") + nameSlot(" Extra  x") + blankSlots(12)
        << names("Gallery|Extra  x");
    QTest::newRow("other letter case is not a switch")
        << nameSlot("no reserve") + nameSlot("CONDITION") + blankSlots(12)
        << names("no reserve|CONDITION");
    QTest::newRow("switchable name twice is listed once")
        << nameSlot("Payment") + nameSlot("Title") + nameSlot("Payment") + blankSlots(11)
        << names("Payment|Title");
    QTest::newRow("title twice is listed twice")
        << nameSlot("Title") + nameSlot("Title") + blankSlots(12) << names("Title|Title");
    QTest::newRow("tab and zero bytes are not blanks")
        << QByteArray("\tTitle      ") + zeros(12) + blankSlots(12)
        << QStringList{u"\tTitle"_s, QString(12, QChar(0))};
    QTest::newRow("windows-1252 name")
        << QByteArray("Caf\xe9        ") + blankSlots(13) << QStringList{u"Caf\u00e9"_s};
}

void TestRecords::appliesNameSlots()
{
    QFETCH(QByteArray, names);
    QFETCH(QStringList, order);
    const ListingSettings settings = applied(record(names, NeutralGroups));
    QCOMPARE(settings.sectionOrder(), order);
    for (SectionId id : SwitchableSections) {
        QCOMPARE(settings.isSwitchedOn(id), order.contains(listName(id)));
    }
}

// Title, Description, Condition, Thank You, Shipping, Payment, No Reserve, header.
void TestRecords::appliesSizes()
{
    const ListingSettings settings =
        applied(record(SevenSlots, QByteArray("SLL1LLLLLL") + QByteArray("71234567")));
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(settings.style(SizeOrder[i]).fontSize, std::optional<int>(i == 0 ? 7 : i));
    }
    QCOMPARE(settings.headerSize(), std::optional<int>(7));
}

void TestRecords::fallbackSizes_data()
{
    QTest::addColumn<char>("byte");
    QTest::newRow("digit 0") << '0';
    QTest::newRow("digit 8") << '8';
    QTest::newRow("blank") << ' ';
    QTest::newRow("zero byte") << '\0';
    QTest::newRow("letter") << 'A';
    QTest::newRow("digit 9") << '9';
}

void TestRecords::fallbackSizes()
{
    QFETCH(char, byte);
    const int fallbacks[] = {5, 3, 3, 4, 3, 3, 3}; // in the order of the size bytes
    const QByteArray base = record(SevenSlots, QByteArray("SLL1LLLLLL") + "77777777");
    for (int i = 0; i < 7; ++i) {
        const ListingSettings settings = applied(withByte(base, 178 + i, byte));
        QCOMPARE(settings.style(SizeOrder[i]).fontSize, std::optional<int>(fallbacks[i]));
        QCOMPARE(settings.headerSize(), std::optional<int>(7));
    }
    QCOMPARE(applied(withByte(base, 185, byte)).headerSize(), std::optional<int>(1));
}

void TestRecords::invalidGroupBytesLeaveTheMarks_data()
{
    QTest::addColumn<qsizetype>("offset");
    QTest::addColumn<char>("byte");
    QTest::addColumn<bool>("changes");

    QTest::newRow("look S") << qsizetype(168) << 'S' << true;
    QTest::newRow("look lower-case s") << qsizetype(168) << 's' << false;
    QTest::newRow("look zero byte") << qsizetype(168) << '\0' << false;
    QTest::newRow("look blank") << qsizetype(168) << ' ' << false;
    QTest::newRow("header alignment L") << qsizetype(169) << 'L' << true;
    QTest::newRow("header alignment X") << qsizetype(169) << 'X' << false;
    QTest::newRow("header alignment zero byte") << qsizetype(169) << '\0' << false;
    QTest::newRow("font 1") << qsizetype(171) << '1' << true;
    QTest::newRow("font 0") << qsizetype(171) << '0' << false;
    QTest::newRow("font 9") << qsizetype(171) << '9' << false;
    QTest::newRow("font zero byte") << qsizetype(171) << '\0' << false;
}

void TestRecords::invalidGroupBytesLeaveTheMarks()
{
    QFETCH(qsizetype, offset);
    QFETCH(char, byte);
    QFETCH(bool, changes);

    ListingSettings settings;
    settings.setHeaderLook(HeaderLook::FolderTab);
    settings.setHeaderAlign(HeaderAlign::Right);
    settings.setFontFamily(FontFamily::CourierNew);
    // Every group byte names the state the settings are in, except the one under test.
    const QByteArray bytes =
        withByte(record(SevenSlots, QByteArray("FRL4LLLLLL") + "53343331"), offset, byte);
    applyPrefs(PrefsRecord::fromBytes(bytes), settings);

    QCOMPARE(settings.headerLook(),
             offset == 168 && changes ? HeaderLook::SolidBar : HeaderLook::FolderTab);
    QCOMPARE(settings.headerAlign(),
             offset == 169 && changes ? HeaderAlign::Left : HeaderAlign::Right);
    QCOMPARE(settings.fontFamily(),
             offset == 171 && changes ? FontFamily::Arial : FontFamily::CourierNew);
}

void TestRecords::appliesAlignments()
{
    // Description at 170; Condition, Thank You, Shipping, Payment, Title, No Reserve at 172..177.
    // Anything but "C" is left justified.
    const ListingSettings settings =
        applied(record(SevenSlots, QByteArray("SLC1") + QByteArray("c\0CLxC", 6) + "53343331"));
    QCOMPARE(settings.style(SectionId::Description).alignment, Alignment::Centered);
    QCOMPARE(settings.style(SectionId::Condition).alignment, Alignment::Left);
    QCOMPARE(settings.style(SectionId::ThankYou).alignment, Alignment::Left);
    QCOMPARE(settings.style(SectionId::Shipping).alignment, Alignment::Centered);
    QCOMPARE(settings.style(SectionId::Payment).alignment, Alignment::Left);
    QCOMPARE(settings.style(SectionId::Title).alignment, Alignment::Left);
    QCOMPARE(settings.style(SectionId::NoReserve).alignment, Alignment::Centered);
}

void TestRecords::colourRecordIsByteExact()
{
    ColorSet colors;
    QByteArray expected;
    for (int k = 0; k < 16; ++k) {
        const QByteArray field(6, "0123456789ABCDEF"[k]);
        colors.setSlot(static_cast<ColorSlotId>(k), QString::fromLatin1(field));
        expected += field;
    }
    QCOMPARE(colorRecord(colors), expected);
    QCOMPARE(colorSetFromRecord(expected), colors);
    QCOMPARE(colorSetFromRecord(expected + "later bytes"), colors);
}

void TestRecords::colourRecordCutsAndPadsSlots()
{
    ColorSet colors = defaultColorSet();
    colors.setSlot(ColorSlotId::HeaderFont, u"AB"_s);
    colors.setSlot(ColorSlotId::DescriptionBackground, u"\u00e9\u2192"_s);
    const QByteArray bytes = colorRecord(colors);
    QCOMPARE(bytes.size(), 96);
    QCOMPARE(bytes.first(6), QByteArray("AB    "));
    QCOMPARE(bytes.sliced(90), QByteArray("\xe9&#859"));
}

void TestRecords::readsOnlyTheRecord()
{
    QByteArray bytes = QByteArray("x").repeated(300);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(readRecord(buffer, 210), QByteArray("x").repeated(210));

    QByteArray shortBytes("abc");
    QBuffer shortBuffer(&shortBytes);
    shortBuffer.open(QIODevice::ReadOnly);
    QCOMPARE(readRecord(shortBuffer, 96), QByteArray("abc"));

    FailingDevice failing("abcdef", 3);
    failing.open(QIODevice::ReadOnly);
    QCOMPARE(readRecord(failing, 96), std::nullopt);
}

void TestRecords::writesRecordAndKeepsLaterBytes_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray rec = QByteArray("R").repeated(96);
    QTest::newRow("no earlier file") << QByteArray() << rec;
    QTest::newRow("shorter earlier file") << QByteArray("old") << rec;
    QTest::newRow("same length") << QByteArray("o").repeated(96) << rec;
    QTest::newRow("later bytes kept") << QByteArray("o").repeated(96) + "tail\r\n"
                                      << rec + "tail\r\n";
    QTest::newRow("long tail kept")
        << QByteArray("o").repeated(96) + QByteArray("0123456789").repeated(20000)
        << rec + QByteArray("0123456789").repeated(20000);
}

void TestRecords::writesRecordAndKeepsLaterBytes()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, expected);
    QBuffer oldDevice(&old);
    oldDevice.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer outDevice(&out);
    outDevice.open(QIODevice::WriteOnly);
    QVERIFY(writeRecordOver(outDevice, QByteArray("R").repeated(96),
                            old.isEmpty() ? nullptr : &oldDevice));
    QCOMPARE(out, expected);
}

void TestRecords::recordWriteReportsFailingDevices()
{
    const QByteArray rec = QByteArray("R").repeated(96);
    // 100 bytes would fit the record and its tail exactly.
    for (qint64 limit : {qint64(0), qint64(50), qint64(99)}) {
        FailingDevice out({}, limit);
        out.open(QIODevice::WriteOnly);
        QByteArray old = QByteArray("o").repeated(96) + "tail";
        QBuffer oldDevice(&old);
        oldDevice.open(QIODevice::ReadOnly);
        QVERIFY2(!writeRecordOver(out, rec, &oldDevice), qPrintable(QString::number(limit)));
    }
    FailingDevice old(QByteArray("o").repeated(200), 120);
    old.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer outDevice(&out);
    outDevice.open(QIODevice::WriteOnly);
    QVERIFY(!writeRecordOver(outDevice, rec, &old));
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
