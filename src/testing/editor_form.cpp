// The test editor window.
#include "testing/editor_form.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "course/course.h"
#include "reports/report_form.h"
#include "store/error.h"
#include "store/fsys.h"
#include "testing/notation.h"
#include "ui/components.h"
#include "ui/design.h"
#include "ui/dialogs.h"
#include "ui/formula.h"
#include "ui/look.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

namespace ed = testing::editor;
namespace au = testing::authoring;

// The window's design size at 96 dpi; a smaller display gets it scaled down.
constexpr QSize kDesign(1000, 700);
constexpr int kListStart = 60; // characters of a question's text shown in the list

const au::Format kFormats[] = {au::Format::Plain, au::Format::Aiken, au::Format::Gift};

// A text of a question as the test screen shows it, as rich text for a label, and the mistakes
// found in writing it. Every text of the preview passes through here and nowhere else: typeset by
// the question notation (figures of the course, kept small), the notation's mistakes named.
struct Shown {
    QString richText;
    QStringList mistakes;
};
Shown previewMarkup(const QString& text) {
    Shown shown{testing::notation::toRichText(text, ui::formula::courseFigures(), {QSize(320, 160), 1}), {}};
    for (const testing::notation::Problem& p : testing::notation::problems(text))
        shown.mistakes << QStringLiteral("Формула, позиция %1: %2").arg(QString::number(p.column), p.text);
    return shown;
}

QString u(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString letter(int k) {
    return QString(QChar(u'A' + k));
}

// A text of the preview: rich text, wrapped, of a fixed height (like the test screen's boxes), so
// that typing changes its content and nothing around it.
QTextEdit* previewBox(QWidget* parent, const QString& name, int pixels, int lines) {
    auto* box = new QTextEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFrameShape(QFrame::NoFrame);
    box->setFont(look::font(look::kSerif, pixels, false));
    box->viewport()->setAutoFillBackground(false);
    box->setFixedHeight(QFontMetrics(box->font()).lineSpacing() * lines + 8);
    return box;
}

// The keyboard's order through the controls, one after the other.
void tabChain(std::initializer_list<QWidget*> chain) {
    for (auto it = chain.begin(); it + 1 != chain.end(); ++it)
        QWidget::setTabOrder(*it, *(it + 1));
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& hint = {}) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

QLabel* caption(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

enum class Key { Other, Undo, Redo };
Key undoKey(const QKeyEvent* e) {
    const QKeyCombination k = e->keyCombination();
    if (k == QKeyCombination(Qt::ControlModifier, Qt::Key_Z))
        return Key::Undo;
    if (k == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z) ||
        k == QKeyCombination(Qt::ControlModifier, Qt::Key_Y))
        return Key::Redo;
    return Key::Other;
}

} // namespace

TestEditor::TestEditor(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), main_(qobject_cast<TForm1*>(mainWindow)),
      course_(QDir::currentPath()) {
    setObjectName(QStringLiteral("TestEditor"));
    designFont_ = font();
    build();
    buildShortcuts();
    doc_.changed = [this](const ed::Change& c) { changed(c); };
    if (main_)
        main_->installEventFilter(this);
    opened({}, 0, QStringLiteral("новый тест"));
    fitToScreen();
}

TestEditor::~TestEditor() {
    doc_.changed = nullptr;
}

TestEditor* TestEditor::open(TForm1* mainWindow) {
    return openOwnWindow<TestEditor>(mainWindow, QStringLiteral("TestEditor"), [](TestEditor&) {});
}

void TForm1::NEditorClick() {
    if (!administratorSignedIn())
        return;
    TestEditor::open(this);
}

// ---------------------------------------------------------------------------------------------
// The window

