#pragma once

#include "sectionid.h"

#include <QString>

#include <array>

// One colour as six characters RRGGBB, written into the page after a "#" exactly as held.
// Like every fixed-length field of the data files it is padded with blanks or cut to its
// length when assigned, so it always holds six characters.
class ColorSlot
{
public:
    static constexpr qsizetype Length = 6;

    ColorSlot();
    explicit ColorSlot(const QString &text);

    const QString &text() const { return m_text; }
    friend bool operator==(const ColorSlot &, const ColorSlot &) = default;

private:
    QString m_text;
};

// Slot indices in record order: eight text colours, then eight background colours.
enum class ColorSlotId {
    HeaderFont,
    TitleFont,
    ReserveFont,
    ConditionFont,
    ShippingFont,
    PaymentFont,
    ThankYouFont,
    DescriptionFont,
    HeaderBackground,
    TitleBackground,
    ReserveBackground,
    ConditionBackground,
    ShippingBackground,
    PaymentBackground,
    ThankYouBackground,
    DescriptionBackground,
};

class ColorSet
{
public:
    static constexpr int Count = 16;

    const ColorSlot &slot(ColorSlotId id) const { return m_slots[static_cast<size_t>(id)]; }
    void setSlot(ColorSlotId id, const QString &text)
    {
        m_slots[static_cast<size_t>(id)] = ColorSlot(text);
    }
    friend bool operator==(const ColorSet &, const ColorSet &) = default;

private:
    std::array<ColorSlot, Count> m_slots;
};

ColorSlotId fontSlot(SectionId id);
ColorSlotId backgroundSlot(SectionId id);
