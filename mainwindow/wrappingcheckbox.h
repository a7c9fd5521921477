#pragma once

#include <QCheckBox>

// A check box whose caption wraps onto a second line when the box is tall enough, as the
// taller switches of the main window are drawn for, and which answers a click anywhere in
// its rectangle.
class WrappingCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};