void TestEditor::build() {
    // What to open, and the search.
    SpinTest = new QSpinBox(this);
    SpinTest->setObjectName(QStringLiteral("SpinTest"));
    SpinTest->setRange(1, 10);
    SpinTest->setAccessibleName(QStringLiteral("Номер теста"));
    ButtonOpen = button(this, "ButtonOpen", QStringLiteral("Открыть тест"),
                        QStringLiteral("Открыть тест курса с номером из поля «Тест №» (Ctrl+O)"));
    ButtonImport = button(this, "ButtonImport", QStringLiteral("Открыть файл вопросов…"),
                          QStringLiteral("Простой формат, Aiken или GIFT; UTF-8, UTF-16 или Windows-1251"));
    ButtonNew = button(this, "ButtonNew", QStringLiteral("Новый тест"));
    EditFind = new QLineEdit(this);
    EditFind->setObjectName(QStringLiteral("EditFind"));
    EditFind->setPlaceholderText(QStringLiteral("Найти в текстах (Ctrl+F)"));
    EditFind->setAccessibleName(QStringLiteral("Найти в текстах вопросов и ответов"));
    ButtonFind = button(this, "ButtonFind", QStringLiteral("Найти далее"),
                        QStringLiteral("Следующий вопрос с этим текстом (F3)"));
    auto* top = new QHBoxLayout;
    top->addWidget(caption(this, QStringLiteral("Тест №"), SpinTest));
    top->addWidget(SpinTest);
    top->addWidget(ButtonOpen);
    top->addWidget(ButtonImport);
    top->addWidget(ButtonNew);
    top->addStretch(1);

    // The questions.
    ListQuestions = new QListWidget(this);
    ListQuestions->setObjectName(QStringLiteral("ListQuestions"));
    ListQuestions->setUniformItemSizes(true);
    ListQuestions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListQuestions->setTextElideMode(Qt::ElideRight);
    ListQuestions->setMinimumWidth(160);
    ListQuestions->setAccessibleName(QStringLiteral("Вопросы теста"));
    ButtonAdd = button(this, "ButtonAdd", QStringLiteral("Добавить"),
                       QStringLiteral("Новый вопрос после выбранного (Ctrl+N)"));
    ButtonDuplicate = button(this, "ButtonDuplicate", QStringLiteral("Копия"),
                             QStringLiteral("Копия выбранного вопроса после него (Ctrl+D)"));
    ButtonDelete = button(this, "ButtonDelete", QStringLiteral("Удалить"),
                          QStringLiteral("Удалить выбранный вопрос (Delete в списке)"));
    ButtonUp = button(this, "ButtonUp", QStringLiteral("Выше"), QStringLiteral("Переставить выше (Alt+↑)"));
    ButtonDown =
        button(this, "ButtonDown", QStringLiteral("Ниже"), QStringLiteral("Переставить ниже (Alt+↓)"));
    ButtonUndo = button(this, "ButtonUndo", QStringLiteral("Отменить"), QStringLiteral("Ctrl+Z"));
    ButtonRedo = button(this, "ButtonRedo", QStringLiteral("Вернуть"), QStringLiteral("Ctrl+Shift+Z"));
    auto* listButtons = new QGridLayout;
    listButtons->addWidget(ButtonAdd, 0, 0);
    listButtons->addWidget(ButtonDuplicate, 0, 1);
    listButtons->addWidget(ButtonDelete, 0, 2);
    listButtons->addWidget(ButtonUp, 1, 0);
    listButtons->addWidget(ButtonDown, 1, 1);
    listButtons->addWidget(ButtonUndo, 2, 0);
    listButtons->addWidget(ButtonRedo, 2, 1);
    auto* left = new QVBoxLayout;
    left->addWidget(caption(this, QStringLiteral("Вопросы (не готовые отмечены «(!)»):"), ListQuestions));
    left->addWidget(ListQuestions, 1);
    left->addLayout(listButtons);
    auto* find = new QHBoxLayout;
    find->addWidget(EditFind, 1);
    find->addWidget(ButtonFind);
    left->addLayout(find);

    // The chosen question.
    MemoQuestion = new QPlainTextEdit(this);
    MemoQuestion->setObjectName(QStringLiteral("MemoQuestion"));
    MemoQuestion->setTabChangesFocus(true);
    MemoQuestion->setUndoRedoEnabled(false); // the window's history undoes every change
    MemoQuestion->setMinimumHeight(48);
    MemoQuestion->setMaximumHeight(96);
    MemoQuestion->installEventFilter(this);
    rightGroup_ = new QButtonGroup(this);
    auto* answers = new QGridLayout;
    for (int k = 0; k < ed::kAnswers; ++k) {
        auto* radio = new QRadioButton(letter(k) + QLatin1Char(')'), this);
        radio->setObjectName(QStringLiteral("RadioRight%1").arg(k + 1));
        radio->setAccessibleName(QStringLiteral("Правильный ответ %1").arg(letter(k)));
        rightGroup_->addButton(radio, k);
        RadioRight[static_cast<std::size_t>(k)] = radio;
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("EditAnswer%1").arg(k + 1));
        edit->setAccessibleName(QStringLiteral("Ответ %1").arg(letter(k)));
        edit->installEventFilter(this);
        EditAnswer[static_cast<std::size_t>(k)] = edit;
        answers->addWidget(radio, k, 0);
        answers->addWidget(edit, k, 1);
        connect(edit, &QLineEdit::textEdited, this, [this, k](const QString& text) { edited(k + 1, text); });
    }
    connect(MemoQuestion, &QPlainTextEdit::textChanged, this, [this] {
        if (!filling_)
            edited(ed::kText, MemoQuestion->toPlainText());
    });
    connect(rightGroup_, &QButtonGroup::idClicked, this, [this](int k) {
        if (allowed() && current_ >= 0)
            doc_.setRight(current_, k);
    });
    LabelProblems = new QLabel(this);
    LabelProblems->setObjectName(QStringLiteral("LabelProblems"));
    LabelProblems->setTextFormat(Qt::PlainText);
    LabelProblems->setWordWrap(true);

    PanelPreview = new QFrame;
    PanelPreview->setObjectName(QStringLiteral("PanelPreview"));
    PanelPreview->setAccessibleName(QStringLiteral("Как вопрос увидит студент"));
    look::setBackground(PanelPreview, look::kSkyBlue);
    auto* preview = new QGridLayout(PanelPreview);
    auto* questionCaption = new QLabel(QStringLiteral("Вопрос:"), PanelPreview);
    questionCaption->setFont(look::font(look::kSerif, 16, true));
    PreviewQuestion = previewBox(PanelPreview, QStringLiteral("PreviewQuestion"), 15, 4);
    preview->addWidget(questionCaption, 0, 0, 1, 2);
    preview->addWidget(PreviewQuestion, 1, 0, 1, 2);
    for (int k = 0; k < ed::kAnswers; ++k) {
        auto* l = new QLabel(letter(k), PanelPreview);
        l->setObjectName(QStringLiteral("PreviewLetter%1").arg(k + 1));
        l->setFont(look::font(look::kSerif, 18, true));
        auto* a = previewBox(PanelPreview, QStringLiteral("PreviewAnswer%1").arg(k + 1), 14, 2);
        PreviewLetter[static_cast<std::size_t>(k)] = l;
        PreviewAnswer[static_cast<std::size_t>(k)] = a;
        preview->addWidget(l, k + 2, 0, Qt::AlignTop);
        preview->addWidget(a, k + 2, 1);
    }
    preview->setColumnStretch(1, 1);
    preview->setVerticalSpacing(2);
    preview->setRowStretch(ed::kAnswers + 2, 1);
    auto* previewScroll = new QScrollArea(this);
    previewScroll->setObjectName(QStringLiteral("ScrollPreview"));
    previewScroll->setWidget(PanelPreview);
    previewScroll->setWidgetResizable(true);
    previewScroll->setFocusPolicy(Qt::NoFocus);
    previewScroll->setMinimumHeight(120);

    auto* right = new QVBoxLayout;
    right->addWidget(caption(this, QStringLiteral("Текст вопроса:"), MemoQuestion));
    right->addWidget(MemoQuestion);
    right->addWidget(new QLabel(QStringLiteral("Ответы (от двух до пяти; правильный отмечен):"), this));
    right->addLayout(answers);
    right->addWidget(LabelProblems);
    right->addWidget(new QLabel(QStringLiteral("Как увидит студент:"), this));
    right->addWidget(previewScroll, 1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 2);
    middle->addLayout(right, 3);

    // Saving.
    LabelStatus = new QLabel(this);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setTextFormat(Qt::PlainText);
    ButtonSave = button(
        this, "ButtonSave", QString(),
        QStringLiteral("Записать как data/tests/testN.ini курса; прежний файл — testN.ini.bak (Ctrl+S)"));
    look::accent(ButtonSave);
    ComboFormat = new QComboBox(this);
    ComboFormat->setObjectName(QStringLiteral("ComboFormat"));
    ComboFormat->addItems(
        {QStringLiteral("простой формат"), QStringLiteral("Aiken"), QStringLiteral("GIFT")});
    ComboFormat->setAccessibleName(QStringLiteral("Формат выгрузки"));
    ButtonExport = button(this, "ButtonExport", QStringLiteral("Выгрузить…"),
                          QStringLiteral("Записать вопросы в файл выбранного формата (UTF-8)"));
    ButtonClose = button(this, "ButtonClose", QStringLiteral("Закрыть"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelStatus, 1);
    bottom->addWidget(ButtonSave);
    bottom->addWidget(ComboFormat);
    bottom->addWidget(ButtonExport);
    bottom->addWidget(ButtonClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);

    const auto saveCaption = [this](int n) {
        ButtonSave->setText(QStringLiteral("Сохранить как тест №%1").arg(n));
    };
    saveCaption(SpinTest->value());
    connect(SpinTest, &QSpinBox::valueChanged, this, saveCaption);

    const std::pair<QPushButton*, void (TestEditor::*)()> commands[] = {
        {ButtonOpen, &TestEditor::ButtonOpenClick},
        {ButtonImport, &TestEditor::ButtonImportClick},
        {ButtonNew, &TestEditor::ButtonNewClick},
        {ButtonAdd, &TestEditor::ButtonAddClick},
        {ButtonDuplicate, &TestEditor::ButtonDuplicateClick},
        {ButtonDelete, &TestEditor::ButtonDeleteClick},
        {ButtonUp, &TestEditor::ButtonUpClick},
        {ButtonDown, &TestEditor::ButtonDownClick},
        {ButtonFind, &TestEditor::ButtonFindClick},
        {ButtonSave, &TestEditor::ButtonSaveClick},
        {ButtonExport, &TestEditor::ButtonExportClick},
        {ButtonUndo, &TestEditor::Undo},
        {ButtonRedo, &TestEditor::Redo},
    };
    for (const auto& [b, command] : commands)
        connect(b, &QPushButton::clicked, this, [this, command] { guarded(command); });
    connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
    connect(EditFind, &QLineEdit::returnPressed, this, [this] { guarded(&TestEditor::ButtonFindClick); });
    connect(ListQuestions, &QListWidget::currentRowChanged, this, [this](int row) {
        current_ = row;
        showQuestion(row);
        showState();
    });
    ListQuestions->installEventFilter(this);

    tabChain({SpinTest, ButtonOpen, ButtonImport, ButtonNew, ListQuestions, ButtonAdd, ButtonDuplicate,
              ButtonDelete, ButtonUp, ButtonDown, ButtonUndo, ButtonRedo, EditFind, ButtonFind,
              MemoQuestion});
    // The answers one after the other, then the choice of the right one (Tab reaches the group at
    // its chosen answer, the arrow keys choose another).
    QWidget* previous = MemoQuestion;
    for (QWidget* w : EditAnswer) {
        setTabOrder(previous, w);
        previous = w;
    }
    for (QWidget* w : RadioRight) {
        setTabOrder(previous, w);
        previous = w;
    }
    tabChain({previous, ButtonSave, ComboFormat, ButtonExport, ButtonClose});
}

