// Start-up time to the main window's first frame, against a bare Qt window
// started the same way in the same run; what the program does after that
// frame (its messages, the character, the sound device); the same with the
// installed character Sova chosen (her library read, placed beside the
// window, her show animation asked for); and the idle CPU of the running
// program.
//
//   bench_startup [runs]
//
// Each measurement starts a fresh process (this program in a child mode) and
// times it from the spawn until the child reports its window shown.
#include "platform/AppPath.h"
#include "config/Characters.h"
#include "app/Hlavni.h"
#include "app/Startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

// Says "shown" once the first frame of a window of type W is painted: what
// a user waits for at start, measured alike for both programs.
template <class W>
struct FirstFrame : QObject {
    bool said = false;
    bool quit = false; // the bare window ends there
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (!said && e->type() == QEvent::Paint && qobject_cast<W*>(o) && static_cast<QWidget*>(o)->isWindow()) {
            said = true;
            // After the paint, when the frame has gone to the screen.
            QTimer::singleShot(0, this, [this] {
                // With the processor time spent so far: on a busy machine the
                // wall clock mostly measures the other programs.
                timespec cpu {};
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
                std::printf("shown %.3f\n", double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6);
                std::fflush(stdout);
                if (quit)
                    QCoreApplication::exit(0);
            });
        }
        return false;
    }
};

int childBare(int argc, char** argv)
{
    QApplication app(argc, argv);
    FirstFrame<QWidget> frame;
    frame.quit = true;
    app.installEventFilter(&frame);
    QWidget w;
    w.resize(434, 528);
    w.show();
    return app.exec();
}

int childProgram(int argc, char** argv, const QString& appFolder, bool stay, bool sova)
{
    QApplication app(argc, argv);
    vedomec::TAppPath::setOverride(appFolder);
    vedomec::TStartSettings start;
    if (sova)
        start.settings.apply(vedomec::TCommandLine::parse({QStringLiteral("--character"), QStringLiteral("Sova")}));
    FirstFrame<vedomec::THlavniDialog> frame;
    app.installEventFilter(&frame);
    return vedomec::RunVedomec(
        app,
        [stay, sova](vedomec::THlavniDialog* w) {
            if (sova && w->CharacterLibrary().isEmpty()) {
                std::fprintf(stderr, "Sova is not in %s\n", qPrintable(vedomec::installedCharacterFolder()));
                QCoreApplication::exit(3);
            }
            // Everything started after the first frame is done.
            std::puts("ready");
            std::fflush(stdout);
            if (!stay)
                w->close();
        },
        start);
}

// Why a child could not be measured: how it ended and the last thing it
// said.
QString failure(QProcess& p, const char* what)
{
    QString how;
    if (p.error() == QProcess::FailedToStart)
        how = QStringLiteral("it did not start");
    else if (p.state() != QProcess::NotRunning)
        how = QStringLiteral("it showed no window within 10 s");
    else if (p.exitStatus() == QProcess::CrashExit)
        how = QStringLiteral("it crashed");
    else
        how = QStringLiteral("it ended with exit code %1 before showing a window").arg(p.exitCode());
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    const QByteArray said = p.readAllStandardError().trimmed();
    const QByteArray last = said.mid(said.lastIndexOf('\n') + 1);
    return QStringLiteral("%1: %2").arg(QLatin1String(what), how)
        + (last.isEmpty() ? QString() : QStringLiteral(" (\"%1\")").arg(QString::fromLocal8Bit(last)));
}

// Milliseconds from the spawn until the child reports its first frame
// ("shown") and until it has done what waits for that frame ("ready", not
// said by the bare window), or why there is no such figure.
struct Timing {
    double shown = 0;
    double ready = 0;
    double shownCpu = 0; // processor time of the child to its first frame
    QString failure;
};

