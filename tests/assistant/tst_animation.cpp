// The animation resource: what a reader accepts, every way it refuses
// damaged data, and the rule that steps from frame to frame.
#include "../../fuzz/FuzzActor.h"
#include "assistant/ActorAnimation.h"
#include "assistant/oaLZRWKH.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QtEndian>

using namespace vedomec;

namespace {

// 4 x 2 pixels, 24 bits, rows padded to 12 bytes.
QByteArray tinyBmp()
{
    QByteArray b("BM");
    auto put = [&b](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    for (const auto& [v, n] : {std::pair {14u + 40 + 24, 4}, {0u, 4}, {14u + 40, 4}, {40u, 4}, {4u, 4}, {2u, 4},
                               {1u, 2}, {24u, 2}, {0u, 4}, {24u, 4}, {0u, 4}, {0u, 4}, {0u, 4}, {0u, 4}})
        put(v, n);
    for (int i = 0; i < 24; ++i)
        b.append(char(i * 10));
    return b;
}

// Three frames: 0 branches 50/50 to 1 or 2, 1 has an exit to 2, 2 plays a sound.
AnimationData sample()
{
    AnimationData a;
    a.frameCount = 3;
    a.durations[0] = 10;
    a.durations[1] = 0;
    a.durations[2] = 25;
    a.branches[0][0] = {50, 1};
    a.branches[0][1] = {50, 2};
    for (int i = 0; i < 3; ++i)
        a.exits[size_t(i)] = {0, 0};
    a.exits[1] = {1, 2};
    a.transparentColor = 0x00FF00FF;
    a.sounds = {QByteArray(), QByteArray(), QByteArray("RIFF....WAVE", 12)};
    a.bitmap = tinyBmp();
    return a;
}

QByteArray resourceOf(const QByteArray& data)
{
    TLzrw1KHCompressor compressor;
    QByteArray r("ZVA1\0\0\0\0", 8);
    r.append(compressor.compressStream(data));
    return r;
}

QString readError(const QByteArray& resource)
{
    try {
        readAnimationResource(resource);
    } catch (const EInvalidAnimationData& e) {
        return e.message();
    }
    return QStringLiteral("accepted");
}

AnimationTables tables(int frames)
{
    AnimationTables t;
    t.frameCount = frames;
    for (int i = 0; i < frames; ++i)
        t.exits[size_t(i)] = {0, 0};
    return t;
}

} // namespace

class TestAnimation : public QObject {
    Q_OBJECT
private slots:
    void resourceRoundTrip()
    {
        const AnimationData a = sample();
        TLzrw1KHCompressor compressor;
        const QByteArray resource = writeAnimationResource(a, compressor);
        QVERIFY(resource.startsWith("ZVA1"));
        const AnimationData b = readAnimationResource(resource);
        QCOMPARE(b.frameCount, 3);
        QCOMPARE(b.durations[2], quint8(25));
        QCOMPARE(b.branches[0][1].target, quint8(2));
        QCOMPARE(b.branches[0][2].probability, quint8(0));
        QCOMPARE(b.exits[1].flag, quint8(1));
        QCOMPARE(b.transparentColor, 0x00FF00FFu);
        QCOMPARE(int(b.sounds.size()), 3);
        QVERIFY(b.sounds[0].isEmpty());
        QCOMPARE(b.sounds[2], a.sounds[2]);
        QCOMPARE(b.bitmap, a.bitmap);
        // Frames past the count keep the reset values.
        QCOMPARE(b.durations[3], quint8(10));
        QCOMPARE(b.exits[3].flag, quint8(255));
    }

