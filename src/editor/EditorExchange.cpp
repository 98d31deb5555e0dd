// The editor's import and export: a test to and from a file in any form the
// list of formats knows.  A quiz file of another system gives one test per
// type of question it holds, and what it cannot carry is told line by line.
#include "EditorWindow.h"

#include "authoring/Formats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <QUndoStack>

namespace vedomec::editor {

using namespace vedomec::authoring;

namespace {

const QString kImportTitle = QStringLiteral("Importovat test");

// Why the test-wide `field` of `test` cannot be saved, by the editor's own
// rules, or empty.
QString ruleBroken(const TestSource& test, Field field)
{
    for (const RuleBreak& b : checkTest(test))
        if (b.question < 0 && b.field == field)
            return b.message;
    return {};
}

// The same with `value` in the field.
QString ruleBroken(TestSource test, Field field, const QString& value)
{
    setFieldValue(test, -1, field, value);
    return ruleBroken(test, field);
}

QString describe(const TestSource& t)
{
    return QStringLiteral("„%1“ (druh %2, typ %3, otázek: %4)")
        .arg(t.title, t.kind, QString(t.type))
        .arg(t.questions.size());
}

// The notes worth showing in the message itself; all of them go beside it.
QString shortList(const QStringList& notes)
{
    constexpr int Shown = 12;
    QString out = notes.mid(0, Shown).join(u'\n');
    if (notes.size() > Shown)
        out += QStringLiteral("\n… a další (%1), všechny v podrobnostech.").arg(notes.size() - Shown);
    return out;
}

} // namespace

bool EditorWindow::completeTestWide(QList<TestSource>& tests, const QString& fileName, bool askAuthor)
{
    // One kind for the whole file, asked when it gave none or one the
    // table cannot take.
    QString problem;
    for (const TestSource& t : std::as_const(tests))
        if (problem.isEmpty())
            problem = ruleBroken(t, Field::Kind);
    while (!problem.isEmpty()) {
        const std::optional<QString> kind =
            prompts().item(this, kImportTitle, QStringLiteral("Soubor %1: %2\nDruh testu:").arg(fileName, problem),
                           m_folder.kinds(), selectedKind(), true);
        if (!kind)
            return false;
        problem = ruleBroken(tests.first(), Field::Kind, kind->trimmed());
        if (problem.isEmpty())
            for (TestSource& t : tests)
                if (!ruleBroken(t, Field::Kind).isEmpty())
                    t.kind = kind->trimmed();
    }
    for (TestSource& t : tests) {
        problem = ruleBroken(t, Field::Title);
        while (!problem.isEmpty()) {
            const std::optional<QString> title = prompts().text(
                this, kImportTitle,
                QStringLiteral("Soubor %1, test typu %2: %3\nNázev testu:").arg(fileName, QString(t.type), problem), t.title);
            if (!title)
                return false;
            problem = ruleBroken(t, Field::Title, title->trimmed());
            if (problem.isEmpty())
                t.title = title->trimmed();
        }
    }
    // Another system's file names no author: asked once for all its tests.
    if (askAuthor) {
        QString author;
        do {
            const std::optional<QString> given = prompts().text(
                this, kImportTitle,
                QStringLiteral("Soubor %1 neuvádí autora testu.\nJméno autora (může zůstat prázdné):%2")
                    .arg(fileName, problem.isEmpty() ? QString() : u'\n' + problem),
                author);
            if (!given)
                return false;
            author = given->trimmed();
            problem = ruleBroken(tests.first(), Field::Author, author);
        } while (!problem.isEmpty());
        for (TestSource& t : tests)
            if (t.author.isEmpty())
                t.author = author;
    }
    return true;
}

bool EditorWindow::importFile(const QString& path)
{
    const QFileInfo info(path);
    const TestFormat* format = formatOfFile(path);
    QList<TestSource> tests;
    QStringList notes;
    if (!guarded([&] { tests = readTestFile(path, &notes); }))
        return false;
    if (!completeTestWide(tests, info.fileName(), format && format->otherSystem))
        return false;

    // Each test goes into the folder as a change of its own; a test that
    // breaks a rule of the editor (a question of fewer than four choices)
    // is opened unsaved for the teacher to complete.  Should a later test
    // fail, the ones made before it are taken out again.
    const bool table = info.suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0;
    QStringList made;
    QStringList madeText;
    int pending = -1;
    QString pendingProblem;
    const bool ok = guarded([&] {
        try {
            for (qsizetype i = 0; i < tests.size(); ++i) {
                const QString problem = firstProblem(tests[i]);
                if (!problem.isEmpty() && pending < 0) {
                    pending = int(i);
                    pendingProblem = problem;
                    continue;
                }
                if (!problem.isEmpty())
                    throw EVedomecError(QStringLiteral("Test %1 ze souboru %2 nelze uložit: %3")
                                            .arg(describe(tests[i]), info.fileName(), problem));
                made << m_folder.create(tests[i], table && tests.size() == 1 ? info.fileName() : QString());
                madeText << QStringLiteral("– ") + describe(tests[i]);
            }
        } catch (...) {
            for (const QString& name : std::as_const(made)) {
                try {
                    m_folder.remove(name);
                } catch (...) {
                }
            }
            made.clear();
            throw;
        }
    });
    refreshTree();
    if (!ok)
        return false;

    QStringList lines;
    if (!made.isEmpty()) {
        lines << (made.size() == 1 ? QStringLiteral("Ze souboru %1 vznikl test:") : QStringLiteral("Ze souboru %1 vznikly testy:"))
                     .arg(info.fileName());
        lines << madeText;
    }
    if (pending >= 0)
        lines << QStringLiteral("Test %1 ze souboru %2 je otevřen, ale ještě není uložen: %3\nDoplňte ho a uložte.")
                     .arg(describe(tests[pending]), info.fileName(), pendingProblem);
    if (!notes.isEmpty())
        lines << QStringLiteral("\nCo ze souboru nešlo přenést nebo se změnilo:\n%1").arg(shortList(notes));
    if (tests.size() > 1 || pending >= 0 || !notes.isEmpty())
        prompts().report(this, lines.join(u'\n'), notes);
    if (!made.isEmpty())
        statusBar()->showMessage(QStringLiteral("Test ze souboru %1 je přidán do seznamu testů.").arg(info.fileName()), 5000);

    if (pending < 0)
        return openTest(made.first());
    m_file.clear();
    m_hasTest = true;
    m_viewOnly = false;
    m_editor.setReadOnly(false);
    m_editor.reset(tests[pending]);
    // Not in the folder yet: closing asks whether to keep it.
    m_editor.undoStack()->resetClean();
    showTest();
    updateTitle();
    updateEnabled();
    const QList<RuleBreak> broken = checkTest(m_editor.test());
    if (!broken.isEmpty() && broken.first().question >= 0)
        selectQuestion(broken.first().question);
    return true;
}

void EditorWindow::importTest()
{
    const QString path = prompts().openFile(this, kImportTitle, fileDialogFilter(false));
    if (!path.isEmpty() && closeTest())
        openPath(path);
}

void EditorWindow::exportTest()
{
    if (!m_hasTest || m_file.isEmpty())
        return;
    if (m_editor.modified() && !m_viewOnly && !save())
        return;
    // The question table goes out with its text beside it, as another
    // computer's import folder takes it; every other form alone.
    QList<const TestFormat*> forms;
    QStringList choices;
    for (const TestFormat& f : testFormats()) {
        if (!f.write)
            continue;
        forms << &f;
        choices << (f.id == QLatin1String("dbf") ? QStringLiteral("Tabulka testu pro jiný počítač (*.dbf) a jeho text (*.txt)")
                                                 : f.name);
    }
    const std::optional<QString> choice =
        prompts().item(this, QStringLiteral("Exportovat test"), QStringLiteral("Formát:"), choices, choices.first(), false);
    if (!choice || !choices.contains(*choice))
        return;
    const TestFormat* form = forms.at(choices.indexOf(*choice));
    const QString target = prompts().folder(this, QStringLiteral("Exportovat test do složky"));
    if (target.isEmpty())
        return;
    const QString base = QFileInfo(m_file).completeBaseName();
    const TestSource test = normalized(m_editor.test());

    if (form->id == QLatin1String("dbf")) {
        if (guarded([&] {
                const QString table = QDir(target).filePath(m_file);
                const QString text = QDir(target).filePath(base + QStringLiteral(".txt"));
                if (QFileInfo::exists(table) || QFileInfo::exists(text))
                    throw EVedomecError(QStringLiteral("Ve složce %1 už je soubor %2 nebo %3; export by ho přepsal.")
                                            .arg(target, m_file, base + QStringLiteral(".txt")));
                form->write(test, table, nullptr);
                try {
                    formatById(QStringLiteral("text"))->write(test, text, nullptr);
                } catch (...) {
                    QFile::remove(table);
                    throw;
                }
            }))
            prompts().message(this, QStringLiteral("Test je exportován do složky %1 jako %2 (tabulka pro import "
                                                   "na jiném počítači) a %3 (jeho text).")
                                        .arg(target, m_file, base + QStringLiteral(".txt")),
                              false);
        return;
    }

    const QString name = base + u'.' + form->suffixes.first();
    QStringList notes;
    if (!guarded([&] {
            const QString file = QDir(target).filePath(name);
            if (QFileInfo::exists(file))
                throw EVedomecError(QStringLiteral("Ve složce %1 už je soubor %2; export by ho přepsal.").arg(target, name));
            form->write(test, file, &notes);
        }))
        return;
    QString text = QStringLiteral("Test je exportován do složky %1 jako %2 (%3).")
                       .arg(target, name, form->name.section(QStringLiteral(" ("), 0, 0));
    if (!notes.isEmpty())
        text += QStringLiteral("\n\nCo tento formát neunese:\n%1").arg(shortList(notes));
    prompts().report(this, text, notes);
}

} // namespace vedomec::editor
