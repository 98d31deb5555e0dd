// The teacher's window driven through its keys and controls, and the
// pupil's program taking a test the editor wrote.
#include "PupilCopy.h"
#include "TestData.h"
#include "authoring/Formats.h"
#include "authoring/TestFolder.h"
#include "data/Locks.h"
#include "editor/EditorWindow.h"
#include "editor/TestPropertiesDialog.h"
#include "gradebook/RecordStore.h"
#include "results/ResultsView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>

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
    // Fills the test's properties dialog by its keys (it is shown, not run).
    std::function<void(TestPropertiesDialog&)> fillProperties;
    // Where paper goes: this PDF file; none, the print is cancelled.
    QString pdf;

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
    std::optional<TestSource> testProperties(QWidget* parent, const TestSource& test, const QStringList& kinds,
                                             bool isNew) override
    {
        TestPropertiesDialog d(test, kinds, isNew, parent);
        d.show();
        // The arrows among the type's buttons move the application's focus.
        QApplication::setActiveWindow(&d);
        if (fillProperties)
            fillProperties(d);
        d.hide();
        if (parent)
            QApplication::setActiveWindow(parent->window());
        if (d.result() != QDialog::Accepted)
            return std::nullopt;
        return d.test();
    }
    bool choosePrinter(QWidget*, QPrinter& printer, const QString&) override
    {
        if (pdf.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }

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

// A key on the dialog's focused control (Enter: its default button).
void press(QWidget* dialog, Qt::Key key)
{
    QWidget* f = dialog->focusWidget();
    QTest::keyClick(f ? f : dialog, key);
}

// The new-test dialog answered by keys: kind, title, and the type by arrows
// from A (0: A, 1: B, 2: C).
std::function<void(TestPropertiesDialog&)> newTestKeys(const QString& kind, const QString& title, int typeSteps)
{
    return [=](TestPropertiesDialog& d) {
        QLineEdit* kindLine = child<QComboBox>(&d, "PropertiesKind")->lineEdit();
        kindLine->setFocus();
        kindLine->selectAll();
        keys(kindLine, kind);
        type(&d, "PropertiesTitle", title);
        auto* a = child<QRadioButton>(&d, "PropertiesTypeA");
        a->setFocus();
        for (int i = 0; i < typeSteps; ++i)
            press(&d, Qt::Key_Down);
        press(&d, Qt::Key_Return);
    };
}

// Every file below `root` with a digest of its bytes.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> out;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            out[QDir(root).relativeFilePath(path)] = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
    }
    return out;
}

