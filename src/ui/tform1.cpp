#include "ui/tform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgWidget>
#include <QTextEdit>
#include <QWebEngineView>
#include <memory>

#include "course/course.h"
#include "docs/catalogue.h"
#include "reports/report_form.h"
#include "store/error.h"
#include "store/store.h"
#include "testing/encipher_form.h"
#include "ui/announce.h"
#include "ui/answer_button.h"
#include "ui/components.h"
#include "ui/design.h"
#include "ui/dialogs.h"
#include "ui/formula.h"
#include "ui/info_windows.h"
#include "ui/look.h"
#include "ui/question_area.h"
#include "ui/text.h"

namespace ortavia::ui {
namespace {

// The window at its design size, and its client area below the menu that the fixed screens are
// laid out in; the screens themselves take up a little less.
constexpr QSize kWindowDesign(926, 760);
constexpr QSize kClientDesign(926, 740);
constexpr QSize kScreensDesign(921, 737);
// Below this the screens would be too small to read.
constexpr QSize kSmallestWindow(640, 480);

// Keeps the document viewer panel over the whole client area, and the fixed screens whole in it:
// at their design where there is room (centred where there is more), scaled down where there is
// less.
class ClientArea : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* filler = nullptr;
    std::unique_ptr<design::Layout> screens;
    QuestionArea* question = nullptr; // laid out by itself at the screens' scale

    void placeScreens() {
        if (filler)
            filler->setGeometry(rect());
        if (!screens)
            return;
        // The design client area stands in the middle of the real one; the screens are scaled so
        // that they fit whole.
        const double s = design::fitScale(kScreensDesign, size());
        const QSize area = design::scaled(kClientDesign, s);
        screens->apply(
            s, {std::max(0, (width() - area.width()) / 2), std::max(0, (height() - area.height()) / 2)});
        if (question)
            question->setScale(s);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        placeScreens();
    }
};

QFrame* makePanel(QWidget* parent, const char* name, const QColor& colour, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    look::setBackground(panel, colour);
    panel->setGeometry(geometry);
    return panel;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, QRect geometry, bool masked = false) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(geometry);
    edit->setFont(look::font(look::kSansSerif, 16, false));
    if (masked)
        look::maskWithStars(edit);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                        const QFont& font) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

TForm1::TForm1(course::Course& course, QWidget* parent) : QMainWindow(parent), course_(course) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ортавия"));
    setWindowIcon(QIcon(QStringLiteral(":/ortavia/icon.svg")));
    setFont(look::font(look::kSansSerif, 11, false));
    buildPanels();
    buildMenu();
    // The outer size is 942 x 819 with a Windows frame; the client area below the menu is what
    // the stacked screens need. A smaller display gets a smaller window (see showEvent).
    resize(kWindowDesign);
    formula::setCourseFigures([this] { return course_.figureFolder(); });
    FormCreate();
}

TForm1::~TForm1() {
    formula::setCourseFigures({});
}

void TForm1::setWindows(TForm2* form2, TOKRightDlg* about, TOKRightDlg1* reportDialog, TForm5* authors) {
    form2_ = form2;
    about_ = about;
    reportDialog_ = reportDialog;
    authors_ = authors;
}

std::array<std::uint8_t, 12> TForm1::grades() const {
    return course_.grades();
}

void TForm1::crypt(const std::string& text, int key, std::string& out) {
    store::crypt(text, key, out);
}

void TForm1::guarded(const std::function<void()>& handler) {
    dialogs::guarded(this, handler);
}

QAction* TForm1::action(const char* name) const {
    return findComponentAs<QAction>(this, QString::fromLatin1(name));
}

void TForm1::showPanels(std::initializer_list<QWidget*> show, std::initializer_list<QWidget*> hide) {
    for (QWidget* w : show)
        w->setVisible(true);
    for (QWidget* w : hide)
        w->setVisible(false);
    enableSeenScreenOnly();
    leaveRunIfLeft();
}

QWidget* TForm1::seenScreen() const {
    for (QWidget* w : {Panel4, Panel7, Panel6, Panel1, Panel3, Panel2})
        if (w->isVisibleTo(this))
            return w;
    return nullptr;
}

