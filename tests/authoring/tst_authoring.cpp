// The authoring layer without a window: the rules of the fields, undo and
// redo, and the changes to a data folder, each one whole also when a write
// fails or the editor is killed at any write.
#include "StoreFaults.h"
#include "TestData.h"
#include "authoring/Formats.h"
#include "authoring/PaperTest.h"
#include "authoring/TestEditor.h"
#include "authoring/TestFolder.h"
#include "catalogue/OpenMark.h"
#include "data/Locks.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <functional>

using namespace vedomec;
using namespace vedomec::authoring;
using namespace vedomec::testdata;

namespace {

TestSource sample(QChar type, int n = 3)
{
    TestSource t;
    t.kind = QStringLiteral("Zeměpis");
    t.title = QStringLiteral("Řeky Evropy");
    t.author = QStringLiteral("Jana Nováková");
    t.address = QStringLiteral("ZŠ Komenského 12, Brno");
    t.email = QStringLiteral("novakova@zs.cz");
    t.http = QStringLiteral("www.zs.cz");
    t.type = type;
    t.minutes = 30;
    for (int i = 0; i < n; ++i) {
        SourceQuestion q;
        q.text = QStringLiteral("Otázka číslo %1?").arg(i + 1);
        if (type == u'A') {
            for (int a = 0; a < 4; ++a)
                q.answers[a] = QStringLiteral("Odpověď %1%2").arg(i + 1).arg(QChar(u'a' + a));
            q.correct = QString(QChar(u'A' + i % 4));
        } else if (type == u'B') {
            q.correct = i % 2 ? QStringLiteral("NE") : QStringLiteral("ANO");
        } else {
            q.correct = QStringLiteral("Vltava %1").arg(i);
        }
        t.questions << q;
    }
    return t;
}

int checkTable(const QString& path)
{
    QProcess p;
    p.start(QDir(qEnvironmentVariable("VEDOMEC_BIN_DIR")).filePath(QStringLiteral("vedomec-table")),
            {QStringLiteral("check"), path});
    if (!p.waitForFinished(60000))
        return -1;
    if (p.exitCode() != 0)
        qWarning("%s%s", p.readAllStandardOutput().constData(), p.readAllStandardError().constData());
    return p.exitCode();
}

// What the folder holds of one test: its table read back and its row.
struct State {
    TestSource test;
    TestEntry entry;
    bool operator==(const State& o) const
    {
        return exchange::sameContent(test, o.test) && entry.kind == o.entry.kind && entry.title == o.entry.title
            && entry.type == o.entry.type && entry.password == o.entry.password && entry.author == o.entry.author;
    }
};

State stateOf(TestFolder& f, const QString& file)
{
    return {f.load(file), f.entry(file)};
}

// The kind of each named test in its catalogue row and in its question
// table ("-" where it has none), and the rows of the kind table, sorted.
QString kindsOf(TestFolder& f, const AppFolder& app, const QStringList& files)
{
    QStringList out;
    for (const QString& file : files) {
        const TestEntry e = f.entry(file);
        out << QStringLiteral("%1:%2/%3").arg(file, e.fileName.isEmpty() ? QStringLiteral("-") : e.kind,
                                               f.testPath(file).isEmpty() ? QStringLiteral("-") : f.load(file).kind);
    }
    QStringList kinds = readColumn(app.path() + QStringLiteral("Data/TestD.DBF"), QStringLiteral("DRUH"));
    kinds.sort();
    return out.join(u' ') + QStringLiteral(" | ") + kinds.join(u',');
}

QStringList intentsIn(const AppFolder& app)
{
    return QDir(app.path() + QStringLiteral("Data")).entryList({QStringLiteral(".vedomec-editor-*")},
                                                               QDir::Files | QDir::Hidden);
}

QStringList filesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// An editor that has the test open, killed: how its process ended.
int killedWhileOpen(const AppFolder& app, const QString& file)
{
    return inChild([&] {
        TestFolder f(app.path());
        OpenTest open(f, file);
        ::raise(SIGKILL);
    });
}

// What the folder must show after a change failed at a write, was killed at
// one (and recovered), or went through: empty when right, else what is wrong.
using FolderCheck = std::function<QString(const AppFolder& app, TestFolder& folder, bool changed)>;

// What every change leaves: no intent, sound catalogue and kind table.
QString soundAfterwards(const AppFolder& app)
{
    if (!intentsIn(app).isEmpty())
        return QStringLiteral("intent left: %1").arg(intentsIn(app).join(u' '));
    for (const char* table : {"Data/Testy.DBF", "Data/TestD.DBF"})
        if (checkTable(app.path() + QLatin1String(table)) != 0)
            return QStringLiteral("%1 damaged").arg(QLatin1String(table));
    return {};
}

// `change` on a folder made by `prepare`, with its Nth write failing (on a
// full disk for every other N), for every N until it reaches no failure.
// A reported failure must have changed nothing.
QString atEveryFailedWrite(const std::function<void(AppFolder&)>& prepare,
                           const std::function<void(TestFolder&)>& change, const FolderCheck& check)
{
    for (int n = 1; n < 300; ++n) {
        AppFolder app;
        prepare(app);
        TestFolder folder(app.path());
        bool failed = false;
        bool triggered = false;
        {
            WriteFaults faults(n, n % 2 ? WriteFaults::Kind::Io : WriteFaults::Kind::FullDisk);
            try {
                change(folder);
            } catch (const std::exception&) {
                failed = true;
            }
            triggered = faults.triggered();
        }
        QString problem = check(app, folder, !failed);
        if (problem.isEmpty())
            problem = soundAfterwards(app);
        if (!problem.isEmpty())
            return QStringLiteral("write %1 %2: %3").arg(n).arg(failed ? "failed" : "went through", problem);
        if (!triggered)
            return {};
    }
    return QStringLiteral("no end");
}

// `change` in a child process killed at its Nth write (after the part of it
// a full disk takes, for every other N), then recovered by the next editor,
// for every N until the change runs through.  `check` is asked whether the
// change happened; it must have happened whole or not at all.
QString atEveryKilledWrite(const std::function<void(AppFolder&)>& prepare,
                           const std::function<void(TestFolder&)>& change,
                           const std::function<bool(TestFolder&)>& happened, const FolderCheck& check)
{
    for (int n = 1; n < 300; ++n) {
        AppFolder app;
        prepare(app);
        const int status = inChild([&] {
            DeathAtWrite death(n, n % 2 == 0);
            try {
                TestFolder f(app.path());
                change(f);
            } catch (...) {
                death.finish();
                throw;
            }
            death.finish();
        });
        if (status != 0 && status != -SIGKILL)
            return QStringLiteral("write %1: status %2").arg(n).arg(status);
        TestFolder folder(app.path());
        folder.recover();
        const bool changed = happened(folder);
        QString problem = status == 0 && !changed ? QStringLiteral("went through, yet nothing changed") : QString();
        if (problem.isEmpty())
            problem = check(app, folder, changed);
        if (problem.isEmpty())
            problem = soundAfterwards(app);
        if (!problem.isEmpty())
            return QStringLiteral("killed at write %1: %2").arg(n).arg(problem);
        if (status == 0)
            return {};
    }
    return QStringLiteral("no end");
}

} // namespace

