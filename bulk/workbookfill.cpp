#include "workbookfill.h"

#include "ansicodec.h"
#include "batchplan.h"
#include "bulkfill.h"
#include "csvtext.h"
#include "deflatedpart.h"
#include "packagezip.h"

#include <QDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The workbook's parts are each far smaller; a larger one is a damaged or hostile package.
constexpr qint64 MaxPartBytes = 512LL * 1024 * 1024;
// The shared strings are all decoded before the first sheet is read, each one a string of its
// own; the templates' are a third of a megabyte.
constexpr qint64 MaxStringsBytes = 64LL * 1024 * 1024;
// A listing sheet's header stands in one of its first rows.
constexpr int HeaderRowsLooked = 10;

enum class Column { Title, Subtitle, Description, Condition };

const QString SaveAsAdvice = u"save it as .xlsx or CSV and fill that"_s;

// Text in a cell may carry characters XML cannot, as "_xHHHH_" (a CR as "_x000D_"); a literal
// "_x" that would read so has its "_" written "_x005F_".
bool isEscapeAt(QStringView text, qsizetype i)
{
    if (i + 7 > text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_') {
        return false;
    }
    return std::all_of(text.begin() + i + 2, text.begin() + i + 6, [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

QString unescapedCellText(const QString &text)
{
    if (!text.contains(u"_x")) {
        return text;
    }
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isEscapeAt(text, i)) {
            plain += QChar(text.mid(i + 2, 4).toUShort(nullptr, 16));
            i += 6;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

// The page as the text of an inline string: XML's own escapes, CR as a character reference (a
// raw CR LF would be read back as LF), other control characters as "_xHHHH_".
void appendCellText(QByteArray &out, QStringView text)
{
    QString escaped;
    escaped.reserve(text.size() + text.size() / 8);
    qsizetype plain = 0; // where the run of characters written as they are began
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        QStringView replacement;
        QString control;
        if (c == u'&') {
            replacement = u"&amp;";
        } else if (c == u'<') {
            replacement = u"&lt;";
        } else if (c == u'>') {
            replacement = u"&gt;";
        } else if (c == u'\r') {
            replacement = u"&#13;";
        } else if ((c.unicode() < 0x20 && c != u'\n' && c != u'\t') || isEscapeAt(text, i)) {
            control = u"_x%1_"_s.arg(QString::number(c.unicode(), 16).toUpper(), 4, u'0');
            replacement = control;
        } else {
            continue;
        }
        escaped += text.sliced(plain, i - plain);
        escaped += replacement;
        plain = i + 1;
    }
    escaped += text.sliced(plain);
    out += escaped.toUtf8();
}

// "P12" as its column (1 for A) and row; 0 for what is missing or not a reference.
std::pair<int, int> cellReference(QStringView ref)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i] >= u'A' && ref[i] <= u'Z' && column < 100000; ++i) {
        column = column * 26 + (ref[i].unicode() - u'A' + 1);
    }
    bool ok = false;
    const int row = ref.sliced(i).toInt(&ok);
    return {column, ok ? row : 0};
}

QString columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26) {
        name.prepend(QChar(u'A' + (column - 1) % 26));
    }
    return name;
}

// The first attribute of this (local) name. The attributes are looked at through a const list:
// walking the reader's own copy through a non-const one would copy every attribute of every
// element. The values stay the reader's until it reads on.
QStringView attribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == name) {
            return a.value();
        }
    }
    return {};
}

QStringView attribute(const QXmlStreamReader &reader, QStringView name)
{
    return attribute(reader.attributes(), name);
}

// A part's path from a relationship's target, which is relative to the folder of the part
// that names it (the package's root for an empty one), or absolute from the root.
QString partPath(const QString &from, QStringView target)
{
    if (target.startsWith(u'/')) {
        return QDir::cleanPath(target.sliced(1).toString());
    }
    const qsizetype slash = from.lastIndexOf(u'/');
    return QDir::cleanPath(from.first(slash + 1) + target.toString());
}