    // Everything wrong is one and the same error, and nothing is read
    // beyond the data (the sanitizer build watches).
    void damagedResources_data()
    {
        QTest::addColumn<QByteArray>("resource");
        const QByteArray data = serializeAnimationData(sample());
        const QByteArray good = resourceOf(data);
        auto withCount = [&](quint32 count) {
            QByteArray d = data;
            qToLittleEndian(count, d.data());
            return resourceOf(d);
        };
        QTest::newRow("wrong signature") << QByteArray("ZVA2") + good.mid(4);
        QTest::newRow("signature only") << QByteArray("ZVA1");
        QTest::newRow("stream cut short") << good.left(good.size() - 2);
        QTest::newRow("no frames") << withCount(0);
        QTest::newRow("257 frames") << withCount(257);
        QTest::newRow("huge frame count") << withCount(0xFFFFFFFFu);
        // 3 frames: count 4, durations 3, branches 24, exits 6, colour 4,
        // sounds 4 + 4 + 4 + 12, then the bitmap at 65.
        const std::pair<const char*, int> cuts[] = {{"count", 2}, {"durations", 5}, {"branches", 20}, {"exits", 35},
                                                    {"colour", 39}, {"sound length", 43}, {"sound bytes", 60},
                                                    {"bitmap missing", 65}, {"bitmap header", 68}};
        for (const auto& [what, at] : cuts)
            QTest::addRow("ends in the %s", what) << resourceOf(data.left(at));
        QByteArray longSound = data;
        qToLittleEndian<quint32>(0x7FFFFFF0, longSound.data() + 49);
        QTest::newRow("sound longer than the data") << resourceOf(longSound);
        QByteArray noBM = data;
        noBM[65] = 'X';
        QTest::newRow("filmstrip is no bitmap") << resourceOf(noBM);
        // What the engine would find only when it is played.
        QTest::newRow("filmstrip's pixels cut short") << resourceOf(data.left(data.size() - 1));
        QByteArray narrow = data;
        narrow[65 + 18] = 2; // 2 pixels wide for 3 frames
        QTest::newRow("filmstrip narrower than its frames") << resourceOf(narrow);
        QByteArray deep = data;
        deep[65 + 28] = 7; // 7 bits a pixel
        QTest::newRow("filmstrip of no known depth") << resourceOf(deep);
        QByteArray farBranch = data;
        farBranch[4 + 3 + 1] = 3; // frame 0, first pair: target 3 of 3 frames
        QTest::newRow("branch leads past the frames") << resourceOf(farBranch);
        QByteArray farExit = data;
        farExit[4 + 3 + 24 + 3] = 7; // frame 1's exit target
        QTest::newRow("exit leads past the frames") << resourceOf(farExit);
        // 60 % and 30 % leave 10 % for the third pair, which can be taken.
        QByteArray farThird = data;
        farThird[4 + 3 + 0] = 60;
        farThird[4 + 3 + 2] = 30;
        farThird[4 + 3 + 4] = 5;
        farThird[4 + 3 + 5] = 3;
        QTest::newRow("a branch that can be taken leads past the frames") << resourceOf(farThird);
    }
    void damagedResources()
    {
        QFETCH(QByteArray, resource);
        QCOMPARE(readError(resource), QStringLiteral("Invalid animation data"));
    }

    void harmlessOddities()
    {
        QByteArray data = serializeAnimationData(sample());
        // A branch list ended by probability 0 may hold anything after it,
        // and a frame without an exit flag any target.
        data[4 + 3 + 4] = 0;
        data[4 + 3 + 5] = 200;
        data[4 + 3 + 24 + 4] = 0;
        data[4 + 3 + 24 + 5] = 99;
        QCOMPARE(readError(resourceOf(data)), QStringLiteral("accepted"));
        // The 4 bytes after the signature are not read.
        QByteArray r = resourceOf(data);
        r[5] = '\x7F';
        QCOMPARE(readError(r), QStringLiteral("accepted"));
    }

    // Only a target that can be followed must be a frame.
    void targetsThatAreNeverFollowed()
    {
        QByteArray data = serializeAnimationData(sample());
        // At the last frame the animation ends: its exit is never taken.
        data[4 + 3 + 24 + 4] = 1;
        data[4 + 3 + 24 + 5] = char(200);
        // 50 % and 50 % take every step: a third pair is never tried.
        data[4 + 3 + 4] = 30;
        data[4 + 3 + 5] = char(250);
        const AnimationData a = readAnimationResource(resourceOf(data));
        QCOMPARE(a.exits[2].flag, quint8(1));
        QCOMPARE(a.exits[2].target, quint8(200));
        SeededRandom random(3);
        for (int i = 0; i < 1000; ++i) {
            const FrameStep last = nextFrame(a, 2, true, random);
            QVERIFY(last.atEnd);
            QCOMPARE(last.frame, 2);
            const int next = nextFrame(a, 0, false, random).frame;
            QVERIFY2(next == 1 || next == 2, qPrintable(QString::number(next)));
        }
    }

    void branchesFiftyFifty()
    {
        AnimationTables t = tables(4);
        t.branches[0][0] = {50, 2};
        t.branches[0][1] = {50, 3};
        SeededRandom random(2001);
        int counts[4] = {};
        for (int i = 0; i < 10000; ++i) {
            const FrameStep s = nextFrame(t, 0, false, random);
            QVERIFY(!s.atEnd);
            ++counts[s.frame];
        }
        QCOMPARE(counts[1], 0);
        QVERIFY2(counts[2] > 4700 && counts[2] < 5300, qPrintable(QString::number(counts[2])));
        QCOMPARE(counts[2] + counts[3], 10000);
    }

