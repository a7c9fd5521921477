#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

#include <optional>

// Reading with a limit on the bytes kept: a damaged file, or the wrong file given, must not
// exhaust memory before the reader can say what is wrong with it. Each reader sets its own
// limit and words its own messages.

enum class BoundedStatus {
    Ok,
    TooLarge,    // more than the limit before the end or the stop byte
    DeviceError, // the device refused a read, or the file could not be opened
};

struct BoundedBytes
{
    BoundedStatus status = BoundedStatus::Ok;
    QByteArray bytes;      // empty unless Ok
    bool stopSeen = false; // the bytes end before the stop byte, and reading ended there
    QString error;         // for DeviceError: the device's reason
};

// Reads the device a chunk at a time to its end or, with a stop byte, to the first one: only
// the bytes before it count against the limit, and no chunk after the one that holds it is
// read, so a huge or failing tail costs nothing.
BoundedBytes readBounded(QIODevice &in, qint64 maxBytes, std::optional<char> stop = std::nullopt);

// Opens the file for reading; false with the reason when it cannot be. A folder gives the same
// reason on every system ("file to open is a directory"), where Windows would only say that
// access was denied.
bool openForReading(QFile &file, QString *reason);

// The same for a file named by its path, read whole; a file that cannot be opened is a
// DeviceError with the system's reason, and one whose size is over the limit is TooLarge
// before any byte is read.
BoundedBytes readBoundedFile(const QString &path, qint64 maxBytes);
