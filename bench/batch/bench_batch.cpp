// A batch of 10,000 listings with 2 KB descriptions, read from a spreadsheet's CSV and written
// as 10,000 files, against writing the same bytes to 10,000 files directly from one process.
// The ratio of the two is what matters, so both run here, into folders on the same disk. The
// same rows as the marketplace's bulk-listing file are filled into one copy, against the same
// baseline.
#include "batchcsv.h"
#include "batchplan.h"
#include "batchwrite.h"
#include "bulkfill.h"
#include "defaultcolours.h"
#include "pagewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr int Rows = 10000;
constexpr qsizetype DescriptionBytes = 2048;

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString folderIn(const QString &name)
{
    QDir(workDir().path()).mkpath(name);
    return workDir().filePath(name);
}

// About 2 KB of words, a line break now and then, quotes that the CSV must double, and
// characters beyond ASCII.
QByteArray description(int row)
{
    static const char *const words[] = {"Solid", "oak",         "table,", "\"mint\"",
                                        "no",    "chips;",      "signed", "by",
                                        "maker", "caf\xC3\xA9", "25",     "\xE2\x82\xAC"};
    QByteArray text;
    int n = row;
    while (text.size() < DescriptionBytes) {
        text += words[n % 12];
        ++n;
        text += (n % 11 == 0) ? "\r\n" : " ";
    }
    return text;
}

QByteArray quoted(const QByteArray &field)
{
    QByteArray out = field;
    out.replace('"', "\"\"");
    return '"' + out + '"';
}

// What a spreadsheet would export: a header with a price column, one row per item.
QByteArray batchCsv()
{
    QByteArray csv = "Main Title,Sub Title,Description,Condition,Price\r\n";
    csv.reserve(Rows * (DescriptionBytes + 100));
    for (int row = 0; row < Rows; ++row) {
        csv += "Item " + QByteArray::number(row % 9000) + " oak table,Hand made," +
               quoted(description(row)) + ",\"Used, good\"," + QByteArray::number(row % 97) +
               ".50\r\n";
    }
    return csv;
}

const QString &csvPath()
{
    static const QString path = [] {
        const QString p = workDir().filePath(u"items.csv"_s);
        QFile file(p);
        if (!file.open(QIODevice::WriteOnly) || file.write(batchCsv()) < 0) {
            std::cerr << "cannot write the CSV file\n";
        }
        return p;
    }();
    return path;
}

// The same items as the marketplace's bulk-listing file: a note, the header, then the rows with
// an Action and a price column around the texts.
const QString &bulkPath()
{
    static const QString path = [] {
        QByteArray csv = "#INFO,Version=0.0.2,,,,,\r\n*Action(SiteID=US|Country=US|Currency=USD|"
                         "Version=1193|CC=UTF-8),*Title,Subtitle,*Description,"
                         "ConditionDescription,*Start price\r\n";
        csv.reserve(Rows * (DescriptionBytes + 100));
        for (int row = 0; row < Rows; ++row) {
            csv += "Add,Item " + QByteArray::number(row % 9000) + " oak table,Hand made," +
                   quoted(description(row)) + ",\"Used, good\"," + QByteArray::number(row % 97) +
                   ".50\r\n";
        }
        const QString p = workDir().filePath(u"bulk.csv"_s);
        QFile file(p);
        if (!file.open(QIODevice::WriteOnly) || file.write(csv) < 0) {
            std::cerr << "cannot write the bulk-listing file\n";
        }
        return p;
    }();
    return path;
}

ListingSettings folderSettings()
{
    ListingSettings s;
    s.startFirstRun();
    s.setColors(defaultColorSet());
    s.setText(TextField::NoReserve, u"No reserve!"_s);
    s.setText(TextField::Payment, u"Bank transfer or cash on collection."_s);
    s.setText(TextField::Shipping, u"Posted within two days.\r\nCollection welcome."_s);
    s.setText(TextField::ThankYou, u"Thanks for looking"_s);
    s.setText(TextField::AuctionId, u"seller42"_s);
    return s;
}

// The batch's output, computed once: the baseline writes exactly these bytes.
struct Output
{
    std::vector<QString> names;
    std::vector<QByteArray> pages;
};

