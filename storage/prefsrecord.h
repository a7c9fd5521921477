#pragma once

#include "listingsettings.h"
#include "sectionid.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The 210-byte record of "prefs.dat", kept as the bytes themselves: the section-name slots,
// one byte per style group and 24 reserved bytes. Keeping bytes rather than decoded values is
// what lets the reserved bytes and the bytes of groups with nothing chosen travel unchanged
// from the file read at start-up to the file written at shut-down.
class PrefsRecord
{
public:
    static constexpr qsizetype Size = 210;
    static constexpr int NameSlotCount = 14;
    static constexpr qsizetype NameSlotWidth = 12;

    static constexpr qsizetype HeaderLookAt = 168;
    static constexpr qsizetype HeaderAlignAt = 169;
    static constexpr qsizetype FontAt = 171;
    static constexpr qsizetype HeaderSizeAt = 185;
    static constexpr qsizetype ReservedAt = 186;
    static constexpr qsizetype ReservedWidth = 24;

    // A record that was never read: all zero bytes.
    PrefsRecord();
    // The first 210 bytes; a shorter record reads as if padded with zero bytes.
    static PrefsRecord fromBytes(QByteArrayView bytes);

    const QByteArray &bytes() const { return m_bytes; }
    char byteAt(qsizetype offset) const { return m_bytes.at(offset); }
    void setByte(qsizetype offset, char value) { m_bytes[offset] = value; }

    // A slot's 12 characters, untrimmed.
    QString nameSlot(int slot) const;
    // Padded with blanks and cut to 12, as every fixed-length field is on assignment.
    void setNameSlot(int slot, const QString &name);

    friend bool operator==(const PrefsRecord &, const PrefsRecord &) = default;

private:
    QByteArray m_bytes;
};

// Where each section's alignment byte and size byte sit in the record.
qsizetype alignmentOffset(SectionId id);
qsizetype sizeOffset(SectionId id);

// The size a group falls back to when its byte holds no digit "1" to "7". These are the
// program's own and differ from the sizes the menus caption "(Default)".
int fallbackSize(SectionId id);
inline constexpr int HeaderFallbackSize = 1;

// Applies a record read at start-up to settings in their initial state (empty list, switches
// off), in the record's order: name slots, header look, header alignment, font, the seven
// alignments, the eight sizes. A byte that names no item of its group leaves the group as it
// was; a size byte without a digit "1" to "7" selects the group's fallback size.
void applyPrefs(const PrefsRecord &record, ListingSettings &settings);

// Refills the record from the settings at shut-down. The reserved bytes, and the byte of a
// group in which nothing is chosen, keep what the record already holds.
void fillPrefs(PrefsRecord &record, const ListingSettings &settings);
