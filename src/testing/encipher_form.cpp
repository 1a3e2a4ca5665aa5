// The test encipher tool window.
#include "testing/encipher_form.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QTextEdit>

#include "course/course.h"
#include "store/error.h"
#include "store/fsys.h"
#include "testing/authoring.h"
#include "testing/notation.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/look.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

namespace enc = testing::encipher;

constexpr int kNotesShown = 10; // notes listed in the final message; the rest are counted

QString u(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QLineEdit* hiddenField(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setVisible(false);
    return e;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at, const QFont& font) {
    QLabel* l = makeLabel(parent, name, text, at.topLeft(), font, Qt::white);
    l->setGeometry(at);
    return l;
}

// The notes of a conversion for its final message.
QString notesText(const std::vector<enc::Note>& notes) {
    QString text;
    if (notes.empty())
        return text;
    text += QStringLiteral("\n\nЗамечания:");
    for (std::size_t i = 0; i < notes.size() && i < static_cast<std::size_t>(kNotesShown); ++i)
        text += QStringLiteral("\n• ") + QString::fromStdString(notes[i].text);
    if (notes.size() > static_cast<std::size_t>(kNotesShown))
        text += QStringLiteral("\n… и ещё %1.").arg(notes.size() - kNotesShown);
    return text;
}

} // namespace

TForm2::TForm2(TForm1* mainWindow, QWidget* parent) : QDialog(parent), main_(mainWindow) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Шифрование тестовых вопросов"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(560, 520);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, width(), height());
    look::setBackground(panel, look::kTeal);

    label(panel, "Label2", windowTitle(), {24, 14, 512, 28}, look::font(look::kSerif, 20, true));
    label(panel, "Label3", QStringLiteral("Название теста:"), {24, 52, 512, 20},
          look::font(look::kSansSerif, 13, true));
    Edit9 = new QLineEdit(u(enc::kNameHint), panel);
    Edit9->setObjectName(QStringLiteral("Edit9"));
    Edit9->setGeometry(24, 74, 512, 26);
    label(panel, "Label4", QStringLiteral("Файл вопросов:"), {24, 110, 512, 20},
          look::font(look::kSansSerif, 13, true));
    Edit10 = new QLineEdit(u(enc::kSourceHint), panel);
    Edit10->setObjectName(QStringLiteral("Edit10"));
    Edit10->setGeometry(24, 132, 512, 26);
    Edit10->setReadOnly(true); // chosen through the open-file dialog only
    Edit10->setCursor(Qt::PointingHandCursor);
    Edit10->installEventFilter(this);
    // The labels name their fields for a screen reader.
    findChild<QLabel*>(QStringLiteral("Label3"))->setBuddy(Edit9);
    findChild<QLabel*>(QStringLiteral("Label4"))->setBuddy(Edit10);

    Label1 = label(panel, "Label1", QStringLiteral("Номера вопросов"), {24, 172, 512, 24},
                   look::font(look::kSansSerif, 15, true));

    // Installing into the course: data/tests/testN.ini of the course folder, the previous file kept.
    CheckBox1 = new QCheckBox(QStringLiteral("Установить в курс как тест №"), panel);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setFont(look::font(look::kSansSerif, 13, true));
    CheckBox1->setGeometry(24, 208, 300, 26);
    QPalette white = CheckBox1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    CheckBox1->setPalette(white);
    SpinEdit1 = new QSpinBox(panel);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(1, 10);
    CheckBox1->resize(CheckBox1->sizeHint().width(), 26);
    SpinEdit1->setGeometry(24 + CheckBox1->width() + 8, 206, 70, 28); // right after its caption
    SpinEdit1->setAccessibleName(QStringLiteral("Номер теста"));
    SpinEdit1->setEnabled(false);
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
        SpinEdit1->setEnabled(on);
        Edit9->setEnabled(!on); // the installed test is named by its number
    });

    Button1 = new QPushButton(QStringLiteral("Зашифровать"), panel);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(24, 264, 160, 36);
    look::accent(Button1);
    Button2 = new QPushButton(QStringLiteral("Выход"), panel);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(376, 264, 160, 36);
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);

    // The last question converted, as the student will see it (formulas and figures typeset).
    label(panel, "Label5", QStringLiteral("Последний вопрос, как его увидит студент:"), {24, 314, 512, 20},
          look::font(look::kSansSerif, 13, true));
    MemoPreview = new QTextEdit(panel);
    MemoPreview->setObjectName(QStringLiteral("MemoPreview"));
    MemoPreview->setGeometry(24, 336, 512, 164);
    MemoPreview->setReadOnly(true);
    MemoPreview->setFont(look::font(look::kSerif, 15, false));
    findChild<QLabel*>(QStringLiteral("Label5"))->setBuddy(MemoPreview);

    // The working values, carried from one conversion to the next.
    Edit1 = hiddenField(panel, "Edit1");
    Edit2 = hiddenField(panel, "Edit2");
    Edit3 = hiddenField(panel, "Edit3");
    Edit4 = hiddenField(panel, "Edit4");
    Edit5 = hiddenField(panel, "Edit5");
    Edit6 = hiddenField(panel, "Edit6");
    Edit7 = hiddenField(panel, "Edit7");
    Edit8 = hiddenField(panel, "Edit8");
    showWorking();

    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
}

void TForm2::guarded(const std::function<void()>& handler) {
    dialogs::guarded(this, handler);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    guarded([this] { FormShow(); });
}

