#pragma once

#include <QFileDevice>
#include <QString>

// What the file system offers beyond Qt for writing many bytes, or many files, durably: the
// system-specific parts of writing files, all in one place.
namespace FileSync {

// Asks the system to start writing the file's bytes so far to the disk without waiting, so
// that a later sync finds less to do. Where there is no such request it does nothing.
void startWriteback(QFileDevice &file);

// Makes a file's bytes durable: true once they are on the disk.
bool syncFile(QFileDevice &file);

// Makes the folder's entries durable, such as files renamed into it: true once they are on the
// disk, or where the system has no such step (its renames being durable with the files).
bool syncFolder(const QString &folder);

} // namespace FileSync
