#include "colorrecord.h"
#include "fuzzcheck.h"

// "colorset.dat": any bytes, of any length, as the colour record.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size);
    const auto read = readBothWays(file, [](QIODevice &in) { return readRecord(in, 96); });
    Q_ASSERT(read && *read == file.left(96));

    const ColorSet colors = colorSetFromRecord(*read);
    const QByteArray written = colorRecord(colors);
    checkWrittenOver(written, file, 96);
    Q_ASSERT(colorSetFromRecord(written) == colors);
    // A whole record is saved back byte for byte, whatever its slots hold.
    Q_ASSERT(read->size() < 96 || written == *read);
    return 0;
}
