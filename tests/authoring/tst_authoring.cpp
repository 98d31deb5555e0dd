// The authoring layer without a window: the rules of the fields, undo and
// redo, and the changes to a data folder, each one whole also when a write
// fails or the editor is killed at any write.
#include "StoreFaults.h"
#include "TestData.h"
#include "authoring/Formats.h"
#include "authoring/PaperTest.h"
#include "authoring/TestEditor.h"
#include "authoring/TestFolder.h"

#include <QProcess>
#include <QTest>

#include <csignal>

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
                QVERIFY2(now == before, qPrintable(QStringLiteral("write %1 failed, yet the test changed").arg(n)));
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

        const int status = inChild([&] {
            TestFolder f(app.path());
            OpenTest open(f, file);
            ::raise(SIGKILL);
        });
        QCOMPARE(status, -SIGKILL);
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        QCOMPARE(folder.recover(), 1);
        QCOMPARE(folder.entry(file).openMark, QString());
        QCOMPARE(checkTable(app.path() + QStringLiteral("Data/Testy.DBF")), 0);
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
