#pragma once

#include "listingsettings.h"
#include "prefsrecord.h"

#include <QString>

// The five texts as the readers found them at start-up, before any trimming; they decide at
// shut-down which text files need writing.
struct LoadedTexts
{
    QString auctionId; // "ebayid.dat", first line
    QString noReserve; // "NoReserve.dat", first line
    QString thankYou;  // "thankyou.dat", first line
    QString shipping;  // "shipping.dat", all lines joined by a lone CR
    QString payment;   // "payment.dat", all lines joined by a lone CR
};

// The program's shared state for one run: the listing settings the window shows, the
// record and texts read at start-up, and the two paths everything is written to. One
// Session exists per run; the window (or the composer) owns it.
struct Session
{
    ListingSettings settings;
    PrefsRecord prefs;
    LoadedTexts loaded;
    // The folder of the program file, ending in exactly one "/"; set once at start-up.
    QString programFolder;
    // The file the page writer writes next; set only by Preview and Create Listing.
    QString outputPath;
    // The name under which the no-reserve file was found in the program folder, so that
    // saving replaces that very file whatever the letter case of its name.
    QString noReserveFileName;
};
