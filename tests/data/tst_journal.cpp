// A change of a table against every failure at every point: the Nth write,
// truncation or flush of the change fails (as a broken or a full disk makes
// it fail, for a moment or for good), or the process dies there.  After
// each, the files read from disk are the table before the change or after
// it, byte for byte, the index checks out, and the caller was told the
// truth: an error means before, success means after.
#include "StoreFaults.h"
#include "TestData.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "data/TableFile.h"
#include "data/TagCheck.h"
#include "platform/Errors.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <numeric>
#include <random>

using namespace vedomec;
using namespace vedomec::data;
using namespace vedomec::testdata;

namespace {

// A change to make: how the table is opened, where the cursor goes first,
// and the change itself.
struct Scenario {
    QString table;                              // file name in the folder
    std::function<void(TTable&)> configure;     // layout, index, held
    std::function<void(TTable&)> position;      // reads only
    std::function<void(TTable&)> change;
};

void openIn(TTable& t, const QString& folder, const Scenario& s, bool sync, bool position = true)
{
    t.SetDatabaseName(folder);
    t.SetTableName(s.table);
    s.configure(t);
    t.SetSyncWrites(sync);
    t.Open();
    if (position)
        s.position(t);
}

QStringList indexProblems(const QString& folder, const QString& table)
{
    const auto dbf = DbfFile::open(QDir(folder).filePath(table));
    if (!dbf->hasProductionIndex())
        return {};
    const auto mdx = MdxFile::open(QDir(folder).filePath(QFileInfo(table).completeBaseName() + ".MDX"), false);
    QStringList problems = mdx->check();
    problems << checkTagsAgainstTable(*dbf, *mdx).problems << quickIndexCheck(*dbf, *mdx);
    return problems;
}

QString catalogueRow(int i)
{
    return QStringLiteral("Test %1").arg(i, 3, 10, QLatin1Char('0'));
}

void insertCatalogueRow(TTable& t, const QString& druh, const QString& jmeno)
{
    t.Insert();
    t.SetFieldAsString("NAZEV", jmeno + ".dbf");
    t.SetFieldAsString("DRUH", druh);
    t.SetFieldAsString("JMENO", jmeno);
    t.SetFieldAsString("TEST", "A");
    t.Post();
}

void configureCatalogue(TTable& t)
{
    t.SetFieldDefs(catalogueLayout());
    t.SetIndexName("DRUHJMENO");
}

QString kindOf(int i)
{
    static const char* kinds[] = {"Zeměpis", "Čeština", "Přírodopis", "Dějepis", "Hudební výchova"};
    return QString::fromUtf8(kinds[(i * 7) % 5]);
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_before, m_after, m_work;

    // The catalogue with rows 1..n in a scattered order.
    void buildCatalogue(const QString& folder, int n)
    {
        emptyFolder(folder);
        createTable(QDir(folder).filePath("Testy.DBF"), dbfFieldsOf(catalogueLayout()), catalogueTags());
        TTable t;
        t.SetDatabaseName(folder);
        t.SetTableName("Testy.DBF");
        configureCatalogue(t);
        t.Open();
        std::vector<int> order(static_cast<size_t>(n));
        std::iota(order.begin(), order.end(), 1);
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int i : order)
            insertCatalogueRow(t, kindOf(i), catalogueRow(i));
        t.Close();
    }

    // The before and after states of the scenario, made without faults.
    void prepare(const Scenario& s, const std::function<void(const QString&)>& build)
    {
        build(m_before);
        emptyFolder(m_after);
        copyFolder(m_before, m_after);
        TTable t;
        openIn(t, m_after, s, false);
        s.change(t);
        t.Close();
        QVERIFY2(indexProblems(m_after, s.table).isEmpty(), qPrintable(indexProblems(m_after, s.table).join('\n')));
        QVERIFY(folderBytes(m_before) != folderBytes(m_after));
    }

