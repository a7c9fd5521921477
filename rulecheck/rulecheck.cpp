#include "rulecheck.h"

#include "ansicodec.h"
#include "nesting.h"
#include "pagewriter.h"
#include "sectionedpage.h"

#include <gumbo.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

// Findings show at most this many characters of markup.
constexpr qsizetype MaxShownMarkup = 160;

// What the parser may take, in all, for a page: about twice what it takes for the pages it
// needs the most for (a page of nothing but unclosed links or list items, about 60 bytes a
// byte). Past it the parse is given up, as for too deep a nesting: only a page that makes the
// parser rebuild its elements over and over again gets there.
constexpr size_t ParseBytesPerPageByte = 128;
constexpr size_t ParseBaseBytes = 16 * 1024 * 1024;

// The memory of one parse. The parser does not check what malloc returns, and its own freeing
// of a page recurses once per level of nesting; so every block it takes is kept in a list, a
// failed allocation ends the parse (by a jump out of the parser, which keeps no state of its
// own), and the blocks are freed from the list, whatever the parser built.
class ParseMemory
{
public:
    enum class Outcome { Parsed, OverBudget, OutOfMemory };

    explicit ParseMemory(size_t budget)
        : m_budget(budget)
    {}
    ~ParseMemory()
    {
        for (Block *b = m_head.next; b != &m_head;) {
            Block *next = b->next;
            std::free(b);
            b = next;
        }
    }
    ParseMemory(const ParseMemory &) = delete;
    ParseMemory &operator=(const ParseMemory &) = delete;

    // The parsed page, owned by this object; null when the parse was given up.
    GumboOutput *parse(GumboOptions options, const char *data, size_t length)
    {
        options.allocator = &ParseMemory::allocate;
        options.deallocator = &ParseMemory::deallocate;
        options.userdata = this;
        if (setjmp(m_escape) != 0) {
            return nullptr;
        }
        return gumbo_parse_with_options(&options, data, length);
    }
    Outcome outcome() const { return m_outcome; }

private:
    struct alignas(std::max_align_t) Block
    {
        Block *prev;
        Block *next;
    };

    static void *allocate(void *userdata, size_t size)
    {
        auto *self = static_cast<ParseMemory *>(userdata);
        if (size > self->m_budget - self->m_taken) {
            self->m_outcome = Outcome::OverBudget;
            std::longjmp(self->m_escape, 1);
        }
        self->m_taken += size;
        auto *block = static_cast<Block *>(std::malloc(sizeof(Block) + size));
        if (!block) {
            self->m_outcome = Outcome::OutOfMemory;
            std::longjmp(self->m_escape, 1);
        }
        block->prev = &self->m_head;
        block->next = self->m_head.next;
        self->m_head.next->prev = block;
        self->m_head.next = block;
        return block + 1;
    }
    static void deallocate(void *, void *data)
    {
        if (data) {
            Block *block = static_cast<Block *>(data) - 1;
            block->prev->next = block->next;
            block->next->prev = block->prev;
            std::free(block);
        }
    }

    Block m_head{&m_head, &m_head};
    size_t m_budget;
    size_t m_taken = 0;
    Outcome m_outcome = Outcome::Parsed;
    std::jmp_buf m_escape;
};

enum class UrlList { One, SpaceSeparated, SourceSet };

struct UrlAttribute
{
    const char *name;
    UrlList list;
    // Whether a browser ever loads or opens the address; a script address where it does not
    // (a quotation's source) is only text.
    bool followed = true;
};

// Every attribute through which a page loads a resource or links elsewhere. A form's action is
// no such attribute of any other element (an <isindex> is no form today), and the form itself
// is refused.
constexpr UrlAttribute UrlAttributes[] = {
    {"archive", UrlList::SpaceSeparated},
    {"background", UrlList::One},
    {"cite", UrlList::One, false},
    {"classid", UrlList::One},
    {"codebase", UrlList::One},
    {"data", UrlList::One},
    {"dynsrc", UrlList::One},
    {"formaction", UrlList::One},
    {"href", UrlList::One},
    {"icon", UrlList::One},
    {"imagesrcset", UrlList::SourceSet},
    {"longdesc", UrlList::One},
    {"lowsrc", UrlList::One},
    {"manifest", UrlList::One},
    {"ping", UrlList::SpaceSeparated},
    {"poster", UrlList::One},
    {"profile", UrlList::SpaceSeparated},
    {"src", UrlList::One},
    {"srcset", UrlList::SourceSet},
    {"usemap", UrlList::One},
    {"xlink:href", UrlList::One},
};

bool isActiveElement(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_FORM:
        return true;
    default:
        return false;
    }
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool startsWithIgnoringCase(QByteArrayView text, QByteArrayView word)
{
    return text.size() >= word.size() && equalsIgnoringCase(text.first(word.size()), word);
}

// Whether a tag name of length bytes at the start of text ends there.
bool tagNameEndsAt(QByteArrayView text, qsizetype length)
{
    return text.size() > length &&
           (isHtmlSpace(text[length]) || text[length] == '/' || text[length] == '>');
}

