#include "csvrecords.h"

#include "csvtext.h"

namespace {

class RecordSplitter
{
public:
    RecordSplitter(QByteArrayView text, char separator)
        : m_text(text)
        , m_separator(separator)
    {}

    CsvRecords run();

private:
    bool atLineBreak() const
    {
        return m_pos < m_text.size() && (m_text[m_pos] == '\r' || m_text[m_pos] == '\n');
    }
    // Steps over the line break at m_pos.
    void skipLineBreak()
    {
        if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n') {
            ++m_pos;
        }
        ++m_pos;
        ++m_line;
    }
    void quotedField(CsvField &field);
    void plainField();
    void fail(int line, const QString &text)
    {
        m_result.error = BatchMessage{line, text};
        m_result.errorFoundOn = m_line;
    }

    QByteArrayView m_text;
    char m_separator;
    qsizetype m_pos = 0;
    int m_line = 1;
    CsvRecords m_result;
};

CsvRecords RecordSplitter::run()
{
    while (m_pos < m_text.size()) {
        CsvRecord record;
        record.line = m_line;
        for (;;) {
            CsvField field;
            field.begin = m_pos;
            if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                quotedField(field);
            } else {
                plainField();
            }
            if (m_result.error) {
                record.end = field.begin;
                m_result.records.push_back(std::move(record));
                return std::move(m_result);
            }
            field.end = m_pos;
            record.fields.push_back(field);
            if (m_pos < m_text.size() && m_text[m_pos] == m_separator) {
                ++m_pos;
                continue;
            }
            break;
        }
        record.end = m_pos;
        if (m_pos < m_text.size()) {
            skipLineBreak();
        }
        m_result.records.push_back(std::move(record));
    }
    return std::move(m_result);
}

void RecordSplitter::quotedField(CsvField &field)
{
    const int firstLine = m_line;
    field.quoted = true;
    ++m_pos;
    for (;;) {
        if (m_pos >= m_text.size()) {
            fail(firstLine, CsvFault::unterminatedQuote());
            return;
        }
        if (atLineBreak()) {
            skipLineBreak();
            continue;
        }
        if (m_text[m_pos++] != '"') {
            continue;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            ++m_pos;
            continue;
        }
        break;
    }
    if (m_pos < m_text.size() && m_text[m_pos] != m_separator && !atLineBreak()) {
        fail(m_line, CsvFault::textAfterClosingQuote(firstLine != m_line ? firstLine : 0));
    }
}

void RecordSplitter::plainField()
{
    while (m_pos < m_text.size() && m_text[m_pos] != m_separator && !atLineBreak()) {
        if (m_text[m_pos] == '"') {
            fail(m_line, CsvFault::quoteInsideField());
            return;
        }
        ++m_pos;
    }
}

} // namespace

CsvRecords splitCsvRecords(QByteArrayView text, char separator)
{
    return RecordSplitter(text, separator).run();
}

QByteArray csvFieldValue(QByteArrayView text, const CsvField &field)
{
    const QByteArrayView raw = text.sliced(field.begin, field.end - field.begin);
    if (!field.quoted) {
        return raw.toByteArray();
    }
    QByteArray value = raw.sliced(1, raw.size() - 2).toByteArray();
    value.replace("\"\"", "\"");
    return value;
}

QByteArray quotedCsvField(QByteArrayView value)
{
    QByteArray field;
    field.reserve(value.size() + value.size() / 16 + 2);
    field += '"';
    for (const char c : value) {
        if (c == '"') {
            field += '"';
        }
        field += c;
    }
    field += '"';
    return field;
}