QString relationshipsOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.first(slash + 1) + u"_rels/"_s + part.sliced(slash + 1) + u".rels"_s;
}

// The targets of a part's relationships, by identifier, with their types' last words.
struct Relationship
{
    QString id;
    QString type;
    QString path;
};
std::vector<Relationship> relationships(const PackageZip &zip, const QString &part)
{
    std::vector<Relationship> found;
    const QString rels = relationshipsOf(part);
    QXmlStreamReader reader(zip.read(rels, MaxPartBytes).value_or(QByteArray()));
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == u"Relationship") {
            const QStringView type = attribute(reader, u"Type");
            found.push_back({attribute(reader, u"Id").toString(),
                             type.sliced(type.lastIndexOf(u'/') + 1).toString(),
                             partPath(part, attribute(reader, u"Target"))});
        }
    }
    return found;
}

// The text of a string item (a shared string, an inline string): its "t" elements, of the
// runs of rich text too, but not the phonetic hints.
QString stringItemText(QXmlStreamReader &reader)
{
    QString text;
    int phonetic = 0;
    const QString element = reader.name().toString();
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == u"rPh") {
                ++phonetic;
            } else if (reader.name() == u"t" && phonetic == 0) {
                text += reader.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (reader.isEndElement()) {
            if (reader.name() == u"rPh") {
                --phonetic;
            } else if (reader.name() == element) {
                break;
            }
        }
    }
    return unescapedCellText(text);
}

std::vector<QString> sharedStrings(const QByteArray &part)
{
    std::vector<QString> strings;
    QXmlStreamReader reader(part);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"si") {
            strings.push_back(stringItemText(reader));
        }
    }
    return strings;
}

// The workbook's worksheets in tab order, and its shared strings.
struct Workbook
{
    struct Sheet
    {
        QString name;
        QString path;
    };
    std::vector<Sheet> sheets;
    std::vector<QString> strings;
    bool calculationChain = false; // the spreadsheet's list of the formula cells to compute
    std::optional<QString> fault;  // no workbook in the package, or one that cannot be read
};

Workbook readWorkbook(const PackageZip &zip, bool withStrings = true)
{
    Workbook book;
    QString part;
    for (const Relationship &r : relationships(zip, QString())) {
        if (r.type == u"officeDocument") {
            part = r.path;
        }
    }
    const std::optional<QByteArray> bytes = zip.read(part, MaxPartBytes);
    if (part.isEmpty() || !bytes) {
        book.fault = u"this is a zip archive that holds no workbook; "_s + SaveAsAdvice;
        return book;
    }
    if (!part.endsWith(u".xml"_s, Qt::CaseInsensitive)) {
        book.fault = u"this is a binary workbook (.xlsb); "_s + SaveAsAdvice;
        return book;
    }
    const std::vector<Relationship> rels = relationships(zip, part);
    QXmlStreamReader reader(*bytes);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"sheet") {
            continue;
        }
        const QStringView id = attribute(reader, u"id");
        for (const Relationship &r : rels) {
            if (r.id == id && r.type == u"worksheet") {
                book.sheets.push_back({attribute(reader, u"name").toString(), r.path});
            }
        }
    }
    for (const Relationship &r : rels) {
        book.calculationChain |= r.type == u"calcChain";
        if (withStrings && r.type == u"sharedStrings") {
            const std::optional<QByteArray> strings = zip.read(r.path, MaxStringsBytes);
            if (!strings) {
                book.fault = u"the shared strings cannot be read: "_s + zip.error();
                return book;
            }
            book.strings = sharedStrings(*strings);
        }
    }
    return book;
}

