#include "nesting.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The rule, tag by tag, is the HTML tree builder's where it closes elements, simplified in the
// direction that keeps more of them open:
// - void elements (br, img, hr, input, meta, link, ...) and self-closed foreign elements do not
//   open; comments, doctypes and "<![CDATA[" up to the next ">" are skipped; the raw text of script
//   (with its escapes), style, xmp, iframe, noembed, noframes, textarea and title is skipped to its
//   end tag, and plaintext to the end, where they stand in HTML content (in SVG and MathML they are
//   elements like any other);
// - a start tag closes what the builder closes for it: a p before a block, an li before an li,
//   a dd or dt before either, an option before an option, a heading before a heading, an rt or
//   rp before ruby text, a table's cell or row before the next cell, row or section, an a or
//   nobr before another when no block lies between, a select before another;
// - an end tag closes up to its element when the builder finds it in its scope; a formatting
//   or other end tag only when no block stands above its element (otherwise the builder moves
//   elements rather than closing them); </form>, </body> and </html> close nothing;
// - in SVG and MathML an end tag closes up to the foreign element of its name, and an HTML
//   start tag that breaks out of foreign content closes the foreign elements above.
// So 5,000 paragraphs without </p>, 5,000 list items without </li> or 3,000 table rows without
// end tags hold a handful of elements open, as they do in the parser.