Timing spawnAndTime(const QStringList& args, const char* what, bool ready)
{
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(args);
    QElapsedTimer t;
    t.start();
    p.start();
    if (!p.waitForStarted(10000))
        return {0, 0, 0, failure(p, what)};
    Timing timing;
    for (const QByteArray expected : {QByteArray("shown"), QByteArray("ready")}) {
        if (expected == "ready" && !ready)
            break;
        while (!p.canReadLine())
            if (!p.waitForReadyRead(10000))
                return {0, 0, 0, failure(p, what)};
        const double ms = t.nsecsElapsed() / 1e6;
        const QList<QByteArray> said = p.readLine().trimmed().split(' ');
        if (said.value(0) != expected)
            return {0, 0, 0, failure(p, what)};
        (expected == "shown" ? timing.shown : timing.ready) = ms;
        if (expected == "shown")
            timing.shownCpu = said.value(1).toDouble();
    }
    p.waitForFinished(10000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    return timing;
}

// A benchmark that cannot measure says why and prints no figure.
int cannotMeasure(const QString& why)
{
    std::fprintf(stderr, "bench_startup: cannot measure: %s\n", qPrintable(why));
    return 1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

qint64 cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> parts = s.mid(s.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15; after the command they are 12 and 13.
    return parts.value(11).toLongLong() + parts.value(12).toLongLong();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--bare") == 0)
        return childBare(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "--program") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), false, false);
    if (argc >= 3 && qstrcmp(argv[1], "--program-sova") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), false, true);
    if (argc >= 3 && qstrcmp(argv[1], "--idle") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), true, false);

    QCoreApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(3, atoi(argv[1])) : 15;
    const QString appFolder = qEnvironmentVariable("VEDOMEC_APP_DIR", QCoreApplication::applicationDirPath() + "/../bin");

    // Interleaved, so that a busy moment of the machine hits all three alike.
    std::vector<double> bare, program, programReady, sova, sovaReady, bareCpu, programCpu;
    for (int i = 0; i < runs; ++i) {
        const Timing b = spawnAndTime({QStringLiteral("--bare")}, "the bare Qt window", false);
        if (!b.failure.isEmpty())
            return cannotMeasure(b.failure);
        const Timing p = spawnAndTime({QStringLiteral("--program"), appFolder}, "Vedomec", true);
        if (!p.failure.isEmpty())
            return cannotMeasure(p.failure);
        const Timing s = spawnAndTime({QStringLiteral("--program-sova"), appFolder}, "Vedomec with Sova", true);
        if (!s.failure.isEmpty())
            return cannotMeasure(s.failure);
        bare.push_back(b.shown);
        bareCpu.push_back(b.shownCpu);
        programCpu.push_back(p.shownCpu);
        program.push_back(p.shown);
        programReady.push_back(p.ready);
        sova.push_back(s.shown);
        sovaReady.push_back(s.ready);
    }
    const double b = median(bare), p = median(program), s = median(sova);
    std::printf("platform: %s\n", qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", "default")));
    std::printf("start-up to the first frame (median of %d): bare Qt window %.1f ms, Vedomec %.1f ms, ratio %.2f "
                "(goal <= 1.4 under X)\n",
                runs, b, p, p / b);
    std::printf("processor time to the first frame (median of %d): bare Qt window %.1f ms, Vedomec %.1f ms, ratio %.2f\n",
                runs, median(bareCpu), median(programCpu), median(programCpu) / median(bareCpu));
    std::printf("what waits for the first frame (median of %d): done %.1f ms after it without a character\n", runs,
                median(programReady) - p);
    std::printf("with Sova chosen (median of %d): first frame %.1f ms (%+.1f ms), she is on the desktop %.1f ms after "
                "it (goal <= +20 ms to the first frame)\n",
                runs, s, s - p, median(sovaReady) - s);

    // Idle CPU of the program with its main window up and no test open.
    QProcess idle;
    idle.setProgram(QCoreApplication::applicationFilePath());
    idle.setArguments({QStringLiteral("--idle"), appFolder});
    idle.start();
    if (!idle.waitForStarted(10000))
        return cannotMeasure(failure(idle, "the idle Vedomec"));
    while (!idle.canReadLine())
        if (!idle.waitForReadyRead(10000))
            return cannotMeasure(failure(idle, "the idle Vedomec"));
    QThread::sleep(1);
    const long hz = sysconf(_SC_CLK_TCK);
    const qint64 before = cpuTicks(idle.processId());
    QElapsedTimer t;
    t.start();
    QThread::sleep(10);
    const qint64 after = cpuTicks(idle.processId());
    const double seconds = t.nsecsElapsed() / 1e9;
    if (before < 0 || after < 0 || idle.state() != QProcess::Running)
        return cannotMeasure(failure(idle, "the idle Vedomec") + QStringLiteral(", no processor time to read"));
    std::printf("idle CPU over %.1f s: %.3f %% of one core (goal <= 0.2 %%)\n", seconds,
                100.0 * double(after - before) / double(hz) / seconds);
    idle.kill();
    idle.waitForFinished();
    return 0;
}