void TestEditor::buildShortcuts() {
    const std::pair<QKeySequence, void (TestEditor::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &TestEditor::Undo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TestEditor::Redo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), &TestEditor::Redo},
        {QKeySequence(Qt::CTRL | Qt::Key_O), &TestEditor::ButtonOpenClick},
        {QKeySequence(Qt::CTRL | Qt::Key_S), &TestEditor::ButtonSaveClick},
        {QKeySequence(Qt::CTRL | Qt::Key_N), &TestEditor::ButtonAddClick},
        {QKeySequence(Qt::CTRL | Qt::Key_D), &TestEditor::ButtonDuplicateClick},
        {QKeySequence(Qt::ALT | Qt::Key_Up), &TestEditor::ButtonUpClick},
        {QKeySequence(Qt::ALT | Qt::Key_Down), &TestEditor::ButtonDownClick},
        {QKeySequence(Qt::Key_F3), &TestEditor::ButtonFindClick},
    };
    for (const auto& [sequence, command] : keys) {
        auto* s = new QShortcut(sequence, this);
        connect(s, &QShortcut::activated, this, [this, command] { guarded(command); });
    }
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        EditFind->setFocus();
        EditFind->selectAll();
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void TestEditor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        fitToScreen(); // again, now that the window manager's frame is known
    }
}

