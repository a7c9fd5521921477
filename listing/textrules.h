#pragma once

#include <QString>
#include <QStringView>

// The text without the blanks (spaces, code 32, and nothing else) at both ends. Tabs, line
// breaks and no-break spaces at the ends stay part of the text.
QStringView blankTrimmed(QStringView text);
inline QString trimBlanks(QStringView text)
{
    return blankTrimmed(text).toString();
}

// The text with each line break (CR LF, a lone LF, a lone CR) made the CR LF of a text box, as
// typed text has it; for texts that come from files and spreadsheets.
QString normalizeLineBreaks(QStringView text);

// The first maxCodePoints characters of a text, counted in Unicode code points, so that a
// character outside the Basic Multilingual Plane is never split in half.
QString leftCodePoints(const QString &text, qsizetype maxCodePoints);
