#include "results/ResultsView.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>

namespace vedomec {

using namespace gradebook;

// The rows that pass the filters, cell texts made only for what is seen.
class TResultsModel : public QAbstractTableModel {
public:
    TResultsModel(const QList<TStoredRecord>& records, const QList<int>& rows, QObject* parent)
        : QAbstractTableModel(parent), m_records(records), m_rows(rows)
    {
    }
    void refresh()
    {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size())
            return {};
        const TStoredRecord& s = m_records[m_rows[index.row()]];
        const Column c = Column(index.column());
        switch (role) {
        case Qt::DisplayRole:
            return cellText(s, c);
        case Qt::TextAlignmentRole:
            if (c == Column::Right || c == Column::Wrong || c == Column::Percent || c == Column::TimeTaken)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case Qt::BackgroundRole:
            if (!s.trusted)
                return QColor(255, 220, 220);
            return {};
        case Qt::ToolTipRole:
            if (!s.trusted)
                return QStringLiteral("Soubor %1 nepatří účtu %2: záznam mohl napsat někdo jiný.")
                    .arg(s.path, s.record.login);
            return s.path;
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return columnTitle(Column(section));
        return QAbstractTableModel::headerData(section, o, role);
    }

private:
    const QList<TStoredRecord>& m_records;
    const QList<int>& m_rows;
};

// --- The chart -----------------------------------------------------------------

TGradeChart::TGradeChart(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(200, 120);
}

void TGradeChart::setCounts(const std::array<int, 5>& counts)
{
    m_counts = counts;
    update();
}

void TGradeChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const int most = std::max(1, *std::max_element(m_counts.begin(), m_counts.end()));
    const QFontMetrics fm(font());
    const int label = fm.height() + 4;
    const int top = fm.height() + 4;
    const int h = height() - label - top;
    const int slot = width() / 5;
    static const QColor colours[5] = {QColor(0, 160, 0), QColor(120, 190, 0), QColor(230, 190, 0),
                                      QColor(240, 120, 0), QColor(220, 0, 0)};
    for (int g = 0; g < 5; ++g) {
        const int barH = h * m_counts[size_t(g)] / most;
        const QRect bar(g * slot + slot / 5, top + h - barH, slot * 3 / 5, barH);
        p.fillRect(bar, colours[g]);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(g * slot, top + h - barH - fm.height() - 2, slot, fm.height()), Qt::AlignCenter,
                   QString::number(m_counts[size_t(g)]));
        p.drawText(QRect(g * slot, height() - label, slot, label), Qt::AlignCenter, QString::number(g + 1));
    }
    p.drawLine(0, top + h, width(), top + h);
}

// --- The view ----------------------------------------------------------------------

namespace {

QTableWidget* table(QWidget* parent, const char* name, const QStringList& headers)
{
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

// Each column as wide as its texts, but the last, which fills the rest.
// Measured on the first rows only, so a large folder opens as fast.
void fitColumns(QTableView* t)
{
    QHeaderView* h = t->horizontalHeader();
    h->setResizeContentsPrecision(100);
    for (int v = 0; v + 1 < h->count(); ++v)
        t->resizeColumnToContents(h->logicalIndex(v));
}

QTableWidgetItem* item(const QString& text)
{
    return new QTableWidgetItem(text);
}

QString percentText(double share)
{
    return QString::number(share * 100, 'f', 0) + QStringLiteral(" %");
}

} // namespace

TResultsView::TResultsView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Vysledky"));

    Test = new QComboBox(this);
    Test->setObjectName(QStringLiteral("Test"));
    Druh = new QComboBox(this);
    Druh->setObjectName(QStringLiteral("Druh"));
    OdZapnuto = new QCheckBox(QStringLiteral("Od"), this);
    OdZapnuto->setObjectName(QStringLiteral("OdZapnuto"));
    Od = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    Od->setObjectName(QStringLiteral("Od"));
    Od->setCalendarPopup(true);
    Od->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    Od->setEnabled(false);
    DoZapnuto = new QCheckBox(QStringLiteral("Do"), this);
    DoZapnuto->setObjectName(QStringLiteral("DoZapnuto"));
    Do = new QDateEdit(QDate::currentDate(), this);
    Do->setObjectName(QStringLiteral("Do"));
    Do->setCalendarPopup(true);
    Do->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    Do->setEnabled(false);
    Zak = new QLineEdit(this);
    Zak->setObjectName(QStringLiteral("Zak"));
    Zak->setPlaceholderText(QStringLiteral("Žák nebo třída"));
    Zak->setClearButtonEnabled(true);
    Obnovit = new QPushButton(QStringLiteral("Načíst znovu"), this);
    Obnovit->setObjectName(QStringLiteral("Obnovit"));
    Export = new QPushButton(QStringLiteral("Uložit CSV…"), this);
    Export->setObjectName(QStringLiteral("Export"));
    Tisk = new QPushButton(QStringLiteral("Tisk…"), this);
    Tisk->setObjectName(QStringLiteral("Tisk"));
    Pdf = new QPushButton(QStringLiteral("Uložit PDF…"), this);
    Pdf->setObjectName(QStringLiteral("Pdf"));

