#pragma once

#include "batchcsv.h"
#include "filewrite.h"
#include "listingsettings.h"
#include "rulecheck.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

struct BatchOptions
{
    // Check each page against the marketplace's rules as it is written.
    bool check = false;
    // Called after each file with the number written so far and the number planned.
    std::function<void(qsizetype done, qsizetype total)> progress;
};

// A file the batch wrote, the line of its row, and what the check found in it (nothing when
// the batch was not checked).
struct WrittenListing
{
    QString path; // native separators
    int line = 0;
    std::vector<Finding> findings;
};

struct BatchWriteResult
{
    std::vector<WrittenListing> written;
    // What stopped the batch: the folder or a file that cannot be written. The files before it
    // are written, in full; nothing after it is touched.
    std::optional<WriteResult> failure;

    bool ok() const { return !failure; }
};

// Writes one listing per row into outputDir under plannedFileNames(rows), each composed from
// the folder's settings with the row's texts and replacing any file of that name atomically.
// A listing whose name is a symbolic link replaces the link itself, never what it leads to.
// Before the first file is written it checks that the folder exists, that no planned name is
// taken there by something other than a file or a link, and that none is the batch's input;
// then nothing is written at all. It removes the temporary files that a killed batch left in
// the folder, not those of a batch still running. input is the batch's own file, which no
// listing may replace, whatever path names it.
BatchWriteResult writeBatch(const QString &outputDir, const ListingSettings &folder,
                            const std::vector<BatchRow> &rows, const BatchOptions &options = {},
                            const QString &input = {});
