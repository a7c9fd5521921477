#include "titlelimit.h"

#include "listingsettings.h"
#include "textrules.h"

namespace {

qsizetype codePoints(const QString &text)
{
    return text.toUcs4().size();
}

} // namespace

QValidator::State TitleLimit::validate(QString &input, int &pos) const
{
    qsizetype excess = codePoints(input) - ListingSettings::MainTitleMaxLength;
    if (excess <= 0) {
        return Acceptable;
    }
    qsizetype start = std::clamp<qsizetype>(pos, 0, input.size());
    const qsizetype end = start;
    while (excess > 0 && start > 0) {
        const bool pair =
            start >= 2 && input[start - 1].isLowSurrogate() && input[start - 2].isHighSurrogate();
        start -= pair ? 2 : 1;
        --excess;
    }
    input.remove(start, end - start);
    pos = int(start);
    if (excess > 0) {
        input = leftCodePoints(input, ListingSettings::MainTitleMaxLength);
        pos = std::min(pos, int(input.size()));
    }
    return Acceptable;
}
