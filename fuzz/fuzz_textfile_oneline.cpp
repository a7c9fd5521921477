#include "fuzzcheck.h"

// "ebayid.dat", "NoReserve.dat" and "thankyou.dat": any bytes as the first line of a file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size);
    const TextRead read = readBothWays(file, [](QIODevice &in) { return readOneLineText(in); });
    Q_ASSERT(read.status == (file.isEmpty() ? ReadStatus::Empty : ReadStatus::Ok));

    // The line is the bytes before the first CR; saved with one CR LF, it reads back the same.
    const QByteArray saved = textFileBytes(read.text);
    const QByteArray line = saved.chopped(2);
    Q_ASSERT(saved.endsWith("\r\n") && file.startsWith(line) && !line.contains('\r'));
    Q_ASSERT(line.size() == file.size() || file[line.size()] == '\r');
    Q_ASSERT(file.isEmpty() ||
             readBothWays(saved, [](QIODevice &in) { return readOneLineText(in); }) == read);
    // Only the line counts against the limit, never what follows it.
    const auto limited = [&](qint64 limit) {
        return readBothWays(file, [=](QIODevice &in) { return readOneLineText(in, limit); });
    };
    Q_ASSERT(limited(line.size()) == read);
    Q_ASSERT(line.isEmpty() || limited(line.size() - 1).status == ReadStatus::TooLarge);
    return 0;
}