    // Every operation of the change failed in turn, in each way a disk
    // fails; then the same with the process killed there.
    void everyFailure(const Scenario& s)
    {
        const QMap<QString, QByteArray> before = folderBytes(m_before);
        const QMap<QString, QByteArray> after = folderBytes(m_after);
        const QString journal = TableJournal::pathFor(QDir(m_work).filePath(s.table));
        for (bool sync : {false, true}) {
            for (WriteFaults::Kind kind : {WriteFaults::Kind::Io, WriteFaults::Kind::FullDisk}) {
                for (bool persistent : {false, true}) {
                    const QString label = QStringLiteral("%1, %2, %3")
                                              .arg(sync ? "sync" : "no sync", kind == WriteFaults::Kind::Io ? "EIO" : "ENOSPC",
                                                   persistent ? "for good" : "once");
                    for (int n = 1;; ++n) {
                        const QString at = label + QStringLiteral(", operation %1").arg(n);
                        emptyFolder(m_work);
                        copyFolder(m_before, m_work);
                        TTable t;
                        openIn(t, m_work, s, sync);
                        bool failed = false, triggered = false;
                        {
                            WriteFaults faults(n, kind, persistent);
                            try {
                                s.change(t);
                            } catch (const EDatabaseError&) {
                                failed = true;
                            }
                            triggered = faults.triggered();
                        }
                        if (!triggered) {
                            QVERIFY2(!failed, qPrintable(at));
                            QVERIFY2(folderBytes(m_work) == after, qPrintable(at));
                            break;
                        }
                        if (!failed) {
                            QVERIFY2(folderBytes(m_work) == after, qPrintable(at + ": success reported"));
                        } else if (!persistent) {
                            // Undone at once, on disk and in memory: the
                            // same cursor makes the change again.
                            QVERIFY2(folderBytes(m_work) == before, qPrintable(at + ": error reported"));
                            if (t.state() != TTable::State::Browse)
                                t.Cancel();
                            s.position(t);
                            s.change(t);
                            QVERIFY2(folderBytes(m_work) == after, qPrintable(at + ": again"));
                        }
                        t.Close();
                        // Whoever opens the table next finds it whole.
                        TTable next;
                        openIn(next, m_work, s, sync, false);
                        next.Close();
                        // An error that stayed is undone by the next opening
                        // at the latest; a retried change is there.
                        QVERIFY2(folderBytes(m_work) == (failed && persistent ? before : after), qPrintable(at + ": reopened"));
                        QVERIFY2(!QFile::exists(journal), qPrintable(at + ": journal left"));
                        QVERIFY2(indexProblems(m_work, s.table).isEmpty(), qPrintable(at));
                    }
                }
            }
        }

        for (bool partly : {false, true}) {
            for (int n = 1;; ++n) {
                const QString at = QStringLiteral("killed at operation %1%2").arg(n).arg(partly ? " half written" : "");
                emptyFolder(m_work);
                copyFolder(m_before, m_work);
                const int status = inChild([&] {
                    TTable t;
                    openIn(t, m_work, s, false);
                    DeathAtWrite death(n, partly);
                    try {
                        s.change(t);
                    } catch (...) {
                    }
                    death.finish();
                    ::_exit(death.operations() >= n ? 5 : 0);
                });
                QVERIFY2(status == 0 || status == -SIGKILL, qPrintable(at + QStringLiteral(": %1").arg(status)));
                // A reader that may not write the files undoes or keeps the
                // change in memory as the next opening does on disk.
                const QString dbfPath = QDir(m_work).filePath(s.table);
                const QString mdxPath = QDir(m_work).filePath(QFileInfo(s.table).completeBaseName() + ".MDX");
                auto dbfImage = TableFile::open(dbfPath, false, TableFile::Kind::Table);
                auto mdxImage = QFile::exists(mdxPath) ? TableFile::open(mdxPath, false, TableFile::Kind::Index) : nullptr;
                dbfImage->load(qint64(1) << 30);
                if (mdxImage)
                    mdxImage->load(qint64(1) << 30);
                recoverChangeInImages(dbfPath, dbfImage.get(), mdxImage.get());
                TTable next;
                openIn(next, m_work, s, false, false);
                next.Close();
                const QMap<QString, QByteArray> now = folderBytes(m_work);
                QVERIFY2(dbfImage->bytes() == now.value(s.table), qPrintable(at + ": in memory"));
                QVERIFY2(!mdxImage || mdxImage->bytes() == now.value(QFileInfo(mdxPath).fileName()), qPrintable(at + ": in memory"));
                QVERIFY2(now == before || now == after, qPrintable(at));
                QVERIFY2(!QFile::exists(journal), qPrintable(at + ": journal left"));
                QVERIFY2(indexProblems(m_work, s.table).isEmpty(), qPrintable(at));
                if (status == 0) {
                    QVERIFY2(now == after, qPrintable(at));
                    break;
                }
            }
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_before = m_dir.filePath("before");
        m_after = m_dir.filePath("after");
        m_work = m_dir.filePath("work");
        for (const QString& d : {m_before, m_after, m_work})
            QVERIFY(QDir().mkpath(d));
    }

    // An insert whose new key splits a leaf and the interior block above it.
    void insertWithTwoLevelSplit()
    {
        Scenario s{"Testy.DBF", configureCatalogue, [](TTable& t) { t.First(); },
                   [](TTable& t) { insertCatalogueRow(t, kindOf(500), catalogueRow(500)); }};
        // The smallest catalogue where this insert adds two blocks or more.
        int rows = 0;
        for (int n = 20; n < 400 && !rows; ++n) {
            buildCatalogue(m_before, n);
            emptyFolder(m_after);
            copyFolder(m_before, m_after);
            const qint64 size = QFileInfo(QDir(m_after).filePath("Testy.MDX")).size();
            TTable t;
            openIn(t, m_after, s, false);
            s.change(t);
            t.Close();
            if (QFileInfo(QDir(m_after).filePath("Testy.MDX")).size() >= size + 2 * 1024)
                rows = n;
        }
        QVERIFY2(rows > 0, "no catalogue size gives a two-level split");
        prepare(s, [&](const QString& folder) { buildCatalogue(folder, rows); });
        everyFailure(s);
    }

    // A Post that moves the row to another place in the index.
    void keyChangingPost()
    {
        Scenario s{"Testy.DBF", configureCatalogue,
                   [](TTable& t) { QVERIFY(t.FindKey({kindOf(17), catalogueRow(17)})); },
                   [](TTable& t) {
                       t.Edit();
                       t.SetFieldAsString("DRUH", "Anglický jazyk");
                       t.SetFieldAsString("JMENO", "Slovíčka");
                       t.Post();
                   }};
        prepare(s, [&](const QString& folder) { buildCatalogue(folder, 60); });
        everyFailure(s);
    }

    // A row deleted; its key stays in the index, as dBASE keeps it.
    void deletion()
    {
        Scenario s{"Testy.DBF", configureCatalogue,
                   [](TTable& t) { QVERIFY(t.FindKey({kindOf(23), catalogueRow(23)})); },
                   [](TTable& t) { t.Delete(); }};
        prepare(s, [&](const QString& folder) { buildCatalogue(folder, 60); });
        everyFailure(s);
    }

    // An insert taken back to the bytes before it, a change that cuts the
    // files short.
    void takeBack()
    {
        WrittenChange added;
        QMap<QString, QByteArray> pristine;
        const auto build = [&](const QString& folder) {
            buildCatalogue(folder, 40);
            pristine = folderBytes(folder);
            TTable t;
            t.SetDatabaseName(folder);
            t.SetTableName("Testy.DBF");
            configureCatalogue(t);
            t.Open();
            insertCatalogueRow(t, "Hudební výchova", "Noty");
            added = t.LastChange();
        };
        Scenario s{"Testy.DBF", configureCatalogue, [](TTable& t) { t.First(); },
                   [&](TTable& t) {
                       if (!t.TakeBack(added))
                           throw EDatabaseError("refused");
                   }};
        prepare(s, build);
        QVERIFY(folderBytes(m_after) == pristine);
        everyFailure(s);
    }

    // A deleted row keeps its keys, so the index is what a reindex makes of
    // the table; a change is taken back only while the files still hold what
    // it wrote.
    void deletedRowsKeepTheirKeysAndTakeBackWaitsForNoOne()
    {
        buildCatalogue(m_work, 20);
        const QString mdxPath = QDir(m_work).filePath("Testy.MDX");
        TTable t;
        t.SetDatabaseName(m_work);
        t.SetTableName("Testy.DBF");
        configureCatalogue(t);
        t.Open();
        QVERIFY(t.FindKey({kindOf(5), catalogueRow(5)}));
        t.Delete();
        QVERIFY(!t.FindKey({kindOf(5), catalogueRow(5)}));
        QCOMPARE(t.RecordCount(), 19);
        QCOMPARE(MdxFile::open(mdxPath, false)->entryCount(0), 20);
        QCOMPARE(indexProblems(m_work, "Testy.DBF"), QStringList());

        insertCatalogueRow(t, "Hudební výchova", "Noty");
        const WrittenChange added = t.LastChange();
        TTable other;
        other.SetDatabaseName(m_work);
        other.SetTableName("Testy.DBF");
        configureCatalogue(other);
        other.Open();
        insertCatalogueRow(other, "Hudební výchova", "Stupnice");
        const QMap<QString, QByteArray> now = folderBytes(m_work);
        QVERIFY(!t.TakeBack(added));
        QVERIFY(folderBytes(m_work) == now);
        QVERIFY(other.TakeBack(other.LastChange()));
        QVERIFY(t.TakeBack(added));
        QCOMPARE(t.RecordCount(), 19);
        QVERIFY(!other.FindKey({"Hudební výchova", "Noty"}));
        other.Close();
        t.Close();
        QCOMPARE(indexProblems(m_work, "Testy.DBF"), QStringList());
    }

    // An answer stored in the held question table of a running test (one
    // write of one page), and a new question row (no index).
    void questionTable()
    {
        const auto build = [](const QString& folder) {
            emptyFolder(folder);
            writeQuestionTable(QDir(folder).filePath("Test.dbf"), simpleTest("A", 3));
        };
        const auto configure = [](TTable& t) {
            t.SetFieldDefs(layoutA());
            t.SetHeld(true);
        };
        Scenario answer{"Test.dbf", configure, [](TTable& t) { t.First(); t.Next(); },
                        [](TTable& t) {
                            t.Edit();
                            t.SetFieldAsString("ODPOVED", "C");
                            t.Post();
                        }};
        prepare(answer, build);
        everyFailure(answer);

        Scenario row{"Test.dbf", configure, [](TTable& t) { t.First(); },
                     [](TTable& t) {
                         t.Insert();
                         t.SetFieldAsString("OTAZKA", "Kolik je hodin?");
                         t.SetFieldAsString("SPRAVNE", "B");
                         t.Post();
                     }};
        prepare(row, build);
        everyFailure(row);
    }

    // A program inserting rows in a loop is killed again and again, half the
    // times at a write of the store (before it or half through it), half
    // from outside at any moment.  Every row whose Post had returned is
    // there, found through the index, and no row is there twice.
    void killedInsertsLoseNothing()
    {
        const QString folder = m_dir.filePath("killed");
        QVERIFY(QDir().mkpath(folder));
        createTable(QDir(folder).filePath("Testy.DBF"), dbfFieldsOf(catalogueLayout()), catalogueTags());
        const auto open = [&](TTable& t) {
            t.SetDatabaseName(folder);
            t.SetTableName("Testy.DBF");
            configureCatalogue(t);
            t.Open();
        };
        std::mt19937 rng(2001);
        QSet<int> committed;
        int next = 1;
        int killedAtWrite = 0, killedFromOutside = 0;
        for (int round = 0; round < 200; ++round) {
            const bool atWrite = round % 2 == 0;
            const int dieAt = std::uniform_int_distribution<int>(1, 60)(rng);
            const bool partly = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
            int pipeFds[2];
            QVERIFY(::pipe(pipeFds) == 0);
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(pipeFds[0]);
                std::optional<DeathAtWrite> death;
                TTable t;
                open(t);
                if (atWrite)
                    death.emplace(dieAt, partly);
                for (int id = next;; ++id) {
                    try {
                        insertCatalogueRow(t, QStringLiteral("Zabitý"), QStringLiteral("r%1").arg(id, 6, 10, QLatin1Char('0')));
                    } catch (...) {
                        if (death)
                            death->finish();
                        ::_exit(4);
                    }
                    if (::write(pipeFds[1], &id, sizeof id) != sizeof id)
                        ::_exit(5);
                }
            }
            ::close(pipeFds[1]);
            const auto readId = [&](int* id) { return ::read(pipeFds[0], id, sizeof *id) == sizeof *id; };
            int id = 0;
            if (!atWrite) {
                const int before = std::uniform_int_distribution<int>(0, 12)(rng);
                for (int i = 0; i < before && readId(&id); ++i)
                    committed.insert(id);
                ::usleep(useconds_t(std::uniform_int_distribution<int>(0, 1500)(rng)));
                ::kill(pid, SIGKILL);
            }
            while (readId(&id))
                committed.insert(id);
            ::close(pipeFds[0]);
            int status = 0;
            ::waitpid(pid, &status, 0);
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, qPrintable(QStringLiteral("round %1").arg(round)));
            (atWrite ? killedAtWrite : killedFromOutside)++;

            // The next program to open the table finds every committed row.
            TTable t;
            open(t);
            QSet<int> seen;
            QString previous;
            for (t.First(); !t.Eof(); t.Next()) {
                const QString jmeno = t.FieldAsString("JMENO");
                QVERIFY2(jmeno > previous, qPrintable(jmeno));
                previous = jmeno;
                const int found = jmeno.mid(1).toInt();
                QVERIFY2(!seen.contains(found), qPrintable(QStringLiteral("row %1 twice").arg(found)));
                seen.insert(found);
            }
            QCOMPARE(t.RecordCount(), int(seen.size()));
            for (int c : std::as_const(committed))
                QVERIFY2(seen.contains(c), qPrintable(QStringLiteral("round %1: committed row %2 is gone").arg(round).arg(c)));
            t.Close();
            const QStringList problems = indexProblems(folder, "Testy.DBF");
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
            for (int s : std::as_const(seen))
                next = std::max(next, s + 1);
        }
        QCOMPARE(killedAtWrite + killedFromOutside, 200);
        QVERIFY(committed.size() > 200);
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