// What decides how a page is parsed: whether it holds markup that the parser's edition of the
// standard reads otherwise than today's browsers.
struct PageTraits
{
    bool noscript = false;
    bool select = false;
    qsizetype firstForeign = -1; // where the first <svg or <math stands
};

PageTraits traitsOf(QByteArrayView page)
{
    PageTraits traits;
    if (page.isEmpty()) {
        return traits;
    }
    const char *const begin = page.data();
    const char *const end = begin + page.size();
    for (const char *p = begin;
         (p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)))) != nullptr; ++p) {
        const QByteArrayView name(p + 1, end - p - 1);
        if (name.isEmpty()) {
            continue;
        }
        const char first = lower(name.front());
        if (first == 'n' && startsWithIgnoringCase(name, "noscript")) {
            traits.noscript = true;
        } else if (first == 's' && startsWithIgnoringCase(name, "select")) {
            traits.select = true;
        } else if (traits.firstForeign < 0 &&
                   ((first == 's' && startsWithIgnoringCase(name, "svg")) ||
                    (first == 'm' && startsWithIgnoringCase(name, "math")))) {
            traits.firstForeign = p - begin;
        }
    }
    return traits;
}

// The page rewritten, byte for byte in place, so that the parser reads it the way a current
// browser with scripting on does where the two differ:
// - a browser running scripts reads a <noscript> element's content as raw text, up to the
//   first </noscript> wherever it stands; <noframes> is read that way by the parser too;
// - a </p> or </br> end tag ends SVG and MathML content, and what follows is HTML again; the
//   parser stays in that content at those end tags, but leaves it at a <p> or <br> start tag,
//   which outside such content makes no difference that could hide or show markup. Only end
//   tags after the first <svg or <math are turned, and their attributes are not checked;
// - a browser keeps what a <select> or its options hold as elements, where the parser drops
//   every element but an option, an optgroup and a script there; a select given a name that
//   the parser does not know holds elements as any other element does.
// Every offset stays the page's, so findings point at the page as written.
QByteArray browserReading(QByteArrayView page, const PageTraits &traits)
{
    static constexpr QByteArrayView InertSelect = "x-sele";
    static_assert(InertSelect.size() == QByteArrayView("select").size());
    QByteArray text = page.toByteArray();
    char *const d = text.data();
    for (qsizetype i = 0; (i = text.indexOf('<', i)) >= 0; ++i) {
        const bool endTag = i + 1 < text.size() && d[i + 1] == '/';
        const qsizetype at = endTag ? i + 2 : i + 1;
        const QByteArrayView name(d + at, text.size() - at);
        if (startsWithIgnoringCase(name, "noscript")) {
            std::memcpy(d + at, "noframes", 8);
        } else if (traits.select && startsWithIgnoringCase(name, "select") &&
                   tagNameEndsAt(name, InertSelect.size())) {
            std::memcpy(d + at, InertSelect.data(), size_t(InertSelect.size()));
        } else if (endTag && traits.firstForeign >= 0 && i > traits.firstForeign) {
            if (startsWithIgnoringCase(name, "p") && tagNameEndsAt(name, 1)) {
                std::memcpy(d + i, "<p/", 3);
            } else if (startsWithIgnoringCase(name, "br") && tagNameEndsAt(name, 2)) {
                std::memcpy(d + i, "<br/", 4);
            }
        }
    }
    return text;
}

// Where a browser begins to read an address: past control characters and spaces.
qsizetype addressStart(QByteArrayView url)
{
    // The parser hands control characters over as U+FFFD, where a browser keeps them and then
    // ignores them at the start of an address; so a leading U+FFFD counts as one.
    static constexpr QByteArrayView Replacement = "\xEF\xBF\xBD";
    qsizetype i = 0;
    while (i < url.size()) {
        if (static_cast<unsigned char>(url[i]) <= 0x20) {
            ++i;
        } else if (url.sliced(i).startsWith(Replacement)) {
            i += Replacement.size();
        } else {
            break;
        }
    }
    return i;
}

bool isTabOrLineBreak(char c)
{
    return c == '\t' || c == '\n' || c == '\r';
}

// The scheme of an address as a browser reads it: control characters and spaces at the start
// are ignored, tabs and line breaks anywhere are removed, letter case does not matter. Empty
// when the address has no scheme (a relative address).
QByteArray urlScheme(QByteArrayView url)
{
    QByteArray scheme;
    for (qsizetype i = addressStart(url); i < url.size(); ++i) {
        const char c = url[i];
        if (isTabOrLineBreak(c)) {
            continue;
        }
        if (c == ':') {
            return scheme;
        }
        const bool schemeChar =
            isAsciiAlpha(c) ||
            (!scheme.isEmpty() && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!schemeChar) {
            return {};
        }
        scheme += lower(c);
    }
    return {};
}

