#include "ansicodec.h"
#include "fuzzcheck.h"
#include "textfile.h"
#include "tricklingdevice.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace {

TextRead readWhole(const QByteArray &bytes, qint64 limit = MaxTextFileBytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readMultiLineText(buffer, limit);
}

TextRead readFirstLine(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readOneLineText(buffer);
}

bool same(const TextRead &a, const TextRead &b)
{
    return a.status == b.status && a.text == b.text;
}

// The loaded text as the rules describe it, worked out on the bytes: CR LF or a lone CR ends
// a line, a lone LF stays part of it, a line end at the very end starts no further line, empty
// lines before the first line with text are lost, and the rest are joined by a lone CR.
QByteArray expectedLoadedBytes(const QByteArray &file)
{
    QByteArray loaded;
    QByteArray line;
    bool started = false;
    const auto take = [&] {
        if (started) {
            loaded += '\r';
            loaded += line;
        } else if (!line.isEmpty()) {
            loaded = line;
            started = true;
        }
        line.clear();
    };
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (file[i] != '\r') {
            line += file[i];
            continue;
        }
        take();
        if (i + 1 < file.size() && file[i + 1] == '\n') {
            ++i;
        }
    }
    if (!line.isEmpty()) {
        take();
    }
    return loaded;
}

QString withoutLeadingLineBreaks(QString text)
{
    while (text.startsWith(u"\r\n"_s)) {
        text.remove(0, 2);
    }
    return text;
}

} // namespace

// "shipping.dat" and "payment.dat": any bytes as a file of any number of lines.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size).toByteArray();
    const TextRead read = readWhole(file);

    if (file.isEmpty()) {
        FUZZ_CHECK(read.status == ReadStatus::Empty);
        return 0;
    }
    FUZZ_CHECK(read.status == ReadStatus::Ok);
    FUZZ_CHECK(AnsiCodec::encode(read.text) == expectedLoadedBytes(file));

    TricklingDevice trickle(file, 1 + qint64(size % 7));
    FUZZ_CHECK(same(readMultiLineText(trickle), read));

    // The whole file is needed, so the limit is the file's size.
    FUZZ_CHECK(same(readWhole(file, file.size()), read));
    TricklingDevice limited(file, 3);
    FUZZ_CHECK(readMultiLineText(limited, file.size() - 1).status == ReadStatus::TooLarge);

    // The one-line reader sees the same first line, unless that line is empty and so lost.
    const TextRead first = readFirstLine(file);
    FUZZ_CHECK(first.status == ReadStatus::Ok);
    if (!first.text.isEmpty()) {
        FUZZ_CHECK(read.text.startsWith(first.text));
        FUZZ_CHECK(read.text.size() == first.text.size() || read.text[first.text.size()] == u'\r');
    }

    // The box shows the loaded text without blanks at its ends and with CR LF line breaks;
    // saving writes that and one CR LF. Read back, only empty lines at the start are lost.
    const QString box = multiLineBoxText(read.text);
    FUZZ_CHECK(!box.startsWith(u' ') && !box.endsWith(u' '));
    const QByteArray saved = textFileBytes(box);
    FUZZ_CHECK(saved.endsWith("\r\n"));
    const TextRead reread = readWhole(saved);
    FUZZ_CHECK(reread.status == ReadStatus::Ok);
    FUZZ_CHECK(QString(reread.text).replace(u"\r"_s, u"\r\n"_s) == withoutLeadingLineBreaks(box));
    return 0;
}
