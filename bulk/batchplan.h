#pragma once

#include "batchcsv.h"
#include "listingsettings.h"

#include <QString>

#include <vector>

// The file name of each row, in row order: the proposed name (proposedFileName) plus ".txt",
// "listing" when the proposal is empty, and " (2)", " (3)", ... before ".txt" for a name used
// already in the batch. Names are compared ignoring letter case, because the file systems of
// Windows and macOS do: "Vase.txt" and "vase.txt" would be one file there. A numbered name
// never takes a name that another row proposes itself, and names that Windows reserves for
// devices ("CON", "nul", "LPT1", ...) are numbered from the start, since no file can carry them.
std::vector<QString> plannedFileNames(const std::vector<BatchRow> &rows);

// The settings of one listing: the folder's settings with the row's four texts.
ListingSettings listingForRow(const ListingSettings &folder, const BatchRow &row);
