#include "bulkfill.h"

#include "ansicodec.h"
#include "batchplan.h"
#include "csvrecords.h"
#include "filesync.h"
#include "filewrite.h"
#include "pagetext.h"
#include "textrules.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

enum class Column { Title, Subtitle, Description, Condition };
constexpr int ColumnCount = 4;

constexpr std::array<CsvColumn, ColumnCount> KnownColumns{{
    {u"title", u"Title", true},
    {u"subtitle", u"Subtitle", false},
    {u"description", u"Description", true},
    {u"conditiondescription", u"ConditionDescription", false},
}};

// The actions that create a listing. Every other action (Revise, Relist, End, ...) works on a
// live listing, where an empty field keeps what the listing has: a page composed around an
// empty text would replace the live description.
constexpr std::array<QStringView, 3> CreatingActions{u"add", u"verifyadd", u"draft"};

bool isHeaderCell(QByteArrayView cell)
{
    if (cell.startsWith('*')) {
        cell = cell.sliced(1);
    }
    return QLatin1StringView(cell).startsWith(u"action("_s, Qt::CaseInsensitive);
}

// The separator is read off the header line; the notes above it may use it or not.
char bulkSeparator(QByteArrayView text)
{
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        QByteArrayView line = text.sliced(pos, end - pos);
        if (isHeaderCell(line.startsWith('"') ? line.sliced(1) : line)) {
            return headerSeparator(line, SeparatorChoice::CommaSemicolonOrTab);
        }
        pos = end + 1;
    }
    return ',';
}

// The code page among the settings of the Action cell, "*Action(SiteID=US|...|CC=UTF-8)": UTF-8,
// or one of the names spreadsheet tools give Windows-1252 and the Latin-1 it extends.
std::optional<CsvEncoding> declaredEncoding(QByteArrayView actionCell)
{
    const QByteArray inside = actionCell.sliced(actionCell.indexOf('(') + 1).toByteArray();
    const QList<QByteArray> settings = inside.split(')').first().split('|');
    for (const QByteArray &setting : settings) {
        const QByteArray s = setting.trimmed().toLower();
        if (s == "cc=utf-8" || s == "cc=utf8") {
            return CsvEncoding::Utf8;
        }
        if (s == "cc=cp1252" || s == "cc=windows-1252" || s == "cc=iso-8859-1" ||
            s == "cc=latin1") {
            return CsvEncoding::Windows1252;
        }
    }
    return std::nullopt;
}

// A page that this program wrote carries the generator comment as its second line.
bool holdsComposedPage(QStringView text)
{
    const qsizetype firstBreak = text.indexOf(u'\n');
    if (firstBreak < 0) {
        return false;
    }
    // The version may differ: a page from any version is a page.
    const QStringView comment = PageText::GeneratorComment;
    return text.sliced(firstBreak + 1).startsWith(comment.first(comment.indexOf(u" v")));
}

QString decodedField(const BulkFile &file, QByteArrayView body, const CsvField &field)
{
    const QByteArray value = csvFieldValue(body, field);
    if (file.encoding == CsvEncoding::Windows1252) {
        return AnsiCodec::decode(value);
    }
    // Only the file's first bytes can be a byte-order mark; one at the start of a field is text.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(value);
}

qsizetype bodyOffsetOf(const BulkFile &file)
{
    return file.bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
}

// What a row after the header is. Reading the file and filling it take their rows from here
// alike, so that the rows filled are those the reading found.
struct BulkRow
{
    enum Kind { Note, Action, Item, ComposedPage, Fault } kind = Note;
    BulkItem item;     // of an Item
    QString faultText; // of a Fault
};

