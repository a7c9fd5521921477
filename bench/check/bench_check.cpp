// The marketplace rule check of a 500,000-character page, against composing the same page
// without the check: rendering it and replacing the file, as the composer does. Two pages: one
// dense with markup (every few words a tag, a link, an image, an inline style), one of plain
// paragraphs with a little markup, as most descriptions are. The check itself is measured
// against the HTML parser alone on the page of paragraphs: the walk over the parsed page must
// cost little next to the parse. Then pages of the same length made to cost the parser most
// (deep nesting, nesting over many tags, formatting rebuilt without end, crowded tags, foreign
// content, the second reading), each against the page of paragraphs: refused or parsed, every
// one must be done in good time.
#include "defaultcolours.h"
#include "pagewriter.h"
#include "rulecheck.h"

#include <QTemporaryDir>

#include <gumbo.h>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype PageLength = 500000;

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString denseMarkup(int n)
{
    return u"<p style=\"color:#333333\">Solid <b>oak</b> table, "
           "<a href=\"https://example.com/item/%1\">details</a> "
           "<img src=\"https://img.example.com/p%1.jpg\" width=\"120\" alt=\"photo\"><br>\r\n"_s
               .arg(n);
}

QString plainParagraph(int n)
{
    return u"<p>Paragraph %1. Solid oak table in good condition, signed by the maker, with the "
           "original brass handles and a drawer that runs smoothly. A few light marks on the "
           "top, as the photographs show; no chips, no cracks and no repairs. Collection from "
           "town or posted with tracking.</p>\r\n"_s.arg(n);
}

// A first-start listing whose description fills the page to PageLength characters. A line
// break in the description takes more room in the page than in the text, so the text is cut
// until the page fits.
ListingSettings listingOf(QString (*piece)(int))
{
    ListingSettings s;
    s.startFirstRun();
    s.setColors(defaultColorSet());
    s.setText(TextField::MainTitle, u"Solid oak table"_s);
    QString text;
    for (int n = 0; text.size() < PageLength; ++n) {
        text += piece(n);
    }
    for (;;) {
        s.setText(TextField::Description, text);
        const qsizetype excess = renderPage(s).size() - PageLength;
        if (excess <= 0) {
            return s;
        }
        text.chop(excess);
    }
}

const ListingSettings &dense()
{
    static const ListingSettings s = listingOf(denseMarkup);
    return s;
}

const ListingSettings &plain()
{
    static const ListingSettings s = listingOf(plainParagraph);
    return s;
}

void compose(benchmark::State &state, const ListingSettings &s)
{
    const QString path = workDir().filePath(u"page.txt"_s);
    for (auto _ : state) {
        if (!writeout(s, path)) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.counters["page"] = double(renderPage(s).size());
}

void composeChecked(benchmark::State &state, const ListingSettings &s)
{
    const QString path = workDir().filePath(u"checked.txt"_s);
    for (auto _ : state) {
        const CheckedPage checked = composeChecked(s);
        if (!replaceFile(path, checked.page)) {
            state.SkipWithError("write failed");
            return;
        }
        benchmark::DoNotOptimize(checked.findings.data());
    }
    state.counters["page"] = double(renderPage(s).size());
}

void BM_ComposeDense(benchmark::State &state)
{
    compose(state, dense());
}
void BM_ComposeDenseChecked(benchmark::State &state)
{
    composeChecked(state, dense());
}
void BM_ComposePlain(benchmark::State &state)
{
    compose(state, plain());
}
void BM_ComposePlainChecked(benchmark::State &state)
{
    composeChecked(state, plain());
}

// The parts on their own: rendering, and the check of an already rendered page.
void BM_RenderDense(benchmark::State &state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderPage(dense()).size());
    }
}
void BM_FindRejectedMarkupDense(benchmark::State &state)
{
    const QByteArray page = renderPage(dense());
    for (auto _ : state) {
        benchmark::DoNotOptimize(findRejectedMarkup(page).size());
    }
}

// The check of an ordinary listing page against what it cannot do without: libgumbo parsing
// the same page, with the same options, and freeing what it built.
void BM_GumboParsePlain(benchmark::State &state)
{
    const QByteArray page = renderPage(plain());
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    for (auto _ : state) {
        GumboOutput *output = gumbo_parse_with_options(&options, page.constData(), page.size());
        benchmark::DoNotOptimize(output->root);
        gumbo_destroy_output(&options, output);
    }
    state.counters["page"] = double(page.size());
}
void BM_FindRejectedMarkupPlain(benchmark::State &state)
{
    const QByteArray page = renderPage(plain());
    for (auto _ : state) {
        benchmark::DoNotOptimize(findRejectedMarkup(page).size());
    }
    state.counters["page"] = double(page.size());
}

