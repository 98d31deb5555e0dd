// Prints the actor library's figures on this machine: LZRW1-KH
// decompression and compression speed on the sample character's
// animations, how punctually the engine starts its frames over a
// 10-second animation at speed 100 (drawn on a real stage), and the
// processor time of the parked engine thread.
#include "assistant/ActorAnimation.h"
#include "assistant/oaActor.h"
#include "assistant/oaEngine.h"
#include "assistant/oaLZRWKH.h"
#include "assistant/oaStage.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace vedomec;

namespace {

double cpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// False when an animation cannot be read.
bool codecFigures(const TAssistantActor& actor)
{
    std::vector<QByteArrayView> resources;
    std::vector<QByteArray> plain;
    qsizetype packed = 0;
    qsizetype unpacked = 0;
    for (int n = 1; n <= actor.animationCount(); ++n) {
        const QByteArrayView r = actor.module().resource(actor.animation(n)->resourceId);
        const std::optional<QByteArray> data =
            r.size() > 8 ? lzrw1kh::decompressStream(r.sliced(8), MaxAnimationDataSize) : std::nullopt;
        if (!data) {
            std::fprintf(stderr, "bench_actor: cannot measure: animation %d (%s) cannot be read\n", n,
                         qPrintable(actor.animation(n)->name));
            return false;
        }
        resources.push_back(r.sliced(8));
        plain.push_back(*data);
        packed += r.size() - 8;
        unpacked += plain.back().size();
    }
    std::printf("sample character: %d animations, %.1f KiB compressed, %.1f KiB of animation data (%.0f %%)\n",
                actor.animationCount(), packed / 1024.0, unpacked / 1024.0, 100.0 * double(packed) / double(unpacked));

    QElapsedTimer t;
    qint64 bytes = 0;
    double cpu0 = cpuSeconds();
    t.start();
    while (t.elapsed() < 2000)
        for (const QByteArrayView& r : resources)
            bytes += lzrw1kh::decompressStream(r, MaxAnimationDataSize)->size();
    double wall = double(t.nsecsElapsed()) / 1e9;
    std::printf("decompression: %.0f MB/s of output (%.0f MB/s by processor time)\n", double(bytes) / 1e6 / wall,
                double(bytes) / 1e6 / (cpuSeconds() - cpu0));

    TLzrw1KHCompressor compressor;
    bytes = 0;
    cpu0 = cpuSeconds();
    t.restart();
    while (t.elapsed() < 2000)
        for (const QByteArray& p : plain) {
            const QByteArray s = compressor.compressStream(p);
            bytes += p.size();
        }
    wall = double(t.nsecsElapsed()) / 1e9;
    std::printf("compression:   %.0f MB/s of input (%.0f MB/s by processor time)\n", double(bytes) / 1e6 / wall,
                double(bytes) / 1e6 / (cpuSeconds() - cpu0));
    return true;
}

// 100 frames of 10 hundredths: 10 seconds at speed 100.
QByteArray tenSecondAnimation()
{
    AnimationData a;
    a.frameCount = 100;
    QImage strip(120 * a.frameCount, 128, QImage::Format_Indexed8);
    strip.setColorTable({qRgb(255, 0, 255), qRgb(138, 90, 46), qRgb(240, 221, 180)});
    strip.fill(0);
    for (int i = 0; i < a.frameCount; ++i) {
        a.durations[size_t(i)] = 10;
        a.exits[size_t(i)] = {0, 0};
        for (int y = 20; y < 120; ++y)
            for (int x = 30 + i % 20; x < 90; ++x)
                strip.setPixel(i * 120 + x, y, y < 60 ? 1 : 2);
    }
    QBuffer buffer(&a.bitmap);
    buffer.open(QIODevice::WriteOnly);
    strip.save(&buffer, "BMP");
    a.transparentColor = 0x00FF00FF;
    TLzrw1KHCompressor compressor;
    return writeAnimationResource(a, compressor);
}

// False when the engine showed too few frames to time.
bool engineFigures(QApplication& app)
{
    TAssistantStage stage;
    stage.setActorFrameSize(QSize(120, 128));
    stage.show();
    TAssistantEngine engine;
    engine.loadAnimation(tenSecondAnimation());

    QElapsedTimer clock;
    std::vector<qint64> starts;
    qint64 drawing = 0;
    QObject::connect(&engine, &TAssistantEngine::frameChanged, &stage, [&](const QImage& frame) {
        starts.push_back(clock.nsecsElapsed());
        stage.setFramePicture(frame);
        drawing += clock.nsecsElapsed() - starts.back();
    });
    bool ended = false;
    QObject::connect(&engine, &TAssistantEngine::animationEnded, &app, [&] { ended = true; });
    clock.start();
    const qint64 threadCpu0 = engine.threadCpuTimeNs();
    engine.play(true);
    while (!ended)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 playingCpu = engine.threadCpuTimeNs() - threadCpu0;
    if (starts.size() < 2)
        return false;

    std::vector<double> late;
    for (size_t k = 1; k < starts.size(); ++k)
        late.push_back(double(starts[k] - starts[k - 1] - 100'000'000) / 1e6);
    std::vector<double> sorted = late;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double l : late)
        sum += l;
    const double drift = double(starts.back() - starts.front() - qint64(starts.size() - 1) * 100'000'000) / 1e6;
    std::printf("engine, speed 100, %zu frames of 100 ms: each frame starts on average %.2f ms after its due time "
                "(median %.2f, max %.2f ms); %.1f ms behind after 10 s\n",
                starts.size(), sum / double(late.size()), sorted[sorted.size() / 2], sorted.back(), drift);
    std::printf("stage drawing per frame: %.2f ms on average; engine thread while playing: %.1f ms of processor time\n",
                double(drawing) / 1e6 / double(starts.size()), double(playingCpu) / 1e6);

    // Parked: the thread waits on a condition and wakes for nothing.
    QTimer::singleShot(200, &app, [] {});
    const qint64 parked0 = engine.threadCpuTimeNs();
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 3000)
        app.processEvents(QEventLoop::AllEvents, 100);
    std::printf("parked engine thread: %lld ns of processor time in %.1f s (parked: %s)\n",
                (long long)(engine.threadCpuTimeNs() - parked0), double(idle.elapsed()) / 1000.0,
                engine.isParked() ? "yes" : "no");
    return true;
}

} // namespace

// The offscreen platform keeps the stage's outline without applying it and
// says so on every frame.
void quiet(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (!msg.startsWith(QLatin1String("This plugin does not support")))
        qt_message_output(type, ctx, msg);
}

int main(int argc, char** argv)
{
    qInstallMessageHandler(quiet);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString library = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VEDOMEC_SAMPLE_ACTOR);
    TAssistantActor actor;
    try {
        actor.setLibrary(library);
    } catch (const EActorError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    if (actor.animationCount() == 0) {
        std::fprintf(stderr, "bench_actor: cannot measure: %s has no animations\n", qPrintable(library));
        return 1;
    }
    if (!codecFigures(actor))
        return 1;
    if (!engineFigures(app)) {
        std::fprintf(stderr, "bench_actor: cannot measure: the engine showed fewer than two frames\n");
        return 1;
    }
    return 0;
}