    auto* filters = new QHBoxLayout;
    auto* testLabel = new QLabel(QStringLiteral("&Test:"), this);
    testLabel->setBuddy(Test);
    auto* kindLabel = new QLabel(QStringLiteral("D&ruh:"), this);
    kindLabel->setBuddy(Druh);
    auto* pupilLabel = new QLabel(QStringLiteral("Ž&ák:"), this);
    pupilLabel->setBuddy(Zak);
    for (QWidget* w : std::initializer_list<QWidget*> {testLabel, Test, kindLabel, Druh, OdZapnuto, Od, DoZapnuto, Do,
                                                       pupilLabel, Zak})
        filters->addWidget(w);
    filters->setStretchFactor(Test, 2);
    filters->setStretchFactor(Zak, 1);
    auto* actions = new QHBoxLayout;
    Stav = new QLabel(this);
    Stav->setObjectName(QStringLiteral("Stav"));
    Stav->setWordWrap(true);
    actions->addWidget(Stav, 1);
    for (QPushButton* b : {Obnovit, Export, Tisk, Pdf})
        actions->addWidget(b);

    m_model = new TResultsModel(m_records, m_rows, this);
    Tabulka = new QTableView(this);
    Tabulka->setObjectName(QStringLiteral("Tabulka"));
    Tabulka->setModel(m_model);
    Tabulka->setSelectionBehavior(QAbstractItemView::SelectRows);
    Tabulka->setSelectionMode(QAbstractItemView::SingleSelection);
    Tabulka->verticalHeader()->hide();
    Tabulka->horizontalHeader()->setSectionsClickable(true);
    Tabulka->horizontalHeader()->setSortIndicatorShown(true);
    Tabulka->horizontalHeader()->setSortIndicator(int(Column::Date), Qt::AscendingOrder);
    Tabulka->horizontalHeader()->setStretchLastSection(true);
    Tabulka->setAccessibleName(QStringLiteral("Výsledky testů"));
    Tabulka->setWordWrap(false);
    // The account and the computer matter less than the result: last in
    // sight, while the export keeps the columns' order.
    for (Column c : {Column::Login, Column::Computer})
        Tabulka->horizontalHeader()->moveSection(Tabulka->horizontalHeader()->visualIndex(int(c)), ColumnCount - 1);

    // The test's figures stay in sight beside its questions and the pupil's
    // answers, and the table has the whole width for its columns.
    auto* summaryPage = new QWidget(this);
    summaryPage->setObjectName(QStringLiteral("SouhrnTestu"));
    Souhrn = new QLabel(summaryPage);
    Souhrn->setObjectName(QStringLiteral("Souhrn"));
    Souhrn->setWordWrap(true);
    Souhrn->setTextFormat(Qt::PlainText);
    Graf = new TGradeChart(summaryPage);
    Graf->setObjectName(QStringLiteral("Graf"));
    Graf->setAccessibleName(QStringLiteral("Graf známek"));
    auto* summaryLayout = new QVBoxLayout(summaryPage);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    auto* summaryTitle = new QLabel(QStringLiteral("<b>Souhrn testu</b>"), summaryPage);
    summaryLayout->addWidget(summaryTitle);
    summaryLayout->addWidget(Souhrn);
    summaryLayout->addWidget(Graf, 1);
    Podrobnosti = new QTabWidget(this);
    Podrobnosti->setObjectName(QStringLiteral("Podrobnosti"));
    Otazky = table(this, "Otazky",
                   {QStringLiteral("Otázka"), QStringLiteral("Správně"), QStringLiteral("Správná odpověď"),
                    QStringLiteral("Nejčastější chybná odpověď")});
    Podrobnosti->addTab(Otazky, QStringLiteral("Otázky od nejtěžší"));
    auto* pupilPage = new QWidget;
    ZakNazev = new QLabel(pupilPage);
    ZakNazev->setObjectName(QStringLiteral("ZakNazev"));
    ZakNazev->setWordWrap(true);
    ZakNazev->setTextFormat(Qt::PlainText);
    Odpovedi = table(pupilPage, "Odpovedi",
                     {QStringLiteral("Otázka"), QStringLiteral("Odpověď žáka"), QStringLiteral("Správná odpověď"),
                      QStringLiteral("Výsledek")});
    auto* pupilLayout = new QVBoxLayout(pupilPage);
    pupilLayout->addWidget(ZakNazev);
    pupilLayout->addWidget(Odpovedi, 1);
    Podrobnosti->addTab(pupilPage, QStringLiteral("Odpovědi žáka"));

