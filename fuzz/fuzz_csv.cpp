#include "batchcsv.h"
#include "csvtext.h"
#include "fuzzcheck.h"
#include "textrules.h"

#include <algorithm>

namespace {

QByteArray quoted(const QString &text)
{
    return '"' + text.toUtf8().replace('"', "\"\"") + "\",";
}

// The rows' texts, without where they start.
std::vector<BatchRow> texts(std::vector<BatchRow> rows)
{
    for (BatchRow &row : rows) {
        row.line = 0;
    }
    return rows;
}

} // namespace

// A batch file: any bytes as the CSV a spreadsheet exports.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size);
    const BatchParseResult result = parseBatchCsv(file);
    Q_ASSERT(result.ok() || (result.rows.empty() && result.warnings.empty()));
    Q_ASSERT(std::is_sorted(result.rows.begin(), result.rows.end(),
                            [](const BatchRow &a, const BatchRow &b) { return a.line <= b.line; }));

    // A UTF-8 file with a byte-order mark, or with other line breaks, reads the same.
    const auto readsSame = [&result](const QByteArray &other) {
        const BatchParseResult again = parseBatchCsv(other);
        return again.rows == result.rows && again.ok() == result.ok();
    };
    Q_ASSERT(file.startsWith(Utf8Bom) || firstInvalidUtf8(file) >= 0 ||
             readsSame(Utf8Bom.toByteArray() + file));
    const QString text = QString::fromUtf8(file);
    Q_ASSERT(text.toUtf8() != file || readsSame(normalizeLineBreaks(text).toUtf8()));

    // The rows, written back with every field quoted, read back as the same texts; a column
    // of its own keeps rows that hold only blanks.
    QByteArray csv = "main title,sub title,description,condition,kept\r\n";
    for (const BatchRow &row : result.rows) {
        csv += quoted(row.mainTitle) + quoted(row.subTitle) + quoted(row.description) +
               quoted(row.condition) + "x\r\n";
    }
    const BatchParseResult again = parseBatchCsv(csv);
    Q_ASSERT(again.ok() && texts(again.rows) == texts(result.rows));
    return 0;
}
