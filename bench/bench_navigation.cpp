// One navigation step (save the answer shown, move, show the stored answer)
// in a long test against a short one: the step should not grow with the
// number of questions.
//
//   bench_navigation [steps] [long-test-size]
//
// Each test is opened through the open-test dialog, as the user opens it;
// a box is checked before every step, so every step writes its row.
#include "Figures.h"
#include "AppFixture.h"

#include "catalogue/Otevrit.h"
#include "data/Table.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

using bench::Figures;
using bench::summarise;

bool openTest(AppFixture& f, const TestFile& t)
{
    f.showMain();
    f.open->show();
    QApplication::processEvents();
    QTreeWidget* tree = f.open->TreeView1;
    QTreeWidgetItem* kind = f.open->FindTreeChild(tree, nullptr, t.druh);
    QTreeWidgetItem* item = kind ? f.open->FindTreeChild(tree, kind, t.nazev) : nullptr;
    if (!item)
        return false;
    tree->setCurrentItem(item);
    f.open->Button1->click();
    QApplication::processEvents();
    return f.errors.isEmpty() && f.main->OpenTable() != nullptr;
}

struct Run {
    int questions = 0;
    double buildMs = 0;
    Figures middle;    // next / previous around the middle question
    Figures nearStart; // next / previous between questions 1 and 3
    Figures firstLast; // first / last
    QString failure;   // why the figures mean nothing
};

// Alternates two handlers `steps` times, checking a different box before
// each, and times each handler call alone.
template <typename A, typename B>
Figures timeSteps(THlavniDialog* w, int steps, A forward, B back)
{
    QCheckBox* boxes[] = {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4};
    std::vector<double> us;
    us.reserve(size_t(steps));
    QElapsedTimer t;
    for (int i = 0; i < steps; ++i) {
        QCheckBox* box = boxes[i % 4];
        box->setChecked(true);
        t.start();
        if (i % 2 == 0)
            forward();
        else
            back();
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    return summarise(us);
}

Run measure(int questions, int steps)
{
    Run r;
    r.questions = questions;
    QElapsedTimer build;
    build.start();
    TestFile t = simpleTest(QStringLiteral("A"), questions);
    t.nazev = QStringLiteral("Délka %1").arg(questions);
    AppFixture f([&](AppFolder& a) { a.addTest(QStringLiteral("delka.dbf"), t); });
    r.buildMs = double(build.nsecsElapsed()) / 1e6;
    if (!openTest(f, t)) {
        r.failure = QStringLiteral("could not open the %1-question test: %2")
                        .arg(questions)
                        .arg(f.errors.join(QLatin1Char('\n')));
        return r;
    }
    THlavniDialog* w = f.main;

    // Warm-up, then near the start: 1 -> 2 -> 1 ... stays clear of the end.
    timeSteps(w, 20, [w] { w->T3Click(); }, [w] { w->T2Click(); });
    w->T1Click();
    w->T3Click();
    r.nearStart = timeSteps(w, steps, [w] { w->T3Click(); }, [w] { w->T2Click(); });

    // Around the middle question.
    w->T1Click();
    while (w->OpenTable()->RecNo() < questions / 2)
        w->T3Click();
    r.middle = timeSteps(w, steps, [w] { w->T3Click(); }, [w] { w->T2Click(); });

    r.firstLast = timeSteps(w, steps, [w] { w->T4Click(); }, [w] { w->T1Click(); });

    if (!f.errors.isEmpty() || !f.messages.empty())
        r.failure = QStringLiteral("unexpected messages or errors with %1 questions: %2")
                        .arg(questions)
                        .arg(f.errors.join(QLatin1Char('\n')));
    // Leave the file clean, as ending the test does.
    w->EraseAnswers();
    return r;
}

void print(const char* what, const Figures& a, const Figures& b)
{
    std::printf("  %-28s %9.1f %9.1f %9.1f   %9.1f %9.1f %9.1f   %5.2f\n", what, a.median, a.mean, a.max,
                b.median, b.mean, b.max, a.median > 0 ? b.median / a.median : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;
    const int longSize = argc > 2 ? std::max(10, atoi(argv[2])) : 5000;

    const Run small = measure(5, steps);
    const Run large = measure(longSize, steps);
    for (const Run* r : {&small, &large})
        if (!r->failure.isEmpty()) {
            std::fprintf(stderr, "bench_navigation: cannot measure: %s\n", qPrintable(r->failure));
            return 1;
        }

    std::printf("Navigation step (save + move + restore, one row written per step), %d steps each\n", steps);
    std::printf("  building the test folders: %d questions %.0f ms, %d questions %.0f ms\n", small.questions,
                small.buildMs, large.questions, large.buildMs);
    std::printf("  %-28s %29s   %29s   %5s\n", "", "5 questions (us)", "long test (us)", "ratio");
    std::printf("  %-28s %9s %9s %9s   %9s %9s %9s   %5s\n", "step", "median", "mean", "max", "median", "mean",
                "max", "");
    print("next/previous near start", small.nearStart, large.nearStart);
    print("next/previous in the middle", small.middle, large.middle);
    print("first/last", small.firstLast, large.firstLast);
    return 0;
}