bool isScriptScheme(QByteArrayView scheme)
{
    return scheme == "javascript" || scheme == "vbscript";
}

// The marketplace's own sites: each country's site and every name under it.
constexpr QByteArrayView MarketplaceDomains[] = {
    "ebay.com", "ebay.ca", "ebay.co.uk", "ebay.com.au", "ebay.de",     "ebay.fr",
    "ebay.it",  "ebay.es", "ebay.at",    "ebay.ch",     "ebay.be",     "ebay.nl",
    "ebay.ie",  "ebay.pl", "ebay.ph",    "ebay.com.hk", "ebay.com.sg", "ebay.com.my",
};

bool isMarketplaceHost(QByteArrayView host)
{
    return std::any_of(
        std::begin(MarketplaceDomains), std::end(MarketplaceDomains), [&](QByteArrayView domain) {
            return host == domain ||
                   (host.endsWith(domain) && host[host.size() - domain.size() - 1] == '.');
        });
}

// The site a link leads to, by name and in lower case: the host of an http, https or ftp
// address, or of one that begins with two slashes. Empty for an address within the page's own
// site and for every other scheme (mailto:, tel:, ...).
QByteArray linkHost(QByteArrayView url)
{
    QByteArray text;
    for (qsizetype i = addressStart(url); i < url.size(); ++i) {
        if (!isTabOrLineBreak(url[i])) {
            text += lower(url[i]);
        }
    }
    const QByteArray scheme = urlScheme(text);
    const auto isSlash = [](char c) { return c == '/' || c == '\\'; };
    qsizetype i = 0;
    if (scheme == "http" || scheme == "https" || scheme == "ftp") {
        i = scheme.size() + 1;
    } else if (!scheme.isEmpty() || text.size() < 2 || !isSlash(text[0]) || !isSlash(text[1])) {
        return {};
    }
    while (i < text.size() && isSlash(text[i])) {
        ++i;
    }
    qsizetype end = i;
    while (end < text.size() && !isSlash(text[end]) && text[end] != '?' && text[end] != '#') {
        ++end;
    }
    QByteArrayView host = QByteArrayView(text).sliced(i, end - i);
    host = host.sliced(host.lastIndexOf('@') + 1);
    if (const qsizetype port = host.indexOf(':'); port >= 0 && !host.startsWith('[')) {
        host.truncate(port);
    }
    while (host.endsWith('.')) {
        host.chop(1);
    }
    return host.toByteArray();
}

// Whether the length at the start of text is more pixels than a phone shows: digits and maybe a
// fraction, as a browser reads a width. *unit is what follows the number.
bool widerThanPhones(QByteArrayView text, QByteArrayView *unit)
{
    qsizetype i = 0;
    qint64 whole = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        whole = std::min<qint64>(whole * 10 + (text[i++] - '0'), MaxPhoneWidth + 1);
    }
    if (i == 0) {
        return false;
    }
    bool fraction = false;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            fraction = fraction || text[i] != '0';
        }
    }
    *unit = text.sliced(i);
    return whole > MaxPhoneWidth || (whole == MaxPhoneWidth && fraction);
}

// A width attribute's value in pixels (anything but a share in per cent) over a phone's width.
bool widthAttributeTooWide(QByteArrayView value)
{
    while (!value.isEmpty() && isHtmlSpace(value.front())) {
        value = value.sliced(1);
    }
    QByteArrayView unit;
    return widerThanPhones(value, &unit) && !unit.startsWith('%');
}

// A width or min-width declaration in pixels, over a phone's width, in a style attribute.
// Comments and escapes are not interpreted, as for addresses in style.
bool cssWidthTooWide(QByteArrayView css)
{
    for (qsizetype begin = 0; begin < css.size();) {
        qsizetype end = css.indexOf(';', begin);
        end = end < 0 ? css.size() : end;
        const QByteArrayView declaration = css.sliced(begin, end - begin);
        begin = end + 1;
        const qsizetype colon = declaration.indexOf(':');
        if (colon < 0) {
            continue;
        }
        const QByteArrayView property = declaration.first(colon).trimmed();
        QByteArrayView value = declaration.sliced(colon + 1).trimmed();
        if (!equalsIgnoringCase(property, "width") && !equalsIgnoringCase(property, "min-width")) {
            continue;
        }
        if (const qsizetype bang = value.indexOf('!'); bang >= 0) {
            if (!equalsIgnoringCase(value.sliced(bang + 1).trimmed(), "important")) {
                continue;
            }
            value = value.first(bang).trimmed();
        }
        if (value.startsWith('+')) {
            value = value.sliced(1);
        }
        QByteArrayView unit;
        if (widerThanPhones(value, &unit) && equalsIgnoringCase(unit, "px")) {
            return true;
        }
    }
    return false;
}