namespace {

enum Flag : unsigned {
    Void = 1u << 0,
    RawText = 1u << 1, // raw text or RCDATA: skipped to the end tag
    Script = 1u << 2,
    Plaintext = 1u << 3,
    Special = 1u << 4,
    Scope = 1u << 5,   // ends the default scope
    ListEnd = 1u << 6, // ends the list item scope besides
    ButtonEnd = 1u << 7,
    TableEnd = 1u << 8,  // ends the table scope
    Structure = 1u << 9, // a table's parts, by which a row or cell finds its place
    ClosesP = 1u << 10,
    ClosedInScope = 1u << 11, // its end tag closes it through the default scope
    Breakout = 1u << 12,      // leaves SVG or MathML content
    Heading = 1u << 13,
    Ignored = 1u << 14, // html, head, body: never a new element
    Formatting = 1u << 15,
    Marker = 1u << 16,       // ends the formatting elements' reach, as a table cell does
    Reconstructs = 1u << 17, // a special start tag that first reopens formatting elements
};

// Categories of open elements, each kept as a stack of positions so that "the nearest such
// element" is found at once.
enum Category {
    CatScope,
    CatList,
    CatButton,
    CatTable,
    CatStructure,
    CatSpecial,
    CatNotAdp,
    CatHtml,
    CatCount
};

struct Known
{
    const char *name;
    unsigned flags;
};

constexpr unsigned Block = Special | ClosesP | ClosedInScope;

// What the parser is given for "isindex": a name it does not know, of the same length. Given
// the name itself, the parser builds the form, label and input that an isindex once stood for;
// a browser today makes it an unknown element like any other, whose own attributes are all
// there is.
constexpr std::string_view InertIsindex = "x-isind";
static_assert(InertIsindex.size() == std::string_view("isindex").size());

constexpr Known KnownTags[] = {
    {"html", Ignored | Special | Scope | TableEnd | Structure},
    {"head", Ignored | Special},
    {"body", Ignored | Special},
    {"frameset", Special},
    {"area", Void | Special | Reconstructs},
    {"base", Void | Special},
    {"basefont", Void | Special},
    {"bgsound", Void | Special},
    {"br", Void | Special | Reconstructs | Breakout},
    {"col", Void | Special},
    {"embed", Void | Special | Reconstructs | Breakout},
    {"frame", Void | Special},
    {"hr", Void | Special | ClosesP | Breakout},
    {"image", Void | Reconstructs},
    {"img", Void | Special | Reconstructs | Breakout},
    {"input", Void | Special | Reconstructs},
    {"keygen", Void | Special | Reconstructs},
    {"link", Void | Special},
    {"menuitem", Void | Special},
    {"meta", Void | Special | Breakout},
    {"param", Void | Special},
    {"source", Void | Special},
    {"track", Void | Special},
    {"wbr", Void | Special | Reconstructs},
    {"script", Script | Special},
    {"style", RawText | Special},
    {"xmp", RawText | Special | ClosesP | Reconstructs},
    {"iframe", RawText | Special},
    {"noembed", RawText | Special},
    {"noframes", RawText | Special},
    {"textarea", RawText | Special},
    {"title", RawText | Special},
    {"plaintext", Plaintext | Special | ClosesP},
    {"address", Block},
    {"article", Block},
    {"aside", Block},
    {"blockquote", Block | Breakout},
    {"center", Block | Breakout},
    {"details", Block},
    {"dialog", Block},
    {"dir", Block},
    {"div", Block | Breakout},
    {"dl", Block | Breakout},
    {"fieldset", Block},
    {"figcaption", Block},
    {"figure", Block},
    {"footer", Block},
    {"header", Block},
    {"hgroup", Block},
    {"listing", Block | Breakout},
    {"main", Block},
    {"menu", Block | Breakout},
    {"nav", Block},
    {"ol", Block | ListEnd | Breakout},
    {"ul", Block | ListEnd | Breakout},
    {"p", Block | Breakout},
    {"pre", Block | Breakout},
    {"section", Block},
    {"summary", Block},
    {"h1", Block | Heading | Breakout},
    {"h2", Block | Heading | Breakout},
    {"h3", Block | Heading | Breakout},
    {"h4", Block | Heading | Breakout},
    {"h5", Block | Heading | Breakout},
    {"h6", Block | Heading | Breakout},
    {"li", Special | Breakout},
    {"dd", Special | ClosedInScope | Breakout},
    {"dt", Special | ClosedInScope | Breakout},
    {"form", Special},
    {"button", Special | ButtonEnd | ClosedInScope | Reconstructs},
    {"applet", Special | Scope | ClosedInScope | Marker | Reconstructs},
    {"marquee", Special | Scope | ClosedInScope | Marker | Reconstructs},
    {"object", Special | Scope | ClosedInScope | Marker | Reconstructs},
    {"select", Special | Reconstructs},
    {"noscript", Special},
    {"template", Special | Scope | TableEnd | Structure | Marker},
    {"table", Special | Scope | TableEnd | Structure | Breakout},
    {"caption", Special | Scope | Structure | Marker},
    {"colgroup", Special},
    {"tbody", Special | Structure},
    {"thead", Special | Structure},
    {"tfoot", Special | Structure},
    {"tr", Special | Structure},
    {"td", Special | Scope | Structure | Marker},
    {"th", Special | Scope | Structure | Marker},
    {"b", Formatting | Breakout},
    {"big", Formatting | Breakout},
    {"code", Formatting | Breakout},
    {"em", Formatting | Breakout},
    {"i", Formatting | Breakout},
    {"nobr", Formatting | Breakout},
    {"ruby", Breakout},
    {"s", Formatting | Breakout},
    {"small", Formatting | Breakout},
    {"span", Breakout},
    {"strike", Formatting | Breakout},
    {"strong", Formatting | Breakout},
    {"sub", Breakout},
    {"sup", Breakout},
    {"tt", Formatting | Breakout},
    {"u", Formatting | Breakout},
    {"a", Formatting},
    {"font", Formatting},
    {"var", Breakout},
};

// Names the rules below look for; they are interned first, in this order.
enum Id {
    IdP,
    IdLi,
    IdDd,
    IdDt,
    IdA,
    IdNobr,
    IdButton,
    IdSelect,
    IdOption,
    IdOptgroup,
    IdTemplate,
    IdTable,
    IdTbody,
    IdThead,
    IdTfoot,
    IdTr,
    IdTd,
    IdTh,
    IdCaption,
    IdForm,
    IdRt,
    IdRp,
    IdRb,
    IdRtc,
    IdHtml,
    IdBody,
    IdSvg,
    IdMath,
    IdFont,
    IdAnnotationXml,
    IdDiv,
    IdAddress,
    IdRuby,
    IdFirstOther
};
constexpr const char *IdNames[] = {"p",        "li",      "dd",     "dt",      "a",
                                   "nobr",     "button",  "select", "option",  "optgroup",
                                   "template", "table",   "tbody",  "thead",   "tfoot",
                                   "tr",       "td",      "th",     "caption", "form",
                                   "rt",       "rp",      "rb",     "rtc",     "html",
                                   "body",     "svg",     "math",   "font",    "annotation-xml",
                                   "div",      "address", "ruby"};
static_assert(std::size(IdNames) == IdFirstOther);

enum Namespace : unsigned char { Html, Svg, MathMl };

struct Open
{
    int id; // the name's id; a foreign element's name has an id of its own
    unsigned cats;
    Namespace ns;
    bool integration;  // SVG foreignObject, desc, title and MathML text elements: HTML inside
    bool mathText;     // MathML mi, mo, mn, ms, mtext
    size_t reopenable; // for a marker: how many formatting elements could be reopened before it
    size_t attributes; // a hash of the attributes as written
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a "<![CDATA[" begins the text, in any letter case: the parser's tokenizer may read
// either as a section's start.
bool startsWithCdata(QByteArrayView text)
{
    static constexpr std::string_view Start = "<![cdata[";
    if (text.size() < qsizetype(Start.size())) {
        return false;
    }
    for (size_t k = 0; k < Start.size(); ++k) {
        if (lower(text[qsizetype(k)]) != Start[k]) {
            return false;
        }
    }
    return true;
}

unsigned flagsOf(const std::string &name)
{
    static const std::unordered_map<std::string, unsigned> table = [] {
        std::unordered_map<std::string, unsigned> map;
        for (const Known &k : KnownTags) {
            map.emplace(k.name, k.flags);
        }
        return map;
    }();
    const auto it = table.find(name);
    return it == table.end() ? 0 : it->second;
}

// An attribute name as the parser tells names apart: an ASCII letter in either case is one
// letter, and each run of bytes beyond ASCII (or NUL) stands for one or more characters the
// parser decodes from it, counted as one here. Names the parser takes for the same are the
// same here too, and so are names a browser takes for the same.
std::string nameKey(const char *from, const char *to)
{
    std::string key;
    key.reserve(size_t(to - from));
    for (; from < to; ++from) {
        const char c = *from;
        if (c == 0 || static_cast<unsigned char>(c) >= 0x80) {
            if (key.empty() || key.back() != '\x80') {
                key += '\x80';
            }
        } else {
            key += lower(c);
        }
    }
    return key;
}

// The attribute names of one tag so far, by nameKey.
class AttributeNames
{
public:
    // Adds the name; false when the tag has it already.
    bool add(std::string key)
    {
        if (m_set.empty()) {
            if (std::find(m_few.begin(), m_few.end(), key) != m_few.end()) {
                return false;
            }
            if (m_few.size() < 16) {
                m_few.push_back(std::move(key));
                return true;
            }
            m_set.insert(m_few.begin(), m_few.end());
        }
        return m_set.insert(std::move(key)).second;
    }
    size_t size() const { return m_set.empty() ? m_few.size() : m_set.size(); }

private:
    std::vector<std::string> m_few;
    std::unordered_set<std::string> m_set;
};

struct Tag
{
    std::string name;
    qsizetype end = 0; // just past the tag, or the text's end
    bool selfClosing = false;
    bool fontBreaksOut = false;  // a font tag with color, face or size
    bool crowded = false;        // more than MaxAttributes attribute names
    bool htmlAnnotation = false; // a MathML annotation-xml that holds HTML
    size_t attributes = 0;       // a hash of the attributes as written
    // Each attribute of a name the tag has already: where its name begins and its value ends.
    std::vector<std::pair<qsizetype, qsizetype>> repeated;
};

class Scan
{
public:
    Scan(QByteArrayView text, QByteArray *forParser);
    NestingBound run();

private:
    char *forParser();
    void blank(qsizetype from, qsizetype to);
    void rename(qsizetype at, std::string_view name);
    void commentOut(qsizetype from, qsizetype to, bool closed);
    Tag readTag(qsizetype at, bool endTag) const;
    int intern(const std::string &name, bool foreign);

