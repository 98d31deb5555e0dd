#include "ActorAnimation.h"

#include "oaLZRWKH.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace vedomec {

void AnimationTables::clear()
{
    frameCount = 0;
    durations.fill(10);
    for (auto& frame : branches)
        frame.fill(FrameBranch {});
    exits.fill(FrameExit {});
}

namespace {

// Reads little-endian fields and refuses to go past the end.
class Reader {
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}
    qsizetype left() const { return m_data.size() - m_pos; }
    const char* take(qsizetype n)
    {
        if (n < 0 || n > left())
            throw EInvalidAnimationData();
        const char* p = m_data.data() + m_pos;
        m_pos += n;
        return p;
    }
    quint32 u32() { return qFromLittleEndian<quint32>(take(4)); }
    quint8 u8() { return quint8(*take(1)); }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

void put32(QByteArray& b, quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}

} // namespace

AnimationData parseAnimationData(QByteArrayView data)
{
    Reader r(data);
    AnimationData a;
    const quint32 count = r.u32();
    if (count < 1 || count > quint32(MaxFrames))
        throw EInvalidAnimationData();
    const int f = int(count);
    a.frameCount = f;
    std::memcpy(a.durations.data(), r.take(f), size_t(f));
    for (int i = 0; i < f; ++i)
        for (FrameBranch& b : a.branches[i]) {
            b.probability = r.u8();
            b.target = r.u8();
        }
    for (int i = 0; i < f; ++i) {
        a.exits[i].flag = r.u8();
        a.exits[i].target = r.u8();
    }
    a.transparentColor = r.u32();
    a.sounds.resize(size_t(f));
    for (int i = 0; i < f; ++i) {
        const quint32 length = r.u32();
        if (qint64(length) > r.left())
            throw EInvalidAnimationData();
        const char* p = r.take(qsizetype(length));
        a.sounds[size_t(i)] = QByteArray(p, qsizetype(length));
    }
    // A branch or exit into a frame the filmstrip does not have would show
    // a frame that does not exist.  Only targets that can be followed
    // count: a branch after the branches before it took all 100 % is never
    // tried, and at the last frame an exit ends the animation instead.
    for (int i = 0; i < f; ++i) {
        int taken = 0;
        for (const FrameBranch& b : a.branches[i]) {
            if (b.probability == 0 || taken >= 100)
                break;
            if (b.target >= f)
                throw EInvalidAnimationData();
            taken += b.probability;
        }
        if (a.exits[i].flag != 0 && i < f - 1 && a.exits[i].target >= f)
            throw EInvalidAnimationData();
    }
    const qsizetype bitmapSize = r.left();
    const char* bmp = r.take(bitmapSize);
    if (!filmstripFits(QByteArrayView(bmp, bitmapSize), f))
        throw EInvalidAnimationData();
    a.bitmap = QByteArray(bmp, bitmapSize);
    return a;
}

bool filmstripFits(QByteArrayView bmp, int frames)
{
    const auto* b = reinterpret_cast<const uchar*>(bmp.data());
    const qsizetype size = bmp.size();
    if (size < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    const quint32 pixelsAt = qFromLittleEndian<quint32>(b + 10);
    const quint32 header = qFromLittleEndian<quint32>(b + 14);
    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    quint32 compression = 0;
    if (header == 12) {
        width = qFromLittleEndian<quint16>(b + 18);
        height = qFromLittleEndian<quint16>(b + 20);
        bits = qFromLittleEndian<quint16>(b + 24);
    } else {
        if (header < 40 || size < 14 + 40)
            return false;
        width = qFromLittleEndian<qint32>(b + 18);
        height = qFromLittleEndian<qint32>(b + 22);
        bits = qFromLittleEndian<quint16>(b + 28);
        compression = qFromLittleEndian<quint32>(b + 30);
    }
    if (height < 0) // stored top row first
        height = -height;
    // A frame at least one pixel wide, and no more pixels than the engine
    // can hold as a picture of its own.
    if (width < frames || height < 1 || width * height > (qint64(1) << 24))
        return false;
    if (qint64(pixelsAt) < 14 + qint64(header) || qint64(pixelsAt) > size)
        return false;
    const bool rle = (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
    const bool plain = compression == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool masks = compression == 3 && (bits == 16 || bits == 32);
    if (!rle && !plain && !masks)
        return false;
    if (rle)
        return true; // runs of any length; what a damaged run leaves out stays blank
    const qint64 row = (width * bits + 31) / 32 * 4;
    return row * height <= size - qint64(pixelsAt);
}

AnimationData readAnimationResource(QByteArrayView resource)
{
    if (resource.size() < 8 || std::memcmp(resource.data(), "ZVA1", 4) != 0)
        throw EInvalidAnimationData();
    const std::optional<QByteArray> data = lzrw1kh::decompressStream(resource.sliced(8), MaxAnimationDataSize);
    if (!data)
        throw EInvalidAnimationData();
    return parseAnimationData(*data);
}

QByteArray serializeAnimationData(const AnimationData& a)
{
    const int f = a.frameCount;
    Q_ASSERT(f >= 1 && f <= MaxFrames);
    QByteArray b;
    put32(b, quint32(f));
    b.append(reinterpret_cast<const char*>(a.durations.data()), f);
    for (int i = 0; i < f; ++i)
        for (const FrameBranch& br : a.branches[i]) {
            b.append(char(br.probability));
            b.append(char(br.target));
        }
    for (int i = 0; i < f; ++i) {
        b.append(char(a.exits[i].flag));
        b.append(char(a.exits[i].target));
    }
    put32(b, a.transparentColor);
    for (int i = 0; i < f; ++i) {
        const QByteArray sound = size_t(i) < a.sounds.size() ? a.sounds[size_t(i)] : QByteArray();
        put32(b, quint32(sound.size()));
        b.append(sound);
    }
    b.append(a.bitmap);
    return b;
}

QByteArray writeAnimationResource(const AnimationData& animation, TLzrw1KHCompressor& compressor)
{
    const QByteArray data = serializeAnimationData(animation);
    QByteArray resource("ZVA1");
    // Not read by the program; the decompressed size helps a reader that
    // wants to allocate once.
    put32(resource, quint32(data.size()));
    resource.append(compressor.compressStream(data));
    return resource;
}

FrameStep nextFrame(const AnimationTables& t, int frame, bool exiting, IRandom& random)
{
    const bool last = frame >= t.frameCount - 1;
    if (exiting && t.exits[frame].flag != 0) {
        if (!last)
            return {t.exits[frame].target, false};
        return {frame, true};
    }
    int remaining = 100;
    for (const FrameBranch& b : t.branches[frame]) {
        if (b.probability == 0)
            break;
        if (random.bounded(remaining) < b.probability)
            return {b.target, false};
        remaining -= b.probability;
    }
    if (!last)
        return {frame + 1, false};
    return {frame, true};
}

bool loopsForever(const AnimationTables& t)
{
    for (int f = 0; f < t.frameCount; ++f)
        for (const FrameBranch& b : t.branches[f]) {
            if (b.probability == 0)
                break;
            if (b.probability == 100 && b.target <= f)
                return true;
        }
    return false;
}

bool hasExitBranches(const AnimationTables& t)
{
    for (int f = 0; f < t.frameCount; ++f)
        if (t.exits[f].flag != 0)
            return true;
    return false;
}

qint64 frameSleepMs(int duration, int drawTime, int speed)
{
    if (drawTime >= duration || speed <= 0)
        return 0;
    return qint64(std::nearbyint(double(duration - drawTime) * 1000.0 / speed));
}

} // namespace vedomec
