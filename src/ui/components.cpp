#include "ui/components.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

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

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint at, const QFont& font,
                  const QColor& colour) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->move(at);
    label->adjustSize();
    return label;
}

QTableWidget* makeTable(QWidget* parent, const char* name, const QString& accessibleName,
                        const QStringList& header, int rows) {
    auto* table = new QTableWidget(rows, static_cast<int>(header.size()), parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setAccessibleName(accessibleName);
    table->setHorizontalHeaderLabels(header);
    table->verticalHeader()->setVisible(false);
    table->setTabKeyNavigation(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void setItemEnabled(QAction* item, bool enabled) {
    item->setProperty("itemEnabled", enabled);
    item->setEnabled(enabled);
}

bool itemEnabled(const QAction* item) {
    const QVariant state = item->property("itemEnabled");
    return state.isValid() ? state.toBool() : item->isEnabled();
}

} // namespace ortavia::ui
