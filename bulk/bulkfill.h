#pragma once

#include "batchcsv.h"
#include "batchwrite.h"
#include "csvtext.h"
#include "listingsettings.h"
#include "rulecheck.h"

#include <QByteArray>
#include <QIODevice>

#include <functional>
#include <optional>
#include <vector>

// The marketplace's own bulk-listing file, as its bulk upload takes it: notes of the template,
// a header row whose first cell is the Action column ("*Action(SiteID=US|...|CC=UTF-8)"), then
// one row per item, with continuation rows (variations) whose Action cell is empty. Filling it
// composes the page of every item row into that row's Description field and leaves every
// other byte of the file as it was.

// A spreadsheet cell holds at most this many characters; a longer text makes a workbook that
// the spreadsheet reports as damaged, and a CSV file opened in one loses the rest.
inline constexpr qsizetype SpreadsheetMaxCellLength = 32767;

// What a bulk-listing file is made of, in a CSV file or a workbook's sheet alike.

// Whether a row's first cell makes it the header: "*Action(" or "Action(", in any letter case.
bool isBulkHeaderCell(QStringView cell);

// The header's names matched to the columns the fill knows: Title and Description (required),
// Subtitle and ConditionDescription, in that order; letter case, a leading "*", spaces and
// underscores do not matter.
CsvHeader matchBulkHeader(std::vector<QString> names);

// What a row after the header is, by the text of its Action cell and its Description: a note
// ("#...", "Info", or an empty Action: a continuation row), a row with an action left as it is
// (a Revise, Relist or End whose empty Description keeps the live listing's), an item to fill,
// one whose Description holds a composed page already, or a second header.
enum class BulkRowKind { Note, Kept, Item, ComposedPage, SecondHeader };
BulkRowKind bulkRowKind(const QString &actionCell, const QString &description);

// An item's texts from its cells, each line break made CR LF.
BatchRow bulkTexts(const QString &title, const QString &subtitle, const QString &description,
                   const QString &condition);

// The messages of both kinds of file, worded alike.
namespace BulkText {
QString secondHeader(int headerLine, QStringView where = u"line");
QString composedPage();
QString noItemRows();
QString noHeader();
// A page longer than the marketplace takes, or (in a workbook) than a cell holds; nothing when
// it fits.
std::optional<QString> pageTooLong(qsizetype length, bool inWorkbook);
// A page a spreadsheet would cut when it opens the CSV file; nothing when it fits a cell.
std::optional<QString> pageCutInSpreadsheet(qsizetype length);
} // namespace BulkText

// An item row: its texts, and where its Description field lies in the file.
struct BulkItem
{
    BatchRow texts; // texts.line is the line the row begins on
    qsizetype descriptionBegin = 0;
    qsizetype descriptionEnd = 0;
    // The row ends before its Description column: that many separators come before the page.
    qsizetype missingSeparators = 0;
};

// A bulk-listing file read and understood: either how to find its items, or the first error.
// The items are not kept: a large file's rows are taken again one at a time when it is filled.
struct BulkFile
{
    QByteArray bytes;
    CsvEncoding encoding = CsvEncoding::Utf8;
    char separator = ',';
    qsizetype itemCount = 0;
    std::vector<BatchMessage> warnings;
    std::optional<BatchMessage> error;

    // Where the rows after the header begin, and the header's layout.
    int headerLine = 0;
    qsizetype headerSize = 0;
    qsizetype rowsBegin = 0; // in the text after a byte-order mark
    int rowsLine = 0;
    std::vector<qsizetype> columns; // for each known column, its index in the header, or -1

    bool ok() const { return !error; }
};

// Reads a bulk-listing file. Rows before the header pass through. The header's columns are
// found by name, ignoring letter case, a leading "*", spaces and underscores: "Title" and
// "Description" (both required), "Subtitle" and "ConditionDescription". An item row is one
// whose Action cell holds an action; a Description that already holds a composed page is
// left alone, with a warning. A second header row is an error.
BulkFile parseBulkFile(QByteArray bytes);

// Each item row of a file read without an error, in file order, until visit returns false.
void forEachBulkItem(const BulkFile &file, const std::function<bool(const BulkItem &)> &visit);

// An item row filled: its line and what the check found in its page.
struct FilledListing
{
    int line = 0;
    std::vector<Finding> findings;
};

// What filling did: the rows whose page the check found something in, in file order, and the
// device's reason when writing stopped.
struct FilledFile
{
    std::vector<FilledListing> listings;
    std::optional<QString> writeError;
    // A page too long for the marketplace, which stopped the filling; pages a spreadsheet
    // would cut, each with its line.
    std::optional<BatchMessage> pageError;
    std::vector<BatchMessage> warnings;
};

// Writes the file to out with each item's page, composed from the folder's settings and the
// row's texts, in the row's Description field: quoted, in the file's own encoding. Each page
// is written as it is composed and then dropped; a failed write stops the filling.
FilledFile fillBulkFile(const BulkFile &file, const ListingSettings &folder, QIODevice &out,
                        const BatchOptions &options = {});
