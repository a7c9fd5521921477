#include "pagewriter.h"

#include "ansicodec.h"
#include "filesync.h"
#include "headerrow.h"
#include "pagetext.h"
#include "textrules.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

class SectionWriter
{
public:
    SectionWriter(PageText &page, const ListingSettings &settings, SectionId id)
        : m_page(page)
        , m_settings(settings)
        , m_id(id)
        , m_centered(settings.style(id).centered())
    {}

    void write()
    {
        switch (m_id) {
        case SectionId::Title:
            title();
            break;
        case SectionId::NoReserve:
            noReserve();
            break;
        case SectionId::Description:
        case SectionId::Condition:
        case SectionId::Payment:
        case SectionId::Shipping:
            multiLineSection();
            break;
        case SectionId::ThankYou:
            thankYou();
            break;
        }
        for (QStringView closing : {u"</td>", u"</tr>", u"</table>", u"</td>", u"</tr>"}) {
            m_page.line(closing);
        }
    }

private:
    QString colour(ColorSlotId slot) const
    {
        return colourValue(m_settings.colors().slot(slot).text());
    }

    QStringView trimmed(TextField field) const { return blankTrimmed(m_settings.text(field)); }

    void opening(QStringView cellPadding)
    {
        m_page.line(u"<tr>");
        m_page.line(u"<td bgcolor=\""_s + colour(backgroundSlot(m_id)) + u"\">"_s);
        m_page.line(u"<table cellspacing=\"0\" cellpadding=\""_s + cellPadding.toString() +
                    u"\" width=\"100%\">"_s);
    }

    void cellStart()
    {
        m_page.line(u"<tr>");
        m_page.line(u"<td>");
        if (m_centered) {
            m_page.line(u"<center>");
        }
    }

    void cellEnd()
    {
        if (m_centered) {
            m_page.line(u"</center>");
        }
    }

    // Two print steps: the part up to face=" leaves the line open, the font list closes it.
    void fontLine()
    {
        const std::optional<int> size = m_settings.style(m_id).fontSize;
        m_page.open(u"<font color=\""_s + colour(fontSlot(m_id)) + u"\" size=\""_s +
                    (size ? QString::number(*size) : QString()) + u"\" face=\""_s);
        m_page.line(fontList(m_settings.fontFamily()) + u"\">"_s);
    }

    void title()
    {
        opening(u"6");
        m_page.generatorComment();
        cellStart();
        fontLine();
        m_page.line(trimmed(TextField::MainTitle));
        m_page.line(u"<br></font>");
        fontLine();
        m_page.line(trimmed(TextField::SubTitle));
        m_page.line(u"</font>");
        cellEnd();
    }

    void noReserve()
    {
        opening(u"4");
        cellStart();
        fontLine();
        m_page.line(u"<i>");
        m_page.line(trimmed(TextField::NoReserve));
        m_page.line(u"</i>");
        m_page.line(u"</font>");
        cellEnd();
    }

    static TextField textOf(SectionId id)
    {
        switch (id) {
        case SectionId::Condition:
            return TextField::Condition;
        case SectionId::Payment:
            return TextField::Payment;
        case SectionId::Shipping:
            return TextField::Shipping;
        default:
            return TextField::Description;
        }
    }

    void multiLineSection()
    {
        opening(u"4");
        cellStart();
        fontLine();
        m_page.openWithBreaks(trimmed(textOf(m_id)));
        m_page.line(u"</font>");
        cellEnd();
    }

    void thankYou()
    {
        opening(u"4");
        cellStart();
        fontLine();
        m_page.open(trimmed(TextField::ThankYou));
        m_page.line(u"<br>");
        m_page.line(trimmed(TextField::AuctionId));
        m_page.line(u"</font>");
        m_page.generatorComment();
        cellEnd();
    }

    PageText &m_page;
    const ListingSettings &m_settings;
    SectionId m_id;
    bool m_centered;
};

// Room for the markup and the texts, with a little to spare for line breaks that grow.
qsizetype expectedSize(const ListingSettings &settings)
{
    qsizetype size = 8192;
    for (int f = 0; f < TextFieldCount; ++f) {
        const qsizetype length = settings.text(static_cast<TextField>(f)).size();
        size += length + length / 8;
    }
    return size;
}

} // namespace

void PageText::openWithBreaks(QStringView text)
{
    // A CR byte stands exactly where a CR character stood, since no other character encodes
    // to it; so the breaks are written in the encoding pass itself. A streamed page takes a
    // long text in slices, never between the two halves of a surrogate pair.
    static constexpr QByteArrayView Break = "<br>\r\r\n";
    const qsizetype slice = m_file ? ChunkBytes / 4 : text.size();
    for (qsizetype from = 0; from < text.size();) {
        qsizetype length = std::min(slice, text.size() - from);
        if (from + length < text.size() && text[from + length - 1].isHighSurrogate()) {
            ++length;
        }
        AnsiCodec::appendEncodedReplacingCr(m_bytes, text.sliced(from, length), Break);
        spill();
        from += length;
    }
}

void PageText::writeChunk()
{
    if (!m_error) {
        if (writeAll(*m_file, m_bytes)) {
            FileSync::startWriteback(*m_file);
        } else {
            m_error = FileSync::reasonOf(*m_file);
        }
    }
    m_bytes.resize(0);
}

std::optional<QString> PageText::finish()
{
    if (m_file) {
        writeChunk();
    }
    return m_error;
}

namespace {

void writeSections(PageText &page, const ListingSettings &settings)
{
    page.line(u"<table cellpadding=\"0\" cellspacing=\"0\" width=\"100%\">");
    page.generatorComment();
    for (const QString &name : settings.sectionOrder()) {
        const std::optional<SectionId> id = sectionForListName(name);
        if (!id) {
            continue;
        }
        if (hasHeaderRow(*id)) {
            writeHeaderRow(page, settings, *id);
        }
        SectionWriter(page, settings, *id).write();
    }
    page.line(u"</table>");
}

} // namespace

QByteArray renderPage(const ListingSettings &settings)
{
    PageText page;
    page.reserve(expectedSize(settings));
    writeSections(page, settings);
    return page.take();
}

bool writePage(const ListingSettings &settings, QIODevice &device)
{
    return writeAll(device, renderPage(settings));
}

WriteResult writeout(const ListingSettings &settings, const QString &outputPath)
{
    // A small page is made whole and written in one call; a large one is streamed, so that
    // making it and putting it on the disk overlap.
    if (expectedSize(settings) < 2 * PageText::ChunkBytes) {
        return replaceFile(outputPath, renderPage(settings));
    }
    return replaceFile(outputPath, [&settings](QFileDevice &out) {
        PageText page;
        page.reserve(PageText::ChunkBytes + PageText::ChunkBytes / 2);
        page.streamTo(out);
        writeSections(page, settings);
        return page.finish();
    });
}
