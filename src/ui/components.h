#pragma once
// Look-up of a window's child component by its name, without regard to letter case, as the
// program reaches numbered controls ("RadioButton" + digit) and the commands of the unlock table.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ui/design.h"

namespace ortavia::ui {

QObject* findComponent(const QObject* window, const QString& name);

template <typename T> T* findComponentAs(const QObject* window, const QString& name) {
    return qobject_cast<T*>(findComponent(window, name));
}

} // namespace ortavia::ui

class QAction;
class QLabel;
class QTableWidget;

namespace ortavia::ui {

// A label of a window: its name (may be null), its text, at its place in its font and colour,
// sized to its text. The text is shown as it stands: markup is never rendered and nothing in it
// becomes a link, since a label may show what a file or a user wrote.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint at, const QFont& font,
                  const QColor& colour = Qt::black);

// A table the user reads and does not edit: its name, its accessible name and column headers, rows
// chosen whole, no row numbers, Tab leaving it (the arrow keys move in it), columns as wide as what
// they show.
QTableWidget* makeTable(QWidget* parent, const char* name, const QString& accessibleName,
                        const QStringList& header, int rows = 0);

// The enabled state of a menu item as the program set it. A hidden action reports itself disabled
// in Qt, so the state is kept beside it: a hidden item switched on is usable once it is shown.
void setItemEnabled(QAction* item, bool enabled);
bool itemEnabled(const QAction* item);

} // namespace ortavia::ui

namespace ortavia::ui {

// A window of its own of the owner (the main window) of type W and that object name: made on first
// use (closing deletes it) and fitted to its screen, filled by fill, then shown and brought to the front.
// When fill throws, a window made for this call is deleted again and the error goes on to the caller.
template <typename W, typename Fill> W* openOwnWindow(QWidget* owner, const QString& name, Fill&& fill) {
    W* window = owner->findChild<W*>(name, Qt::FindDirectChildrenOnly);
    const bool made = !window;
    if (made) {
        window = new W(owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    try {
        fill(*window);
    } catch (...) {
        if (made)
            delete window;
        throw;
    }
    window->show();
    if (made) // once shown, where the frame is known
        design::fitOnScreen(window);
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace ortavia::ui
