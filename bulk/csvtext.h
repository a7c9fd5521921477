#pragma once

#include "batchcsv.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>
#include <utility>
#include <vector>

// What the CSV readers share: how a spreadsheet's file is read from disk, how its text is
// stored and checked, how its header names are matched to columns, and how faults are worded.

inline constexpr QByteArrayView Utf8Bom = "\xEF\xBB\xBF";
// How a file with that mark says it is UTF-8, for the message about a byte that breaks it.
inline constexpr QStringView MarkedAsUtf8 = u"marked as UTF-8 by its byte-order mark";

// The largest CSV file the composer reads; a spreadsheet of listings is far smaller.
inline constexpr qint64 MaxCsvFileBytes = 128 * 1024 * 1024;

// A CSV file's bytes, or why they cannot be had (naming the file's native path).
struct CsvFileBytes
{
    QByteArray bytes;
    QString error;
};
CsvFileBytes readCsvFile(const QString &path);

// How a CSV file's text is stored. A file that begins with a UTF-8 byte-order mark, or says
// it is UTF-8, must be valid UTF-8. Otherwise valid UTF-8 is UTF-8 and anything else is
// Windows-1252, what a spreadsheet's plain CSV export writes in Western locales.
enum class CsvEncoding { Utf8, Windows1252 };
CsvEncoding undeclaredCsvEncoding(QByteArrayView bytes);

// The offset of the first byte that does not begin a well-formed UTF-8 sequence (no overlong
// forms, no surrogates, nothing above U+10FFFF), or -1 when all is well.
qsizetype firstInvalidUtf8(QByteArrayView bytes);

// The line of a byte of the text, counting from 1, and the byte's offset within that line.
std::pair<int, qsizetype> csvLineOf(QByteArrayView text, qsizetype offset);

// The first byte of a text that must be UTF-8 that breaks it, on its line: "invalid UTF-8 (byte
// 0xE9 at position 4 of the line) in a file " and how the file says it is UTF-8; or nothing.
std::optional<BatchMessage> invalidUtf8Fault(QByteArrayView text, QStringView how);

// The separator of a header line: its first comma or semicolon (or tab, where the file may use
// one) outside quotes; a header of one column has none, and then the comma serves. Line breaks
// before the header are skipped.
enum class SeparatorChoice { CommaOrSemicolon, CommaSemicolonOrTab };
char headerSeparator(QByteArrayView text,
                     SeparatorChoice choice = SeparatorChoice::CommaOrSemicolon);

// A file that begins with a UTF-16 byte-order mark, as a spreadsheet's "Unicode text" does, or
// whose first bytes look like UTF-16 without one, is refused on its first line, the message
// advising what to save it as; any other file passes.
std::optional<BatchMessage> utf16Refusal(QByteArrayView bytes, QStringView saveAs);

// A column a reader knows: its name as compared (lower case, without spaces and underscores)
// and as messages show it.
struct CsvColumn
{
    QStringView key;
    QStringView name;
    bool required = false;
};

// A header's names matched to the columns a reader knows; letter case, spaces and underscores
// do not matter.
struct CsvHeader
{
    std::vector<qsizetype> found;  // for each known column, the index of its name, or -1
    std::vector<qsizetype> others; // the indexes of the names that are no known column
    // The first fault: a known column named twice (in header order), else the first required
    // column missing.
    std::optional<QString> fault;
    bool missingRequired = false; // the fault is a required column missing
};
CsvHeader matchCsvHeader(const std::vector<QString> &names, std::span<const CsvColumn> columns);

// The faults both CSV readers report, worded alike. A line is given when the fault is reported
// on a later line than the field or row it concerns began on, and otherwise 0.
namespace CsvFault {
QString unterminatedQuote();
QString textAfterClosingQuote(int fieldLine);
QString quoteInsideField();
QString moreFieldsThanHeader(qsizetype headerColumns, int rowLine);
} // namespace CsvFault
