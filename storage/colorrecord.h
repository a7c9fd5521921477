#pragma once

#include "colorset.h"

#include <QByteArray>
#include <QByteArrayView>

// "colorset.dat": the sixteen colour slots, six characters each, back to back in slot order.
inline constexpr qsizetype ColorRecordSize = ColorSet::Count * ColorSlot::Length;

// Reads the colours from the first 96 bytes. A slot the bytes do not wholly hold (a short or
// empty file) takes its colour from the shipped scheme, so a page never carries a blank one.
ColorSet colorSetFromRecord(QByteArrayView bytes);

// Exactly 96 bytes, every slot padded with blanks or cut to its six bytes.
QByteArray colorRecord(const ColorSet &colors);
