// Two programs on one data folder, as a class shares one on a network
// drive: each is a child process with the store, the files are read back
// from disk.
#include "StoreFaults.h"
#include "TestData.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "data/TableFile.h"
#include "data/TagCheck.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Sleeper.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vedomec;
using namespace vedomec::data;
using namespace vedomec::testdata;

namespace {

QString rowName(int id)
{
    return QStringLiteral("r%1").arg(id, 5, 10, QLatin1Char('0'));
}

void openCatalogue(TTable& t, const QString& folder)
{
    t.SetDatabaseName(folder);
    t.SetTableName("Testy.DBF");
    t.SetFieldDefs(catalogueLayout());
    t.SetIndexName("DRUHJMENO");
    t.Open();
}

void insertRow(TTable& t, const QString& druh, int id)
{
    t.Insert();
    t.SetFieldAsString("NAZEV", rowName(id) + ".dbf");
    t.SetFieldAsString("DRUH", druh);
    t.SetFieldAsString("JMENO", rowName(id));
    t.SetFieldAsString("TEST", "A");
    t.Post();
}

QStringList indexProblems(const QString& folder)
{
    const auto dbf = DbfFile::open(QDir(folder).filePath("Testy.DBF"));
    const auto mdx = MdxFile::open(QDir(folder).filePath("Testy.MDX"), false);
    return mdx->check() << checkTagsAgainstTable(*dbf, *mdx).problems << quickIndexCheck(*dbf, *mdx);
}

// A child that waits for a byte on `go` before it goes on, and says it is
// ready with a byte on `ready`.
struct Signals {
    int ready[2] = {-1, -1};
    int go[2] = {-1, -1};
    Signals()
    {
        if (::pipe(ready) != 0 || ::pipe(go) != 0)
            qFatal("no pipe");
    }
    ~Signals()
    {
        for (int fd : {ready[0], ready[1], go[0], go[1]})
            if (fd >= 0)
                ::close(fd);
    }
    void childSaysReady() { (void)!::write(ready[1], "r", 1); }
    void childWaits()
    {
        char c;
        (void)!::read(go[0], &c, 1);
    }
    // False when no child is ready within ten seconds (one died).
    bool parentAwaitsReady()
    {
        pollfd p{ready[0], POLLIN, 0};
        char c;
        return ::poll(&p, 1, 10000) == 1 && ::read(ready[0], &c, 1) == 1;
    }
    void parentSaysGo() { (void)!::write(go[1], "g", 1); }
};

pid_t forkChild(const std::function<void()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 0;
        try {
            body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", qPrintable(exceptionMessage(e)));
            code = 3;
        } catch (...) {
            code = 3;
        }
        ::_exit(code);
    }
    return pid;
}

