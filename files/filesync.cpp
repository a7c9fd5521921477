#include "filesync.h"

#include <QFile>
#include <QFileInfo>

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
#include <QDir>

#include <io.h>
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

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

#if defined(Q_OS_WIN)
namespace {

// A handle that only looks at what a path names, links followed: no access to its bytes and
// every sharing mode, so that it opens whatever another program holds; a folder opens too.
class LookingHandle
{
public:
    explicit LookingHandle(const QString &path)
        : m_handle(::CreateFileW(
              reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), 0,
              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
              FILE_FLAG_BACKUP_SEMANTICS, nullptr))
        , m_error(m_handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS)
    {}
    ~LookingHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_handle);
        }
    }
    LookingHandle(const LookingHandle &) = delete;
    LookingHandle &operator=(const LookingHandle &) = delete;

    HANDLE get() const { return m_handle; }
    // Nothing there: the path or a folder on it does not exist.
    bool missing() const
    {
        return m_error == ERROR_FILE_NOT_FOUND || m_error == ERROR_PATH_NOT_FOUND ||
               m_error == ERROR_INVALID_NAME;
    }
    std::optional<BY_HANDLE_FILE_INFORMATION> information() const
    {
        BY_HANDLE_FILE_INFORMATION info = {};
        if (m_handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(m_handle, &info)) {
            return std::nullopt;
        }
        return info;
    }

private:
    HANDLE m_handle;
    DWORD m_error;
};

HANDLE systemHandle(QFileDevice &file)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
}

} // namespace
#endif

namespace {

QString withoutFullStop(QString reason)
{
    if (reason.endsWith(u'.')) {
        reason.chop(1);
    }
    return reason;
}

} // namespace

QString reasonOf(const QIODevice &device)
{
    return withoutFullStop(device.errorString());
}

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
#if defined(Q_OS_WIN)
    // Replacing is one step on Windows too; the flag waits until the move is on the disk.
    if (!::MoveFileExW(
            reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(temporary).utf16()),
            reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *reason = withoutFullStop(qt_error_string(int(::GetLastError())));
        return Placed::Failed;
    }
    return Placed::Moved;
#else
    std::error_code error;
    std::filesystem::rename(temporary.toStdU16String(), target.toStdU16String(), error);
    if (error) {
        *reason = QString::fromLocal8Bit(error.message());
        return Placed::Failed;
    }
    return Placed::Moved;
#endif
}

bool hasOtherNames(QFileDevice &file)
{
#if defined(Q_OS_UNIX)
    struct ::stat info = {};
    return ::fstat(file.handle(), &info) != 0 || info.st_nlink > 1;
#else
    BY_HANDLE_FILE_INFORMATION info = {};
    return !::GetFileInformationByHandle(systemHandle(file), &info) || info.nNumberOfLinks > 1;
#endif
}

Kind kindOf(const QString &path)
{
#if defined(Q_OS_UNIX)
    struct ::stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return Kind::Missing;
    }
    switch (info.st_mode & S_IFMT) {
    case S_IFREG:
        return Kind::File;
    case S_IFDIR:
        return Kind::Folder;
    case S_IFCHR:
        return Kind::CharacterDevice;
    case S_IFIFO:
        return Kind::Fifo;
    default:
        return Kind::Other;
    }
#else
    const LookingHandle handle(path);
    if (handle.missing()) {
        return Kind::Missing;
    }
    switch (::GetFileType(handle.get())) {
    case FILE_TYPE_CHAR:
        return Kind::CharacterDevice; // NUL, CON, a serial port
    case FILE_TYPE_PIPE:
        return Kind::Fifo;
    case FILE_TYPE_DISK:
        if (const auto info = handle.information()) {
            return (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::Folder
                                                                            : Kind::File;
        }
        break;
    default:
        break;
    }
    // Something that cannot even be looked at: what Qt can tell of it.
    const QFileInfo info(path);
    return !info.exists()  ? Kind::Missing
           : info.isDir()  ? Kind::Folder
           : info.isFile() ? Kind::File
                           : Kind::Other;
#endif
}

QString devicePath(const QString &path)
{
#if defined(Q_OS_WIN)
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(u"\\\\.\\")) {
        return native;
    }
    // Windows finds a device by its name whatever the folder and the extension.
    QString name = QFileInfo(native).fileName();
    name = name.left(name.indexOf(u'.')).section(u':', 0, 0).trimmed();
    return u"\\\\.\\"_s + name;
#else
    return path;
#endif
}

bool sameFile(const QString &a, const QString &b)
{
#if defined(Q_OS_UNIX)
    struct ::stat first = {};
    struct ::stat second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#else
    // The volume and the file index are Windows's device and file number.
    const auto first = LookingHandle(a).information();
    const auto second = LookingHandle(b).information();
    return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh &&
           first->nFileIndexLow == second->nFileIndexLow;
#endif
}

std::optional<Attributes> attributesOf(const QString &path)
{
#if defined(Q_OS_UNIX)
    struct ::stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return Attributes{unsigned(info.st_mode & 07777), unsigned(info.st_uid), unsigned(info.st_gid)};
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}

Attributes newFileAttributes(const QString &folder)
{
#if defined(Q_OS_UNIX)
    // The umask can only be read by setting it; it is set back at once.
    const ::mode_t mask = ::umask(022);
    ::umask(mask);
    struct ::stat info = {};
    const bool inherits =
        ::stat(QFile::encodeName(folder).constData(), &info) == 0 && (info.st_mode & S_ISGID) != 0;
    return Attributes{unsigned(0666 & ~mask), unsigned(::geteuid()),
                      unsigned(inherits ? info.st_gid : ::getegid())};
#else
    Q_UNUSED(folder);
    return {};
#endif
}

bool setAttributes(QFileDevice &file, const Attributes &wanted)
{
#if defined(Q_OS_UNIX)
    struct ::stat info = {};
    const int fd = file.handle();
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    bool modeKept = (info.st_mode & 07777) == wanted.mode;
    if (info.st_uid != wanted.owner || info.st_gid != wanted.group) {
        if (::fchown(fd, wanted.owner, wanted.group) != 0 && info.st_uid != ::geteuid()) {
            return false;
        }
        // A change of owner clears the set-user and set-group bits.
        modeKept = false;
    }
    return modeKept || ::fchmod(fd, wanted.mode) == 0;
#else
    Q_UNUSED(file);
    Q_UNUSED(wanted);
    return true;
#endif
}

} // namespace FileSync