// Where the reader stands in the sheet's bytes: the reader counts UTF-16 units of the decoded
// text, the fill cuts the UTF-8 bytes. Positions are asked for in increasing order, so the
// bytes are walked once.
class ByteOffsets
{
public:
    explicit ByteOffsets(QByteArrayView bytes)
        : m_bytes(bytes)
        , m_byte(bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0)
    {}
    qsizetype at(qint64 unit)
    {
        while (m_unit < unit && m_byte < m_bytes.size()) {
            // Sheets are mostly ASCII: one unit a byte, eight bytes at a time.
            std::uint64_t word = 0;
            if (m_unit + 8 <= unit && m_byte + 8 <= m_bytes.size() &&
                (std::memcpy(&word, m_bytes.data() + m_byte, 8), !(word & 0x8080808080808080u))) {
                m_byte += 8;
                m_unit += 8;
                continue;
            }
            const auto b = static_cast<unsigned char>(m_bytes[m_byte]);
            const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            m_byte += length;
            m_unit += length == 4 ? 2 : 1;
        }
        return std::min(m_byte, m_bytes.size());
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_byte = 0;
    qint64 m_unit = 0;
};

struct Cell
{
    int column = 0;
    qsizetype begin = 0; // the cell's element in the sheet's bytes
    qsizetype end = 0;
    QString style;
    QString text;
    bool formula = false;
    bool formulaShared = false; // the master of a shared or array formula other cells use
};

struct Row
{
    int number = 0;
    QString prefix; // of the sheet's own namespace, as its elements are written: "x:" or none
    qsizetype cellsEnd = 0; // where "</row>" begins
    std::vector<Cell> cells;

    const Cell *cell(int column) const
    {
        const auto found = std::find_if(cells.begin(), cells.end(),
                                        [&](const Cell &c) { return c.column == column; });
        return found == cells.end() ? nullptr : &*found;
    }
    QString text(int column) const
    {
        const Cell *c = cell(column);
        return c ? c->text : QString();
    }
};

// Reads a sheet's rows one at a time, each with its cells' texts and places.
class SheetReader
{
public:
    // The sheet's bytes may still be arriving: wait(count) returns how many are there once the
    // first count are (fewer only for a damaged part).
    using Wait = std::function<qsizetype(qsizetype)>;
    SheetReader(const QByteArray &bytes, const std::vector<QString> &strings, Wait wait = {})
        : m_bytes(bytes)
        , m_wait(wait ? std::move(wait) : [&bytes](qsizetype) { return bytes.size(); })
        , m_offsets(bytes)
        , m_strings(strings)
    {
        // Names are compared without their prefix, whatever namespace they are in, which also
        // spares the reader resolving each one.
        m_reader.setNamespaceProcessing(false);
    }
    const Wait &wait() const { return m_wait; }
    // The encoding its declaration names; empty when it names none.
    const QString &encoding() const { return m_encoding; }
    // From now on only these columns' texts and styles are wanted (the others read as empty).
    void onlyColumns(std::vector<int> columns) { m_columns = std::move(columns); }

    // The next row, or false after the last or at a fault.
    bool next(Row &row);
    std::optional<QString> fault() const
    {
        if (m_reader.hasError()) {
            return m_reader.errorString();
        }
        return std::nullopt;
    }

private:
    // The reader is handed the sheet a piece at a time: handed a large sheet whole, it spends
    // more time moving the text it has not read yet than reading it.
    QXmlStreamReader::TokenType step()
    {
        constexpr qsizetype Piece = 64 * 1024;
        QXmlStreamReader::TokenType token = m_reader.readNext();
        while (token == QXmlStreamReader::Invalid &&
               m_reader.error() == QXmlStreamReader::PrematureEndOfDocumentError &&
               m_fed < m_bytes.size()) {
            const qsizetype piece = std::min(Piece, m_wait(m_fed + Piece) - m_fed);
            if (piece <= 0) {
                break;
            }
            m_reader.addData(m_bytes.sliced(m_fed, piece));
            m_fed += piece;
            token = m_reader.readNext();
        }
        m_end = m_reader.characterOffset();
        if (token == QXmlStreamReader::StartDocument) {
            m_encoding = m_reader.documentEncoding().toString();
        }
        return token;
    }
    // Where the element the reader stands on begins, in bytes: the last "<" before its end.
    // (The token before it is no guide: whitespace text ends only once the reader has seen the
    // "<" after it.) An attribute's value holds no "<".
    qsizetype elementBegin() { return m_bytes.lastIndexOf('<', m_offsets.at(m_end) - 1); }
    void readCell(Row &row);
    QStringView prefix() const
    {
        const QStringView name = m_reader.qualifiedName();
        return name.first(name.indexOf(u':') + 1);
    }
    QStringView name() const { return m_reader.qualifiedName().sliced(prefix().size()); }

