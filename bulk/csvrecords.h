#pragma once

#include "batchcsv.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

// A CSV file split into records and fields by where they lie in its bytes, so that a field can
// be replaced while every other byte of the file stays as it was.

struct CsvField
{
    qsizetype begin = 0; // the field's bytes as written, quotes included
    qsizetype end = 0;
    bool quoted = false;
};

struct CsvRecord
{
    int line = 0;                 // the 1-based line the record begins on
    qsizetype end = 0;            // where its line break begins, or the end of the file
    std::vector<CsvField> fields; // an empty line is one empty field
};

struct CsvRecords
{
    std::vector<CsvRecord> records;
    std::optional<BatchMessage> error; // the first fault in file order; then no records
};

// RFC 4180: a field that begins with a quote runs to the next lone quote, holding separators,
// line breaks and doubled quotes; any other field runs to the next separator or line break and
// holds no quote. A line break is CR LF, a lone LF or a lone CR.
CsvRecords splitCsvRecords(QByteArrayView text, char separator);

// A field's value: without its enclosing quotes, each doubled quote made one.
QByteArray csvFieldValue(QByteArrayView text, const CsvField &field);

// A value as a quoted field, each quote inside doubled.
QByteArray quotedCsvField(QByteArrayView value);
