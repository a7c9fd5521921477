#include "textfile.h"

#include "ansicodec.h"
#include "textrules.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

struct Chunked
{
    ReadStatus status = ReadStatus::Ok;
    QByteArray bytes;
    bool lineEndSeen = false;
};

// Reads the device's bytes, or only those before its first CR when stopAtLineEnd is set.
Chunked readBytes(QIODevice &in, qint64 maxBytes, bool stopAtLineEnd)
{
    Chunked result;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(chunk.data(), ChunkSize);
        if (n < 0) {
            result.status = ReadStatus::DeviceError;
            return result;
        }
        if (n == 0) {
            return result;
        }
        QByteArrayView got(chunk.constData(), n);
        if (stopAtLineEnd) {
            const qsizetype cr = got.indexOf('\r');
            if (cr >= 0) {
                got = got.first(cr);
                result.lineEndSeen = true;
            }
        }
        if (result.bytes.size() + got.size() > maxBytes) {
            result.status = ReadStatus::TooLarge;
            result.bytes.clear();
            return result;
        }
        result.bytes += got;
        if (result.lineEndSeen) {
            return result;
        }
    }
}

} // namespace

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
    const Chunked read = readBytes(in, maxBytes, true);
    if (read.status != ReadStatus::Ok) {
        return {read.status, {}};
    }
    if (read.bytes.isEmpty() && !read.lineEndSeen) {
        return {ReadStatus::Empty, {}};
    }
    return {ReadStatus::Ok, AnsiCodec::decode(read.bytes)};
}

TextRead readMultiLineText(QIODevice &in, qint64 maxBytes)
{
    const Chunked read = readBytes(in, maxBytes, false);
    if (read.status != ReadStatus::Ok) {
        return {read.status, {}};
    }
    if (read.bytes.isEmpty()) {
        return {ReadStatus::Empty, {}};
    }
    return {ReadStatus::Ok, joinLoadedLines(splitLines(AnsiCodec::decode(read.bytes)))};
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
