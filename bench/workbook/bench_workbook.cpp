// The marketplace's own workbook template with 1,000 item rows typed in, filled in place,
// against unzipping every part of the same workbook and zipping it again with the same library:
// what any program that rewrites the workbook pays at least. Both read the file and replace
// the copy the same way. The template is the seller tools' download (14.8 MB of sheet XML),
// which the project does not ship: its path comes from TAVRIN_WORKBOOK_TEMPLATE or the first
// argument, and without one the benchmark says so and skips.
#include "defaultcolours.h"
#include "filewrite.h"
#include "packagezip.h"
#include "workbookfill.h"

#include <QFile>
#include <QTemporaryDir>

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <iostream>

using namespace Qt::StringLiterals;

namespace {

constexpr int Items = 1000;
// The template's first row below its header.
constexpr int FirstItemRow = 5;

QString &templatePath()
{
    static QString path;
    return path;
}

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The template with an Add, a title and a two-line description typed into each of the first
// 1,000 rows under the header (columns A, E and P, where the template puts Action, Title and
// Description), as a spreadsheet saves typed texts: inline in the largest sheet, the listings.
QString itemsWorkbook()
{
    const QByteArray original = fileBytes(templatePath());
    const PackageZip zip(original);
    QString largest;
    QByteArray sheet;
    for (const auto &[name, stored] : zip.storedParts()) {
        const QByteArray bytes = name.startsWith(u"xl/worksheets/sheet"_s)
                                     ? zip.read(name, 1 << 30).value_or(QByteArray())
                                     : QByteArray();
        if (bytes.size() > sheet.size()) {
            largest = name;
            sheet = bytes;
        }
    }
    for (int row = FirstItemRow; row < FirstItemRow + Items; ++row) {
        const QByteArray r = QByteArray::number(row);
        const qsizetype open = sheet.indexOf("<row r=\"" + r + "\"");
        const qsizetype begin = sheet.indexOf('>', open) + 1;
        const qsizetype end = sheet.indexOf("</row>", begin);
        if (open < 0 || end < 0) {
            return {};
        }
        sheet.insert(end, "<c r=\"E" + r + "\" t=\"inlineStr\"><is><t>Brass desk lamp " + r +
                              "</t></is></c><c r=\"P" + r +
                              "\" t=\"inlineStr\"><is><t>Solid brass, 1920s.\nWorks with any "
                              "E27 bulb.</t></is></c>");
        sheet.insert(begin, "<c r=\"A" + r + "\" t=\"inlineStr\"><is><t>Add</t></is></c>");
    }
    const QString path = workDir().filePath(u"items.xlsx"_s);
    QFile out(path);
    const std::optional<QByteArray> items = zip.withParts({{largest, sheet}});
    if (!items || !out.open(QIODevice::WriteOnly) || out.write(*items) != items->size()) {
        return {};
    }
    return path;
}

const QString &itemsPath()
{
    static const QString path = itemsWorkbook();
    return path;
}

ListingSettings folderSettings()
{
    ListingSettings s;
    s.startFirstRun();
    s.setColors(defaultColorSet());
    s.setText(TextField::Shipping, u"Posted within two days.\r\nCollection welcome."_s);
    return s;
}

void BM_UnzipAndZip(benchmark::State &state)
{
    const QString copy = workDir().filePath(u"rezipped.xlsx"_s);
    for (auto _ : state) {
        const PackageZip zip(fileBytes(itemsPath()));
        std::vector<std::pair<QString, QByteArray>> parts;
        for (const auto &[name, stored] : zip.storedParts()) {
            parts.emplace_back(name, zip.read(name, 1 << 30).value_or(QByteArray()));
        }
        if (!replaceFile(copy, PackageZip::build(parts))) {
            state.SkipWithError("cannot write the copy");
            return;
        }
    }
}

void BM_Fill(benchmark::State &state)
{
    const ListingSettings folder = folderSettings();
    const QString filled = workDir().filePath(u"filled.xlsx"_s);
    for (auto _ : state) {
        const FilledWorkbook result = fillWorkbook(fileBytes(itemsPath()), folder);
        if (result.error || result.itemCount != Items || !replaceFile(filled, result.bytes)) {
            state.SkipWithError("the fill failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * Items);
}

BENCHMARK(BM_UnzipAndZip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    templatePath() = argc > 1 ? QString::fromLocal8Bit(argv[1])
                              : qEnvironmentVariable("TAVRIN_WORKBOOK_TEMPLATE");
    if (templatePath().isEmpty() || !QFile::exists(templatePath())) {
        std::cout << "bench_workbook: skipped: give the marketplace's category template (.xlsx) "
                     "as TAVRIN_WORKBOOK_TEMPLATE or as the first argument\n";
        return 0;
    }
    if (itemsPath().isEmpty()) {
        std::cout << "bench_workbook: cannot type the items into the template\n";
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printGoal("BM_Fill", "BM_UnzipAndZip", 1.5);
    benchmark::Shutdown();
    return 0;
}
