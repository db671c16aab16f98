#pragma once
// The widget tree as a screen reader sees it, through Qt's accessibility interfaces.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace marquelo::test {

// Calls `visit` for every interface under `iface` that is not hidden, depth first.
inline void walkAccessible(QAccessibleInterface* iface, const std::function<void(QAccessibleInterface*)>& visit,
                           int depth = 0)
{
    if (!iface || !iface->isValid() || iface->state().invisible || depth > 40)
        return;
    visit(iface);
    const int count = iface->childCount();
    for (int i = 0; i < count; ++i)
        walkAccessible(iface->child(i), visit, depth + 1);
}

// The controls under `root` a screen reader finds without a name: buttons, boxes, fields and list items,
// each as "role objectName (tooltip)" so that a failure says which one.
inline QStringList unnamedControls(QWidget* root)
{
    QStringList unnamed;
    walkAccessible(QAccessible::queryAccessibleInterface(root), [&unnamed](QAccessibleInterface* iface) {
        switch (iface->role()) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
        case QAccessible::EditableText:
        case QAccessible::ComboBox:
        case QAccessible::SpinBox:
        case QAccessible::List:
        case QAccessible::ListItem:
        case QAccessible::PageTab: break;
        default: return;
        }
        if (!iface->text(QAccessible::Name).trimmed().isEmpty())
            return;
        const QObject* object = iface->object();
        const auto* widget = qobject_cast<const QWidget*>(object);
        unnamed << QStringLiteral("role %1 %2 (%3)")
                       .arg(int(iface->role()))
                       .arg(object ? object->objectName() : QStringLiteral("-"),
                            widget ? widget->toolTip() : QString());
    });
    return unnamed;
}

} // namespace marquelo::test
