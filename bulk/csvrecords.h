#pragma once

#include "batchcsv.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

// A CSV file split into records and fields by where they lie in its bytes: the one splitter of
// both CSV readers. The bulk-listing reader replaces a field and keeps every other byte of the
// file as it was; the batch reader names the line of every row and fault from the spans.

struct CsvField
{
    qsizetype begin = 0; // the field's bytes as written, quotes included
    qsizetype end = 0;
    bool quoted = false;
};

struct CsvRecord
{
    int line = 0; // the 1-based line the record begins on
    // Where its line break begins, or the end of the file; in the record a fault lies in, where
    // the field with the fault begins.
    qsizetype end = 0;
    std::vector<CsvField> fields; // an empty line is one empty field
};

struct CsvRecords
{
    // After a fault, the records before it and, last, the one it lies in, holding only the
    // fields that ended before it.
    std::vector<CsvRecord> records;
    std::optional<BatchMessage> error; // the first fault in file order
    // The line on which reading meets the fault: where the stray quote or the text after a
    // closing quote stands, or the end of the file for a quote never closed.
    int errorFoundOn = 0;
};

// RFC 4180: a field that begins with a quote runs to the next lone quote, holding separators,
// line breaks and doubled quotes; any other field runs to the next separator or line break and
// holds no quote. A line break is CR LF, a lone LF or a lone CR.
CsvRecords splitCsvRecords(QByteArrayView text, char separator);

// The same splitting one record at a time, for a file too large to hold all its records at
// once.
class CsvRecordReader
{
public:
    // Reading from a record that begins at that offset, on that line.
    CsvRecordReader(QByteArrayView text, char separator, qsizetype from = 0, int line = 1)
        : m_text(text)
        , m_separator(separator)
        , m_pos(from)
        , m_line(line)
    {}

    // The next record, or false at the end of the text or after a fault. The record a fault
    // lies in is still given, holding only the fields that ended before it.
    bool next(CsvRecord &record);
    const std::optional<BatchMessage> &error() const { return m_error; }
    int errorFoundOn() const { return m_errorFoundOn; }
    // Where the next record begins.
    qsizetype position() const { return m_pos; }
    int line() const { return m_line; }

private:
    bool atLineBreak() const
    {
        return m_pos < m_text.size() && (m_text[m_pos] == '\r' || m_text[m_pos] == '\n');
    }
    void skipLineBreak();
    void quotedField(CsvField &field);
    void plainField();
    void fail(int line, const QString &text);

    QByteArrayView m_text;
    char m_separator;
    qsizetype m_pos;
    int m_line;
    std::optional<BatchMessage> m_error;
    int m_errorFoundOn = 0;
};

// A field's value: without its enclosing quotes, each doubled quote made one.
QByteArray csvFieldValue(QByteArrayView text, const CsvField &field);

// A value as a quoted field, each quote inside doubled.
QByteArray quotedCsvField(QByteArrayView value);
