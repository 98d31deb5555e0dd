// The animation engine on its thread: the frames it shows, in which order,
// how long it sleeps after each, its sounds, and stopping, with a manual
// clock and a sleep that only moves that clock.
#include "assistant/oaActor.h"
#include "assistant/oaEngine.h"
#include "assistant/oaLZRWKH.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace vedomec;

namespace {

constexpr int FrameW = 4;
constexpr int FrameH = 3;

// Frame i is filled with red = 10 * i; pixel (1, 1) of every frame is the
// transparent colour (magenta).
QByteArray animation(AnimationData a)
{
    QImage strip(FrameW * a.frameCount, FrameH, QImage::Format_RGB32);
    for (int i = 0; i < a.frameCount; ++i)
        for (int y = 0; y < FrameH; ++y)
            for (int x = 0; x < FrameW; ++x)
                strip.setPixel(i * FrameW + x, y, x == 1 && y == 1 ? qRgb(255, 0, 255) : qRgb(10 * i, 100, 200));
    QBuffer buffer(&a.bitmap);
    buffer.open(QIODevice::WriteOnly);
    strip.save(&buffer, "BMP");
    a.transparentColor = 0x00FF00FF;
    TLzrw1KHCompressor compressor;
    return writeAnimationResource(a, compressor);
}

AnimationData frames(std::initializer_list<int> durations)
{
    AnimationData a;
    a.frameCount = int(durations.size());
    int i = 0;
    for (int d : durations) {
        a.durations[size_t(i)] = quint8(d);
        a.exits[size_t(i)] = {0, 0};
        ++i;
    }
    return a;
}

struct Rig {
    explicit Rig(quint32 seed = 1) : random(seed) {}
    ManualClock clock;
    ManualSleeper sleeper {&clock};
    SeededRandom random;
    RecordingWavePlayer sound;
    TAssistantEngine engine {{&clock, &sleeper, &random, &sound}};
    QList<int> shown;
    int ends = 0;
    std::function<void(int)> onFrame;

    void listen()
    {
        QObject::connect(&engine, &TAssistantEngine::frameChanged, &engine, [this](const QImage& frame) {
            QCOMPARE(frame.size(), QSize(FrameW, FrameH));
            QCOMPARE(qAlpha(frame.pixel(1, 1)), 0);
            const int index = qRed(frame.pixel(0, 0)) / 10;
            QCOMPARE(index, engine.currentFrame());
            shown << index;
            if (onFrame)
                onFrame(index);
        });
        QObject::connect(&engine, &TAssistantEngine::animationEnded, &engine, [this] { ++ends; });
    }
    // Plays until the engine reports the end.
    bool playToEnd()
    {
        QSignalSpy ended(&engine, &TAssistantEngine::animationEnded);
        engine.play(true);
        return ended.wait(60000);
    }
};

} // namespace

class TestEngine : public QObject {
    Q_OBJECT
private slots:
    void createdParked()
    {
        Rig r;
        r.listen();
        QVERIFY(r.engine.isParked());
        QVERIFY(!r.engine.isPlaying());
        QCOMPARE(r.engine.frameCount(), 0);
        QCOMPARE(r.engine.speed(), 100);
        QTest::qWait(50);
        QVERIFY(r.shown.isEmpty());
        QCOMPARE(r.ends, 0);
    }

    void framesOfDurationZeroAreSkipped()
    {
        Rig r;
        r.listen();
        r.engine.loadAnimation(animation(frames({10, 0, 10, 0})));
        QVERIFY(r.playToEnd());
        QCOMPARE(r.shown, QList<int>({0, 2}));
        QCOMPARE(r.sleeper.sleeps(), QList<qint64>({100, 100}));
        // The last frame lasts 0: the animation ends on the frame shown last.
        QCOMPARE(r.engine.currentFrame(), 2);
        QCOMPARE(r.engine.lastShownFrame(), 2);
        QVERIFY(r.engine.atEnd());
        QVERIFY(!r.engine.isPlaying());
        QCOMPARE(r.ends, 1);
        QTRY_VERIFY(r.engine.isParked());
    }

    void branchesFiftyFifty()
    {
        Rig r(77);
        r.listen();
        AnimationData a = frames({10, 10, 10, 10, 10});
        a.branches[0][0] = {50, 2};
        a.branches[0][1] = {50, 3};
        a.branches[2][0] = {100, 4};
        const QByteArray resource = animation(a);
        int viaTwo = 0;
        int viaThree = 0;
        for (int i = 0; i < 40; ++i) {
            r.engine.loadAnimation(resource);
            r.shown.clear();
            QVERIFY(r.playToEnd());
            if (r.shown == QList<int>({0, 2, 4}))
                ++viaTwo;
            else if (r.shown == QList<int>({0, 3, 4}))
                ++viaThree;
            else
                QFAIL(qPrintable(QStringLiteral("unexpected frames %1").arg(QVariant::fromValue(r.shown).toStringList().join(u','))));
        }
        QVERIFY(viaTwo >= 8 && viaThree >= 8);
    }

