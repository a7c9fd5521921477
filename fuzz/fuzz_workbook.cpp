#include "fuzzcheck.h"
#include "packagezip.h"
#include "workbookfill.h"

using namespace Qt::StringLiterals;

namespace {

// A page that this program wrote carries the generator comment as its second line.
bool isPage(const QString &text)
{
    return text.section(u"\r\n"_s, 1, 1).startsWith(u"<!-Created with"_s);
}

} // namespace

// A worksheet: any bytes as the one sheet of a workbook whose shared strings name the header's
// columns and an action, filled with the first-start settings.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString main = u"http://schemas.openxmlformats.org/"_s;
    const QByteArray book = PackageZip::build({
        {u"_rels/.rels"_s,
         (u"<Relationships><Relationship Id=\"b\" Target=\"xl/workbook.xml\" Type=\""_s + main +
          u"officeDocument/2006/relationships/officeDocument\"/></Relationships>"_s)
             .toUtf8()},
        {u"xl/workbook.xml"_s,
         "<workbook xmlns:r=\"r\"><sheets><sheet name=\"L\" r:id=\"s\"/></sheets></workbook>"},
        {u"xl/_rels/workbook.xml.rels"_s,
         (u"<Relationships><Relationship Id=\"s\" Target=\"s.xml\" Type=\"/worksheet\"/>"
          "<Relationship Id=\"t\" Target=\"t.xml\" Type=\"/sharedStrings\"/></Relationships>"_s)
             .toUtf8()},
        {u"xl/t.xml"_s,
         "<sst><si><t>*Action(</t></si><si><t>Title</t></si><si><t>Description</t>"
         "</si><si><t>Add</t></si><si><r><t>Re</t></r><r><t>vise</t></r></si></sst>"},
        {u"xl/s.xml"_s, fuzzInput(data, size)},
    });
    Q_ASSERT(!book.isEmpty());
    const FilledWorkbook filled = fillWorkbook(book, ListingSettings{});
    Q_ASSERT(filled.error.has_value() == filled.bytes.isEmpty());
    if (filled.error) {
        Q_ASSERT(filled.listings.empty() && filled.warnings.empty());
        return 0;
    }
    // Every part but the sheet is stored as it was.
    const auto before = workbookStoredParts(book);
    auto after = workbookStoredParts(filled.bytes);
    Q_ASSERT(before.size() == after.size());
    for (const auto &[name, stored] : before) {
        Q_ASSERT(name == u"xl/s.xml"_s || after[name] == stored);
    }
    // In the sheet only cells that now hold a page changed, one an item at most.
    using Cells = std::map<QString, WorkbookCell>;
    Cells cells = workbookCells(book).value_or(Cells{});
    const std::optional<Cells> filledCells = workbookCells(filled.bytes);
    Q_ASSERT(filledCells);
    qsizetype changed = 0;
    for (const auto &[ref, cell] : *filledCells) {
        if (!(cells[ref] == cell)) {
            Q_ASSERT(isPage(cell.text));
            ++changed;
        }
    }
    Q_ASSERT(changed <= filled.itemCount);
    // Filled again, the copy keeps every page.
    const FilledWorkbook again = fillWorkbook(filled.bytes, ListingSettings{});
    Q_ASSERT(!again.error && again.itemCount == 0);
    return 0;
}
