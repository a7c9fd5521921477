#include "textfile.h"

#include "ansicodec.h"
#include "boundedread.h"
#include "textrules.h"

using namespace Qt::StringLiterals;

namespace {

ReadStatus statusOf(BoundedStatus status)
{
    switch (status) {
    case BoundedStatus::TooLarge:
        return ReadStatus::TooLarge;
    case BoundedStatus::DeviceError:
        return ReadStatus::DeviceError;
    case BoundedStatus::Ok:
        break;
    }
    return ReadStatus::Ok;
}

} // namespace

QString textTooLargeReason()
{
    return u"file too large (more than %1 MiB)"_s.arg(MaxTextFileBytes / (1024 * 1024));
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'\r') {
            ++i;
            continue;
        }
        lines.append(text.sliced(start, i - start).toString());
        i += (i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size()) {
        lines.append(text.sliced(start).toString());
    }
    return lines;
}

TextRead readOneLineText(QIODevice &in, qint64 maxBytes)
{
    // Only the first line counts against the limit.
    const BoundedBytes read = readBounded(in, maxBytes, '\r');
    if (read.status != BoundedStatus::Ok) {
        return {statusOf(read.status), {}};
    }
    if (read.bytes.isEmpty() && !read.stopSeen) {
        return {ReadStatus::Empty, {}};
    }
    return {ReadStatus::Ok, AnsiCodec::decodeText(read.bytes)};
}

TextRead readMultiLineText(QIODevice &in, qint64 maxBytes)
{
    const BoundedBytes read = readBounded(in, maxBytes);
    if (read.status != BoundedStatus::Ok) {
        return {statusOf(read.status), {}};
    }
    if (read.bytes.isEmpty()) {
        return {ReadStatus::Empty, {}};
    }
    return {ReadStatus::Ok, joinLoadedLines(splitLines(AnsiCodec::decodeText(read.bytes)))};
}

QString joinLoadedLines(const QStringList &lines)
{
    QString loaded;
    for (const QString &line : lines) {
        if (loaded.isEmpty()) {
            loaded = line;
        } else {
            loaded += u'\r';
            loaded += line;
        }
    }
    return loaded;
}

QString multiLineBoxText(QStringView loaded)
{
    QString box = trimBlanks(loaded);
    box.replace(u"\r"_s, u"\r\n"_s);
    return box;
}

QByteArray textFileBytes(QStringView text)
{
    return AnsiCodec::encode(text) + "\r\n";
}
