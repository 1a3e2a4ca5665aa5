#pragma once
// The class overview window (administrator, "Есеп" → "Сводная ведомость"): the table GridSvod of
// every listed student with the ten stored grades and the number of tests passed, sortable by any
// column (by its header or, from the keyboard, by the order chooser), filtered by part of a name (letter case
// of Cyrillic, Kazakh and Latin letters ignored), exported to CSV or XLSX, printed or saved as PDF with the
// report's millimetre drawing. A student without a record has empty cells; a record with a grade that is
// missing or no whole number from 0 to 5 shows it as stored, and its row is marked.
#include <QDialog>
#include <functional>
#include <vector>

#include "reports/class_table.h"
#include "reports/table_export.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace ortavia::ui {

class OverviewModel;
class OverviewFilter;

class ClassOverview : public QDialog {
    Q_OBJECT
public:
    explicit ClassOverview(QWidget* parent = nullptr);
    ~ClassOverview() override;

    // The window of the main window (made on first use, then brought to the front), filled anew
    // from the course folder.
    static ClassOverview* open(QWidget* mainWindow);

    void reload(); // reads users and users.ini again (once each)
    const reports::ClassTable& classTable() const;
    // The rows as the table shows them now: filtered and in the chosen order.
    std::vector<const reports::StudentRow*> shownRows() const;
    reports::Table shownTable() const;

    // The buttons' handlers.
    void ButtonExportClick(); // asks for a file name; .csv or .xlsx
    void ButtonPrintClick();  // the print preview
    void ButtonPdfClick();    // asks for a PDF file name

    // The print preview, replaceable by tests (which put the default back with resetPreviewer).
    using Previewer = std::function<void(const reports::Table&, QWidget*)>;
    static Previewer previewer;
    static void resetPreviewer();
    static void runPreview(const reports::Table& table, QWidget* parent);

private:
    void updateCount();

    reports::ClassTable table_;
    OverviewModel* model_ = nullptr;
    OverviewFilter* filter_ = nullptr;
    QTableView* GridSvod = nullptr;
    QLineEdit* EditFind = nullptr;
    QLabel* LabelSvod = nullptr;
    QComboBox* ComboSort = nullptr; // the column of the order ("как в списке" first)
    QCheckBox* CheckDescending = nullptr;
};

} // namespace ortavia::ui