    auto* details = new QSplitter(Qt::Horizontal, this);
    details->addWidget(summaryPage);
    details->addWidget(Podrobnosti);
    details->setStretchFactor(0, 2);
    details->setStretchFactor(1, 3);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(Tabulka);
    split->addWidget(details);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(actions);

    auto refilter = [this] {
        if (!m_filling)
            applyFilter();
    };
    connect(Test, &QComboBox::currentIndexChanged, this, refilter);
    connect(Druh, &QComboBox::currentIndexChanged, this, refilter);
    connect(Zak, &QLineEdit::textChanged, this, refilter);
    connect(Od, &QDateEdit::dateChanged, this, refilter);
    connect(Do, &QDateEdit::dateChanged, this, refilter);
    connect(OdZapnuto, &QCheckBox::toggled, this, [this, refilter](bool on) {
        Od->setEnabled(on);
        refilter();
    });
    connect(DoZapnuto, &QCheckBox::toggled, this, [this, refilter](bool on) {
        Do->setEnabled(on);
        refilter();
    });
    connect(Tabulka->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        const bool descending = m_sortColumn == Column(section) && !m_sortDescending;
        sortByColumn(Column(section), descending);
    });
    connect(Tabulka->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                showPupil(current.row());
                if (Test->currentIndex() <= 0)
                    updateSummary();
            });
    connect(Obnovit, &QPushButton::clicked, this, &TResultsView::reload);
    connect(Export, &QPushButton::clicked, this, &TResultsView::askExport);
    connect(Tisk, &QPushButton::clicked, this, &TResultsView::askPrint);
    connect(Pdf, &QPushButton::clicked, this, &TResultsView::askPdf);
    fillChoices();
    applyFilter();
}

TResultsView::~TResultsView() = default;

void TResultsView::setFolder(const QString& folder)
{
    m_folder = folder;
    reload();
}

void TResultsView::reload()
{
    TFolderContents contents = readRecords(m_folder);
    m_records = std::move(contents.records);
    m_problems = contents.problems;
    fillChoices();
    applyFilter();
    fitColumns(Tabulka);
    if (!contents.error.isEmpty())
        Stav->setText(contents.error);
}

void TResultsView::fillChoices()
{
    m_filling = true;
    const QString test = Test->currentData().toString();
    const QString kind = Druh->currentData().toString();
    // Each test once, by its title, with its file where two share a title.
    QMap<QString, QString> tests;
    QSet<QString> kinds;
    for (const TStoredRecord& s : std::as_const(m_records)) {
        tests.insert(testKey(s.record), s.record.testTitle);
        kinds.insert(s.record.testKind);
    }
    Test->clear();
    Test->addItem(QStringLiteral("všechny testy"), QString());
    QList<std::pair<QString, QString>> byTitle;
    for (auto it = tests.cbegin(); it != tests.cend(); ++it)
        byTitle.append({it.value() + QStringLiteral(" (") + it.key() + u')', it.key()});
    std::sort(byTitle.begin(), byTitle.end());
    for (const auto& [title, key] : byTitle)
        Test->addItem(title, key);
    Test->setCurrentIndex(std::max(0, Test->findData(test)));
    Druh->clear();
    Druh->addItem(QStringLiteral("všechny druhy"), QString());
    QStringList kindList(kinds.cbegin(), kinds.cend());
    kindList.sort(Qt::CaseInsensitive);
    for (const QString& k : kindList)
        Druh->addItem(k, k);
    Druh->setCurrentIndex(std::max(0, Druh->findData(kind)));
    m_filling = false;
}

TFilter TResultsView::filter() const
{
    TFilter f;
    f.test = Test->currentData().toString();
    f.kind = Druh->currentData().toString();
    if (OdZapnuto->isChecked())
        f.from = Od->date();
    if (DoZapnuto->isChecked())
        f.to = Do->date();
    f.pupil = Zak->text().trimmed();
    return f;
}

