#include "titlelimit.h"

#include "listingsettings.h"
#include "textrules.h"

namespace {

qsizetype codePoints(const QString &text)
{
    return text.toUcs4().size();
}

} // namespace

// An edit past the limit is refused whole rather than trimmed: a line edit forgets its undo
// history whenever its validator rewrites the text.
QValidator::State TitleLimit::validate(QString &input, int &) const
{
    return codePoints(input) <= ListingSettings::MainTitleMaxLength ? Acceptable : Invalid;
}

QString TitleLimit::fitting(const QString &kept, const QString &inserted)
{
    const qsizetype room = ListingSettings::MainTitleMaxLength - codePoints(kept);
    return leftCodePoints(inserted, std::max<qsizetype>(room, 0));
}
