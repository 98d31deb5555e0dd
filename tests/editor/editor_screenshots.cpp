// The README's and the guide's picture of the teacher's editor, taken from
// the real window on a copy of the sample tests, with no display:
// editor-screenshots OUTPUT-FOLDER (run by scripts/screenshots.sh).
#include "authoring/TestFolder.h"
#include "editor/EditorWindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>

using namespace vedomec;

namespace {
// No dialog may wait for an answer: messages go to standard error.
class Unattended : public editor::EditorPrompts {
public:
    void message(QWidget*, const QString& text, bool) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool confirm(QWidget*, const QString&) override { return false; }
    Unsaved unsaved(QWidget*, const QString&) override { return Unsaved::Discard; }
    std::optional<QString> text(QWidget*, const QString&, const QString&, const QString&, bool) override { return {}; }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: editor-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    editor::EditorWindow::setPrompts(std::make_unique<Unattended>());
    QTemporaryDir folder;
    const QDir sample(QStringLiteral(VEDOMEC_PRISTINE_SAMPLE_DIR));
    for (QDirIterator it(sample.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString from = it.next();
        const QString to = QDir(folder.path()).filePath(sample.relativeFilePath(from));
        QDir().mkpath(QFileInfo(to).path());
        QFile::copy(from, to);
        QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir(folder.path()).mkpath(QStringLiteral("Testy/Import"));
    editor::EditorWindow w(folder.path());
    w.resize(1100, 640);
    w.show();
    QTest::qWaitForWindowExposed(&w);
    authoring::TestFolder tests(folder.path());
    const QList<authoring::TestEntry> entries = tests.tests();
    if (entries.isEmpty()) {
        std::fprintf(stderr, "editor-screenshots: the sample has no tests\n");
        return 1;
    }
    // An unprotected test of type A shows the most of the window.
    QString file = entries.first().fileName;
    for (const authoring::TestEntry& e : entries)
        if (!e.isProtected() && e.type == QLatin1String("A")) {
            file = e.fileName;
            break;
        }
    w.openTest(file);
    w.selectQuestion(1);
    QApplication::processEvents();
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("editor.png"));
    if (!w.grab().save(out)) {
        std::fprintf(stderr, "editor-screenshots: cannot write %s\n", qPrintable(out));
        return 1;
    }
    w.closeTest();
    return 0;
}
