#pragma once

#include <QFileDevice>
#include <QString>
#include <QStringList>

// What the file system offers beyond Qt for writing many bytes, or many files, durably: the
// system-specific parts of writing files, all in one place.
namespace FileSync {

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

} // namespace FileSync
