#pragma once
// The teacher's view of the results folder: the results table with its
// filters and sorting, the summary and the grade chart of one test, its
// questions hardest first, one pupil's answers beside the right ones,
// export to CSV and printing.  A widget on its own, which the teacher's
// program shows under "Výsledky".
#include "gradebook/Gradebook.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QTableView;
class QTableWidget;
class QTabWidget;

namespace vedomec {

class TResultsModel;

// Bars of how many got each grade, 1 to 5.
class TGradeChart : public QWidget {
    Q_OBJECT
public:
    explicit TGradeChart(QWidget* parent = nullptr);
    void setCounts(const std::array<int, 5>& counts);
    std::array<int, 5> counts() const { return m_counts; }
    QSize sizeHint() const override { return {260, 160}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::array<int, 5> m_counts {};
};

class TResultsView : public QWidget {
    Q_OBJECT
public:
    explicit TResultsView(QWidget* parent = nullptr);
    ~TResultsView() override;

    // Reads the records of the folder anew; the filters stay.  A folder
    // that cannot be read is said in the status line.
    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    void reload();

    // The filters, as the controls set them.
    void setFilter(const gradebook::TFilter& filter);
    gradebook::TFilter filter() const;
    // Sorting by a column, as a click on its header does.
    void sortByColumn(gradebook::Column column, bool descending);

    // What is shown: the records, the rows that pass the filters in their
    // order, and the figures of the test summarized.
    const QList<gradebook::TStoredRecord>& records() const { return m_records; }
    const QList<int>& rows() const { return m_rows; }
    gradebook::TSummary summary() const { return m_summary; }
    QList<gradebook::TQuestionStats> questions() const { return m_questions; }
    // Shows the answers of the row'th record shown.
    void showPupil(int row);

    // Writes the rows shown as CSV; false with `error` (Czech) on failure.
    bool exportCsv(const QString& file, QString* error = nullptr) const;
    // The table shown and the summary as a document to print or save as PDF.
    QString printHtml() const;
    bool writePdf(const QString& file) const;

    QComboBox* Test = nullptr;
    QComboBox* Druh = nullptr;
    QCheckBox* OdZapnuto = nullptr;
    QDateEdit* Od = nullptr;
    QCheckBox* DoZapnuto = nullptr;
    QDateEdit* Do = nullptr;
    QLineEdit* Zak = nullptr;
    QPushButton* Obnovit = nullptr;
    QPushButton* Export = nullptr;
    QPushButton* Tisk = nullptr;
    QPushButton* Pdf = nullptr;
    QTableView* Tabulka = nullptr;
    QTabWidget* Podrobnosti = nullptr;
    QLabel* Souhrn = nullptr;
    TGradeChart* Graf = nullptr;
    QTableWidget* Otazky = nullptr;
    QLabel* ZakNazev = nullptr;
    QTableWidget* Odpovedi = nullptr;
    QLabel* Stav = nullptr;

private:
    void applyFilter();
    void fillChoices();
    void updateSummary();
    void askExport();
    void askPrint();
    void askPdf();
    void print(QPrinter* printer) const;

    QString m_folder;
    QList<gradebook::TStoredRecord> m_records;
    QStringList m_problems;
    QList<int> m_rows;
    gradebook::Column m_sortColumn = gradebook::Column::Date;
    bool m_sortDescending = false;
    gradebook::TSummary m_summary;
    QList<gradebook::TQuestionStats> m_questions;
    TResultsModel* m_model = nullptr;
    bool m_filling = false;
};

} // namespace vedomec