    const QByteArray &m_bytes;
    Wait m_wait;
    std::vector<int> m_columns;
    qsizetype m_fed = 0;
    QXmlStreamReader m_reader;
    ByteOffsets m_offsets;
    const std::vector<QString> &m_strings;
    qint64 m_end = 0; // where the last token ends, in the reader's units
    QString m_encoding;
    int m_lastRow = 0;
};

bool SheetReader::next(Row &row)
{
    while (!m_reader.atEnd()) {
        const QXmlStreamReader::TokenType token = step();
        if (token != QXmlStreamReader::StartElement && token != QXmlStreamReader::EndElement) {
            continue;
        }
        const QStringView element = name();
        if (token == QXmlStreamReader::EndElement && element == u"sheetData") {
            return false;
        }
        if (token != QXmlStreamReader::StartElement || element != u"row") {
            continue;
        }
        const QStringView number = attribute(m_reader, u"r");
        row.number = number.isEmpty() ? m_lastRow + 1 : number.toInt();
        row.prefix = prefix().toString();
        m_lastRow = row.number;
        row.cells.clear();
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType inner = step();
            if (inner == QXmlStreamReader::StartElement && name() == u"c") {
                readCell(row);
            } else if (inner == QXmlStreamReader::EndElement && name() == u"row") {
                row.cellsEnd = elementBegin();
                return !m_reader.hasError();
            }
        }
    }
    return false;
}

