#pragma once

#include <QValidator>

// Keeps the main title box to its 55 characters, counted as the page and the composer count
// them: in code points, so an emoji is one character and is never cut in half. Like a box's
// own length limit, a key typed into a full box is refused, and a paste is cut to the room
// left (the window inserts fitting() in place of the clipboard's text).
class TitleLimit : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;

    // The start of inserted that fits beside the text kept in the box.
    static QString fitting(const QString &kept, const QString &inserted);
};
