#include "support/harness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include "app/tform3.h"
#include "store/codepage.h"
#include "store/fsys.h"
#include "store/store.h"
#include "testing/testing.h"
#include "ui/answer_button.h"

namespace ortavia::testsupport {
namespace {

void copyTree(const QString& from, const QString& to, bool withDocuments) {
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = QDir(from).relativeFilePath(source);
        const bool document = relative.endsWith(QLatin1String(".htm")) ||
                              relative.endsWith(QLatin1String(".html")) ||
                              relative.endsWith(QLatin1String(".css"));
        if (document && !withDocuments)
            continue;
        const QString target = QDir(to).filePath(relative);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}

} // namespace

CourseFolder::CourseFolder(Contents contents) : previous_(QDir::currentPath()) {
    if (!dir_.isValid())
        qFatal("no temporary folder");
    if (contents != Contents::Nothing)
        copyTree(QStringLiteral(ORTAVIA_SOURCE_DIR "/course"), dir_.path(), contents == Contents::Everything);
    if (!QDir::setCurrent(dir_.path()))
        qFatal("cannot enter the temporary folder");
}

CourseFolder::~CourseFolder() {
    QDir::setCurrent(previous_);
}

void CourseFolder::write(const QString& relative, const QByteArray& bytes) const {
    QDir().mkpath(QFileInfo(file(relative)).absolutePath());
    QFile f(file(relative));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write fixture");
}

QByteArray CourseFolder::read(const QString& relative) const {
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool CourseFolder::exists(const QString& relative) const {
    return QFileInfo::exists(file(relative));
}

QStringList CourseFolder::lines(const QString& relative) const {
    QStringList lines =
        QString::fromStdString(cp::toUtf8(read(relative).toStdString())).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

Running::Running(bool closeTitle) : Running(nullptr, closeTitle) {}

Running::Running(std::unique_ptr<course::Course> course, bool closeTitle) : program(std::move(course)) {
    ui::dialogs::resetTestState();
    if (closeTitle) {
        QTimer::singleShot(0, program.form3.get(), &QWidget::close);
        program.showTitle();
    }
}

Running::~Running() {
    ui::dialogs::resetTestState();
}

QAction* Running::action(const char* name) const {
    return control<QAction>(name);
}

QString Running::visibleScreen() const {
    for (const char* panel : {"Panel4", "Panel7", "Panel6", "Panel1", "Panel3", "Panel2"})
        if (control<QWidget>(panel)->isVisibleTo(main()))
            return QString::fromLatin1(panel);
    return {};
}

void Running::trigger(const char* name) const {
    action(name)->trigger();
}

void Running::click(const char* name) const {
    control<QPushButton>(name)->click();
}

void Running::type(const char* edit, const QString& text) const {
    control<QLineEdit>(edit)->setText(text);
}

void Running::registerUser(const QString& name, const QString& password) const {
    type("Edit2", name);
    type("MaskEdit1", password);
    click("SpeedButton1");
}

void Running::signIn(const QString& name, const QString& password) const {
    type("Edit2", name);
    type("MaskEdit1", password);
    click("SpeedButton3");
}

void Running::signInAdmin() const {
    signIn(QStringLiteral("admin"), QStringLiteral("admin"));
}

bool Running::enabled(const char* item) const {
    return ui::itemEnabled(action(item));
}

void Running::answer(int k) const {
    auto* button = control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
    QTest::mouseDClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(20, button->height() / 2));
}

QWidget* Running::focused() const {
    QWidget* w = main()->focusWidget();
    if (!w)
        qFatal("no control of the main window has the keyboard focus");
    return w;
}

void Running::press(Qt::Key key, Qt::KeyboardModifiers modifiers) const {
    QTest::keyClick(focused(), key, modifiers);
}

void Running::typeKeys(const QString& text) const {
    testsupport::typeKeys(focused(), text);
}

void typeKeys(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        const auto key = Qt::Key(ch.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, widget, key, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, QString(ch), Qt::NoModifier);
    }
}

std::string cp(const char* utf8) {
    return cp::fromUtf8(utf8).value();
}

void writeUserList(const CourseFolder& course, const std::vector<const char*>& names) {
    QByteArray bytes;
    for (const char* n : names)
        bytes += QByteArray::fromStdString(cp(n)) + "\r\n";
    course.write(QStringLiteral("users"), bytes);
}

void storeRecord(const char* user, const std::vector<std::string>& grades) {
    store::Batch batch("\\users.ini");
    batch.write(cp(user), "password", "pw");
    for (std::size_t k = 0; k < grades.size(); ++k)
        batch.write(cp(user), "test" + std::to_string(k + 1), grades[k]);
    batch.commit();
}

void writeTest(const QString& testName, const std::vector<int>& rightAnswers, const std::string& count) {
    const std::string name = testName.toStdString();
    QFile::remove(QString::fromStdString(fsys::resolve(fsys::storePath(testing::testFileName(name)))));
    store::Batch batch(testing::testFileName(name));
    for (std::size_t i = 0; i < rightAnswers.size(); ++i) {
        const std::string section = std::to_string(i + 1);
        batch.write(section, "q", "Question " + section);
        for (int k = 1; k <= 5; ++k)
            batch.write(section, "a" + std::to_string(k),
                        std::string(1, char('A' + k - 1)) + ") answer " + std::to_string(k) + " of " +
                            section);
        batch.write(section, "ap", std::to_string(rightAnswers[i]));
    }
    batch.write("inf", "vsego", count.empty() ? std::to_string(rightAnswers.size()) : count);
    batch.commit();
}

ToolRun runTool(const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(kTool, args);
    if (!p.waitForFinished(timeoutMs))
        return {-1, {}, QStringLiteral("did not finish")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString lastBoxText() {
    const auto& boxes = ui::dialogs::shownBoxes();
    return boxes.isEmpty() ? QString() : boxes.back().text;
}

int boxCount() {
    return static_cast<int>(ui::dialogs::shownBoxes().size());
}

} // namespace ortavia::testsupport
