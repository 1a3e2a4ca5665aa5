// The second half of the browser test (tests/web/web.test.mjs): the student who took a test on the
// page goes on at a lab computer. The real desktop program on the lab server's client signs in
// through its sign-in screen and shows on its progress screen the grades the page showed, with the
// next topic open.
//   desktop_after_web HOST:PORT FINGERPRINT NAME PASSWORD GRADES (ten grades, comma-separated)
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/program.h"
#include "app/tform3.h"
#include "course/server_course.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;

int main(int argc, char** argv) {
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "desktop_after_web: HOST:PORT FINGERPRINT NAME PASSWORD GRADES\n");
        return 2;
    }
    const auto address = course::ServerCourse::parseAddress(args[1]);
    if (!address)
        return 2;
    ui::Program program(
        std::make_unique<course::ServerCourse>(address->first, address->second, args[2].toStdString()));
    QTimer::singleShot(0, program.form3.get(), &QWidget::close);
    program.showTitle();
    ui::TForm1* main = program.form1.get();
    const auto control = [main](const char* name) {
        return ui::findComponentAs<QWidget>(main, QString::fromLatin1(name));
    };
    static_cast<QLineEdit*>(control("Edit2"))->setText(args[3]);
    static_cast<QLineEdit*>(control("MaskEdit1"))->setText(args[4]);
    static_cast<QPushButton*>(control("SpeedButton3"))->click();
    ui::findComponentAs<QAction>(main, QStringLiteral("Ni"))->trigger();

    int failures = 0;
    const QStringList expected = args[5].split(QLatin1Char(','));
    const auto check = [&](bool ok, const QString& what) {
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
        failures += ok ? 0 : 1;
    };
    check(static_cast<QLabel*>(control("Label5"))->text() == args[3],
          QStringLiteral("desktop: signed in by name"));
    for (int k = 1; k <= 10; ++k) {
        const QString shown =
            static_cast<QLabel*>(control(qPrintable(QStringLiteral("Label%1").arg(17 + k))))->text();
        check(shown == expected.value(k - 1), QStringLiteral("desktop: test %1 graded %2 as on the page (%3)")
                                                  .arg(k)
                                                  .arg(expected.value(k - 1), shown));
    }
    check(ui::itemEnabled(ui::findComponentAs<QAction>(main, QStringLiteral("test2"))),
          QStringLiteral("desktop: test 2 open after the pass on the page"));
    return failures == 0 ? 0 : 1;
}
