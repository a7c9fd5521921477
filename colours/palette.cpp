#include "palette.h"

#include "defaultcolours.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

constexpr std::array<int, 6> Levels{0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF};

int hexDigitValue(QChar c)
{
    if (c >= u'0' && c <= u'9') {
        return c.unicode() - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c.unicode() - u'A' + 10;
    }
    if (c >= u'a' && c <= u'f') {
        return c.unicode() - u'a' + 10;
    }
    return -1;
}

} // namespace

QColor swatchColour(int index)
{
    Q_ASSERT(index >= 0 && index < SwatchCount);
    return QColor(Levels[index % 6], Levels[(index / 6) % 6], Levels[index / 36]);
}

QString slotText(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    QString text;
    for (int channel : {rgb.red(), rgb.green(), rgb.blue()}) {
        text += QString::number(channel, 16).rightJustified(2, u'0');
    }
    return text.toUpper();
}

std::optional<QColor> slotColour(QStringView text)
{
    if (text.size() != ColorSlot::Length) {
        return std::nullopt;
    }
    std::array<int, 3> channels{};
    for (qsizetype i = 0; i < ColorSlot::Length; ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0) {
            return std::nullopt;
        }
        channels[size_t(i / 2)] = channels[size_t(i / 2)] * 16 + digit;
    }
    return QColor(channels[0], channels[1], channels[2]);
}

QColor previewColour(const ColorSet &colours, ColorSlotId slot)
{
    if (const std::optional<QColor> colour = slotColour(colours.slot(slot).text())) {
        return *colour;
    }
    static const ColorSet shipped = defaultColorSet();
    return slotColour(shipped.slot(slot).text()).value_or(Qt::black);
}
