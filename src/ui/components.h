#pragma once
// Look-up of a window's child component by its name, without regard to letter case, as the
// program reaches numbered controls ("RadioButton" + digit) and the commands of the unlock table.
#include <QObject>
#include <QString>

namespace ortavia::ui {

QObject* findComponent(const QObject* window, const QString& name);

template <typename T> T* findComponentAs(const QObject* window, const QString& name) {
    return qobject_cast<T*>(findComponent(window, name));
}

} // namespace ortavia::ui

class QAction;

namespace ortavia::ui {

// The enabled state of a menu item as the program set it. A hidden action reports itself disabled
// in Qt, so the state is kept beside it: a hidden item switched on is usable once it is shown.
void setItemEnabled(QAction* item, bool enabled);
bool itemEnabled(const QAction* item);

} // namespace ortavia::ui