void TestEditor::fitToScreen() {
    const double s = design::fitScale(kDesign, design::clientRoom(this));
    setFont(design::scaled(designFont_, s));
    resize(design::scaled(kDesign, s));
    design::centre(this);
}

bool TestEditor::allowed() const {
    return main_ && main_->administratorSignedIn();
}

void TestEditor::guarded(void (TestEditor::*command)()) {
    dialogs::guarded(this, [this, command] { (this->*command)(); });
}

// ---------------------------------------------------------------------------------------------
// Showing the document

void TestEditor::opened(std::vector<ed::Question> questions, int test, const QString& name) {
    openedTest_ = test;
    openedName_ = name;
    if (test > 0)
        SpinTest->setValue(test);
    doc_.reset(std::move(questions));
}

void TestEditor::changed(const ed::Change& c) {
    if (c.structure) {
        refillList();
        select(c.question);
    } else {
        showListItem(c.question);
        if (c.question != current_)
            select(c.question);
        else
            showQuestion(current_);
    }
    showState();
}

void TestEditor::refillList() {
    const QSignalBlocker block(ListQuestions);
    while (ListQuestions->count() > doc_.size())
        delete ListQuestions->takeItem(ListQuestions->count() - 1);
    while (ListQuestions->count() < doc_.size())
        ListQuestions->addItem(QString());
    for (int i = 0; i < doc_.size(); ++i)
        showListItem(i);
}

