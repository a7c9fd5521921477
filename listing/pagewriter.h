#pragma once

#include "filewrite.h"
#include "listingsettings.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

// The listing page: one outer table whose rows are the sections in the order of the section
// list, each with its header row (where it has one) and its content block. Lines end in
// CR LF; the seller's texts go in unescaped. These are the bytes as they go into the file
// (Windows-1252; characters outside it as numeric character references).
QByteArray renderPage(const ListingSettings &settings);

// Writes the page to a device; false when the device refused any of it.
bool writePage(const ListingSettings &settings, QIODevice &device);

// Writes the page to outputPath, replacing any file there atomically. A failure leaves an
// earlier file at that path intact and is returned with the path and the reason.
WriteResult writeout(const ListingSettings &settings, const QString &outputPath);
