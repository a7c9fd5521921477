#include "bulkfill.h"

#include "ansicodec.h"
#include "batchplan.h"
#include "csvrecords.h"
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
            return headerSeparator(line);
        }
        pos = end + 1;
    }
    return ',';
}

// "CC=UTF-8" among the settings of the Action cell, "*Action(SiteID=US|...|CC=UTF-8)".
bool declaresUtf8(QByteArrayView actionCell)
{
    const QByteArray inside = actionCell.sliced(actionCell.indexOf('(') + 1).toByteArray();
    const QList<QByteArray> settings = inside.split(')').first().split('|');
    return std::any_of(settings.begin(), settings.end(), [](const QByteArray &setting) {
        const QByteArray s = setting.trimmed().toLower();
        return s == "cc=utf-8" || s == "cc=utf8";
    });
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

class BulkReader
{
public:
    explicit BulkReader(QByteArray bytes)
    {
        m_file.bytes = std::move(bytes);
        m_bodyOffset = m_file.bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
        m_body = QByteArrayView(m_file.bytes).sliced(m_bodyOffset);
    }

    BulkFile run();

private:
    QString decoded(const CsvField &field) const;
    void readHeader(const CsvRecord &header);
    void checkEncoding(bool declared, QStringView how);
    void readRow(const CsvRecord &record);
    void fail(int line, const QString &text) { m_file.error = BatchMessage{line, text}; }

    BulkFile m_file;
    qsizetype m_bodyOffset = 0;
    QByteArrayView m_body;
    int m_headerLine = 0;
    bool m_anyAction = false;
    qsizetype m_headerSize = 0;
    std::vector<qsizetype> m_columns; // for each of KnownColumns, its index in the header
};

BulkFile BulkReader::run()
{
    if ((m_file.error = utf16Refusal(m_file.bytes, u"CSV (UTF-8 or plain)"))) {
        return std::move(m_file);
    }
    m_file.separator = bulkSeparator(m_body);
    CsvRecords split = splitCsvRecords(m_body, m_file.separator);
    if (split.error) {
        m_file.error = split.error;
        return std::move(m_file);
    }
    const auto header =
        std::find_if(split.records.begin(), split.records.end(), [&](const CsvRecord &record) {
            return isHeaderCell(csvFieldValue(m_body, record.fields[0]));
        });
    if (header == split.records.end()) {
        fail(0, u"no header row: no row's first cell begins with \"*Action(\", as the header of "
                "the marketplace's bulk-listing file does"_s);
        return std::move(m_file);
    }
    const QByteArray actionCell = csvFieldValue(m_body, header->fields[0]);
    const bool bom = m_bodyOffset > 0;
    checkEncoding(bom || declaresUtf8(actionCell),
                  bom ? MarkedAsUtf8 : u"that says it is UTF-8 (CC=UTF-8 in its Action cell)");
    if (!m_file.error) {
        readHeader(*header);
    }
    for (auto row = header + 1; row != split.records.end() && !m_file.error; ++row) {
        readRow(*row);
    }
    if (m_file.error) {
        m_file.items.clear();
        m_file.warnings.clear();
    } else if (!m_anyAction) {
        m_file.warnings.push_back(
            {m_headerLine, u"the file holds no item rows to fill (no row has an Action)"_s});
    }
    return std::move(m_file);
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

QString BulkReader::decoded(const CsvField &field) const
{
    const QByteArray value = csvFieldValue(m_body, field);
    if (m_file.encoding == CsvEncoding::Windows1252) {
        return AnsiCodec::decode(value);
    }
    // Only the file's first bytes can be a byte-order mark; one at the start of a field is text.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(value);
}

void BulkReader::readHeader(const CsvRecord &header)
{
    m_headerLine = header.line;
    m_headerSize = static_cast<qsizetype>(header.fields.size());
    std::vector<QString> names;
    for (const CsvField &field : header.fields) {
        QString name = decoded(field);
        while (name.startsWith(u'*')) {
            name.remove(0, 1);
        }
        names.push_back(std::move(name));
    }
    const CsvHeader matched = matchCsvHeader(names, KnownColumns);
    if (matched.fault) {
        fail(header.line, *matched.fault);
        return;
    }
    m_columns = matched.found;
}

void BulkReader::readRow(const CsvRecord &record)
{
    const auto fieldCount = static_cast<qsizetype>(record.fields.size());
    if (fieldCount > m_headerSize) {
        fail(record.line, CsvFault::moreFieldsThanHeader(m_headerSize, 0));
        return;
    }
    const QString action = trimBlanks(decoded(record.fields[0])).toCaseFolded();
    // An empty Action cell continues the item above (a variation, a picture); "#" starts a note.
    if (action.isEmpty() || action.startsWith(u'#')) {
        return;
    }
    m_anyAction = true;
    const auto text = [&](Column column) {
        const qsizetype index = m_columns[static_cast<size_t>(column)];
        return index >= 0 && index < fieldCount ? decoded(record.fields[static_cast<size_t>(index)])
                                                : QString();
    };
    BulkItem item;
    item.texts.mainTitle = text(Column::Title);
    item.texts.subTitle = normalizeLineBreaks(text(Column::Subtitle));
    item.texts.description = normalizeLineBreaks(text(Column::Description));
    item.texts.condition = normalizeLineBreaks(text(Column::Condition));
    item.texts.line = record.line;
    if (item.texts.description.isEmpty() &&
        std::find(CreatingActions.begin(), CreatingActions.end(), action) ==
            CreatingActions.end()) {
        return;
    }
    if (holdsComposedPage(item.texts.description)) {
        m_file.warnings.push_back(
            {record.line, u"the Description already holds a composed page; left as it is (fill "
                          "the file that holds the seller's own descriptions)"_s});
        return;
    }
    const qsizetype column = m_columns[static_cast<size_t>(Column::Description)];
    if (column < fieldCount) {
        const CsvField &field = record.fields[static_cast<size_t>(column)];
        item.descriptionBegin = m_bodyOffset + field.begin;
        item.descriptionEnd = m_bodyOffset + field.end;
    } else {
        item.descriptionBegin = item.descriptionEnd = m_bodyOffset + record.end;
        item.missingSeparators = column - fieldCount + 1;
    }
    m_file.items.push_back(std::move(item));
}

} // namespace

BulkFile parseBulkFile(QByteArray bytes)
{
    return BulkReader(std::move(bytes)).run();
}

FilledFile fillBulkFile(const BulkFile &file, const ListingSettings &folder,
                        const BatchOptions &options)
{
    FilledFile filled;
    filled.listings.reserve(file.items.size());
    const QByteArrayView original = file.bytes;
    qsizetype copied = 0;
    const auto total = static_cast<qsizetype>(file.items.size());
    for (qsizetype i = 0; i < total; ++i) {
        const BulkItem &item = file.items[static_cast<size_t>(i)];
        CheckedPage page = composeListing(listingForRow(folder, item.texts), options.check);
        if (file.encoding == CsvEncoding::Utf8) {
            page.page = AnsiCodec::decode(page.page).toUtf8();
        }
        filled.bytes += original.sliced(copied, item.descriptionBegin - copied);
        filled.bytes += QByteArray(item.missingSeparators, file.separator);
        filled.bytes += quotedCsvField(page.page);
        copied = item.descriptionEnd;
        filled.listings.push_back({item.texts.line, std::move(page.findings)});
        if (options.progress) {
            options.progress(i + 1, total);
        }
    }
    filled.bytes += original.sliced(copied);
    return filled;
}
