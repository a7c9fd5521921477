#include "bulkfill.h"
#include "fuzzcheck.h"

#include <algorithm>

// A bulk-listing file: any bytes as the marketplace's CSV, filled with the first-start settings.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = fuzzInput(data, size);
    const BulkFile file = parseBulkFile(input);
    Q_ASSERT(file.bytes == input);
    Q_ASSERT(file.ok() || (file.items.empty() && file.warnings.empty()));
    if (!file.ok()) {
        return 0;
    }
    // The Description fields lie in file order, none overlapping another.
    qsizetype previousEnd = 0;
    for (const BulkItem &item : file.items) {
        Q_ASSERT(previousEnd <= item.descriptionBegin);
        Q_ASSERT(item.descriptionBegin <= item.descriptionEnd &&
                 item.descriptionEnd <= input.size());
        previousEnd = item.descriptionEnd;
    }

    // Outside the Description fields every byte is the input's, in order.
    const FilledFile filled = fillBulkFile(file, ListingSettings{});
    Q_ASSERT(filled.listings.size() == file.items.size());
    qsizetype in = 0;
    qsizetype out = 0;
    for (const BulkItem &item : file.items) {
        const qsizetype kept = item.descriptionBegin - in;
        Q_ASSERT(filled.bytes.sliced(out, kept) == input.sliced(in, kept));
        out += kept + item.missingSeparators;
        // The page, quoted: it runs to the first quote that is not doubled.
        Q_ASSERT(filled.bytes[out] == '"');
        for (++out; !(filled.bytes[out] == '"' &&
                      (out + 1 == filled.bytes.size() || filled.bytes[out + 1] != '"'));
             ++out) {
            out += filled.bytes[out] == '"';
        }
        ++out;
        in = item.descriptionEnd;
    }
    Q_ASSERT(filled.bytes.sliced(out) == input.sliced(in));

    // Filled again, the copy keeps every page: each item row is now one with a page.
    const BulkFile again = parseBulkFile(filled.bytes);
    Q_ASSERT(again.ok() && again.items.empty());
    Q_ASSERT(std::count_if(again.warnings.begin(), again.warnings.end(), [](const BatchMessage &m) {
                 return m.text.contains(u"already holds a composed page");
             }) >= qsizetype(file.items.size()));
    return 0;
}
