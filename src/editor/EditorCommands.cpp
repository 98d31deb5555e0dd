// The editor's commands: its menus and shortcuts and what each one does.
#include "EditorWindow.h"

#include "authoring/Formats.h"
#include "authoring/PaperTest.h"
#include "platform/Errors.h"
#include "config/Settings.h"
#include "gradebook/RecordStore.h"
#include "results/ResultsView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>
#include <QTextDocument>
#include <QTreeWidget>

namespace vedomec::editor {

using namespace vedomec::authoring;

void EditorWindow::buildActions()
{
    auto add = [this](QMenu* menu, const QString& objectName, const QString& caption, const QKeySequence& key,
                      auto slot) {
        auto* a = new QAction(caption, this);
        a->setObjectName(objectName);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        m_actions[objectName] = a;
        return a;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Soubor"));
    file->setObjectName(QStringLiteral("FileMenu"));
    add(file, QStringLiteral("NewTest"), QStringLiteral("&Nový test…"), QKeySequence(Qt::CTRL | Qt::Key_N), [this] { newTest(); });
    add(file, QStringLiteral("OpenSelected"), QStringLiteral("&Otevřít vybraný test"), QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { openTest(selectedFile()); });
    add(file, QStringLiteral("Save"), QStringLiteral("&Uložit"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { save(); });
    add(file, QStringLiteral("CloseTest"), QStringLiteral("&Zavřít test"), QKeySequence(Qt::CTRL | Qt::Key_W), [this] { closeTest(); });
    file->addSeparator();
    add(file, QStringLiteral("Import"), QStringLiteral("&Importovat test…"), QKeySequence(Qt::CTRL | Qt::Key_I), [this] { importTest(); });
    add(file, QStringLiteral("Export"), QStringLiteral("&Exportovat test…"), QKeySequence(Qt::CTRL | Qt::Key_E), [this] { exportTest(); });
    file->addSeparator();
    add(file, QStringLiteral("TryOut"), QStringLiteral("&Vyzkoušet"), QKeySequence(Qt::Key_F9), [this] { tryOut(); });
    add(file, QStringLiteral("PrintTest"), QStringLiteral("&Tisk testu…"), QKeySequence(Qt::CTRL | Qt::Key_P), [this] { print(false); });
    add(file, QStringLiteral("PrintKey"), QStringLiteral("Tisk &klíče správných odpovědí…"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), [this] { print(true); });
    file->addSeparator();
    add(file, QStringLiteral("Quit"), QStringLiteral("&Konec"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Ú&pravy"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    add(edit, QStringLiteral("Undo"), QStringLiteral("&Zpět"), QKeySequence(Qt::CTRL | Qt::Key_Z), [this] {
        m_editor.undo();
        updateEnabled();
    });
    add(edit, QStringLiteral("Redo"), QStringLiteral("&Znovu"), QKeySequence(Qt::CTRL | Qt::Key_Y), [this] {
        m_editor.redo();
        updateEnabled();
    });
    edit->addSeparator();
    add(edit, QStringLiteral("AddQuestion"), QStringLiteral("&Přidat otázku na konec"), QKeySequence(Qt::CTRL | Qt::Key_Return), [this] {
        m_editor.addQuestion();
        m_edits[Field::Question]->setFocus();
    });
    add(edit, QStringLiteral("InsertQuestion"), QStringLiteral("&Vložit otázku před aktuální"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return), [this] {
            m_editor.insertQuestion(std::max(0, m_question), emptyQuestion(m_editor.test().type));
            m_edits[Field::Question]->setFocus();
        });
    add(edit, QStringLiteral("DuplicateQuestion"), QStringLiteral("Z&dvojit otázku"), QKeySequence(Qt::CTRL | Qt::Key_D),
        [this] { m_editor.duplicateQuestion(m_question); });
    add(edit, QStringLiteral("DeleteQuestion"), QStringLiteral("&Smazat otázku"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
        [this] { m_editor.removeQuestion(m_question); });
    add(edit, QStringLiteral("MoveQuestionUp"), QStringLiteral("Otázku na&horu"), QKeySequence(Qt::ALT | Qt::Key_Up),
        [this] { m_editor.moveQuestion(m_question, m_question - 1); });
    add(edit, QStringLiteral("MoveQuestionDown"), QStringLiteral("Otázku &dolů"), QKeySequence(Qt::ALT | Qt::Key_Down),
        [this] { m_editor.moveQuestion(m_question, m_question + 1); });
    edit->addSeparator();
    add(edit, QStringLiteral("TestProperties"), QStringLiteral("&Vlastnosti testu…"), QKeySequence(Qt::CTRL | Qt::Key_T),
        [this] { editProperties(); });
    add(edit, QStringLiteral("Password"), QStringLiteral("&Heslo pro editaci…"), QKeySequence(Qt::CTRL | Qt::Key_H),
        [this] { setPassword(); });

    QMenu* tests = menuBar()->addMenu(QStringLiteral("&Testy"));
    tests->setObjectName(QStringLiteral("TestsMenu"));
    add(tests, QStringLiteral("DuplicateTest"), QStringLiteral("&Zdvojit vybraný test"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
        [this] { duplicateTest(); });
    add(tests, QStringLiteral("RenameTest"), QStringLiteral("&Přejmenovat vybraný test…"), QKeySequence(Qt::Key_F2),
        [this] { renameTest(); });
    add(tests, QStringLiteral("MoveTest"), QStringLiteral("Př&esunout vybraný test do druhu…"), QKeySequence(Qt::CTRL | Qt::Key_M),
        [this] { moveTest(); });
    add(tests, QStringLiteral("DeleteTest"), QStringLiteral("&Smazat vybraný test…"), QKeySequence(Qt::SHIFT | Qt::Key_Delete),
        [this] { deleteTest(); });
    tests->addSeparator();
    add(tests, QStringLiteral("AddKind"), QStringLiteral("&Nový druh…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
        [this] { addKind(); });
    add(tests, QStringLiteral("RenameKind"), QStringLiteral("Přejmenovat &druh…"), QKeySequence(Qt::CTRL | Qt::Key_F2),
        [this] { renameKind(); });
    add(tests, QStringLiteral("DeleteKind"), QStringLiteral("Smazat druh…"), QKeySequence(), [this] { deleteKind(); });
    tests->addSeparator();
    add(tests, QStringLiteral("Refresh"), QStringLiteral("&Obnovit seznam"), QKeySequence(Qt::Key_F5), [this] { refreshTree(); });

    // The results the pupils' programs recorded, in a window of their own
    // beside the tests.
    QMenu* results = menuBar()->addMenu(QStringLiteral("&Výsledky"));
    results->setObjectName(QStringLiteral("ResultsMenu"));
    add(results, QStringLiteral("Results"), QStringLiteral("&Výsledky testů…"), QKeySequence(Qt::CTRL | Qt::Key_R), [this] {
        auto* view = findChild<TResultsView*>(QStringLiteral("Vysledky"));
        if (!view) {
            view = new TResultsView(this);
            view->setWindowFlag(Qt::Window);
            view->setWindowTitle(QStringLiteral("Výsledky – Vedomec"));
            view->resize(1200, 680);
            TSettings settings;
            settings.readFiles(configurationFiles());
            view->setFolder(gradebook::resultsFolder(m_folder.appFolder(), settings.value(Setting::ResultsFolder).value));
        } else {
            view->reload();
        }
        view->show();
        view->raise();
        view->activateWindow();
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Nápověda"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    add(help, QStringLiteral("About"), QStringLiteral("&O programu"), QKeySequence(Qt::Key_F1), [this] { about(); });

    for (QAction* a : std::as_const(m_actions)) {
        QString accessible = a->text().remove(u'&').remove(QStringLiteral("…"));
        if (!a->shortcut().isEmpty())
            accessible += QStringLiteral(" (%1)").arg(a->shortcut().toString(QKeySequence::NativeText));
        a->setToolTip(accessible);
        a->setStatusTip(accessible);
    }
}

// --- opening, saving, closing ---------------------------------------------

bool EditorWindow::openTest(const QString& fileName)
{
    if (fileName.isEmpty()) {
        prompts().message(this, QStringLiteral("Nebyl vybrán žádný test."), true);
        return false;
    }
    if (m_hasTest && m_file == fileName)
        return true;
    if (!closeTest())
        return false;
    TestSource test;
    if (!guarded([&] { test = m_folder.load(fileName); }))
        return false;
    bool viewOnly = false;
    if (!test.password.isEmpty()) {
        const std::optional<QString> entered = prompts().text(
            this, QStringLiteral("Heslo pro editaci"),
            QStringLiteral("Test „%1“ je chráněn heslem pro editaci.\nHeslo:").arg(test.title), QString(), true);
        if (!entered)
            return false;
        viewOnly = !passwordMatches(test.password, *entered);
        if (viewOnly)
            prompts().message(this, QStringLiteral("Heslo není správné. Test bude otevřen pouze pro prohlížení."), false);
    }
    if (!viewOnly) {
        try {
            try {
                m_open = std::make_unique<OpenTest>(m_folder, fileName);
            } catch (const EMarkUnproven& e) {
                // Only the teacher can tell that the editor which marked it is gone.
                if (!prompts().confirm(this, e.message() + QStringLiteral("\n\nZrušit označení a otevřít test pro úpravy?")))
                    throw;
                m_folder.setOpenMark(fileName, false);
                m_open = std::make_unique<OpenTest>(m_folder, fileName);
            }
        } catch (const ETestBusy& e) {
            prompts().message(this, e.message() + QStringLiteral(" Test bude otevřen pouze pro prohlížení."), false);
            viewOnly = true;
        } catch (const std::exception& e) {
            prompts().message(this, exceptionMessage(e), true);
            return false;
        }
    }
    m_file = fileName;
    m_hasTest = true;
    m_viewOnly = viewOnly;
    m_editor.setReadOnly(false);
    m_editor.reset(test);
    m_editor.setReadOnly(viewOnly);
    showTest();
    updateTitle();
    updateEnabled();
    refreshTree();
    return true;
}

bool EditorWindow::save()
{
    if (!m_hasTest || m_viewOnly)
        return false;
    applyTimeText();
    const QList<RuleBreak> broken = checkTest(m_editor.test());
    if (!broken.isEmpty()) {
        const RuleBreak& b = broken.first();
        if (b.question >= 0)
            selectQuestion(b.question);
        prompts().message(this, QStringLiteral("Test nelze uložit.\n%1").arg(b.message), true);
        QWidget* w = b.field == Field::Kind ? static_cast<QWidget*>(m_kind) : m_edits.value(b.field);
        if (w && w->isVisible())
            w->setFocus();
        return false;
    }
    const bool ok = guarded([this] {
        if (m_file.isEmpty()) {
            const QString name = m_folder.create(m_editor.test());
            m_open = std::make_unique<OpenTest>(m_folder, name);
            m_file = name;
        } else if (m_open) {
            m_open->save(m_editor.test());
        } else {
            m_folder.save(m_file, m_editor.test());
        }
    });
    if (!ok)
        return false;
    m_editor.markSaved();
    statusBar()->showMessage(QStringLiteral("Test „%1“ je uložen.").arg(m_editor.test().title), 5000);
    refreshTree();
    showTest();
    updateTitle();
    updateEnabled();
    return true;
}

bool EditorWindow::closeTest()
{
    if (!m_hasTest)
        return true;
    applyTimeText();
    if (m_editor.modified() && !m_viewOnly) {
        switch (prompts().unsaved(this, QStringLiteral("Test „%1“ má neuložené změny. Uložit je?").arg(m_editor.test().title))) {
        case EditorPrompts::Unsaved::Save:
            if (!save())
                return false;
            break;
        case EditorPrompts::Unsaved::Discard:
            break;
        case EditorPrompts::Unsaved::Cancel:
            return false;
        }
    }
    if (m_open)
        guarded([this] { m_open->close(); });
    m_open.reset();
    m_hasTest = false;
    m_viewOnly = false;
    m_file.clear();
    m_editor.setReadOnly(false);
    m_editor.reset(TestSource{});
    m_question = -1;
    showTest();
    showQuestion();
    updateTitle();
    updateEnabled();
    refreshTree();
    return true;
}

bool EditorWindow::openPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        prompts().message(this, QStringLiteral("Soubor %1 neexistuje.").arg(path), true);
        return false;
    }
    // A question table of the folder's Testy is opened where it lies.
    if (QFileInfo(info.absolutePath()).canonicalFilePath() == QFileInfo(m_folder.testsFolder()).canonicalFilePath()
        && !m_folder.entry(info.fileName()).fileName.isEmpty())
        return openTest(m_folder.entry(info.fileName()).fileName);
    return importFile(path);
}

// --- the folder's tests ----------------------------------------------------

void EditorWindow::newTest()
{
    if (!closeTest())
        return;
    TestSource t;
    t.kind = selectedKind();
    t.type = u'A';
    const std::optional<TestSource> asked = prompts().testProperties(this, t, m_folder.kinds(), true);
    if (!asked)
        return;
    t = *asked;
    t.questions = {emptyQuestion(t.type)};
    m_file.clear();
    m_hasTest = true;
    m_viewOnly = false;
    m_editor.reset(t);
    showTest();
    updateTitle();
    updateEnabled();
    m_edits[Field::Question]->setFocus();
}

void EditorWindow::editProperties()
{
    if (!m_hasTest || m_viewOnly)
        return;
    applyTimeText();
    const std::optional<TestSource> changed = prompts().testProperties(this, m_editor.test(), m_folder.kinds(), false);
    if (changed)
        m_editor.replaceTest(*changed, QStringLiteral("Změna vlastností testu"));
    updateEnabled();
}

void EditorWindow::setPassword()
{
    if (!m_hasTest || m_viewOnly)
        return;
    const std::optional<QString> p = prompts().text(
        this, QStringLiteral("Heslo pro editaci"),
        QStringLiteral("Nové heslo pro editaci testu (prázdné pole heslo odstraní).\n"
                       "Heslo chrání test před nechtěnou změnou, ne před žákem, který čte soubor."),
        QString(), true);
    if (!p)
        return;
    m_editor.setField(-1, Field::Password, *p);
    showTest();
}

void EditorWindow::duplicateTest()
{
    const QString file = selectedFile();
    QString copy;
    if (!file.isEmpty() && guarded([&] { copy = m_folder.duplicate(file); }))
        refreshTree();
}

void EditorWindow::renameTest()
{
    const QString file = selectedFile();
    if (file.isEmpty())
        return;
    if (file == m_file) {
        m_edits[Field::Title]->setFocus();
        m_edits[Field::Title]->selectAll();
        return;
    }
    const TestEntry e = m_folder.entry(file);
    const std::optional<QString> title =
        prompts().text(this, QStringLiteral("Přejmenovat test"), QStringLiteral("Nový název testu:"), e.title);
    if (title && guarded([&] { m_folder.rename(file, *title); }))
        refreshTree();
}

void EditorWindow::moveTest()
{
    const QString file = selectedFile();
    if (file.isEmpty())
        return;
    if (file == m_file) {
        m_kind->setFocus();
        return;
    }
    const TestEntry e = m_folder.entry(file);
    const std::optional<QString> kind = prompts().item(this, QStringLiteral("Přesunout test"),
                                                       QStringLiteral("Druh testu:"), m_folder.kinds(), e.kind, true);
    if (kind && guarded([&] { m_folder.move(file, kind->trimmed()); }))
        refreshTree();
}

void EditorWindow::deleteTest()
{
    const QString file = selectedFile();
    if (file.isEmpty())
        return;
    const TestEntry e = m_folder.entry(file);
    if (!prompts().confirm(this, QStringLiteral("Opravdu smazat test „%1“ (druh „%2“)? Smaže se i jeho soubor %3.")
                                     .arg(e.title, e.kind, e.fileName)))
        return;
    if (file == m_file) {
        m_editor.markSaved();
        closeTest();
    }
    if (guarded([&] { m_folder.remove(file); }))
        refreshTree();
}

void EditorWindow::addKind()
{
    const std::optional<QString> kind =
        prompts().text(this, QStringLiteral("Nový druh"), QStringLiteral("Název nového druhu testů:"), QString());
    if (kind && guarded([&] { m_folder.addKind(*kind); }))
        refreshTree();
}

void EditorWindow::renameKind()
{
    const QString kind = selectedKind();
    if (kind.isEmpty())
        return;
    const std::optional<QString> to =
        prompts().text(this, QStringLiteral("Přejmenovat druh"), QStringLiteral("Nový název druhu:"), kind);
    if (to && guarded([&] { m_folder.renameKind(kind, *to); }))
        refreshTree();
}

void EditorWindow::deleteKind()
{
    const QString kind = selectedKind();
    if (kind.isEmpty())
        return;
    if (!prompts().confirm(this, QStringLiteral("Opravdu smazat druh „%1“?").arg(kind)))
        return;
    if (guarded([&] { m_folder.removeKind(kind); }))
        refreshTree();
}

// --- paper -----------------------------------------------------------------

void EditorWindow::print(bool answerKey)
{
    if (!m_hasTest)
        return;
    QPrinter printer(QPrinter::HighResolution);
    // The name a PDF file is offered under: the key never takes the test's.
    printer.setDocName(answerKey ? m_editor.test().title + QStringLiteral(" – klíč správných odpovědí")
                                 : m_editor.test().title);
    if (!prompts().choosePrinter(this, printer,
                                 answerKey ? QStringLiteral("Tisk klíče správných odpovědí") : QStringLiteral("Tisk testu")))
        return;
    QTextDocument doc;
    doc.setHtml(answerKey ? answerKeyHtml(m_editor.test()) : paperTestHtml(m_editor.test()));
    doc.print(&printer);
}

void EditorWindow::about()
{
    prompts().message(this,
                      QStringLiteral("Vedomec – editor testů\n\nTesty ve složce s daty %1.\n"
                                     "Podrobnosti: man vedomec-editor")
                          .arg(QDir::toNativeSeparators(m_folder.appFolder())),
                      false);
}

} // namespace vedomec::editor