void TResultsView::setFilter(const TFilter& f)
{
    m_filling = true;
    Test->setCurrentIndex(std::max(0, Test->findData(f.test.toLower())));
    Druh->setCurrentIndex(std::max(0, Druh->findData(f.kind)));
    OdZapnuto->setChecked(f.from.isValid());
    if (f.from.isValid())
        Od->setDate(f.from);
    DoZapnuto->setChecked(f.to.isValid());
    if (f.to.isValid())
        Do->setDate(f.to);
    Zak->setText(f.pupil);
    m_filling = false;
    applyFilter();
}

void TResultsView::sortByColumn(Column column, bool descending)
{
    m_sortColumn = column;
    m_sortDescending = descending;
    Tabulka->horizontalHeader()->setSortIndicator(int(column), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    sortBy(m_rows, m_records, m_sortColumn, m_sortDescending);
    m_model->refresh();
}

void TResultsView::applyFilter()
{
    m_rows = filtered(m_records, filter());
    sortBy(m_rows, m_records, m_sortColumn, m_sortDescending);
    m_model->refresh();
    int untrusted = 0;
    for (int i : std::as_const(m_rows))
        untrusted += !m_records[i].trusted;
    QString status = QStringLiteral("Zobrazeno %1 z %2 výsledků.").arg(m_rows.size()).arg(m_records.size());
    if (untrusted)
        status += QStringLiteral(" %1 z nich není ověřeno: soubor nepatří účtu, který záznam uvádí.").arg(untrusted);
    if (!m_problems.isEmpty())
        status += QStringLiteral(" %1 souborů ve složce není čitelným záznamem.").arg(m_problems.size());
    Stav->setText(status);
    Stav->setToolTip(m_problems.join(u'\n'));
    updateSummary();
    showPupil(-1);
}

void TResultsView::updateSummary()
{
    // The test chosen in the filter, else the one of the row chosen, else
    // the one test of all rows shown.
    QString key = Test->currentData().toString();
    if (key.isEmpty()) {
        const int row = Tabulka->currentIndex().row();
        if (row >= 0 && row < m_rows.size())
            key = testKey(m_records[m_rows[row]].record);
    }
    if (key.isEmpty() && !m_rows.isEmpty()) {
        key = testKey(m_records[m_rows.first()].record);
        for (int i : std::as_const(m_rows))
            if (testKey(m_records[i].record) != key) {
                key.clear();
                break;
            }
    }
    QList<int> rows;
    for (int i : std::as_const(m_rows))
        if (!key.isEmpty() && testKey(m_records[i].record) == key)
            rows.append(i);
    m_summary = summarize(m_records, rows);
    m_questions = questionStats(m_records, rows);
    Graf->setCounts(m_summary.grades);
    if (rows.isEmpty()) {
        Souhrn->setText(QStringLiteral("Vyberte test nebo řádek tabulky."));
    } else {
        const TResultRecord& r = m_records[rows.first()].record;
        Souhrn->setText(QStringLiteral("%1 (%2, %3)\nTest psalo: %4, nedokončeno: %5\nPrůměrná úspěšnost: %6 %")
                            .arg(r.testTitle, r.testKind, r.testFile)
                            .arg(m_summary.taken)
                            .arg(m_summary.unfinished)
                            .arg(QLocale(QLocale::Czech).toString(m_summary.averagePercent, 'f', 1)));
    }
    Otazky->setRowCount(int(m_questions.size()));
    for (int i = 0; i < m_questions.size(); ++i) {
        const TQuestionStats& q = m_questions[i];
        Otazky->setItem(i, 0, item(QString::number(q.number)));
        Otazky->setItem(i, 1, item(percentText(q.share) + QStringLiteral(" (%1 z %2)").arg(q.right).arg(q.answered)));
        Otazky->setItem(i, 2, item(q.correct));
        Otazky->setItem(i, 3,
                        item(q.commonWrong.isEmpty() ? QString()
                                                     : QStringLiteral("%1 (%2×)").arg(q.commonWrong).arg(q.commonWrongCount)));
    }
    fitColumns(Otazky);
}

void TResultsView::showPupil(int row)
{
    if (row < 0 || row >= m_rows.size()) {
        ZakNazev->setText(QStringLiteral("Vyberte řádek tabulky."));
        Odpovedi->setRowCount(0);
        return;
    }
    const TStoredRecord& s = m_records[m_rows[row]];
    const TResultRecord& r = s.record;
    QString head = QStringLiteral("%1 (%2%3), %4, %5\n%6")
                       .arg(r.pupil(), r.login, r.pupilClass.isEmpty() ? QString() : QStringLiteral(", ") + r.pupilClass,
                            r.testTitle, cellText(s, Column::Date), cellText(s, Column::Grade));
    if (r.timeRanOut)
        head += QStringLiteral(", čas vypršel");
    if (!s.trusted)
        head += QStringLiteral("\nNeověřeno: soubor nepatří účtu %1.").arg(r.login);
    ZakNazev->setText(head);
    Odpovedi->setRowCount(int(r.answers.size()));
    for (int i = 0; i < r.answers.size(); ++i) {
        const TAnswer& a = r.answers[i];
        Odpovedi->setItem(i, 0, item(QString::number(i + 1)));
        Odpovedi->setItem(i, 1, item(a.given.isEmpty() ? QStringLiteral("(bez odpovědi)") : a.given));
        Odpovedi->setItem(i, 2, item(a.correct));
        auto* verdict = item(a.right ? QStringLiteral("správně") : QStringLiteral("chybně"));
        verdict->setForeground(a.right ? QColor(0, 128, 0) : QColor(200, 0, 0));
        Odpovedi->setItem(i, 3, verdict);
    }
}

bool TResultsView::exportCsv(const QString& file, QString* error) const
{
    QSaveFile f(file);
    const QByteArray bytes = toCsv(m_records, m_rows);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit())
        return true;
    if (error)
        *error = QStringLiteral("Soubor „%1“ nejde uložit: %2").arg(file, f.errorString());
    return false;
}

