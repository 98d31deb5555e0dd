// A class on one shared folder: copies of the program, each a process on a
// desktop of its own, take one test at once.  Each pupil is scored from his
// own answers; a copy killed in the middle of a test leaves nothing that
// reaches the next pupil and nothing in the shared folder.  A school's
// accounts (a teacher and pupils, each with ids of his own, in one group)
// are copies started through setpriv; that needs root, as CI runs.  Each
// test taken leaves a record for the teacher, and the teacher's view shows
// them.
#include "PupilCopy.h"
#include "StoreFaults.h"
#include "TestData.h"
#include "gradebook/RecordStore.h"
#include "results/ResultsView.h"

#include <QTableView>

#include "platform/AppPath.h"

#include <QDirIterator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

// The school's ids: none of them needs to exist as an account.
constexpr uint kClassGroup = 47100;
constexpr uint kTeacher = 47101;
constexpr uint kPupil1 = 47111;
constexpr uint kPupil2 = 47112;

bool canSwitchAccounts()
{
    return ::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty();
}

// Owner, group and modes for a whole tree (the root included).
void setTree(const QString& root, uint uid, uint gid, mode_t dirMode, mode_t fileMode)
{
    const auto set = [&](const QString& path, bool dir) {
        const QByteArray n = QFile::encodeName(path);
        QVERIFY(::chown(n.constData(), uid, gid) == 0);
        QVERIFY(::chmod(n.constData(), dir ? dirMode : fileMode) == 0);
    };
    set(root, true);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        set(path, it.fileInfo().isDir());
    }
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// Everything below `root` as names with their bytes, to see that nothing
// changed and nothing was left.
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(QDir(root).relativeFilePath(path), bytesOf(path));
    }
    return out;
}

// One account of the school: its own ids, a home of its own, and the
// program copied where it may run it (the build tree may be closed to it).
class Account {
public:
    explicit Account(uint uid) : m_uid(uid)
    {
        QVERIFY(m_home.isValid());
        setTree(m_home.path(), uid, uid, 0700, 0600);
    }
    QStringList runAs() const
    {
        return {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(m_uid), QStringLiteral("--regid=%1").arg(m_uid),
                QStringLiteral("--groups=%1").arg(kClassGroup)};
    }
    QString home() const { return m_home.path(); }
    std::unique_ptr<PupilProcess> start(const QString& folder)
    {
        static int desktop = 0;
        auto p = std::make_unique<PupilProcess>(program(), folder,
                                                QStringLiteral(":6%1%2").arg(QCoreApplication::applicationPid()).arg(++desktop),
                                                home(), false, runAs());
        const QString ready = p->next();
        if (ready != QLatin1String("ready"))
            qWarning("a copy of %u did not start: %s", m_uid, qPrintable(ready));
        return p;
    }
    // This test's program, where every account may run it: in the build
    // tree when everybody may reach it there, else copied out.
    static QString program()
    {
        const QString own = QCoreApplication::applicationFilePath();
        bool open = (statOf(own).st_mode & (S_IROTH | S_IXOTH)) == (S_IROTH | S_IXOTH);
        for (QString d = QFileInfo(own).path(); open && d != QLatin1String("/"); d = QFileInfo(d).path())
            open = statOf(d).st_mode & S_IXOTH;
        if (open)
            return own;
        static QTemporaryDir dir;
        static const QString copy = [] {
            const QString path = dir.filePath(QStringLiteral("vedomec-class"));
            QFile::copy(QCoreApplication::applicationFilePath(), path);
            ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
            ::chmod(QFile::encodeName(path).constData(), 0755);
            return path;
        }();
        return copy;
    }

private:
    uint m_uid;
    QTemporaryDir m_home;
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

