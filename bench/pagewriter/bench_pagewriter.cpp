// Rendering and writing a page with a 10 MB description, against writing the same bytes the
// way the page is written: atomically and durably, to a temporary file beside the page that is
// synced and renamed over it. Both wait for the disk alike, so their ratio is what the writer
// adds to the writing itself. The writes are timed in turn, one of each per round in a
// rotating order, so that the disk's load, which comes and goes on a shared machine, weighs on
// all of them alike; the ratio is of their medians.
#include "pagewriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype DescriptionSize = 10 * 1024 * 1024;
constexpr int Rounds = 100;
constexpr double Goal = 1.1;

// Words with accented letters, typographic quotes and the euro sign, and a line break every
// few words; optionally a character outside the code page now and then.
QString mixedText(bool outsideCodePage)
{
    const QString words[] = {
        u"Vintage"_s,    u"caf\u00E9"_s, u"\u201Cmint\u201D"_s, u"\u20AC25"_s, u"<b>bold</b>"_s,
        u"na\u00EFve"_s, u"A & B"_s,     u"\u00BD-price"_s,     u"\u2014"_s,   u"condition"_s};
    QString text;
    text.reserve(DescriptionSize + 64);
    int n = 0;
    while (text.size() < DescriptionSize) {
        text += words[n % 10];
        ++n;
        if (outsideCodePage && n % 997 == 0) {
            text += u"\u2192"_s;
        }
        text += (n % 9 == 0) ? u"\r\n"_s : u" "_s;
    }
    return text;
}

ListingSettings bigListing(bool outsideCodePage)
{
    ListingSettings s;
    s.startFirstRun();
    s.setText(TextField::MainTitle, u"A listing with a long description"_s);
    s.setText(TextField::Description, mixedText(outsideCodePage));
    return s;
}

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

// One way of writing the page's bytes, and the time of each of its writes.
struct Writer
{
    std::string name;
    std::function<bool()> write;
    std::vector<double> seconds;
};

const ListingSettings &listing()
{
    static const ListingSettings s = bigListing(false);
    return s;
}

const ListingSettings &listingOutsideCodePage()
{
    static const ListingSettings s = bigListing(true);
    return s;
}

// The page's bytes, rendered beforehand for the writes that only write them.
const QByteArray &pageBytes()
{
    static const QByteArray bytes = renderPage(listing());
    return bytes;
}

QString pathOf(const char *name)
{
    return workDir().filePath(QString::fromLatin1(name));
}

// Every write goes to a file of its own in the same folder, replacing the one before.
std::vector<Writer> g_writers = {
    // The baseline: the page's own bytes through the same atomic replacement that the writer
    // uses (temporary file, sync, rename).
    {"atomic", [] { return bool(replaceFile(pathOf("atomic.html"), pageBytes())); }, {}},
    {"page", [] { return bool(writeout(listing(), pathOf("page.html"))); }, {}},
    // The page with a character outside Windows-1252 every thousand words, each written as a
    // numeric character reference.
    {"page with references",
     [] { return bool(writeout(listingOutsideCodePage(), pathOf("outside.html"))); },
     {}},
    // For information: the same bytes in one write call, neither synced nor renamed.
    {"one write call",
     [] {
         QFile file(pathOf("plain.html"));
         return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                file.write(pageBytes()) == pageBytes().size();
     },
     {}},
};

// Each round writes once in every way, starting with a different one each round. The
// iteration's time is the page's.
void BM_WritesInTurn(benchmark::State &state)
{
    for (Writer &writer : g_writers) {
        writer.write(); // the listings rendered once, and every file there to be replaced
    }
    size_t turn = 0;
    for (auto _ : state) {
        double pageSeconds = 0;
        for (size_t k = 0; k < g_writers.size(); ++k) {
            Writer &writer = g_writers[(turn + k) % g_writers.size()];
            QElapsedTimer timer;
            timer.start();
            if (!writer.write()) {
                state.SkipWithError("write failed");
                return;
            }
            writer.seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
            if (writer.name == "page") {
                pageSeconds = writer.seconds.back();
            }
        }
        ++turn;
        state.SetIterationTime(pageSeconds);
    }
    state.SetBytesProcessed(state.iterations() * pageBytes().size());
}

// Rendering alone, into memory: no disk, so timed on its own.
void BM_Render(benchmark::State &state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderPage(listing()).size());
    }
    state.SetBytesProcessed(state.iterations() * pageBytes().size());
}

BENCHMARK(BM_WritesInTurn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_writers.front().seconds.empty()) {
        return 0;
    }

    std::printf("\nmedians over %zu rounds:\n", g_writers.front().seconds.size());
    for (const Writer &writer : g_writers) {
        std::printf("  %-24s %6.2f ms\n", writer.name.c_str(), median(writer.seconds) * 1e3);
    }
    const double baseline = median(g_writers.front().seconds);
    for (const Writer &writer : g_writers) {
        const std::string what = writer.name + " / atomic";
        if (writer.name == "page") {
            printGoalLine(what, median(writer.seconds) / baseline, Goal);
        } else if (&writer != &g_writers.front()) {
            printRatioLine(what, median(writer.seconds) / baseline);
        }
    }
    return 0;
}