class TestAuthoring : public QObject {
    Q_OBJECT

private slots:
    // Every rule names the question and the field it concerns.
    void rules()
    {
        QVERIFY(checkTest(sample(u'A')).isEmpty());
        QVERIFY(checkTest(sample(u'B')).isEmpty());
        QVERIFY(checkTest(sample(u'C')).isEmpty());

        TestSource t = sample(u'A');
        t.questions[1].text.clear();
        t.questions[2].correct.clear();
        t.title = QString(101, u'x');
        t.questions[0].answers[3] = QStringLiteral("Cena 5 €… ≠ 4");
        const QList<RuleBreak> broken = checkTest(t);
        QCOMPARE(broken.size(), 4);
        QCOMPARE(broken[0].field, Field::Title);
        QVERIFY2(broken[0].message.contains(QStringLiteral("101")) && broken[0].message.contains(QStringLiteral("100")),
                 qPrintable(broken[0].message));
        QCOMPARE(broken[1].question, 0);
        QCOMPARE(broken[1].field, Field::AnswerD);
        QVERIFY2(broken[1].message.startsWith(QStringLiteral("Otázka 1, pole „odpověď d)“")), qPrintable(broken[1].message));
        QVERIFY2(broken[1].message.contains(QStringLiteral("„≠“")), qPrintable(broken[1].message));
        QCOMPARE(broken[2].question, 1);
        QCOMPARE(broken[2].field, Field::Question);
        QCOMPARE(broken[3].question, 2);
        QCOMPARE(broken[3].field, Field::Correct);
        QCOMPARE(firstProblem(t), broken[0].message);

        // "€" and "…" are in Windows-1250, "≠" is not; a base letter with a
        // combining caron is one "č".
        QCOMPARE(unstorablePositions(QStringLiteral("5 €… ≠")), QList<int>{5});
        QCOMPARE(unstorablePositions(QStringLiteral("c\u030Cesky")), QList<int>{});
        QCOMPARE(storedLength(QStringLiteral("c\u030Cesky")), 5);
        QCOMPARE(unstorablePositions(QStringLiteral("a😀b")), (QList<int>{1, 2}));

        TestSource c = sample(u'C');
        c.questions[0].correct = QString(254, u'y');
        QVERIFY(checkTest(c).isEmpty());
        c.questions[0].correct += u'y';
        QCOMPARE(checkTest(c).size(), 1);
        QCOMPARE(checkTest(c)[0].field, Field::Correct);
        TestSource b = sample(u'B');
        b.questions[1].correct = QStringLiteral("MOŽNÁ");
        QCOMPARE(checkTest(b).size(), 1);
        b.questions.clear();
        QCOMPARE(firstProblem(b), QStringLiteral("Test nemá žádnou otázku."));

        QVERIFY(passwordMatches(QString(), QStringLiteral("cokoli")));
        QVERIFY(passwordMatches(QStringLiteral("Tajne"), QStringLiteral("Tajne")));
        QVERIFY(!passwordMatches(QStringLiteral("Tajne"), QStringLiteral("tajne")));
    }

