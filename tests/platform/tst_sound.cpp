// The player over the sound device: a cue whose file cannot be played gives
// the system's default sound instead of silence.
#include "platform/Sound.h"
#include "platform/WaveSound.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace vedomec;

namespace {

// A short mono 16-bit PCM WAV of silence.
QByteArray wav()
{
    const quint32 samples = 800, rate = 8000;
    QByteArray b;
    auto u32 = [&](quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); };
    auto u16 = [&](quint16 v) { char c[2]; qToLittleEndian(v, c); b.append(c, 2); };
    b += "RIFF";
    u32(36 + samples * 2);
    b += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    b += "data";
    u32(samples * 2);
    b += QByteArray(int(samples * 2), '\0');
    return b;
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestSound : public QObject {
    Q_OBJECT

private slots:
    void unplayableFileFallsBackToTheDefaultSound()
    {
        QTemporaryDir dir;
        const QString broken = dir.filePath(QStringLiteral("Chyba.wav"));
        const QString good = dir.filePath(QStringLiteral("Info.wav"));
        QVERIFY(write(broken, "this is no sound at all"));
        QVERIFY(write(good, wav()));

        int defaults = 0;
        std::unique_ptr<ISoundPlayer> player = makeQtSoundPlayer([&] { ++defaults; });
        player->playFile(broken);
        QTRY_COMPARE_WITH_TIMEOUT(defaults, 1, 10000);
        // Each cue that cannot be played sounds again.
        player->playFile(broken);
        QTRY_COMPARE_WITH_TIMEOUT(defaults, 2, 10000);

        // A playable file gives no default sound.
        player->playFile(good);
        player->playFile(good);
        QTest::qWait(500);
        QCOMPARE(defaults, 2);

        // A missing file is one that cannot be played.
        player->playFile(dir.filePath(QStringLiteral("Dotaz.wav")));
        QCOMPARE(defaults, 3);
    }

    // Editors put extra chunks before the sound (LIST with the title and
    // the author); a chunk of odd length is followed by a pad byte that its
    // length does not count, one of even length by none.  Both play, with
    // the samples found where they are.
    void extraChunksOfOddAndEvenLengthPlay()
    {
        const QByteArray plain = wav();
        QTemporaryDir dir;
        int defaults = 0;
        std::unique_ptr<ISoundPlayer> player = makeQtSoundPlayer([&] { ++defaults; });
        for (const QByteArray& info : {QByteArray("Sova!"), QByteArray("Sova"), QByteArray("S")}) {
            const bool odd = info.size() % 2;
            QByteArray list = "LIST";
            char length[4];
            qToLittleEndian(quint32(info.size()), length);
            list += QByteArray(length, 4) + info + (odd ? QByteArray(1, '\0') : QByteArray());
            // Before the format and between the format and the samples.
            for (const qsizetype at : {qsizetype(12), qsizetype(36)}) {
                QByteArray image = plain;
                image.insert(at, list);
                qToLittleEndian(quint32(image.size() - 8), image.data() + 4);
                const std::optional<WavInfo> parsed = parseWav(image);
                QVERIFY2(parsed, info.constData());
                QCOMPARE(parsed->dataOffset, 44 + list.size());
                QCOMPARE(parsed->dataSize, qsizetype(1600));
                QCOMPARE(parsed->sampleRate, 8000);

                const QString file = dir.filePath(QStringLiteral("Info%1-%2.wav").arg(info.size()).arg(at));
                QVERIFY(write(file, image));
                player->playFile(file);
            }
        }
        QCOMPARE(defaults, 0);
    }
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