// The addresses of a srcset value: each candidate is an address followed by descriptors up to
// the next comma.
std::vector<QByteArrayView> sourceSetUrls(QByteArrayView value)
{
    std::vector<QByteArrayView> urls;
    qsizetype i = 0;
    while (i < value.size()) {
        while (i < value.size() && (isHtmlSpace(value[i]) || value[i] == ',')) {
            ++i;
        }
        const qsizetype start = i;
        while (i < value.size() && !isHtmlSpace(value[i])) {
            ++i;
        }
        qsizetype end = i;
        const bool endsCandidate = end > start && value[end - 1] == ',';
        while (end > start && value[end - 1] == ',') {
            --end;
        }
        if (end > start) {
            urls.push_back(value.sliced(start, end - start));
        }
        if (!endsCandidate) {
            while (i < value.size() && value[i] != ',') {
                ++i;
            }
        }
    }
    return urls;
}

std::vector<QByteArrayView> spaceSeparated(QByteArrayView value)
{
    std::vector<QByteArrayView> parts;
    qsizetype i = 0;
    while (i < value.size()) {
        while (i < value.size() && isHtmlSpace(value[i])) {
            ++i;
        }
        const qsizetype start = i;
        while (i < value.size() && !isHtmlSpace(value[i])) {
            ++i;
        }
        if (i > start) {
            parts.push_back(value.sliced(start, i - start));
        }
    }
    return parts;
}

bool isCssNameChar(char c)
{
    return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isCssSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The first style rule in CSS text that loads something over plain http://, through url(...)
// or @import "...": its start and end in the text, or -1 when there is none. Comments and
// escapes are not interpreted; a style sheet in a description has no use for them.
std::pair<qsizetype, qsizetype> plainHttpInCss(QByteArrayView css)
{
    for (qsizetype i = 0; i < css.size(); ++i) {
        qsizetype j = -1;
        if (i + 4 <= css.size() && equalsIgnoringCase(css.sliced(i, 4), "url(") &&
            (i == 0 || !isCssNameChar(css[i - 1]))) {
            j = i + 4;
        } else if (i + 7 <= css.size() && equalsIgnoringCase(css.sliced(i, 7), "@import")) {
            j = i + 7;
        } else {
            continue;
        }
        while (j < css.size() && isCssSpace(css[j])) {
            ++j;
        }
        qsizetype end = j;
        if (j < css.size() && (css[j] == '"' || css[j] == '\'')) {
            const char quote = css[j];
            end = j + 1;
            while (end < css.size() && css[end] != quote) {
                ++end;
            }
            ++j;
        } else {
            while (end < css.size() && css[end] != ')' && !isCssSpace(css[end])) {
                ++end;
            }
        }
        if (urlScheme(css.sliced(j, std::min(end, css.size()) - j)) == "http") {
            return {i, std::min(end + 1, css.size())};
        }
    }
    return {-1, -1};
}

// Markup for a report: the page's bytes decoded, and every run of white space that breaks a
// line or holds a tab made one space, so that a tag split over lines shows on one.
QString oneLine(QByteArrayView bytes)
{
    const QString text = AnsiCodec::decode(bytes);
    const auto isSpace = [](QChar c) {
        return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t' || c == u'\f';
    };
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (!isSpace(text[i])) {
            out += text[i++];
            continue;
        }
        const qsizetype start = i;
        bool onlyBlanks = true;
        while (i < text.size() && isSpace(text[i])) {
            onlyBlanks = onlyBlanks && text[i] == u' ';
            ++i;
        }
        out += onlyBlanks ? QStringView(text).sliced(start, i - start) : QStringView(u" ");
    }
    return out;
}

QString shortened(const QString &text, qsizetype limit)
{
    return text.size() <= limit ? text : text.left(limit - 3) + u"..."_s;
}

bool insideNoscript(const GumboNode *node)
{
    for (const GumboNode *p = node->parent; p && p->type != GUMBO_NODE_DOCUMENT; p = p->parent) {
        if (p->v.element.tag == GUMBO_TAG_NOSCRIPT &&
            p->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
            return true;
        }
    }
    return false;
}

// A template that a browser attaches to the element around it as its shadow root, content and
// all.
bool isShadowRoot(const GumboElement &e)
{
    const GumboAttribute *mode = gumbo_get_attribute(&e.attributes, "shadowrootmode");
    return mode &&
           (equalsIgnoringCase(mode->value, "open") || equalsIgnoringCase(mode->value, "closed"));
}

// An SVG animation of an element's address: <set> or <animate> whose attributeName is href.
bool animatesAddress(const GumboElement &e)
{
    if (e.tag_namespace != GUMBO_NAMESPACE_SVG || e.tag != GUMBO_TAG_UNKNOWN) {
        return false;
    }
    GumboStringPiece name = e.original_tag;
    gumbo_tag_from_original_text(&name);
    const QByteArrayView tag(name.data, qsizetype(name.length));
    const GumboAttribute *target = gumbo_get_attribute(&e.attributes, "attributeName");
    if (!target || !(equalsIgnoringCase(tag, "set") || equalsIgnoringCase(tag, "animate"))) {
        return false;
    }
    const QByteArrayView attribute = QByteArrayView(target->value).trimmed();
    return attribute == "href" || attribute == "xlink:href";
}

