#include "fuzzcheck.h"

using namespace Qt::StringLiterals;

// "shipping.dat" and "payment.dat": any bytes as a file of any number of lines.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto readAll = [](QIODevice &in) { return readMultiLineText(in); };
    const QByteArray file = fuzzInput(data, size);
    const TextRead read = readBothWays(file, readAll);
    Q_ASSERT(read.status == (file.isEmpty() ? ReadStatus::Empty : ReadStatus::Ok));

    // The box shows the loaded text without blanks at its ends; saved with one CR LF and read
    // back, it loses only the empty lines at its start.
    QString box = multiLineBoxText(read.text);
    Q_ASSERT(!box.startsWith(u' ') && !box.endsWith(u' '));
    const QByteArray saved = textFileBytes(box);
    const TextRead reread = readBothWays(saved, readAll);
    while (box.startsWith(u"\r\n"_s)) {
        box.remove(0, 2);
    }
    Q_ASSERT(reread.status == ReadStatus::Ok && saved.endsWith("\r\n"));
    Q_ASSERT(QString(reread.text).replace(u'\r', u"\r\n"_s) == box);
    return 0;
}