    void branchesShareWhatIsLeft()
    {
        AnimationTables t = tables(5);
        // 20 % to 3; of the rest, 50 points of the 80 left go to 4.
        t.branches[1][0] = {20, 3};
        t.branches[1][1] = {50, 4};
        SeededRandom random(7);
        int counts[5] = {};
        for (int i = 0; i < 10000; ++i)
            ++counts[nextFrame(t, 1, false, random).frame];
        QVERIFY2(counts[3] > 1800 && counts[3] < 2200, qPrintable(QString::number(counts[3])));
        QVERIFY2(counts[4] > 4700 && counts[4] < 5300, qPrintable(QString::number(counts[4])));
        QVERIFY2(counts[2] > 2800 && counts[2] < 3200, qPrintable(QString::number(counts[2])));
        // A pair with probability 0 ends the list.
        t.branches[2][0] = {0, 0};
        t.branches[2][1] = {100, 0};
        QCOMPARE(nextFrame(t, 2, false, random).frame, 3);
    }

    void exitsAndEnd()
    {
        AnimationTables t = tables(4);
        t.branches[1][0] = {100, 0}; // 0 -> 1 -> 0 ... for ever
        t.exits[1] = {1, 3};
        t.exits[3] = {1, 0};
        SeededRandom random(1);
        QCOMPARE(nextFrame(t, 1, false, random).frame, 0);
        // Exiting: a frame without an exit flag follows its branches ...
        QCOMPARE(nextFrame(t, 0, true, random).frame, 1);
        // ... one with a flag leaves through it ...
        QCOMPARE(nextFrame(t, 1, true, random).frame, 3);
        // ... except the last frame, which ends the animation.
        const FrameStep last = nextFrame(t, 3, true, random);
        QVERIFY(last.atEnd);
        QCOMPARE(last.frame, 3);
        const FrameStep plain = nextFrame(t, 3, false, random);
        QVERIFY(plain.atEnd);
        QCOMPARE(plain.frame, 3);
        QCOMPARE(nextFrame(t, 2, false, random).frame, 3);
    }

    void loopsAndExits()
    {
        AnimationTables t = tables(3);
        QVERIFY(!loopsForever(t));
        QVERIFY(!hasExitBranches(t));
        t.branches[2][0] = {100, 2};
        QVERIFY(loopsForever(t)); // to itself
        t.branches[2][0] = {99, 0};
        QVERIFY(!loopsForever(t)); // not certain
        t.branches[1][0] = {100, 2};
        QVERIFY(!loopsForever(t)); // forward
        t.branches[1][0] = {100, 0};
        QVERIFY(loopsForever(t)); // back
        t.exits[2] = {5, 0};
        QVERIFY(hasExitBranches(t));
        // Frames past the count do not count.
        AnimationTables fresh;
        fresh.frameCount = 1;
        fresh.exits[0] = {0, 0};
        QVERIFY(!hasExitBranches(fresh));
    }

    void sleepAfterAFrame_data()
    {
        QTest::addColumn<int>("duration");
        QTest::addColumn<int>("drawTime");
        QTest::addColumn<int>("speed");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("speed 100") << 10 << 0 << 100 << qint64(100);
        QTest::newRow("speed 200, hand-over 3") << 10 << 3 << 200 << qint64(35);
        QTest::newRow("speed 200, hand-over 9") << 10 << 9 << 200 << qint64(5);
        QTest::newRow("hand-over took it all") << 10 << 10 << 200 << qint64(0);
        QTest::newRow("hand-over took longer") << 10 << 14 << 100 << qint64(0);
        QTest::newRow("speed 50") << 25 << 5 << 50 << qint64(400);
        QTest::newRow("rounded down") << 1 << 0 << 300 << qint64(3);
        QTest::newRow("half to even, down") << 1 << 0 << 400 << qint64(2);
        QTest::newRow("half to even, up") << 3 << 0 << 400 << qint64(8);
        QTest::newRow("slowest") << 255 << 0 << 1 << qint64(255000);
    }
    void sleepAfterAFrame()
    {
        QFETCH(int, duration);
        QFETCH(int, drawTime);
        QFETCH(int, speed);
        QFETCH(qint64, ms);
        QCOMPARE(frameSleepMs(duration, drawTime, speed), ms);
    }

    // The seeds of the fuzzer and every input it once tripped over.
    void fuzzCasesRunClean_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* sub : {"actor-corpus", "actor-regressions"}) {
            const QDir dir(QStringLiteral(VEDOMEC_FUZZ_DIR "/") + QLatin1String(sub));
            for (const QString& name : dir.entryList(QDir::Files))
                QTest::addRow("%s/%s", sub, qPrintable(name)) << dir.filePath(name);
        }
    }
    void fuzzCasesRunClean()
    {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        fuzz::runActorCase(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
};

QTEST_GUILESS_MAIN(TestAnimation)
#include "tst_animation.moc"
