// "Vyzkoušet": the test as a pupil sees it, in the pupil's own program, on
// a scratch folder of its own that goes when the program ends, so nothing
// of the try is left in the class's folder.
#include "EditorWindow.h"

#include "TableTools.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace vedomec::editor {

using namespace vedomec::authoring;

namespace {

QString& pupilProgramSlot()
{
    static QString program;
    return program;
}

QString pupilProgram()
{
    if (!pupilProgramSlot().isEmpty())
        return pupilProgramSlot();
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vedomec"));
    if (QFileInfo::exists(beside))
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("vedomec"));
}

} // namespace

void EditorWindow::setPupilProgram(const QString& program)
{
    pupilProgramSlot() = program;
}

void EditorWindow::tryOut()
{
    if (!m_hasTest)
        return;
    const QString problem = firstProblem(m_editor.test());
    if (!problem.isEmpty()) {
        prompts().message(this, QStringLiteral("Test zatím nelze vyzkoušet.\n%1").arg(problem), true);
        return;
    }
    const QString program = pupilProgram();
    if (program.isEmpty()) {
        prompts().message(this, QStringLiteral("Program Vedomec pro žáky není nainstalován, a tak test nelze vyzkoušet."), true);
        return;
    }
    auto scratch = std::make_shared<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("vedomec-zkouska-XXXXXX")));
    if (!scratch->isValid()) {
        prompts().message(this, QStringLiteral("Pro vyzkoušení testu nelze vytvořit dočasnou složku."), true);
        return;
    }
    const QString root = scratch->path();
    const bool ok = guarded([&] {
        QDir d(root);
        for (const char* sub : {"Data", "Testy/Import", "Zvuky"})
            if (!d.mkpath(QLatin1String(sub)))
                throw EInOutError(QStringLiteral("Složku %1 nelze vytvořit.").arg(d.filePath(QLatin1String(sub))));
        tools::createCatalogue(d.filePath(QStringLiteral("Data")));
        const QString file = m_file.isEmpty() ? QStringLiteral("Zkouska.dbf") : m_file;
        const QString table = d.filePath(QStringLiteral("Testy/") + file);
        tools::writeQuestionTable(normalized(m_editor.test()), table);
        tools::addTestToCatalogue(d.filePath(QStringLiteral("Data")), table);
        // The sound cues of the class's folder, so the try sounds the same.
        const QString sounds = fs::resolve(fs::join(m_folder.appFolder(), QStringLiteral("Zvuky")));
        if (!sounds.isEmpty())
            for (const QString& wav : QDir(sounds).entryList({QStringLiteral("*.wav")}, QDir::Files))
                QFile::copy(QDir(sounds).filePath(wav), d.filePath(QStringLiteral("Zvuky/") + wav));
    });
    if (!ok)
        return;
    auto* process = new QProcess(this);
    process->setObjectName(QStringLiteral("TryOutProcess"));
    process->setProgram(program);
    process->setArguments({QStringLiteral("--data-folder"), root});
    connect(process, &QProcess::finished, this, [process, scratch] { process->deleteLater(); });
    connect(process, &QProcess::errorOccurred, this, [this, process, scratch](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            prompts().message(this, QStringLiteral("Program Vedomec se nepodařilo spustit: %1").arg(process->errorString()), true);
            process->deleteLater();
        }
    });
    process->start();
    statusBar()->showMessage(QStringLiteral("Test běží v programu Vedomec; po jeho zavření se zkušební složka smaže."), 8000);
}

} // namespace vedomec::editor
