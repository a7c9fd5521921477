#include "colorrecord.h"
#include "defaultcolours.h"
#include "failingdevice.h"
#include "prefsrecord.h"
#include "recordio.h"
#include "styleitems.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A name slot as the offset table defines it: the name, then blanks up to 12 bytes.
QByteArray slot(const char *name)
{
    QByteArray field(name);
    return field + QByteArray(12 - field.size(), ' ');
}

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

const QByteArray SevenSlots = slot("Title") + slot("No Reserve") + slot("Description") +
                              slot("Condition") + slot("Payment") + slot("Shipping") +
                              slot("Thank You") + blankSlots(7);

// Look, header alignment, Description alignment, font, six alignments, eight sizes.
const QByteArray NeutralGroups = QByteArray("SLL1LLLLLL") + QByteArray("53343331");

PrefsRecord recordOf(const QByteArray &bytes)
{
    return PrefsRecord::fromBytes(bytes);
}

ListingSettings applied(const QByteArray &bytes)
{
    ListingSettings settings;
    applyPrefs(recordOf(bytes), settings);
    return settings;
}

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
    void firstRunRecordIsByteExact();
    void fillWritesEveryFieldAtItsOffset();
    void fillKeepsUnchosenSizesAndReservedBytes();
    void fillSavesOnlyFourteenEntries();
    void fillCutsLongNamesToTheirSlot();
    void shortRecordReadsAsZeroPadded();

    void appliesNameSlots_data();
    void appliesNameSlots();
    void appliesSizes_data();
    void appliesSizes();
    void fallbackSizes_data();
    void fallbackSizes();
    void invalidGroupBytesLeaveTheMarks_data();
    void invalidGroupBytesLeaveTheMarks();
    void appliesAlignments();
    void roundTripsThroughTheRecord();

    void colourRecordIsByteExact();
    void colourRecordFillsMissingSlotsFromTheDefaults_data();
    void colourRecordFillsMissingSlotsFromTheDefaults();
    void colourRecordCutsAndPadsSlots();

    void readsOnlyTheRecord();
    void writesRecordAndKeepsLaterBytes_data();
    void writesRecordAndKeepsLaterBytes();
    void recordWriteReportsFailingDevices();
};

void TestRecords::firstRunRecordIsByteExact()
{
    ListingSettings settings;
    settings.startFirstRun();
    PrefsRecord prefs;
    fillPrefs(prefs, settings);
    // Sizes never chosen keep the zero bytes of a record that was never read.
    const QByteArray expected = record(SevenSlots, QByteArray("SLL1LLLLLL") + zeros(8));
    QCOMPARE(expected.size(), 210);
    QCOMPARE(prefs.bytes(), expected);
}

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
    const int sizes[] = {1, 2, 3, 4, 5, 6, 7}; // Title .. No Reserve in record order
    const SectionId order[] = {SectionId::Title,    SectionId::Description, SectionId::Condition,
                               SectionId::ThankYou, SectionId::Shipping,    SectionId::Payment,
                               SectionId::NoReserve};
    for (int i = 0; i < 7; ++i) {
        settings.setFontSize(order[i], sizes[i]);
    }
    settings.setHeaderSize(7);

    PrefsRecord prefs;
    fillPrefs(prefs, settings);
    // 170 Description "C", 171 font "8", then Condition, Thank You, Shipping, Payment, Title,
    // No Reserve; alignments never chosen are written "L".
    const QByteArray expected =
        record(slot("Description") + slot("Title") + slot("Condition") + blankSlots(11),
               QByteArray("FRC8LCLLLC") + QByteArray("12345677"));
    QCOMPARE(prefs.bytes(), expected);
}

