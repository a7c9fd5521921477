#include "batchcsv.h"

#include "ansicodec.h"
#include "csvrecords.h"
#include "csvtext.h"
#include "textrules.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

enum class Column { MainTitle, SubTitle, Description, Condition, Ignored };
constexpr int TextColumnCount = 4;

// In the order of Column.
constexpr std::array<CsvColumn, TextColumnCount> KnownColumns{{
    {u"maintitle", u"main title", true},
    {u"subtitle", u"sub title", false},
    {u"description", u"description", false},
    {u"condition", u"condition", false},
}};

// A field's text, its line breaks made those of a text box. QString::fromUtf8 would drop a U+FEFF
// at the start of every field as if it were a byte-order mark, but only the file's first bytes can
// be one.
QString fieldText(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return normalizeLineBreaks(QString(decoder.decode(bytes)));
}

// A line that holds nothing is no row at all; a line of blanks is a row, skipped as blank.
bool isEmptyLine(const CsvRecord &record)
{
    return record.fields.size() == 1 && !record.fields[0].quoted &&
           record.fields[0].begin == record.fields[0].end;
}

// The field's value holds something other than spaces; a doubled quote stands for a quote.
bool holdsMoreThanBlanks(QByteArrayView text, const CsvField &field)
{
    QByteArrayView inside = text.sliced(field.begin, field.end - field.begin);
    if (field.quoted) {
        inside = inside.sliced(1, inside.size() - 2);
    }
    return std::any_of(inside.begin(), inside.end(), [](char c) { return c != ' '; });
}

// A fault and the line on which reading the file line by line meets it: a header fault at the
// header's end, a row's excess field where that field ends, a quote never closed at the end of
// the file, the others where they stand. Each line's bytes are checked before the line is read,
// so invalid UTF-8 on a line comes before every fault met on that line or later, even one that
// names an earlier line.
struct Fault
{
    int foundOn = 0;
    BatchMessage message;
};

class BatchReader
{
public:
    // checkUtf8: the file says it is UTF-8, so a byte that breaks it is an error.
    BatchReader(QByteArrayView text, bool checkUtf8)
        : m_text(text)
        , m_checkUtf8(checkUtf8)
    {}

    BatchParseResult run();

private:
    std::optional<Fault> readRecords(const CsvRecords &split);
    std::optional<Fault> header(const CsvRecord &record);
    int lineAt(qsizetype offset) const { return csvLineOf(m_text, offset).first; }

    QByteArrayView m_text;
    bool m_checkUtf8;
    BatchParseResult m_result;
    bool m_headerRead = false;
    int m_headerLine = 0;
    std::vector<Column> m_columns; // one for each column of the header
};

BatchParseResult BatchReader::run()
{
    const CsvRecords split = splitCsvRecords(m_text, headerSeparator(m_text));
    std::optional<Fault> fault = readRecords(split);
    if (!fault && split.error) {
        fault = Fault{split.errorFoundOn, *split.error};
    }
    if (!fault && !m_headerRead) {
        fault = Fault{std::numeric_limits<int>::max(),
                      {1, u"the file is empty; it needs a header line naming a \"main title\" "
                          "column"_s}};
    }
    if (m_checkUtf8) {
        if (std::optional<BatchMessage> invalid = invalidUtf8Fault(m_text, MarkedAsUtf8)) {
            if (!fault || invalid->line <= fault->foundOn) {
                fault = Fault{invalid->line, std::move(*invalid)};
            }
        }
    }
    if (fault) {
        m_result.rows.clear();
        m_result.warnings.clear();
        m_result.error = std::move(fault->message);
    } else if (m_result.rows.empty()) {
        m_result.warnings.push_back({m_headerLine, u"the file holds no listings, only a header"_s});
    }
    return std::move(m_result);
}

