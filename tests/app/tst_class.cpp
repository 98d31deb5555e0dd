// A class on one shared folder: copies of the program, each a process on a
// desktop of its own, take one test at once.  Each pupil is scored from his
// own answers; a copy killed in the middle of a test leaves nothing that
// reaches the next pupil and nothing in the shared folder.  Each test taken
// leaves a record for the teacher, and the teacher's view shows them.
#include "PupilCopy.h"
#include "StoreFaults.h"
#include "TestData.h"
#include "gradebook/RecordStore.h"
#include "results/ResultsView.h"

#include <QTableView>

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

const QString kTest = QStringLiteral("Zeměpis|Mapa");

// The folder of a class with one test of `questions` questions of type A,
// whose right answers go A, B, C, D, A...
struct Classroom {
    explicit Classroom(int questions)
    {
        TestFile t = simpleTest(QStringLiteral("A"), questions);
        t.druh = QStringLiteral("Zeměpis");
        t.nazev = QStringLiteral("Mapa");
        folder.addTest(QStringLiteral("mapa.dbf"), t);
    }
    std::unique_ptr<PupilProcess> pupil(const QString& stateHome = QString())
    {
        static int desktop = 0;
        auto p = std::make_unique<PupilProcess>(
            QCoreApplication::applicationFilePath(), folder.path(),
            QStringLiteral(":5%1%2").arg(QCoreApplication::applicationPid()).arg(++desktop),
            stateHome.isEmpty() ? state.path() : stateHome);
        const QString ready = p->next();
        if (ready != QLatin1String("ready"))
            qWarning("a copy did not start: %s", qPrintable(ready));
        return p;
    }
    QString table() const { return folder.testy() + QStringLiteral("mapa.dbf"); }
    QString results() const { return folder.path() + QStringLiteral("Vysledky"); }
    QList<gradebook::TStoredRecord> records() const
    {
        QList<gradebook::TStoredRecord> r = gradebook::readRecords(results()).records;
        std::sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.record.pupil() < b.record.pupil(); });
        return r;
    }
    // The answers a record holds, '-' for none.
    static QString given(const gradebook::TResultRecord& r)
    {
        QString out;
        for (const gradebook::TAnswer& a : r.answers)
            out += a.given.isEmpty() ? QStringLiteral("-") : a.given;
        return out;
    }
    QStringList stored() const { return readColumn(table(), QStringLiteral("ODPOVED")); }
    QStringList sharedFiles() const { return QDir(folder.testy()).entryList(QDir::Files); }
    QStringList workingCopies() const
    {
        return QDir(state.path() + QStringLiteral("/vedomec/work")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    AppFolder folder;
    QTemporaryDir state; // the pupils' XDG state home
};

} // namespace