void SheetReader::readCell(Row &row)
{
    Cell cell;
    cell.begin = elementBegin();
    char type = 'v';
    bool wanted = true;
    {
        // The attributes are looked at only while the reader stands on the cell's start.
        const QXmlStreamAttributes attributes = m_reader.attributes();
        const QStringView ref = attribute(attributes, u"r");
        cell.column = ref.isEmpty() ? (row.cells.empty() ? 1 : row.cells.back().column + 1)
                                    : cellReference(ref).first;
        wanted = m_columns.empty() ||
                 std::find(m_columns.begin(), m_columns.end(), cell.column) != m_columns.end();
        if (wanted) {
            // Of a cell that is not wanted only the place counts: no text, no style.
            cell.style = attribute(attributes, u"s").toString();
            const QStringView typeName = attribute(attributes, u"t");
            type = typeName == u"s" ? 's' : typeName == u"b" ? 'b' : 'v';
        }
    }
    // The text of its value, or of its inline string's runs without their phonetic hints.
    QString value;
    bool inText = false;
    int phonetic = 0;
    while (!m_reader.atEnd()) {
        const QXmlStreamReader::TokenType token = step();
        if (token == QXmlStreamReader::Characters) {
            if (inText && wanted) {
                value += m_reader.text();
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement && token != QXmlStreamReader::EndElement) {
            continue;
        }
        const QStringView element = name();
        if (token == QXmlStreamReader::StartElement) {
            if (element == u"rPh") {
                ++phonetic;
            } else if (element == u"f" && wanted) {
                const QStringView kind = attribute(m_reader, u"t");
                cell.formula = true;
                cell.formulaShared = kind == u"array" ||
                                     (kind == u"shared" && !attribute(m_reader, u"ref").isEmpty());
            }
            inText |= phonetic == 0 && (element == u"v" || element == u"t");
        } else {
            if (element == u"c") {
                break;
            }
            phonetic -= element == u"rPh" ? 1 : 0;
            inText &= element != u"v" && element != u"t";
        }
    }
    cell.end = m_offsets.at(m_end);
    if (!wanted) {
        row.cells.push_back(std::move(cell));
        return;
    }
    if (type == 's') {
        bool ok = false;
        const qsizetype index = value.toLongLong(&ok);
        value = ok && index >= 0 && index < qsizetype(m_strings.size()) ? m_strings[size_t(index)]
                                                                        : QString();
    } else if (type == 'b') {
        value = value == u"1" ? u"TRUE"_s : value == u"0" ? u"FALSE"_s : value;
    } else {
        value = unescapedCellText(value);
    }
    cell.text = std::move(value);
    row.cells.push_back(std::move(cell));
}

// The new sheet goes to the compressing thread in pieces of about this size.
constexpr qsizetype OutPiece = 256 * 1024;

// A listing sheet filled: its new bytes, and what was found on the way.
struct SheetFill
{
    bool listing = false;
    std::optional<DeflatedPart::Stored> stored; // nothing when no cell changed
    std::optional<QString> unreadable; // why a sheet not found to be a listing sheet was not read
    qsizetype items = 0;
    bool anyAction = false;
};

class SheetFiller
{
public:
    SheetFiller(const Workbook::Sheet &sheet, BackgroundRead &read, const Workbook &book,
                const ListingSettings &folder, const BatchOptions &options, FilledWorkbook &result)
        : m_sheet(sheet)
        , m_bytes(read.bytes())
        , m_book(book)
        , m_rows(read.bytes(), book.strings, [&read](qsizetype n) { return read.waitFor(n); })
        , m_folder(folder)
        , m_options(options)
        , m_result(result)
    {}

    SheetFill run();

private:
    bool findHeader(Row &row);
    bool fillRow(const Row &row);
    void write(QByteArrayView bytes);
    void fail(int row, const QString &text)
    {
        m_result.error = SheetMessage{m_sheet.name, row, text};
    }

    const Workbook::Sheet &m_sheet;
    const QByteArray &m_bytes;
    const Workbook &m_book;
    SheetReader m_rows;
    const ListingSettings &m_folder;
    const BatchOptions &m_options;
    FilledWorkbook &m_result;
    SheetFill m_fill;
    // The new sheet goes to the compressing thread in pieces as it is made.
    std::unique_ptr<DeflatedPart> m_out;
    QByteArray m_piece;
    int m_headerRow = 0;
    std::array<int, 4> m_columns{}; // 1-based; 0 for a column the header lacks
    qsizetype m_copied = 0;
};

bool SheetFiller::findHeader(Row &row)
{
    while (m_rows.next(row) && row.number <= HeaderRowsLooked) {
        if (!isBulkHeaderCell(row.text(1))) {
            continue;
        }
        m_fill.listing = true;
        m_headerRow = row.number;
        // The fill cuts the sheet's bytes where its cells stand, counting UTF-8.
        if (const QString &encoding = m_rows.encoding();
            !encoding.isEmpty() && encoding.compare(u"UTF-8"_s, Qt::CaseInsensitive) != 0) {
            fail(0, u"the sheet is stored as %1 text; save the workbook again as .xlsx"_s.arg(
                        encoding));
            return false;
        }
        std::vector<QString> names;
        for (const Cell &cell : row.cells) {
            if (cell.column > 0 && cell.column <= 16384) {
                names.resize(std::max(names.size(), size_t(cell.column)));
                names[size_t(cell.column - 1)] = cell.text;
            }
        }
        const CsvHeader matched = matchBulkHeader(names);
        if (matched.fault) {
            // The templates keep sheets with a shorter header (hidden, or for notes); such a
            // sheet is at fault only when a row of it has an action to fill.
            while (m_rows.next(row)) {
                if (bulkRowKind(row.text(1), {}) != BulkRowKind::Note) {
                    fail(m_headerRow, *matched.fault);
                    break;
                }
            }
            return false;
        }
        for (size_t k = 0; k < m_columns.size(); ++k) {
            m_columns[k] = int(matched.found[k] + 1);
        }
        m_rows.onlyColumns({1, m_columns[0], m_columns[1], m_columns[2], m_columns[3]});
        return true;
    }
    return false;
}

bool SheetFiller::fillRow(const Row &row)
{
    const auto text = [&](Column c) {
        const int column = m_columns[size_t(c)];
        return column > 0 ? row.text(column) : QString();
    };
    const BulkRowKind kind = bulkRowKind(row.text(1), text(Column::Description));
    if (kind == BulkRowKind::SecondHeader) {
        fail(row.number, BulkText::secondHeader(m_headerRow, u"row"));
        return false;
    }
    m_fill.anyAction |= kind != BulkRowKind::Note;
    if (kind == BulkRowKind::ComposedPage) {
        m_result.warnings.push_back({m_sheet.name, row.number, BulkText::composedPage()});
    }
    if (kind != BulkRowKind::Item) {
        return true;
    }
    const BatchRow texts = bulkTexts(text(Column::Title), text(Column::Subtitle),
                                     text(Column::Description), text(Column::Condition));
    CheckedPage page = composeListing(listingForRow(m_folder, texts), m_options.check);
    const QString pageText = AnsiCodec::decode(page.page);
    if (std::optional<QString> fault = BulkText::pageTooLong(pageText.size(), true)) {
        fail(row.number, *fault);
        return false;
    }

    // The new cell takes the old one's place, or goes before the first cell to its right.
    const int column = m_columns[size_t(Column::Description)];
    const Cell *old = row.cell(column);
    const auto right = std::find_if(row.cells.begin(), row.cells.end(),
                                    [&](const Cell &c) { return c.column > column; });
    const qsizetype begin = old                        ? old->begin
                            : right != row.cells.end() ? right->begin
                                                       : row.cellsEnd;
    const qsizetype end = old ? old->end : begin;
    const QString ref = columnName(column) + QString::number(row.number);
    if (old && old->formulaShared) {
        // Replaced, it would take away the formula of the cells that share it.
        fail(row.number, u"the Description cell %1 holds a formula that other cells share; give it "
                         "text of its own (paste it as values), then fill again"_s.arg(ref));
        return false;
    }
    if (old && old->formula && m_book.calculationChain) {
        // The chain would still list the cell as a formula's, which the spreadsheet then
        // reports as damage it repairs.
        fail(row.number, u"the Description cell %1 holds a formula, and the workbook keeps a "
                         "calculation chain of its formula cells; give the cell text of its own "
                         "(paste it as values), then fill again"_s.arg(ref));
        return false;
    }
    if (begin < m_copied || end < begin) {
        fail(row.number, u"the sheet's cells are out of order"_s);
        return false;
    }
    // The cut must fall where a cell's start tag (or the row's end tag) begins and the old cell
    // ends; a sheet written some way the reader's places do not fit is refused, not damaged.
    const QByteArray p = row.prefix.toUtf8();
    const QByteArrayView at = QByteArrayView(m_bytes).sliced(begin);
    const char after = at.size() > p.size() + 2 ? at[p.size() + 2] : '\0';
    const bool cellStarts =
        at.startsWith('<' + p + 'c') && (after == ' ' || after == '\t' || after == '\r' ||
                                         after == '\n' || after == '/' || after == '>');
    if (!(old || right != row.cells.end() ? cellStarts : at.startsWith("</")) ||
        (old && m_bytes[end - 1] != '>')) {
        fail(row.number,
             u"the sheet cannot be read: the place of its cell %1 is not found"_s.arg(ref));
        return false;
    }
    if (!m_out) {
        m_out = std::make_unique<DeflatedPart>();
    }
    write(QByteArrayView(m_bytes).sliced(m_copied, begin - m_copied));
    QByteArray cell = '<' + p + "c r=\"" + ref.toUtf8() + '"';
    if (old && !old->style.isEmpty()) {
        cell += " s=\"" + old->style.toUtf8() + '"';
    }
    cell += " t=\"inlineStr\"><" + p + "is><" + p + "t xml:space=\"preserve\">";
    appendCellText(cell, pageText);
    cell += "</" + p + "t></" + p + "is></" + p + "c>";
    write(cell);
    m_copied = end;
    ++m_fill.items;
    if (!page.findings.empty()) {
        m_result.listings.push_back({m_sheet.name, row.number, std::move(page.findings)});
    }
    return true;
}

void SheetFiller::write(QByteArrayView bytes)
{
    if (m_piece.size() + bytes.size() < OutPiece) {
        m_piece += bytes;
        return;
    }
    m_out->add(m_piece);
    m_piece.clear();
    for (; bytes.size() >= OutPiece; bytes = bytes.sliced(OutPiece)) {
        m_out->add(bytes.first(OutPiece));
    }
    m_piece = bytes.toByteArray();
}

SheetFill SheetFiller::run()
{
    Row row;
    if (!findHeader(row)) {
        if (!m_result.error && m_rows.fault() && m_fill.listing) {
            fail(0, u"the sheet cannot be read: "_s + *m_rows.fault());
        } else if (!m_result.error && m_rows.fault()) {
            // Its header may stand after the damage: told only when no sheet was a listing sheet.
            m_fill.unreadable = u"the sheet cannot be read: "_s + *m_rows.fault();
        }
        return std::move(m_fill);
    }
    while (m_rows.next(row)) {
        if (!fillRow(row)) {
            return std::move(m_fill);
        }
        // The rows read so far change no more: their bytes go to the compressing thread while
        // the rest is read, not all at the end.
        if (m_out && row.cellsEnd - m_copied >= OutPiece) {
            write(QByteArrayView(m_bytes).sliced(m_copied, row.cellsEnd - m_copied));
            m_copied = row.cellsEnd;
        }
    }
    if (m_rows.fault()) {
        fail(0, u"the sheet cannot be read: "_s + *m_rows.fault());
    }
    if (m_out && !m_result.error && m_rows.wait()(m_bytes.size()) < m_bytes.size()) {
        fail(0, u"the sheet cannot be read: it is damaged"_s);
    }
    if (m_out && !m_result.error) {
        write(QByteArrayView(m_bytes).sliced(m_copied));
        m_out->add(m_piece);
        m_fill.stored = m_out->finish();
        if (!m_fill.stored) {
            fail(0, u"the sheet cannot be compressed"_s);
        }
    }
    return std::move(m_fill);
}

} // namespace

