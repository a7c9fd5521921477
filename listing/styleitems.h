#pragma once

#include "listingsettings.h"

#include <QString>

#include <optional>
#include <vector>

// The 18 groups of mutually exclusive style items. The marked item of a group is the value
// of one setting; the marks are read from the settings, so they can never disagree.
enum class StyleGroup {
    HeaderLook,
    HeaderAlign,
    Font,
    TitleSize,
    DescriptionSize,
    ConditionSize,
    ThankYouSize,
    ShippingSize,
    PaymentSize,
    NoReserveSize,
    HeaderSize,
    TitleAlign,
    NoReserveAlign,
    DescriptionAlign,
    ConditionAlign,
    ThankYouAlign,
    ShippingAlign,
    PaymentAlign,
};

// Value meanings: HeaderLook and HeaderAlign and Font use the enum's integer value; a size
// item holds its size 1..7; an alignment item holds 1 for "Centered" and 0 for "Left
// Justified".
struct StyleItem
{
    QString name;    // the menu item's control name, e.g. "titlsize5"
    QString caption; // e.g. "Size 5 (Default)"
    StyleGroup group;
    int value;
};

// All 83 items, in menu order: Headers (look, then alignment), Fonts, the eight size
// submenus, the seven alignment submenus.
const std::vector<StyleItem> &styleItems();

// Choosing an item: its group's setting takes the item's value; nothing else changes.
void selectStyleItem(ListingSettings &settings, const StyleItem &item);
bool isMarked(const ListingSettings &settings, const StyleItem &item);
