// The teacher's window driven through its keys and controls, and the
// pupil's program taking a test the editor wrote.
#include "PupilCopy.h"
#include "TestData.h"
#include "authoring/Formats.h"
#include "authoring/TestFolder.h"
#include "editor/EditorWindow.h"
#include "gradebook/RecordStore.h"
#include "results/ResultsView.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <cstring>
#include <deque>

using namespace vedomec;
using namespace vedomec::authoring;
using namespace vedomec::editor;
using namespace vedomec::testdata;

namespace {

// Answers the editor's questions from a script and keeps its messages.
class ScriptedPrompts : public EditorPrompts {
public:
    std::deque<std::optional<QString>> answers;
    QStringList messages;
    bool confirmWith = true;

    void message(QWidget*, const QString& text, bool) override { messages << text; }
    void report(QWidget*, const QString& text, const QStringList& details) override
    {
        messages << text + u'\n' + details.join(u'\n');
    }
    bool confirm(QWidget*, const QString& text) override
    {
        messages << text;
        return confirmWith;
    }
    Unsaved unsaved(QWidget*, const QString& text) override
    {
        messages << text;
        return Unsaved::Discard;
    }
    std::optional<QString> text(QWidget*, const QString&, const QString&, const QString&, bool) override { return next(); }
    std::optional<QString> item(QWidget*, const QString&, const QString&, const QStringList&, const QString&, bool) override
    {
        return next();
    }
    QString openFile(QWidget*, const QString&, const QString&) override { return next().value_or(QString()); }
    QString folder(QWidget*, const QString&) override { return next().value_or(QString()); }

private:
    std::optional<QString> next()
    {
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

template <typename T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// Keys as a keyboard with Czech letters sends them (QTest's own key clicks
// take ASCII only).
void keys(QWidget* target, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
}

void type(QWidget* w, const char* name, const QString& text)
{
    auto* e = child<QLineEdit>(w, name);
    e->setFocus();
    e->selectAll();
    keys(e, text);
}

// A radio button chosen from the keyboard.
void choose(QWidget* w, const char* name)
{
    auto* r = child<QRadioButton>(w, name);
    r->setFocus();
    QTest::keyClick(r, Qt::Key_Space);
}

TestSource sampleA(int n)
{
    TestSource t;
    t.kind = QStringLiteral("Zeměpis");
    t.title = QStringLiteral("Mapa");
    t.type = u'A';
    for (int i = 0; i < n; ++i) {
        SourceQuestion q;
        q.text = QStringLiteral("Otázka %1").arg(i + 1);
        for (int a = 0; a < 4; ++a)
            q.answers[a] = QStringLiteral("%1%2").arg(i).arg(QChar(u'a' + a));
        q.correct = QString(QChar(u'A' + i % 4));
        t.questions << q;
    }
    return t;
}

} // namespace

class TestEditorWindow : public QObject {
    Q_OBJECT

    ScriptedPrompts* m_prompts = nullptr;

private slots:
    void init()
    {
        auto p = std::make_unique<ScriptedPrompts>();
        m_prompts = p.get();
        EditorWindow::setPrompts(std::move(p));
    }

    // A new test written by keys alone: fields, questions, the correct
    // answers, undo and redo, the rules, save; the catalogue shows it.
    void writeATest()
    {
        AppFolder app;
        EditorWindow w(app.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Vedomec – editor testů"));

        m_prompts->answers = {QStringLiteral("Zeměpis"), QStringLiteral("Hlavní města"),
                              QStringLiteral("A – otázky s odpověďmi a) b) c) d)")};
        QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(w.hasTest());
        QVERIFY(child<QWidget>(&w, "AnswersA")->isVisible());
        type(&w, "AuthorEdit", QStringLiteral("Jana Nováková"));
        QCOMPARE(child<QLabel>(&w, "AuthorEditCounter")->text(), QStringLiteral("zbývá 37"));

        type(&w, "QuestionEdit", QStringLiteral("Hlavní město Francie?"));
        const char* answers[] = {"AnswerA", "AnswerB", "AnswerC", "AnswerD"};
        const QString texts[] = {QStringLiteral("Paříž"), QStringLiteral("Lyon"), QStringLiteral("Nice"), QStringLiteral("Brest")};
        for (int i = 0; i < 4; ++i)
            type(&w, answers[i], texts[i]);
        choose(&w, "CorrectA");
        QCOMPARE(w.editor().test().questions[0].correct, QStringLiteral("A"));

        // A character Windows-1250 cannot store is marked where it stands.
        type(&w, "QuestionEdit", QStringLiteral("Hlavní město ≠ Francie?"));
        QVERIFY2(child<QLabel>(&w, "QuestionEditCounter")->text().contains(QStringLiteral("[≠]")),
                 qPrintable(child<QLabel>(&w, "QuestionEditCounter")->text()));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(w.currentFile().isEmpty());
        QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("Otázka 1, pole „text otázky“")),
                 qPrintable(m_prompts->messages.last()));
        // Ctrl+Z in the field takes back the whole typing of it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(child<QLineEdit>(&w, "QuestionEdit")->text(), QStringLiteral("Hlavní město Francie?"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(child<QLineEdit>(&w, "QuestionEdit")->text(), QStringLiteral("Hlavní město ≠ Francie?"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);

