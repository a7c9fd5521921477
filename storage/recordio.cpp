#include "recordio.h"

#include "filewrite.h"

namespace {

constexpr qint64 CopyChunkSize = 64 * 1024;

} // namespace

std::optional<QByteArray> readRecord(QIODevice &in, qsizetype size)
{
    QByteArray record(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < size) {
        const qint64 n = in.read(record.data() + done, size - done);
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    record.truncate(done);
    return record;
}

bool writeRecordOver(QIODevice &out, QByteArrayView record, QIODevice *old)
{
    if (!writeAll(out, record)) {
        return false;
    }
    if (!old || old->size() <= record.size()) {
        return true;
    }
    // The tail is copied in chunks: a damaged file with a huge tail must not cost its size in
    // memory.
    if (!old->seek(record.size())) {
        return false;
    }
    QByteArray chunk(CopyChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = old->read(chunk.data(), CopyChunkSize);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!writeAll(out, QByteArrayView(chunk.constData(), n))) {
            return false;
        }
    }
}
