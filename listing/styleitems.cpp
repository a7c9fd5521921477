#include "styleitems.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

struct SectionGroups
{
    SectionId section;
    StyleGroup size;
    StyleGroup align;
    const char16_t *prefix;
    int defaultSize; // the size whose caption carries "(Default)"
};

// Rows in the order of the FontSize submenus; the Centering submenus use another order.
constexpr std::array<SectionGroups, 7> Sections{{
    {SectionId::Title, StyleGroup::TitleSize, StyleGroup::TitleAlign, u"titl", 5},
    {SectionId::Description, StyleGroup::DescriptionSize, StyleGroup::DescriptionAlign, u"desc", 3},
    {SectionId::Condition, StyleGroup::ConditionSize, StyleGroup::ConditionAlign, u"cond", 2},
    {SectionId::ThankYou, StyleGroup::ThankYouSize, StyleGroup::ThankYouAlign, u"thnk", 3},
    {SectionId::Shipping, StyleGroup::ShippingSize, StyleGroup::ShippingAlign, u"ship", 2},
    {SectionId::Payment, StyleGroup::PaymentSize, StyleGroup::PaymentAlign, u"pmnt", 2},
    {SectionId::NoReserve, StyleGroup::NoReserveSize, StyleGroup::NoReserveAlign, u"rsrv", 4},
}};

constexpr std::array<SectionId, 7> CenteringMenuOrder{
    SectionId::Title,    SectionId::NoReserve, SectionId::Description, SectionId::Condition,
    SectionId::ThankYou, SectionId::Shipping,  SectionId::Payment};

const SectionGroups *rowFor(SectionId id)
{
    for (const SectionGroups &row : Sections) {
        if (row.section == id) {
            return &row;
        }
    }
    return nullptr;
}

const SectionGroups *rowForGroup(StyleGroup group)
{
    for (const SectionGroups &row : Sections) {
        if (row.size == group || row.align == group) {
            return &row;
        }
    }
    return nullptr;
}

QString sizeCaption(int size, int defaultSize)
{
    QString caption = u"Size "_s + QString::number(size);
    if (size == defaultSize) {
        return caption + u" (Default)"_s;
    }
    if (size == ListingSettings::MinFontSize) {
        return caption + u" (Smallest)"_s;
    }
    if (size == ListingSettings::MaxFontSize) {
        return caption + u" (Largest)"_s;
    }
    return caption;
}

void addSizeGroup(std::vector<StyleItem> &items, const QString &prefix, StyleGroup group,
                  int defaultSize)
{
    for (int size = ListingSettings::MinFontSize; size <= ListingSettings::MaxFontSize; ++size) {
        items.push_back({prefix + u"size"_s + QString::number(size), sizeCaption(size, defaultSize),
                         group, size});
    }
}

std::vector<StyleItem> buildItems()
{
    std::vector<StyleItem> items;
    items.reserve(83);
    const auto look = [](HeaderLook v) { return static_cast<int>(v); };
    const auto align = [](HeaderAlign v) { return static_cast<int>(v); };
    const auto font = [](FontFamily v) { return static_cast<int>(v); };

    items.push_back(
        {u"HeaderSolid"_s, u"Solid Bar"_s, StyleGroup::HeaderLook, look(HeaderLook::SolidBar)});
    items.push_back(
        {u"foldertab"_s, u"Folder Tab"_s, StyleGroup::HeaderLook, look(HeaderLook::FolderTab)});
    items.push_back(
        {u"Headerleft"_s, u"Left Justified"_s, StyleGroup::HeaderAlign, align(HeaderAlign::Left)});
    items.push_back(
        {u"headercenter"_s, u"Centered"_s, StyleGroup::HeaderAlign, align(HeaderAlign::Center)});
    items.push_back({u"headerright"_s, u"Right Justified"_s, StyleGroup::HeaderAlign,
                     align(HeaderAlign::Right)});

    items.push_back({u"fontarial"_s, u"Arial"_s, StyleGroup::Font, font(FontFamily::Arial)});
    items.push_back(
        {u"fontarialblack"_s, u"Arialblack"_s, StyleGroup::Font, font(FontFamily::ArialBlack)});
    items.push_back(
        {u"fontcomic"_s, u"Comic Sans MS"_s, StyleGroup::Font, font(FontFamily::ComicSans)});
    items.push_back(
        {u"fontcourier"_s, u"Courier New"_s, StyleGroup::Font, font(FontFamily::CourierNew)});
    items.push_back({u"fontimpact"_s, u"Impact"_s, StyleGroup::Font, font(FontFamily::Impact)});
    items.push_back({u"fontlucidaconsole"_s, u"Lucida Console"_s, StyleGroup::Font,
                     font(FontFamily::LucidaConsole)});
    items.push_back({u"fontlucidasans"_s, u"Lucida Sans Unicode"_s, StyleGroup::Font,
                     font(FontFamily::LucidaSans)});
    items.push_back(
        {u"fonttimes"_s, u"Times New Roman"_s, StyleGroup::Font, font(FontFamily::TimesNewRoman)});

    for (const SectionGroups &row : Sections) {
        addSizeGroup(items, QString::fromUtf16(row.prefix), row.size, row.defaultSize);
    }
    addSizeGroup(items, u"hedr"_s, StyleGroup::HeaderSize, 1);

    for (SectionId id : CenteringMenuOrder) {
        const SectionGroups *row = rowFor(id);
        const QString prefix = QString::fromUtf16(row->prefix);
        items.push_back({prefix + u"cent"_s, u"Centered"_s, row->align, 1});
        items.push_back({prefix + u"left"_s, u"Left Justified"_s, row->align, 0});
    }
    return items;
}

} // namespace

const std::vector<StyleItem> &styleItems()
{
    static const std::vector<StyleItem> items = buildItems();
    return items;
}

void selectStyleItem(ListingSettings &settings, const StyleItem &item)
{
    switch (item.group) {
    case StyleGroup::HeaderLook:
        settings.setHeaderLook(static_cast<HeaderLook>(item.value));
        return;
    case StyleGroup::HeaderAlign:
        settings.setHeaderAlign(static_cast<HeaderAlign>(item.value));
        return;
    case StyleGroup::Font:
        settings.setFontFamily(static_cast<FontFamily>(item.value));
        return;
    case StyleGroup::HeaderSize:
        settings.setHeaderSize(item.value);
        return;
    default:
        break;
    }
    const SectionGroups *row = rowForGroup(item.group);
    if (row->size == item.group) {
        settings.setFontSize(row->section, item.value);
    } else {
        settings.setCentered(row->section, item.value == 1);
    }
}

bool isMarked(const ListingSettings &settings, const StyleItem &item)
{
    switch (item.group) {
    case StyleGroup::HeaderLook:
        return static_cast<int>(settings.headerLook()) == item.value;
    case StyleGroup::HeaderAlign:
        return static_cast<int>(settings.headerAlign()) == item.value;
    case StyleGroup::Font:
        return static_cast<int>(settings.fontFamily()) == item.value;
    case StyleGroup::HeaderSize:
        return settings.headerSize() == item.value;
    default:
        break;
    }
    const SectionGroups *row = rowForGroup(item.group);
    const SectionStyle &style = settings.style(row->section);
    if (row->size == item.group) {
        return style.fontSize == item.value;
    }
    return style.alignment == (item.value == 1 ? Alignment::Centered : Alignment::Left);
}