        // A second question without its correct answer is refused by name.
        QTest::keyClick(&w, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(w.currentQuestion(), 1);
        type(&w, "QuestionEdit", QStringLiteral("Hlavní město Itálie?"));
        for (int i = 0; i < 4; ++i)
            type(&w, answers[i], QStringLiteral("Řím %1").arg(i));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("Otázka 2, pole „správná odpověď“")),
                 qPrintable(m_prompts->messages.last()));
        choose(&w, "CorrectC");
        // Duplicate, move up, delete, each taken back by Ctrl+Z.
        QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(w.editor().test().questions.size(), 3);
        QTest::keyClick(&w, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(w.currentQuestion(), 1);
        QTest::keyClick(&w, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.editor().test().questions.size(), 2);
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.editor().test().questions.size(), 2);
        QCOMPARE(child<QListWidget>(&w, "QuestionList")->count(), 2);
        child<QLineEdit>(&w, "TimeLimitEdit")->setText(QStringLiteral("0:20:00"));

        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(!w.currentFile().isEmpty(), qPrintable(m_prompts->messages.join(u'|')));
        QVERIFY(!w.windowTitle().endsWith(u'*'));
        TestFolder folder(app.path());
        const TestEntry e = folder.entry(w.currentFile());
        QCOMPARE(e.title, QStringLiteral("Hlavní města"));
        QCOMPARE(e.openMark, QStringLiteral("A"));
        const TestSource saved = folder.load(w.currentFile());
        QCOMPARE(saved.questions.size(), 2);
        QCOMPARE(saved.questions[1].correct, QStringLiteral("C"));
        QCOMPARE(saved.author, QStringLiteral("Jana Nováková"));
        QCOMPARE(saved.minutes, 20);
        auto* tree = child<QTreeWidget>(&w, "TestTree");
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(2), QStringLiteral("2"));

