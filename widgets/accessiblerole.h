#pragma once

#include <QAccessible>

class QWidget;

// Gives a widget the role a screen reader announces it by, where Qt's own would mislead: a
// window that is a plain widget reads as a filler, and the logo's letters as fragments. A
// Graphic is read as one thing, by its accessible name, without its children.
void setAccessibleRole(QWidget *widget, QAccessible::Role role);