// A page of PageLength bytes: head, then piece over and over (the last one cut), then tail.
QByteArray hostilePage(const QByteArray &head, const QByteArray &piece, const QByteArray &tail = {})
{
    QByteArray page = head;
    while (page.size() < PageLength - tail.size()) {
        page += piece;
    }
    page.truncate(PageLength - tail.size());
    return page + tail;
}

// One b element of each of many attribute values, left open in a paragraph the next </p> ends:
// the parser rebuilds them all at every piece of text.
QByteArray formattingPile(int count)
{
    QByteArray pile = "<p>";
    for (int n = 0; n < count; ++n) {
        pile += "<b id=" + QByteArray::number(n) + '>';
    }
    return pile + "</p>";
}

QByteArray crowdedTag(int attributes)
{
    QByteArray tag = "<p";
    for (int n = 0; n < attributes; ++n) {
        tag += " a" + QByteArray::number(n);
    }
    return tag + '>';
}

const std::map<std::string, QByteArray> &hostilePages()
{
    static const std::map<std::string, QByteArray> pages{
        {"BM_CheckDeepDivs", hostilePage({}, "<div>")},
        {"BM_CheckDeepBold", hostilePage({}, "<b>")},
        {"BM_CheckDeepTables", hostilePage({}, "<table><tr><td>")},
        {"BM_CheckDeepSvg", hostilePage("<svg>", "<g>")},
        {"BM_CheckDeepTemplates", hostilePage({}, "<template>")},
        {"BM_CheckManyTagsDeep", hostilePage(QByteArray("<div>").repeated(1990), "</p>")},
        {"BM_CheckManyTagsDeepReadTwice",
         hostilePage("<svg></svg>" + QByteArray("<div>").repeated(1990), "</p>")},
        {"BM_CheckUnclosedLinks", hostilePage({}, "<a>")},
        {"BM_CheckBoldLeftOpen", hostilePage({}, "<p><b>bold</p>text")},
        {"BM_CheckFormattingRebuilt", hostilePage(formattingPile(200), "<div>x</div>")},
        {"BM_CheckNestedTablesClosed",
         hostilePage({}, "<table><tr><td><table></table></td></tr></table>")},
        {"BM_CheckOptions", hostilePage("<select>", "<option>x<optgroup>")},
        {"BM_CheckCrowdedTags", hostilePage({}, crowdedTag(500))},
        {"BM_CheckOneCrowdedTag", hostilePage({}, crowdedTag(100000))},
        {"BM_CheckListItems", hostilePage("<ul>", "<li>x")},
        {"BM_CheckListItemsReadTwice", hostilePage("<noscript></noscript><ul>", "<li>x")},
    };
    return pages;
}

void checkHostile(benchmark::State &state, const std::string &name)
{
    const QByteArray &page = hostilePages().at(name);
    for (auto _ : state) {
        benchmark::DoNotOptimize(findRejectedMarkup(page).size());
    }
}

#define HOSTILE(name)                                                                              \
    void name(benchmark::State &state)                                                             \
    {                                                                                              \
        checkHostile(state, #name);                                                                \
    }                                                                                              \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);

HOSTILE(BM_CheckDeepDivs)
HOSTILE(BM_CheckDeepBold)
HOSTILE(BM_CheckDeepTables)
HOSTILE(BM_CheckDeepSvg)
HOSTILE(BM_CheckDeepTemplates)
HOSTILE(BM_CheckManyTagsDeep)
HOSTILE(BM_CheckManyTagsDeepReadTwice)
HOSTILE(BM_CheckUnclosedLinks)
HOSTILE(BM_CheckBoldLeftOpen)
HOSTILE(BM_CheckFormattingRebuilt)
HOSTILE(BM_CheckNestedTablesClosed)
HOSTILE(BM_CheckOptions)
HOSTILE(BM_CheckCrowdedTags)
HOSTILE(BM_CheckOneCrowdedTag)
HOSTILE(BM_CheckListItems)
HOSTILE(BM_CheckListItemsReadTwice)

BENCHMARK(BM_ComposeDense)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ComposeDenseChecked)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ComposePlain)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ComposePlainChecked)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RenderDense)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_FindRejectedMarkupDense)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_GumboParsePlain)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FindRejectedMarkupPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("BM_ComposeDenseChecked", "BM_ComposeDense");
    reporter.printRatio("BM_ComposePlainChecked", "BM_ComposePlain");
    reporter.printGoal("BM_FindRejectedMarkupPlain", "BM_GumboParsePlain", 1.3);
    // However hostile the page, its check costs at most ten times an ordinary page's (some
    // 0.5 s on the project's machine), refused or parsed.
    for (const auto &[name, page] : hostilePages()) {
        reporter.printGoal(name, "BM_FindRejectedMarkupPlain", 10);
    }
    benchmark::Shutdown();
    return 0;
}