// Kills a child the test left running when a check failed.
struct Reaper {
    explicit Reaper(pid_t p) : pid(p) {}
    Reaper(const Reaper&) = delete;
    Reaper& operator=(const Reaper&) = delete;
    pid_t pid;
    ~Reaper()
    {
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

int exitCode(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace

class TestSharing : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;

    void freshCatalogue()
    {
        m_folder = m_dir.filePath(QStringLiteral("data%1").arg(++m_folders));
        QVERIFY(QDir().mkpath(m_folder));
        createTable(QDir(m_folder).filePath("Testy.DBF"), dbfFieldsOf(catalogueLayout()), catalogueTags());
    }
    int m_folders = 0;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cleanup()
    {
        fs::setTreatFoldersAsNetwork(false);
        setLockWaitTiming(nullptr, nullptr);
    }

    // Two programs insert at once; every row of both is there once, and the
    // index holds each under its key.
    void concurrentInsertsKeepEveryRow_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<int>("rows");
        QTest::newRow("local folder") << false << 1000;
        QTest::newRow("network folder") << true << 200;
    }
    void concurrentInsertsKeepEveryRow()
    {
        QFETCH(bool, network);
        QFETCH(int, rows);
        freshCatalogue();
        Signals start;
        std::vector<pid_t> children;
        std::deque<Reaper> reapers;
        for (int who = 0; who < 2; ++who)
            children.push_back(forkChild([&, who] {
                fs::setTreatFoldersAsNetwork(network);
                TTable t;
                openCatalogue(t, m_folder);
                start.childSaysReady();
                start.childWaits();
                for (int i = 0; i < rows; ++i)
                    insertRow(t, who ? QStringLiteral("Druhý") : QStringLiteral("První"), who * 100000 + i);
                t.Close();
            }));
        for (pid_t pid : children)
            reapers.emplace_back(pid);
        for (int i = 0; i < 2; ++i)
            QVERIFY(start.parentAwaitsReady());
        start.parentSaysGo();
        start.parentSaysGo();
        for (pid_t pid : children)
            QCOMPARE(exitCode(pid), 0);

        TTable t;
        openCatalogue(t, m_folder);
        QCOMPARE(t.RecordCount(), 2 * rows);
        QCOMPARE(int(DbfFile::open(QDir(m_folder).filePath("Testy.DBF"))->recordCount()), 2 * rows);
        for (int who = 0; who < 2; ++who)
            for (int i = 0; i < rows; ++i)
                QVERIFY2(t.FindKey({who ? QStringLiteral("Druhý") : QStringLiteral("První"), rowName(who * 100000 + i)}),
                         qPrintable(rowName(who * 100000 + i)));
        t.Close();
        QCOMPARE(indexProblems(m_folder), QStringList());
        QVERIFY(!QFile::exists(QDir(m_folder).filePath("Testy.DBF-journal")));
    }

    // A program walks the catalogue again and again while another inserts:
    // every walk is in key order, holds no row twice and holds every row
    // whose insert had finished before the walk began.
    void readerSeesCompleteIndex()
    {
        freshCatalogue();
        int ids[2];
        QVERIFY(::pipe(ids) == 0);
        const int writes = 1500;
        const pid_t writer = forkChild([&] {
            ::close(ids[0]);
            TTable t;
            openCatalogue(t, m_folder);
            // Keys that land all over the index, so blocks split everywhere.
            for (int i = 0; i < writes; ++i) {
                const int id = (i * 7919) % 100000;
                insertRow(t, QStringLiteral("Druh %1").arg(id % 13), id);
                (void)!::write(ids[1], &id, sizeof id);
            }
        });
        Reaper reaper(writer);
        ::close(ids[1]);
        ::fcntl(ids[0], F_SETFL, O_NONBLOCK);
        QSet<int> done;
        bool writing = true;
        int walks = 0;
        TTable t;
        openCatalogue(t, m_folder);
        while (writing) {
            int id = 0;
            ssize_t got = 0;
            while ((got = ::read(ids[0], &id, sizeof id)) == sizeof id)
                done.insert(id);
            writing = got != 0; // end of the pipe: the writer is gone
            const QSet<int> before = done;
            QSet<int> seen;
            QByteArray previous;
            for (t.First(); !t.Eof(); t.Next()) {
                const QByteArray key = (t.FieldAsString("DRUH").leftJustified(50) + t.FieldAsString("JMENO")).toUtf8();
                QVERIFY2(key > previous, key.constData());
                previous = key;
                const int found = t.FieldAsString("JMENO").mid(1).toInt();
                QVERIFY2(!seen.contains(found), qPrintable(rowName(found)));
                seen.insert(found);
            }
            for (int b : before)
                QVERIFY2(seen.contains(b), qPrintable(QStringLiteral("walk %1 misses %2").arg(walks).arg(rowName(b))));
            ++walks;
        }
        ::close(ids[0]);
        QCOMPARE(exitCode(writer), 0);
        QCOMPARE(done.size(), writes);
        QVERIFY(walks > 3);
        t.First();
        QCOMPARE(t.RecordCount(), writes);
        t.Close();
        QCOMPARE(indexProblems(m_folder), QStringList());
    }

    // One program moves a row to another key; the other, open all along,
    // reads the new values and finds the row under its new key, and an edit
    // it had begun before keeps the other's change.
    void changeSeenByTheOther_data()
    {
        QTest::addColumn<bool>("network");
        QTest::newRow("local folder") << false;
        QTest::newRow("network folder") << true;
    }
    void changeSeenByTheOther()
    {
        QFETCH(bool, network);
        freshCatalogue();
        fs::setTreatFoldersAsNetwork(network);
        TTable t;
        openCatalogue(t, m_folder);
        for (int i = 1; i <= 30; ++i)
            insertRow(t, QStringLiteral("Zeměpis"), i);
        QVERIFY(t.FindKey({"Zeměpis", rowName(10)}));
        QCOMPARE(t.FieldAsString("JMENO"), rowName(10));
        // An edit of another row, begun before the other program's change.
        TTable editor;
        openCatalogue(editor, m_folder);
        QVERIFY(editor.FindKey({"Zeměpis", rowName(20)}));
        editor.Edit();
        editor.SetFieldAsString("HESLO", "tajné");

        QCOMPARE(inChild([&] {
                     TTable other;
                     openCatalogue(other, m_folder);
                     if (!other.FindKey({"Zeměpis", rowName(10)}) || !other.FindKey({"Zeměpis", rowName(20)}))
                         ::_exit(7);
                     other.Edit();
                     other.SetFieldAsString("AUTOR", "Jiná");
                     other.Post();
                     if (!other.FindKey({"Zeměpis", rowName(10)}))
                         ::_exit(7);
                     other.Edit();
                     other.SetFieldAsString("DRUH", "Angličtina");
                     other.SetFieldAsString("JMENO", "Slovíčka");
                     other.Post();
                     other.Close();
                 }),
                 0);

        if (network) {
            // On a network folder the mapping of the journal is not shared:
            // the next move of the cursor looks at the files.
            QVERIFY(!t.FindKey({"Zeměpis", rowName(10)}));
            QVERIFY(t.FindKey({"Angličtina", "Slovíčka"}));
        } else {
            // The next read sees the row as it is now.
            QCOMPARE(t.FieldAsString("JMENO"), QStringLiteral("Slovíčka"));
            QCOMPARE(t.FieldAsString("DRUH"), QStringLiteral("Angličtina"));
        }
        // The row now stands first in key order.
        t.First();
        QCOMPARE(t.FieldAsString("JMENO"), QStringLiteral("Slovíčka"));
        t.Next();
        QCOMPARE(t.FieldAsString("JMENO"), rowName(1));
        QVERIFY(!t.FindKey({"Zeměpis", rowName(10)}));
        QCOMPARE(t.RecordCount(), 30);

        // The edit begun before goes over the row as it is now.
        editor.Post();
        editor.Close();
        QVERIFY(t.FindKey({"Zeměpis", rowName(20)}));
        QCOMPARE(t.FieldAsString("HESLO"), QStringLiteral("tajné"));
        QCOMPARE(t.FieldAsString("AUTOR"), QStringLiteral("Jiná"));
        t.Close();
        QCOMPARE(indexProblems(m_folder), QStringList());
    }

    // Three users of one table: while one has it open, another closing it
    // leaves the journal to him, so a third who opens it then watches the
    // same journal and sees the first one's change before his own; no row is
    // lost, and the last to close takes the journal with him.
    void aUserClosingLeavesTheJournalToTheOthers()
    {
        freshCatalogue();
        const QString journal = TableJournal::pathFor(QDir(m_folder).filePath("Testy.DBF"));
        TTable first, second, third;
        openCatalogue(first, m_folder);
        openCatalogue(second, m_folder);
        second.Close();
        QVERIFY(QFile::exists(journal));
        openCatalogue(third, m_folder);
        insertRow(first, QStringLiteral("Zeměpis"), 1);
        insertRow(third, QStringLiteral("Dějepis"), 2);
        QCOMPARE(third.RecordCount(), 2);
        first.Close();
        third.Close();
        QVERIFY(!QFile::exists(journal));
        TTable reader;
        openCatalogue(reader, m_folder);
        QVERIFY(reader.FindKey({"Zeměpis", rowName(1)}));
        QVERIFY(reader.FindKey({"Dějepis", rowName(2)}));
        reader.Close();
        QCOMPARE(indexProblems(m_folder), QStringList());
    }

    // Another program puts a new file in the table's place: the copy that
    // had the old one open reports it at its next step and refuses every
    // further one, instead of reading a mix of both; opened again it reads
    // the new file.
    void replacedTableIsRefusedNotMisread()
    {
        freshCatalogue();
        TTable t;
        openCatalogue(t, m_folder);
        for (int i = 1; i <= 5; ++i)
            insertRow(t, QStringLiteral("Zeměpis"), i);
        t.First();
        const QString table = QDir(m_folder).filePath("Testy.DBF");
        QVERIFY(QFile::copy(table, table + ".new"));
        QVERIFY(::rename(QFile::encodeName(table + ".new").constData(), QFile::encodeName(table).constData()) == 0);
        TTable other;
        openCatalogue(other, m_folder);
        insertRow(other, QStringLiteral("Zeměpis"), 6);
        other.Close();

        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.Next());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.FieldAsString("JMENO"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.FindKey({"Zeměpis", rowName(6)}));
        t.Close();
        openCatalogue(t, m_folder);
        QVERIFY(t.FindKey({"Zeměpis", rowName(6)}));
        QCOMPARE(t.RecordCount(), 6);
        t.Close();
    }