        const QString file = w.currentFile();
        QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!w.hasTest());
        QCOMPARE(folder.entry(file).openMark, QString());
    }

    // With a wrong password the test is only shown: every field read-only,
    // nothing saved, no mark set, and the title says so.
    void protectedTestWrongPassword()
    {
        AppFolder app;
        TestFolder folder(app.path());
        TestSource t = sampleA(3);
        t.password = QStringLiteral("Sova");
        const QString file = folder.create(t);
        EditorWindow w(app.path());
        w.show();
        m_prompts->answers = {QStringLiteral("sova")};
        QVERIFY(w.openTest(file));
        QVERIFY(w.viewOnly());
        QVERIFY(w.windowTitle().endsWith(QStringLiteral("(pouze pro prohlížení)")));
        QCOMPARE(folder.entry(file).openMark, QString());
        auto* q = child<QLineEdit>(&w, "QuestionEdit");
        QVERIFY(q->isReadOnly());
        q->setFocus();
        keys(q, QStringLiteral("změna"));
        choose(&w, "CorrectD");
        QTest::keyClick(&w, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!w.action(QStringLiteral("Save"))->isEnabled());
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!w.editor().modified());
        QVERIFY(w.closeTest());
        QVERIFY(exchange::sameContent(folder.load(file), t));

        m_prompts->answers = {QStringLiteral("Sova")};
        QVERIFY(w.openTest(file));
        QVERIFY(!w.viewOnly());
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
    }

    // Kinds and tests from the tree's menu.
    void treeCommands()
    {
        AppFolder app;
        TestFolder folder(app.path());
        const QString file = folder.create(sampleA(2));
        EditorWindow w(app.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* tree = child<QTreeWidget>(&w, "TestTree");
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(folder.tests().size(), 2);
        tree->setCurrentItem(tree->topLevelItem(0));
        m_prompts->messages.clear();
        w.action(QStringLiteral("DeleteKind"))->trigger();
        QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("patří k němu 2 testy")),
                 qPrintable(m_prompts->messages.join(u'\n')));
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        QTest::keyClick(&w, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(folder.tests().size(), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        Q_UNUSED(file);
    }

    // "Výsledky" (Ctrl+R) shows what the pupils' programs recorded for this
    // folder: Vysledky of the data folder, or the folder that ResultsFolder=
    // names, as the pupils' programs obey it.  Pressed again it brings the
    // same window back with what came since.
    void resultsOfTheFolder()
    {
        AppFolder app;
        auto record = [](const QString& folder, const QString& pupil) {
            const gradebook::TAccount me = gradebook::currentAccount();
            gradebook::TResultRecord r;
            r.login = me.login;
            r.uid = me.uid;
            r.pupilName = pupil;
            r.testFile = QStringLiteral("mapa.dbf");
            r.testTitle = QStringLiteral("Mapa");
            r.ended = QDateTime::currentDateTime();
            r.finished = true;
            r.questions = 2;
            r.right = r.wrong = 1;
            r.percent = QStringLiteral("50");
            r.grade = QStringLiteral("3 - dobrý");
            return !gradebook::writeRecord(folder, r, nullptr, true).isEmpty();
        };
        auto pupils = [](TResultsView* view) {
            QStringList out;
            for (int row = 0; view && row < view->Tabulka->model()->rowCount(); ++row)
                out << view->Tabulka->model()->index(row, int(gradebook::Column::Pupil)).data().toString();
            out.sort();
            return out;
        };
        auto openResults = [](EditorWindow& w) {
            w.activateWindow();
            if (!QTest::qWaitForWindowActive(&w))
                return static_cast<TResultsView*>(nullptr);
            QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
            auto* view = w.findChild<TResultsView*>(QStringLiteral("Vysledky"));
            return view && view->isVisible() ? view : nullptr;
        };
        const QString classFolder = app.path() + QStringLiteral("Vysledky");
        QVERIFY(record(classFolder, QStringLiteral("Adam")));

        EditorWindow w(app.path());
        w.show();
        QVERIFY(child<QMenu>(&w, "ResultsMenu")->actions().contains(w.action(QStringLiteral("Results"))));
        TResultsView* view = openResults(w);
        QVERIFY(view);
        QCOMPARE(QFileInfo(view->folder()).canonicalFilePath(), QFileInfo(classFolder).canonicalFilePath());
        QCOMPARE(pupils(view), QStringList {QStringLiteral("Adam")});
        QVERIFY(record(classFolder, QStringLiteral("Bára")));
        QCOMPARE(openResults(w), view);
        QCOMPARE(w.findChildren<TResultsView*>().size(), 1);
        QCOMPARE(pupils(view), (QStringList {QStringLiteral("Adam"), QStringLiteral("Bára")}));

        // The teacher's own configuration names another folder.
        QTemporaryDir config, elsewhere;
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("vedomec")));
        QFile conf(config.filePath(QStringLiteral("vedomec/vedomec.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nResultsFolder=" + elsewhere.path().toUtf8() + "\n");
        conf.close();
        QVERIFY(record(elsewhere.path(), QStringLiteral("Cyril")));
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configHome); });
        EditorWindow other(app.path());
        other.show();
        QCOMPARE(pupils(openResults(other)), QStringList {QStringLiteral("Cyril")});
    }

    // The pupil's program takes a test the editor wrote and scores it.
    void pupilTakesTheTest()
    {
        AppFolder app;
        EditorWindow w(app.path());
        m_prompts->answers = {QStringLiteral("Zeměpis"), QStringLiteral("Mapa"), QStringLiteral("A – otázky")};
        w.action(QStringLiteral("NewTest"))->trigger();
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                w.action(QStringLiteral("AddQuestion"))->trigger();
            w.editor().setField(i, Field::Question, QStringLiteral("Otázka %1").arg(i + 1));
            for (Field f : {Field::AnswerA, Field::AnswerB, Field::AnswerC, Field::AnswerD})
                w.editor().setField(i, f, QStringLiteral("možnost"));
            w.editor().setField(i, Field::Correct, QString(QChar(u'A' + i)));
        }
        QVERIFY(w.save());
        // While the editor has it open, a pupil is refused.
        QTemporaryDir state;
        auto start = [&] {
            auto p = std::make_unique<PupilProcess>(QCoreApplication::applicationFilePath(), app.path(),
                                                    QStringLiteral(":6%1").arg(QCoreApplication::applicationPid()),
                                                    state.path());
            const QString ready = p->next();
            if (ready != QLatin1String("ready"))
                qWarning("the pupil's copy did not start: %s", qPrintable(ready));
            return p;
        };
        {
            auto pupil = start();
            QCOMPARE(pupil->ask(QStringLiteral("open Zeměpis|Mapa")), QStringLiteral("refused Tento test je již otevřen!"));
            QVERIFY(pupil->quit());
        }
        QVERIFY(w.closeTest());
        auto pupil = start();
        QVERIFY(pupil->ask(QStringLiteral("open Zeměpis|Mapa")).startsWith(QLatin1String("opened")));
        QVERIFY(pupil->ask(QStringLiteral("answer ABCA")).startsWith(QLatin1String("answered")));
        QCOMPARE(pupil->ask(QStringLiteral("results")), QStringLiteral("score 3 1"));
        QCOMPARE(pupil->ask(QStringLiteral("close")), QStringLiteral("closed"));
        QVERIFY(pupil->quit());
    }

    // A GIFT file of the school's platform that mixes the three types
    // becomes three tests of the folder, each taken by the pupil's program;
    // the teacher is told what was made and which line could not be
    // carried, and a test short of a choice waits open for him to complete
    // it.  A test exported to Moodle XML and GIFT reads back the same,
    // but for what the format names as not held.
    void otherSystemsFiles()
    {
        AppFolder app;
        QTemporaryDir outside;
        const QString gift = outside.filePath(QStringLiteral("Smíšený.gift"));
        {
            QFile f(gift);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("// z platformy školy\n"
                    "::Francie:: Hlavní město Francie? {=Paříž ~Lyon ~Nice ~Brest}\n"
                    "\n"
                    "Slunce je hvězda. {T}\n"
                    "\n"
                    "Kolik nohou má pavouk? {=osm}\n"
                    "\n"
                    "Barva vlajky? {=červená ~modrá ~zelená ~žlutá ~bílá}\n"
                    "\n"
                    "Nejvyšší hora Česka? {=Sněžka ~Praděd ~Lysá hora}\n");
        }
        EditorWindow w(app.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // No category: the kind and the author are asked for.
        m_prompts->answers = {gift, QStringLiteral("Přírodopis"), QStringLiteral("Jana Nováková")};
        QTest::keyClick(&w, Qt::Key_I, Qt::ControlModifier);
        TestFolder folder(app.path());
        QString said = m_prompts->messages.join(u'\n');
        QVERIFY2(said.contains(QStringLiteral("vznikly testy")) && said.contains(QStringLiteral("řádek 8:")), qPrintable(said));
        // The A test, one question short of its fourth choice, waits open
        // and unsaved for the teacher to complete it.
        QVERIFY2(folder.tests().size() == 2 && said.contains(QStringLiteral("ještě není uložen")), qPrintable(said));
        QVERIFY(w.hasTest() && w.currentFile().isEmpty() && w.editor().modified());
        QCOMPARE(w.currentQuestion(), 1);
        type(&w, "AnswerD", QStringLiteral("Boubín"));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        const QList<TestEntry> entries = folder.tests();
        QVERIFY2(entries.size() == 3, qPrintable(m_prompts->messages.join(u'\n')));
        QStringList types;
        for (const TestEntry& e : entries) {
            types << e.type;
            QCOMPARE(e.kind, QStringLiteral("Přírodopis"));
            QCOMPARE(e.author, QStringLiteral("Jana Nováková"));
            QCOMPARE(folder.load(e.fileName).questions.size(), e.type == QLatin1String("A") ? 2 : 1);
        }
        types.sort();
        QCOMPARE(types, (QStringList{"A", "B", "C"}));

        // The A test is open; out to the other systems and back.
        QVERIFY(w.hasTest());
        const TestSource ours = folder.load(w.currentFile());
        QCOMPARE(ours.type, QChar(u'A'));
        QTemporaryDir out;
        for (const char* form : {"Moodle XML (*.xml)", "GIFT (*.gift *.txt)"}) {
            m_prompts->messages.clear();
            m_prompts->answers = {QString::fromUtf8(form), out.path()};
            QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
            said = m_prompts->messages.join(u'\n');
            QVERIFY2(said.contains(QStringLiteral("exportován")) && said.contains(QStringLiteral("autor")), qPrintable(said)); 
            const QString file = out.filePath(QFileInfo(w.currentFile()).completeBaseName()
                                              + (QByteArray(form).startsWith("GIFT") ? ".gift" : ".xml"));
            const QList<TestSource> back = readTestFile(file);
            QCOMPARE(back.size(), 1);
            TestSource t = back.first();
            t.author = ours.author;
            QVERIFY2(exchange::sameContent(t, ours), form);
        }

        QVERIFY(w.closeTest());
        for (const TestEntry& e : entries) {
            QTemporaryDir state;
            PupilProcess pupil(QCoreApplication::applicationFilePath(), app.path(),
                               QStringLiteral(":6%1").arg(QCoreApplication::applicationPid()), state.path());
            QCOMPARE(pupil.next(), QStringLiteral("ready"));
            const QString opened = pupil.ask(QStringLiteral("open %1|%2").arg(e.kind, e.title));
            QVERIFY2(opened.startsWith(QLatin1String("opened")), qPrintable(opened));
            QVERIFY(pupil.quit());
        }
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--pupil") == 0)
        return runPupil(argc, argv, QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    TestEditorWindow t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_editor.moc"
