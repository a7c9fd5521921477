#include "rulecheck.h"

#include "ansicodec.h"
#include "sectionedpage.h"

#include <QThread>

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

// Findings show at most this many characters of markup.
constexpr qsizetype MaxShownMarkup = 160;

// The parser recurses once per level of nesting and overflows an 8 MiB stack near 250,000
// levels. Each "<" opens at most a few levels, so a page with many of them is parsed on a
// thread whose stack is sized from their count.
constexpr qsizetype DirectParseOpenings = 10000;
constexpr qsizetype StackBytesPerOpening = 1024;
constexpr qsizetype StackBaseBytes = 16 * 1024 * 1024;

enum class UrlList { One, SpaceSeparated, SourceSet };

struct UrlAttribute
{
    const char *name;
    UrlList list;
};

// Every attribute through which a page loads a resource or links elsewhere.
constexpr UrlAttribute UrlAttributes[] = {
    {"action", UrlList::One},     {"archive", UrlList::SpaceSeparated},
    {"background", UrlList::One}, {"cite", UrlList::One},
    {"classid", UrlList::One},    {"codebase", UrlList::One},
    {"data", UrlList::One},       {"dynsrc", UrlList::One},
    {"formaction", UrlList::One}, {"href", UrlList::One},
    {"icon", UrlList::One},       {"imagesrcset", UrlList::SourceSet},
    {"longdesc", UrlList::One},   {"lowsrc", UrlList::One},
    {"manifest", UrlList::One},   {"ping", UrlList::SpaceSeparated},
    {"poster", UrlList::One},     {"profile", UrlList::SpaceSeparated},
    {"src", UrlList::One},        {"srcset", UrlList::SourceSet},
    {"usemap", UrlList::One},     {"xlink:href", UrlList::One},
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

// The scheme of an address as a browser reads it: control characters and spaces at the start
// are ignored, tabs and line breaks anywhere are removed, letter case does not matter. Empty
// when the address has no scheme (a relative address).
QByteArray urlScheme(QByteArrayView url)
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
    QByteArray scheme;
    for (; i < url.size(); ++i) {
        const char c = url[i];
        if (c == '\t' || c == '\n' || c == '\r') {
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

class Scanner
{
public:
    explicit Scanner(QByteArrayView page)
        : m_page(page)
    {}

    std::vector<MarkupFinding> run();

private:
    void element(const GumboNode *node);
    void attribute(const GumboElement &element, const GumboAttribute &attribute);
    void styleText(const GumboNode *node);

    qsizetype offsetOf(const char *p) const
    {
        const char *begin = m_page.data();
        return (p >= begin && p < begin + m_page.size()) ? p - begin : -1;
    }
    QByteArrayView source(const GumboStringPiece &piece) const
    {
        return offsetOf(piece.data) >= 0 ? QByteArrayView(piece.data, qsizetype(piece.length))
                                         : QByteArrayView();
    }
    QString tagMarkup(const GumboElement &element) const
    {
        return shortened(oneLine(source(element.original_tag)), MaxShownMarkup);
    }
    QString attributeMarkup(const GumboElement &element, const GumboAttribute &attribute) const;
    void add(qsizetype offset, FindingKind kind, const QString &detail, const QString &markup);

    QByteArrayView m_page;
    std::vector<MarkupFinding> m_findings;
    // A formatting element that the parser reopens is a copy with the same attributes; it is
    // still the one place in the page, so each is reported once.
    std::set<std::tuple<qsizetype, FindingKind, QString>> m_seen;
};

std::vector<MarkupFinding> Scanner::run()
{
    // The parser reads UTF-8 and the page is Windows-1252. That is safe here: an ASCII byte
    // always reads as itself, whatever stands around it, and all markup and every name and
    // scheme looked for is ASCII; a letter beyond ASCII only reads as another letter. Source
    // positions stay byte offsets into the page.
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // parse errors are the browser's business, not this report's
    GumboOutput *output = gumbo_parse_with_options(&options, m_page.data(), m_page.size());

    std::vector<const GumboNode *> stack{output->document};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        const GumboVector *children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            if (isActiveElement(node->v.element.tag)) {
                const GumboElement &e = node->v.element;
                add(offsetOf(e.original_tag.data), FindingKind::ActiveElement,
                    QString::fromLatin1(gumbo_normalized_tagname(e.tag)), tagMarkup(e));
                continue;
            }
            element(node);
            children = &node->v.element.children;
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
    gumbo_destroy_output(&options, output);

    std::stable_sort(
        m_findings.begin(), m_findings.end(),
        [](const MarkupFinding &a, const MarkupFinding &b) { return a.offset < b.offset; });
    return std::move(m_findings);
}

void Scanner::element(const GumboNode *node)
{
    const GumboElement &e = node->v.element;
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
    for (unsigned int i = 0; i < e.attributes.length; ++i) {
        attribute(e, *static_cast<const GumboAttribute *>(e.attributes.data[i]));
    }
}

void Scanner::attribute(const GumboElement &element, const GumboAttribute &attribute)
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
        if (known->list == UrlList::One && isScriptScheme(scheme)) {
            report(FindingKind::ScriptAddress);
            return;
        }
        if (scheme == "http") {
            report(FindingKind::PlainHttp);
            return;
        }
    }
}

void Scanner::styleText(const GumboNode *node)
{
    // A style element's text is raw text: the source bytes are the style sheet itself.
    const QByteArrayView css = source(node->v.text.original_text);
    const auto [begin, end] = plainHttpInCss(css);
    if (begin >= 0) {
        add(offsetOf(css.data() + begin), FindingKind::PlainHttp, u"style"_s,
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
    const char *begin = attribute.original_name.data;
    const char *end = begin + attribute.original_name.length;
    if (source(attribute.original_value).size() > 0) {
        end = attribute.original_value.data + attribute.original_value.length;
    }
    const QString own = shortened(oneLine(QByteArrayView(begin, end - begin)), MaxShownMarkup - 20);
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
    case FindingKind::MetaRefresh:
        return u"meta refresh"_s;
    case FindingKind::PlainHttp:
        return u"plain http:// in \"%1\""_s.arg(f.detail);
    case FindingKind::PageTooLong:
        return u"the page is %1 characters long, more than the %2 the marketplace accepts"_s.arg(
            f.detail, QString::number(MarketplaceMaxPageLength));
    }
    Q_UNREACHABLE();
}

} // namespace

std::vector<MarkupFinding> findRejectedMarkup(QByteArrayView page)
{
    const qsizetype openings = std::count(page.begin(), page.end(), '<');
    if (openings <= DirectParseOpenings) {
        return Scanner(page).run();
    }
    std::vector<MarkupFinding> findings;
    std::unique_ptr<QThread> thread(QThread::create([&] { findings = Scanner(page).run(); }));
    const qint64 stack = StackBaseBytes + qint64(openings) * StackBytesPerOpening;
    thread->setStackSize(static_cast<uint>(std::min<qint64>(stack, 0xF0000000)));
    thread->start();
    thread->wait();
    return findings;
}

CheckedPage composeChecked(const ListingSettings &settings)
{
    SectionedPage sectioned = renderSectioned(settings);
    CheckedPage checked;
    for (MarkupFinding &m : findRejectedMarkup(sectioned.bytes)) {
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

std::vector<Finding> checkPage(const ListingSettings &settings)
{
    return composeChecked(settings).findings;
}

QString formatFinding(const Finding &finding)
{
    const QString where = finding.section.isEmpty() ? u"page"_s : finding.section;
    QString line = where + u": "_s + kindText(finding);
    if (!finding.markup.isEmpty()) {
        line += u": "_s + finding.markup;
    }
    return line;
}
