#pragma once

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>

inline bool hasSelection(const QLineEdit &box)
{
    return box.hasSelectedText();
}

inline bool hasSelection(const QPlainTextEdit &box)
{
    return box.textCursor().hasSelection();
}

// A text box that selects its whole text when the seller moves into it, by the keyboard or
// by a click, so that the next key typed replaces it. The click that gave the focus would
// otherwise put the caret under the pointer and undo the selection, so its release selects
// again, unless the seller dragged out a selection of their own. Focus coming back from a
// menu or another window leaves the selection alone: the seller has not moved to this box.
template<class Box> class SelectOnFocus : public Box
{
public:
    using Box::Box;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        Box::focusInEvent(event);
        switch (event->reason()) {
        case Qt::MouseFocusReason:
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
        case Qt::OtherFocusReason:
            this->selectAll();
            m_focusClickPending = event->reason() == Qt::MouseFocusReason;
            break;
        default:
            break;
        }
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        m_focusClickPending = false;
        Box::focusOutEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        Box::mouseReleaseEvent(event);
        if (m_focusClickPending) {
            m_focusClickPending = false;
            if (!hasSelection(*this)) {
                this->selectAll();
            }
        }
    }

private:
    bool m_focusClickPending = false;
};

using SelectingLineEdit = SelectOnFocus<QLineEdit>;

// A multi-line box in which every line break the seller makes is a real one: Shift+Enter
// would otherwise insert a soft line separator, which the settings keep for a lone LF.
class SelectingTextEdit : public SelectOnFocus<QPlainTextEdit>
{
public:
    using SelectOnFocus<QPlainTextEdit>::SelectOnFocus;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & Qt::ShiftModifier)) {
            QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                            event->text());
            SelectOnFocus<QPlainTextEdit>::keyPressEvent(&plain);
            event->setAccepted(plain.isAccepted());
            return;
        }
        SelectOnFocus<QPlainTextEdit>::keyPressEvent(event);
    }
};