    int nearest(int id) const
    {
        return m_positions[size_t(id)].empty() ? -1 : m_positions[size_t(id)].back();
    }
    int nearestOf(Category cat) const { return m_cats[cat].empty() ? -1 : m_cats[cat].back(); }
    int nearestOf(std::initializer_list<int> ids) const
    {
        int at = -1;
        for (int id : ids) {
            at = std::max(at, nearest(id));
        }
        return at;
    }
    const Open &current() const { return m_stack.back(); }
    // Whether the parser reads tags by its rules for a select: one is open, with no template
    // opened inside it, and the tag stands in HTML content.
    bool inSelect() const
    {
        const int select = nearest(IdSelect);
        return select >= 0 && select > nearest(IdTemplate) && current().ns == Html;
    }
    // Opens an element for the tag at at; false when that is one too many.
    bool push(int id, Namespace ns, qsizetype at, bool htmlAnnotation = false,
              size_t attributes = 0, bool reopened = false);
    void keepReopenable(const Open &open);
    void popTo(int position, bool endsTarget = false);
    void popTop() { popTo(int(m_stack.size()) - 1); }
    bool reopen(qsizetype at);
    void closeP();
    bool htmlStart(const Tag &tag, int id, qsizetype at);
    bool tableStart(int id, qsizetype at);
    void htmlEnd(int id);
    bool asForeign(int id) const;
    qsizetype afterRawText(qsizetype from, const std::string &name) const;
    qsizetype afterScript(qsizetype from) const;
    bool tagAt(qsizetype at, std::string_view name, bool endTag) const;
    qsizetype afterComment(qsizetype at) const;

