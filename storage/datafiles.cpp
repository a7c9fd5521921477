#include "datafiles.h"

#include "boundedread.h"
#include "filesync.h"
#include "filewrite.h"
#include "recordio.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

FileError errorFor(const QString &folder, const QString &name, const QString &reason)
{
    return FileError{name, folder, reason};
}

QString reasonFor(ReadStatus status, const QFile &file)
{
    switch (status) {
    case ReadStatus::Empty:
        return u"input past end of file"_s;
    case ReadStatus::TooLarge:
        return textTooLargeReason();
    case ReadStatus::DeviceError:
    case ReadStatus::Ok:
        break;
    }
    return FileSync::reasonOf(file);
}

// A data file is read from a regular file (or a link to one) only: opening a FIFO waits for a
// writer that may never come, and a device or a socket is no seller's text. The type is known
// before anything is opened. A folder is left to the open, whose reason names it.
std::optional<FileError> notRegularFile(const QString &folder, const QString &name)
{
    const QFileInfo info(folder + name);
    if (info.isFile() || info.isDir()) {
        return std::nullopt;
    }
    return errorFor(folder, name, u"not a regular file"_s);
}

} // namespace

QString FileError::message() const
{
    if (fileName.isEmpty()) {
        return reason;
    }
    return u"The file \"%1\" in the folder \"%2\" could not be used: %3."_s.arg(
        fileName, QDir::toNativeSeparators(folder), reason);
}

QString textFileName(const Session &session, const TextFileEntry &entry)
{
    if (entry.field != TextField::NoReserve) {
        return entry.fileName.toString();
    }
    return session.noReserveFileName.isEmpty() ? DataFileName::NoReserveWritten.toString()
                                               : session.noReserveFileName;
}

TextFileRead readTextFile(const QString &folder, const QString &name, TextReader reader)
{
    const QString path = folder + name;
    if (!QFileInfo::exists(path)) {
        return {{}, errorFor(folder, name, u"file not found"_s)};
    }
    if (std::optional<FileError> error = notRegularFile(folder, name)) {
        return {{}, std::move(error)};
    }
    QFile file(path);
    if (QString reason; !openForReading(file, &reason)) {
        return {{}, errorFor(folder, name, reason)};
    }
    const TextRead result =
        reader == TextReader::OneLine ? readOneLineText(file) : readMultiLineText(file);
    if (result.status != ReadStatus::Ok) {
        return {{}, errorFor(folder, name, reasonFor(result.status, file))};
    }
    return {result.text, std::nullopt};
}

QStringList dataFileNames()
{
    using namespace DataFileName;
    return {AuctionId.toString(), NoReserveRead.toString(), NoReserveWritten.toString(),
            ThankYou.toString(),  Shipping.toString(),      Payment.toString(),
            Colors.toString(),    Prefs.toString()};
}

QString findNoReserveFile(const QString &folder)
{
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (QStringView preferred : {DataFileName::NoReserveRead, DataFileName::NoReserveWritten}) {
        if (entries.contains(preferred)) {
            return preferred.toString();
        }
    }
    for (const QString &entry : entries) {
        if (entry.compare(DataFileName::NoReserveRead, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return DataFileName::NoReserveRead.toString();
}

RecordFileRead readRecordFile(const QString &folder, const QString &name, qsizetype size)
{
    const QString path = folder + name;
    if (!QFileInfo::exists(path)) {
        return {{}, true, std::nullopt};
    }
    if (std::optional<FileError> error = notRegularFile(folder, name)) {
        return {{}, false, std::move(error)};
    }
    QFile file(path);
    if (QString reason; !openForReading(file, &reason)) {
        return {{}, false, errorFor(folder, name, reason)};
    }
    std::optional<QByteArray> record = readRecord(file, size);
    if (!record) {
        return {{}, false, errorFor(folder, name, FileSync::reasonOf(file))};
    }
    return {*std::move(record), false, std::nullopt};
}

void createEmptyFile(const QString &folder, const QString &name)
{
    QFile file(folder + name);
    [[maybe_unused]] const bool created = file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

namespace {

// A program folder may refuse new files while its data files are writable (a read-only
// install folder): there the file is overwritten in place, as a plain write would do. A record
// file keeps the bytes after its record, since only the record is written over.
std::optional<FileError> writeInPlace(const QString &folder, const QString &name,
                                      QByteArrayView bytes, bool keepTail)
{
    QFile file(folder + name);
    const QIODevice::OpenMode mode =
        keepTail ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file.open(mode | QIODevice::ExistingOnly) || !writeAll(file, bytes) || !file.flush()) {
        return errorFor(folder, name, FileSync::reasonOf(file));
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        return errorFor(folder, name, FileSync::reasonOf(file));
    }
    return std::nullopt;
}

std::optional<FileError> afterReplacing(const QString &folder, const QString &name,
                                        const WriteResult &written, QByteArrayView bytes,
                                        bool keepTail)
{
    if (written) {
        return std::nullopt;
    }
    if (written.notOpened && QFileInfo(folder + name).isFile()) {
        return writeInPlace(folder, name, bytes, keepTail);
    }
    return errorFor(folder, name, written.error);
}

} // namespace

std::optional<FileError> replaceTextFile(const QString &folder, const QString &name,
                                         const QString &text)
{
    const QByteArray bytes = textFileBytes(text);
    return afterReplacing(folder, name, replaceFile(folder + name, bytes), bytes, false);
}

std::optional<FileError> replaceRecordFile(const QString &folder, const QString &name,
                                           const QByteArray &record)
{
    const QString path = folder + name;
    QFile old(path);
    const bool hasOld = QFileInfo::exists(path);
    // An earlier file that cannot be read would lose its bytes beyond the record: leave it.
    if (QString reason; hasOld && !openForReading(old, &reason)) {
        return errorFor(folder, name, reason);
    }
    const WriteResult written = replaceFile(path, [&](QFileDevice &out) -> std::optional<QString> {
        const bool ok = writeRecordOver(out, record, hasOld ? &old : nullptr);
        const QString reason =
            out.error() != QFileDevice::NoError ? FileSync::reasonOf(out) : FileSync::reasonOf(old);
        // Some systems refuse to replace a file that is still open.
        old.close();
        return ok ? std::nullopt : std::optional(reason);
    });
    old.close();
    return afterReplacing(folder, name, written, record, true);
}