    void undoRedo()
    {
        TestEditor e;
        e.reset(sample(u'A'));
        QVERIFY(!e.modified());
        // Keys typed into one field are one step.
        e.setField(0, Field::Question, QStringLiteral("K"));
        e.setField(0, Field::Question, QStringLiteral("Ko"));
        e.setField(0, Field::Question, QStringLiteral("Kolik?"));
        e.setField(-1, Field::Title, QStringLiteral("Nový název"));
        e.addQuestion();
        e.moveQuestion(3, 0);
        e.duplicateQuestion(1);
        e.removeQuestion(2);
        e.setTimeLimit(1, 5, 0);
        QVERIFY(e.modified());
        const TestSource after = e.test();
        QCOMPARE(e.undoStack()->count(), 7);
        while (e.undoStack()->canUndo())
            e.undo();
        QVERIFY(exchange::sameContent(e.test(), sample(u'A')));
        QVERIFY(!e.modified());
        while (e.undoStack()->canRedo())
            e.redo();
        QVERIFY(exchange::sameContent(e.test(), after));
        QCOMPARE(e.test().questions[1].text, QStringLiteral("Kolik?"));
        QCOMPARE(e.test().questions.size(), 4);
        e.markSaved();
        QVERIFY(!e.modified());

        e.setReadOnly(true);
        e.setField(0, Field::Question, QStringLiteral("změna"));
        e.removeQuestion(0);
        QVERIFY(exchange::sameContent(e.test(), after));
    }