const Output &expectedOutput()
{
    static const Output output = [] {
        const BatchParseResult parsed = readBatchCsv(csvPath());
        if (!parsed.ok()) {
            std::cerr << qPrintable(formatBatchMessage(csvPath(), *parsed.error)) << '\n';
        }
        Output o;
        o.names = plannedFileNames(parsed.rows);
        for (const BatchRow &row : parsed.rows) {
            o.pages.push_back(renderPage(listingForRow(folderSettings(), row)));
        }
        return o;
    }();
    return output;
}

void BM_DirectWrite(benchmark::State &state)
{
    const Output &out = expectedOutput();
    const QDir dir(folderIn(u"direct"_s));
    for (auto _ : state) {
        for (size_t i = 0; i < out.pages.size(); ++i) {
            QFile file(dir.filePath(out.names[i]));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(out.pages[i]) != out.pages[i].size()) {
                state.SkipWithError("write failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}

// Atomic replacement one file at a time (temporary file, sync, rename), for the same bytes:
// what the batch would pay if it made each file durable on its own.
void BM_AtomicWrite(benchmark::State &state)
{
    const Output &out = expectedOutput();
    const QDir dir(folderIn(u"atomic"_s));
    for (auto _ : state) {
        for (size_t i = 0; i < out.pages.size(); ++i) {
            if (!replaceFile(dir.filePath(out.names[i]), out.pages[i])) {
                state.SkipWithError("write failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}

// Reading, parsing, planning and composing, without writing anything.
void BM_ParseAndCompose(benchmark::State &state)
{
    const ListingSettings folder = folderSettings();
    for (auto _ : state) {
        const BatchParseResult parsed = readBatchCsv(csvPath());
        const std::vector<QString> names = plannedFileNames(parsed.rows);
        qsizetype bytes = 0;
        for (const BatchRow &row : parsed.rows) {
            bytes += renderPage(listingForRow(folder, row)).size();
        }
        benchmark::DoNotOptimize(bytes);
        benchmark::DoNotOptimize(names.data());
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}

// Reading and parsing alone.
void BM_Parse(benchmark::State &state)
{
    for (auto _ : state) {
        const BatchParseResult parsed = readBatchCsv(csvPath());
        benchmark::DoNotOptimize(parsed.rows.data());
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}

void runBatch(benchmark::State &state, const QString &folderName, bool check)
{
    const ListingSettings folder = folderSettings();
    const QString dir = folderIn(folderName);
    BatchOptions options;
    options.check = check;
    for (auto _ : state) {
        const BatchParseResult parsed = readBatchCsv(csvPath());
        const BatchWriteResult written = writeBatch(dir, folder, parsed.rows, options);
        if (!parsed.ok() || !written.ok() || written.written.size() != size_t(Rows)) {
            state.SkipWithError("batch failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}

void BM_Batch(benchmark::State &state)
{
    runBatch(state, u"batch"_s, false);
}

void BM_BatchChecked(benchmark::State &state)
{
    runBatch(state, u"checked"_s, true);
}

// Reading the bulk-listing file and writing its filled copy, replacing the one before.
void BM_Fill(benchmark::State &state)
{
    const ListingSettings folder = folderSettings();
    const QString filled = folderIn(u"fill"_s) + u"/filled.csv"_s;
    for (auto _ : state) {
        const BulkFile bulk = parseBulkFile(readCsvFile(bulkPath()).bytes);
        const WriteResult written = replaceFile(
            filled, [&](QFileDevice &out) { return fillBulkFile(bulk, folder, out).writeError; });
        if (bulk.itemCount != Rows || !written) {
            state.SkipWithError("fill failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}

// Each iteration is 10,000 files, so a few iterations suffice.
BENCHMARK(BM_DirectWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AtomicWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ParseAndCompose)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Batch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_BatchChecked)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // Every folder holds the batch's files before timing starts.
    {
        const Output &out = expectedOutput();
        for (const QString &name : {u"direct"_s, u"atomic"_s, u"batch"_s, u"checked"_s}) {
            const QDir dir(folderIn(name));
            for (size_t i = 0; i < out.pages.size(); ++i) {
                QFile file(dir.filePath(out.names[i]));
                if (file.open(QIODevice::WriteOnly)) {
                    file.write(out.pages[i]);
                }
            }
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatiosTo("BM_DirectWrite");
    reporter.printGoal("BM_Batch", "BM_DirectWrite", 1.5);
    reporter.printGoal("BM_Fill", "BM_DirectWrite", 1.5);
    benchmark::Shutdown();
    return 0;
}