BulkFileType bulkFileType(const QByteArray &bytes)
{
    if (bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        // An Office file that is no zip: an encrypted workbook keeps its package in a stream of
        // this name inside the old compound file, an old workbook its sheets.
        QByteArray name;
        for (const char c : QByteArrayView("EncryptedPackage")) {
            name += c;
            name += '\0';
        }
        if (bytes.contains(name)) {
            return {BulkFileKind::Refused,
                    u"this is a password-protected workbook; remove its password in the "
                    "spreadsheet, then "_s +
                        SaveAsAdvice};
        }
        return {BulkFileKind::Refused, u"this is an old binary workbook (.xls); "_s + SaveAsAdvice};
    }
    if (!bytes.startsWith("PK\x03\x04") && !bytes.startsWith("PK\x05\x06")) {
        return {BulkFileKind::Csv, {}};
    }
    const PackageZip zip(bytes);
    if (!zip.ok()) {
        return {BulkFileKind::Refused,
                u"this is a damaged zip archive (%1); "_s.arg(zip.error()) + SaveAsAdvice};
    }
    const QByteArray mimetype = zip.read(u"mimetype"_s, 256).value_or(QByteArray());
    if (mimetype.startsWith("application/vnd.oasis.opendocument")) {
        return {BulkFileKind::Refused,
                (mimetype.contains("spreadsheet") ? u"this is an OpenDocument spreadsheet; "_s
                                                  : u"this is an OpenDocument file; "_s) +
                    SaveAsAdvice};
    }
    if (const Workbook book = readWorkbook(zip, false); book.fault) {
        return {BulkFileKind::Refused, *book.fault};
    }
    return {BulkFileKind::Workbook, {}};
}

