// The help conversation's figures on this machine:
//   - F1 in the main window until the guide balloon is on screen (shown and
//     painted; its zoom-in then takes 60 ms by design), goal 30 ms;
//   - a click on "&Vyhledat" until the answer is on screen, goal 5 ms;
//   - the processor time of the idle program (the assistant built, no
//     balloon open), goal under 0.05 % of one core, and the same with the
//     guide open (its request box blinks its cursor);
//   - the same with the character Sova chosen: shown beside the window,
//     idling through her idle levels (goal under 0.5 % of one core), and
//     closed again (goal under 0.05 %).
//
//   bench_help [runs] [idle-seconds]
#include "Figures.h"
#include "AppFixture.h"

#include "app/Startup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

using bench::Figures;
using bench::summarise;

// Runs the event loop until the condition holds (at most `ms`).
template <class F>
bool until(F cond, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

enum class Mode { Plain, Guide, Sova, SovaHidden };

int childProgram(int argc, char** argv, const QString& appFolder, Mode mode)
{
    QApplication app(argc, argv);
    TAppPath::setOverride(appFolder);
    TStartSettings start;
    if (mode == Mode::Sova || mode == Mode::SovaHidden)
        start.settings.apply(TCommandLine::parse({QStringLiteral("--character"), QStringLiteral("Sova")}));
    return RunVedomec(
        app,
        [mode](THlavniDialog* w) {
            if (mode == Mode::Guide)
                w->ToolbarButton978Click();
            if ((mode == Mode::Sova || mode == Mode::SovaHidden) && !w->Assistant->stage()->isVisible()) {
                std::fprintf(stderr, "Sova did not come\n");
                QCoreApplication::exit(3);
                return;
            }
            if (mode == Mode::SovaHidden)
                w->Assistant->HideAssistant(true);
            std::puts("shown");
            std::fflush(stdout);
        },
        start);
}

// Processor time of all threads of a process, in nanoseconds, and how
// often they ran, as the scheduler counts them (finer than the clock ticks
// of /proc/PID/stat).
struct Usage {
    qint64 ns = 0;
    qint64 runs = 0;
};

Usage usage(qint64 pid)
{
    Usage u;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = f.readAll().trimmed().split(' ');
        u.ns += fields.value(0).toLongLong();
        u.runs += fields.value(2).toLongLong();
    }
    return u;
}

struct Idle {
    double percent = 0;
    double wakeupsPerSecond = 0;
    QString failure; // why there are no figures
};

Idle idle(const QString& mode, const QString& appFolder, int seconds)
{
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments({mode, appFolder});
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start();
    auto gone = [&](const char* why) {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished();
        }
        return Idle {0, 0, QStringLiteral("the program (%1) %2").arg(mode, QLatin1String(why))};
    };
    if (!p.waitForStarted(10000))
        return gone("did not start");
    while (!p.canReadLine())
        if (!p.waitForReadyRead(10000))
            return gone("showed no window within 10 s");
    QThread::sleep(2); // the zoom-in and the first paints are over
    const Usage before = usage(p.processId());
    QElapsedTimer t;
    t.start();
    QThread::sleep(seconds);
    const Usage after = usage(p.processId());
    const double elapsed = double(t.nsecsElapsed());
    if (p.state() != QProcess::Running || before.runs == 0 || after.runs == 0)
        return gone("ended before its processor time could be read");
    p.kill();
    p.waitForFinished();
    return {100.0 * double(after.ns - before.ns) / elapsed, double(after.runs - before.runs) / (elapsed / 1e9), {}};
}