    void exitBranches()
    {
        // 0 -> 1 -> 0 ... for ever, until it leaves through frame 1's exit.
        AnimationData a = frames({10, 10, 10, 10});
        a.branches[1][0] = {100, 0};
        a.exits[1] = {1, 3};
        for (int exitAfter : {5, 6}) {
            Rig r;
            r.listen();
            r.engine.loadAnimation(animation(a));
            QVERIFY(r.engine.loopsForever());
            QVERIFY(r.engine.hasExitBranches());
            r.onFrame = [&](int) {
                if (r.shown.size() == exitAfter)
                    r.engine.setExiting(true);
            };
            QVERIFY(r.playToEnd());
            // Set on frame 0 (no exit flag), it goes on to frame 1 first.
            QCOMPARE(r.shown, QList<int>({0, 1, 0, 1, 0, 1, 3}));
        }
    }

    void speedDividesTheSleepLessTheHandOver()
    {
        for (int handOver : {0, 3, 9, 12}) {
            Rig r;
            r.listen();
            r.engine.setSpeed(200);
            r.engine.setSpeed(0); // refused
            QCOMPARE(r.engine.speed(), 200);
            r.onFrame = [&](int) { r.clock.advance(handOver * 10); };
            r.engine.loadAnimation(animation(frames({10, 10, 10})));
            QVERIFY(r.playToEnd());
            QCOMPARE(r.engine.drawTime(), handOver);
            const QList<qint64> expected = handOver < 10 ? QList<qint64>(3, (10 - handOver) * 5) : QList<qint64>();
            QCOMPARE(r.sleeper.sleeps(), expected);
        }
    }

    void frameSounds()
    {
        AnimationData a = frames({10, 10});
        const QByteArray wav("RIFF\x24\0\0\0WAVEfmt ", 16);
        a.sounds = {QByteArray(), wav};
        for (bool mute : {false, true}) {
            Rig r;
            r.listen();
            r.engine.setMute(mute);
            r.engine.loadAnimation(animation(a));
            // Showing a frame while not playing plays no sound.
            r.engine.setFrame(1);
            r.engine.setFrame(0);
            QCOMPARE(r.shown, QList<int>({1, 0}));
            QVERIFY(r.sound.played.isEmpty());
            QVERIFY(r.playToEnd());
            QCOMPARE(r.sound.played, mute ? QList<QByteArray>() : QList<QByteArray>({wav}));
        }
    }

    void setFrame()
    {
        Rig r;
        r.listen();
        r.engine.setFrame(3); // nothing loaded: nothing happens
        QVERIFY(r.shown.isEmpty());
        r.engine.loadAnimation(animation(frames({10, 10, 10})));
        r.engine.setFrame(9);
        QCOMPARE(r.shown, QList<int>({2}));
        r.engine.setFrame(2);
        QCOMPARE(r.shown, QList<int>({2}));
        QCOMPARE(r.engine.frameBitmap().size(), QSize(FrameW, FrameH));
    }

    void stoppingWaitsForTheThreadToPark()
    {
        Rig r;
        r.listen();
        AnimationData a = frames({10});
        a.branches[0][0] = {100, 0};
        r.engine.loadAnimation(animation(a));
        r.engine.play(true);
        QTRY_VERIFY(r.shown.size() >= 5);
        r.engine.play(false);
        // The end notification came during the wait.
        QCOMPARE(r.ends, 1);
        QVERIFY(!r.engine.isPlaying());
        QVERIFY(r.engine.isParked());
        QCOMPARE(r.sound.stops, 1);
        const int frames = int(r.shown.size());
        QTest::qWait(50);
        QCOMPARE(int(r.shown.size()), frames);
        // And it plays again when asked.
        r.engine.play(true);
        QTRY_VERIFY(r.shown.size() >= frames + 3);
        r.engine.play(false);
        QCOMPARE(r.ends, 2);
    }

    void stoppedAndReloadedFromAFrameHandler()
    {
        // A handler that stops the engine cannot wait for the thread, which
        // waits for the handler; the next animation still starts at frame 0.
        Rig r;
        r.listen();
        AnimationData loop = frames({10, 10});
        loop.branches[1][0] = {100, 0};
        r.engine.loadAnimation(animation(loop));
        const QByteArray next = animation(frames({10, 10, 10}));
        r.onFrame = [&](int) {
            if (r.shown.size() == 3) {
                r.engine.play(false);
                r.engine.loadAnimation(next);
            }
        };
        r.engine.play(true);
        QTRY_VERIFY(r.shown.size() == 3 && r.engine.isParked());
        QCOMPARE(r.shown, QList<int>({0, 1, 0}));
        QCOMPARE(r.engine.currentFrame(), 0);
        r.onFrame = nullptr;
        r.shown.clear();
        QVERIFY(r.playToEnd());
        QCOMPARE(r.shown, QList<int>({0, 1, 2}));
    }