BulkRow readBulkRow(const BulkFile &file, QByteArrayView body, const CsvRecord &record)
{
    BulkRow row;
    const QString action = decodedField(file, body, record.fields[0]);
    const auto fieldCount = static_cast<qsizetype>(record.fields.size());
    const auto text = [&](Column column) {
        const qsizetype index = file.columns[static_cast<size_t>(column)];
        return index >= 0 && index < fieldCount
                   ? decodedField(file, body, record.fields[static_cast<size_t>(index)])
                   : QString();
    };
    const BulkRowKind kind = bulkRowKind(action, text(Column::Description));
    if (kind == BulkRowKind::SecondHeader) {
        row.kind = BulkRow::Fault;
        row.faultText = BulkText::secondHeader(file.headerLine);
        return row;
    }
    if (fieldCount > file.headerSize) {
        row.kind = BulkRow::Fault;
        row.faultText = CsvFault::moreFieldsThanHeader(file.headerSize, 0);
        return row;
    }
    if (kind == BulkRowKind::Note) {
        return row;
    }
    row.kind = kind == BulkRowKind::Kept ? BulkRow::Action : BulkRow::ComposedPage;
    BulkItem &item = row.item;
    item.texts = bulkTexts(text(Column::Title), text(Column::Subtitle), text(Column::Description),
                           text(Column::Condition));
    item.texts.line = record.line;
    if (kind != BulkRowKind::Item) {
        return row;
    }
    row.kind = BulkRow::Item;
    const qsizetype bodyOffset = bodyOffsetOf(file);
    const qsizetype column = file.columns[static_cast<size_t>(Column::Description)];
    if (column < fieldCount) {
        const CsvField &field = record.fields[static_cast<size_t>(column)];
        item.descriptionBegin = bodyOffset + field.begin;
        item.descriptionEnd = bodyOffset + field.end;
    } else {
        item.descriptionBegin = item.descriptionEnd = bodyOffset + record.end;
        item.missingSeparators = column - fieldCount + 1;
    }
    return row;
}

class BulkReader
{
public:
    explicit BulkReader(QByteArray bytes)
    {
        m_file.bytes = std::move(bytes);
        m_body = QByteArrayView(m_file.bytes).sliced(bodyOffsetOf(m_file));
    }

    BulkFile run();

private:
    std::optional<CsvRecord> findHeader();
    void readHeader(const CsvRecord &header);
    void checkEncoding(bool declared, QStringView how);
    void readRows();
    void fail(int line, const QString &text) { m_file.error = BatchMessage{line, text}; }

    BulkFile m_file;
    QByteArrayView m_body;
};

BulkFile BulkReader::run()
{
    if ((m_file.error = utf16Refusal(m_file.bytes, u"CSV (UTF-8 or plain)"))) {
        return std::move(m_file);
    }
    m_file.separator = bulkSeparator(m_body);
    const std::optional<CsvRecord> header = findHeader();
    if (m_file.error) {
        return std::move(m_file);
    }
    if (!header) {
        fail(0, BulkText::noHeader());
        return std::move(m_file);
    }
    const QByteArray actionCell = csvFieldValue(m_body, header->fields[0]);
    const bool bom = m_body.size() < m_file.bytes.size();
    const std::optional<CsvEncoding> declared = declaredEncoding(actionCell);
    if (declared == CsvEncoding::Windows1252) {
        m_file.encoding = CsvEncoding::Windows1252;
    } else {
        checkEncoding(bom || declared,
                      bom ? MarkedAsUtf8 : u"that says it is UTF-8 (CC=UTF-8 in its Action cell)");
    }
    if (!m_file.error) {
        readHeader(*header);
    }
    if (!m_file.error) {
        readRows();
    }
    if (m_file.error) {
        m_file.itemCount = 0;
        m_file.warnings.clear();
    }
    return std::move(m_file);
}

// The first row whose first cell is the Action column, after the whole file is split: a fault
// of the splitting anywhere comes before any other.
std::optional<CsvRecord> BulkReader::findHeader()
{
    std::optional<CsvRecord> header;
    CsvRecordReader reader(m_body, m_file.separator);
    CsvRecord record;
    while (reader.next(record)) {
        if (!header && !reader.error() && isHeaderCell(csvFieldValue(m_body, record.fields[0]))) {
            header = record;
            m_file.rowsBegin = reader.position();
            m_file.rowsLine = reader.line();
        }
    }
    m_file.error = reader.error();
    return header;
}

void BulkReader::checkEncoding(bool declared, QStringView how)
{
    if (!declared) {
        m_file.encoding = undeclaredCsvEncoding(m_body);
        return;
    }
    m_file.encoding = CsvEncoding::Utf8;
    m_file.error = invalidUtf8Fault(m_body, how);
}

