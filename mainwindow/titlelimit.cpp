#include "titlelimit.h"

#include "listingsettings.h"
#include "textrules.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include <algorithm>

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

void TitleLimit::paste(QLineEdit &box)
{
    QString kept = box.text();
    if (box.hasSelectedText()) {
        kept.remove(box.selectionStart(), box.selectionLength());
    } else if (box.cursorPosition() > 0) {
        // A paste is an undo step of its own, as in any box: moving the caret away and back
        // ends the typing before it.
        box.cursorBackward(false);
        box.cursorForward(false);
    }
    const qsizetype room = ListingSettings::MainTitleMaxLength - codePoints(kept);
    box.insert(leftCodePoints(QGuiApplication::clipboard()->text(), std::max<qsizetype>(room, 0)));
}
