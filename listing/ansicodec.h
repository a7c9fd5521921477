#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The single-byte code page of every file the program reads or writes: Windows-1252, the
// ANSI code page of the systems the files are shared with. All conversion goes through here.
namespace AnsiCodec {

// Encodes text to Windows-1252. A character the code page cannot hold is written as an HTML
// numeric character reference in decimal, one per code point ("&#8594;" for U+2192), so a
// browser still shows exactly what was typed.
QByteArray encode(QStringView text);

// The same, appended to out; the page writer encodes its print steps as it goes.
void appendEncoded(QByteArray &out, QStringView text);

// The same, with each CR written as the bytes crAs instead: the page writer's line breaks,
// encoded in the same pass.
void appendEncodedReplacingCr(QByteArray &out, QStringView text, QByteArrayView crAs);

// Decodes Windows-1252 bytes; every byte value has a character.
QString decode(QByteArrayView bytes);

} // namespace AnsiCodec