    // A new test of each type, saved again with changes: the table has the
    // layout of its type with the test-wide fields on every row, the
    // catalogue follows, and the files are sound.
    void createAndSave()
    {
        AppFolder app;
        TestFolder folder(app.path());
        for (QChar type : {u'A', u'B', u'C'}) {
            TestSource t = sample(type, 10);
            t.title += QString(type);
            const QString file = folder.create(t);
            QVERIFY(file.endsWith(QStringLiteral(".dbf")));
            QVERIFY(exchange::sameContent(folder.load(file), t));
            t.title = QStringLiteral("Přejmenovaný test %1").arg(type);
            t.kind = QStringLiteral("Dějepis");
            t.password = QStringLiteral("tajné");
            t.questions.removeAt(3);
            folder.save(file, t);
            QVERIFY(exchange::sameContent(folder.load(file), t));
            const TestEntry e = folder.entry(file);
            QCOMPARE(e.title, t.title);
            QCOMPARE(e.kind, QStringLiteral("Dějepis"));
            QCOMPARE(e.type, QString(type));
            QCOMPARE(e.password, QStringLiteral("tajné"));
            QCOMPARE(e.author, t.author);
            QCOMPARE(e.questions, 9);
            const QStringList titles = readColumn(app.testy() + file, QStringLiteral("NAZEV"));
            QCOMPARE(titles, QStringList(9, t.title));
            QCOMPARE(readColumn(app.testy() + file, QStringLiteral("CAS2")), QStringList(9, QStringLiteral("30")));
            QCOMPARE(checkTable(app.testy() + file), 0);
        }
        QCOMPARE(checkTable(app.path() + QStringLiteral("Data/Testy.DBF")), 0);
        QCOMPARE(checkTable(app.path() + QStringLiteral("Data/TestD.DBF")), 0);
        QVERIFY(folder.kinds().contains(QStringLiteral("Dějepis")));
        // Nothing of the changes is left lying about.
        QCOMPARE(QDir(app.path() + QStringLiteral("Data")).entryList(QDir::Files | QDir::Hidden).size(), 4);
        QCOMPARE(QDir(app.testy()).entryList(QDir::Files | QDir::Hidden).size(), 3);

        // A test that breaks a rule is refused and nothing changes.
        TestSource bad = folder.load(folder.tests().first().fileName);
        const State before = stateOf(folder, folder.tests().first().fileName);
        bad.questions[0].text.clear();
        try {
            folder.save(folder.tests().first().fileName, bad);
            QFAIL("saved a test without a question text");
        } catch (const EVedomecError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Otázka 1, pole „text otázky“")), qPrintable(e.message()));
        }
        QVERIFY(stateOf(folder, folder.tests().first().fileName) == before);
    }

