#pragma once

#include <QValidator>

class QLineEdit;

// Keeps the main title box to its 55 characters, counted as the page and the composer count
// them: in code points, so an emoji is one character and is never cut in half. Like a box's
// own length limit, a key typed into a full box is refused, and a paste is cut to the room
// left (the window sends its paste key to paste()).
class TitleLimit : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;

    // Pastes the clipboard's text into box, cut to the room left, as an ordinary edit that
    // Ctrl+Z undoes.
    static void paste(QLineEdit &box);
};
