// A whole class takes one test at once from one shared folder.
//
//   bench_class [copies...]      (default: 1 10 30)
//
// For each number of copies: that many copies of the program, each on its
// own (offscreen) desktop, share one application folder with one test of 20
// questions.  All open the test within the same moment, answer every
// question with one key step each (F7 stores the answer and moves on), and
// ask for the results.  Every copy answers its own pattern and must get the
// score of its own answers.  Prints the time to open the test and one
// answer step (median and 99th percentile over all copies) and the CPU time
// all copies used together.
#include "PupilCopy.h"
#include "TestData.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <vector>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

constexpr int kQuestions = 20;

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double childrenCpuSeconds()
{
    rusage r {};
    ::getrusage(RUSAGE_CHILDREN, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Pupil p's answers: right but for every question q with (q + p) % 5 == 0.
QString answersOf(int pupil, int* right)
{
    QString out;
    *right = 0;
    for (int q = 1; q <= kQuestions; ++q) {
        const QChar correct(u'A' + (q - 1) % 4);
        const bool ok = (q + pupil) % 5 != 0;
        out += ok ? correct : QChar(u'A' + q % 4);
        *right += ok ? 1 : 0;
    }
    return out;
}

bool round(int copies)
{
    AppFolder folder;
    TestFile test = simpleTest(QStringLiteral("A"), kQuestions);
    test.druh = QStringLiteral("Zeměpis");
    test.nazev = QStringLiteral("Třída");
    folder.addTest(QStringLiteral("trida.dbf"), test);
    QTemporaryDir state;
    const double cpuBefore = childrenCpuSeconds();

    std::vector<std::unique_ptr<PupilProcess>> pupils;
    const QString exe = QCoreApplication::applicationFilePath();
    for (int i = 0; i < copies; ++i)
        pupils.push_back(std::make_unique<PupilProcess>(
            exe, folder.path(), QStringLiteral(":%1%2").arg(QCoreApplication::applicationPid()).arg(100 + i),
            state.path(), true));
    for (auto& p : pupils)
        if (p->next() != QLatin1String("ready")) {
            std::fprintf(stderr, "a copy did not start\n");
            return false;
        }

    // All copies open the test at once.
    std::vector<double> open, step;
    int onCopies = 0;
    for (auto& p : pupils)
        p->send(QStringLiteral("open ") + test.druh + QLatin1Char('|') + test.nazev);
    for (auto& p : pupils) {
        const QStringList r = p->next().split(QLatin1Char(' '));
        if (r.value(0) != QLatin1String("opened")) {
            std::fprintf(stderr, "a copy did not open the test: %s\n", qPrintable(r.join(' ')));
            return false;
        }
        open.push_back(r.value(1).toDouble());
        onCopies += r.value(2) == QLatin1String("copy") ? 1 : 0;
    }

    std::vector<int> expected(static_cast<size_t>(copies), 0);
    for (int i = 0; i < copies; ++i)
        pupils[size_t(i)]->send(QStringLiteral("answer ") + answersOf(i, &expected[size_t(i)]));
    for (auto& p : pupils) {
        const QStringList r = p->next().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (r.value(0) != QLatin1String("answered") || r.size() != kQuestions) {
            std::fprintf(stderr, "a copy did not answer: %s\n", qPrintable(r.join(' ')));
            return false;
        }
        for (int i = 1; i < r.size(); ++i)
            step.push_back(r[i].toDouble());
    }

    int correct = 0;
    for (auto& p : pupils)
        p->send(QStringLiteral("results"));
    for (int i = 0; i < copies; ++i) {
        const QString r = pupils[size_t(i)]->next();
        if (r == QStringLiteral("score %1 %2").arg(expected[size_t(i)]).arg(kQuestions - expected[size_t(i)]))
            ++correct;
        else
            std::fprintf(stderr, "copy %d: %s, expected %d right\n", i, qPrintable(r), expected[size_t(i)]);
    }
    for (auto& p : pupils)
        p->send(QStringLiteral("close"));
    for (auto& p : pupils)
        p->next();
    for (auto& p : pupils)
        p->quit();
    pupils.clear();
    const double cpu = childrenCpuSeconds() - cpuBefore;

    const QStringList leftInShared = QDir(folder.testy()).entryList(QDir::Files);
    const QStringList leftInState = QDir(state.path() + QStringLiteral("/vedomec/work"))
                                        .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::printf("N=%2d  open: median %7.2f ms, p99 %7.2f ms (%d on working copies)   "
                "answer step: median %6.2f ms, p99 %6.2f ms   total CPU %6.2f s   own score %d/%d   "
                "left: %lld in Testy, %lld working copies\n",
                copies, percentile(open, 0.5), percentile(open, 0.99), onCopies, percentile(step, 0.5),
                percentile(step, 0.99), cpu, correct, copies, qlonglong(leftInShared.size() - 1),
                qlonglong(leftInState.size()));
    std::fflush(stdout);
    return correct == copies;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--pupil") == 0)
        return runPupil(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    std::vector<int> rounds;
    for (int i = 1; i < argc; ++i)
        rounds.push_back(std::max(1, std::atoi(argv[i])));
    if (rounds.empty())
        rounds = {1, 10, 30};
    std::printf("bench_class: %d questions, goal at N=30: answer step p99 < 50 ms, open < 500 ms\n", kQuestions);
    bool ok = true;
    for (int n : rounds)
        ok = round(n) && ok;
    return ok ? 0 : 1;
}