    void stoppingCutsALongSleepShort()
    {
        // A real sleep this time: 255 hundredths at speed 1 is 255 seconds.
        ManualClock clock;
        RecordingWavePlayer sound;
        TAssistantEngine engine({&clock, nullptr, nullptr, &sound});
        int shown = 0;
        connect(&engine, &TAssistantEngine::frameChanged, &engine, [&] { ++shown; });
        engine.loadAnimation(animation(frames({255, 255})));
        engine.setSpeed(1);
        engine.play(true);
        QTRY_COMPARE(shown, 1);
        QElapsedTimer wait;
        wait.start();
        engine.play(false);
        QVERIFY2(wait.elapsed() < 30000, "play(false) slept out the frame");
        QVERIFY(engine.isParked());
        QCOMPARE(shown, 1);
        // The frame after the one shown is next, as if the sleep had ended.
        QCOMPARE(engine.currentFrame(), 1);
    }

    void destroyedWhilePlaying()
    {
        Rig r;
        r.listen();
        auto* engine = new TAssistantEngine({&r.clock, &r.sleeper, &r.random, &r.sound});
        int shown = 0;
        connect(engine, &TAssistantEngine::frameChanged, engine, [&] { ++shown; });
        AnimationData a = frames({10, 10});
        a.branches[1][0] = {100, 0};
        engine->loadAnimation(animation(a));
        engine->play(true);
        QTRY_VERIFY(shown >= 4);
        delete engine;
        QCoreApplication::processEvents(); // a hand-over still queued finds nobody
    }

    void damagedAnimations()
    {
        Rig r;
        r.engine.loadAnimation(animation(frames({10, 10})));
        auto error = [&](const QByteArray& resource) {
            try {
                r.engine.loadAnimation(resource);
            } catch (const EInvalidAnimationData& e) {
                return e.message();
            }
            return QStringLiteral("loaded");
        };
        QCOMPARE(error(QByteArray("ZVA0") + animation(frames({10})).mid(4)), QStringLiteral("Invalid animation data"));
        QCOMPARE(r.engine.frameCount(), 0); // reset before reading
        QVERIFY(r.engine.filmstrip().isNull());
        // A bitmap Qt cannot read.
        AnimationData junk = frames({10});
        junk.bitmap = QByteArray("BM") + QByteArray(60, '\xEE');
        TLzrw1KHCompressor compressor;
        QCOMPARE(error(writeAnimationResource(junk, compressor)), QStringLiteral("Invalid animation data"));
        // A filmstrip narrower than its frame count.
        AnimationData many = frames({10, 10, 10, 10, 10});
        QImage strip(3, 2, QImage::Format_RGB32);
        strip.fill(Qt::red);
        QBuffer buffer(&many.bitmap);
        buffer.open(QIODevice::WriteOnly);
        strip.save(&buffer, "BMP");
        QCOMPARE(error(writeAnimationResource(many, compressor)), QStringLiteral("Invalid animation data"));
        QCOMPARE(error(animation(frames({10}))), QStringLiteral("loaded"));
        // No such resource in the library.
        TAssistantActor actor;
        actor.setLibrary(QStringLiteral(VEDOMEC_SAMPLE_ACTOR));
        try {
            r.engine.loadAnimation(actor.module(), 9999);
            QFAIL("loaded");
        } catch (const EInvalidAnimationData&) {
        }
    }

    void sampleAnimations()
    {
        TAssistantActor actor;
        actor.setLibrary(QStringLiteral(VEDOMEC_SAMPLE_ACTOR));
        Rig r;
        for (int n = 1; n <= actor.animationCount(); ++n) {
            r.engine.loadAnimation(actor.module(), actor.animation(n)->resourceId);
            QCOMPARE(r.engine.frameSize(), QSize(120, 128));
            QCOMPARE(r.engine.transparentColor(), QColor(255, 0, 255));
            // The corner of every frame is background: transparent.
            QCOMPARE(qAlpha(r.engine.filmstrip().pixel(0, 0)), 0);
        }
        // Blink: 5 frames, nothing but forward steps.
        int shown = 0;
        connect(&r.engine, &TAssistantEngine::frameChanged, &r.engine, [&] { ++shown; });
        QSignalSpy ended(&r.engine, &TAssistantEngine::animationEnded);
        r.engine.loadAnimation(actor.module(), actor.animation(actor.findByName(QStringLiteral("Blink")))->resourceId);
        r.engine.play(true);
        QVERIFY(ended.wait(60000));
        QCOMPARE(shown, 5);
        QCOMPARE(r.sleeper.sleeps(), QList<qint64>({600, 40, 40, 40, 400}));
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
