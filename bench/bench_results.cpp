// Prints the figures of the results folder on this machine: what recording
// adds to the end of a test (the record of a 100-question test written and
// flushed), the teacher's view opening a folder of 10,000 records, and
// filtering and sorting them.
#include "Figures.h"
#include "gradebook/Recorder.h"
#include "gradebook/RecordStore.h"
#include "platform/Clock.h"
#include "results/ResultsView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace vedomec;
using namespace vedomec::gradebook;

namespace {

double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void print(const char* what, const bench::Figures& f, const char* goal)
{
    std::printf("%-44s median %8.2f ms  mean %8.2f ms  max %8.2f ms  (goal %s)\n", what, f.median, f.mean, f.max, goal);
}

QList<results::AnswerRow> answers(int n, int seed)
{
    QList<results::AnswerRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QString(QChar(u'A' + i % 4)), QString(QChar(u'A' + (i * seed) % 4))});
    return rows;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;

    // 1. The end of a test: the record of 100 answers, written and flushed.
    {
        const QString folder = dir.filePath(QStringLiteral("Vysledky"));
        ManualWallClock clock;
        TRecorder recorder(&clock);
        recorder.setDataFolder(dir.path());
        std::vector<double> times;
        for (int i = 0; i < 50; ++i) {
            recorder.begin(QStringLiteral("mapa.dbf"), QStringLiteral("Mapa"), QStringLiteral("Zeměpis"),
                           results::TestType::A, QStringLiteral("neomezeno"));
            clock.advance(600);
            TShownResult shown {QStringLiteral("100"), QStringLiteral("40"), QStringLiteral("60"), QStringLiteral("40"),
                                QStringLiteral("1, 2, 3"), QStringLiteral("4 - dostatečný"), QStringLiteral("1A, 2B")};
            QElapsedTimer t;
            t.start();
            const QString error = recorder.finish(shown, answers(100, i), 600'000, false);
            times.push_back(ms(t));
            if (!error.isEmpty()) {
                std::printf("recording failed: %s\n", qPrintable(error));
                return 1;
            }
        }
        print("recording at the end of a test", bench::summarise(times), "< 20 ms");
    }

    // 2. A folder of 10,000 records of 30 tests, written without flushing.
    const QString big = dir.filePath(QStringLiteral("velka"));
    QDir().mkpath(big);
    const TAccount me = currentAccount();
    for (int i = 0; i < 10000; ++i) {
        TResultRecord r;
        r.login = me.login;
        r.uid = me.uid;
        r.pupilName = QStringLiteral("Žák %1").arg(i % 300);
        r.pupilClass = QStringLiteral("%1.A").arg(6 + i % 4);
        r.testFile = QStringLiteral("test%1.dbf").arg(i % 30);
        r.testTitle = QStringLiteral("Test číslo %1").arg(i % 30);
        r.testKind = QStringLiteral("Druh %1").arg(i % 5);
        r.testType = QStringLiteral("A");
        r.started = QDateTime(QDate(2026, 9, 1), QTime(8, 0)).addSecs(qint64(i) * 3600);
        r.ended = r.started.addSecs(600);
        r.elapsedSeconds = 600;
        r.finished = i % 20 != 0;
        r.questions = 20;
        r.right = i % 21;
        r.wrong = 20 - r.right;
        r.percent = QString::number(r.right * 5);
        r.grade = QStringLiteral("%1 - známka").arg(1 + (20 - r.right) / 5 > 5 ? 5 : 1 + (20 - r.right) / 5);
        for (const results::AnswerRow& a : answers(20, i))
            r.answers.append({a.odpoved, a.spravne, a.odpoved == a.spravne});
        QFile f(QStringLiteral("%1/%2.json").arg(big).arg(i, 5, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(toJson(r)) < 0)
            return 1;
    }
    {
        std::vector<double> open, filter, sort;
        for (int round = 0; round < 5; ++round) {
            TResultsView view;
            view.resize(1000, 700);
            QElapsedTimer t;
            t.start();
            view.setFolder(big);
            open.push_back(ms(t));
            if (view.rows().size() != 10000) {
                std::printf("the view shows %lld records, not 10000\n", qlonglong(view.rows().size()));
                return 1;
            }
            TFilter f;
            f.test = QStringLiteral("test7.dbf");
            f.pupil = QStringLiteral("žák 1");
            t.restart();
            view.setFilter(f);
            filter.push_back(ms(t));
            view.setFilter(TFilter {});
            t.restart();
            view.sortByColumn(Column::Pupil, false);
            sort.push_back(ms(t));
        }
        print("the view opening 10,000 records", bench::summarise(open), "< 1000 ms");
        print("filtering 10,000 records", bench::summarise(filter), "< 100 ms");
        print("sorting 10,000 records by the pupil", bench::summarise(sort), "-");
    }
    return 0;
}
