#include "ui/announce.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace ortavia::ui {
namespace {

const QString kAnnouncer = QStringLiteral("Announcer");

// The status line is an alert for the screen reader: read when it changes, never focused.
class AnnouncerAccessible : public QAccessibleWidget {
public:
    explicit AnnouncerAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* announcerInterface(const QString& key, QObject* object) {
    if (key == QLatin1String("QLabel") && object->objectName() == kAnnouncer)
        return new AnnouncerAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void announce(QWidget* window, const QString& text) {
    static const bool installed = (QAccessible::installFactory(announcerInterface), true);
    Q_UNUSED(installed);
    auto* line = window->findChild<QLabel*>(kAnnouncer, Qt::FindDirectChildrenOnly);
    if (!line) {
        line = new QLabel(window);
        line->setObjectName(kAnnouncer);
        line->setGeometry(0, 0, 0, 0); // nothing to see, yet shown, so that it is in the tree
        line->setTextFormat(Qt::PlainText);
        line->show();
    }
    line->setText(text);
    QAccessibleEvent named(line, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleEvent alert(line, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent said(line, text);
    QAccessible::updateAccessibility(&said);
#endif
}

} // namespace ortavia::ui
