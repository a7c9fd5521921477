#include "filesync.h"

#include <QFile>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <qt_windows.h>
#endif

namespace FileSync {

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

bool syncFile(QFileDevice &file)
{
    if (!file.flush() || file.handle() < 0) {
        return false;
    }
#if defined(Q_OS_UNIX)
#if defined(Q_OS_LINUX)
    return ::fdatasync(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
#elif defined(Q_OS_WIN)
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle);
#else
    return true;
#endif
}

bool syncFolder(const QString &folder)
{
#if defined(Q_OS_UNIX)
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#else
    // A folder cannot be opened as a file here; a rename is made durable by the system.
    Q_UNUSED(folder);
    return true;
#endif
}

} // namespace FileSync
