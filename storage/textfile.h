#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QStringView>

// The five text files: Windows-1252 lines, each ended by CR LF when written. On reading, CR LF
// or a lone CR ends a line, a lone LF stays part of it, and a line end at the very end of the
// file does not start another, empty line.

enum class ReadStatus {
    Ok,
    Empty,    // not one line: the first read hits the end of the file
    TooLarge, // more than the byte limit without the reader having what it needs
    DeviceError,
};

// No seller types this much into a text box; a bigger file is damaged, and reading it whole
// would only exhaust memory.
inline constexpr qint64 MaxTextFileBytes = qint64(64) * 1024 * 1024;

// Why a text over that limit is refused.
QString textTooLargeReason();

struct TextRead
{
    ReadStatus status = ReadStatus::Ok;
    QString text;
};

QStringList splitLines(QStringView text);

// The first line only; whatever follows is never read, so a huge tail costs nothing.
TextRead readOneLineText(QIODevice &in, qint64 maxBytes = MaxTextFileBytes);

// Every line, joined as the loaded text: the first line that is not empty starts it and each
// later line is added after a lone CR, so empty lines at the start are lost and those at the
// end survive as trailing CRs.
TextRead readMultiLineText(QIODevice &in, qint64 maxBytes = MaxTextFileBytes);
QString joinLoadedLines(const QStringList &lines);

// What a multi-line box shows for its loaded text: the blanks at both ends removed and every
// CR written as CR LF.
QString multiLineBoxText(QStringView loaded);

// The file for a box's text: the text and one CR LF.
QByteArray textFileBytes(QStringView text);
