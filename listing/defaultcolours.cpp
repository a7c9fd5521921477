#include "defaultcolours.h"

#include <utility>

using namespace Qt::StringLiterals;

ColorSet defaultColorSet()
{
    static const std::pair<ColorSlotId, QString> scheme[] = {
        {ColorSlotId::HeaderFont, u"FFFFFF"_s},
        {ColorSlotId::TitleFont, u"000033"_s},
        {ColorSlotId::ReserveFont, u"990000"_s},
        {ColorSlotId::ConditionFont, u"003300"_s},
        {ColorSlotId::ShippingFont, u"330000"_s},
        {ColorSlotId::PaymentFont, u"003333"_s},
        {ColorSlotId::ThankYouFont, u"000066"_s},
        {ColorSlotId::DescriptionFont, u"000000"_s},
        {ColorSlotId::HeaderBackground, u"336699"_s},
        {ColorSlotId::TitleBackground, u"99CCFF"_s},
        {ColorSlotId::ReserveBackground, u"FFFFCC"_s},
        {ColorSlotId::ConditionBackground, u"CCFFCC"_s},
        {ColorSlotId::ShippingBackground, u"FFCC99"_s},
        {ColorSlotId::PaymentBackground, u"CCFFFF"_s},
        {ColorSlotId::ThankYouBackground, u"CCCCFF"_s},
        {ColorSlotId::DescriptionBackground, u"FFFFFF"_s},
    };
    ColorSet set;
    for (const auto &[slot, text] : scheme) {
        set.setSlot(slot, text);
    }
    return set;
}
