#include "batchcsv.h"

#include "ansicodec.h"
#include "csvtext.h"
#include "textrules.h"

#include <QDir>
#include <QStringDecoder>

#include <csv.h>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

// libcsv grows its field buffer by this much at a time; its default of 128 bytes would
// reallocate a long description hundreds of times.
constexpr size_t FieldBufferStep = 64 * 1024;

enum class Column { MainTitle, SubTitle, Description, Condition, Ignored };
constexpr int TextColumnCount = 4;

// In the order of Column.
constexpr std::array<CsvColumn, TextColumnCount> KnownColumns{{
    {u"maintitle", u"main title", true},
    {u"subtitle", u"sub title", false},
    {u"description", u"description", false},
    {u"condition", u"condition", false},
}};

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// A field's text, its line breaks made those of a text box. QString::fromUtf8 would drop a U+FEFF
// at the start of every field as if it were a byte-order mark, but only the file's first bytes can
// be one.
QString fieldText(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return normalizeLineBreaks(QString(decoder.decode(bytes)));
}

int noSpaces(unsigned char)
{
    return 0;
}

// Feeds libcsv one line at a time, so that every callback knows the line it happens on:
// a field ends on the line being fed, the next field starts there, and a row starts on the
// first line after the previous row that holds anything at all.
class BatchReader
{
public:
    // checkUtf8: the file says it is UTF-8, so a byte that breaks it is an error.
    BatchReader(QByteArrayView text, bool checkUtf8)
        : m_text(text)
        , m_checkUtf8(checkUtf8)
    {
        csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI);
        // Spaces around a field are part of it, as in RFC 4180 and every spreadsheet.
        csv_set_space_func(&m_parser, noSpaces);
        csv_set_delim(&m_parser, static_cast<unsigned char>(headerSeparator(text)));
        csv_set_blk_size(&m_parser, FieldBufferStep);
    }
    ~BatchReader() { csv_free(&m_parser); }
    BatchReader(const BatchReader &) = delete;
    BatchReader &operator=(const BatchReader &) = delete;

    BatchParseResult run();

private:
    static void onField(void *data, size_t size, void *self)
    {
        static_cast<BatchReader *>(self)->field(
            QByteArrayView(static_cast<const char *>(data), static_cast<qsizetype>(size)));
    }
    static void onRowEnd(int, void *self) { static_cast<BatchReader *>(self)->rowEnd(); }

    void feedLine(QByteArrayView line, qsizetype contentLength);
    void finish();
    void field(QByteArrayView bytes);
    void rowEnd();
    void header();
    void fail(int line, const QString &text)
    {
        if (!m_result.error) {
            m_result.error = BatchMessage{line, text};
        }
    }

    QByteArrayView m_text;
    bool m_checkUtf8;
    csv_parser m_parser;
    BatchParseResult m_result;

    int m_line = 0;
    bool m_betweenRows = true;
    int m_rowLine = 0;
    int m_fieldLine = 0;

    bool m_inHeader = true;
    int m_headerLine = 0;
    std::vector<QString> m_headerNames;
    std::vector<Column> m_columns;

    qsizetype m_fieldIndex = 0;
    bool m_rowHasContent = false;
    std::array<QByteArray, TextColumnCount> m_fields;
};

BatchParseResult BatchReader::run()
{
    qsizetype pos = 0;
    m_line = 1;
    while (pos < m_text.size() && !m_result.error) {
        const qsizetype end =
            std::find_if(m_text.begin() + pos, m_text.end(), isLineBreak) - m_text.begin();
        qsizetype next = end;
        if (next < m_text.size()) {
            next += (m_text[next] == '\r' && next + 1 < m_text.size() && m_text[next + 1] == '\n')
                        ? 2
                        : 1;
        }
        feedLine(m_text.sliced(pos, next - pos), end - pos);
        pos = next;
        ++m_line;
    }
    if (!m_result.error) {
        --m_line;
        finish();
    }
    if (m_result.error) {
        m_result.rows.clear();
        m_result.warnings.clear();
    }
    return std::move(m_result);
}