// The records up to the split's fault, if any: the last of them then holds only the fields that
// ended before it, and it is not a row.
std::optional<Fault> BatchReader::readRecords(const CsvRecords &split)
{
    const auto count = qsizetype(split.records.size());
    for (qsizetype k = 0; k < count; ++k) {
        const CsvRecord &record = split.records[size_t(k)];
        const bool complete = !split.error || k + 1 < count;
        if (isEmptyLine(record)) {
            continue;
        }
        if (!m_headerRead) {
            if (!complete) {
                break;
            }
            if (std::optional<Fault> fault = header(record)) {
                return fault;
            }
            continue;
        }
        const auto columns = qsizetype(m_columns.size());
        if (qsizetype(record.fields.size()) > columns) {
            const CsvField &excess = record.fields[size_t(columns)];
            const int fieldLine = lineAt(excess.begin);
            return Fault{lineAt(excess.end),
                         {fieldLine, CsvFault::moreFieldsThanHeader(
                                         columns, record.line != fieldLine ? record.line : 0)}};
        }
        if (!complete ||
            std::none_of(record.fields.begin(), record.fields.end(), [&](const CsvField &field) {
                return holdsMoreThanBlanks(m_text, field);
            })) {
            continue;
        }
        std::array<QString, TextColumnCount> texts;
        for (size_t i = 0; i < record.fields.size(); ++i) {
            if (m_columns[i] != Column::Ignored) {
                texts[size_t(m_columns[i])] = fieldText(csvFieldValue(m_text, record.fields[i]));
            }
        }
        m_result.rows.push_back({texts[0], texts[1], texts[2], texts[3], record.line});
    }
    return std::nullopt;
}

std::optional<Fault> BatchReader::header(const CsvRecord &record)
{
    std::vector<QString> names;
    for (const CsvField &field : record.fields) {
        names.push_back(QString::fromUtf8(csvFieldValue(m_text, field)));
    }
    const CsvHeader matched = matchCsvHeader(names, KnownColumns);
    if (matched.fault) {
        QString text = *matched.fault;
        if (matched.missingRequired &&
            std::any_of(names.begin(), names.end(),
                        [](const QString &name) { return name.contains(u'\t'); })) {
            text += u" (columns are separated by commas or semicolons, not tabs)"_s;
        }
        return Fault{lineAt(record.end), {record.line, text}};
    }
    m_headerRead = true;
    m_headerLine = record.line;
    m_columns.assign(names.size(), Column::Ignored);
    for (size_t k = 0; k < KnownColumns.size(); ++k) {
        if (matched.found[k] >= 0) {
            m_columns[size_t(matched.found[k])] = Column(k);
        }
    }
    QStringList ignored;
    for (const qsizetype i : matched.others) {
        const QString &name = names[size_t(i)];
        ignored += name.isEmpty() ? u"unnamed column %1"_s.arg(i + 1) : u'"' + name + u'"';
    }
    if (!ignored.isEmpty()) {
        m_result.warnings.push_back({record.line, u"ignoring columns: "_s + ignored.join(u", "_s)});
    }
    return std::nullopt;
}

} // namespace

BatchParseResult parseBatchCsv(QByteArrayView bytes)
{
    if (std::optional<BatchMessage> refusal =
            utf16Refusal(bytes, u"UTF-8 CSV (comma or semicolon separated)")) {
        BatchParseResult result;
        result.error = std::move(refusal);
        return result;
    }
    if (bytes.startsWith(Utf8Bom)) {
        return BatchReader(bytes.sliced(Utf8Bom.size()), true).run();
    }
    if (undeclaredCsvEncoding(bytes) == CsvEncoding::Utf8) {
        return BatchReader(bytes, false).run();
    }
    // Line breaks, quotes and separators are the same bytes in both encodings, so the lines
    // and fields of the converted text are those of the file.
    const QByteArray utf8 = AnsiCodec::decode(bytes).toUtf8();
    return BatchReader(utf8, false).run();
}

BatchParseResult readBatchCsv(const QString &path)
{
    CsvFileBytes file = readCsvFile(path);
    if (!file.error.isEmpty()) {
        BatchParseResult result;
        result.error = BatchMessage{0, file.error};
        return result;
    }
    return parseBatchCsv(file.bytes);
}

QString formatBatchMessage(const QString &fileLabel, const BatchMessage &message)
{
    if (message.line <= 0) {
        return fileLabel + u": "_s + message.text;
    }
    return fileLabel + u':' + QString::number(message.line) + u": "_s + message.text;
}