class TestClass : public QObject {
    Q_OBJECT

private slots:
    // Three copies open one test at the same moment: nobody is turned away,
    // one answers in the shared table and two on copies of their own, each
    // gets the score of his own answers, and nothing of them stays.
    void threeCopiesTakeOneTestAtOnce()
    {
        Classroom c(4);
        std::vector<std::unique_ptr<PupilProcess>> pupils;
        for (int i = 0; i < 3; ++i)
            pupils.push_back(c.pupil());
        for (auto& p : pupils)
            p->send(QStringLiteral("open ") + kTest);
        QStringList modes;
        for (auto& p : pupils) {
            const QString r = p->next();
            QVERIFY2(r.startsWith(QLatin1String("opened ")), qPrintable(r));
            modes << r.section(QLatin1Char(' '), 2);
        }
        modes.sort();
        QCOMPARE(modes, (QStringList {"copy", "copy", "shared"}));
        QCOMPARE(c.workingCopies().size(), 2);

        // Right answers: A B C D.  Each answers every question; the last
        // one is stored by the Results command.
        const QStringList answers {"ABCD", "ABDD", "DCBA"};
        const QStringList scores {"score 4 0", "score 3 1", "score 0 4"};
        for (int i = 0; i < 3; ++i)
            pupils[size_t(i)]->send(QStringLiteral("answer ") + answers[i]);
        for (auto& p : pupils)
            QVERIFY(p->next().startsWith(QLatin1String("answered")));
        for (auto& p : pupils)
            p->send(QStringLiteral("results"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(pupils[size_t(i)]->next(), scores[i]);

        for (auto& p : pupils)
            QCOMPARE(p->ask(QStringLiteral("close")), QStringLiteral("closed"));
        QCOMPARE(c.stored(), (QStringList {"", "", "", ""}));
        QCOMPARE(c.workingCopies(), QStringList());
        for (auto& p : pupils) {
            QCOMPARE(p->ask(QStringLiteral("messages")), QStringLiteral("messages"));
            QVERIFY(p->quit());
        }
        QCOMPARE(c.sharedFiles(), QStringList {"mapa.dbf"});

        // Each left one record with his own answers and the figures the
        // results dialog showed him; the copies ran as one account here, so
        // they are told apart by their answers.
        QList<gradebook::TStoredRecord> records = c.records();
        QCOMPARE(records.size(), 3);
        QMap<QString, const gradebook::TResultRecord*> byAnswers;
        for (const auto& s : records) {
            QVERIFY(s.trusted);
            QVERIFY(s.record.finished);
            QVERIFY(!s.record.timeRanOut);
            QCOMPARE(s.record.testFile, QStringLiteral("mapa.dbf"));
            QCOMPARE(s.record.testTitle, QStringLiteral("Mapa"));
            QCOMPARE(s.record.testKind, QStringLiteral("Zeměpis"));
            QCOMPARE(s.record.testType, QStringLiteral("A"));
            QCOMPARE(s.record.timeLimit, QStringLiteral("neomezeno"));
            QVERIFY(s.record.started.isValid() && s.record.started <= s.record.ended);
            byAnswers.insert(Classroom::given(s.record), &s.record);
        }
        QCOMPARE(byAnswers.keys(), (QStringList {"ABCD", "ABDD", "DCBA"}));
        QCOMPARE(byAnswers["ABCD"]->grade, QStringLiteral("1 - výborný"));
        QCOMPARE(byAnswers["ABCD"]->percent, QStringLiteral("100"));
        QCOMPARE(byAnswers["ABDD"]->grade, QStringLiteral("2 - chvalitebný"));
        QCOMPARE(byAnswers["ABDD"]->percent, QStringLiteral("75"));
        QCOMPARE(byAnswers["ABDD"]->wrongList, QStringLiteral("3"));
        QCOMPARE(byAnswers["DCBA"]->grade, QStringLiteral("5 - nedostatečný"));
        QCOMPARE(byAnswers["DCBA"]->right, 0);
        QCOMPARE(byAnswers["DCBA"]->wrong, 4);
        QCOMPARE(byAnswers["DCBA"]->correctList, QStringLiteral("1A, 2B, 3C, 4D"));

        // The teacher's view: three rows, the chart, the questions.
        TResultsView view;
        view.setFolder(c.results());
        QCOMPARE(view.Tabulka->model()->rowCount(), 3);
        QCOMPARE(view.Graf->counts(), (std::array<int, 5> {1, 1, 0, 0, 1}));
        QCOMPARE(view.summary().taken, 3);
        QCOMPARE(view.summary().averagePercent, (100 + 75 + 0) / 3.0);
        // Right: q1 2 of 3, q2 2, q3 1 (C; D and B wrong), q4 2.
        const QList<gradebook::TQuestionStats> q = view.questions();
        QCOMPARE(q.size(), 4);
        QCOMPARE(q[0].number, 3);
        QCOMPARE(q[0].right, 1);
        for (int i = 1; i < 4; ++i)
            QCOMPARE(q[i].right, 2);
    }

    // A record that cannot be written (here no folder can be made where a
    // file of the name is): the results show all the same, and then a
    // balloon asks the pupil to tell the teacher.  Ending a test without
    // results is recorded as unfinished.
    void recordNotWrittenIsToldAfterTheResults()
    {
        Classroom c(2);
        {
            QFile blocker(c.results());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        auto p = c.pupil();
        QVERIFY(p->ask(QStringLiteral("open ") + kTest).startsWith(QLatin1String("opened")));
        QVERIFY(p->ask(QStringLiteral("answer AA")).startsWith(QLatin1String("answered")));
        QCOMPARE(p->ask(QStringLiteral("results")), QStringLiteral("score 1 1"));
        const QString told = p->ask(QStringLiteral("messages"));
        QVERIFY2(told.startsWith(QStringLiteral("messages Váš výsledek se nepodařilo uložit, takže ho učitel neuvidí. "
                                                "Řekněte to prosím učiteli.")),
                 qPrintable(told));
        QCOMPARE(p->ask(QStringLiteral("close")), QStringLiteral("closed"));
        QVERIFY(p->quit());
        QVERIFY(QFile::remove(c.results()));

        // The folder can be made again: a test left by closing the program.
        auto next = c.pupil();
        QVERIFY(next->ask(QStringLiteral("open ") + kTest).startsWith(QLatin1String("opened")));
        QVERIFY(next->ask(QStringLiteral("answer B")).startsWith(QLatin1String("answered")));
        QVERIFY(next->quit());
        const QList<gradebook::TStoredRecord> records = c.records();
        QCOMPARE(records.size(), 1);
        QVERIFY(!records[0].record.finished);
        QCOMPARE(records[0].record.grade, QString());
        // The answer on screen was never stored: only what the table held.
        QCOMPARE(Classroom::given(records[0].record), QStringLiteral("--"));
    }

    // The pupil answers both questions and his program is killed.  The next
    // pupil answers only question 1 and asks for the results: the killed
    // pupil's answer to question 2 is not his.
    void answersOfAKilledCopyReachNobody()
    {
        Classroom c(2);
        auto first = c.pupil();
        QVERIFY(first->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(first->ask(QStringLiteral("answer AB-")).startsWith(QLatin1String("answered")));
        QCOMPARE(c.stored(), (QStringList {"A", "B"}));
        first->kill();

        auto next = c.pupil();
        QVERIFY(next->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QCOMPARE(c.stored(), (QStringList {"", ""}));
        QVERIFY(next->ask(QStringLiteral("answer A-")).startsWith(QLatin1String("answered")));
        QCOMPARE(next->ask(QStringLiteral("results")),
                 QStringLiteral("unanswered Ještě nebyly zodpovězeny všechny otázky!"));
        QCOMPARE(c.stored(), (QStringList {"A", ""}));
        QVERIFY(next->quit());
        QCOMPARE(c.stored(), (QStringList {"", ""}));
        QCOMPARE(c.sharedFiles(), QStringList {"mapa.dbf"});
        // The killed copy could record nothing; the next one, closed in the
        // middle of his test, is recorded as unfinished with his answer.
        const QList<gradebook::TStoredRecord> records = c.records();
        QCOMPARE(records.size(), 1);
        QVERIFY(!records[0].record.finished);
        QCOMPARE(Classroom::given(records[0].record), QStringLiteral("A-"));
    }

    // A pupil on a working copy is killed: the shared folder holds nothing of
    // him, his copy is read by nobody, and the next start of a copy of his
    // clears it while the copy of another live pupil stays.
    void killedWorkingCopyLeavesNothing()
    {
        Classroom c(3);
        auto holder = c.pupil();
        QVERIFY(holder->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(holder->ask(QStringLiteral("answer A")).startsWith(QLatin1String("answered")));
        QTemporaryDir otherUser;
        auto other = c.pupil(otherUser.path());
        QVERIFY(other->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("copy")));
        auto killed = c.pupil();
        QVERIFY(killed->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("copy")));
        const QByteArray shared = bytesOf(c.table());
        QVERIFY(killed->ask(QStringLiteral("answer BBC")).startsWith(QLatin1String("answered")));
        QCOMPARE(bytesOf(c.table()), shared);
        QCOMPARE(c.workingCopies().size(), 1);
        killed->kill();
        QCOMPARE(c.workingCopies().size(), 1); // nobody has looked yet

        auto again = c.pupil();
        QCOMPARE(c.workingCopies(), QStringList());
        // The other user's copy is his own business and lives on.
        QCOMPARE(QDir(otherUser.path() + QStringLiteral("/vedomec/work")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
        QVERIFY(again->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("copy")));
        QCOMPARE(again->ask(QStringLiteral("answer ---")).section(QLatin1Char(' '), 0, 0), QStringLiteral("answered"));
        QCOMPARE(again->ask(QStringLiteral("results")).section(QLatin1Char(' '), 0, 0), QStringLiteral("unanswered"));
        QCOMPARE(c.sharedFiles(), (QStringList {"mapa.dbf", "mapa.dbf-journal"}));
        for (auto* p : {again.get(), other.get(), holder.get()})
            QVERIFY(p->quit());
        QCOMPARE(c.sharedFiles(), QStringList {"mapa.dbf"});
        QCOMPARE(c.stored(), (QStringList {"", "", ""}));
        QCOMPARE(c.workingCopies(), QStringList());
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--pupil") == 0)
        return runPupil(argc, argv, QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    TestClass t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_class.moc"
