#include "colorset.h"

ColorSlot::ColorSlot()
    : m_text(Length, u' ')
{}

ColorSlot::ColorSlot(const QString &text)
    : m_text(text.left(Length).leftJustified(Length, u' '))
{}

ColorSlotId fontSlot(SectionId id)
{
    switch (id) {
    case SectionId::Title:
        return ColorSlotId::TitleFont;
    case SectionId::NoReserve:
        return ColorSlotId::ReserveFont;
    case SectionId::Description:
        return ColorSlotId::DescriptionFont;
    case SectionId::Condition:
        return ColorSlotId::ConditionFont;
    case SectionId::Payment:
        return ColorSlotId::PaymentFont;
    case SectionId::Shipping:
        return ColorSlotId::ShippingFont;
    case SectionId::ThankYou:
        return ColorSlotId::ThankYouFont;
    }
    Q_UNREACHABLE();
}

ColorSlotId backgroundSlot(SectionId id)
{
    switch (id) {
    case SectionId::Title:
        return ColorSlotId::TitleBackground;
    case SectionId::NoReserve:
        return ColorSlotId::ReserveBackground;
    case SectionId::Description:
        return ColorSlotId::DescriptionBackground;
    case SectionId::Condition:
        return ColorSlotId::ConditionBackground;
    case SectionId::Payment:
        return ColorSlotId::PaymentBackground;
    case SectionId::Shipping:
        return ColorSlotId::ShippingBackground;
    case SectionId::ThankYou:
        return ColorSlotId::ThankYouBackground;
    }
    Q_UNREACHABLE();
}
