#include "reports/report_form.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <optional>

#include "accounts/accounts.h"
#include "course/course.h"
#include "ui/design.h"
#include "ui/dialogs.h"
#include "ui/look.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

// Items of the user list drawn 20 pixels high.
class ItemHeight : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 20};
    }
};

QString suggestedPdfName(const QString& userName) {
    QString name = userName.trimmed();
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    const QString file = name.isEmpty() ? QStringLiteral("Отчет о пользователе.pdf")
                                        : QStringLiteral("Отчет о пользователе - %1.pdf").arg(name);
    return QDir::home().filePath(file);
}

void exportPdf(const reports::UserReport& report, QWidget* parent) {
    const QString path = savefile::ask(parent, QStringLiteral("Сохранить отчет в файл PDF"),
                                       suggestedPdfName(report.userName), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    dialogs::guarded(parent, [&] { reports::writeReportPdf(report, path); });
}

struct SaveFileState {
    std::optional<QString> next;
    int asked = 0;
};

SaveFileState& saveFileState() {
    static SaveFileState s;
    return s;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The report layout

TForm4::Previewer TForm4::previewer = &TForm4::runPreview;

TForm4::TForm4(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form4"));
}

void TForm4::preview(QWidget* parent) {
    previewer(QuickRep1, parent);
}

void TForm4::resetPreviewer() {
    previewer = &TForm4::runPreview;
}

void TForm4::runPreview(const reports::UserReport& report, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(reports::reportPageLayout());
    printer.setDocName(QStringLiteral("Отчет о пользователе"));
    printer.setCreator(QStringLiteral("Ортавия"));

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    dialog.setWindowTitle(QStringLiteral("Отчет о пользователе: предварительный просмотр"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&report](QPrinter* device) {
        QPainter painter(device);
        if (painter.isActive())
            reports::paintReportPage(painter, report);
    });
    if (auto* bar = dialog.findChild<QToolBar*>()) {
        bar->addSeparator();
        QAction* pdf = bar->addAction(QStringLiteral("PDF…"));
        pdf->setObjectName(QStringLiteral("SavePdf"));
        pdf->setToolTip(QStringLiteral("Сохранить отчет в файл PDF"));
        QObject::connect(pdf, &QAction::triggered, &dialog,
                         [&report, &dialog] { exportPdf(report, &dialog); });
    }
    reachByKeyboard(dialog);
    if (QScreen* screen = parent ? parent->screen() : dialog.screen()) {
        const QRect room = screen->availableGeometry();
        dialog.resize(qMin(860, room.width() - 40), qMin(1000, room.height() - 40));
    }
    dialog.exec();
}

void reachByKeyboard(QPrintPreviewDialog& dialog) {
    auto* bar = dialog.findChild<QToolBar*>();
    if (!bar)
        return;
    // A tool bar's buttons take no focus of their own.
    for (QToolButton* button : bar->findChildren<QToolButton*>())
        if (button->defaultAction())
            button->setFocusPolicy(Qt::StrongFocus);
    const QString print = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    for (QAction* action : bar->actions())
        if (action->text() == print) {
            action->setObjectName(QStringLiteral("PreviewPrint"));
            action->setShortcut(QKeySequence::Print);
            action->setShortcutContext(Qt::WindowShortcut);
            action->setToolTip(print + QStringLiteral(" (") +
                               QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText) +
                               QLatin1Char(')'));
        }
}

// ---------------------------------------------------------------------------------------------
// The user report dialog

constexpr QSize kReportDialogDesign(446, 184);

TOKRightDlg1::TOKRightDlg1(TForm1* mainWindow, TForm4* report, QWidget* parent)
    : QDialog(parent), main_(mainWindow), report_(report) {
    setObjectName(QStringLiteral("OKRightDlg1"));
    setWindowTitle(QStringLiteral("Отчет по пользователю"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kReportDialogDesign);
    look::setBackground(this, look::kTeal);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 281, 161);

    Label1 = new QLabel(QStringLiteral("Выберите пользователя:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(look::font(look::kSansSerif, 13, true));
    Label1->move(52, 42);
    Label1->adjustSize();

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(50, 70, 191, 28);
    ComboBox1->setFont(look::font(look::kSansSerif, 16, true));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setItemDelegate(new ItemHeight(ComboBox1));
    Label1->setBuddy(ComboBox1); // names the picker for a screen reader

    const QFont buttonFont = look::font(look::kSansSerif, 13, true);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(300, 8, 141, 57);
    OKBtn->setFont(buttonFont);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Отмена"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(300, 70, 141, 59);
    CancelBtn->setFont(buttonFont);
    CancelBtn->setAutoDefault(false);

    connect(OKBtn, &QPushButton::clicked, this, [this] { dialogs::guarded(this, [this] { OKBtnClick(); }); });
    // Escape and the window frame's close box reject the dialog as well.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    layout_ = std::make_unique<design::Layout>(this);
}

TOKRightDlg1::~TOKRightDlg1() = default;

void TOKRightDlg1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    design::fitFixedWindow(this, *layout_, kReportDialogDesign);
    dialogs::guarded(this, [this] { FormShow(); });
    ComboBox1->setFocus();
}

void TOKRightDlg1::FormShow() {
    // The text typed or chosen before stays in the edit field.
    const QString kept = ComboBox1->currentText();
    ComboBox1->clear();
    // A fresh installation has no user list yet: that is an empty list.
    for (const std::string& name : main_->course().userList())
        ComboBox1->addItem(toQ(name));
    ComboBox1->setCurrentIndex(ComboBox1->findText(kept, Qt::MatchExactly | Qt::MatchCaseSensitive));
    ComboBox1->setEditText(kept);
}

void TOKRightDlg1::OKBtnClick() {
    if (!main_->administratorSignedIn())
        return;
    const std::string name = fromQ(ComboBox1->currentText());
    // The report is of a registered student; anything else would print the store's default text
    // and fail on it.
    if (name.find_first_not_of(" \t") == std::string::npos) {
        dialogs::error(this, QStringLiteral("Выберите студента из списка или введите его имя."));
        return;
    }
    course::Course& course = main_->course();
    if (accounts::findUser(course.userList(), name) < 0 || !course.hasRecord(name)) {
        dialogs::error(this, QStringLiteral("Студент «%1» не зарегистрирован. Выберите студента из списка.")
                                 .arg(ComboBox1->currentText()));
        return;
    }
    main_->reportUserName = name;
    reports::fillUserReport(report_->QuickRep1, main_->reportUserName, course.storedValues(name));
    report_->preview(this);
    accept();
}

// ---------------------------------------------------------------------------------------------
// The save-file dialog

namespace savefile {

QString ask(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter) {
    SaveFileState& s = saveFileState();
    ++s.asked;
    QString path;
    if (dialogs::testMode()) {
        path = s.next.value_or(QString());
        s.next.reset();
    } else {
        QFileDialog dialog(parent, caption, QFileInfo(suggested).absolutePath(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
        dialog.selectFile(QFileInfo(suggested).fileName());
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().front();
    }
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

void answerNext(const QString& path) {
    saveFileState().next = path;
}
int askedCount() {
    return saveFileState().asked;
}
void resetTestState() {
    saveFileState() = {};
}

} // namespace savefile
} // namespace ortavia::ui