QString formatSheetMessage(const QString &fileLabel, const SheetMessage &message)
{
    QString where = fileLabel;
    if (!message.sheet.isEmpty()) {
        where += u':' + message.sheet;
        if (message.row > 0) {
            where += u':' + QString::number(message.row);
        }
    }
    return where + u": "_s + message.text;
}

FilledWorkbook fillWorkbook(const QByteArray &workbook, const ListingSettings &folder,
                            const BatchOptions &options)
{
    FilledWorkbook result;
    const PackageZip zip(workbook);
    const Workbook book = readWorkbook(zip);
    if (!zip.ok() || book.fault) {
        result.error = SheetMessage{{}, 0, book.fault.value_or(zip.error())};
        return result;
    }
    std::vector<std::pair<QString, DeflatedPart::Stored>> filled;
    bool anyListing = false;
    bool anyAction = false;
    std::optional<SheetMessage> unreadable;
    for (const Workbook::Sheet &sheet : book.sheets) {
        // The sheet is inflated on a thread of its own while its first rows are read.
        const std::unique_ptr<BackgroundRead> read = zip.readInBackground(sheet.path, MaxPartBytes);
        if (!read) {
            result.error =
                SheetMessage{sheet.name, 0, u"the sheet cannot be read: "_s + zip.error()};
            return result;
        }
        // The fill cuts the sheet's bytes where its cells stand, counting UTF-8.
        read->waitFor(Utf8Bom.size());
        if (read->bytes().startsWith("\xFF\xFE") || read->bytes().startsWith("\xFE\xFF")) {
            result.error = SheetMessage{sheet.name, 0,
                                        u"the sheet is stored as UTF-16 text; save the workbook "
                                        "again as .xlsx"_s};
            return result;
        }
        SheetFill fill = SheetFiller(sheet, *read, book, folder, options, result).run();
        if (result.error) {
            result.listings.clear();
            result.warnings.clear();
            return result;
        }
        if (fill.unreadable && !unreadable) {
            unreadable = SheetMessage{sheet.name, 0, *fill.unreadable};
        }
        anyListing |= fill.listing;
        anyAction |= fill.anyAction;
        result.itemCount += fill.items;
        if (fill.stored) {
            filled.emplace_back(sheet.path, std::move(*fill.stored));
        }
    }
    if (!anyListing && unreadable) {
        result.error = unreadable;
        return result;
    }
    if (!anyListing) {
        result.error = SheetMessage{
            {},
            0,
            u"this workbook has no listing sheet: no sheet's first cell in one of its first %1 "
            "rows begins with \"*Action(\", as the header of the marketplace's bulk-listing "
            "template does"_s.arg(HeaderRowsLooked)};
        return result;
    }
    if (!anyAction) {
        result.warnings.push_back({{}, 0, BulkText::noItemRows()});
    }
    std::optional<QByteArray> package = zip.withParts(filled);
    if (!package) {
        result.error = SheetMessage{{}, 0, u"the workbook cannot be written: "_s + zip.error()};
        return result;
    }
    result.bytes = std::move(*package);
    return result;
}

std::optional<std::map<QString, WorkbookCell>> workbookCells(const QByteArray &workbook)
{
    const PackageZip zip(workbook);
    const Workbook book = readWorkbook(zip);
    if (!zip.ok() || book.fault) {
        return std::nullopt;
    }
    std::map<QString, WorkbookCell> cells;
    for (const Workbook::Sheet &sheet : book.sheets) {
        const QByteArray bytes = zip.read(sheet.path, MaxPartBytes).value_or(QByteArray());
        SheetReader reader(bytes, book.strings);
        Row row;
        while (reader.next(row)) {
            for (const Cell &cell : row.cells) {
                if (!cell.text.isEmpty() || !cell.style.isEmpty()) {
                    cells[sheet.name + u'!' + columnName(cell.column) +
                          QString::number(row.number)] = {cell.style, cell.text};
                }
            }
        }
    }
    return cells;
}

std::map<QString, QByteArray> workbookStoredParts(const QByteArray &workbook)
{
    return PackageZip(workbook).storedParts();
}