    QByteArrayView m_text;
    QByteArray *m_forParser;
    std::unordered_map<std::string, int> m_ids;
    std::vector<unsigned> m_flags;             // by id
    std::vector<std::string> m_names;          // by id
    std::vector<std::vector<int>> m_positions; // by id: where elements of that name are open
    std::array<std::vector<int>, CatCount> m_cats;
    std::vector<Open> m_stack;
    // Formatting elements closed by something else than their own end tag: the tree builder
    // keeps them in its list of formatting elements and reopens them before text and before
    // most inline tags. Reopened here at all those places; as in the builder, no more than
    // three of one name and the same attributes (written the same way here).
    std::vector<std::pair<int, size_t>> m_reopenable;
    std::unordered_map<size_t, int> m_reopenableCount; // by name and attributes
    qint64 m_work = 0; // the elements open at each tag, summed, and those reopened
    NestingBound m_bound;
};

Scan::Scan(QByteArrayView text, QByteArray *forParser)
    : m_text(text)
    , m_forParser(forParser)
{
    for (const char *name : IdNames) {
        intern(name, false);
    }
    push(IdHtml, Html, -1);
    push(IdBody, Html, -1);
}

int Scan::intern(const std::string &name, bool foreign)
{
    std::string key = name;
    if (foreign) {
        key += '\x01';
    }
    const auto [it, added] = m_ids.emplace(std::move(key), int(m_flags.size()));
    if (added) {
        m_flags.push_back(foreign ? 0 : flagsOf(name));
        m_names.push_back(name);
        m_positions.emplace_back();
    }
    return it->second;
}

// The tag at at: its name, and its end found as the tokenizer finds it, past attribute values
// that hold a ">". A tag cut off by the end of the text is dropped by the parser.
Tag Scan::readTag(qsizetype at, bool endTag) const
{
    const char *const t = m_text.data();
    const qsizetype n = m_text.size();
    Tag tag;
    const qsizetype nameStart = at + (endTag ? 2 : 1);
    qsizetype i = nameStart;
    while (i < n && !isSpace(t[i]) && t[i] != '/' && t[i] != '>') {
        tag.name += lower(t[i++]);
    }
    const qsizetype afterName = i;
    const auto hashAttributes = [&](qsizetype end) {
        tag.attributes = std::hash<std::string_view>()(
            std::string_view(t + afterName, size_t(std::max(end - afterName, qsizetype(0)))));
    };
    const bool font = tag.name == "font";
    const bool annotation = tag.name == "annotation-xml";
    AttributeNames names;
    // Whether the value after the attribute name ending at from names HTML.
    const auto valueIsHtml = [&](qsizetype from) {
        while (from < n && isSpace(t[from])) {
            ++from;
        }
        if (from >= n || t[from] != '=') {
            return false;
        }
        ++from;
        while (from < n && isSpace(t[from])) {
            ++from;
        }
        const char quote = from < n && (t[from] == '"' || t[from] == '\'') ? t[from++] : 0;
        std::string value;
        while (from < n && (quote ? t[from] != quote : !isSpace(t[from]) && t[from] != '>')) {
            value += lower(t[from++]);
        }
        return value == "text/html" || value == "application/xhtml+xml";
    };
    for (;;) {
        while (i < n && isSpace(t[i])) {
            ++i;
        }
        if (i >= n) {
            tag.end = n;
            return tag;
        }
        if (t[i] == '>') {
            tag.end = i + 1;
            hashAttributes(i);
            return tag;
        }
        if (t[i] == '/') {
            if (i + 1 < n && t[i + 1] == '>') {
                tag.selfClosing = true;
                tag.end = i + 2;
                hashAttributes(i);
                return tag;
            }
            ++i;
            continue;
        }
        const qsizetype attributeStart = i++;
        while (i < n && !isSpace(t[i]) && t[i] != '/' && t[i] != '>' && t[i] != '=') {
            ++i;
        }
        std::string name = nameKey(t + attributeStart, t + i);
        const bool repeated = !names.add(name);
        if (!repeated) {
            tag.fontBreaksOut = tag.fontBreaksOut ||
                                (font && (name == "color" || name == "face" || name == "size"));
            if (annotation && name == "encoding") {
                tag.htmlAnnotation = valueIsHtml(i);
            }
        }
        if (qsizetype(names.size()) > MaxAttributes) {
            tag.crowded = true;
            tag.end = n;
            return tag;
        }
        qsizetype valueEnd = i;
        while (i < n && isSpace(t[i])) {
            ++i;
        }
        if (i < n && t[i] == '=') {
            ++i;
            while (i < n && isSpace(t[i])) {
                ++i;
            }
            if (i < n && (t[i] == '"' || t[i] == '\'')) {
                const void *close = std::memchr(t + i + 1, t[i], size_t(n - i - 1));
                i = close ? static_cast<const char *>(close) - t + 1 : n;
            } else {
                while (i < n && !isSpace(t[i]) && t[i] != '>') {
                    ++i;
                }
            }
            valueEnd = i;
        }
        if (repeated) {
            tag.repeated.emplace_back(attributeStart, valueEnd);
        }
    }
}

bool Scan::push(int id, Namespace ns, qsizetype at, bool htmlAnnotation, size_t attributes,
                bool reopened)
{
    const unsigned flags = ns == Html ? m_flags[size_t(id)] : 0;
    Open open{id, 0, ns, false, false, m_reopenable.size(), attributes};
    const auto in = [&](Category cat) { open.cats |= 1u << cat; };
    if (ns == Html) {
        in(CatHtml);
        const std::pair<unsigned, Category> cats[] = {
            {Scope, CatScope},    {ListEnd, CatList},        {ButtonEnd, CatButton},
            {TableEnd, CatTable}, {Structure, CatStructure}, {Special, CatSpecial}};
        for (const auto &[flag, cat] : cats) {
            if (flags & flag) {
                in(cat);
            }
        }
        if ((flags & Special) && id != IdP && id != IdDiv && id != IdAddress) {
            in(CatNotAdp);
        }
    } else {
        const std::string &name = m_names[size_t(id)];
        open.mathText = ns == MathMl && (name == "mi" || name == "mo" || name == "mn" ||
                                         name == "ms" || name == "mtext");
        open.integration =
            open.mathText || (ns == MathMl && htmlAnnotation) ||
            (ns == Svg && (name == "foreignobject" || name == "desc" || name == "title"));
        if (open.integration) {
            in(CatScope);
            in(CatSpecial);
            in(CatNotAdp);
        }
    }
    const int position = int(m_stack.size());
    m_stack.push_back(open);
    m_positions[size_t(id)].push_back(position);
    for (int cat = 0; cat < CatCount; ++cat) {
        if (open.cats & (1u << cat)) {
            m_cats[size_t(cat)].push_back(position);
        }
    }
    if (!reopened && int(m_stack.size()) > m_bound.deepest) {
        m_bound.deepest = int(m_stack.size());
        m_bound.deepestAt = at;
    }
    if (int(m_stack.size()) > MaxOpenElements) {
        m_bound.tooDeepAt = at;
        return false;
    }
    return true;
}

void Scan::popTo(int position, bool endsTarget)
{
    while (int(m_stack.size()) > std::max(position, 2)) {
        const Open &open = m_stack.back();
        const unsigned flags = open.ns == Html ? m_flags[size_t(open.id)] : 0;
        if ((flags & Formatting) && !(endsTarget && int(m_stack.size()) - 1 == position)) {
            keepReopenable(open);
        } else if (flags & Marker) {
            while (m_reopenable.size() > open.reopenable) {
                const auto [id, attributes] = m_reopenable.back();
                --m_reopenableCount[attributes ^ (size_t(id) * 0x9E3779B97F4A7C15ull)];
                m_reopenable.pop_back();
            }
        }
        m_positions[size_t(open.id)].pop_back();
        for (int cat = 0; cat < CatCount; ++cat) {
            if (open.cats & (1u << cat)) {
                m_cats[size_t(cat)].pop_back();
            }
        }
        m_stack.pop_back();
    }
}

void Scan::keepReopenable(const Open &open)
{
    int &count = m_reopenableCount[open.attributes ^ (size_t(open.id) * 0x9E3779B97F4A7C15ull)];
    if (count < 3) {
        ++count;
        m_reopenable.emplace_back(open.id, open.attributes);
    }
}

// The parser builds each element it reopens anew, attributes and all: that costs it far more
// than a look through the open elements, and a page can have it reopen the same ones at every
// piece of text.
constexpr qint64 ReopeningWork = 100;

bool Scan::reopen(qsizetype at)
{
    m_work += qint64(m_reopenable.size()) * ReopeningWork;
    if (m_work > MaxNestingWork) {
        m_bound.tooDeepAt = at;
        return false;
    }
    std::vector<std::pair<int, size_t>> elements;
    elements.swap(m_reopenable);
    m_reopenableCount.clear();
    for (const auto &[id, attributes] : elements) {
        if (!push(id, Html, at, false, attributes, true)) {
            return false;
        }
    }
    return true;
}

// A p in button scope is closed.
void Scan::closeP()
{
    const int p = nearest(IdP);
    if (p >= 0 && p >= std::max(nearestOf(CatScope), nearestOf(CatButton))) {
        popTo(p);
    }
}

// Whether a start tag goes into foreign content, as the tree builder decides it from the
// current element.
bool Scan::asForeign(int id) const
{
    const Open &node = current();
    if (node.ns == Html) {
        return false;
    }
    if (node.mathText || node.integration) {
        return false; // HTML inside (mglyph and malignmark in MathML text open like any other)
    }
    // A plain annotation-xml holds an svg as SVG, by the HTML rules.
    return !(node.ns == MathMl && id == IdSvg && m_names[size_t(node.id)] == "annotation-xml");
}

bool Scan::tableStart(int id, qsizetype at)
{
    const auto structureIs = [&](std::initializer_list<int> ids) {
        const int s = nearestOf(CatStructure);
        return s >= 0 && std::find(ids.begin(), ids.end(), m_stack[size_t(s)].id) != ids.end();
    };
    if (id == IdTable) {
        // A table straight inside a table's rows ends the one before.
        const int table = nearest(IdTable);
        if (structureIs({IdTable, IdTbody, IdThead, IdTfoot, IdTr}) && table >= 0 &&
            table >= nearestOf(CatTable)) {
            popTo(table);
        }
        return push(id, Html, at);
    }
    // What the new part closes: a cell closes a cell, a row also a row, a section also a section.
    const bool row = id == IdTr;
    const bool section = id == IdTbody || id == IdThead || id == IdTfoot;
    const auto closed = [&] {
        return structureIs({IdTd, IdTh, IdCaption}) || ((row || section) && structureIs({IdTr})) ||
               (section && structureIs({IdTbody, IdThead, IdTfoot}));
    };
    while (closed()) {
        popTo(nearestOf(CatStructure));
    }
    if ((id == IdTr || id == IdTd || id == IdTh) && structureIs({IdTable}) &&
        !push(IdTbody, Html, at)) {
        return false;
    }
    if ((id == IdTd || id == IdTh) && structureIs({IdTbody, IdThead, IdTfoot}) &&
        !push(IdTr, Html, at)) {
        return false;
    }
    return push(id, Html, at);
}

bool Scan::htmlStart(const Tag &tag, int id, qsizetype at)
{
    const unsigned flags = m_flags[size_t(id)];
    if (flags & Ignored) {
        return true;
    }
    if (flags & ClosesP) {
        closeP();
    }
    if (flags & Void) {
        return true;
    }
    if (id == IdSvg || id == IdMath) {
        return tag.selfClosing || push(intern(tag.name, true), id == IdSvg ? Svg : MathMl, at);
    }
    const auto closeIfNoBlockAbove = [&](int position) {
        if (position >= 0 && position > nearestOf(CatSpecial)) {
            popTo(position, true);
        }
    };
    switch (id) {
    case IdTable:
    case IdTbody:
    case IdThead:
    case IdTfoot:
    case IdTr:
    case IdTd:
    case IdTh:
        return tableStart(id, at);
    case IdLi:
        if (nearest(IdLi) >= 0 && nearest(IdLi) >= nearestOf(CatNotAdp)) {
            popTo(nearest(IdLi));
        }
        closeP();
        break;
    case IdDd:
    case IdDt:
        if (const int item = nearestOf({IdDd, IdDt}); item >= 0 && item >= nearestOf(CatNotAdp)) {
            popTo(item);
        }
        closeP();
        break;
    case IdOption:
        if (current().id == IdOption) {
            popTop();
        }
        break;
    case IdOptgroup:
        if (current().id == IdOption) {
            popTop();
        }
        if (current().id == IdOptgroup && nearest(IdSelect) >= 0) {
            popTop();
        }
        break;
    case IdSelect:
        if (nearest(IdSelect) >= 0 && nearest(IdSelect) >= nearestOf(CatScope)) {
            popTo(nearest(IdSelect));
            return true; // a select inside a select only ends it
        }
        break;
    case IdA:
    case IdNobr:
        closeIfNoBlockAbove(nearest(id));
        break;
    case IdButton:
        if (nearest(IdButton) >= 0 && nearest(IdButton) >= nearestOf(CatScope)) {
            popTo(nearest(IdButton));
        }
        break;
    case IdRt:
    case IdRp:
    case IdRb:
    case IdRtc:
        // Ruby text ends the one before only within a ruby; elsewhere it nests.
        if (const int t = current().id; (t == IdRt || t == IdRp || t == IdRb) &&
                                        nearest(IdRuby) >= 0 &&
                                        nearest(IdRuby) >= nearestOf(CatScope)) {
            popTop();
        }
        break;
    default:
        if ((flags & Heading) && (m_flags[size_t(current().id)] & Heading) &&
            current().ns == Html) {
            popTop();
        }
        break;
    }
    return push(id, Html, at, false, tag.attributes);
}

void Scan::htmlEnd(int id)
{
    const unsigned flags = m_flags[size_t(id)];
    const int open = nearest(id);
    if (open < 0 || (flags & Ignored)) {
        return;
    }
    switch (id) {
    case IdP:
        if (open >= std::max(nearestOf(CatScope), nearestOf(CatButton))) {
            popTo(open);
        }
        return;
    case IdLi:
        if (open >= std::max(nearestOf(CatScope), nearestOf(CatList))) {
            popTo(open);
        }
        return;
    case IdTable:
    case IdTbody:
    case IdThead:
    case IdTfoot:
    case IdTr:
    case IdTd:
    case IdTh:
    case IdCaption:
        if (open >= nearestOf(CatTable)) {
            popTo(open);
        }
        return;
    case IdTemplate:
        popTo(open);
        return;
    case IdSelect:
        if (open >= nearestOf(CatScope)) {
            popTo(open);
        }
        return;
    case IdForm:
        // The builder takes the form out of the stack alone; what stands above it stays.
        if (open == int(m_stack.size()) - 1) {
            popTop();
        }
        return;
    default:
        break;
    }
    if (flags & ClosedInScope) {
        if (open >= nearestOf(CatScope)) {
            popTo(open);
        }
    } else if (open >= nearestOf(CatSpecial)) {
        popTo(open, true);
    }
}

char *Scan::forParser()
{
    if (m_forParser->isNull()) {
        *m_forParser = m_text.toByteArray();
    }
    return m_forParser->data();
}

void Scan::blank(qsizetype from, qsizetype to)
{
    if (m_forParser) {
        std::memset(forParser() + from, ' ', size_t(to - from));
    }
}

// The tag name at at replaced by one of the same length.
void Scan::rename(qsizetype at, std::string_view name)
{
    if (m_forParser) {
        std::memcpy(forParser() + at, name.data(), name.size());
    }
}

// The bytes from from to to made a comment: "<!--", blanks, and "-->" where closed.
void Scan::commentOut(qsizetype from, qsizetype to, bool closed)
{
    if (m_forParser) {
        char *const d = forParser();
        std::memset(d + from, ' ', size_t(to - from));
        std::memcpy(d + from, "<!--", 4);
        if (closed) {
            std::memcpy(d + to - 3, "-->", 3);
        }
    }
}

bool Scan::tagAt(qsizetype at, std::string_view name, bool endTag) const
{
    const qsizetype start = at + (endTag ? 2 : 1);
    const qsizetype after = start + qsizetype(name.size());
    if (after >= m_text.size() || m_text[at] != '<' || (endTag && m_text[at + 1] != '/')) {
        return false;
    }
    for (size_t k = 0; k < name.size(); ++k) {
        if (lower(m_text[start + qsizetype(k)]) != name[k]) {
            return false;
        }
    }
    const char c = m_text[after];
    return isSpace(c) || c == '/' || c == '>';
}

// Where raw text or RCDATA ends: at the first end tag of its element's name.
qsizetype Scan::afterRawText(qsizetype from, const std::string &name) const
{
    const char *const t = m_text.data();
    const qsizetype n = m_text.size();
    for (qsizetype i = from; i < n; ++i) {
        const void *lt = std::memchr(t + i, '<', size_t(n - i));
        if (!lt) {
            return n;
        }
        i = static_cast<const char *>(lt) - t;
        if (tagAt(i, name, true)) {
            return i;
        }
    }
    return n;
}

// Where a script's text ends, through the escapes a "<!--" in it opens: inside one, a
// "<script" makes the next "</script" end only that inner part.
qsizetype Scan::afterScript(qsizetype from) const
{
    enum { Data, Escaped, DoubleEscaped } state = Data;
    int dashes = 0;
    const qsizetype n = m_text.size();
    for (qsizetype i = from; i < n; ++i) {
        const char c = m_text[i];
        if (c == '-') {
            ++dashes;
            continue;
        }
        const bool closesEscape = c == '>' && dashes >= 2 && state != Data;
        dashes = 0;
        if (closesEscape) {
            state = Data;
        } else if (c != '<') {
            continue;
        } else if (state == Data && m_text.sliced(i).startsWith("<!--")) {
            state = Escaped;
            dashes = 2;
            i += 3;
        } else if (state != DoubleEscaped && tagAt(i, "script", true)) {
            return i;
        } else if (state == Escaped && tagAt(i, "script", false)) {
            state = DoubleEscaped;
        } else if (state == DoubleEscaped && tagAt(i, "script", true)) {
            state = Escaped;
        }
    }
    return n;
}

// Just past a comment that begins at at with "<!--".
qsizetype Scan::afterComment(qsizetype at) const
{
    const QByteArrayView rest = m_text.sliced(at + 4);
    if (rest.startsWith(">")) {
        return at + 5;
    }
    if (rest.startsWith("->")) {
        return at + 6;
    }
    const qsizetype dashes = rest.indexOf("-->");
    const qsizetype bang = rest.indexOf("--!>");
    if (dashes < 0 && bang < 0) {
        return m_text.size();
    }
    if (bang < 0 || (dashes >= 0 && dashes < bang)) {
        return at + 4 + dashes + 3;
    }
    return at + 4 + bang + 4;
}

NestingBound Scan::run()
{
    const char *const t = m_text.data();
    const qsizetype n = m_text.size();
    qsizetype i = 0;
    while (i < n) {
        const void *lt = std::memchr(t + i, '<', size_t(n - i));
        if (!lt) {
            break;
        }
        const qsizetype at = static_cast<const char *>(lt) - t;
        if (at > i && !m_reopenable.empty() && (current().ns == Html || current().integration) &&
            !reopen(at)) {
            return m_bound;
        }
        i = at + 1;
        if (i >= n) {
            break;
        }
        const char c = t[i];
        if (c == '!') {
            if (m_text.sliced(at).startsWith("<!--")) {
                i = afterComment(at);
            } else {
                const qsizetype end = m_text.indexOf('>', at);
                i = end < 0 ? n : end + 1;
                if (startsWithCdata(m_text.sliced(at))) {
                    commentOut(at, i, end >= 0);
                }
            }
            continue;
        }
        if (c == '?') {
            const qsizetype end = m_text.indexOf('>', at);
            i = end < 0 ? n : end + 1;
            continue;
        }
        const bool endTag = c == '/';
        if (endTag && (i + 1 >= n || !isAlpha(t[i + 1]))) {
            if (i + 1 < n && t[i + 1] != '>') {
                const qsizetype end = m_text.indexOf('>', at);
                i = end < 0 ? n : end + 1;
            }
            continue;
        }
        if (!endTag && !isAlpha(c)) {
            continue;
        }
        const Tag tag = readTag(at, endTag);
        if (tag.crowded) {
            m_bound.crowdedAt = at;
            return m_bound;
        }
        for (const auto &[from, to] : tag.repeated) {
            blank(from, to);
        }
        if (tag.name == "isindex") {
            rename(at + (endTag ? 2 : 1), InertIsindex);
        }
        i = tag.end;
        if (tag.end == n && (n == 0 || t[n - 1] != '>')) {
            break; // cut off by the end: the parser drops it
        }
        m_work += qint64(m_stack.size());
        if (m_work > MaxNestingWork) {
            m_bound.tooDeepAt = at;
            return m_bound;
        }
        if (endTag) {
            if (current().ns != Html) {
                const int foreign = nearest(intern(tag.name, true));
                if (foreign >= 0 && foreign > nearestOf(CatHtml)) {
                    popTo(foreign);
                    continue;
                }
            }
            htmlEnd(intern(tag.name, false));
            continue;
        }
        int id = intern(tag.name, false);
        if (asForeign(id)) {
            const bool breaksOut =
                (m_flags[size_t(id)] & Breakout) || (id == IdFont && tag.fontBreaksOut);
            if (!breaksOut) {
                if (!tag.selfClosing &&
                    !push(intern(tag.name, true), current().ns, at, tag.htmlAnnotation)) {
                    return m_bound;
                }
                continue;
            }
            while (current().ns != Html && !current().integration) {
                popTop();
            }
        }
        const unsigned startFlags = m_flags[size_t(id)];
        // In a select the parser drops the start tag of a raw-text element (a textarea ends the
        // select instead), so what follows is markup to it; a browser that keeps what a select
        // holds reads raw text there, which the second reading, renaming the select, covers.
        if ((startFlags & RawText) && tag.name != "textarea" && inSelect()) {
            continue;
        }
        if (!m_reopenable.empty() && (!(startFlags & Special) || (startFlags & Reconstructs)) &&
            !reopen(at)) {
            return m_bound;
        }
        if (!htmlStart(tag, id, at)) {
            return m_bound;
        }
        const unsigned flags = m_flags[size_t(id)];
        if (flags & Script) {
            i = afterScript(i);
        } else if (flags & RawText) {
            i = afterRawText(i, tag.name);
        } else if (flags & Plaintext) {
            break;
        }
        if (flags & (Script | RawText)) {
            // The element closes at its end tag, which is read next as any other.
            popTo(nearest(id));
        }
    }
    return m_bound;
}

} // namespace

NestingBound boundNesting(QByteArrayView text, QByteArray *forParser)
{
    if (forParser) {
        *forParser = QByteArray();
    }
    return Scan(text, forParser).run();
}