    // A pupil's program ended by SIGTERM (a logout, a shutdown) ends as if
    // he closed it: his test is recorded as unfinished, with his answers.
    void terminatedPupilIsRecordedUnfinished()
    {
        Classroom c(3);
        auto p = c.pupil();
        QVERIFY(p->ask(QStringLiteral("open ") + kTest).startsWith(QLatin1String("opened")));
        QVERIFY(p->ask(QStringLiteral("answer AC-")).startsWith(QLatin1String("answered")));
        ::kill(pid_t(p->pid()), SIGTERM);
        QVERIFY(p->process().waitForFinished(20000));
        const QList<gradebook::TStoredRecord> records = c.records();
        QCOMPARE(records.size(), 1);
        QVERIFY(!records[0].record.finished);
        QCOMPARE(Classroom::given(records[0].record), QStringLiteral("AC-"));
        QCOMPARE(records[0].record.answers[1].right, false);
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

    // The teacher imported the test: the table is his, 0644, in the class's
    // setgid folder.  Two pupils of the class take it at once, each on a
    // working copy, silently; each is scored from his own answers, and the
    // folder is left byte for byte as it was, without a journal of theirs.
    void teachersTestTakenByTwoPupilsAtOnce()
    {
        if (!canSwitchAccounts())
            QSKIP("needs root and setpriv to run copies as other accounts");
        Classroom c(4);
        setTree(c.folder.path(), kTeacher, kClassGroup, 02775, 0644);
        const QMap<QString, QByteArray> before = treeOf(c.folder.path());
        Account one(kPupil1), two(kPupil2);
        auto p1 = one.start(c.folder.path());
        auto p2 = two.start(c.folder.path());
        p1->send(QStringLiteral("open ") + kTest);
        p2->send(QStringLiteral("open ") + kTest);
        for (auto* p : {p1.get(), p2.get()}) {
            const QString r = p->next();
            QVERIFY2(r.startsWith(QLatin1String("opened ")) && r.endsWith(QLatin1String(" copy")), qPrintable(r));
        }
        p1->send(QStringLiteral("answer ABCD"));
        p2->send(QStringLiteral("answer ABDA"));
        for (auto* p : {p1.get(), p2.get()}) {
            const QString r = p->next();
            QVERIFY2(r.startsWith(QLatin1String("answered")), qPrintable(r));
        }
        QCOMPARE(p1->ask(QStringLiteral("results")), QStringLiteral("score 4 0"));
        QCOMPARE(p2->ask(QStringLiteral("results")), QStringLiteral("score 2 2"));
        for (auto* p : {p1.get(), p2.get()}) {
            QCOMPARE(p->ask(QStringLiteral("close")), QStringLiteral("closed"));
            QVERIFY(p->quit());
        }
        QCOMPARE(treeOf(c.folder.path()), before);
    }

    // The results folder as the README has the administrator make it: the
    // pupils may write into it but neither list nor read it, and what they
    // write belongs to the teachers' group.  Two pupils, each his own
    // account, each leave one record of his own, which only the teacher
    // reads; nobody is told of a failure.
    void pupilsRecordIntoAFolderTheyCannotRead()
    {
        if (!canSwitchAccounts())
            QSKIP("needs root and setpriv to run copies as other accounts");
        Classroom c(4);
        setTree(c.folder.path(), kTeacher, kClassGroup, 02775, 0644);
        constexpr uint kTeachersGroup = 47102;
        QVERIFY(QDir().mkdir(c.results()));
        QCOMPARE(::chown(QFile::encodeName(c.results()).constData(), kTeacher, kTeachersGroup), 0);
        QCOMPARE(::chmod(QFile::encodeName(c.results()).constData(), 03773), 0);
        Account one(kPupil1), two(kPupil2);
        auto p1 = one.start(c.folder.path());
        auto p2 = two.start(c.folder.path());
        const std::pair<PupilProcess*, QString> takes[] = {{p1.get(), QStringLiteral("ABCD")},
                                                           {p2.get(), QStringLiteral("ABDA")}};
        for (const auto& [p, answers] : takes) {
            QVERIFY(p->ask(QStringLiteral("open ") + kTest).startsWith(QLatin1String("opened ")));
            QVERIFY(p->ask(QStringLiteral("answer ") + answers).startsWith(QLatin1String("answered")));
        }
        QCOMPARE(p1->ask(QStringLiteral("results")), QStringLiteral("score 4 0"));
        QCOMPARE(p2->ask(QStringLiteral("results")), QStringLiteral("score 2 2"));
        for (auto* p : {p1.get(), p2.get()}) {
            QCOMPARE(p->ask(QStringLiteral("messages")), QStringLiteral("messages"));
            QCOMPARE(p->ask(QStringLiteral("close")), QStringLiteral("closed"));
            QVERIFY(p->quit());
        }
        const QList<gradebook::TStoredRecord> records = c.records();
        QCOMPARE(records.size(), 2);
        QMap<qint64, const gradebook::TStoredRecord*> byOwner;
        for (const auto& s : records) {
            QVERIFY(s.trusted);
            const struct stat st = statOf(s.path);
            QCOMPARE(st.st_gid, kTeachersGroup);
            QCOMPARE(st.st_mode & 0777, mode_t(0640));
            byOwner.insert(s.ownerUid, &s);
        }
        QCOMPARE(byOwner.keys(), (QList<qint64> {kPupil1, kPupil2}));
        QCOMPARE(Classroom::given(byOwner[kPupil1]->record), QStringLiteral("ABCD"));
        QCOMPARE(byOwner[kPupil1]->record.grade, QStringLiteral("1 - výborný"));
        QCOMPARE(Classroom::given(byOwner[kPupil2]->record), QStringLiteral("ABDA"));
        QCOMPARE(byOwner[kPupil2]->record.grade, QStringLiteral("3 - dobrý"));
        QCOMPARE(byOwner[kPupil2]->record.percent, QStringLiteral("50"));
    }

    // A folder the whole group writes: a pupil answers in the table itself
    // and is killed; the journal he left was made 0644 by an older copy.
    // The next pupil, another account, takes the test in the table all the
    // same (the journal gives way to one of his that the group may write),
    // starts from no answers, and leaves none.
    void killedPupilsJournalBlocksNobody()
    {
        if (!canSwitchAccounts())
            QSKIP("needs root and setpriv to run copies as other accounts");
        Classroom c(2);
        setTree(c.folder.path(), kTeacher, kClassGroup, 02775, 0664);
        Account one(kPupil1), two(kPupil2);
        auto killed = one.start(c.folder.path());
        QVERIFY(killed->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(killed->ask(QStringLiteral("answer AB-")).startsWith(QLatin1String("answered")));
        const QString journal = c.table() + QStringLiteral("-journal");
        const struct stat his = statOf(journal);
        QCOMPARE(his.st_uid, kPupil1);
        QCOMPARE(his.st_gid, kClassGroup);
        QCOMPARE(his.st_mode & 0777, mode_t(0664));
        killed->kill();
        QCOMPARE(c.stored(), (QStringList {"A", "B"}));
        QVERIFY(::chmod(QFile::encodeName(journal).constData(), 0644) == 0);

        auto next = two.start(c.folder.path());
        QVERIFY(next->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QCOMPARE(c.stored(), (QStringList {"", ""}));
        QCOMPARE(statOf(journal).st_uid, kPupil2);
        QVERIFY(next->ask(QStringLiteral("answer A-")).startsWith(QLatin1String("answered")));
        QCOMPARE(next->ask(QStringLiteral("results")),
                 QStringLiteral("unanswered Ještě nebyly zodpovězeny všechny otázky!"));
        QVERIFY(next->quit());
        QCOMPARE(c.stored(), (QStringList {"", ""}));
        QCOMPARE(c.sharedFiles(), QStringList {"mapa.dbf"});
    }

    // A class folder nobody but root may write (755/644): a pupil takes the
    // test on a working copy, is scored right, and nothing of the folder
    // changes.
    void readOnlyClassFolderWorks()
    {
        if (!canSwitchAccounts())
            QSKIP("needs root and setpriv to run copies as other accounts");
        Classroom c(3);
        setTree(c.folder.path(), 0, 0, 0755, 0644);
        const QMap<QString, QByteArray> before = treeOf(c.folder.path());
        Account one(kPupil1);
        auto p = one.start(c.folder.path());
        QVERIFY(p->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String(" copy")));
        QVERIFY(p->ask(QStringLiteral("answer ABD")).startsWith(QLatin1String("answered")));
        QCOMPARE(p->ask(QStringLiteral("results")), QStringLiteral("score 2 1"));
        QVERIFY(p->quit());
        QCOMPARE(treeOf(c.folder.path()), before);
    }

    // The teacher's start fills an empty setgid folder of the class with the
    // sample: every folder keeps the setgid bit and the class's group, every
    // file gets the group and its right to write.  A pupil killed in a test
    // there leaves a journal of the class's group that the next pupil may
    // write: he takes the test in the table, without the killed one's answers.
    void setgidFolderFilledByTheProgram()
    {
        if (!canSwitchAccounts())
            QSKIP("needs root and setpriv to run copies as other accounts");
        Classroom sample(2);
        setTree(sample.folder.path(), 0, 0, 0755, 0644);
        QTemporaryDir parent;
        ::chmod(QFile::encodeName(parent.path()).constData(), 0755);
        const QString folder = parent.filePath(QStringLiteral("trida"));
        QVERIFY(QDir().mkdir(folder));
        setTree(folder, 0, kClassGroup, 02775, 0664);

        Account teacher(kTeacher);
        QProcess fill;
        fill.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        fill.start(QStringLiteral("setpriv"), teacher.runAs() + QStringList {Account::program(), QStringLiteral("--fill"),
                                                                             folder, sample.folder.path()});
        QVERIFY(fill.waitForFinished(30000));
        QCOMPARE(QString::fromLocal8Bit(fill.readAllStandardOutput()).trimmed(),
                 QString::number(int(TAppPath::NamedFolder::Filled)));
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        int folders = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            const struct stat st = statOf(path);
            QVERIFY2(st.st_gid == kClassGroup, qPrintable(path));
            if (S_ISDIR(st.st_mode)) {
                ++folders;
                QVERIFY2((st.st_mode & 07777) == (02775), qPrintable(path));
            } else {
                QVERIFY2((st.st_mode & 07777) == 0664, qPrintable(path));
            }
        }
        QVERIFY(folders >= 3);

        Account one(kPupil1), two(kPupil2);
        const QString table = folder + QStringLiteral("/Testy/mapa.dbf");
        auto killed = one.start(folder);
        QVERIFY(killed->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(killed->ask(QStringLiteral("answer AB-")).startsWith(QLatin1String("answered")));
        killed->kill();
        const struct stat journal = statOf(table + QStringLiteral("-journal"));
        QCOMPARE(journal.st_gid, kClassGroup);
        QVERIFY(journal.st_mode & S_IWGRP);
        QCOMPARE(readColumn(table, QStringLiteral("ODPOVED")), (QStringList {"A", "B"}));

        auto next = two.start(folder);
        QVERIFY(next->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QCOMPARE(readColumn(table, QStringLiteral("ODPOVED")), (QStringList {"", ""}));
        QCOMPARE(next->ask(QStringLiteral("answer BB")).section(QLatin1Char(' '), 0, 0), QStringLiteral("answered"));
        QCOMPARE(next->ask(QStringLiteral("results")), QStringLiteral("score 1 1"));
        QVERIFY(next->quit());
        QCOMPARE(readColumn(table, QStringLiteral("ODPOVED")), (QStringList {"", ""}));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--pupil") == 0)
        return runPupil(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc >= 4 && std::strcmp(argv[1], "--fill") == 0) {
        // The start's filling of an empty folder a setting names.
        QCoreApplication app(argc, argv);
        QString error;
        const int r = int(TAppPath::prepareNamed(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), &error));
        std::printf("%d %s\n", r, qPrintable(error));
        return 0;
    }
    QApplication app(argc, argv);
    TestClass t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_class.moc"