void BulkReader::readHeader(const CsvRecord &header)
{
    m_file.headerLine = header.line;
    m_file.headerSize = static_cast<qsizetype>(header.fields.size());
    std::vector<QString> names;
    for (const CsvField &field : header.fields) {
        names.push_back(decodedField(m_file, m_body, field));
    }
    const CsvHeader matched = matchBulkHeader(names);
    if (matched.fault) {
        fail(header.line, *matched.fault);
        return;
    }
    m_file.columns = matched.found;
}

void BulkReader::readRows()
{
    bool anyAction = false;
    CsvRecordReader reader(m_body, m_file.separator, m_file.rowsBegin, m_file.rowsLine);
    CsvRecord record;
    while (!m_file.error && reader.next(record)) {
        const BulkRow row = readBulkRow(m_file, m_body, record);
        anyAction |= row.kind != BulkRow::Note && row.kind != BulkRow::Fault;
        if (row.kind == BulkRow::Fault) {
            fail(record.line, row.faultText);
        } else if (row.kind == BulkRow::ComposedPage) {
            m_file.warnings.push_back({record.line, BulkText::composedPage()});
        } else if (row.kind == BulkRow::Item) {
            ++m_file.itemCount;
        }
    }
    if (!m_file.error && !anyAction) {
        m_file.warnings.push_back({m_file.headerLine, BulkText::noItemRows()});
    }
}

} // namespace

bool isBulkHeaderCell(QStringView cell)
{
    if (cell.startsWith(u'*')) {
        cell = cell.sliced(1);
    }
    return cell.startsWith(u"action(", Qt::CaseInsensitive);
}

CsvHeader matchBulkHeader(std::vector<QString> names)
{
    for (QString &name : names) {
        while (name.startsWith(u'*')) {
            name.remove(0, 1);
        }
    }
    return matchCsvHeader(names, KnownColumns);
}

BulkRowKind bulkRowKind(const QString &actionCell, const QString &description)
{
    const QString action = trimBlanks(actionCell).toCaseFolded();
    // A header copied under the first one would be filled as an item titled "*Title".
    if (isBulkHeaderCell(action)) {
        return BulkRowKind::SecondHeader;
    }
    // An empty Action cell continues the item above (a variation, a picture); "#" and "Info"
    // rows are the template's notes, wherever they stand.
    if (action.isEmpty() || action.startsWith(u'#') || action == u"info") {
        return BulkRowKind::Note;
    }
    if (description.isEmpty() && std::find(CreatingActions.begin(), CreatingActions.end(),
                                           action) == CreatingActions.end()) {
        return BulkRowKind::Kept;
    }
    return holdsComposedPage(normalizeLineBreaks(description)) ? BulkRowKind::ComposedPage
                                                               : BulkRowKind::Item;
}

BatchRow bulkTexts(const QString &title, const QString &subtitle, const QString &description,
                   const QString &condition)
{
    BatchRow texts;
    texts.mainTitle = title;
    texts.subTitle = normalizeLineBreaks(subtitle);
    texts.description = normalizeLineBreaks(description);
    texts.condition = normalizeLineBreaks(condition);
    return texts;
}

namespace BulkText {

QString secondHeader(int headerLine, QStringView where)
{
    return u"a second header row: its first cell begins with \"*Action(\", as the header's on "
           "%1 %2 does; the file must have one header row"_s.arg(where)
               .arg(headerLine);
}

QString composedPage()
{
    return u"the Description already holds a composed page; left as it is (fill the file that "
           "holds the seller's own descriptions)"_s;
}

QString noItemRows()
{
    return u"the file holds no item rows to fill (no row has an Action)"_s;
}

QString noHeader()
{
    return u"no header row: no row's first cell begins with \"*Action(\", as the header of "
           "the marketplace's bulk-listing file does"_s;
}

std::optional<QString> pageTooLong(qsizetype length, bool inWorkbook)
{
    if (length > MarketplaceMaxPageLength) {
        return u"the page has %1 characters, more than the %2 the marketplace takes in a "
               "description"_s.arg(length)
                   .arg(MarketplaceMaxPageLength);
    }
    if (inWorkbook && length > SpreadsheetMaxCellLength) {
        return u"the page has %1 characters, more than the %2 a spreadsheet cell holds "
               "(shorten the description, or fill the CSV file)"_s.arg(length)
                   .arg(SpreadsheetMaxCellLength);
    }
    return std::nullopt;
}

std::optional<QString> pageCutInSpreadsheet(qsizetype length)
{
    if (length <= SpreadsheetMaxCellLength) {
        return std::nullopt;
    }
    return u"the page has %1 characters, more than the %2 a spreadsheet cell holds: a "
           "spreadsheet that opens the filled file cuts it"_s.arg(length)
               .arg(SpreadsheetMaxCellLength);
}

} // namespace BulkText

