#pragma once

#include "batchwrite.h"
#include "bulkfill.h"
#include "listingsettings.h"
#include "rulecheck.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <map>
#include <optional>
#include <vector>

// The marketplace's bulk-listing templates as its seller tools hand them out: an Office Open
// XML workbook (.xlsx) whose listing sheets each hold a header row like the CSV file's. Filling
// one changes the Description cells of its item rows and nothing else: every other part of the
// package is copied as it is stored, compressed bytes and all.

// What a bulk-listing file is, told by its content rather than its name: a CSV file, a
// workbook to fill, or something else, with one line saying what it is and what to do.
enum class BulkFileKind { Csv, Workbook, Refused };
struct BulkFileType
{
    BulkFileKind kind = BulkFileKind::Csv;
    QString refusal;
};
BulkFileType bulkFileType(const QByteArray &bytes);

// A message about a workbook: the sheet and the row it concerns (row 0: the sheet as a whole,
// no sheet: the workbook as a whole).
struct SheetMessage
{
    QString sheet;
    int row = 0;
    QString text;
};
// "items.xlsx:Listings:5: message", "items.xlsx:Listings: message" or "items.xlsx: message";
// a sheet's name holds no colon.
QString formatSheetMessage(const QString &fileLabel, const SheetMessage &message);

// An item row filled and what the check found in its page.
struct FilledSheetListing
{
    QString sheet;
    int row = 0;
    std::vector<Finding> findings;
};

struct FilledWorkbook
{
    QByteArray bytes; // the filled package; empty after an error
    std::vector<SheetMessage> warnings;
    std::optional<SheetMessage> error;
    std::vector<FilledSheetListing> listings;
    qsizetype itemCount = 0;
};

// Fills every listing sheet of the workbook: a worksheet whose first cell in one of its first
// ten rows begins with "*Action(" or "Action(" holds the header there; its item rows are found
// and composed by the CSV fill's rules, each page going into the row's Description cell as an
// inline string that keeps the cell's style (a row without that cell gets one, in column
// order). Every page is composed before the package is written, so that an error (a page
// longer than a cell holds, or than the marketplace takes) leaves nothing written.
FilledWorkbook fillWorkbook(const QByteArray &workbook, const ListingSettings &folder,
                            const BatchOptions &options = {});

// Every cell of every worksheet that holds a text or a value, by "Sheet!A1": its style and its
// text as a reader of the workbook gets it; nothing when the bytes are no workbook.
struct WorkbookCell
{
    QString style;
    QString text;
    friend bool operator==(const WorkbookCell &, const WorkbookCell &) = default;
};
std::optional<std::map<QString, WorkbookCell>> workbookCells(const QByteArray &workbook);

// Each part of the package as stored: its compression method, checksum and compressed bytes.
std::map<QString, QByteArray> workbookStoredParts(const QByteArray &workbook);
