#include "accessiblerole.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

const char RoleProperty[] = "tavrinAccessibleRole";

class WidgetWithRole : public QAccessibleWidget
{
public:
    WidgetWithRole(QWidget *widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {}

    int childCount() const override
    {
        return role() == QAccessible::Graphic ? 0 : QAccessibleWidget::childCount();
    }

    QAccessibleInterface *child(int index) const override
    {
        return role() == QAccessible::Graphic ? nullptr : QAccessibleWidget::child(index);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return role() == QAccessible::Graphic ? -1 : QAccessibleWidget::indexOfChild(child);
    }
};

// Asked first for the most derived class of every object, so a widget given a role gets it
// whatever its class.
QAccessibleInterface *withRole(const QString &, QObject *object)
{
    const QVariant role = object->isWidgetType() ? object->property(RoleProperty) : QVariant();
    return role.isValid()
               ? new WidgetWithRole(static_cast<QWidget *>(object), QAccessible::Role(role.toInt()))
               : nullptr;
}

} // namespace

void setAccessibleRole(QWidget *widget, QAccessible::Role role)
{
    static const bool installed = (QAccessible::installFactory(withRole), true);
    Q_UNUSED(installed);
    widget->setProperty(RoleProperty, int(role));
    // Qt may have made the widget's interface already, when the widget was made.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget);
        made && made->role() != role) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}
