#pragma once

#include <QFileDevice>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <optional>

// What the file system offers beyond Qt for writing many bytes, or many files, durably: the
// system-specific parts of writing files, all in one place.
namespace FileSync {

// The device's reason for its last failure, as the middle of a sentence: Windows words its
// reasons as sentences ("File not found."), and every message adds its own full stop.
QString reasonOf(const QIODevice &device);

// Asks the system to start writing the file's bytes so far to the disk without waiting, so
// that a later sync finds less to do. Where there is no such request it does nothing.
void startWriteback(QFileDevice &file);

// Makes the bytes of the closed files in folder durable, all of them: true once they are on
// the disk. Where the system can, this is one request for the whole file system rather than
// one per file.
bool syncFiles(const QString &folder, const QStringList &paths);

// Makes the folder's entries durable, such as files renamed into it: true once they are on the
// disk, or where the system has no such step (its renames being durable with the files).
bool syncFolder(const QString &folder);

enum class Placed {
    Swapped, // the two names swapped: temporary now names target's earlier file
    Moved,   // temporary was renamed over target, and is gone
    Failed,
};

// Puts the file at temporary in place of target, atomically: target names the earlier file or
// the new one, never neither. Where the system can swap two names in one step and target
// exists, they swap, so that the earlier file can be written over for another target later.
Placed placeFile(const QString &temporary, const QString &target, QString *reason);

// Whether the open file has more than one name (hard links): such a file must not be written
// over in place.
bool hasOtherNames(QFileDevice &file);

// What a path names once its links are followed.
enum class Kind {
    Missing, // nothing, or a link that leads nowhere
    File,    // a regular file
    Folder,
    CharacterDevice,
    Fifo,
    Other, // a socket or a block device
};
Kind kindOf(const QString &path);

// The path to open a character device by: the path itself, but on Windows the device's own
// name ("\\.\NUL" for "NUL" or "C:\dir\nul.txt"), which Qt's files reach only so.
QString devicePath(const QString &path);

// Whether two paths name the same file once links are followed: the same device and file
// number where the system has them, so that a second hard link or a path through ".." counts
// as the file itself. False when either does not exist.
bool sameFile(const QString &a, const QString &b);

// The owner and the permission bits a file carries, which a file put in its place takes over.
struct Attributes
{
    unsigned mode = 0;
    unsigned owner = 0;
    unsigned group = 0;
};

// Those of the regular file at path itself, not of a link's target; nothing when path names
// no regular file, and on Windows, whose files carry neither.
std::optional<Attributes> attributesOf(const QString &path);

// Those a file newly created in folder gets: the process's owner, the folder's group where it
// hands its own group down and the process's otherwise, and mode 0666 less the umask (on
// Windows nothing to set).
Attributes newFileAttributes(const QString &folder);

// Gives the open file the owner and the mode: false when the mode cannot be set, or when the
// file belongs to someone else than wanted and the process cannot give it away (only root
// can). An owner that cannot be kept is otherwise left as the process's own.
bool setAttributes(QFileDevice &file, const Attributes &wanted);

} // namespace FileSync
