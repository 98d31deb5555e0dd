// The teacher's view driven as a teacher drives it: the filters, a click on
// a column's header, a row chosen, the export and the PDF.
#include "gradebook/RecordStore.h"
#include "results/ResultsView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using namespace vedomec::gradebook;

namespace {

TResultRecord record(const QString& pupil, const QString& file, int right, int of, const QDate& day)
{
    const TAccount me = currentAccount();
    TResultRecord r;
    r.login = me.login;
    r.uid = me.uid;
    r.pupilName = pupil;
    r.testFile = file;
    r.testTitle = file.section(u'.', 0, 0);
    r.testKind = file.startsWith(QLatin1String("m")) ? QStringLiteral("Zeměpis") : QStringLiteral("Dějepis");
    r.testType = QStringLiteral("B");
    r.ended = QDateTime(day, QTime(10, 0));
    r.started = r.ended.addSecs(-120);
    r.elapsedSeconds = 120;
    r.finished = true;
    r.questions = of;
    r.right = right;
    r.wrong = of - right;
    r.percent = QString::number(100 * right / of);
    r.grade = right == of ? QStringLiteral("1 - výborný") : QStringLiteral("5 - nedostatečný");
    for (int i = 0; i < of; ++i)
        r.answers.append({i < right ? QStringLiteral("Ano") : QStringLiteral("Ne"), QStringLiteral("Ano"), i < right});
    return r;
}

} // namespace

class TestResultsView : public QObject {
    Q_OBJECT

private slots:
    void teacherFiltersSortsAndExports()
    {
        QTemporaryDir dir;
        const QDate day(2026, 12, 7);
        for (const TResultRecord& r : {record(QStringLiteral("Bára"), QStringLiteral("mapa.dbf"), 2, 2, day),
                                       record(QStringLiteral("Adam"), QStringLiteral("mapa.dbf"), 0, 2, day.addDays(1)),
                                       record(QStringLiteral("Čeněk"), QStringLiteral("hrady.dbf"), 1, 1, day.addDays(2))})
            QVERIFY(!writeRecord(dir.path(), r).isEmpty());

        TResultsView view;
        view.resize(1000, 600);
        view.show();
        view.setFolder(dir.path());
        QCOMPARE(view.Tabulka->model()->rowCount(), 3);
        QCOMPARE(view.Test->count(), 3); // all, hrady, mapa

        view.Test->setCurrentIndex(view.Test->findData(QStringLiteral("mapa.dbf")));
        QCOMPARE(view.rows().size(), 2);
        QCOMPARE(view.Graf->counts(), (std::array<int, 5> {1, 0, 0, 0, 1}));
        QCOMPARE(view.Otazky->rowCount(), 2);
        QCOMPARE(view.Otazky->item(0, 1)->text(), QStringLiteral("50 % (1 z 2)"));
        QCOMPARE(view.Otazky->item(0, 3)->text(), QStringLiteral("Ne (1×)"));

        // A click on "Žák" sorts by the pupil, a second one the other way.
        const int pupilX = view.Tabulka->horizontalHeader()->sectionViewportPosition(int(Column::Pupil)) + 5;
        QTest::mouseClick(view.Tabulka->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(pupilX, 5));
        QCOMPARE(view.Tabulka->model()->index(0, int(Column::Pupil)).data().toString(), QStringLiteral("Adam"));
        QTest::mouseClick(view.Tabulka->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(pupilX, 5));
        QCOMPARE(view.Tabulka->model()->index(0, int(Column::Pupil)).data().toString(), QStringLiteral("Bára"));

        // One pupil's answers beside the right ones.
        view.Tabulka->setCurrentIndex(view.Tabulka->model()->index(1, 0));
        QCOMPARE(view.Odpovedi->rowCount(), 2);
        QCOMPARE(view.Odpovedi->item(0, 1)->text(), QStringLiteral("Ne"));
        QCOMPARE(view.Odpovedi->item(0, 2)->text(), QStringLiteral("Ano"));
        QCOMPARE(view.Odpovedi->item(0, 3)->text(), QStringLiteral("chybně"));

        // The other filters: all tests, a pupil, a range of days.
        view.Test->setCurrentIndex(0);
        view.Zak->setText(QStringLiteral("ČENĚ"));
        QCOMPARE(view.rows().size(), 1);
        view.Zak->clear();
        view.DoZapnuto->setChecked(true);
        view.Do->setDate(day);
        QCOMPARE(view.rows().size(), 1);
        view.DoZapnuto->setChecked(false);
        view.Druh->setCurrentIndex(view.Druh->findData(QStringLiteral("Dějepis")));
        QCOMPARE(view.rows().size(), 1);
        view.Druh->setCurrentIndex(0);

        // What is shown goes out: the CSV read back, a PDF.
        const QString csv = dir.filePath(QStringLiteral("export.csv"));
        QVERIFY(view.exportCsv(csv));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QStringList> back = parseCsv(f.readAll());
        QCOMPARE(back.size(), 4);
        QStringList pupils;
        for (int i = 1; i < back.size(); ++i)
            pupils << back[i][int(Column::Pupil)];
        QCOMPARE(pupils, (QStringList {"Čeněk", "Bára", "Adam"}));
        const QString pdf = dir.filePath(QStringLiteral("vysledky.pdf"));
        QVERIFY(view.writePdf(pdf));
        QFile p(pdf);
        QVERIFY(p.open(QIODevice::ReadOnly));
        QVERIFY(p.read(4) == "%PDF");
    }
};

QTEST_MAIN(TestResultsView)
#include "tst_resultsview.moc"
