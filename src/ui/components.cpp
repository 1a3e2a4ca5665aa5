#include "ui/components.h"

#include <QAction>

namespace ortavia::ui {

QObject* findComponent(const QObject* window, const QString& name) {
    if (name.isEmpty())
        return nullptr;
    // Menu items are actions; they come first so that a menu entry and the popup that carries its
    // items never compete for one name.
    const auto actions = window->findChildren<QAction*>();
    for (QAction* a : actions)
        if (a->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return a;
    const auto objects = window->findChildren<QObject*>();
    for (QObject* o : objects)
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return o;
    return nullptr;
}

} // namespace ortavia::ui

namespace ortavia::ui {

void setItemEnabled(QAction* item, bool enabled) {
    item->setProperty("itemEnabled", enabled);
    item->setEnabled(enabled);
}

bool itemEnabled(const QAction* item) {
    const QVariant state = item->property("itemEnabled");
    return state.isValid() ? state.toBool() : item->isEnabled();
}

} // namespace ortavia::ui