QString TResultsView::printHtml() const
{
    QString html = QStringLiteral("<h2>Výsledky testů</h2><p>%1</p>").arg(Souhrn->text().toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    html += QStringLiteral("<p>Známky: ");
    for (int g = 0; g < 5; ++g)
        html += QStringLiteral("%1: %2&nbsp;&nbsp; ").arg(g + 1).arg(m_summary.grades[size_t(g)]);
    html += QStringLiteral("</p><table border=\"1\" cellspacing=\"0\" cellpadding=\"2\"><tr>");
    for (Column c : {Column::Pupil, Column::Class, Column::Test, Column::Date, Column::TimeTaken, Column::Right,
                     Column::Wrong, Column::Percent, Column::Grade, Column::Trust})
        html += QStringLiteral("<th>%1</th>").arg(columnTitle(c).toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (int i : m_rows) {
        html += QStringLiteral("<tr>");
        for (Column c : {Column::Pupil, Column::Class, Column::Test, Column::Date, Column::TimeTaken, Column::Right,
                         Column::Wrong, Column::Percent, Column::Grade, Column::Trust})
            html += QStringLiteral("<td>%1</td>").arg(cellText(m_records[i], c).toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    if (!m_questions.isEmpty()) {
        html += QStringLiteral("<h3>Otázky od nejtěžší</h3><table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">"
                               "<tr><th>Otázka</th><th>Správně</th><th>Správná odpověď</th>"
                               "<th>Nejčastější chybná odpověď</th></tr>");
        for (const TQuestionStats& q : m_questions)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>")
                        .arg(q.number)
                        .arg(percentText(q.share))
                        .arg(q.correct.toHtmlEscaped(), q.commonWrong.toHtmlEscaped());
        html += QStringLiteral("</table>");
    }
    return html;
}

void TResultsView::print(QPrinter* printer) const
{
    QTextDocument doc;
    doc.setHtml(printHtml());
    doc.print(printer);
}

bool TResultsView::writePdf(const QString& file) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    print(&printer);
    return QFile::exists(file);
}

void TResultsView::askExport()
{
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Uložit výsledky jako CSV"),
                                                      QStringLiteral("vysledky.csv"),
                                                      QStringLiteral("Tabulka CSV (*.csv)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!exportCsv(file, &error))
        Stav->setText(error);
    else
        Stav->setText(QStringLiteral("Uloženo do „%1“.").arg(file));
}

void TResultsView::askPrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        print(&printer);
}

void TResultsView::askPdf()
{
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Uložit výsledky jako PDF"),
                                                      QStringLiteral("vysledky.pdf"),
                                                      QStringLiteral("Dokument PDF (*.pdf)"));
    if (file.isEmpty())
        return;
    if (writePdf(file))
        Stav->setText(QStringLiteral("Uloženo do „%1“.").arg(file));
    else
        Stav->setText(QStringLiteral("Soubor „%1“ nejde uložit.").arg(file));
}

} // namespace vedomec