// Whether a width on the element sets the width of what it stands in: the elements whose width
// attribute a browser takes, and an <svg>.
bool takesWidth(const GumboElement &e)
{
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML) {
        return e.tag == GUMBO_TAG_SVG;
    }
    switch (e.tag) {
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_COLGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_MARQUEE:
        return true;
    default:
        return false;
    }
}

class Scanner
{
public:
    Scanner(QByteArrayView page, const std::vector<SectionSpan> &sections);

    // Parses the bytes from begin to end of one reading of the page (the page itself or a
    // rewriting of the same length) and adds what it finds; or, when they are nested too
    // deeply to parse, adds that and returns false. Throws std::bad_alloc when the memory for
    // the parse cannot be had.
    bool scan(QByteArrayView reading, qsizetype begin, qsizetype end);
    // The sections whose first tag the last scan of the whole page did not read as a tag.
    std::vector<qsizetype> swallowedSections() const;
    std::vector<MarkupFinding> findings();

private:
    void element(const GumboNode *node);
    void attribute(const GumboElement &element, const GumboAttribute &attribute,
                   bool animatesAddress);
    void link(const GumboElement &element, const GumboAttribute &attribute);
    void styleText(const GumboNode *node);
    void markSynced(qsizetype offset);
    void refuse(qsizetype offset, FindingKind kind);

    // Where a byte of the parsed text stands in the page.
    qsizetype offsetOf(const char *p) const
    {
        const char *begin = m_parsed.data();
        return (p >= begin && p < begin + m_parsed.size()) ? m_parsedAt + (p - begin) : -1;
    }
    // The page's bytes where a piece of the reading stands.
    QByteArrayView source(const GumboStringPiece &piece) const
    {
        const qsizetype at = offsetOf(piece.data);
        return at >= 0 ? m_page.sliced(at, std::min(qsizetype(piece.length), m_page.size() - at))
                       : QByteArrayView();
    }
    QString tagMarkup(const GumboElement &element) const
    {
        return shortened(oneLine(source(element.original_tag)), MaxShownMarkup);
    }
    QString attributeMarkup(const GumboElement &element, const GumboAttribute &attribute) const;
    void add(qsizetype offset, FindingKind kind, const QString &detail, const QString &markup);

    QByteArrayView m_page;
    // What the parser was given of the last scan's reading, and where that begins in the page.
    QByteArrayView m_parsed;
    qsizetype m_parsedAt = 0;
    const std::vector<SectionSpan> &m_sections;
    // Where each section's first tag stands, and whether the last scan of the whole page found
    // an element opened by it.
    std::vector<qsizetype> m_firstTags;
    std::vector<bool> m_synced;
    bool m_tracking = false;
    std::vector<MarkupFinding> m_findings;
    // A formatting element that the parser reopens is a copy with the same attributes, and the
    // readings of a page mostly agree; each place in the page is still reported once.
    std::set<std::tuple<qsizetype, FindingKind, QString>> m_seen;
};

Scanner::Scanner(QByteArrayView page, const std::vector<SectionSpan> &sections)
    : m_page(page)
    , m_sections(sections)
{
    for (const SectionSpan &span : sections) {
        const qsizetype tag = page.sliced(span.begin, span.end - span.begin).indexOf('<');
        m_firstTags.push_back(tag >= 0 ? span.begin + tag : -1);
    }
    m_synced.assign(sections.size(), false);
}

std::vector<qsizetype> Scanner::swallowedSections() const
{
    std::vector<qsizetype> swallowed;
    for (size_t k = 0; k < m_synced.size(); ++k) {
        if (!m_synced[k] && m_firstTags[k] >= 0) {
            swallowed.push_back(qsizetype(k));
        }
    }
    return swallowed;
}

void Scanner::markSynced(qsizetype offset)
{
    const auto it = std::find(m_firstTags.begin(), m_firstTags.end(), offset);
    if (offset >= 0 && it != m_firstTags.end()) {
        m_synced[size_t(it - m_firstTags.begin())] = true;
    }
}

std::vector<MarkupFinding> Scanner::findings()
{
    std::stable_sort(
        m_findings.begin(), m_findings.end(),
        [](const MarkupFinding &a, const MarkupFinding &b) { return a.offset < b.offset; });
    return std::move(m_findings);
}

// A finding at the tag where the parse was refused: the tag as written, up to its ">".
void Scanner::refuse(qsizetype offset, FindingKind kind)
{
    const qsizetype close = m_page.indexOf('>', offset);
    const qsizetype end = close < 0 ? m_page.size() : close + 1;
    const QByteArrayView tag = m_page.sliced(offset, std::min(end - offset, MaxShownMarkup * 4));
    add(offset, kind, QString(), shortened(oneLine(tag), MaxShownMarkup));
}