void TestEditor::showListItem(int i) {
    QListWidgetItem* item = ListQuestions->item(i);
    if (!item)
        return;
    QString start = u(doc_.at(i).text).simplified();
    if (start.size() > kListStart)
        start = start.left(kListStart) + QStringLiteral("…");
    if (start.isEmpty())
        start = QStringLiteral("(нет текста)");
    const bool complete = doc_.complete(i);
    item->setText(
        QStringLiteral("%1. %2%3").arg(i + 1).arg(complete ? QString() : QStringLiteral("(!) "), start));
    item->setForeground(complete ? palette().text() : QBrush(look::kWarn));
    item->setData(Qt::AccessibleTextRole,
                  QStringLiteral("Вопрос %1%2: %3")
                      .arg(i + 1)
                      .arg(complete ? QString() : QStringLiteral(", не готов"), start));
}

void TestEditor::select(int i) {
    current_ = i;
    {
        const QSignalBlocker block(ListQuestions);
        ListQuestions->setCurrentRow(i);
    }
    showQuestion(i);
}

void TestEditor::showQuestion(int i) {
    const bool any = i >= 0 && i < doc_.size();
    const ed::Question empty;
    const ed::Question& q = any ? doc_.at(i) : empty;
    filling_ = true;
    MemoQuestion->setEnabled(any);
    if (MemoQuestion->toPlainText() != u(q.text))
        MemoQuestion->setPlainText(u(q.text));
    for (std::size_t k = 0; k < ed::kAnswers; ++k) {
        EditAnswer[k]->setEnabled(any);
        RadioRight[k]->setEnabled(any);
        if (EditAnswer[k]->text() != u(q.answers[k]))
            EditAnswer[k]->setText(u(q.answers[k]));
    }
    rightGroup_->setExclusive(false); // "no right answer" is a state of its own
    for (std::size_t k = 0; k < ed::kAnswers; ++k)
        RadioRight[k]->setChecked(static_cast<int>(k) == q.right);
    rightGroup_->setExclusive(true);
    filling_ = false;
    showChecks();
}

