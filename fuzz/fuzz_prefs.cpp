#include "ansicodec.h"
#include "fuzzcheck.h"
#include "prefsrecord.h"
#include "recordio.h"
#include "tricklingdevice.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype RecordBytes = 210;
constexpr int Slots = 14;
constexpr qsizetype SlotBytes = 12;
constexpr qsizetype ReservedAt = 186;

// Where the record keeps each section's bytes, and the size a size byte without a digit from
// "1" to "7" falls back to; written out from the record's layout, not taken from the reader.
struct SectionRow
{
    SectionId id;
    qsizetype alignmentAt;
    qsizetype sizeAt;
    int fallback;
};
constexpr std::array<SectionRow, 7> SectionRows{{
    {SectionId::Title, 176, 178, 5},
    {SectionId::Description, 170, 179, 3},
    {SectionId::Condition, 172, 180, 3},
    {SectionId::ThankYou, 173, 181, 4},
    {SectionId::Shipping, 174, 182, 3},
    {SectionId::Payment, 175, 183, 3},
    {SectionId::NoReserve, 177, 184, 3},
}};
constexpr qsizetype HeaderLookAt = 168;
constexpr qsizetype HeaderAlignAt = 169;
constexpr qsizetype FontAt = 171;
constexpr qsizetype HeaderSizeAt = 185;

bool isSizeDigit(char byte)
{
    return byte >= '1' && byte <= '7';
}

QString withoutBlanks(QString text)
{
    while (text.startsWith(u' ')) {
        text.remove(0, 1);
    }
    while (text.endsWith(u' ')) {
        text.chop(1);
    }
    return text;
}

// The section list the name slots restore: each slot's text without its blanks, skipping
// empty slots, and a switchable name only the first time (its switch is then already on).
QStringList expectedOrder(const QByteArray &record)
{
    QStringList order;
    for (int slot = 0; slot < Slots; ++slot) {
        const QString name =
            withoutBlanks(AnsiCodec::decode(record.sliced(slot * SlotBytes, SlotBytes)));
        const std::optional<SectionId> section = sectionForListName(name);
        const bool switchable = section && isSwitchable(*section);
        if (name.isEmpty() || (switchable && order.contains(name))) {
            continue;
        }
        order.append(name);
    }
    return order;
}

void checkApplied(const QByteArray &record, const ListingSettings &settings)
{
    const QStringList &order = settings.sectionOrder();
    FUZZ_CHECK(order == expectedOrder(record));
    for (SectionId id : SwitchableSections) {
        FUZZ_CHECK(settings.isSwitchedOn(id) == order.contains(listName(id)));
    }

    for (const SectionRow &row : SectionRows) {
        const SectionStyle &style = settings.style(row.id);
        const char size = record[row.sizeAt];
        FUZZ_CHECK(style.fontSize == (isSizeDigit(size) ? size - '0' : row.fallback));
        const Alignment alignment =
            record[row.alignmentAt] == 'C' ? Alignment::Centered : Alignment::Left;
        FUZZ_CHECK(style.alignment == alignment);
    }
    const char headerSize = record[HeaderSizeAt];
    FUZZ_CHECK(settings.headerSize() == (isSizeDigit(headerSize) ? headerSize - '0' : 1));

    // A byte that names no item leaves its group as a new window has it.
    const char look = record[HeaderLookAt];
    FUZZ_CHECK(settings.headerLook() ==
               (look == 'F' ? HeaderLook::FolderTab : HeaderLook::SolidBar));
    const char align = record[HeaderAlignAt];
    FUZZ_CHECK(settings.headerAlign() == (align == 'C'   ? HeaderAlign::Center
                                          : align == 'R' ? HeaderAlign::Right
                                                         : HeaderAlign::Left));
    const char font = record[FontAt];
    FUZZ_CHECK(
        settings.fontFamily() ==
        (font >= '1' && font <= '8' ? static_cast<FontFamily>(font - '1') : FontFamily::Arial));

    // The record holds neither texts nor colours.
    ListingSettings untouched;
    for (int field = 0; field < TextFieldCount; ++field) {
        FUZZ_CHECK(settings.text(TextField(field)).isEmpty());
    }
    FUZZ_CHECK(settings.colors() == untouched.colors());
}

void checkFilled(const QByteArray &before, const QByteArray &after, const ListingSettings &settings)
{
    FUZZ_CHECK(after.size() == RecordBytes);
    FUZZ_CHECK(after.sliced(ReservedAt) == before.sliced(ReservedAt));

    const QStringList &order = settings.sectionOrder();
    for (int slot = 0; slot < Slots; ++slot) {
        QByteArray expected = slot < order.size() ? AnsiCodec::encode(order[slot]) : QByteArray();
        expected = expected.left(SlotBytes).leftJustified(SlotBytes, ' ');
        FUZZ_CHECK(after.sliced(slot * SlotBytes, SlotBytes) == expected);
    }

    for (const SectionRow &row : SectionRows) {
        const SectionStyle &style = settings.style(row.id);
        FUZZ_CHECK(after[row.alignmentAt] == (style.centered() ? 'C' : 'L'));
        // A group with nothing chosen keeps the byte the record held.
        const char size = style.fontSize ? char('0' + *style.fontSize) : before[row.sizeAt];
        FUZZ_CHECK(after[row.sizeAt] == size);
    }
    const char headerSize =
        settings.headerSize() ? char('0' + *settings.headerSize()) : before[HeaderSizeAt];
    FUZZ_CHECK(after[HeaderSizeAt] == headerSize);
    FUZZ_CHECK(after[HeaderLookAt] == (settings.headerLook() == HeaderLook::FolderTab ? 'F' : 'S'));
    const HeaderAlign align = settings.headerAlign();
    FUZZ_CHECK(after[HeaderAlignAt] == (align == HeaderAlign::Center  ? 'C'
                                        : align == HeaderAlign::Right ? 'R'
                                                                      : 'L'));
    FUZZ_CHECK(after[FontAt] == char('1' + static_cast<int>(settings.fontFamily())));
}

} // namespace

// "prefs.dat": any bytes as the preferences record, applied at start-up and saved again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size).toByteArray();

    TricklingDevice trickle(file, 1 + qint64(size % 7));
    const std::optional<QByteArray> read = readRecord(trickle, RecordBytes);
    FUZZ_CHECK(read && *read == file.first(std::min(file.size(), RecordBytes)));

    ListingSettings settings;
    PrefsRecord record;
    if (read->isEmpty()) {
        // An empty file is the first run: no record is applied, and the one saved at the end
        // starts from zero bytes.
        settings.startFirstRun();
    } else {
        record = PrefsRecord::fromBytes(*read);
        const QByteArray padded = *read + QByteArray(RecordBytes - read->size(), '\0');
        FUZZ_CHECK(record.bytes() == padded);
        applyPrefs(record, settings);
        checkApplied(padded, settings);
    }

    PrefsRecord saved = record;
    fillPrefs(saved, settings);
    checkFilled(record.bytes(), saved.bytes(), settings);

    // The saved record restores the same settings, and saving those changes nothing more. A
    // first run saves no sizes, so its record restores the fallback sizes instead.
    ListingSettings restored;
    applyPrefs(saved, restored);
    checkApplied(saved.bytes(), restored);
    if (!read->isEmpty()) {
        FUZZ_CHECK(restored == settings);
        PrefsRecord savedAgain = saved;
        fillPrefs(savedAgain, restored);
        FUZZ_CHECK(savedAgain == saved);
    }
    return 0;
}
