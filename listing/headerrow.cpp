#include "headerrow.h"

using namespace Qt::StringLiterals;

namespace {

QString sizeValue(std::optional<int> size)
{
    return size ? QString::number(*size) : QString();
}

QString alignmentWord(HeaderAlign align)
{
    switch (align) {
    case HeaderAlign::Left:
        return u"Left"_s;
    case HeaderAlign::Center:
        return u"center"_s;
    case HeaderAlign::Right:
        return u"right"_s;
    }
    Q_UNREACHABLE();
}

struct HeaderColours
{
    QString font;
    QString background;
    QString filler;
};

void labelFontLine(PageText &page, const HeaderColours &c, const ListingSettings &settings)
{
    page.line(u"<font color=\""_s + c.font + u"\" size=\""_s + sizeValue(settings.headerSize()) +
              u"\">"_s);
}

void tabCell(PageText &page, const HeaderColours &c, const ListingSettings &settings,
             const QString &label)
{
    page.line(u"<td width=\"20%\" bgcolor=\""_s + c.background + u"\">"_s);
    labelFontLine(page, c, settings);
    page.line(u"<center>");
    page.line(label);
    page.line(u"</center>");
    page.line(u"</font>");
    page.line(u"</td>");
}

void fillerCell(PageText &page, const HeaderColours &c, QStringView width)
{
    page.line(u"<td width=\""_s + width.toString() + u"\" bgcolor=\""_s + c.filler + u"\">"_s);
    page.line(u"</td>");
}

void strip(PageText &page, const HeaderColours &c, QStringView columns)
{
    page.line(u"<tr>");
    page.line(u"<td colspan=\""_s + columns.toString() + u"\" bgcolor=\""_s + c.background +
              u"\">"_s);
    page.line(u"</td>");
    page.line(u"</tr>");
    page.line(u"</table>");
}

void solidBar(PageText &page, const HeaderColours &c, const ListingSettings &settings,
              const QString &label)
{
    page.line(u"<tr>");
    page.line(u"<td width=\"100%\" bgcolor=\""_s + c.background + u"\" align=\""_s +
              alignmentWord(settings.headerAlign()) + u"\">"_s);
    labelFontLine(page, c, settings);
    page.line(label);
    page.line(u"</font>");
    page.line(u"</td>");
    page.line(u"</tr>");
    page.line(u"</table>");
}

void folderTab(PageText &page, const HeaderColours &c, const ListingSettings &settings,
               const QString &label)
{
    page.line(u"<tr>");
    switch (settings.headerAlign()) {
    case HeaderAlign::Left:
        tabCell(page, c, settings, label);
        fillerCell(page, c, u"80%");
        page.line(u"</tr>");
        strip(page, c, u"2");
        break;
    case HeaderAlign::Right:
        fillerCell(page, c, u"80%");
        tabCell(page, c, settings, label);
        page.line(u"</tr>");
        strip(page, c, u"2");
        break;
    case HeaderAlign::Center:
        fillerCell(page, c, u"40%");
        tabCell(page, c, settings, label);
        fillerCell(page, c, u"40%");
        page.line(u"</tr>");
        strip(page, c, u"3");
        page.generatorComment();
        break;
    }
}

} // namespace

QString headerLabel(SectionId id)
{
    switch (id) {
    case SectionId::Description:
        return u"&nbsp;   Description & Specifications   &nbsp;"_s;
    case SectionId::Condition:
        return u"&nbsp;   Condition   &nbsp;"_s;
    case SectionId::Payment:
        return u"&nbsp;   Payment Options   &nbsp;"_s;
    case SectionId::Shipping:
        return u"&nbsp;   Terms & Shipping   &nbsp;"_s;
    case SectionId::Title:
    case SectionId::NoReserve:
    case SectionId::ThankYou:
        return {};
    }
    Q_UNREACHABLE();
}

bool hasHeaderRow(SectionId id)
{
    return !headerLabel(id).isEmpty();
}

void writeHeaderRow(PageText &page, const ListingSettings &settings, SectionId id)
{
    const ColorSet &colours = settings.colors();
    const HeaderColours c{colourValue(colours.slot(ColorSlotId::HeaderFont).text()),
                          colourValue(colours.slot(ColorSlotId::HeaderBackground).text()),
                          colourValue(colours.slot(backgroundSlot(id)).text())};
    const QString label = headerLabel(id);

    page.line(u"<tr>");
    page.line(u"<td>");
    page.line(u"<table cellpadding=\"0\" cellspacing=\"0\" width=\"100%\">");
    page.generatorComment();
    if (settings.headerLook() == HeaderLook::SolidBar) {
        solidBar(page, c, settings, label);
    } else {
        folderTab(page, c, settings, label);
    }
    page.line(u"</td>");
    page.line(u"</tr>");
}