void TForm2::done(int result) {
    if (isVisible())
        guarded([this] { FormClose(); });
    QDialog::done(result);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit10) {
        const bool click = event->type() == QEvent::MouseButtonRelease &&
                           static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        const bool key =
            event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space ||
                                                  static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                                                  static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
        if (click || key) {
            guarded([this] { Edit10Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The folder is kept as the file system names it, so that a course folder whose path holds
// characters outside the code page comes back as well.
void TForm2::FormShow() {
    remembered_ = QDir::currentPath();
}

void TForm2::FormClose() {
    if (remembered_.isEmpty())
        return;
    if (!QDir::setCurrent(remembered_))
        throw Error("Не удалось вернуться в папку курса \"" + remembered_.toStdString() +
                    "\": главное окно не найдёт свои документы и тесты. Перезапустите программу.");
}

void TForm2::Edit10Click() {
    if (!main_->administratorSignedIn())
        return;
    const QString path = dialogs::openFile(this, QStringLiteral("Выберите файл вопросов"));
    if (!path.isEmpty())
        Edit10->setText(path);
}

void TForm2::Button1Click() {
    if (!main_->administratorSignedIn())
        return;
    if (CheckBox1->isChecked()) {
        const QString sourceText = Edit10->text();
        if (sourceText.isEmpty() || sourceText == u(enc::kSourceHint))
            throw Error("Файл вопросов не выбран: щёлкните по полю файла и выберите его.");
        installIntoCourse(tryFromQ(sourceText).value_or(fsys::rawPath(sourceText.toStdString())));
        return;
    }
    const std::optional<std::string> name = tryFromQ(Edit9->text());
    if (!name)
        throw Error("Название теста «" + Edit9->text().toStdString() +
                    "» содержит символы, которых нет в кодовой странице курса. Введите простое имя файла, "
                    "например Test1.");
    if (std::string why = enc::nameRefusal(*name); !why.empty())
        throw Error(why);
    const QString sourceText = Edit10->text();
    if (sourceText.isEmpty() || sourceText == u(enc::kSourceHint))
        throw Error("Файл вопросов не выбран: щёлкните по полю файла и выберите его.");
    // The dialog's path is the file system's own: a folder the code page cannot hold ("café") is
    // handed on as it is.
    const std::string source = tryFromQ(sourceText).value_or(fsys::rawPath(sourceText.toStdString()));

    const enc::Outcome out = enc::encipherFile(source, *name, working_);
    showWorking();
    Label1->setText(QStringLiteral("Вопрос №%1").arg(out.result.questions));

    QString text = QStringLiteral("Создание тестов успешно завершено.\n\nВопросов: %1.\nФайл теста: %2")
                       .arg(out.result.questions)
                       .arg(QString::fromStdString(out.outputPath));
    text += notesText(out.result.notes);
    dialogs::information(this, text);
}

void TForm2::installIntoCourse(const std::string& source) {
    namespace au = testing::authoring;
    // The source is read here, where the file dialog has left the current directory; what it makes is
    // then installed into the course, in this order: the figures, the tests folder, the test file.
    std::vector<std::string> lines;
    try {
        lines = au::readSource(source);
    } catch (const Error&) {
        // The conversion below names what is wrong with the source.
    }
    const std::vector<au::Figure> figures = au::figuresBeside(source, lines);
    const std::string sourceFolder = au::sourceFolderOf(source);
    std::optional<au::Enciphered> enciphered;
    std::exception_ptr refused;
    try {
        enciphered = au::encipherForInstall(source, working_);
    } catch (const Error&) {
        refused = std::current_exception();
    }
    // The course folder is the one the window was opened in; the tool's own files go on being written
    // where the dialog has moved the current directory.
    const QString moved = QDir::currentPath();
    if (!remembered_.isEmpty())
        QDir::setCurrent(remembered_);
    const auto back = qScopeGuard([&moved] { QDir::setCurrent(moved); });
    course::Course& course = main_->course();
    course.installFigures(figures, sourceFolder);
    course.testFile(SpinEdit1->value()); // a course without its tests folder is named first
    if (refused)
        std::rethrow_exception(refused);
    const course::Installed out = course.installTestFile(SpinEdit1->value(), enciphered->content);
    working_ = std::move(enciphered->next);
    showWorking();
    Label1->setText(QStringLiteral("Вопрос №%1").arg(enciphered->result.questions));
    QString text =
        QStringLiteral("Создание тестов успешно завершено.\n\nВопросов: %1.\nТест установлен в курс: %2")
            .arg(enciphered->result.questions)
            .arg(QString::fromStdString(out.path));
    if (!out.backup.empty())
        text += QStringLiteral("\nПрежний файл сохранён как %1").arg(QString::fromStdString(out.backup));
    text += notesText(enciphered->result.notes);
    dialogs::information(this, text);
}

void TForm2::Button2Click() {
    close();
}

void TForm2::showWorking() {
    Edit1->setText(toQ(working_.question));
    QLineEdit* answers[] = {Edit2, Edit3, Edit4, Edit5, Edit6};
    for (std::size_t k = 0; k < 5; ++k)
        answers[k]->setText(toQ(working_.answers[k]));
    Edit7->setText(toQ(working_.right));
    Edit8->setText(toQ(working_.number));
    // The preview: figures from beside the source file, where the install takes them from.
    const QString folder = QFileInfo(Edit10->text()).absolutePath();
    const testing::notation::FigureBox box{QSize(440, 240), 1};
    QString html = testing::notation::toRichText(toQ(working_.question), folder, box);
    for (std::size_t k = 0; k < 5; ++k)
        if (!working_.answers[k].empty())
            html += testing::notation::toRichText(
                (working_.right == std::to_string(k + 1) ? QStringLiteral("✓ ") : QString()) +
                    toQ(working_.answers[k]),
                folder, box);
    MemoPreview->setHtml(html);
}

} // namespace ortavia::ui
