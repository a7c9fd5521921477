// Rendering and writing a page with a 10 MB description, against writing the same number of
// bytes to a file in one call. The ratio of the two is what matters, so both run here.
#include "pagewriter.h"

#include <QFile>
#include <QTemporaryDir>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype DescriptionSize = 10 * 1024 * 1024;

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

void renderAndWrite(benchmark::State &state, bool outsideCodePage)
{
    const ListingSettings s = bigListing(outsideCodePage);
    const QString path = workDir().filePath(u"page.html"_s);
    qint64 bytes = 0;
    for (auto _ : state) {
        const WriteResult result = writeout(s, path);
        if (!result) {
            state.SkipWithError("write failed");
        }
        bytes = QFile(path).size();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_RenderAndWrite(benchmark::State &state)
{
    renderAndWrite(state, false);
}

void BM_RenderAndWriteOutsideCodePage(benchmark::State &state)
{
    renderAndWrite(state, true);
}

// Rendering alone, into memory.
void BM_Render(benchmark::State &state)
{
    const ListingSettings s = bigListing(false);
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderPage(s).size());
    }
}

void BM_WriteSameBytesInOneCall(benchmark::State &state)
{
    const QByteArray bytes = renderPage(bigListing(false));
    const QString path = workDir().filePath(u"plain.bin"_s);
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size()) {
            state.SkipWithError("write failed");
        }
        file.close();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The writer replaces files atomically and durably (temporary file, sync, rename); this is
// that cost alone, for the same bytes.
void BM_WriteSameBytesAtomically(benchmark::State &state)
{
    const QByteArray bytes = renderPage(bigListing(false));
    const QString path = workDir().filePath(u"atomic.bin"_s);
    for (auto _ : state) {
        if (!replaceFile(path, bytes)) {
            state.SkipWithError("write failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

BENCHMARK(BM_WriteSameBytesInOneCall)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteSameBytesAtomically)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RenderAndWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RenderAndWriteOutsideCodePage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatiosTo("BM_WriteSameBytesInOneCall");
    reporter.printGoal("BM_RenderAndWrite", "BM_WriteSameBytesInOneCall", 1.5);
    benchmark::Shutdown();
    return 0;
}
