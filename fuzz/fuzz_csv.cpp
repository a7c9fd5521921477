#include "batchcsv.h"
#include "fuzzcheck.h"

#include <QByteArrayList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool same(const BatchParseResult &a, const BatchParseResult &b)
{
    return a.rows == b.rows && a.warnings == b.warnings && a.error == b.error;
}

// A warning may quote an ignored column's name as the file spells it, line breaks and all, so
// only where the warnings point is compared.
bool sameButWarningTexts(const BatchParseResult &a, const BatchParseResult &b)
{
    return a.rows == b.rows && a.error == b.error &&
           std::equal(
               a.warnings.begin(), a.warnings.end(), b.warnings.begin(), b.warnings.end(),
               [](const BatchMessage &x, const BatchMessage &y) { return x.line == y.line; });
}

// Every line break (CR LF, a lone CR, a lone LF) written as a lone LF.
QByteArray withLfBreaks(QByteArrayView bytes)
{
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            out += '\n';
        } else {
            out += bytes[i];
        }
    }
    return out;
}

bool onlyCrLfBreaks(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) {
            return false;
        }
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) {
            return false;
        }
    }
    return true;
}

bool startsWithMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
           bytes.startsWith("\xFE\xFF");
}

bool isBlank(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' '; });
}

QByteArray quoted(const QString &text)
{
    return '"' + text.toUtf8().replace('"', "\"\"") + '"';
}

// The rows as a spreadsheet would export them, every field quoted.
QByteArray exported(const std::vector<BatchRow> &rows)
{
    QByteArray csv = "main title,sub title,description,condition\r\n";
    for (const BatchRow &row : rows) {
        csv += quoted(row.mainTitle) + ',' + quoted(row.subTitle) + ',' + quoted(row.description) +
               ',' + quoted(row.condition) + "\r\n";
    }
    return csv;
}

bool sameTexts(const BatchRow &a, const BatchRow &b)
{
    return a.mainTitle == b.mainTitle && a.subTitle == b.subTitle &&
           a.description == b.description && a.condition == b.condition;
}

} // namespace

// A batch file: any bytes as the CSV a spreadsheet exports.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView file = fuzzInput(data, size);
    const BatchParseResult result = parseBatchCsv(file);
    const QList<QByteArray> lines = withLfBreaks(file).split('\n');
    const int lineCount = int(lines.size());

    // Either every row or the first error and nothing else; every line number names a line of
    // the file, and a file with no line at all is reported on line 1.
    if (result.error) {
        FUZZ_CHECK(result.rows.empty() && result.warnings.empty());
        FUZZ_CHECK(result.error->line >= 0 && result.error->line <= lineCount);
        FUZZ_CHECK(!result.error->text.isEmpty());
    }
    int previous = 0;
    for (const BatchRow &row : result.rows) {
        // A row begins on a line that holds something, after the line the last one began on.
        FUZZ_CHECK(row.line > previous && row.line <= lineCount);
        FUZZ_CHECK(!lines[row.line - 1].isEmpty());
        previous = row.line;
        for (const QString *text :
             {&row.mainTitle, &row.subTitle, &row.description, &row.condition}) {
            FUZZ_CHECK(onlyCrLfBreaks(*text));
        }
    }
    for (const BatchMessage &warning : result.warnings) {
        FUZZ_CHECK(warning.line >= 1 && warning.line <= lineCount && !warning.text.isEmpty());
    }

    // The file reads the same with a byte-order mark, and with any kind of line break.
    if (!startsWithMark(file)) {
        FUZZ_CHECK(same(parseBatchCsv("\xEF\xBB\xBF" + file.toByteArray()), result));
    }
    FUZZ_CHECK(sameButWarningTexts(parseBatchCsv(withLfBreaks(file)), result));

    // The rows, written out with every field quoted, read back as the same texts. A row kept
    // only for what it held in an ignored column has nothing left to keep it.
    if (result.ok()) {
        std::vector<BatchRow> kept;
        std::copy_if(result.rows.begin(), result.rows.end(), std::back_inserter(kept),
                     [](const BatchRow &row) {
                         return !isBlank(row.mainTitle) || !isBlank(row.subTitle) ||
                                !isBlank(row.description) || !isBlank(row.condition);
                     });
        const BatchParseResult again = parseBatchCsv(exported(kept));
        FUZZ_CHECK(again.ok());
        FUZZ_CHECK(
            std::equal(again.rows.begin(), again.rows.end(), kept.begin(), kept.end(), sameTexts));
    }
    return 0;
}
