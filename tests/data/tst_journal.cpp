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

#include <QTemporaryDir>
#include <QTest>

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
                TTable next;
                openIn(next, m_work, s, false, false);
                next.Close();
                const QMap<QString, QByteArray> now = folderBytes(m_work);
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

    // A row deleted, its key taken out of the index.
    void deletion()
    {
        Scenario s{"Testy.DBF", configureCatalogue,
                   [](TTable& t) { QVERIFY(t.FindKey({kindOf(23), catalogueRow(23)})); },
                   [](TTable& t) { t.Delete(); }};
        prepare(s, [&](const QString& folder) { buildCatalogue(folder, 60); });
        everyFailure(s);
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
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
