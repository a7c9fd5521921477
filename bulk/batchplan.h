#pragma once

#include "batchcsv.h"
#include "listingsettings.h"

#include <QString>

#include <vector>

// The name Create Listing proposes for a main title, without extension: the title cut to the
// 55 code points the composer keeps, its blanks at both ends removed, then filtered to the
// allowed file-name characters. May be empty.
QString proposedFileName(const QString &mainTitle);

// The file name of each row, in row order: the proposed name plus ".txt", "listing" when the
// proposal is empty, and " (2)", " (3)", ... before ".txt" for a name used already in the
// batch. Names are compared ignoring letter case, because the file systems of Windows and
// macOS do: "Vase.txt" and "vase.txt" would be one file there. A numbered name never takes a
// name that another row proposes itself, and names that Windows reserves for devices ("CON",
// "nul", "LPT1", ...) are numbered from the start, since no file can carry them.
std::vector<QString> plannedFileNames(const std::vector<BatchRow> &rows);

// The settings of one listing: the folder's settings with the row's four texts.
ListingSettings listingForRow(const ListingSettings &folder, const BatchRow &row);
