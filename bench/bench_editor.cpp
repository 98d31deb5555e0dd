// The teacher's editor on a 500-question test: opening it in the window,
// saving it, undoing a step, and one key typed into a question.
#include "Figures.h"
#include "TestData.h"
#include "authoring/TestFolder.h"
#include "editor/EditorWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <cstdio>

using namespace vedomec;
using namespace vedomec::authoring;

namespace {

class Quiet : public editor::EditorPrompts {
public:
    void message(QWidget*, const QString& text, bool) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    Unsaved unsaved(QWidget*, const QString&) override { return Unsaved::Discard; }
};

double ms(QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void print(const char* what, const std::vector<double>& v, double limit)
{
    const bench::Figures f = bench::summarise(v);
    std::printf("%-34s median %8.3f ms  mean %8.3f ms  max %8.3f ms  (target < %g ms)\n", what, f.median, f.mean, f.max,
                limit);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    editor::EditorWindow::setPrompts(std::make_unique<Quiet>());
    testdata::AppFolder folderDir;
    TestFolder folder(folderDir.path());
    TestSource t;
    t.kind = QStringLiteral("Zeměpis");
    t.title = QStringLiteral("Pět set otázek");
    t.type = u'A';
    for (int i = 0; i < 500; ++i) {
        SourceQuestion q;
        q.text = QStringLiteral("Otázka číslo %1, dost dlouhá na to, aby se podobala skutečné otázce testu?").arg(i + 1);
        for (int a = 0; a < 4; ++a)
            q.answers[a] = QStringLiteral("Odpověď %1 k otázce %2").arg(QChar(u'a' + a)).arg(i + 1);
        q.correct = QString(QChar(u'A' + i % 4));
        t.questions << q;
    }
    const QString file = folder.create(t);

    editor::EditorWindow w(folderDir.path());
    w.show();
    QTest::qWaitForWindowExposed(&w);

    std::vector<double> open, save, undo, key;
    for (int round = 0; round < 10; ++round) {
        QElapsedTimer timer;
        timer.start();
        w.openTest(file);
        QApplication::processEvents();
        open.push_back(ms(timer));

        auto* edit = w.findChild<QLineEdit*>(QStringLiteral("QuestionEdit"));
        w.selectQuestion(250);
        edit->setFocus();
        edit->selectAll();
        for (int k = 0; k < 20; ++k) {
            timer.restart();
            QTest::keyClick(edit, Qt::Key_X);
            QApplication::processEvents();
            key.push_back(ms(timer));
        }
        w.editor().moveQuestion(10, 400);
        timer.restart();
        w.editor().undo();
        QApplication::processEvents();
        undo.push_back(ms(timer));

        timer.restart();
        w.save();
        QApplication::processEvents();
        save.push_back(ms(timer));
        w.closeTest();
    }
    std::printf("bench_editor: a test of 500 questions of type A\n");
    print("open in the window", open, 50);
    print("save (table + catalogue row)", save, 50);
    print("undo a move of a question", undo, 50);
    print("one key typed into a question", key, 16);
    return 0;
}