BulkFile parseBulkFile(QByteArray bytes)
{
    return BulkReader(std::move(bytes)).run();
}

void forEachBulkItem(const BulkFile &file, const std::function<bool(const BulkItem &)> &visit)
{
    if (!file.ok() || file.itemCount == 0) {
        return;
    }
    const QByteArrayView body = QByteArrayView(file.bytes).sliced(bodyOffsetOf(file));
    CsvRecordReader reader(body, file.separator, file.rowsBegin, file.rowsLine);
    CsvRecord record;
    while (reader.next(record)) {
        const BulkRow row = readBulkRow(file, body, record);
        if (row.kind == BulkRow::Item && !visit(row.item)) {
            return;
        }
    }
}

namespace {

// Gathers the filled file and writes it in large pieces. A piece larger than the device's own
// buffer goes straight to the file, where a full disk gives the system's reason; a failure met
// inside that buffer carries none. So a tail is always held back for the last piece, which is
// then as large as the tail, or the whole file when that is smaller.
class PieceWriter
{
public:
    explicit PieceWriter(QIODevice &out)
        : m_out(out)
    {
        m_pending.reserve(PieceBytes + TailBytes);
    }

    bool add(QByteArrayView bytes)
    {
        while (!m_error && !bytes.empty()) {
            const qsizetype room = PieceBytes + TailBytes - m_pending.size();
            m_pending += bytes.first(std::min(room, bytes.size()));
            bytes = bytes.sliced(std::min(room, bytes.size()));
            if (m_pending.size() == PieceBytes + TailBytes) {
                send(PieceBytes);
            }
        }
        return !m_error;
    }
    std::optional<QString> finish()
    {
        if (!m_error) {
            send(m_pending.size());
        }
        return m_error;
    }

private:
    static constexpr qsizetype PieceBytes = 1024 * 1024;
    static constexpr qsizetype TailBytes = 64 * 1024;

    void send(qsizetype count)
    {
        if (!writeAll(m_out, QByteArrayView(m_pending).first(count))) {
            m_error = FileSync::reasonOf(m_out);
        }
        m_pending.remove(0, count);
    }

    QIODevice &m_out;
    QByteArray m_pending;
    std::optional<QString> m_error;
};

} // namespace

FilledFile fillBulkFile(const BulkFile &file, const ListingSettings &folder, QIODevice &out,
                        const BatchOptions &options)
{
    FilledFile filled;
    const QByteArrayView original = file.bytes;
    PieceWriter writer(out);
    qsizetype copied = 0;
    qsizetype done = 0;
    forEachBulkItem(file, [&](const BulkItem &item) {
        CheckedPage page = composeListing(listingForRow(folder, item.texts), options.check);
        if (std::optional<QString> fault = BulkText::pageTooLong(page.page.size(), false)) {
            filled.pageError = BatchMessage{item.texts.line, *fault};
            return false;
        }
        if (std::optional<QString> cut = BulkText::pageCutInSpreadsheet(page.page.size())) {
            filled.warnings.push_back({item.texts.line, *cut});
        }
        if (file.encoding == CsvEncoding::Utf8) {
            page.page = AnsiCodec::decode(page.page).toUtf8();
        }
        if (!writer.add(original.sliced(copied, item.descriptionBegin - copied)) ||
            !writer.add(QByteArray(item.missingSeparators, file.separator)) ||
            !writer.add(quotedCsvField(page.page))) {
            return false;
        }
        copied = item.descriptionEnd;
        if (!page.findings.empty()) {
            filled.listings.push_back({item.texts.line, std::move(page.findings)});
        }
        if (options.progress) {
            options.progress(++done, file.itemCount);
        }
        return true;
    });
    if (filled.pageError) {
        filled.writeError = filled.pageError->text;
        return filled;
    }
    writer.add(original.sliced(copied));
    filled.writeError = writer.finish();
    return filled;
}
