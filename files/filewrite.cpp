#include "filewrite.h"

#include "filesync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

std::optional<QString> writeBytes(QFileDevice &out, QByteArrayView bytes)
{
    if (writeAll(out, bytes)) {
        return std::nullopt;
    }
    return FileSync::reasonOf(out);
}

// A failure before any byte was written: the earlier file is as it was.
WriteResult notOpened(const QString &shown, const QString &reason)
{
    WriteResult result = WriteResult::failure(shown, reason);
    result.notOpened = true;
    return result;
}

} // namespace

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
    return replaceFile(path, [bytes](QFileDevice &out) { return writeBytes(out, bytes); });
}

WriteResult replaceFile(const QString &path, const ContentWriter &write)
{
    const QString shown = QDir::toNativeSeparators(path);
    // Replacing would put a regular file in the place of a device or a pipe that a link leads
    // to (as root, even of /dev/null); a folder is left to the save file, whose reason names it.
    if (const FileSync::Kind kind = FileSync::kindOf(path); kind != FileSync::Kind::Missing &&
                                                            kind != FileSync::Kind::File &&
                                                            kind != FileSync::Kind::Folder) {
        return notOpened(shown, u"not a regular file"_s);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return notOpened(shown, FileSync::reasonOf(file));
    }
    if (const std::optional<QString> reason = write(file)) {
        file.cancelWriting();
        return WriteResult::failure(shown, *reason);
    }
    // The new file keeps the earlier one's owner where the process may give it (root), and its
    // permissions, which the save file keeps on its own but for the set-id bits; after the
    // writing, which would clear those.
    const QFileInfo earlier(path);
    if (const std::optional<FileSync::Attributes> attributes =
            FileSync::attributesOf(earlier.isSymLink() ? earlier.canonicalFilePath() : path)) {
        FileSync::setAttributes(file, *attributes);
    }
    if (!file.commit()) {
        return WriteResult::failure(shown, FileSync::reasonOf(file));
    }
    return WriteResult::success(shown);
}

WriteResult writeOutputFile(const QString &path, const ContentWriter &write)
{
    const FileSync::Kind kind = FileSync::kindOf(path);
    if (kind == FileSync::Kind::Other) {
        return WriteResult::failure(QDir::toNativeSeparators(path),
                                    u"not a regular file, a character device or a pipe"_s);
    }
    if (kind != FileSync::Kind::CharacterDevice && kind != FileSync::Kind::Fifo) {
        return replaceFile(path, write);
    }
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(kind == FileSync::Kind::CharacterDevice ? FileSync::devicePath(path) : path);
    if (!file.open(QIODevice::WriteOnly)) {
        return notOpened(shown, FileSync::reasonOf(file));
    }
    if (const std::optional<QString> reason = write(file)) {
        return WriteResult::failure(shown, *reason);
    }
    if (!file.flush()) {
        return WriteResult::failure(shown, FileSync::reasonOf(file));
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        return WriteResult::failure(shown, FileSync::reasonOf(file));
    }
    return WriteResult::success(shown);
}

WriteResult writeOutputFile(const QString &path, QByteArrayView bytes)
{
    return writeOutputFile(path, [bytes](QFileDevice &out) { return writeBytes(out, bytes); });
}
