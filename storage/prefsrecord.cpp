#include "prefsrecord.h"

#include "ansicodec.h"
#include "textrules.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

struct SectionBytes
{
    SectionId section;
    qsizetype alignmentAt;
    qsizetype sizeAt;
    int fallbackSize;
};

// In the order the sizes are stored; the alignments are stored in another order.
constexpr std::array<SectionBytes, 7> Sections{{
    {SectionId::Title, 176, 178, 5},
    {SectionId::Description, 170, 179, 3},
    {SectionId::Condition, 172, 180, 3},
    {SectionId::ThankYou, 173, 181, 4},
    {SectionId::Shipping, 174, 182, 3},
    {SectionId::Payment, 175, 183, 3},
    {SectionId::NoReserve, 177, 184, 3},
}};

constexpr std::array<SectionId, 7> AlignmentRecordOrder{
    SectionId::Description, SectionId::Condition, SectionId::ThankYou, SectionId::Shipping,
    SectionId::Payment,     SectionId::Title,     SectionId::NoReserve};

const SectionBytes &bytesOf(SectionId id)
{
    for (const SectionBytes &row : Sections) {
        if (row.section == id) {
            return row;
        }
    }
    Q_UNREACHABLE();
}

std::optional<int> sizeDigit(char byte)
{
    if (byte >= '1' && byte <= '7') {
        return byte - '0';
    }
    return std::nullopt;
}

char digitOf(int value)
{
    return static_cast<char>('0' + value);
}

// A record cut short reads as zero bytes from the cut on: at the ends of a slot they go like
// blanks, so the cut never lists invisible names and a name it left whole is still that name.
QString slotName(QStringView slot)
{
    const auto padding = [](QChar c) { return c == u' ' || c == QChar(0); };
    while (!slot.isEmpty() && padding(slot.front())) {
        slot = slot.sliced(1);
    }
    while (!slot.isEmpty() && padding(slot.back())) {
        slot.chop(1);
    }
    return slot.toString();
}

void applyNameSlots(const PrefsRecord &record, ListingSettings &settings)
{
    for (int slot = 0; slot < PrefsRecord::NameSlotCount; ++slot) {
        const QString name = slotName(record.nameSlot(slot));
        if (name.isEmpty()) {
            continue;
        }
        const std::optional<SectionId> section = sectionForListName(name);
        if (section && isSwitchable(*section)) {
            settings.setSwitch(*section, true);
        } else {
            settings.appendRestoredName(name);
        }
    }
}

void applyHeaderBytes(const PrefsRecord &record, ListingSettings &settings)
{
    switch (record.byteAt(PrefsRecord::HeaderLookAt)) {
    case 'S':
        settings.setHeaderLook(HeaderLook::SolidBar);
        break;
    case 'F':
        settings.setHeaderLook(HeaderLook::FolderTab);
        break;
    default:
        break;
    }
    switch (record.byteAt(PrefsRecord::HeaderAlignAt)) {
    case 'L':
        settings.setHeaderAlign(HeaderAlign::Left);
        break;
    case 'C':
        settings.setHeaderAlign(HeaderAlign::Center);
        break;
    case 'R':
        settings.setHeaderAlign(HeaderAlign::Right);
        break;
    default:
        break;
    }
}

void applyFont(const PrefsRecord &record, ListingSettings &settings)
{
    const char byte = record.byteAt(PrefsRecord::FontAt);
    if (byte >= '1' && byte < '1' + FontFamilyCount) {
        settings.setFontFamily(static_cast<FontFamily>(byte - '1'));
    }
}

char headerLookCode(HeaderLook look)
{
    return look == HeaderLook::FolderTab ? 'F' : 'S';
}

char headerAlignCode(HeaderAlign align)
{
    switch (align) {
    case HeaderAlign::Left:
        return 'L';
    case HeaderAlign::Center:
        return 'C';
    case HeaderAlign::Right:
        return 'R';
    }
    Q_UNREACHABLE();
}

} // namespace

PrefsRecord::PrefsRecord()
    : m_bytes(Size, '\0')
{}

PrefsRecord PrefsRecord::fromBytes(QByteArrayView bytes)
{
    PrefsRecord record;
    const qsizetype n = std::min(bytes.size(), Size);
    std::copy_n(bytes.data(), n, record.m_bytes.data());
    return record;
}

QString PrefsRecord::nameSlot(int slot) const
{
    return AnsiCodec::decode(QByteArrayView(m_bytes).sliced(slot * NameSlotWidth, NameSlotWidth));
}

void PrefsRecord::setNameSlot(int slot, const QString &name)
{
    // A character outside the code page becomes a longer reference, so the cut is made again
    // on the bytes: the slot must never spill into the next field.
    const QByteArray encoded =
        AnsiCodec::encode(leftCodePoints(name, NameSlotWidth)).left(NameSlotWidth);
    const QByteArray field = encoded + QByteArray(NameSlotWidth - encoded.size(), ' ');
    m_bytes.replace(slot * NameSlotWidth, NameSlotWidth, field);
}

qsizetype alignmentOffset(SectionId id)
{
    return bytesOf(id).alignmentAt;
}

qsizetype sizeOffset(SectionId id)
{
    return bytesOf(id).sizeAt;
}

int fallbackSize(SectionId id)
{
    return bytesOf(id).fallbackSize;
}

void applyPrefs(const PrefsRecord &record, ListingSettings &settings)
{
    applyNameSlots(record, settings);
    applyHeaderBytes(record, settings);
    applyFont(record, settings);
    for (SectionId id : AlignmentRecordOrder) {
        settings.setCentered(id, record.byteAt(alignmentOffset(id)) == 'C');
    }
    for (const SectionBytes &row : Sections) {
        settings.setFontSize(row.section,
                             sizeDigit(record.byteAt(row.sizeAt)).value_or(row.fallbackSize));
    }
    settings.setHeaderSize(
        sizeDigit(record.byteAt(PrefsRecord::HeaderSizeAt)).value_or(HeaderFallbackSize));
}

void fillPrefs(PrefsRecord &record, const ListingSettings &settings)
{
    const QStringList &order = settings.sectionOrder();
    for (int slot = 0; slot < PrefsRecord::NameSlotCount; ++slot) {
        record.setNameSlot(slot, slot < order.size() ? order[slot] : QString());
    }
    record.setByte(PrefsRecord::HeaderLookAt, headerLookCode(settings.headerLook()));
    record.setByte(PrefsRecord::HeaderAlignAt, headerAlignCode(settings.headerAlign()));
    record.setByte(PrefsRecord::FontAt, digitOf(static_cast<int>(settings.fontFamily()) + 1));
    for (const SectionBytes &row : Sections) {
        const SectionStyle &style = settings.style(row.section);
        record.setByte(row.alignmentAt, style.centered() ? 'C' : 'L');
        if (style.fontSize) {
            record.setByte(row.sizeAt, digitOf(*style.fontSize));
        }
    }
    if (const std::optional<int> size = settings.headerSize()) {
        record.setByte(PrefsRecord::HeaderSizeAt, digitOf(*size));
    }
}
