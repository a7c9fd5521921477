#include "filewrite.h"

#include <QDir>
#include <QSaveFile>

bool writeAll(QIODevice &device, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = device.write(bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

WriteResult replaceFile(const QString &path, QByteArrayView bytes)
{
    return replaceFile(path, [bytes](QFileDevice &out) -> std::optional<QString> {
        if (writeAll(out, bytes)) {
            return std::nullopt;
        }
        return out.errorString();
    });
}

WriteResult replaceFile(const QString &path, const ContentWriter &write)
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        WriteResult result = WriteResult::failure(shown, file.errorString());
        result.notOpened = true;
        return result;
    }
    if (const std::optional<QString> reason = write(file)) {
        file.cancelWriting();
        return WriteResult::failure(shown, *reason);
    }
    if (!file.commit()) {
        return WriteResult::failure(shown, file.errorString());
    }
    return WriteResult::success(shown);
}
