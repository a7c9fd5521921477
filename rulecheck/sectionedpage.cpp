#include "sectionedpage.h"

#include "pagewriter.h"

#include <QHash>

#include <algorithm>

namespace {

// The outer table's last line; everything a section writes stands before it.
constexpr QByteArrayView PageEnd = "</table>\r\n";

// The same settings with another section list. ListingSettings offers no way to empty its
// list, so the copy is built from the getters; a rendering test compares the sections put
// together with renderPage, so a setting missed here cannot go unnoticed.
ListingSettings withOrder(const ListingSettings &settings, const QStringList &order)
{
    ListingSettings copy;
    for (int f = 0; f < TextFieldCount; ++f) {
        const auto field = static_cast<TextField>(f);
        copy.setText(field, settings.text(field));
    }
    for (SectionId id : AllSections) {
        const SectionStyle &style = settings.style(id);
        if (style.fontSize) {
            copy.setFontSize(id, *style.fontSize);
        }
        if (style.alignment != Alignment::NotChosen) {
            copy.setCentered(id, style.centered());
        }
    }
    if (settings.headerSize()) {
        copy.setHeaderSize(*settings.headerSize());
    }
    copy.setHeaderLook(settings.headerLook());
    copy.setHeaderAlign(settings.headerAlign());
    copy.setFontFamily(settings.fontFamily());
    copy.setColors(settings.colors());
    for (const QString &name : order) {
        copy.appendRestoredName(name);
    }
    return copy;
}

} // namespace

QString SectionedPage::sectionAt(qsizetype offset) const
{
    const auto after = std::upper_bound(
        sections.begin(), sections.end(), offset,
        [](qsizetype value, const SectionSpan &span) { return value < span.begin; });
    if (after == sections.begin()) {
        return {};
    }
    const SectionSpan &span = *(after - 1);
    return offset < span.end ? span.listName : QString();
}

// Sections do not depend on one another, so the page is the frame around the sections, each
// rendered on its own; that costs no more than rendering the page once.
SectionedPage renderSectioned(const ListingSettings &settings)
{
    const QByteArray frame = renderPage(withOrder(settings, {}));
    Q_ASSERT(frame.endsWith(PageEnd));
    const qsizetype head = frame.size() - PageEnd.size();

    SectionedPage page;
    QHash<QString, QByteArray> rendered;
    qsizetype total = frame.size();
    for (const QString &name : settings.sectionOrder()) {
        auto it = rendered.find(name);
        if (it == rendered.end()) {
            const QByteArray alone = renderPage(withOrder(settings, {name}));
            it = rendered.insert(name, alone.sliced(head, alone.size() - frame.size()));
        }
        if (!it->isEmpty()) {
            page.sections.push_back({name, total - PageEnd.size(), 0});
            total += it->size();
            page.sections.back().end = total - PageEnd.size();
        }
    }

    page.bytes.reserve(total);
    page.bytes.append(frame.constData(), head);
    for (const SectionSpan &span : page.sections) {
        page.bytes.append(rendered.value(span.listName));
    }
    page.bytes.append(PageEnd);
    return page;
}
