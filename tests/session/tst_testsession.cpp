// The test a pupil takes, without any window: the shared question table
// when it is free, a working copy of his own when another copy of the
// program holds it; answers that belong to one pupil only; working copies
// that survive a failed write or a kill at every write and vanish when
// their program is gone.
#include "StoreFaults.h"
#include "TestData.h"

#include "data/Data.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "data/TableFile.h"
#include "data/TableImage.h"
#include "platform/Clock.h"
#include "platform/Sleeper.h"
#include "session/TestSession.h"
#include "session/WorkFolder.h"

#include <QDirIterator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vedomec;
using namespace vedomec::testdata;
using session::Move;
using session::ScreenAnswer;
using session::TTestSession;
using session::TWorkFolder;

namespace {

ScreenAnswer boxes(bool a, bool b = false, bool c = false, bool d = false)
{
    ScreenAnswer s;
    s.boxes = {a, b, c, d};
    return s;
}

ScreenAnswer letter(QChar l)
{
    return boxes(l == u'A', l == u'B', l == u'C', l == u'D');
}

TestFile withStored(TestFile t, const QStringList& stored)
{
    for (int i = 0; i < stored.size() && i < t.questions.size(); ++i)
        t.questions[i].odpoved = stored[i];
    return t;
}

// The question table of a type A test as the program declares it.
std::unique_ptr<data::TTable> questionTable()
{
    auto t = std::make_unique<data::TTable>();
    t->SetFieldDefs(data::layoutA());
    t->SetHeld(true);
    return t;
}

// Another copy of the program that has the test open.
std::unique_ptr<data::TTable> holdElsewhere(const QString& file)
{
    auto t = questionTable();
    t->SetDatabaseName(QFileInfo(file).absolutePath());
    t->SetTableName(QFileInfo(file).fileName());
    t->Open();
    return t;
}

void answerRow(data::TTable& t, int row, const QString& value)
{
    t.First();
    for (int i = 1; i < row; ++i)
        t.Next();
    t.Edit();
    t.SetFieldAsString(QStringLiteral("ODPOVED"), value);
    t.Post();
}

QStringList workFolders()
{
    return QDir(TWorkFolder::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QStringList storedIn(const QString& file)
{
    return readColumn(file, QStringLiteral("ODPOVED"));
}

// A production index as another dBASE program may give a question table:
// a tag of the answered rows, so that storing an answer changes the index.
const std::vector<data::MdxTagSpec> kAnsweredTag {
    {QStringLiteral("ODPOVEZENO"), QStringLiteral("DRUH"), QStringLiteral(".NOT. EMPTY(ODPOVED)")}};

// Where a descriptor's file lies.
QString pathOf(int fd)
{
    return QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(fd)).symLinkTarget();
}

// A file system that keeps no locks below `folder` (all of them when empty),
// for the life of the object.
struct NoLocksBelow {
    explicit NoLocksBelow(const QString& folder)
    {
        const QString root = QFileInfo(folder).canonicalFilePath() + QLatin1Char('/');
        data::setLockHook([root](int fd) { return root.size() == 1 || pathOf(fd).startsWith(root) ? ENOLCK : 0; });
    }
    ~NoLocksBelow() { data::setLockHook({}); }
};

} // namespace

Q_DECLARE_METATYPE(vedomec::session::ScreenAnswer)

class TestTestSession : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;
    QTemporaryDir m_state;

private slots:
    void initTestCase() { TWorkFolder::setRootOverride(m_state.path() + QStringLiteral("/work")); }

    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_file = m_dir.filePath(QStringLiteral("mapa.dbf"));
        writeQuestionTable(m_file, simpleTest(QStringLiteral("A"), 3));
    }

    void cleanup()
    {
        QCOMPARE(workFolders(), QStringList());
        data::setLockWaitTiming(nullptr, nullptr);
    }

    // What the capture controls store, and which boxes show a stored text.
    void answersOnScreenAndStored_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<ScreenAnswer>("screen");
        QTest::addColumn<bool>("expiry");
        QTest::addColumn<QString>("stored"); // "<keep>" when the row keeps its value
        const auto A = int(results::TestType::A), B = int(results::TestType::B), C = int(results::TestType::C);
        QTest::newRow("A b)") << A << boxes(false, true) << false << "B";
        QTest::newRow("A a) and c): the last wins") << A << boxes(true, false, true) << false << "C";
        QTest::newRow("A none keeps") << A << boxes(false) << false << "<keep>";
        QTest::newRow("A none at expiry empties") << A << boxes(false) << true << "";
        QTest::newRow("B ANO") << B << boxes(true) << false << "Ano";
        QTest::newRow("B both: NE wins") << B << boxes(true, true) << false << "Ne";
        QTest::newRow("B none keeps, also at expiry") << B << boxes(false) << true << "<keep>";
        ScreenAnswer longText;
        longText.text = QString(300, u'ž');
        QTest::newRow("C cut to the field") << C << longText << false << QString(254, u'ž');
        QTest::newRow("C empty is stored") << C << ScreenAnswer {} << false << "";
    }
    void answersOnScreenAndStored()
    {
        QFETCH(int, type);
        QFETCH(ScreenAnswer, screen);
        QFETCH(bool, expiry);
        QFETCH(QString, stored);
        const std::optional<QString> v = session::AnswerToStore(results::TestType(type), screen, expiry);
        QCOMPARE(v.value_or(QStringLiteral("<keep>")), stored);
    }

    void storedAnswerShownInBoxes()
    {
        using results::TestType;
        using Boxes = std::array<bool, 4>;
        QVERIFY(session::BoxesShowing(TestType::A, QString()) == std::optional<Boxes>(Boxes {}));
        QVERIFY(session::BoxesShowing(TestType::A, QStringLiteral("D"))
                == std::optional<Boxes>(Boxes {false, false, false, true}));
        QVERIFY(session::BoxesShowing(TestType::B, QStringLiteral("Ne"))
                == std::optional<Boxes>(Boxes {false, true, false, false}));
        // Spellings other than the program's own leave the boxes as they are.
        for (const char* foreign : {"b", "x", "AB"})
            QVERIFY(!session::BoxesShowing(TestType::A, QLatin1String(foreign)));
        for (const char* foreign : {"ano", "NE", "A"})
            QVERIFY(!session::BoxesShowing(TestType::B, QLatin1String(foreign)));
        QVERIFY(!session::BoxesShowing(TestType::C, QStringLiteral("Praha")));
    }

    // One pupil: the shared table, answered on disk after every move, scored
    // from it and erased at the end.  A table a pupil ended properly is not
    // written by the opening.
    void onePupilAnswersInTheSharedTable()
    {
        const QByteArray before = bytesOf(m_file);
        auto table = questionTable();
        TTestSession s(table.get(), results::TestType::A);
        s.Open(m_file);
        QVERIFY(!s.OnWorkingCopy());
        QCOMPARE(QFileInfo(s.AnswerFile()).canonicalFilePath(), QFileInfo(m_file).canonicalFilePath());
        QCOMPARE(bytesOf(m_file), before);
        QCOMPARE(s.QuestionCount(), 3);

        s.Store(letter(u'A'));
        s.Go(Move::Next);
        QCOMPARE(storedIn(m_file), (QStringList {"A", "", ""}));
        s.Store(letter(u'C'));
        s.Go(Move::Last);
        QCOMPARE(s.CurrentRow(), 3);
        // The Results command stops at the unanswered third question and
        // leaves the cursor on the question shown.
        results::Outcome o = s.Score(results::EvalMode::ResultsCommand, 3);
        QVERIFY(!o.complete);
        QCOMPARE(o.unansweredRow, 3);
        QCOMPARE(s.CurrentRow(), 3);
        s.Store(letter(u'C'));
        o = s.Score(results::EvalMode::ResultsCommand, 3);
        QVERIFY(o.complete);
        QCOMPARE(o.r, 2);
        QCOMPARE(o.wrongList, QStringLiteral("2"));

        s.End();
        QVERIFY(!table->Active());
        QCOMPARE(storedIn(m_file), (QStringList {"", "", ""}));
    }

    // The answers a killed pupil left in a free table are erased before the
    // next pupil starts: his answer to question 2 is not scored as the next
    // pupil's.
    void answersOfAKilledTestReachNobody()
    {
        writeQuestionTable(m_file + QStringLiteral(".tmp"), withStored(simpleTest(QStringLiteral("A"), 3), {"A", "B", "C"}));
        QFile::remove(m_file);
        QFile::rename(m_file + QStringLiteral(".tmp"), m_file);
        auto table = questionTable();
        TTestSession s(table.get(), results::TestType::A);
        s.Open(m_file);
        QVERIFY(!s.OnWorkingCopy());
        QCOMPARE(storedIn(m_file), (QStringList {"", "", ""}));
        QCOMPARE(s.CurrentRow(), 1);
        QCOMPARE(s.Stored(), QString());
        s.Store(letter(u'A'));
        s.Go(Move::Next);
        QCOMPARE(s.Stored(), QString());
        s.Store(boxes(false));
        QVERIFY(!s.Score(results::EvalMode::ResultsCommand, 3).complete);
        s.End();
    }

    // Another copy holds the test: this one takes it on a copy of its own
    // outside the shared folder, with none of the holder's answers; both
    // answer at once, and each is scored from his own answers only.
    void secondPupilTakesTheTestOnAWorkingCopy()
    {
        auto holder = holdElsewhere(m_file);
        answerRow(*holder, 1, QStringLiteral("A")); // right
        answerRow(*holder, 2, QStringLiteral("A")); // wrong
        const QByteArray shared = bytesOf(m_file);

        auto table = questionTable();
        {
            TTestSession s(table.get(), results::TestType::A);
            s.Open(m_file);
            QVERIFY(s.OnWorkingCopy());
            const QString copy = s.AnswerFile();
            QVERIFY2(copy.startsWith(TWorkFolder::root() + QLatin1Char('/')), qPrintable(copy));
            QCOMPARE(storedIn(copy), (QStringList {"", "", ""}));
            QCOMPARE(workFolders().size(), 1);

            for (QChar l : {u'B', u'B', u'C'}) {
                QCOMPARE(s.Stored(), QString());
                s.Store(letter(l));
                s.Go(Move::Next);
                // The holder goes on answering while this copy answers.
                answerRow(*holder, 3, QString(l));
            }
            QCOMPARE(storedIn(copy), (QStringList {"B", "B", "C"}));
            QCOMPARE(storedIn(m_file), (QStringList {"A", "A", "C"}));
            const results::Outcome mine = s.Score(results::EvalMode::ResultsCommand, 3);
            QCOMPARE(mine.r, 2); // B on 2 and C on 3
            QCOMPARE(mine.wrongList, QStringLiteral("1"));
            s.End();
            QVERIFY(!QFileInfo::exists(copy));
            QCOMPARE(workFolders(), QStringList());
        }
        // Nothing of the second pupil reached the shared folder.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), (QStringList {"mapa.dbf", "mapa.dbf-journal"}));
        holder->Close();
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList {"mapa.dbf"});
        Q_UNUSED(shared);
    }

    // A session dropped without ending (the program goes) takes its working
    // copy with it.
    void droppedSessionRemovesItsWorkingCopy()
    {
        auto holder = holdElsewhere(m_file);
        auto table = questionTable();
        {
            TTestSession s(table.get(), results::TestType::A);
            s.Open(m_file);
            s.Store(letter(u'D'));
            QCOMPARE(workFolders().size(), 1);
        }
        QVERIFY(!table->Active());
    }

    // A holder that takes a change while many copies read the table waits
    // for them, and they for it; none sees a change half done.
    void readersAndTheHolderTakeTurns()
    {
        auto holder = holdElsewhere(m_file);
        for (int i = 0; i < 20; ++i) {
            answerRow(*holder, 1 + i % 3, QString(QChar(u'A' + i % 4)));
            const data::TableImage image = data::readTableImage(m_file);
            QCOMPARE(image.dbf, bytesOf(m_file));
            QVERIFY(image.mdxName.isEmpty());
        }
        // A program that is no holder still cannot write the held table.
        ManualClock clock;
        ManualSleeper sleeper(&clock);
        data::setLockWaitTiming(&clock, &sleeper, 5000);
        data::TTable writer;
        writer.SetFieldDefs(data::layoutA());
        writer.SetDatabaseName(m_dir.path());
        writer.SetTableName(QStringLiteral("mapa.dbf"));
        QVERIFY_THROWS_EXCEPTION(data::ETableLocked, writer.Open());
    }

    // A failed write at every write of opening a working copy, storing into
    // it and ending it: an error means nothing changed (no folder left, the
    // copy's row as before); the shared table is never touched.
    void failedWritesOnAWorkingCopy()
    {
        auto holder = holdElsewhere(m_file);
        answerRow(*holder, 2, QStringLiteral("D"));
        const QByteArray shared = bytesOf(m_file);
        for (int n = 1;; ++n) {
            auto table = questionTable();
            TTestSession s(table.get(), results::TestType::A);
            bool opened = false, stored = false;
            {
                WriteFaults faults(n, WriteFaults::Kind::FullDisk);
                try {
                    s.Open(m_file);
                    opened = true;
                    s.Store(letter(u'B'));
                    stored = true;
                    s.Go(Move::Next);
                    s.Store(letter(u'C'));
                } catch (const EVedomecError&) {
                }
                if (!faults.triggered())
                    n = -n; // every write went through: the last round
            }
            QCOMPARE(bytesOf(m_file), shared);
            if (!opened) {
                QVERIFY(!table->Active());
                QCOMPARE(workFolders(), QStringList());
                continue;
            }
            QVERIFY(s.OnWorkingCopy());
            const QStringList copy = storedIn(s.AnswerFile());
            QCOMPARE(copy.at(0), stored ? QStringLiteral("B") : QString());
            QVERIFY2(copy.at(1).isEmpty() || copy.at(1) == QLatin1String("C"), qPrintable(copy.join(',')));
            QCOMPARE(copy.at(2), QString());
            s.End();
            QCOMPARE(workFolders(), QStringList());
            if (n < 0)
                break;
        }
    }

    // A question table with a production index of its own: the second
    // pupil's working copy starts with no answer, as a copy of a table
    // without one does.
    void workingCopyOfAnIndexedTableStartsWithNoAnswer()
    {
        QFile::remove(m_file);
        writeQuestionTable(m_file, simpleTest(QStringLiteral("A"), 3), kAnsweredTag);
        auto holder = holdElsewhere(m_file);
        answerRow(*holder, 1, QStringLiteral("A"));
        answerRow(*holder, 3, QStringLiteral("C"));
        auto table = questionTable();
        TTestSession s(table.get(), results::TestType::A);
        s.Open(m_file);
        QVERIFY(s.OnWorkingCopy());
        QCOMPARE(storedIn(s.AnswerFile()), (QStringList {"", "", ""}));
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(s.Stored(), QString());
            s.Go(Move::Next);
        }
        QVERIFY(!s.Score(results::EvalMode::ResultsCommand, 3).complete);
        s.End();
        QCOMPARE(storedIn(m_file), (QStringList {"A", "", "C"}));
    }

    // The holder's change fails half way, at every write of it, and the disk
    // does not even let it be taken back.  Meanwhile another pupil copies
    // the table as it was before that change, and as soon as the disk is
    // back the holder's next step takes the change back on the files.
    void aFailedChangeOfTheHolderReachesNobody()
    {
        const QString index = m_dir.filePath(QStringLiteral("mapa.mdx"));
        for (int n = 1;; ++n) {
            emptyFolder(m_dir.path());
            writeQuestionTable(m_file, simpleTest(QStringLiteral("A"), 3), kAnsweredTag);
            auto holder = holdElsewhere(m_file);
            answerRow(*holder, 1, QStringLiteral("A"));
            const QByteArray dbf = bytesOf(m_file), mdx = bytesOf(index);
            bool failed = false, triggered = false;
            {
                WriteFaults faults(n, WriteFaults::Kind::Io, true);
                try {
                    answerRow(*holder, 2, QStringLiteral("B"));
                } catch (const EVedomecError&) {
                    failed = true;
                }
                triggered = faults.triggered();
            }
            if (!triggered) {
                QVERIFY(!failed);
                QCOMPARE(storedIn(m_file), (QStringList {"A", "B", ""}));
                break;
            }
            QVERIFY(failed);
            const QString at = QStringLiteral("failed at write %1").arg(n);

            const data::TableImage image = data::readTableImage(m_file);
            QVERIFY2(image.dbf == dbf && image.mdx == mdx, qPrintable(at));
            {
                auto table = questionTable();
                TTestSession s(table.get(), results::TestType::A);
                s.Open(m_file);
                QVERIFY(s.OnWorkingCopy());
                QCOMPARE(storedIn(s.AnswerFile()), (QStringList {"", "", ""}));
                s.Store(letter(u'D'));
                s.End();
            }

            // The holder goes on once the disk is back (to the first
            // question, leaving the answer he could not store): his first
            // step takes the change back on the files.
            holder->Cancel();
            holder->First();
            QVERIFY2(bytesOf(m_file) == dbf && bytesOf(index) == mdx, qPrintable(at));
            QVERIFY2(!data::TableJournal::unfinishedChangeRecorded(m_file), qPrintable(at));
            QCOMPARE(holder->FieldAsString(QStringLiteral("ODPOVED")), QStringLiteral("A"));
            QVERIFY2(n < 50, "the change never went through");
        }
    }

    // A shared folder whose file system keeps no locks: no copy holds the
    // table, so every pupil takes the test on a copy of his own, and is told
    // why once.  The same where his own folder keeps none either.
    void aFolderWithoutLocksGivesEveryPupilACopy()
    {
        const QByteArray shared = bytesOf(m_file);
        {
            const NoLocksBelow noLocks(m_dir.path());
            auto t1 = questionTable();
            auto t2 = questionTable();
            TTestSession first(t1.get(), results::TestType::A), second(t2.get(), results::TestType::A);
            first.Open(m_file);
            second.Open(m_file);
            QVERIFY(first.OnWorkingCopy());
            QVERIFY(second.OnWorkingCopy());
            QVERIFY2(first.TakeNotice().contains(QStringLiteral("neudržuje zámky")), "the user is told");
            QCOMPARE(second.TakeNotice(), QString());
            first.Store(letter(u'A'));
            second.Store(letter(u'B'));
            QCOMPARE(storedIn(first.AnswerFile()), (QStringList {"A", "", ""}));
            QCOMPARE(storedIn(second.AnswerFile()), (QStringList {"B", "", ""}));
            first.End();
            second.End();
        }
        {
            const NoLocksBelow noLocksAnywhere {QString()};
            auto table = questionTable();
            TTestSession s(table.get(), results::TestType::A);
            s.Open(m_file);
            QVERIFY(s.OnWorkingCopy());
            QCOMPARE(s.TakeNotice(), QString()); // told already
            s.Store(letter(u'C'));
            QCOMPARE(storedIn(s.AnswerFile()), (QStringList {"C", "", ""}));
            s.End();
        }
        QCOMPARE(bytesOf(m_file), shared);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList {"mapa.dbf"});
    }

    // On a home whose file system keeps no locks, a working copy's owner
    // holds none: a lock granted later tells nothing of him, and his copy
    // stays while his process runs; once it is gone the copy goes.
    void aCopyWhoseOwnerIsNotShownGoneStays()
    {
        std::unique_ptr<TWorkFolder> mine;
        {
            const NoLocksBelow noLocks {QString()};
            mine = TWorkFolder::create();
        }
        QCOMPARE(TWorkFolder::clearOrphans(), 0);
        QVERIFY(QFileInfo(mine->path()).isDir());

        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        const auto closeReady = qScopeGuard([&] {
            ::close(ready[0]);
            ::close(ready[1]);
        });
        ForkedChild other([&] {
            data::setLockHook([](int) { return ENOLCK; });
            auto theirs = TWorkFolder::create();
            (void)!::write(ready[1], "r", 1);
            ::pause();
        });
        char c = 0;
        QCOMPARE(::read(ready[0], &c, 1), ssize_t(1));
        QCOMPARE(TWorkFolder::clearOrphans(), 0);
        QCOMPARE(workFolders().size(), 2);
        other.kill();
        QCOMPARE(TWorkFolder::clearOrphans(), 1);
        QCOMPARE(workFolders(), QStringList {QFileInfo(mine->path()).fileName()});
        mine.reset();
    }

    // A child a test keeps running ends with the test, however the test
    // ends (a failed check returns from it, or its process dies): nothing
    // is left holding the output that ctest reads until it times out.
    void aChildEndsWithItsTest()
    {
        for (bool testDies : {false, true}) {
            int output[2];
            QVERIFY(::pipe(output) == 0);
            const int code = inChild([&] {
                ::close(output[0]);
                ForkedChild other([] { ::pause(); });
                ::close(output[1]); // the child's copy stays open
                if (testDies)
                    ::raise(SIGKILL);
                // A check failed: the test function returns.
            });
            ::close(output[1]);
            QCOMPARE(code, testDies ? -SIGKILL : 0);
            pollfd p {output[0], POLLIN, 0};
            char c = 0;
            const bool ended = ::poll(&p, 1, 10000) == 1 && ::read(output[0], &c, 1) == 0;
            ::close(output[0]);
            QVERIFY2(ended, testDies ? "the child outlived its killed test" : "the child outlived its failed test");
        }
    }

    // A copy killed at every write of its working copy (before the write, or
    // with part of it on the disk) leaves its copy in a before- or
    // after-state, nothing in the shared folder, and a folder the next start
    // clears without reading it.  A live copy's folder is never cleared.
    void killedAtEveryWriteOfAWorkingCopy()
    {
        auto holder = holdElsewhere(m_file);
        const QByteArray shared = bytesOf(m_file);
        for (bool partly : {false, true}) {
            for (int n = 1;; ++n) {
                const int code = inChild([&] {
                    auto table = questionTable();
                    TTestSession s(table.get(), results::TestType::A);
                    DeathAtWrite death(n, partly);
                    try {
                        s.Open(m_file);
                        s.Store(letter(u'B'));
                        s.Go(Move::Next);
                        s.Store(letter(u'C'));
                    } catch (const EVedomecError&) {
                        // a write cut short is reported; the process is gone at its next step
                    }
                    death.finish();
                    ::raise(SIGKILL); // the program dies at the end in any case
                });
                QCOMPARE(code, -SIGKILL);
                QCOMPARE(bytesOf(m_file), shared);
                const QStringList left = workFolders();
                QVERIFY(left.size() <= 1);
                bool finished = false;
                if (!left.isEmpty()) {
                    const QDir folder(TWorkFolder::root() + QLatin1Char('/') + left.first());
                    if (folder.exists(QStringLiteral("mapa.dbf"))) {
                        data::TTable copy;
                        copy.SetFieldDefs(data::layoutA());
                        copy.SetDatabaseName(folder.path());
                        copy.SetTableName(QStringLiteral("mapa.dbf"));
                        try {
                            copy.Open(); // puts a change the kill cut short right
                            QStringList answers;
                            for (copy.First(); !copy.Eof(); copy.Next())
                                answers << copy.FieldAsString(QStringLiteral("ODPOVED"));
                            copy.Close();
                            QVERIFY2(answers == (QStringList {"", "", ""}) || answers == (QStringList {"B", "", ""})
                                         || answers == (QStringList {"B", "C", ""}),
                                     qPrintable(answers.join(',')));
                            finished = answers == (QStringList {"B", "C", ""});
                        } catch (const EVedomecError&) {
                            // Killed while the copy was written: never opened by anybody.
                        }
                    }
                }
                QCOMPARE(TWorkFolder::clearOrphans(), left.size());
                QCOMPARE(workFolders(), QStringList());
                if (finished) {
                    // Writing the copy, its journal and the two answers.
                    QVERIFY2(n > 3, qPrintable(QString::number(n)));
                    break;
                }
                QVERIFY2(n < 200, "the copy never finished");
            }
        }

        // A folder whose owner lives stays.
        auto mine = TWorkFolder::create();
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        const auto closeReady = qScopeGuard([&] {
            ::close(ready[0]);
            ::close(ready[1]);
        });
        ForkedChild other([&] {
            auto theirs = TWorkFolder::create();
            char c = 1;
            (void)!::write(ready[1], &c, 1);
            ::pause();
        });
        char c = 0;
        QCOMPARE(::read(ready[0], &c, 1), ssize_t(1));
        QCOMPARE(workFolders().size(), 2);
        QCOMPARE(TWorkFolder::clearOrphans(), 0);
        QCOMPARE(workFolders().size(), 2);
        other.kill();
        QCOMPARE(TWorkFolder::clearOrphans(), 1);
        QCOMPARE(workFolders(), QStringList {QFileInfo(mine->path()).fileName()});
        mine.reset();
    }
};

QTEST_GUILESS_MAIN(TestTestSession)
#include "tst_testsession.moc"