bool Scanner::scan(QByteArrayView reading, qsizetype begin, qsizetype end)
{
    m_tracking = begin == 0 && end == reading.size();
    if (m_tracking) {
        m_synced.assign(m_sections.size(), false);
    }
    QByteArray corrected;
    const NestingBound bound = boundNesting(reading.sliced(begin, end - begin), &corrected);
    const QByteArrayView text =
        corrected.isNull() ? reading.sliced(begin, end - begin) : QByteArrayView(corrected);
    m_parsed = text;
    m_parsedAt = begin;
    if (bound.crowdedAt >= 0) {
        refuse(begin + bound.crowdedAt, FindingKind::TooManyAttributes);
        return false;
    }
    if (bound.tooDeepAt >= 0) {
        refuse(begin + bound.tooDeepAt, FindingKind::NestedTooDeeply);
        return false;
    }
    // The parser reads UTF-8 and the page is Windows-1252. That is safe here: an ASCII byte
    // always reads as itself, whatever stands around it, and all markup and every name and
    // scheme looked for is ASCII; a letter beyond ASCII only reads as another letter. Source
    // positions stay byte offsets into the page.
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // parse errors are the browser's business, not this report's
    ParseMemory memory(ParseBaseBytes + size_t(text.size()) * ParseBytesPerPageByte);
    const GumboOutput *output = memory.parse(options, text.data(), size_t(text.size()));
    if (!output) {
        if (memory.outcome() == ParseMemory::Outcome::OutOfMemory) {
            throw std::bad_alloc();
        }
        refuse(begin + std::max<qsizetype>(bound.deepestAt, 0), FindingKind::NestedTooDeeply);
        return false;
    }

    std::vector<const GumboNode *> stack{output->document};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        const GumboVector *children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboElement &e = node->v.element;
            if (m_tracking) {
                markSynced(offsetOf(e.original_tag.data));
            }
            if (e.tag == GUMBO_TAG_SCRIPT && insideNoscript(node)) {
                // For a browser that runs scripts it is text; for one that does not, it is not
                // run.
            } else if (isActiveElement(e.tag)) {
                add(offsetOf(e.original_tag.data), FindingKind::ActiveElement,
                    QString::fromLatin1(gumbo_normalized_tagname(e.tag)), tagMarkup(e));
                if (const GumboAttribute *action = gumbo_get_attribute(&e.attributes, "action");
                    action && e.tag == GUMBO_TAG_FORM) {
                    link(e, *action);
                }
            } else {
                element(node);
            }
            // A template's content stays inert, unless it is a shadow root the parser attaches.
            if (node->type != GUMBO_NODE_TEMPLATE || isShadowRoot(e)) {
                children = &e.children;
            }
        } else if (node->type == GUMBO_NODE_TEXT && node->parent &&
                   node->parent->type == GUMBO_NODE_ELEMENT &&
                   node->parent->v.element.tag == GUMBO_TAG_STYLE) {
            styleText(node);
        }
        if (children) {
            for (unsigned int i = children->length; i > 0; --i) {
                stack.push_back(static_cast<const GumboNode *>(children->data[i - 1]));
            }
        }
    }
    return true;
}

void Scanner::element(const GumboNode *node)
{
    const GumboElement &e = node->v.element;
    // An element that an end tag made (</br> reads as <br>) does not take its attributes.
    const QByteArrayView tag = source(e.original_tag);
    if (tag.startsWith("</")) {
        return;
    }
    if (e.tag == GUMBO_TAG_META) {
        const GumboAttribute *equiv = gumbo_get_attribute(&e.attributes, "http-equiv");
        if (equiv) {
            QByteArrayView value(equiv->value);
            while (!value.isEmpty() && isHtmlSpace(value.front())) {
                value = value.sliced(1);
            }
            while (!value.isEmpty() && isHtmlSpace(value.back())) {
                value.chop(1);
            }
            if (equalsIgnoringCase(value, "refresh")) {
                add(offsetOf(e.original_tag.data), FindingKind::MetaRefresh, u"meta"_s,
                    tagMarkup(e));
            }
        }
    }
    if (e.tag == GUMBO_TAG_BASE && e.tag_namespace == GUMBO_NAMESPACE_HTML &&
        gumbo_get_attribute(&e.attributes, "href")) {
        add(offsetOf(e.original_tag.data), FindingKind::BaseAddress, u"base"_s, tagMarkup(e));
        return;
    }
    const bool animation = animatesAddress(e);
    for (unsigned int i = 0; i < e.attributes.length; ++i) {
        attribute(e, *static_cast<const GumboAttribute *>(e.attributes.data[i]), animation);
    }
}

