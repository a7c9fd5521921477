#include "bulkfill.h"
#include "fuzzcheck.h"

#include <QBuffer>

#include <algorithm>
#include <vector>

// A bulk-listing file: any bytes as the marketplace's CSV, filled with the first-start settings.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = fuzzInput(data, size);
    const BulkFile file = parseBulkFile(input);
    Q_ASSERT(file.bytes == input);
    Q_ASSERT(file.ok() || (file.itemCount == 0 && file.warnings.empty()));
    if (!file.ok()) {
        return 0;
    }
    std::vector<BulkItem> items;
    forEachBulkItem(file, [&](const BulkItem &item) {
        items.push_back(item);
        return true;
    });
    Q_ASSERT(qsizetype(items.size()) == file.itemCount);
    // The Description fields lie in file order, none overlapping another.
    qsizetype previousEnd = 0;
    for (const BulkItem &item : items) {
        Q_ASSERT(previousEnd <= item.descriptionBegin);
        Q_ASSERT(item.descriptionBegin <= item.descriptionEnd &&
                 item.descriptionEnd <= input.size());
        previousEnd = item.descriptionEnd;
    }

    // Outside the Description fields every byte is the input's, in order.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const FilledFile filled = fillBulkFile(file, ListingSettings{}, buffer);
    Q_ASSERT(!filled.writeError && filled.listings.empty());
    const QByteArray &filledBytes = bytes;
    qsizetype in = 0;
    qsizetype out = 0;
    for (const BulkItem &item : items) {
        const qsizetype kept = item.descriptionBegin - in;
        Q_ASSERT(filledBytes.sliced(out, kept) == input.sliced(in, kept));
        out += kept + item.missingSeparators;
        // The page, quoted: it runs to the first quote that is not doubled.
        Q_ASSERT(filledBytes[out] == '"');
        for (++out; !(filledBytes[out] == '"' &&
                      (out + 1 == filledBytes.size() || filledBytes[out + 1] != '"'));
             ++out) {
            out += filledBytes[out] == '"';
        }
        ++out;
        in = item.descriptionEnd;
    }
    Q_ASSERT(filledBytes.sliced(out) == input.sliced(in));

    // Filled again, the copy keeps every page: each item row is now one with a page.
    const BulkFile again = parseBulkFile(filledBytes);
    Q_ASSERT(again.ok() && again.itemCount == 0);
    Q_ASSERT(std::count_if(again.warnings.begin(), again.warnings.end(), [](const BatchMessage &m) {
                 return m.text.contains(u"already holds a composed page");
             }) >= file.itemCount);
    return 0;
}
