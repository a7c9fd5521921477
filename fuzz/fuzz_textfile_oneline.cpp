#include "ansicodec.h"
#include "fuzzcheck.h"
#include "textfile.h"
#include "tricklingdevice.h"

#include <QBuffer>

namespace {

TextRead readWhole(const QByteArray &bytes, qint64 limit = MaxTextFileBytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readOneLineText(buffer, limit);
}

bool same(const TextRead &a, const TextRead &b)
{
    return a.status == b.status && a.text == b.text;
}

} // namespace

// "ebayid.dat", "NoReserve.dat" and "thankyou.dat": any bytes as the first line of a file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size).toByteArray();
    const TextRead read = readWhole(file);

    if (file.isEmpty()) {
        FUZZ_CHECK(read.status == ReadStatus::Empty && read.text.isEmpty());
        return 0;
    }
    FUZZ_CHECK(read.status == ReadStatus::Ok);

    // The line is every byte before the first CR, one character per byte: CR LF and a lone CR
    // end it, a lone LF stays part of it.
    const qsizetype lineEnd = file.indexOf('\r');
    const qsizetype lineBytes = lineEnd < 0 ? file.size() : lineEnd;
    FUZZ_CHECK(read.text.size() == lineBytes);
    FUZZ_CHECK(AnsiCodec::encode(read.text) == file.first(lineBytes));

    TricklingDevice trickle(file, 1 + qint64(size % 7));
    FUZZ_CHECK(same(readOneLineText(trickle), read));

    // The limit concerns the line, not what follows it.
    const qint64 limit = file.size() / 2;
    TricklingDevice limited(file, 3);
    const TextRead capped = readOneLineText(limited, limit);
    if (lineBytes > limit) {
        FUZZ_CHECK(capped.status == ReadStatus::TooLarge);
    } else {
        FUZZ_CHECK(same(capped, read));
    }

    // Saving writes the box's text and one CR LF; the next start reads that very text.
    const QByteArray saved = textFileBytes(read.text);
    FUZZ_CHECK(saved == file.first(lineBytes) + "\r\n");
    FUZZ_CHECK(same(readWhole(saved), read));
    return 0;
}
