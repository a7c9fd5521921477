#include "filesync.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <cstdio>
#endif
#if defined(Q_OS_WIN)
#include <io.h>
#endif

namespace FileSync {

#if defined(Q_OS_UNIX)
namespace {

// Opens the folder and applies one of the system's sync calls to it.
bool syncThroughFolder(const QString &folder, int (*sync)(int))
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    const bool synced = sync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace
#endif

void startWriteback(QFileDevice &file)
{
#if defined(Q_OS_LINUX)
    if (file.flush() && file.handle() >= 0) {
        ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
#else
    Q_UNUSED(file);
#endif
}

bool syncFiles(const QString &folder, const QStringList &paths)
{
#if defined(Q_OS_LINUX)
    Q_UNUSED(paths);
    return syncThroughFolder(folder, ::syncfs);
#else
    Q_UNUSED(folder);
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
            return false;
        }
#if defined(Q_OS_UNIX)
        if (::fsync(file.handle()) != 0) {
            return false;
        }
#else
        // Windows: _commit is FlushFileBuffers on the file's handle.
        if (::_commit(file.handle()) != 0) {
            return false;
        }
#endif
    }
    return true;
#endif
}

bool syncFolder(const QString &folder)
{
#if defined(Q_OS_UNIX)
    return syncThroughFolder(folder, ::fsync);
#else
    // A folder cannot be opened as a file here; a rename is made durable by the system.
    Q_UNUSED(folder);
    return true;
#endif
}

Placed placeFile(const QString &temporary, const QString &target, QString *reason)
{
#if defined(Q_OS_LINUX)
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        return Placed::Swapped;
    }
    // No earlier file, or a file system that cannot swap: an ordinary rename.
    if (errno != ENOENT && errno != EINVAL && errno != ENOSYS) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return Placed::Failed;
    }
#endif
    std::error_code error;
    std::filesystem::rename(temporary.toStdU16String(), target.toStdU16String(), error);
    if (error) {
        *reason = QString::fromLocal8Bit(error.message());
        return Placed::Failed;
    }
    return Placed::Moved;
}

bool hasOtherNames(QFileDevice &file)
{
#if defined(Q_OS_UNIX)
    struct ::stat info = {};
    return ::fstat(file.handle(), &info) != 0 || info.st_nlink > 1;
#else
    Q_UNUSED(file);
    return false;
#endif
}

} // namespace FileSync
