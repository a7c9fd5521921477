#include "boundedread.h"

#include "filesync.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

} // namespace

BoundedBytes readBounded(QIODevice &in, qint64 maxBytes, std::optional<char> stop)
{
    BoundedBytes result;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(chunk.data(), ChunkSize);
        if (n < 0) {
            return {BoundedStatus::DeviceError, {}, false, FileSync::reasonOf(in)};
        }
        if (n == 0) {
            return result;
        }
        QByteArrayView got(chunk.constData(), n);
        if (stop) {
            if (const qsizetype at = got.indexOf(*stop); at >= 0) {
                got = got.first(at);
                result.stopSeen = true;
            }
        }
        if (result.bytes.size() + got.size() > maxBytes) {
            return {BoundedStatus::TooLarge, {}, false, {}};
        }
        result.bytes += got;
        if (result.stopSeen) {
            return result;
        }
    }
}

bool openForReading(QFile &file, QString *reason)
{
    if (file.open(QIODevice::ReadOnly)) {
        return true;
    }
    *reason = QFileInfo(file.fileName()).isDir() ? u"file to open is a directory"_s
                                                 : FileSync::reasonOf(file);
    return false;
}

BoundedBytes readBoundedFile(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    if (QString reason; !openForReading(file, &reason)) {
        return {BoundedStatus::DeviceError, {}, false, reason};
    }
    // A file's size is known before it is read: one over the limit is refused at once.
    if (!file.isSequential() && file.size() > maxBytes) {
        return {BoundedStatus::TooLarge, {}, false, {}};
    }
    return readBounded(file, maxBytes);
}