void TForm1::enableSeenScreenOnly() {
    // A hidden or covered screen takes no input: its controls are out of reach of scripts and
    // assistive tools as well as of the mouse, which would otherwise act on them unseen.
    QWidget* seen = seenScreen();
    for (QWidget* w : {Panel2, Panel3, Panel1, Panel6, Panel7, Panel4})
        w->setEnabled(w == seen);
}

// ---------------------------------------------------------------------------------------------
// Screens

void TForm1::buildPanels() {
    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    const QRect screen(0, 0, 920, 737);

    // Created bottom to top: a later sibling lies above an earlier one.
    Panel2 = makePanel(client, "Panel2", look::kTeal, QRect(0, -8, 921, 745));
    buildProgress();
    Panel3 = makePanel(client, "Panel3", look::kSkyBlue, screen);
    buildTestScreen();
    Panel1 = makePanel(client, "Panel1", Qt::white, client->rect());
    static_cast<QFrame*>(Panel1)->setFrameStyle(QFrame::NoFrame);
    client->filler = Panel1;
    WebBrowser1 = new QWebEngineView(Panel1);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setAccessibleName(QStringLiteral("Документ"));
    auto* fill = new QHBoxLayout(Panel1);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(WebBrowser1);
    Panel6 = makePanel(client, "Panel6", look::kFace, QRect(1, 1, 920, 736));
    buildTextPage();
    Panel6->setVisible(false);
    Panel7 = makePanel(client, "Panel7", look::kSkyBlue, screen);
    buildSettings();
    Panel7->setVisible(false);
    Panel4 = makePanel(client, "Panel4", look::kSignIn, screen);
    buildSignIn();

    // Controls that are never shown: the entry point of a test run and two unused fields.
    Button2 = new QPushButton(client);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setVisible(false);
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
    auto* edit1 = new QLineEdit(client);
    edit1->setObjectName(QStringLiteral("Edit1"));
    edit1->setVisible(false);
    auto* button1 = new QPushButton(client);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setVisible(false);

    // The user picker is the administrator's; the administrator's sign-in enables it.
    ComboBox1->setEnabled(false);
    enableSeenScreenOnly();

    // The screens as built are the design; the viewer fills whatever room there is.
    client->screens = std::make_unique<design::Layout>(client, std::initializer_list<const QWidget*>{Panel1});
    client->question = questionArea_;
    client->placeScreens();
}

void TForm1::buildSignIn() {
    QWidget* p = Panel4;
    auto* card = new QFrame(p);
    card->setObjectName(QStringLiteral("SignInCard"));
    card->setGeometry(250, 150, 420, 400);
    card->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    look::setBackground(card, look::kCard);

    auto* logo = new QSvgWidget(QStringLiteral(":/ortavia/emblem.svg"), card);
    logo->setGeometry(30, 24, 64, 64);
    makeLabel(card, "Label1", QStringLiteral("Авторизация:"), {110, 28}, look::font(look::kSerif, 28, true),
              look::kInk);
    makeLabel(card, "Label30", QStringLiteral("Ортавия"), {112, 66}, look::font(look::kSerif, 16, false),
              look::kMuted);

    // Each label names its field for a screen reader.
    QLabel* nameLabel = makeLabel(card, "Label2", QStringLiteral("Қолданушы"), {40, 112},
                                  look::font(look::kSansSerif, 15, true));
    Edit2 = makeEdit(card, "Edit2", QRect(40, 136, 340, 32));
    nameLabel->setBuddy(Edit2);
    QLabel* passwordLabel = makeLabel(card, "Label31", QStringLiteral("Пароль:"), {40, 180},
                                      look::font(look::kSansSerif, 15, true));
    MaskEdit1 = makeEdit(card, "MaskEdit1", QRect(40, 204, 340, 32), true);
    passwordLabel->setBuddy(MaskEdit1);

    makeLabel(card, "Label32", QStringLiteral("Егер сіз тіркелген болсаңыз, басыңыз:"), {40, 254},
              look::font(look::kSansSerif, 13, false));
    auto* signIn = makeButton(card, "SpeedButton3", QStringLiteral("Әрі қарай>>"), QRect(40, 278, 340, 40),
                              look::font(look::kSansSerif, 16, true));
    look::accent(signIn);
    auto* reg = makeButton(card, "SpeedButton1", QStringLiteral("Жаңа қолданушы"), QRect(40, 334, 165, 36),
                           look::font(look::kSansSerif, 13, true));
    auto* del = makeButton(card, "SpeedButton2", QStringLiteral("Қолданушыны жою"), QRect(215, 334, 165, 36),
                           look::font(look::kSansSerif, 13, true));
    connect(signIn, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton3Click(); }); });
    connect(reg, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(del, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton2Click(); }); });
    connect(MaskEdit1, &QLineEdit::returnPressed, signIn, &QPushButton::click);
}