void BatchReader::feedLine(QByteArrayView line, qsizetype contentLength)
{
    const QByteArrayView content = line.first(contentLength);
    if (m_checkUtf8) {
        if (const qsizetype bad = firstInvalidUtf8(content); bad >= 0) {
            fail(m_line, invalidUtf8Message(content, bad) +
                             u" in a file marked as UTF-8 by its byte-order mark"_s);
            return;
        }
    }
    if (m_betweenRows && contentLength > 0) {
        m_betweenRows = false;
        m_rowLine = m_line;
        m_fieldLine = m_line;
    }
    const size_t taken = csv_parse(&m_parser, line.data(), static_cast<size_t>(line.size()),
                                   onField, onRowEnd, this);
    if (m_result.error || taken == static_cast<size_t>(line.size())) {
        return;
    }
    if (csv_error(&m_parser) != CSV_EPARSE) {
        fail(m_line, u"out of memory"_s);
    } else if (m_parser.quoted) {
        fail(m_line, CsvFault::textAfterClosingQuote(m_fieldLine != m_line ? m_fieldLine : 0));
    } else {
        fail(m_line, CsvFault::quoteInsideField());
    }
}

void BatchReader::finish()
{
    if (csv_fini(&m_parser, onField, onRowEnd, this) != 0 && !m_result.error) {
        fail(m_fieldLine, CsvFault::unterminatedQuote());
        return;
    }
    if (m_result.error) {
        return;
    }
    if (m_inHeader) {
        fail(1, u"the file is empty; it needs a header line naming a \"main title\" column"_s);
    } else if (m_result.rows.empty()) {
        m_result.warnings.push_back({m_headerLine, u"the file holds no listings, only a header"_s});
    }
}

void BatchReader::field(QByteArrayView bytes)
{
    if (m_result.error) {
        return;
    }
    const qsizetype index = m_fieldIndex++;
    if (m_inHeader) {
        m_headerNames.push_back(QString::fromUtf8(bytes));
    } else if (index >= static_cast<qsizetype>(m_columns.size())) {
        fail(m_fieldLine, CsvFault::moreFieldsThanHeader(qsizetype(m_columns.size()),
                                                         m_rowLine != m_fieldLine ? m_rowLine : 0));
        return;
    } else {
        if (!m_rowHasContent) {
            m_rowHasContent =
                std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != ' '; });
        }
        const Column column = m_columns[index];
        if (column != Column::Ignored) {
            m_fields[static_cast<size_t>(column)] = bytes.toByteArray();
        }
    }
    m_fieldLine = m_line;
}

void BatchReader::rowEnd()
{
    if (m_result.error) {
        return;
    }
    m_betweenRows = true;
    if (m_inHeader) {
        m_headerLine = m_rowLine;
        header();
        m_inHeader = false;
    } else if (m_rowHasContent) {
        BatchRow row;
        row.mainTitle = fieldText(m_fields[0]);
        row.subTitle = fieldText(m_fields[1]);
        row.description = fieldText(m_fields[2]);
        row.condition = fieldText(m_fields[3]);
        row.line = m_rowLine;
        m_result.rows.push_back(std::move(row));
    }
    m_fieldIndex = 0;
    m_rowHasContent = false;
    for (QByteArray &f : m_fields) {
        f.clear();
    }
}

void BatchReader::header()
{
    const CsvHeader matched = matchCsvHeader(m_headerNames, KnownColumns);
    if (matched.fault) {
        QString text = *matched.fault;
        if (matched.missingRequired &&
            std::any_of(m_headerNames.begin(), m_headerNames.end(),
                        [](const QString &name) { return name.contains(u'\t'); })) {
            text += u" (columns are separated by commas or semicolons, not tabs)"_s;
        }
        fail(m_rowLine, text);
        return;
    }
    m_columns.assign(m_headerNames.size(), Column::Ignored);
    for (size_t k = 0; k < KnownColumns.size(); ++k) {
        if (matched.found[k] >= 0) {
            m_columns[size_t(matched.found[k])] = Column(k);
        }
    }
    QStringList ignored;
    for (const qsizetype i : matched.others) {
        const QString &name = m_headerNames[size_t(i)];
        ignored += name.isEmpty() ? u"unnamed column %1"_s.arg(i + 1) : u'"' + name + u'"';
    }
    if (!ignored.isEmpty()) {
        m_result.warnings.push_back({m_rowLine, u"ignoring columns: "_s + ignored.join(u", "_s)});
    }
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
