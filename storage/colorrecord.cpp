#include "colorrecord.h"

#include "ansicodec.h"
#include "defaultcolours.h"

ColorSet colorSetFromRecord(QByteArrayView bytes)
{
    ColorSet colors = defaultColorSet();
    for (int k = 0; k < ColorSet::Count; ++k) {
        const qsizetype at = k * ColorSlot::Length;
        if (at + ColorSlot::Length <= bytes.size()) {
            colors.setSlot(static_cast<ColorSlotId>(k),
                           AnsiCodec::decode(bytes.sliced(at, ColorSlot::Length)));
        }
    }
    return colors;
}

QByteArray colorRecord(const ColorSet &colors)
{
    QByteArray record;
    record.reserve(ColorRecordSize);
    for (int k = 0; k < ColorSet::Count; ++k) {
        const QByteArray slot = AnsiCodec::encode(colors.slot(static_cast<ColorSlotId>(k)).text())
                                    .left(ColorSlot::Length);
        record += slot;
        record += QByteArray(ColorSlot::Length - slot.size(), ' ');
    }
    return record;
}