void TForm1::buildSettings() {
    QWidget* p = Panel7;
    const QFont labelFont = look::font(look::kSansSerif, 15, true);
    auto* picture = new QSvgWidget(QStringLiteral(":/ortavia/settings.svg"), p);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(560, 150, 260, 260);
    makeLabel(p, "Label33", QStringLiteral("Ортавия"), {580, 430}, look::font(look::kSerif, 40, true),
              look::kInk);

    Edit3 = makeEdit(p, "Edit3", QRect(80, 136, 400, 30));
    makeLabel(p, "Label34", QStringLiteral("Введите логин администратора:"), {80, 110}, labelFont)
        ->setBuddy(Edit3);
    Edit4 = makeEdit(p, "Edit4", QRect(80, 212, 400, 30), true);
    makeLabel(p, "Label36", QStringLiteral("Введите пароль администратора"), {80, 186}, labelFont)
        ->setBuddy(Edit4);
    Edit5 = makeEdit(p, "Edit5", QRect(80, 288, 400, 30), true);
    makeLabel(p, "Label37", QStringLiteral("Введите пароль еще раз:"), {80, 262}, labelFont)->setBuddy(Edit5);
    Edit6 = makeEdit(p, "Edit6", QRect(80, 364, 400, 30));
    makeLabel(p, "Label38", QStringLiteral("Укажите имя файл отчета"), {80, 338}, labelFont)->setBuddy(Edit6);

    auto* apply = makeButton(p, "SpeedButton7", QStringLiteral("Применить"), QRect(80, 430, 190, 40),
                             look::font(look::kSansSerif, 15, true));
    look::accent(apply);
    auto* back = makeButton(p, "SpeedButton6", QStringLiteral("Назад"), QRect(290, 430, 190, 40),
                            look::font(look::kSansSerif, 15, true));
    connect(apply, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton7Click(); }); });
    connect(back, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton6Click(); }); });
}

