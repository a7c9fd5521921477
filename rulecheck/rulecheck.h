#pragma once

#include "listingsettings.h"
#include "sectionedpage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

// What the marketplace rejects in a description, hides behind a click, asks the seller to look
// at, or what phones show badly.
enum class FindingKind {
    ActiveElement,   // script, iframe, embed, object, applet or form
    EventHandler,    // an attribute whose name begins with "on"
    ScriptAddress,   // a javascript: (or vbscript:) address
    AnimatedAddress, // an SVG animation that gives an href a script or data: address
    BaseAddress,     // <base href>: every relative address of the page goes elsewhere
    MetaRefresh,     // <meta http-equiv="refresh">
    PlainHttp,       // a resource or link over plain http://
    PageTooLong,     // more than MarketplaceMaxPageLength characters
    ForeignLink,     // a link or a form's target outside the marketplace's own sites
    FixedWidth,      // a fixed width over MaxPhoneWidth pixels
    // Not checked: more elements open at once, or open over more tags, than any real listing
    // holds (and the parse would take long). The page or section is not parsed at all.
    NestedTooDeeply,
    TooManyAttributes, // not checked: a tag with more attribute names than any real listing's
};

// What a finding means for the listing: refused and hidden findings stop it as it is (the check
// ends with its own status); a policy finding asks the seller to look; advice is about looks.
enum class FindingClass { Refused, Hidden, Policy, Advice };
FindingClass classOf(FindingKind kind);

// The longest description the marketplace takes, in characters of the page as written.
inline constexpr qsizetype MarketplaceMaxPageLength = 500000;

// The widest fixed width, in CSS pixels, that a phone shows without scrolling sideways.
inline constexpr int MaxPhoneWidth = 700;

// One finding in a page's markup, as found by the HTML parser.
struct MarkupFinding
{
    qsizetype offset = 0; // where the tag, attribute or style rule begins in the page
    FindingKind kind = FindingKind::ActiveElement;
    QString detail; // the element or attribute name, lower case
    QString markup; // the markup as written, on one line and shortened when very long

    friend bool operator==(const MarkupFinding &, const MarkupFinding &) = default;
};

// Parses a page (Windows-1252 bytes, as written) the way a browser with scripting on does and
// lists, in page order, every element, attribute and address the marketplace rejects or the
// seller should look at. A rejected element is one finding; what it holds is looked into as
// well, since the seller has to take both out. What stays inert in every browser (a template's
// content, a script inside <noscript>) is not listed. The length is not checked.
//
// Where the parser's edition of the HTML standard and today's browsers read a page apart
// (<noscript> content, the end of SVG and MathML content, what a <select> holds), the page is
// read both ways and what either reading makes live is listed. With the page's sections given, a
// section whose first tag the page's markup before it has swallowed (into a comment, raw text, an
// attribute value) is also checked on its own, so one section never hides another's findings.
//
// A page (or section) nested too deeply to parse in good time is not parsed: it gets one
// NestedTooDeeply (or TooManyAttributes) finding, at the tag where the nesting passes the
// limit. Throws std::bad_alloc when the memory for the parse cannot be had.
std::vector<MarkupFinding> findRejectedMarkup(QByteArrayView page,
                                              const std::vector<SectionSpan> &sections = {});

// One finding of a listing: the list name of the section whose text carries it.
struct Finding
{
    QString section;
    FindingKind kind = FindingKind::ActiveElement;
    QString detail; // element or attribute name; for PageTooLong the page's length
    QString markup;

    friend bool operator==(const Finding &, const Finding &) = default;
};

// The page of a listing, exactly as renderPage writes it, and what the check found in it.
struct CheckedPage
{
    QByteArray page;
    std::vector<Finding> findings;
};

// Composes the listing's page and checks it: every markup finding in page order, then, when
// the page is too long, one PageTooLong finding naming the longest section.
CheckedPage composeChecked(const ListingSettings &settings);
// The page of a listing as every writer of pages makes it: checked as composeChecked checks it
// when check is set, and otherwise only composed, with no findings.
CheckedPage composeListing(const ListingSettings &settings, bool check);
std::vector<Finding> checkPage(const ListingSettings &settings);

// One line of the report, e.g. "refused: Description: <script> element: <script src=x.js>".
QString formatFinding(const Finding &finding);
// Whether the marketplace would not show the listing as it is: a refused or hidden finding.
bool stopsListing(const Finding &finding);
