#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// One data row of a batch file: the four texts of one listing, with every line break inside a
// field already turned into CR LF, and the line of the file on which the row begins.
struct BatchRow
{
    QString mainTitle;
    QString subTitle;
    QString description;
    QString condition;
    int line = 0;

    friend bool operator==(const BatchRow &, const BatchRow &) = default;
};

// A message about a batch file: the 1-based line it concerns, or 0 for the file as a whole.
struct BatchMessage
{
    int line = 0;
    QString text;

    friend bool operator==(const BatchMessage &, const BatchMessage &) = default;
};

// The whole file read: either every row, or the first error in file order and no rows.
struct BatchParseResult
{
    std::vector<BatchRow> rows;
    std::vector<BatchMessage> warnings;
    std::optional<BatchMessage> error;

    bool ok() const { return !error; }
};

// Reads the CSV a spreadsheet exports: UTF-8 with or without a byte-order mark, or
// Windows-1252 when it is not valid UTF-8 and has no byte-order mark; RFC 4180
// quoting, comma or semicolon as separator (the first unquoted one in the header line
// decides). The header names the columns "main title" (required), "sub title",
// "description" and "condition", ignoring letter case, spaces and underscores; other columns
// are ignored with one warning. Lines that hold nothing, and rows whose fields are all empty
// or blank, are skipped: spreadsheets export the empty rows under a table that way. A row
// with fewer fields than the header leaves the rest empty; one with more is an error.
BatchParseResult parseBatchCsv(QByteArrayView bytes);

// The same for a file; a file that cannot be read is an error for the file as a whole,
// naming its native path and the reason.
BatchParseResult readBatchCsv(const QString &path);

// "items.csv:12: message", or "items.csv: message" for the file as a whole.
QString formatBatchMessage(const QString &fileLabel, const BatchMessage &message);