void TForm1::buildTestScreen() {
    // The screen's controls lie on a scroll area over the whole screen, in the screen's coordinates.
    questionArea_ = new QuestionArea(Panel3);
    questionArea_->setGeometry(0, 0, 920, 737);
    QWidget* p = questionArea_->content();
    Label39 = makeLabel(p, "Label39", QStringLiteral("Выделение ответа двойным нажатием клавиш мыши!!!"),
                        {40, 16}, look::font(look::kSerif, 19, true), look::kWarn);
    // While an answer waits for the lab server, its notice takes the hint's place at the top of the
    // screen, where it is seen whatever the question's length.
    LabelLink =
        makeLabel(p, "LabelLink", QStringLiteral("Нет связи с сервером, ответ будет отправлен повторно…"),
                  {40, 16}, look::font(look::kSerif, 19, true), look::kWarn);
    LabelLink->setVisible(false);
    QLabel* caption =
        makeLabel(p, "Label42", QStringLiteral("Вопрос:"), {40, 52}, look::font(look::kSerif, 21, true));
    // How far through the test the student is: "n из N", beside the caption.
    LabelCounter = makeLabel(p, "LabelCounter", QString(), {caption->geometry().right() + 14, 53},
                             look::font(look::kSerif, 20, false), look::kInk);
    LabelCounter->setMinimumWidth(200);
    Memo1 = new QTextEdit(p);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(40, 84, 840, 170);
    Memo1->setReadOnly(true);
    Memo1->setFont(look::font(look::kSerif, 21, false));
    Memo1->setAcceptRichText(false);
    caption->setBuddy(Memo1);

    auto* panel5 = new QFrame(p);
    panel5->setObjectName(QStringLiteral("Panel5"));
    panel5->setGeometry(40, 270, 840, 430);
    panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    look::setBackground(panel5, look::kSkyBlue.lighter(110));
    std::array<AnswerButton*, 5> buttons{};
    const char* letters[] = {"A", "B", "C", "D", "E"};
    const char* letterNames[] = {"LetterA", "LetterB", "LetterC", "LetterD", "LetterE"};
    for (int k = 1; k <= 6; ++k) {
        auto* button = new AnswerButton(panel5);
        button->setObjectName(QStringLiteral("RadioButton%1").arg(k));
        button->setFont(look::font(look::kSerif, 19, false));
        if (k == 6) {
            button->setVisible(false);
            connect(button, &AnswerButton::doubleClicked, this,
                    [this] { guarded([this] { RadioButton6DblClick(); }); });
            continue;
        }
        answerLetters_[k - 1] =
            makeLabel(panel5, letterNames[k - 1], QString::fromLatin1(letters[k - 1]),
                      {16, 22 + 82 * (k - 1)}, look::font(look::kSerif, 24, true), look::kInk);
        // The letter is its answer's buddy: the test screen hides both for an answer a question lacks.
        answerLetters_[k - 1]->setBuddy(button);
        button->setGeometry(52, 12 + 82 * (k - 1), 770, 72);
        buttons[static_cast<std::size_t>(k - 1)] = button;
        connect(button, &AnswerButton::doubleClicked, this,
                [this, k] { guarded([this, k] { RadioButtonDblClick(k); }); });
    }
    questionArea_->setDesign(Memo1, panel5, buttons, answerLetters_);
}

void TForm1::connectionLost(bool lost) {
    LabelLink->setVisible(lost);
    Label39->setVisible(!lost);
    if (lost)
        announce(this, LabelLink->text());
}

void TForm1::buildProgress() {
    QWidget* p = Panel2;
    const QFont title = look::font(look::kSerif, 19, true);
    makeLabel(p, "Label3", QStringLiteral("Информация об успеваемости пользователя"), {257, 10}, title);
    QLabel* prompt = makeLabel(p, "Label4", QStringLiteral("Выберите имя пользователя:"), {145, 36}, title);
    // The serif that stands in for Times New Roman runs wider: the prompt keeps its end before
    // the name and the picker.
    if (prompt->geometry().right() > 389)
        prompt->move(389 - prompt->width(), 36);
    Label5 = makeLabel(p, "Label5", QString(), {406, 38}, title);
    Label5->setMinimumWidth(300);
    ComboBox1 = new QComboBox(p);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(395, 38, 206, 28);
    ComboBox1->setFont(look::font(look::kSansSerif, 16, true));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setVisible(false);
    prompt->setBuddy(ComboBox1);

    const QFont head = look::font(look::kSansSerif, 13, true);
    makeLabel(p, "Label40", QStringLiteral("№ Теста (Темы)"), {48, 64}, head, Qt::white);
    makeLabel(p, "Label41", QStringLiteral("Оценка"), {200, 64}, head, Qt::white);
    const QFont row = look::font(look::kSerif, 21, true);
    for (int k = 1; k <= 10; ++k) {
        const int top = 82 + 36 * (k - 1);
        makeLabel(p, qPrintable(QStringLiteral("Label%1").arg(5 + k)), QStringLiteral("Тест №%1").arg(k),
                  {44, top}, row);
        gradeLabels_[k - 1] =
            makeLabel(p, qPrintable(QStringLiteral("Label%1").arg(17 + k)), QString(), {192, top}, row);
        gradeLabels_[k - 1]->setMinimumWidth(60);
    }
    for (int k = 11; k <= 12; ++k) {
        const int top = 370 + 20 * (k - 11);
        makeLabel(p, qPrintable(QStringLiteral("Label%1").arg(5 + k)), QStringLiteral("Тест №%1").arg(k),
                  {652, top}, row)
            ->setVisible(false);
        gradeLabels_[k - 1] =
            makeLabel(p, qPrintable(QStringLiteral("Label%1").arg(17 + k)), QString(), {784, top}, row);
        gradeLabels_[k - 1]->setVisible(false);
    }
    QLabel* note = makeLabel(p, "Label35", QStringLiteral("Здесь дана только традиционная оценка!!!!"),
                             {392, 104}, look::font(look::kSerif, 24, true), Qt::white);
    if (note->geometry().right() > 905) { // wrapped within the panel
        note->setWordWrap(true);
        note->setFixedWidth(905 - 392);
        note->adjustSize();
    }
    // How many answers of the run just finished were right; shown only at the end of a run.
    LabelRight =
        makeLabel(p, "LabelRight", QString(), {392, 200}, look::font(look::kSerif, 24, true), Qt::white);
    LabelRight->setFixedWidth(905 - 392);
    LabelRight->setVisible(false);
    auto* back = makeButton(p, "SpeedButton4", QStringLiteral("<<Назад"), QRect(366, 464, 203, 65), title);
    look::flat(back);
    connect(back, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton4Click(); }); });
    ComboBox1->setCompleter(nullptr); // completion is the picker's own, see completeUserName
    connect(ComboBox1, &QComboBox::activated, this, [this](int index) {
        chosenUser_ = index;
        guarded([this] { ComboBox1Select(); });
    });
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& typed) { guarded([this, &typed] { completeUserName(typed); }); });
    watchPickerKeys();
}