    // The table of a running test is held by its program: another program
    // is refused at once, waits for a change no longer than the set time and
    // then fails without touching the file, and takes the table as soon as
    // the holder is gone, even when it was killed.
    void heldTableRefusedUntilTheHolderIsGone()
    {
        const QString folder = m_dir.filePath("held");
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath("Test.dbf");
        writeQuestionTable(file, simpleTest("B", 3));
        const QByteArray bytes = bytesOf(file);
        const auto openTest = [&](TTable& t, bool held) {
            t.SetDatabaseName(folder);
            t.SetTableName("Test.dbf");
            t.SetFieldDefs(layoutB());
            t.SetHeld(held);
            t.Open();
        };

        Signals sig;
        const pid_t holder = forkChild([&] {
            TTable t;
            openTest(t, true);
            sig.childSaysReady();
            sig.childWaits();
        });
        Reaper reaper(holder);
        QVERIFY(sig.parentAwaitsReady());

        ManualClock clock;
        ManualSleeper sleeper(&clock);
        setLockWaitTiming(&clock, &sleeper, 5000);
        TTable second;
        QVERIFY_THROWS_EXCEPTION(ETableInUse, openTest(second, true));
        QVERIFY(!second.Active());
        QVERIFY(sleeper.sleeps().isEmpty()); // refused without waiting

        TTable writer;
        try {
            openTest(writer, false);
            writer.Edit();
            writer.SetFieldAsString("ODPOVED", "Ano");
            writer.Post();
            QFAIL("wrote into a held table");
        } catch (const ETableLocked& e) {
            QVERIFY2(e.message().contains(file), qPrintable(e.message()));
        }
        qint64 waited = 0;
        for (qint64 ms : sleeper.sleeps())
            waited += ms;
        QVERIFY(waited >= 5000 && waited < 5100);
        writer.Close();
        QCOMPARE(bytesOf(file), bytes);

        ::kill(holder, SIGKILL);
        QCOMPARE(exitCode(holder), -SIGKILL);
        setLockWaitTiming(nullptr, nullptr);
        TTable mine;
        openTest(mine, true);
        mine.Edit();
        mine.SetFieldAsString("ODPOVED", "Ne");
        mine.Post();
        mine.Close();
        QCOMPARE(readColumn(file, "ODPOVED"), (QStringList{"Ne", "", ""}));
    }