QString pdfText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qWarning("pdftotext: %s", p.readAllStandardError().constData());
    return QString::fromUtf8(p.readAllStandardOutput());
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

        m_prompts->fillProperties = newTestKeys(QStringLiteral("Zeměpis"), QStringLiteral("Hlavní města"), 0);
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

    // Where the folder keeps no locks, a mark a killed editor left looks
    // like a living editor's: it is cleared only when the teacher agrees,
    // and declined, the test is only shown.
    void markOnFolderWithoutLocks()
    {
        AppFolder app;
        TestFolder folder(app.path());
        const QString file = folder.create(sampleA(2));
        folder.setOpenMark(file, true);
        data::setLockHook([](int) { return ENOLCK; });
        const auto restore = qScopeGuard([] { data::setLockHook({}); });
        EditorWindow w(app.path());
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        m_prompts->confirmWith = false;
        QVERIFY(w.openTest(file));
        QVERIFY(w.viewOnly());
        QVERIFY2(m_prompts->messages.join(u'\n').contains(QStringLiteral("Zrušit označení")),
                 qPrintable(m_prompts->messages.join(u'\n')));
        QVERIFY(w.closeTest());
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        m_prompts->confirmWith = true;
        QVERIFY(w.openTest(file));
        QVERIFY(!w.viewOnly());
        QCOMPARE(folder.entry(file).openMark, QStringLiteral("A"));
        QVERIFY(w.closeTest());
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
        m_prompts->fillProperties = newTestKeys(QStringLiteral("Zeměpis"), QStringLiteral("Mapa"), 0);
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

    // The new-test dialog asks every field of the test: the kind chosen or
    // new, title, author's name, address, e-mail, web, type and time; each
    // field shows what it may still hold, and what cannot be stored keeps
    // the dialog open with the reason.  The saved table and catalogue row
    // carry all of it.
    void newTestAsksEveryField()
    {
        AppFolder app;
        TestFolder folder(app.path());
        folder.create(sampleA(1));
        EditorWindow w(app.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        int rounds = 0;
        m_prompts->fillProperties = [&](TestPropertiesDialog& d) {
            auto* kind = child<QComboBox>(&d, "PropertiesKind");
            // Every control is named and on the way of Tab.
            QStringList reached;
            kind->lineEdit()->setFocus();
            for (int i = 0; i < 12; ++i) {
                QWidget* f = d.focusWidget();
                QVERIFY2(!f->accessibleName().isEmpty(), qPrintable(f->objectName()));
                reached << (f->objectName().isEmpty() ? f->parentWidget()->objectName() : f->objectName());
                press(&d, Qt::Key_Tab);
            }
            for (const char* name : {"PropertiesKind", "PropertiesTitle", "PropertiesAuthor", "PropertiesAddress",
                                     "PropertiesEmail", "PropertiesHttp", "PropertiesTypeA", "PropertiesTimeLimit",
                                     "PropertiesOk", "PropertiesCancel"})
                QVERIFY2(reached.contains(QLatin1String(name)), qPrintable(reached.join(u' ')));
            QCOMPARE(kind->count(), 1); // the folder's kinds to choose from
            QCOMPARE(kind->itemText(0), QStringLiteral("Zeměpis"));
            kind->lineEdit()->setFocus();
            kind->lineEdit()->selectAll();
            keys(kind->lineEdit(), QStringLiteral("Dějepis"));
            QCOMPARE(child<QLabel>(&d, "PropertiesKindCounter")->text(), QStringLiteral("zbývá 43"));
            type(&d, "PropertiesTitle", QStringLiteral("Husité ≠ křižáci"));
            QVERIFY2(child<QLabel>(&d, "PropertiesTitleCounter")->text().contains(QStringLiteral("[≠]")),
                     qPrintable(child<QLabel>(&d, "PropertiesTitleCounter")->text()));
            type(&d, "PropertiesAuthor", QStringLiteral("Jan Žižka"));
            QCOMPARE(child<QLabel>(&d, "PropertiesAuthorCounter")->text(), QStringLiteral("zbývá 41"));
            type(&d, "PropertiesAddress", QStringLiteral("Trocnov 1, Borovany"));
            type(&d, "PropertiesEmail", QStringLiteral("zizka@skola.cz"));
            type(&d, "PropertiesHttp", QString(60, u'w'));
            QVERIFY(child<QLabel>(&d, "PropertiesHttpCounter")->text().contains(QStringLiteral("o 10 znaků navíc")));
            child<QRadioButton>(&d, "PropertiesTypeA")->setFocus();
            press(&d, Qt::Key_Down);
            press(&d, Qt::Key_Down);
            QVERIFY(child<QRadioButton>(&d, "PropertiesTypeC")->isChecked());
            type(&d, "PropertiesTimeLimit", QStringLiteral("0:75:00"));
            // Refused one reason at a time, the dialog stays open.
            press(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("název testu")), qPrintable(m_prompts->messages.last()));
            type(&d, "PropertiesTitle", QStringLiteral("Husité"));
            press(&d, Qt::Key_Return);
            QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("WWW autora")), qPrintable(m_prompts->messages.last()));
            type(&d, "PropertiesHttp", QStringLiteral("www.skola.cz/dejepis"));
            press(&d, Qt::Key_Return);
            QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("Povolený čas")), qPrintable(m_prompts->messages.last()));
            QCOMPARE(d.focusWidget(), child<QWidget>(&d, "PropertiesTimeLimit"));
            type(&d, "PropertiesTimeLimit", QStringLiteral("0:45:00"));
            press(&d, Qt::Key_Return);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            ++rounds;
        };
        QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(rounds, 1);
        QVERIFY(w.hasTest());
        QVERIFY(child<QWidget>(&w, "AnswersC")->isVisible());
        type(&w, "QuestionEdit", QStringLiteral("Kdy byla bitva u Lipan?"));
        type(&w, "CorrectEdit", QStringLiteral("1434"));
        QVERIFY(w.save());
        const TestEntry e = folder.entry(w.currentFile());
        QCOMPARE(e.kind, QStringLiteral("Dějepis"));
        QCOMPARE(e.author, QStringLiteral("Jan Žižka"));
        QCOMPARE(e.type, QStringLiteral("C"));
        const TestSource saved = folder.load(w.currentFile());
        QCOMPARE(saved.title, QStringLiteral("Husité"));
        QCOMPARE(saved.address, QStringLiteral("Trocnov 1, Borovany"));
        QCOMPARE(saved.email, QStringLiteral("zizka@skola.cz"));
        QCOMPARE(saved.http, QStringLiteral("www.skola.cz/dejepis"));
        QCOMPARE(saved.hours * 3600 + saved.minutes * 60 + saved.seconds, 45 * 60);
        QVERIFY(folder.kinds().contains(QStringLiteral("Dějepis")));

        // Cancelled, nothing is made.
        QVERIFY(w.closeTest());
        m_prompts->fillProperties = [](TestPropertiesDialog& d) {
            press(&d, Qt::Key_Escape);
            QVERIFY(!d.isVisible());
        };
        QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(!w.hasTest());
    }

    // The open test's properties change as one step, its type too when
    // every question keeps a correct answer (A to C: the text of the chosen
    // answer); a type a question cannot take is refused by its number.
    void changeTestProperties()
    {
        AppFolder app;
        TestFolder folder(app.path());
        TestSource t = sampleA(3);
        t.questions[1].answers[1] = QStringLiteral("ano"); // the correct b)
        const QString file = folder.create(t);
        EditorWindow w(app.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.openTest(file));

        m_prompts->fillProperties = [](TestPropertiesDialog& d) {
            QCOMPARE(child<QLineEdit>(&d, "PropertiesTitle")->text(), QStringLiteral("Mapa"));
            child<QRadioButton>(&d, "PropertiesTypeA")->setFocus();
            press(&d, Qt::Key_Down); // B
            press(&d, Qt::Key_Return);
            QVERIFY(d.isVisible());
            press(&d, Qt::Key_Escape);
        };
        QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!m_prompts->messages.isEmpty());
        QVERIFY2(m_prompts->messages.last().contains(QStringLiteral("otázky 1")), qPrintable(m_prompts->messages.last()));
        QVERIFY(!w.editor().modified());

        m_prompts->fillProperties = [](TestPropertiesDialog& d) {
            type(&d, "PropertiesAuthor", QStringLiteral("Eva Malá"));
            type(&d, "PropertiesTimeLimit", QStringLiteral("1:05"));
            child<QRadioButton>(&d, "PropertiesTypeA")->setFocus();
            press(&d, Qt::Key_Down);
            press(&d, Qt::Key_Down); // C
            press(&d, Qt::Key_Return);
            QCOMPARE(d.result(), int(QDialog::Accepted));
        };
        child<QPushButton>(&w, "TestPropertiesButton")->click();
        const TestSource& now = w.editor().test();
        QCOMPARE(now.type, QChar(u'C'));
        QCOMPARE(now.author, QStringLiteral("Eva Malá"));
        QCOMPARE(now.hours, 1);
        QCOMPARE(now.minutes, 5);
        QCOMPARE(now.questions[0].correct, QStringLiteral("0a"));
        QCOMPARE(now.questions[1].correct, QStringLiteral("ano"));
        QVERIFY(child<QWidget>(&w, "AnswersC")->isVisible());
        QCOMPARE(child<QLineEdit>(&w, "CorrectEdit")->text(), QStringLiteral("0a"));
        QCOMPARE(child<QLineEdit>(&w, "TimeLimitEdit")->text(), QStringLiteral("1:05:00"));
        // One step back restores all of it.
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(exchange::sameContent(w.editor().test(), t));
        QVERIFY(child<QWidget>(&w, "AnswersA")->isVisible());
        QVERIFY(!w.editor().modified());
        QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(w.save());
        const TestSource saved = folder.load(file);
        QCOMPARE(saved.type, QChar(u'C'));
        QCOMPARE(saved.questions[2].correct, QStringLiteral("2c"));
        QCOMPARE(folder.entry(file).type, QStringLiteral("C"));
        QCOMPARE(folder.entry(file).author, QStringLiteral("Eva Malá"));
    }

    // "Vyzkoušet" starts the pupil's program on a scratch folder holding the
    // test, which is gone when the program ends, the class's folder as it
    // was; "Tisk" to a PDF gives the numbered questions without the correct
    // answers, and the key gives them.
    void tryOutAndPrint()
    {
        AppFolder app;
        TestFolder folder(app.path());
        TestSource t;
        t.kind = QStringLiteral("Zeměpis");
        t.title = QStringLiteral("Řeky");
        t.author = QStringLiteral("Eva Malá");
        t.type = u'C';
        const QString rivers[3] = {QStringLiteral("Vltava"), QStringLiteral("Labe"), QStringLiteral("Morava")};
        for (int i = 0; i < 3; ++i) {
            SourceQuestion q;
            q.text = QStringLiteral("Řeka číslo %1?").arg(i + 1);
            q.correct = rivers[i];
            t.questions << q;
        }
        const QString file = folder.create(t);
        EditorWindow w(app.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.openTest(file));

        QTemporaryDir scratchNotes;
        const QString launcher = scratchNotes.filePath(QStringLiteral("vedomec"));
        const QString seen = scratchNotes.filePath(QStringLiteral("seen.txt"));
        {
            QFile f(launcher);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("#!/bin/sh\n[ \"$1\" = --data-folder ] || exit 2\n"
                                   "{ echo \"$2\"; cd \"$2\" && find . -type f | sort; } > '%1'\n")
                        .arg(seen)
                        .toUtf8());
            f.close();
            f.setPermissions(f.permissions() | QFile::ExeOwner);
        }
        EditorWindow::setPupilProgram(launcher);
        const auto before = snapshot(app.path());
        QTest::keyClick(&w, Qt::Key_F9);
        auto* process = w.findChild<QProcess*>(QStringLiteral("TryOutProcess"));
        QVERIFY(process);
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitCode(), 0);
        QFile notes(seen);
        QVERIFY(notes.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(notes.readAll()).split(u'\n', Qt::SkipEmptyParts);
        const QString root = lines.value(0);
        QVERIFY(!root.isEmpty());
        QVERIFY(!QDir(root).canonicalPath().startsWith(QDir(app.path()).canonicalPath()));
        QVERIFY2(lines.contains(QStringLiteral("./Testy/") + file), qPrintable(lines.join(u' ')));
        QVERIFY(lines.contains(QStringLiteral("./Data/Testy.DBF")));
        QTRY_VERIFY(!QFileInfo::exists(root));
        QCOMPARE(snapshot(app.path()), before);
        EditorWindow::setPupilProgram(QString());

        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils, scripts/deps.sh) is missing");
        QTemporaryDir paper;
        m_prompts->pdf = paper.filePath(QStringLiteral("test.pdf"));
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
        const QString sheet = pdfText(m_prompts->pdf);
        QVERIFY2(sheet.contains(QStringLiteral("Řeky")) && sheet.contains(QStringLiteral("Eva Malá")), qPrintable(sheet));
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(sheet.contains(QStringLiteral("%1. Řeka číslo %1?").arg(i + 1)), qPrintable(sheet));
            QVERIFY2(!sheet.contains(rivers[i]), qPrintable(sheet));
        }
        m_prompts->pdf = paper.filePath(QStringLiteral("klic.pdf"));
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        const QString key = pdfText(m_prompts->pdf);
        QVERIFY2(key.contains(QStringLiteral("Klíč správných odpovědí")), qPrintable(key));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(key.contains(QRegularExpression(QStringLiteral("%1\\.\\s+Řeka číslo %1\\?\\s+%2")
                                                           .arg(i + 1)
                                                           .arg(rivers[i]))),
                     qPrintable(key));
        // A cancelled print writes nothing.
        m_prompts->pdf.clear();
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(QDir(paper.path()).entryList(QDir::Files).size(), 2);
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