void TForm1::buildTextPage() {
    QWidget* p = Panel6;
    Memo2 = new QPlainTextEdit(QStringLiteral("Memo2"), p);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setGeometry(4, 2, 912, 690);
    Memo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo2->setFont(look::font(look::kMono, 14, false));
    Memo2->setAccessibleName(QStringLiteral("Текст страницы"));
    Memo2->setTabChangesFocus(true); // Tab moves on to "<<Назад"; the journal holds no tabs
    // The back button sits below the text, where it can be seen and clicked.
    auto* back = makeButton(p, "SpeedButton5", QStringLiteral("<<Назад"), QRect(380, 698, 161, 30),
                            look::font(look::kSansSerif, 13, true));
    look::flat(back);
    connect(back, &QPushButton::clicked, this, [this] { guarded([this] { SpeedButton5Click(); }); });
}

// ---------------------------------------------------------------------------------------------
// Menu

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    std::map<std::string, QMenu*> menus;
    for (const docs::MenuEntry& e : docs::menuEntries()) {
        const QString name = QString::fromLatin1(e.name);
        const QString caption = QString::fromUtf8(e.caption);
        QMenu* parentMenu = e.parent ? menus.at(e.parent) : nullptr;
        QAction* a = nullptr;
        if (e.action == docs::Action::Submenu) {
            auto* menu = parentMenu ? parentMenu->addMenu(caption) : bar->addMenu(caption);
            menus[e.name] = menu;
            a = menu->menuAction();
        } else {
            a = parentMenu ? parentMenu->addAction(caption) : bar->addAction(caption);
        }
        a->setObjectName(name);
        a->setIcon(look::menuIcon(e));
        a->setVisible(e.visible);
        setItemEnabled(a, true);
        switch (e.action) {
        case docs::Action::Submenu:
            break;
        case docs::Action::Command:
            bindCommand(a, e.name);
            break;
        case docs::Action::View: {
            const std::string target = e.target;
            commands_[a] = [this, target] { opendoc(target); };
            break;
        }
        case docs::Action::Launch: {
            const std::string target = e.target;
            commands_[a] = [this, target] { launch(target); };
            break;
        }
        case docs::Action::Test:
            commands_[a] = [this, name] { testClick(name); };
            break;
        }
        if (commands_.count(a))
            connect(a, &QAction::triggered, this, [this, a] { guarded(commands_.at(a)); });
    }
}