    // The teacher's copy died in the middle of adding a row, leaving its
    // journal (0644, his) with the change unfinished.  A pupil of another
    // account who may only read the table opens it all the same and reads
    // it as it was, leaving the files and the journal alone.  Once the
    // table is the group's to write, a pupil puts the change right on the
    // files, the journal he cannot write gives way to his own, and his row
    // goes in.  (Other accounts need root: skipped elsewhere.)
    void journalOfAnotherAccount()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to run the store as other accounts");
        constexpr uid_t kPupil = 47111;
        constexpr gid_t kGroup = 47100;
        freshCatalogue();
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        {
            TTable t;
            openCatalogue(t, m_folder);
            for (int id = 1; id <= 5; ++id)
                insertRow(t, "Zeměpis", id);
        }
        const int died = inChild([&] {
            TTable t;
            openCatalogue(t, m_folder);
            DeathAtWrite death(3, true);
            insertRow(t, "Zeměpis", 6);
        });
        QCOMPARE(died, -SIGKILL);
        const QString journal = QDir(m_folder).filePath("Testy.DBF-journal");
        QVERIFY(TableJournal::unfinishedChangeRecorded(QDir(m_folder).filePath("Testy.DBF")));
        QVERIFY(::chmod(QFile::encodeName(journal).constData(), 0644) == 0);
        const QByteArray journalBytes = bytesOf(journal);
        const auto asPupil = [&](const std::function<int()>& body) {
            return inChild([&] {
                const gid_t groups[] = {kGroup};
                if (::setgroups(1, groups) != 0 || ::setresgid(kPupil, kPupil, kPupil) != 0
                    || ::setresuid(kPupil, kPupil, kPupil) != 0)
                    ::_exit(100);
                ::_exit(body());
            });
        };

        // Read-only for him: the rows as they were, nothing touched.
        const int rowsRead = asPupil([&] {
            TTable t;
            openCatalogue(t, m_folder);
            return t.RecordCount();
        });
        QCOMPARE(rowsRead, 5);
        QCOMPARE(bytesOf(journal), journalBytes);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files).size(), 3); // no file of his

        // The group's to write: put right, and his row stored.
        for (const QString& f : QDir(m_folder).entryList(QDir::Files)) {
            const QByteArray n = QFile::encodeName(QDir(m_folder).filePath(f));
            QVERIFY(::chown(n.constData(), 0, kGroup) == 0);
            if (!f.endsWith(QLatin1String("-journal")))
                QVERIFY(::chmod(n.constData(), 0664) == 0);
        }
        QVERIFY(::chown(QFile::encodeName(m_folder).constData(), 0, kGroup) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_folder).constData(), 0775) == 0);
        const int rowsAfter = asPupil([&] {
            TTable t;
            openCatalogue(t, m_folder);
            insertRow(t, "Zeměpis", 7);
            return t.RecordCount();
        });
        QCOMPARE(rowsAfter, 6);
        QVERIFY(!QFile::exists(journal));
        QVERIFY(indexProblems(m_folder).isEmpty());
        TTable t;
        openCatalogue(t, m_folder);
        QCOMPARE(t.RecordCount(), 6);
    }
};

QTEST_GUILESS_MAIN(TestSharing)
#include "tst_sharing.moc"
