#pragma once

#include "session.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

// A data file that could not be read or written: which file, in which folder, and why ("file
// not found", "input past end of file", "not a regular file", or the system's reason). Start-up
// stops at the first; saving collects them all.
struct FileError
{
    QString fileName;
    QString folder;
    QString reason;

    // One readable sentence naming the file, the folder and the reason.
    QString message() const;
};

// The seven data files in the program folder, opened by name: each reader and writer here
// reports a failure as a FileError naming the file, the folder and the reason.
namespace DataFileName {
inline constexpr QStringView AuctionId = u"ebayid.dat";
// The no-reserve file is read under one spelling and written under another; whatever the
// file system, both must reach the one file (see findNoReserveFile).
inline constexpr QStringView NoReserveRead = u"NoReserve.dat";
inline constexpr QStringView NoReserveWritten = u"noreserve.dat";
inline constexpr QStringView ThankYou = u"thankyou.dat";
inline constexpr QStringView Shipping = u"shipping.dat";
inline constexpr QStringView Payment = u"payment.dat";
inline constexpr QStringView Colors = u"colorset.dat";
inline constexpr QStringView Prefs = u"prefs.dat";
} // namespace DataFileName

// Every data file name, the no-reserve file under both spellings.
QStringList dataFileNames();

// The no-reserve file's name as the folder spells it, found without regard to letter case.
// An exact "NoReserve.dat" wins, then "noreserve.dat", then any other spelling; when there is
// none, "NoReserve.dat", so that the reader reports that name as not found.
QString findNoReserveFile(const QString &folder);

enum class TextReader { OneLine, MultiLine };

// One of the five text files: its name, how it is read, the box it fills and where its text
// as loaded is kept. Start-up reads the files in readingPlace order; saving writes them in
// the table's order.
struct TextFileEntry
{
    QStringView fileName;
    TextReader reader;
    TextField field;
    QString LoadedTexts::*loaded;
    int readingPlace;
};

inline constexpr std::array<TextFileEntry, 5> TextFileTable = {{
    {DataFileName::AuctionId, TextReader::OneLine, TextField::AuctionId, &LoadedTexts::auctionId,
     1},
    {DataFileName::ThankYou, TextReader::OneLine, TextField::ThankYou, &LoadedTexts::thankYou, 2},
    {DataFileName::NoReserveRead, TextReader::OneLine, TextField::NoReserve,
     &LoadedTexts::noReserve, 0},
    {DataFileName::Shipping, TextReader::MultiLine, TextField::Shipping, &LoadedTexts::shipping, 3},
    {DataFileName::Payment, TextReader::MultiLine, TextField::Payment, &LoadedTexts::payment, 4},
}};

// The name under which a text file is read and written in this session's folder: the
// no-reserve file keeps the spelling start-up found it under.
QString textFileName(const Session &session, const TextFileEntry &entry);

struct TextFileRead
{
    QString text;
    std::optional<FileError> error;
};

TextFileRead readTextFile(const QString &folder, const QString &name, TextReader reader);

struct RecordFileRead
{
    QByteArray bytes;
    bool absent = false;
    std::optional<FileError> error;
};

// The first size bytes of a record file; an absent file reads as empty and says so.
RecordFileRead readRecordFile(const QString &folder, const QString &name, qsizetype size);

// Creates an empty file where none is; a file that appeared meanwhile is left alone. A file
// that cannot be created is left to the save at the end, which reports it.
void createEmptyFile(const QString &folder, const QString &name);

// Both replace the file atomically: on any failure the earlier file stays whole. Where the
// folder refuses the new file but the file itself is writable, it is overwritten in place.
std::optional<FileError> replaceTextFile(const QString &folder, const QString &name,
                                         const QString &text);
// Replaces the record at the start of the file and keeps any bytes after it.
std::optional<FileError> replaceRecordFile(const QString &folder, const QString &name,
                                           const QByteArray &record);
