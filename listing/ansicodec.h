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

// Decodes a text that encode() wrote: the bytes as decode() reads them, and each reference
// exactly as encode() writes it for a character the code page cannot hold ("&#10003;") read
// back as that character, so that a saved text comes back as typed and encodes to the same
// bytes again. Any other reference ("&#233;", "&#0010003;", "&#55357;") stays text.
QString decodeText(QByteArrayView bytes);

} // namespace AnsiCodec
