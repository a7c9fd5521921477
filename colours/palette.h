#pragma once

#include "colorset.h"

#include <QColor>
#include <QString>
#include <QStringView>

#include <optional>

// The 216 web-safe colours: six levels per channel, red changing fastest and blue slowest.
inline constexpr int SwatchCount = 216;
QColor swatchColour(int index);

// A colour as a slot holds it: two upper-case hexadecimal digits per channel, red first.
QString slotText(const QColor &colour);

// The colour a slot names, reading its digits in either case; nothing when the slot does not
// hold exactly six hexadecimal digits.
std::optional<QColor> slotColour(QStringView text);

// What a preview shows for a slot. A slot that names no colour (a damaged colour file) is
// shown in the shipped scheme's colour for that slot rather than in some arbitrary one.
QColor previewColour(const ColorSet &colours, ColorSlotId slot);