void Scanner::attribute(const GumboElement &element, const GumboAttribute &attribute,
                        bool animatesAddress)
{
    const QByteArrayView name(attribute.name);
    const qsizetype offset = offsetOf(attribute.original_name.data);
    const auto report = [&](FindingKind kind) {
        add(offset, kind, QString::fromUtf8(name), attributeMarkup(element, attribute));
    };

    if (name.startsWith("on")) {
        report(FindingKind::EventHandler);
        return;
    }
    const QByteArrayView value(attribute.value);
    if (name == "style") {
        if (plainHttpInCss(value).first >= 0) {
            report(FindingKind::PlainHttp);
        }
        if ((element.tag_namespace == GUMBO_NAMESPACE_HTML || takesWidth(element)) &&
            cssWidthTooWide(value)) {
            report(FindingKind::FixedWidth);
        }
        return;
    }
    if (name == "width") {
        if (takesWidth(element) && widthAttributeTooWide(value)) {
            report(FindingKind::FixedWidth);
        }
        return;
    }
    if (animatesAddress && (name == "to" || name == "from" || name == "values")) {
        for (qsizetype begin = 0; begin <= value.size();) {
            const qsizetype semicolon = value.indexOf(';', begin);
            const qsizetype end = semicolon < 0 ? value.size() : semicolon;
            const QByteArray scheme = urlScheme(value.sliced(begin, end - begin));
            if (isScriptScheme(scheme) || scheme == "data") {
                report(FindingKind::AnimatedAddress);
                return;
            }
            begin = end + 1;
        }
        return;
    }
    const auto known = std::find_if(std::begin(UrlAttributes), std::end(UrlAttributes),
                                    [&](const UrlAttribute &a) { return name == a.name; });
    if (known == std::end(UrlAttributes)) {
        return;
    }
    std::vector<QByteArrayView> urls;
    switch (known->list) {
    case UrlList::One:
        urls.push_back(value);
        break;
    case UrlList::SpaceSeparated:
        urls = spaceSeparated(value);
        break;
    case UrlList::SourceSet:
        urls = sourceSetUrls(value);
        break;
    }
    for (QByteArrayView url : urls) {
        const QByteArray scheme = urlScheme(url);
        if (known->list == UrlList::One && known->followed && isScriptScheme(scheme)) {
            report(FindingKind::ScriptAddress);
            return;
        }
        if (scheme == "http") {
            report(FindingKind::PlainHttp);
            break;
        }
    }
    if (name == "formaction" || ((name == "href" || name == "xlink:href") &&
                                 (element.tag == GUMBO_TAG_A || element.tag == GUMBO_TAG_AREA))) {
        link(element, attribute);
    }
}

// A link, or a form's target, to a site other than the marketplace's own.
void Scanner::link(const GumboElement &element, const GumboAttribute &attribute)
{
    const QByteArray host = linkHost(attribute.value);
    if (!host.isEmpty() && !isMarketplaceHost(host)) {
        add(offsetOf(attribute.original_name.data), FindingKind::ForeignLink,
            QString::fromUtf8(host), attributeMarkup(element, attribute));
    }
}

void Scanner::styleText(const GumboNode *node)
{
    // A style element's text is raw text: the source bytes are the style sheet itself.
    const QByteArrayView css = source(node->v.text.original_text);
    const auto [begin, end] = plainHttpInCss(css);
    if (begin >= 0) {
        add(offsetOf(node->v.text.original_text.data) + begin, FindingKind::PlainHttp, u"style"_s,
            shortened(oneLine(css.sliced(begin, end - begin)), MaxShownMarkup));
    }
}

// The whole tag when it is short; otherwise the tag's name and the attribute alone, so the
// report shows what is wrong even in a tag of many lines.
QString Scanner::attributeMarkup(const GumboElement &element, const GumboAttribute &attribute) const
{
    const QByteArrayView tag = source(element.original_tag);
    const QString whole = oneLine(tag);
    if (!tag.isEmpty() && whole.size() <= MaxShownMarkup) {
        return whole;
    }
    const qsizetype begin = offsetOf(attribute.original_name.data);
    qsizetype end = begin + qsizetype(attribute.original_name.length);
    if (source(attribute.original_value).size() > 0) {
        end = offsetOf(attribute.original_value.data) + qsizetype(attribute.original_value.length);
    }
    const QString own =
        begin >= 0 ? shortened(oneLine(m_page.sliced(begin, std::min(end, m_page.size()) - begin)),
                               MaxShownMarkup - 20)
                   : QString::fromUtf8(attribute.name);
    if (tag.isEmpty()) {
        return own;
    }
    qsizetype nameEnd = 1;
    while (nameEnd < tag.size() && !isHtmlSpace(tag[nameEnd]) && tag[nameEnd] != '/' &&
           tag[nameEnd] != '>') {
        ++nameEnd;
    }
    return oneLine(tag.first(nameEnd)) + u" ... "_s + own + u" ...>"_s;
}

void Scanner::add(qsizetype offset, FindingKind kind, const QString &detail, const QString &markup)
{
    if (m_seen.emplace(offset, kind, detail).second) {
        m_findings.push_back({offset, kind, detail, markup});
    }
}