void TForm1::bindCommand(QAction* a, const char* name) {
    static const std::map<std::string_view, void (TForm1::*)()> handlers = {
        {"N17", &TForm1::N17Click},     {"Ni", &TForm1::NiClick},
        {"N30", &TForm1::N30Click},     {"N40", &TForm1::N40Click},
        {"NSvod", &TForm1::NSvodClick}, {"NStat", &TForm1::NStatClick},
        {"NOpt", &TForm1::NOptClick},   {"Ntun", &TForm1::NtunClick},
        {"nred", &TForm1::nredClick},   {"NaFormuAvtorizazii", &TForm1::NaFormuAvtorizaziiClick},
        {"N26", &TForm1::N26Click},     {"N15", &TForm1::N15Click},
        {"Ne", &TForm1::NeClick},       {"NEditor", &TForm1::NEditorClick},
        {"NMon", &TForm1::NMonClick},
    };
    auto handler = handlers.at(name);
    commands_[a] = [this, handler] { (this->*handler)(); };
}

// ---------------------------------------------------------------------------------------------
// First show and exit

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    fitToScreen();
    guarded([this] { FormShow(); });
}

void TForm1::fitToScreen() {
    // The design size where the screen has room for it, otherwise what room there is: the fixed
    // screens then scale down to the client area.
    const QSize room = design::clientRoom(this);
    setMinimumSize(kSmallestWindow.boundedTo(room));
    if (!isMaximized() && !isFullScreen()) {
        resize(kWindowDesign.boundedTo(room));
        design::centre(this);
    }
}

void TForm1::FormShow() {
    loadUserList();
    saveAtClose_ = false;
    showPanels({Panel4}, {Panel1, Panel2, Panel3, Panel6});
    Edit2->setFocus();
    action("N0")->setVisible(false);
    loadSettings();
}

void TForm1::loadUserList() {
    // A fresh installation has no user list yet: that is an empty list.
    users_ = course_.userList();
    ComboBox1->clear();
    for (const std::string& n : users_)
        ComboBox1->addItem(toQ(n));
    // No name is chosen until the administrator chooses one: a name beside grades that are not
    // that student's would mislead.
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QString());
    chosenUser_ = -1;
}

void TForm1::loadSettings() {
    // The lab server gives no password out: the fields then stay empty.
    const accounts::Settings settings = course_.settings();
    adminLogin_ = settings.login;
    adminPassword_ = settings.password;
    journalName_ = settings.journal;
    Edit3->setText(toQ(adminLogin_));
    Edit4->setText(toQ(adminPassword_));
    Edit5->setText(toQ(adminPassword_));
    Edit6->setText(toQ(journalName_));
}

bool TForm1::FormCloseQuery() {
    return dialogs::warningOkCancel(this, QStringLiteral("Вы действительно хотите выйти из программы?")) ==
           Answer::Ok;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    bool saved = true;
    guarded([&] {
        saved = false;
        FormClose();
        saved = true;
    });
    if (!saved && dialogs::warningOkCancel(this, QStringLiteral("Выйти без сохранения оценок?"),
                                           Answer::Cancel) != Answer::Ok) {
        // The grades could not be written and the user stays: nothing is lost without notice.
        event->ignore();
        return;
    }
    event->accept();
    closing_ = true;
    emit closed();
}

void TForm1::NeClick() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Screen commands

void TForm1::NaFormuAvtorizaziiClick() {
    showPanels({Panel4}, {});
    Edit2->setFocus();
}

void TForm1::NtunClick() {
    if (!administratorSignedIn())
        return;
    showPanels({Panel7}, {Panel1, Panel2, Panel3, Panel4, Panel6});
}

void TForm1::SpeedButton6Click() {
    showPanels({Panel1}, {Panel7});
}

void TForm1::N17Click() {
    showPanels({Panel1}, {Panel7});
}

void TForm1::SpeedButton5Click() {
    showPanels({Panel1}, {Panel2, Panel3, Panel4, Panel6});
}

void TForm1::nredClick() {
    if (!administratorSignedIn())
        return;
    form2_->exec();
}

void TForm1::N26Click() {
    about_->setWindowTitle(QStringLiteral("О программе"));
    about_->exec();
}

void TForm1::N15Click() {
    authors_->show();
    authors_->raise();
    authors_->activateWindow();
}

void TForm1::N40Click() {
    if (!administratorSignedIn())
        return;
    reportDialog_->exec();
}

} // namespace ortavia::ui
