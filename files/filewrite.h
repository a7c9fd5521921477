#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

class QFileDevice;

// The outcome of writing a file: success, or the native path and the system's reason.
struct WriteResult
{
    bool ok = true;
    QString path;
    QString error;
    // The failure came before any byte was written: the new file could not be opened beside
    // the old one (a folder that refuses new files), and the old file was not touched.
    bool notOpened = false;

    explicit operator bool() const { return ok; }
    static WriteResult success(const QString &path) { return {true, path, {}}; }
    static WriteResult failure(const QString &path, const QString &error)
    {
        return {false, path, error};
    }
};

// Writes all bytes to a device, insisting on every byte: a short write is a failure.
bool writeAll(QIODevice &device, QByteArrayView bytes);

// Replaces the file at path with exactly these bytes, atomically: the new content appears
// whole or not at all, and an earlier file at that path survives any failure.
WriteResult replaceFile(const QString &path, QByteArrayView bytes);

// The same for content that a writer produces: write fills the new file and returns the reason
// when it could not; only then is the earlier file kept and that reason reported.
using ContentWriter = std::function<std::optional<QString>(QFileDevice &out)>;
WriteResult replaceFile(const QString &path, const ContentWriter &write);

// Writes to path as a shell's redirection would, save that a regular file (or a new one) is
// replaced atomically as above: a character device or a FIFO (a terminal, /dev/null, a pipe) is
// opened and written as it is, never replaced, so a FIFO with no reader waits for one; anything
// else that is not a regular file or a folder (a socket, a block device) is refused.
WriteResult writeOutputFile(const QString &path, const ContentWriter &write);
WriteResult writeOutputFile(const QString &path, QByteArrayView bytes);