QString kindText(const Finding &f)
{
    switch (f.kind) {
    case FindingKind::ActiveElement:
        return u"<%1> element"_s.arg(f.detail);
    case FindingKind::EventHandler:
        return u"event handler \"%1\""_s.arg(f.detail);
    case FindingKind::ScriptAddress:
        return u"script address in \"%1\""_s.arg(f.detail);
    case FindingKind::AnimatedAddress:
        return u"script or data: address given by an animation in \"%1\""_s.arg(f.detail);
    case FindingKind::BaseAddress:
        return u"base address for every relative address"_s;
    case FindingKind::ForeignLink:
        return u"link to %1, outside the marketplace's own sites"_s.arg(f.detail);
    case FindingKind::FixedWidth:
        return u"fixed width over %1 pixels in \"%2\""_s.arg(MaxPhoneWidth).arg(f.detail);
    case FindingKind::MetaRefresh:
        return u"meta refresh"_s;
    case FindingKind::PlainHttp:
        return u"plain http:// in \"%1\""_s.arg(f.detail);
    case FindingKind::NestedTooDeeply:
        return u"nested too deeply to check"_s;
    case FindingKind::TooManyAttributes:
        return u"too many attributes to check"_s;
    case FindingKind::PageTooLong:
        return u"the page is %1 characters long, more than the %2 the marketplace accepts"_s.arg(
            f.detail, QString::number(MarketplaceMaxPageLength));
    }
    Q_UNREACHABLE();
}

} // namespace

std::vector<MarkupFinding> findRejectedMarkup(QByteArrayView page,
                                              const std::vector<SectionSpan> &sections)
{
    const PageTraits traits = traitsOf(page);
    Scanner scanner(page, sections);
    QByteArray browser;
    std::vector<QByteArrayView> readings{page};
    if (traits.noscript || traits.select || traits.firstForeign >= 0) {
        browser = browserReading(page, traits);
        readings.push_back(browser);
    }
    // A section that the markup before it swallowed is read on its own as well. That is not
    // how a browser shows the page, but what it shows there depends on text in other
    // sections, and once that text is fixed the section's own markup is live again. A page
    // nested too deeply to parse is not parsed any further.
    for (QByteArrayView reading : readings) {
        if (!scanner.scan(reading, 0, reading.size())) {
            break;
        }
        for (qsizetype k : scanner.swallowedSections()) {
            scanner.scan(reading, sections[size_t(k)].begin, sections[size_t(k)].end);
        }
    }
    return scanner.findings();
}

CheckedPage composeChecked(const ListingSettings &settings)
{
    SectionedPage sectioned = renderSectioned(settings);
    CheckedPage checked;
    for (MarkupFinding &m : findRejectedMarkup(sectioned.bytes, sectioned.sections)) {
        checked.findings.push_back(
            {sectioned.sectionAt(m.offset), m.kind, std::move(m.detail), std::move(m.markup)});
    }
    if (sectioned.bytes.size() > MarketplaceMaxPageLength) {
        const auto longest = std::max_element(sectioned.sections.begin(), sectioned.sections.end(),
                                              [](const SectionSpan &a, const SectionSpan &b) {
                                                  return a.end - a.begin < b.end - b.begin;
                                              });
        checked.findings.push_back(
            {longest == sectioned.sections.end() ? QString() : longest->listName,
             FindingKind::PageTooLong, QString::number(sectioned.bytes.size()), QString()});
    }
    checked.page = std::move(sectioned.bytes);
    return checked;
}

CheckedPage composeListing(const ListingSettings &settings, bool check)
{
    return check ? composeChecked(settings) : CheckedPage{renderPage(settings), {}};
}

std::vector<Finding> checkPage(const ListingSettings &settings)
{
    return composeChecked(settings).findings;
}

FindingClass classOf(FindingKind kind)
{
    switch (kind) {
    case FindingKind::ActiveElement:
    case FindingKind::EventHandler:
    case FindingKind::ScriptAddress:
    case FindingKind::AnimatedAddress:
    case FindingKind::BaseAddress:
    case FindingKind::MetaRefresh:
    case FindingKind::PageTooLong:
    case FindingKind::NestedTooDeeply:
    case FindingKind::TooManyAttributes:
        return FindingClass::Refused;
    case FindingKind::PlainHttp:
        return FindingClass::Hidden;
    case FindingKind::ForeignLink:
        return FindingClass::Policy;
    case FindingKind::FixedWidth:
        return FindingClass::Advice;
    }
    Q_UNREACHABLE();
}

bool stopsListing(const Finding &finding)
{
    const FindingClass findingClass = classOf(finding.kind);
    return findingClass == FindingClass::Refused || findingClass == FindingClass::Hidden;
}

QString formatFinding(const Finding &finding)
{
    static const QString ClassNames[] = {u"refused"_s, u"hidden"_s, u"policy"_s, u"advice"_s};
    const QString where = finding.section.isEmpty() ? u"page"_s : finding.section;
    QString line =
        ClassNames[int(classOf(finding.kind))] + u": "_s + where + u": "_s + kindText(finding);
    if (!finding.markup.isEmpty()) {
        line += u": "_s + finding.markup;
    }
    return line;
}
