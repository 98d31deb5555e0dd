// Prints how long reading a large GIFT file takes: 10,000 questions of the
// three kinds a table carries, with the corners teachers' files have
// (comments, titles, escapes, questions over several lines, feedback), read
// whole into tests.  Then the same test written and read in each format.
#include "Figures.h"
#include "exchange/Exchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

using namespace vedomec;
using namespace vedomec::exchange;

namespace {

double cpuNow()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QByteArray giftFile(int questions)
{
    QString out;
    out += QStringLiteral("// Banka otázek pro měření\n$CATEGORY: $course$/top/Zeměpis/Velká banka\n\n");
    for (int i = 0; i < questions; ++i) {
        switch (i % 3) {
        case 0:
            out += QStringLiteral("// otázka %1\n::Otázka %1::Které město leží na řece Vltavě\n"
                                  "  a má číslo %1 \\= %1?{\n"
                                  "  =Praha # ano\n  ~Brno\n  ~Ostrava \\~ Poruba\n  ~Plzeň\n}\n\n").arg(i);
            break;
        case 1:
            out += QStringLiteral("::Otázka %1::Sněžka je nejvyšší hora Česka (%1).{TRUE#Ne.#Ano.}\n\n").arg(i);
            break;
        default:
            out += QStringLiteral("Hlavní město Slovenska je {=Bratislava =bratislava} (otázka %1).\n\n").arg(i);
            break;
        }
    }
    return out.toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int Questions = 10000;
    constexpr int Runs = 7;
    const QByteArray file = giftFile(Questions);

    std::vector<double> wall, cpu;
    ImportResult r;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer t;
        const double c0 = cpuNow();
        t.start();
        r = readGift(file, {});
        wall.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back((cpuNow() - c0) * 1e3);
    }
    qsizetype carried = 0;
    for (const TestSource& test : r.tests)
        carried += test.questions.size();
    if (r.questionsFound != Questions || carried != Questions || r.tests.size() != 3) {
        std::fprintf(stderr, "bench_exchange: cannot measure: the file read as %d questions, %lld carried, not %d\n",
                     r.questionsFound, (long long)carried, Questions);
        return 1;
    }
    const bench::Figures w = bench::summarise(wall), c = bench::summarise(cpu);
    std::printf("GIFT read, %d questions (%.1f MB): median %7.1f ms, mean %7.1f, max %7.1f (cpu median %7.1f); target < 1000 ms\n",
                Questions, double(file.size()) / (1024.0 * 1024.0), w.median, w.mean, w.max, c.median);

    // The multiple-choice part written out and read back in each format.
    const TestSource& a = r.tests.first();
    for (Format f : {Format::Gift, Format::Aiken, Format::MoodleXml}) {
        QElapsedTimer t;
        t.start();
        const ExportResult out = writeExchange(f, a);
        const double writeMs = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        const ImportResult back = readExchange(f, out.file, {QStringLiteral("Zeměpis"), QStringLiteral("Velká banka"), {}, {}});
        const double readMs = double(t.nsecsElapsed()) / 1e6;
        if (back.tests.size() != 1 || back.tests.first().questions.size() != a.questions.size()) {
            std::fprintf(stderr, "bench_exchange: cannot measure: %s gave back other questions\n", qPrintable(formatName(f)));
            return 1;
        }
        std::printf("%-10s %lld questions: write %7.1f ms, read %7.1f ms (%.1f MB)\n", qPrintable(formatName(f)),
                    (long long)a.questions.size(), writeMs, readMs, double(out.file.size()) / (1024.0 * 1024.0));
    }
    return 0;
}