// The problems of the chosen question and its preview, as typed.
void TestEditor::showChecks() {
    const bool any = current_ >= 0 && current_ < doc_.size();
    QStringList lines;
    const auto shown = [&lines](const QString& text) {
        Shown s = previewMarkup(text);
        lines += s.mistakes;
        return s.richText;
    };
    if (!any) {
        PreviewQuestion->clear();
        for (std::size_t k = 0; k < ed::kAnswers; ++k) {
            PreviewLetter[k]->hide();
            PreviewAnswer[k]->hide();
        }
        LabelProblems->setText(QStringLiteral("В тесте нет вопросов: добавьте первый (Ctrl+N)."));
        return;
    }
    const ed::Question& q = doc_.at(current_);
    for (const std::string& p : ed::problems(q))
        lines << u(p);
    PreviewQuestion->setHtml(shown(u(q.text)));
    // The test screen shows the answers a question has, lettered in order.
    std::size_t place = 0;
    for (std::size_t k = 0; k < ed::kAnswers; ++k) {
        const QString a = u(q.answers[k]).trimmed();
        if (a.isEmpty())
            continue;
        PreviewLetter[place]->setText(letter(static_cast<int>(place)));
        PreviewAnswer[place]->setHtml(shown(letter(static_cast<int>(place)) + QStringLiteral(") ") + a));
        ++place;
    }
    for (std::size_t k = 0; k < ed::kAnswers; ++k) {
        PreviewLetter[k]->setVisible(k < place);
        PreviewAnswer[k]->setVisible(k < place);
    }
    QPalette p = LabelProblems->palette();
    p.setColor(QPalette::WindowText, lines.isEmpty() ? look::kMuted : look::kWarn);
    LabelProblems->setPalette(p);
    LabelProblems->setText(lines.isEmpty() ? QStringLiteral("Вопрос готов.") : lines.join(QLatin1Char('\n')));
}

void TestEditor::showState() {
    const bool any = current_ >= 0 && current_ < doc_.size();
    setWindowTitle(QStringLiteral("Редактор тестов — %1%2")
                       .arg(openedName_, doc_.modified() ? QStringLiteral(" *") : QString()));
    LabelStatus->setText(
        QStringLiteral("Вопросов: %1, не готово: %2.").arg(doc_.size()).arg(doc_.incompleteCount()));
    ButtonDuplicate->setEnabled(any);
    ButtonDelete->setEnabled(any);
    ButtonUp->setEnabled(any && current_ > 0);
    ButtonDown->setEnabled(any && current_ + 1 < doc_.size());
    ButtonUndo->setEnabled(doc_.history().canUndo());
    ButtonRedo->setEnabled(doc_.history().canRedo());
}

// ---------------------------------------------------------------------------------------------
// Typing

void TestEditor::edited(int field, const QString& text) {
    if (!allowed() || current_ < 0)
        return;
    doc_.setField(current_, field, text.toStdString());
}