void TestRecords::fillKeepsUnchosenSizesAndReservedBytes()
{
    QByteArray reserved;
    for (int i = 0; i < 24; ++i) {
        reserved += char('a' + i);
    }
    const QByteArray read = record(slot("Title") + blankSlots(13),
                                   QByteArray("FC") + "C5CCCCCC" +
                                       QByteArray("x2Z\x01"
                                                  "9\0\0q",
                                                  8),
                                   reserved);
    PrefsRecord prefs = recordOf(read);

    ListingSettings settings; // nothing chosen in any size group
    settings.appendRestoredName(u"Description"_s);
    settings.setFontSize(SectionId::Condition, 6);
    fillPrefs(prefs, settings);

    const QByteArray expected = record(slot("Description") + blankSlots(13),
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
    QCOMPARE(prefs.bytes().mid(168, 10), QByteArray("SLL1LLLLLL"));
    ListingSettings back;
    applyPrefs(prefs, back);
    QCOMPARE(back.sectionOrder().size(), 14);
    QCOMPARE(back.sectionOrder().last(), u"Entry 13"_s);
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
    QCOMPARE(prefs.bytes().size(), 210);
    QCOMPARE(prefs.bytes().at(168), 'S');
}

void TestRecords::shortRecordReadsAsZeroPadded()
{
    const PrefsRecord prefs = recordOf(slot("Title") + "Desc");
    QCOMPARE(prefs.bytes(), slot("Title") + "Desc" + zeros(210 - 16));
    QCOMPARE(recordOf(record(SevenSlots, NeutralGroups) + "later").bytes(),
             record(SevenSlots, NeutralGroups));
}

void TestRecords::appliesNameSlots_data()
{
    QTest::addColumn<QByteArray>("names");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QList<bool>>(
        "switches"); // No Reserve, Condition, Payment, Shipping, Thank You

    QTest::newRow("saved order with two switches")
        << slot("Title") + slot("Description") + slot("No Reserve") + slot("Payment") +
               blankSlots(10)
        << QStringList{u"Title"_s, u"Description"_s, u"No Reserve"_s, u"Payment"_s}
        << QList<bool>{true, false, true, false, false};
    QTest::newRow("all seven") << SevenSlots
                               << QStringList{u"Title"_s,     u"No Reserve"_s, u"Description"_s,
                                              u"Condition"_s, u"Payment"_s,    u"Shipping"_s,
                                              u"Thank You"_s}
                               << QList<bool>{true, true, true, true, true};
    QTest::newRow("blank names between are skipped")
        << blankSlots(3) + slot("Thank You") + blankSlots(4) + slot("Title") + blankSlots(5)
        << QStringList{u"Thank You"_s, u"Title"_s} << QList<bool>{false, false, false, false, true};
    QTest::newRow("blanks around a name")
        << QByteArray("  Shipping  ") + blankSlots(13) << QStringList{u"Shipping"_s}
        << QList<bool>{false, false, false, true, false};
    QTest::newRow("unknown name appended unchanged")
        << slot("Gallery") + slot(" Extra  x") + blankSlots(12)
        << QStringList{u"Gallery"_s, u"Extra  x"_s}
        << QList<bool>{false, false, false, false, false};
    QTest::newRow("other letter case is not a switch")
        << slot("no reserve") + slot("CONDITION") + blankSlots(12)
        << QStringList{u"no reserve"_s, u"CONDITION"_s}
        << QList<bool>{false, false, false, false, false};
    QTest::newRow("switchable name twice is listed once")
        << slot("Payment") + slot("Title") + slot("Payment") + blankSlots(11)
        << QStringList{u"Payment"_s, u"Title"_s} << QList<bool>{false, false, true, false, false};
    QTest::newRow("title twice is listed twice")
        << slot("Title") + slot("Title") + blankSlots(12) << QStringList{u"Title"_s, u"Title"_s}
        << QList<bool>{false, false, false, false, false};
    QTest::newRow("tab and zero bytes are not blanks")
        << QByteArray("\tTitle      ") + zeros(12) + blankSlots(12)
        << QStringList{u"\tTitle"_s, QString(12, QChar(0))}
        << QList<bool>{false, false, false, false, false};
    QTest::newRow("windows-1252 name")
        << QByteArray("Caf\xe9        ") + blankSlots(13) << QStringList{u"Caf\u00e9"_s}
        << QList<bool>{false, false, false, false, false};
}

void TestRecords::appliesNameSlots()
{
    QFETCH(QByteArray, names);
    QFETCH(QStringList, order);
    QFETCH(QList<bool>, switches);
    const ListingSettings settings = applied(record(names, NeutralGroups));
    QCOMPARE(settings.sectionOrder(), order);
    const SectionId switchable[] = {SectionId::NoReserve, SectionId::Condition, SectionId::Payment,
                                    SectionId::Shipping, SectionId::ThankYou};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(settings.isSwitchedOn(switchable[i]), switches[i]);
    }
}

