#pragma once

#include "listingsettings.h"
#include "pagetext.h"

// The label a section's header row carries; empty for the sections without one
// (Title, No Reserve, Thank You).
QString headerLabel(SectionId id);
bool hasHeaderRow(SectionId id);

// Writes the header row above a section's content block in the shared header look.
void writeHeaderRow(PageText &page, const ListingSettings &settings, SectionId id);