    // A failed write at any point: the save reports it and nothing has
    // changed, or it went through whole.
    void saveFailsAtEveryWrite()
    {
        for (int n = 1;; ++n) {
            AppFolder app;
            TestFolder folder(app.path());
            const QString file = folder.create(sample(u'A', 5));
            const State before = stateOf(folder, file);
            TestSource changed = sample(u'A', 6);
            changed.title = QStringLiteral("Jiný název");
            changed.kind = QStringLiteral("Nový druh");
            bool failed = false;
            bool triggered = false;
            {
                WriteFaults faults(n, WriteFaults::Kind::Io);
                try {
                    folder.save(file, changed);
                } catch (const std::exception&) {
                    failed = true;
                }
                triggered = faults.triggered();
            }
            const State now = stateOf(folder, file);
            if (failed)
                QVERIFY2(now == before
                             && !readColumn(app.path() + QStringLiteral("Data/TestD.DBF"), QStringLiteral("DRUH"))
                                     .contains(changed.kind),
                         qPrintable(QStringLiteral("write %1 failed, yet the test or the kinds changed").arg(n)));
            else
                QVERIFY2(now == (State{changed, folder.entry(file)}) && now.entry.kind == changed.kind,
                         qPrintable(QStringLiteral("write %1").arg(n)));
            QCOMPARE(checkTable(app.path() + QStringLiteral("Data/Testy.DBF")), 0);
            QCOMPARE(checkTable(app.testy() + file), 0);
            QCOMPARE(QDir(app.testy()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
            if (!triggered)
                break;
            QVERIFY(n < 200);
        }
    }

    // The editor killed at any write: the next editor finds the test as it
    // was before the save or as it is after it.
    void saveKilledAtEveryWrite()
    {
        for (int n = 1;; ++n) {
            AppFolder app;
            TestFolder folder(app.path());
            const QString file = folder.create(sample(u'B', 4));
            const State before = stateOf(folder, file);
            TestSource changed = sample(u'B', 2);
            changed.title = QStringLiteral("Po uložení");
            const int status = inChild([&] {
                DeathAtWrite death(n, n % 2 == 0);
                TestFolder f(app.path());
                OpenTest open(f, file);
                open.save(changed);
                death.finish();
                ::raise(SIGKILL); // killed with the test still open
            });
            QCOMPARE(status, -SIGKILL);
            folder.recover();
            const State now = stateOf(folder, file);
            const bool isBefore = now == before;
            const bool isAfter = exchange::sameContent(now.test, changed) && now.entry.title == changed.title;
            QVERIFY2(isBefore || isAfter,
                     qPrintable(QStringLiteral("killed at write %1: title %2 / %3, kind %4, questions %5")
                                    .arg(n)
                                    .arg(now.test.title, now.entry.title, now.entry.kind)
                                    .arg(now.test.questions.size())));
            QCOMPARE(folder.entry(file).openMark, QString());
            QCOMPARE(checkTable(app.path() + QStringLiteral("Data/Testy.DBF")), 0);
            QCOMPARE(checkTable(app.testy() + file), 0);
            QVERIFY2(QDir(app.testy()).entryList(QDir::Files | QDir::Hidden) == QStringList{file},
                     qPrintable(QStringLiteral("killed at write %1: %2").arg(n).arg(QDir(app.testy()).entryList(QDir::Files | QDir::Hidden).join(u' '))));
            QCOMPARE(QDir(app.path() + QStringLiteral("Data")).entryList({QStringLiteral(".vedomec-editor-*")},
                                                                         QDir::Files | QDir::Hidden),
                     QStringList());
            if (isAfter)
                break;
            QVERIFY(n < 300);
        }
    }

    // OTEVRENO is "A" while an editor holds the test, taken back on close;
    // a second editor cannot hold it; a killed editor's mark is cleared by
    // the next one, a living editor's never.
    void openMark()
    {
        AppFolder app;
        TestFolder folder(app.path());
        const QString file = folder.create(sample(u'C'));
        {
            OpenTest open(folder, file);
            QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
            QVERIFY_THROWS_EXCEPTION(ETestBusy, OpenTest(folder, file));
            QVERIFY_THROWS_EXCEPTION(ETestBusy, folder.remove(file));
            QCOMPARE(folder.recover(), 0);
            QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
            TestSource t = sample(u'C', 2);
            open.save(t); // the hold moves to the new table
            QVERIFY(EditLock::heldByAnyone(folder.testPath(file)));
            QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
            QCOMPARE(folder.recover(), 0);
        }
        QCOMPARE(folder.entry(file).openMark, QString());

        QCOMPARE(killedWhileOpen(app, file), -SIGKILL);
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        QCOMPARE(folder.recover(), 1);
        QCOMPARE(folder.entry(file).openMark, QString());
        QCOMPARE(checkTable(app.path() + QStringLiteral("Data/Testy.DBF")), 0);
    }

    // On a folder that keeps no locks a killed editor's mark looks like a
    // living one's: recover() keeps it, pupils are refused, and an editor
    // opens the test only once the teacher has cleared the mark.
    void markOnFolderWithoutLocks()
    {
        AppFolder app;
        TestFolder folder(app.path());
        const QString file = folder.create(sample(u'A'));
        data::setLockHook([](int) { return ENOLCK; });
        const auto restore = qScopeGuard([] { data::setLockHook({}); });
        QCOMPARE(killedWhileOpen(app, file), -SIGKILL);
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        QCOMPARE(folder.recover(), 0);
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        QVERIFY(catalogue::openMarkShuts(QStringLiteral("A"), folder.testPath(file)));
        try {
            OpenTest second(folder, file);
            QFAIL("opened a test marked open where no lock can tell");
        } catch (const EMarkUnproven& e) {
            QVERIFY2(e.message().contains(QStringLiteral("zrušte označení")), qPrintable(e.message()));
        }
        folder.setOpenMark(file, false);
        {
            OpenTest open(folder, file);
            QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
            // The mark is what keeps a second editor out here.
            QVERIFY_THROWS_EXCEPTION(EMarkUnproven, OpenTest(folder, file));
            QVERIFY_THROWS_EXCEPTION(ETestBusy, folder.renameKind(QStringLiteral("Zeměpis"), QStringLiteral("Jiný")));
            QCOMPARE(folder.recover(), 0);
        }
        QCOMPARE(folder.entry(file).openMark, QString());

        // Nor does a lock tell whether the editor of a change in flight is
        // alive: its intent is acted on once that editor, on this computer,
        // is gone, and not before.
        const State before = stateOf(folder, file);
        TestSource changed = sample(u'A', 2);
        changed.title = QStringLiteral("Jiný název");
        {
            ForkedChild editor([&] {
                int writes = 0;
                fs::setWriteHook([&writes](fs::WriteOp, qint64, qint64) {
                    if (++writes == 3)
                        ::raise(SIGSTOP);
                    return fs::WriteOutcome{};
                });
                TestFolder(app.path()).save(file, changed);
            });
            int wstatus = 0;
            QCOMPARE(::waitpid(editor.pid(), &wstatus, WUNTRACED), editor.pid());
            QVERIFY(WIFSTOPPED(wstatus));
            QCOMPARE(intentsIn(app).size(), 1);
            folder.recover();
            QCOMPARE(intentsIn(app).size(), 1);
            QCOMPARE(editor.kill(), -SIGKILL);
        }
        folder.recover();
        QCOMPARE(intentsIn(app), QStringList());
        QVERIFY(stateOf(folder, file) == before);
        QCOMPARE(filesOf(app.testy()), QStringList{file});
    }

    void testsAndKinds()
    {
        AppFolder app;
        TestFolder folder(app.path());
        const QString a = folder.create(sample(u'A'));
        const QString copy = folder.duplicate(a);
        QVERIFY(copy != a);
        QCOMPARE(folder.entry(copy).title, QStringLiteral("Kopie – Řeky Evropy"));
        folder.rename(copy, QStringLiteral("Řeky Asie"));
        QCOMPARE(folder.load(copy).title, QStringLiteral("Řeky Asie"));
        folder.move(copy, QStringLiteral("Přírodopis"));
        QCOMPARE(folder.entry(copy).kind, QStringLiteral("Přírodopis"));
        QCOMPARE(folder.load(copy).kind, QStringLiteral("Přírodopis"));

        folder.addKind(QStringLiteral("Hudba"));
        QVERIFY(folder.kinds().contains(QStringLiteral("Hudba")));
        QVERIFY_THROWS_EXCEPTION(EVedomecError, folder.addKind(QStringLiteral("Hudba")));
        folder.removeKind(QStringLiteral("Hudba"));
        QVERIFY(!folder.kinds().contains(QStringLiteral("Hudba")));
        folder.create(sample(u'B'));
        try {
            folder.removeKind(QStringLiteral("Zeměpis"));
            QFAIL("removed a kind with tests");
        } catch (const EVedomecError& e) {
            QCOMPARE(e.message(), QStringLiteral("Druh „Zeměpis“ nelze smazat: patří k němu 2 testy."));
        }
        folder.renameKind(QStringLiteral("Zeměpis"), QStringLiteral("Geografie"));
        QCOMPARE(folder.kinds(), (QStringList{QStringLiteral("Geografie"), QStringLiteral("Přírodopis")}));
        for (const TestEntry& e : folder.tests())
            if (e.fileName != copy)
                QCOMPARE(folder.load(e.fileName).kind, QStringLiteral("Geografie"));

        folder.remove(copy);
        QVERIFY(folder.entry(copy).fileName.isEmpty());
        QVERIFY(!QFileInfo::exists(app.testy() + copy));
        QCOMPARE(folder.tests().size(), 2);
        QCOMPARE(checkTable(app.path() + QStringLiteral("Data/Testy.DBF")), 0);
        QCOMPARE(checkTable(app.path() + QStringLiteral("Data/TestD.DBF")), 0);
    }

    // Renaming a kind moves every test of it in one change: a failed write
    // at any point leaves every test under the old kind (and says so), a
    // kill at any point leaves every test under the old kind or every test
    // under the new one once the next editor has recovered.  A test of
    // another kind, an empty kind and a catalogue row whose table is gone
    // come through as they should.
    void kindRenameIsOneChange()
    {
        AppFolder base;
        QStringList files;
        {
            TestFolder f(base.path());
            files << f.create(sample(u'A', 3));
            TestSource b = sample(u'B', 2);
            b.title = QStringLiteral("Hory");
            files << f.create(b);
            TestSource c = sample(u'C', 2);
            c.title = QStringLiteral("Města");
            c.kind = QStringLiteral("Dějepis");
            files << f.create(c);
            TestSource gone = sample(u'A', 1);
            gone.title = QStringLiteral("Smazaný");
            files << f.create(gone);
            QVERIFY(QFile::remove(f.testPath(files.last())));
            f.addKind(QStringLiteral("Hudba"));
        }
        const QString geo = QStringLiteral("Geografie");
        auto fresh = [&](AppFolder& app) {
            copyFolder(base.path() + QStringLiteral("Data"), app.path() + QStringLiteral("Data"));
            copyFolder(base.testy(), app.testy());
        };
        QString before, after;
        {
            AppFolder app;
            fresh(app);
            TestFolder f(app.path());
            before = kindsOf(f, app, files);
            // Refused whole while one of its tests is open in an editor.
            {
                OpenTest open(f, files[1]);
                QVERIFY_THROWS_EXCEPTION(ETestBusy, f.renameKind(QStringLiteral("Zeměpis"), geo));
            }
            QCOMPARE(kindsOf(f, app, files), before);
            f.renameKind(QStringLiteral("Zeměpis"), geo);
            after = kindsOf(f, app, files);
        }
        QCOMPARE(after, QStringLiteral("%1:Geografie/Geografie %2:Geografie/Geografie %3:Dějepis/Dějepis %4:Geografie/- "
                                       "| Dějepis,Geografie,Hudba")
                            .arg(files[0], files[1], files[2], files[3]));
        const QStringList tables = filesOf(base.testy());

        const auto rename = [&](TestFolder& f) { f.renameKind(QStringLiteral("Zeměpis"), geo); };
        const FolderCheck check = [&](const AppFolder& app, TestFolder& folder, bool changed) {
            const QString now = kindsOf(folder, app, files);
            if (now != (changed ? after : before))
                return now;
            if (filesOf(app.testy()) != tables)
                return filesOf(app.testy()).join(u' ');
            for (const QString& t : tables)
                if (checkTable(app.testy() + t) != 0)
                    return QStringLiteral("%1 damaged").arg(t);
            return QString();
        };
        const QString failed = atEveryFailedWrite(fresh, rename, check);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QString killed = atEveryKilledWrite(
            fresh, rename, [&](TestFolder& f) { return f.entry(files[0]).kind == geo; }, check);
        QVERIFY2(killed.isEmpty(), qPrintable(killed));
    }

    // A new test of a new kind: a failed write leaves neither the test nor
    // its kind, a kill leaves both or, once recovered, neither.
    void createIsOneChange()
    {
        AppFolder base;
        TestFolder(base.path()).addKind(QStringLiteral("Hudba"));
        TestSource t = sample(u'B', 3);
        t.kind = QStringLiteral("Nový druh");
        const QStringList kindsBefore{QStringLiteral("Hudba")};
        const QStringList kindsAfter{QStringLiteral("Hudba"), QStringLiteral("Nový druh")};
        auto fresh = [&](AppFolder& app) { copyFolder(base.path() + QStringLiteral("Data"), app.path() + QStringLiteral("Data")); };
        auto kindRows = [](const AppFolder& app) {
            QStringList k = readColumn(app.path() + QStringLiteral("Data/TestD.DBF"), QStringLiteral("DRUH"));
            k.sort();
            return k;
        };
        // Either nothing of the test, or all of it.
        const FolderCheck check = [&](const AppFolder& app, TestFolder& folder, bool changed) {
            const QList<TestEntry> tests = folder.tests();
            const QString seen = QStringLiteral("kinds %1, tests %2, files %3")
                                     .arg(kindRows(app).join(u','))
                                     .arg(tests.size())
                                     .arg(filesOf(app.testy()).join(u' '));
            if (!changed)
                return tests.isEmpty() && kindRows(app) == kindsBefore && filesOf(app.testy()).isEmpty() ? QString() : seen;
            return tests.size() == 1 && kindRows(app) == kindsAfter && filesOf(app.testy()) == QStringList{tests[0].fileName}
                    && exchange::sameContent(folder.load(tests[0].fileName), t) && tests[0].kind == t.kind
                ? QString()
                : seen;
        };
        const auto create = [&](TestFolder& f) { f.create(t); };
        const QString failed = atEveryFailedWrite(fresh, create, check);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QString killed =
            atEveryKilledWrite(fresh, create, [](TestFolder& f) { return !f.tests().isEmpty(); }, check);
        QVERIFY2(killed.isEmpty(), qPrintable(killed));
    }

    // Exported on one computer, imported on another: the same test.
    void exportImport()
    {
        AppFolder here, there;
        TestFolder from(here.path()), to(there.path());
        TestSource t = sample(u'A', 7);
        t.password = QStringLiteral("heslo");
        const QString file = from.create(t);
        QTemporaryDir out;
        const QString table = out.filePath(file);
        const QString text = out.filePath(QStringLiteral("text.txt"));
        formatById(QStringLiteral("dbf"))->write(from.load(file), table, nullptr);
        formatById(QStringLiteral("text"))->write(from.load(file), text, nullptr);
        QVERIFY_THROWS_EXCEPTION(EVedomecError, formatById(QStringLiteral("text"))->write(t, text, nullptr));

        const QString viaTable = to.create(readTestFile(table).first(), QFileInfo(table).fileName());
        QCOMPARE(viaTable, file);
        QVERIFY(exchange::sameContent(to.load(viaTable), t));
        const QString viaText = to.create(readTestFile(text).first());
        QVERIFY(viaText != viaTable);
        QVERIFY(exchange::sameContent(to.load(viaText), t));
        QCOMPARE(to.entry(viaText).password, QStringLiteral("heslo"));

        QVERIFY(paperTestHtml(t).contains(QStringLiteral("Odpověď 1a")));
        QVERIFY(!paperTestHtml(t).contains(QStringLiteral("Klíč")));
        QVERIFY(answerKeyHtml(t).contains(QStringLiteral("a) Odpověď 1a")));
    }
};

QTEST_GUILESS_MAIN(TestAuthoring)
#include "tst_authoring.moc"
