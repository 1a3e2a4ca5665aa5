#include "reports/class_overview_form.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "course/course.h"
#include "reports/report_form.h"
#include "reports/table_page.h"
#include "store/codepage.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/look.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {

namespace {

constexpr int kColumns = reports::kOverviewTests + 2;
constexpr int kPassedColumn = reports::kOverviewTests + 1;
const QColor kMarked{0xFF, 0xD9, 0xD9};

} // namespace

// The class table as the view's model; UserRole gives whether a row is marked.
class OverviewModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void reset(const reports::ClassTable* table) {
        beginResetModel();
        table_ = table;
        names_.clear();
        folded_.clear();
        if (table_) {
            names_.reserve(table_->rows.size());
            folded_.reserve(table_->rows.size());
            for (const reports::StudentRow& r : table_->rows) {
                names_.push_back(toQ(r.name));
                folded_.push_back(cp::foldCase(r.name));
            }
        }
        endResetModel();
    }
    const reports::StudentRow& row(int r) const { return table_->rows[static_cast<std::size_t>(r)]; }
    const QString& name(int r) const { return names_[static_cast<std::size_t>(r)]; }
    const std::string& foldedName(int r) const { return folded_[static_cast<std::size_t>(r)]; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !table_ ? 0 : static_cast<int>(table_->rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const reports::StudentRow& r = row(index.row());
        const int c = index.column();
        switch (role) {
        case Qt::DisplayRole:
            if (c == 0)
                return name(index.row());
            if (c == kPassedColumn)
                return r.recorded ? QVariant(r.passed) : QVariant(QString());
            return toQ(r.grades[static_cast<std::size_t>(c - 1)]);
        case Qt::TextAlignmentRole:
            return c == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
        case Qt::BackgroundRole:
            return r.faulty ? QVariant(kMarked) : QVariant();
        case Qt::ForegroundRole:
            return r.recorded ? QVariant() : QVariant(QColor(Qt::darkGray));
        case Qt::ToolTipRole:
            if (!r.recorded)
                return QStringLiteral("Нет записи студента в users.ini");
            if (r.faulty)
                return QStringLiteral("Запись с ошибкой: оценка отсутствует или не число от 0 до 5 "
                                      "(показана как записана)");
            return {};
        case Qt::UserRole:
            return r.faulty;
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const std::vector<std::string> header = reports::classTableHeader();
        return QString::fromStdString(header[static_cast<std::size_t>(section)]);
    }

private:
    const reports::ClassTable* table_ = nullptr;
    std::vector<QString> names_;
    std::vector<std::string> folded_; // code page, letter case folded
};

// Filter by part of a name, letter case folded in the code page; sort names alphabetically and
// grades by their value (a missing grade first, a grade that is no number next).
class OverviewFilter : public QSortFilterProxyModel {
public:
    explicit OverviewFilter(OverviewModel* model, QObject* parent)
        : QSortFilterProxyModel(parent), model_(model) {
        setSourceModel(model);
        collator_.setCaseSensitivity(Qt::CaseInsensitive);
        collator_.setNumericMode(true);
    }

    void setNamePart(const QString& text) {
        const std::optional<std::string> cpText = tryFromQ(text);
        impossible_ = !cpText;
        part_ = cpText ? cp::foldCase(*cpText) : std::string();
        invalidateRowsFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex&) const override {
        if (impossible_)
            return false;
        return part_.empty() || model_->foldedName(sourceRow).find(part_) != std::string::npos;
    }

    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override {
        const int c = a.column();
        if (c == 0)
            return collator_.compare(model_->name(a.row()), model_->name(b.row())) < 0;
        return key(model_->row(a.row()), c) < key(model_->row(b.row()), c);
    }

private:
    // Missing (no record or no key) < no number < the value.
    static std::pair<int, int> key(const reports::StudentRow& r, int column) {
        if (!r.recorded)
            return {0, 0};
        if (column == kPassedColumn)
            return {2, r.passed};
        const auto i = static_cast<std::size_t>(column - 1);
        if (r.grades[i].empty())
            return {0, 0};
        if (!r.values[i])
            return {1, 0};
        return {2, *r.values[i]};
    }

    OverviewModel* model_;
    QCollator collator_{QLocale(QLocale::Kazakh, QLocale::Kazakhstan)};
    std::string part_;
    bool impossible_ = false;
};

ClassOverview::Previewer ClassOverview::previewer = &ClassOverview::runPreview;

ClassOverview::ClassOverview(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormSvod"));
    setWindowTitle(QStringLiteral("Сводная ведомость"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    auto* findLabel = new QLabel(QStringLiteral("Поиск по имени:"), this);
    EditFind = new QLineEdit(this);
    EditFind->setObjectName(QStringLiteral("EditFind"));
    EditFind->setPlaceholderText(QStringLiteral("часть имени"));
    EditFind->setClearButtonEnabled(true);
    findLabel->setBuddy(EditFind);

    model_ = new OverviewModel(this);
    filter_ = new OverviewFilter(model_, this);
    GridSvod = new QTableView(this);
    GridSvod->setObjectName(QStringLiteral("GridSvod"));
    GridSvod->setAccessibleName(QStringLiteral("Сводная ведомость"));
    GridSvod->setModel(filter_);
    GridSvod->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridSvod->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridSvod->setTabKeyNavigation(false); // Tab leaves the table; the arrow keys move in it
    GridSvod->setWordWrap(false);
    GridSvod->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridSvod->verticalHeader()->setDefaultSectionSize(24);
    GridSvod->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    GridSvod->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // the list's own order
    GridSvod->setSortingEnabled(true);
    GridSvod->horizontalHeader()->setStretchLastSection(true);
    GridSvod->setColumnWidth(0, 230);
    for (int c = 1; c <= reports::kOverviewTests; ++c)
        GridSvod->setColumnWidth(c, 56);

    // The order by keyboard as well as by the column headers: the column and the direction.
    ComboSort = new QComboBox(this);
    ComboSort->setObjectName(QStringLiteral("ComboSort"));
    ComboSort->addItem(QStringLiteral("как в списке"));
    for (const std::string& column : reports::classTableHeader())
        ComboSort->addItem(QString::fromStdString(column));
    auto* sortLabel = new QLabel(QStringLiteral("Порядок:"), this);
    sortLabel->setBuddy(ComboSort);
    CheckDescending = new QCheckBox(QStringLiteral("по убыванию"), this);
    CheckDescending->setObjectName(QStringLiteral("CheckDescending"));

    LabelSvod = new QLabel(this);
    LabelSvod->setObjectName(QStringLiteral("LabelSvod"));
    LabelSvod->setWordWrap(true); // a long count never pushes the buttons off a small screen

    auto makeButton = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* exportButton = makeButton("ButtonExport", QStringLiteral("Экспорт (CSV, XLSX)…"));
    QPushButton* printButton = makeButton("ButtonPrint", QStringLiteral("Печать…"));
    printButton->setShortcut(QKeySequence::Print);
    QPushButton* pdfButton = makeButton("ButtonPdf", QStringLiteral("PDF…"));
    QPushButton* closeButton = makeButton("ButtonClose", QStringLiteral("Закрыть"));
    look::accent(exportButton);

    // The keyboard goes through the window as it reads: search, order, table, buttons.
    setTabOrder(EditFind, ComboSort);
    setTabOrder(ComboSort, CheckDescending);
    setTabOrder(CheckDescending, GridSvod);
    setTabOrder(GridSvod, exportButton);

    auto* top = new QHBoxLayout;
    top->addWidget(findLabel);
    top->addWidget(EditFind, 1);
    top->addSpacing(16);
    top->addWidget(sortLabel);
    top->addWidget(ComboSort);
    top->addWidget(CheckDescending);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelSvod, 1);
    bottom->addWidget(exportButton);
    bottom->addWidget(printButton);
    bottom->addWidget(pdfButton);
    bottom->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(GridSvod, 1);
    layout->addLayout(bottom);

    connect(EditFind, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter_->setNamePart(text);
        updateCount();
    });
    auto sortChosen = [this] {
        const int column = ComboSort->currentIndex() - 1;
        const Qt::SortOrder order = CheckDescending->isChecked() ? Qt::DescendingOrder : Qt::AscendingOrder;
        GridSvod->horizontalHeader()->setSortIndicator(column, order);
        if (column < 0)
            filter_->sort(-1); // the list's own order again
    };
    connect(ComboSort, &QComboBox::currentIndexChanged, this, sortChosen);
    connect(CheckDescending, &QCheckBox::toggled, this, sortChosen);
    connect(GridSvod->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                const QSignalBlocker quietCombo(ComboSort), quietCheck(CheckDescending);
                ComboSort->setCurrentIndex(column + 1);
                CheckDescending->setChecked(order == Qt::DescendingOrder);
            });
    connect(exportButton, &QPushButton::clicked, this,
            [this] { dialogs::guarded(this, [this] { ButtonExportClick(); }); });
    connect(printButton, &QPushButton::clicked, this,
            [this] { dialogs::guarded(this, [this] { ButtonPrintClick(); }); });
    connect(pdfButton, &QPushButton::clicked, this,
            [this] { dialogs::guarded(this, [this] { ButtonPdfClick(); }); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    resize(960, 640);
}

ClassOverview::~ClassOverview() = default;

ClassOverview* ClassOverview::open(QWidget* mainWindow) {
    return openOwnWindow<ClassOverview>(mainWindow, QStringLiteral("FormSvod"),
                                        [](ClassOverview& w) { w.reload(); });
}

void ClassOverview::reload() {
    const auto* main = qobject_cast<const TForm1*>(parentWidget());
    if (!main)
        return;
    reports::ClassTable fresh = main->course().classTable();
    model_->reset(nullptr);
    table_ = std::move(fresh);
    model_->reset(&table_);
    updateCount();
}

const reports::ClassTable& ClassOverview::classTable() const {
    return table_;
}

std::vector<const reports::StudentRow*> ClassOverview::shownRows() const {
    std::vector<const reports::StudentRow*> rows;
    const int n = filter_->rowCount();
    rows.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        rows.push_back(&model_->row(filter_->mapToSource(filter_->index(r, 0)).row()));
    return rows;
}

reports::Table ClassOverview::shownTable() const {
    return reports::classTableExport(shownRows());
}

void ClassOverview::updateCount() {
    QString text = QStringLiteral("Студентов: %1").arg(table_.rows.size());
    if (filter_->rowCount() != static_cast<int>(table_.rows.size()))
        text += QStringLiteral(", показано: %1").arg(filter_->rowCount());
    text += QStringLiteral("; с записью: %1").arg(table_.recorded());
    if (const int marked = table_.faulty())
        text += QStringLiteral("; записей с ошибкой (выделены): %1").arg(marked);
    LabelSvod->setText(text);
}

void ClassOverview::ButtonExportClick() {
    const QString path = savefile::ask(this, QStringLiteral("Экспорт сводной ведомости"),
                                       QDir::home().filePath(QStringLiteral("Сводная ведомость.xlsx")),
                                       QStringLiteral("Книга Excel (*.xlsx);;Таблица CSV (*.csv)"));
    if (path.isEmpty())
        return;
    reports::exportTable(shownTable(), path);
}

void ClassOverview::ButtonPrintClick() {
    previewer(shownTable(), this);
}

void ClassOverview::ButtonPdfClick() {
    const QString path = savefile::ask(this, QStringLiteral("Сохранить сводную ведомость в файл PDF"),
                                       QDir::home().filePath(QStringLiteral("Сводная ведомость.pdf")),
                                       QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    reports::writeTablePdf(shownTable(), path);
}

void ClassOverview::resetPreviewer() {
    previewer = &ClassOverview::runPreview;
}

void ClassOverview::runPreview(const reports::Table& table, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(reports::tablePageLayout());
    printer.setDocName(table.title);
    printer.setCreator(QStringLiteral("Ортавия"));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("SvodPreview"));
    reachByKeyboard(dialog);
    dialog.setWindowTitle(table.title + QStringLiteral(": предварительный просмотр"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&table](QPrinter* device) {
        QPainter painter(device);
        if (painter.isActive())
            reports::paintTablePages(painter, *device, table);
    });
    if (QScreen* screen = parent ? parent->screen() : dialog.screen()) {
        const QRect room = screen->availableGeometry();
        dialog.resize(qMin(860, room.width() - 40), qMin(1000, room.height() - 40));
    }
    dialog.exec();
}

void TForm1::NSvodClick() {
    if (!administratorSignedIn())
        return;
    ClassOverview::open(this);
}

} // namespace ortavia::ui