void TestRecords::appliesSizes_data()
{
    QTest::addColumn<QByteArray>("sizes");
    QTest::addColumn<QList<int>>("expected"); // Title, Description, Condition, Thank You,
                                              // Shipping, Payment, No Reserve, header
    QTest::newRow("all valid") << QByteArray("71234567") << QList<int>{7, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("all fallbacks") << zeros(8) << QList<int>{5, 3, 3, 4, 3, 3, 3, 1};
    QTest::newRow("mixed") << QByteArray("1 2x3\0"
                                         "94",
                                         8)
                           << QList<int>{1, 3, 2, 4, 3, 3, 3, 4};
}

void TestRecords::appliesSizes()
{
    QFETCH(QByteArray, sizes);
    QFETCH(QList<int>, expected);
    const ListingSettings settings = applied(record(SevenSlots, QByteArray("SLL1LLLLLL") + sizes));
    const SectionId order[] = {SectionId::Title,    SectionId::Description, SectionId::Condition,
                               SectionId::ThankYou, SectionId::Shipping,    SectionId::Payment,
                               SectionId::NoReserve};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(settings.style(order[i]).fontSize, std::optional<int>(expected[i]));
    }
    QCOMPARE(settings.headerSize(), std::optional<int>(expected[7]));
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
    const struct
    {
        SectionId section;
        qsizetype offset;
        int fallback;
    } groups[] = {{SectionId::Title, 178, 5},     {SectionId::Description, 179, 3},
                  {SectionId::Condition, 180, 3}, {SectionId::ThankYou, 181, 4},
                  {SectionId::Shipping, 182, 3},  {SectionId::Payment, 183, 3},
                  {SectionId::NoReserve, 184, 3}};
    const QByteArray base = record(SevenSlots, QByteArray("SLL1LLLLLL") + "77777777");
    for (const auto &group : groups) {
        const ListingSettings settings = applied(withByte(base, group.offset, byte));
        QCOMPARE(settings.style(group.section).fontSize, std::optional<int>(group.fallback));
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
    applyPrefs(recordOf(bytes), settings);

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

void TestRecords::roundTripsThroughTheRecord()
{
    ListingSettings settings;
    settings.appendRestoredName(u"Description"_s);
    settings.setSwitch(SectionId::ThankYou, true);
    settings.appendRestoredName(u"Title"_s);
    settings.setSwitch(SectionId::Shipping, true);
    settings.setHeaderLook(HeaderLook::FolderTab);
    settings.setHeaderAlign(HeaderAlign::Center);
    settings.setFontFamily(FontFamily::LucidaSans);
    for (SectionId id : AllSections) {
        settings.setCentered(id, id == SectionId::Shipping || id == SectionId::Title);
        settings.setFontSize(id, 1 + static_cast<int>(id));
    }
    settings.setHeaderSize(2);

    PrefsRecord prefs;
    fillPrefs(prefs, settings);
    ListingSettings back;
    applyPrefs(PrefsRecord::fromBytes(prefs.bytes()), back);
    QCOMPARE(back, settings);
}

void TestRecords::colourRecordIsByteExact()
{
    ColorSet colors;
    const char *const names[] = {"000000", "111111", "222222", "333333", "444444", "555555",
                                 "666666", "777777", "888888", "999999", "AAAAAA", "BBBBBB",
                                 "CCCCCC", "DDDDDD", "EEEEEE", "FFFFFF"};
    QByteArray expected;
    for (int k = 0; k < 16; ++k) {
        colors.setSlot(static_cast<ColorSlotId>(k), QString::fromLatin1(names[k]));
        expected += names[k];
    }
    QCOMPARE(colorRecord(colors), expected);
    QCOMPARE(colorSetFromRecord(expected), colors);
    QCOMPARE(colorSetFromRecord(expected + "later bytes"), colors);
    // Slot 8 is the header background, at bytes 48 to 53.
    QCOMPARE(colorSetFromRecord(expected).slot(ColorSlotId::HeaderBackground).text(), u"888888"_s);
}

void TestRecords::colourRecordFillsMissingSlotsFromTheDefaults_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("slotsFromFile");

    QTest::newRow("absent or empty") << 0 << 0;
    QTest::newRow("half a slot") << 3 << 0;
    QTest::newRow("one slot") << 6 << 1;
    QTest::newRow("ten names and a part") << 64 << 10;
    QTest::newRow("one byte short") << 95 << 15;
    QTest::newRow("whole") << 96 << 16;
}

void TestRecords::colourRecordFillsMissingSlotsFromTheDefaults()
{
    QFETCH(int, length);
    QFETCH(int, slotsFromFile);
    const QByteArray file = QByteArray("0A0B0C").repeated(16).left(length);
    const ColorSet colors = colorSetFromRecord(file);
    const ColorSet defaults = defaultColorSet();
    for (int k = 0; k < 16; ++k) {
        const auto id = static_cast<ColorSlotId>(k);
        QCOMPARE(colors.slot(id), k < slotsFromFile ? ColorSlot(u"0A0B0C"_s) : defaults.slot(id));
    }
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
