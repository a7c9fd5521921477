#pragma once

#include <QString>
#include <QStringView>

// The file name proposed for a listing, made from its main title: every character outside
// the 67 allowed ones (space, A-Z, a-z, 0-9, "-", "_", "(", ")") is dropped, nothing is
// substituted, and the rest keeps its order and its spaces. Any trimming is the caller's.
QString fileNameFilter(QStringView source);

// The name proposed for a main title, without extension: the title cut to the 55 code points
// the composer keeps, its blanks at both ends removed, then filtered. May be empty.
QString proposedFileName(const QString &mainTitle);

// Whether Windows keeps the name for a device ("CON", "nul", "LPT1", ...), whatever follows it
// after a dot and with blanks after it: no file can carry it there.
bool isWindowsDeviceName(QStringView name);

// The name the save dialog of Create Listing proposes: proposedFileName, numbered " (2)" where
// that is a device name, so that the seller is never offered a name Windows refuses.
QString proposedSaveName(const QString &mainTitle);
