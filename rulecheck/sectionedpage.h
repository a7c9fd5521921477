#pragma once

#include "listingsettings.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Where one entry of the section list stands in the page: its header row (if any), content
// block and closing lines, as a half-open byte range.
struct SectionSpan
{
    QString listName;
    qsizetype begin = 0;
    qsizetype end = 0;
};

// The page bytes exactly as renderPage writes them, with the byte range of every section in
// page order. Names in the list that the writer skips have no span.
struct SectionedPage
{
    QByteArray bytes;
    std::vector<SectionSpan> sections;

    // The list name of the section that holds the byte at offset; empty outside every section
    // (the outer table's own first and last lines).
    QString sectionAt(qsizetype offset) const;
};

SectionedPage renderSectioned(const ListingSettings &settings);