bool TestEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == main_ && event->type() == QEvent::Close && isVisible() && doc_.modified()) {
        // The program is being left: the editor's changes are asked about first.
        if (!mayDrop(QStringLiteral("Выйти из программы без сохранения?"))) {
            event->ignore();
            return true;
        }
        return false;
    }
    const bool text = watched == MemoQuestion ||
                      std::find(EditAnswer.begin(), EditAnswer.end(), watched) != EditAnswer.end();
    if (text && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        // The fields' own undo would undo behind the window's history: their keys go to it.
        auto* key = static_cast<QKeyEvent*>(event);
        const Key k = undoKey(key);
        if (k != Key::Other) {
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            else
                guarded(k == Key::Undo ? &TestEditor::Undo : &TestEditor::Redo);
            return true;
        }
        // A question is one line: Enter goes on to the answers.
        if (watched == MemoQuestion && event->type() == QEvent::KeyPress &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            focusNextChild();
            return true;
        }
    }
    if (watched == ListQuestions && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        guarded(&TestEditor::ButtonDeleteClick);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Commands

bool TestEditor::mayDrop(const QString& what) {
    if (!doc_.modified())
        return true;
    return dialogs::warningOkCancel(this,
                                    QStringLiteral("В редакторе тестов есть несохранённые изменения (%1). %2")
                                        .arg(openedName_, what),
                                    Answer::Cancel) == Answer::Ok;
}

void TestEditor::closeEvent(QCloseEvent* event) {
    if (mayDrop(QStringLiteral("Закрыть редактор без сохранения?")))
        event->accept();
    else
        event->ignore();
}

void TestEditor::ButtonOpenClick() {
    if (!allowed())
        return;
    const int n = SpinTest->value();
    if (!mayDrop(QStringLiteral("Открыть тест №%1 без сохранения?").arg(n)))
        return;
    opened(ed::questionsOf(main_->course().testItems(n)), n, QStringLiteral("тест №%1").arg(n));
}

void TestEditor::ButtonImportClick() {
    if (!allowed() || !mayDrop(QStringLiteral("Открыть файл вопросов без сохранения?")))
        return;
    const QString path =
        dialogs::openFile(this, QStringLiteral("Выберите файл вопросов (простой формат, Aiken, GIFT)"));
    // The dialog moves the current directory; the course's relative paths need it back.
    QDir::setCurrent(course_);
    if (path.isEmpty())
        return;
    opened(ed::openSource(tryFromQ(path).value_or(fsys::rawPath(path.toStdString()))), 0,
           QFileInfo(path).fileName());
}

void TestEditor::ButtonNewClick() {
    if (!allowed() || !mayDrop(QStringLiteral("Начать новый тест без сохранения?")))
        return;
    opened({}, 0, QStringLiteral("новый тест"));
}

void TestEditor::ButtonAddClick() {
    if (!allowed())
        return;
    doc_.insert(current_ + 1);
    MemoQuestion->setFocus();
}

void TestEditor::ButtonDuplicateClick() {
    if (allowed() && current_ >= 0)
        doc_.duplicate(current_);
}

void TestEditor::ButtonDeleteClick() {
    if (allowed() && current_ >= 0)
        doc_.remove(current_);
}

void TestEditor::ButtonUpClick() {
    if (allowed() && current_ >= 0)
        doc_.move(current_, current_ - 1);
}

void TestEditor::ButtonDownClick() {
    if (allowed() && current_ >= 0)
        doc_.move(current_, current_ + 1);
}

void TestEditor::Undo() {
    if (allowed())
        doc_.undo();
    showState();
}

void TestEditor::Redo() {
    if (allowed())
        doc_.redo();
    showState();
}

void TestEditor::ButtonFindClick() {
    if (!allowed())
        return;
    const QString text = EditFind->text();
    if (text.isEmpty()) {
        EditFind->setFocus();
        return;
    }
    const int i = doc_.find(text.toStdString(), current_);
    if (i < 0) {
        LabelStatus->setText(QStringLiteral("«%1» не найдено.").arg(text));
        return;
    }
    select(i);
    showState();
}

void TestEditor::ButtonSaveClick() {
    if (!allowed())
        return;
    doc_.items(); // what keeps the test from being saved is named before anything is asked
    const int n = SpinTest->value();
    course::Course& course = main_->course();
    const course::TestFile file = course.testFile(n);
    const QString shown = u(file.shown);
    if (n != openedTest_ && file.installed &&
        dialogs::warningOkCancel(
            this,
            QStringLiteral("Заменить тест №%1 (%2)? Прежний файл останется рядом как test%1.ini.bak.")
                .arg(n)
                .arg(shown),
            Answer::Cancel) != Answer::Ok)
        return;
    const std::string backup = course.installTestFile(n, au::testFileContent(doc_.items())).backup;
    doc_.markSaved();
    openedTest_ = n;
    openedName_ = QStringLiteral("тест №%1").arg(n);
    showState();
    QString text = QStringLiteral("Тест №%1 сохранён: %2, вопросов: %3.").arg(n).arg(shown).arg(doc_.size());
    if (!backup.empty())
        text += QStringLiteral("\nПрежний файл сохранён как %1.").arg(u(backup));
    dialogs::information(this, text);
}

void TestEditor::ButtonExportClick() {
    if (!allowed())
        return;
    doc_.items();
    const au::Format format = kFormats[std::clamp(ComboFormat->currentIndex(), 0, 2)];
    const bool gift = format == au::Format::Gift;
    const QString base =
        openedTest_ > 0 ? QStringLiteral("test%1").arg(openedTest_) : QStringLiteral("questions");
    const QString path = savefile::ask(
        this, QStringLiteral("Выгрузить вопросы"),
        QDir(course_).filePath(base + (gift ? QStringLiteral(".gift") : QStringLiteral(".txt"))),
        gift ? QStringLiteral("GIFT (*.gift *.txt)") : QStringLiteral("Текст (*.txt)"));
    if (path.isEmpty())
        return;
    ed::exportTo(doc_, tryFromQ(path).value_or(fsys::rawPath(path.toStdString())), format);
    doc_.markSaved();
    showState();
    dialogs::information(this,
                         QStringLiteral("Вопросы выгружены: %1, вопросов: %2.").arg(path).arg(doc_.size()));
}

} // namespace ortavia::ui
