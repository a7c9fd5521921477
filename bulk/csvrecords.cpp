#include "csvrecords.h"

#include "csvtext.h"

// Steps over the line break at m_pos.
void CsvRecordReader::skipLineBreak()
{
    if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n') {
        ++m_pos;
    }
    ++m_pos;
    ++m_line;
}

void CsvRecordReader::fail(int line, const QString &text)
{
    m_error = BatchMessage{line, text};
    m_errorFoundOn = m_line;
}

bool CsvRecordReader::next(CsvRecord &record)
{
    if (m_error || m_pos >= m_text.size()) {
        return false;
    }
    record.line = m_line;
    record.fields.clear();
    for (;;) {
        CsvField field;
        field.begin = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            quotedField(field);
        } else {
            plainField();
        }
        if (m_error) {
            record.end = field.begin;
            return true;
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
    return true;
}

void CsvRecordReader::quotedField(CsvField &field)
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

void CsvRecordReader::plainField()
{
    while (m_pos < m_text.size() && m_text[m_pos] != m_separator && !atLineBreak()) {
        if (m_text[m_pos] == '"') {
            fail(m_line, CsvFault::quoteInsideField());
            return;
        }
        ++m_pos;
    }
}

CsvRecords splitCsvRecords(QByteArrayView text, char separator)
{
    CsvRecordReader reader(text, separator);
    CsvRecords split;
    CsvRecord record;
    while (reader.next(record)) {
        split.records.push_back(std::move(record));
    }
    split.error = reader.error();
    split.errorFoundOn = reader.errorFoundOn();
    return split;
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
