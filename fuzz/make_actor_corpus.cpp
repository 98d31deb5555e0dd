// Writes the seed corpus of fuzz_actor: fuzz_make_actor_corpus fuzz/actor-corpus
// A small animation with branches, exits and a sound, its decompressed data,
// compressed and stored blocks, and a WAV image.
#include "assistant/ActorAnimation.h"
#include "assistant/oaLZRWKH.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <cstdio>

using namespace vedomec;

namespace {

QByteArray tinyBmp()
{
    // 4 x 2 pixels, 24 bits, rows padded to 12 bytes.
    QByteArray b("BM");
    auto put = [&b](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    put(14 + 40 + 24, 4);
    put(0, 4);
    put(14 + 40, 4);
    put(40, 4);
    put(4, 4);
    put(2, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(24, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    for (int i = 0; i < 24; ++i)
        b.append(char(i * 10));
    return b;
}

QByteArray tinyWav()
{
    QByteArray b("RIFF");
    auto put = [&b](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    put(36 + 8, 4);
    b.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(8000, 4);
    put(8000, 4);
    put(1, 2);
    put(8, 2);
    b.append("data");
    put(8, 4);
    b.append("\x80\x90\xa0\x90\x80\x70\x60\x70", 8);
    return b;
}

bool write(const QDir& dir, const char* name, const QByteArray& bytes)
{
    QFile f(dir.filePath(QString::fromLatin1(name)));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_actor_corpus FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());

    AnimationData a;
    a.frameCount = 2;
    a.durations[0] = 10;
    a.durations[1] = 0;
    a.branches[0][0] = {50, 1};
    a.branches[0][1] = {50, 0};
    a.exits[0] = {0, 0};
    a.exits[1] = {1, 0};
    a.transparentColor = 0xFF00FF;
    a.sounds = {tinyWav(), QByteArray()};
    a.bitmap = tinyBmp();
    TLzrw1KHCompressor compressor;
    const QByteArray data = serializeAnimationData(a);
    const QByteArray resource = writeAnimationResource(a, compressor);

    uchar block[lzrw1kh::BufferSize];
    const QByteArray text = QByteArray("sova sova sova test test otazka ") + QByteArray(40, 'x') + "odpoved";
    const qsizetype n = compressor.compressBlock(reinterpret_cast<const uchar*>(text.constData()), text.size(), block);

    const bool ok = write(dir, "animation", resource) && write(dir, "animation-data", data)
        && write(dir, "block-compressed", QByteArray(reinterpret_cast<const char*>(block), n))
        && write(dir, "block-stored", QByteArray("\x80stored", 7)) && write(dir, "wav", tinyWav());
    return ok ? 0 : 1;
}