// A benchmark that cannot measure says why and prints no figure.
int cannotMeasure(const QString& why)
{
    std::fprintf(stderr, "bench_help: cannot measure: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--idle") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), Mode::Plain);
    if (argc >= 3 && qstrcmp(argv[1], "--idle-guide") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), Mode::Guide);
    if (argc >= 3 && qstrcmp(argv[1], "--idle-sova") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), Mode::Sova);
    if (argc >= 3 && qstrcmp(argv[1], "--idle-sova-hidden") == 0)
        return childProgram(argc, argv, QString::fromLocal8Bit(argv[2]), Mode::SovaHidden);

    // The offscreen platform warns on every mask and raise; figures count.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtWarningMsg && type != QtInfoMsg && type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 100;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 60;
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));

    std::vector<double> f1, f1Full, search;
    {
        AppFixture f;
        f.showMain();
        THlavniDialog* w = f.main;
        TAssistant* a = w->Assistant;
        TAssistantBalloon* b = a->balloonWindow();
        for (int i = 0; i < runs; ++i) {
            a->CloseBalloon();
            w->activateWindow();
            if (!until([&] { return QApplication::activeWindow() == w; }))
                return cannotMeasure(QStringLiteral("the main window does not become active"));
            QElapsedTimer t;
            t.start();
            QTest::keyClick(w, Qt::Key_F1);
            if (!until([&] { return b->isVisible() && b->zoomStage() >= 1; }))
                return cannotMeasure(QStringLiteral("F1 shows no guide within 5 s"));
            QApplication::processEvents(); // painted
            f1.push_back(double(t.nsecsElapsed()) / 1e6);
            if (!until([&] { return b->zoomStage() == 3; }))
                return cannotMeasure(QStringLiteral("the guide's zoom-in does not end within 5 s"));
            f1Full.push_back(double(t.nsecsElapsed()) / 1e6);
        }

        // Searches for changing keywords, each answered in full.
        const QStringList requests {QStringLiteral("zkratky"), QStringLiteral("otevřít"), QStringLiteral("xyz"),
                                    QStringLiteral("import testu"), QStringLiteral("výsledky")};
        auto* box = b->findChild<QPlainTextEdit*>(QStringLiteral("GuideRequest"));
        auto* button = b->findChild<QAbstractButton*>(QStringLiteral("GuideSearch"));
        auto* text = b->findChild<QLabel*>(QStringLiteral("BalloonText"));
        for (int i = 0; i < runs; ++i) {
            box->setPlainText(requests[i % requests.size()]);
            if (!until([&] { return b->zoomStage() == 3; }))
                return cannotMeasure(QStringLiteral("the guide does not come back after a search"));
            QElapsedTimer t;
            t.start();
            QTest::mouseClick(button, Qt::LeftButton);
            if (!until([&] { return b->isVisible() && text->text() == a->GuideDlg()->Description(); }))
                return cannotMeasure(QStringLiteral("a search shows no answer within 5 s"));
            QApplication::processEvents(); // painted
            search.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }
    const Figures a = summarise(f1), full = summarise(f1Full), s = summarise(search);
    std::printf("F1 to the guide on screen (%d runs): median %.2f ms, mean %.2f ms, max %.2f ms (goal 30 ms)\n", runs,
                a.median, a.mean, a.max);
    std::printf("  ... to the end of its zoom-in (60 ms by design): median %.1f ms\n", full.median);
    std::printf("search click to the answer on screen (%d runs): median %.2f ms, mean %.2f ms, max %.2f ms (goal 5 ms)\n",
                runs, s.median, s.mean, s.max);

    const QString appFolder =
        qEnvironmentVariable("VEDOMEC_APP_DIR", QCoreApplication::applicationDirPath() + "/../bin");
    const Idle plain = idle(QStringLiteral("--idle"), appFolder, idleSeconds);
    if (!plain.failure.isEmpty())
        return cannotMeasure(plain.failure);
    std::printf("idle CPU over %d s, the assistant built, no balloon open: %.4f %% of one core, %.1f wakeups/s "
                "(goal < 0.05 %%)\n",
                idleSeconds, plain.percent, plain.wakeupsPerSecond);
    const Idle guide = idle(QStringLiteral("--idle-guide"), appFolder, idleSeconds);
    if (!guide.failure.isEmpty())
        return cannotMeasure(guide.failure);
    std::printf("idle CPU over %d s with the guide open: %.4f %% of one core, %.1f wakeups/s\n", idleSeconds,
                guide.percent, guide.wakeupsPerSecond);
    const Idle sova = idle(QStringLiteral("--idle-sova"), appFolder, idleSeconds);
    if (!sova.failure.isEmpty())
        return cannotMeasure(sova.failure);
    std::printf("idle CPU over %d s with Sova shown and idling: %.4f %% of one core, %.1f wakeups/s (goal < 0.5 %%)\n",
                idleSeconds, sova.percent, sova.wakeupsPerSecond);
    const Idle hidden = idle(QStringLiteral("--idle-sova-hidden"), appFolder, idleSeconds);
    if (!hidden.failure.isEmpty())
        return cannotMeasure(hidden.failure);
    std::printf("idle CPU over %d s with Sova chosen and closed: %.4f %% of one core, %.1f wakeups/s (goal < 0.05 %%)\n",
                idleSeconds, hidden.percent, hidden.wakeupsPerSecond);
    return 0;
}
