#pragma once

#include <QValidator>

// Keeps the main title box to its 55 characters, counted as the page and the composer count
// them: in code points, so an emoji is one character and is never cut in half. Like a box's
// own length limit, what does not fit is the text just inserted (before the caret): a key
// typed into a full box is refused and a paste is cut to the room left.
class TitleLimit : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;
};
