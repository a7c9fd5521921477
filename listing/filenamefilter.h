#pragma once

#include <QString>
#include <QStringView>

// The file name proposed for a listing, made from its main title: every character outside
// the 67 allowed ones (space, A-Z, a-z, 0-9, "-", "_", "(", ")") is dropped, nothing is
// substituted, and the rest keeps its order and its spaces. Any trimming is the caller's.
QString fileNameFilter(QStringView source);
