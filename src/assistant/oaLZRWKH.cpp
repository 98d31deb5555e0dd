#include "oaLZRWKH.h"

#include <QtEndian>

#include <cstdlib>
#include <cstring>

namespace vedomec {

namespace lzrw1kh {

qsizetype decompressBlock(const uchar* in, qsizetype length, uchar* out, qsizetype capacity)
{
    if (length <= 0)
        return 0;
    if (in[0] == FlagStored) {
        const qsizetype n = length - 1;
        if (n > capacity)
            return -1;
        std::memcpy(out, in + 1, size_t(n));
        return n;
    }
    // Without an item after the control word there is nothing to do.
    if (length <= 3)
        return 0;

    unsigned control = (unsigned(in[1]) << 8) | in[2];
    int bits = 16;
    qsizetype x = 3;
    qsizetype y = 0;
    while (x < length) {
        if (bits == 0) {
            if (length - x < 2)
                return -1;
            control = (unsigned(in[x]) << 8) | in[x + 1];
            x += 2;
            bits = 16;
            // A control word reserved for items that never came ends the
            // block; reading on would take bytes from beyond it.
            if (x >= length)
                break;
        }
        if (control & 0x8000) {
            if (length - x < 2)
                return -1;
            const qsizetype offset = (qsizetype(in[x]) << 4) | (in[x + 1] >> 4);
            if (offset == 0) {
                if (length - x < 4)
                    return -1;
                const qsizetype count = (qsizetype(in[x + 1]) << 8) + in[x + 2] + 16;
                if (count > capacity - y)
                    return -1;
                std::memset(out + y, in[x + 3], size_t(count));
                x += 4;
                y += count;
            } else {
                const qsizetype count = (in[x + 1] & 0x0F) + 3;
                if (offset > y || count > capacity - y)
                    return -1;
                uchar* dst = out + y;
                const uchar* src = dst - offset;
                if (offset >= count) {
                    std::memcpy(dst, src, size_t(count));
                } else {
                    // Overlapping: the bytes just written are read again.
                    for (qsizetype i = 0; i < count; ++i)
                        dst[i] = src[i];
                }
                x += 2;
                y += count;
            }
        } else {
            if (y >= capacity)
                return -1;
            out[y++] = in[x++];
        }
        control <<= 1;
        --bits;
    }
    return y;
}

std::optional<QByteArray> decompressStream(QByteArrayView stream, qsizetype maxOutput)
{
    const auto* s = reinterpret_cast<const uchar*>(stream.data());
    const qsizetype size = stream.size();
    QByteArray out;
    qsizetype pos = 0;
    while (pos < size) {
        if (size - pos < 2)
            return std::nullopt;
        const qsizetype length = qFromLittleEndian<quint16>(s + pos);
        pos += 2;
        if (length > BufferSize || length > size - pos)
            return std::nullopt;
        const qsizetype before = out.size();
        const qsizetype room = qMin(BufferSize, maxOutput - before);
        if (room < 0)
            return std::nullopt;
        out.resize(before + room);
        const qsizetype n = decompressBlock(s + pos, length, reinterpret_cast<uchar*>(out.data()) + before, room);
        if (n < 0)
            return std::nullopt;
        out.resize(before + n);
        pos += length;
        if (n != BlockSize)
            break;
    }
    return out;
}

} // namespace lzrw1kh

namespace {

constexpr int HashEntries = 4096;
constexpr quint16 NoPosition = 0xFFFF;
constexpr qsizetype MaxOffset = 4095;
constexpr qsizetype MinCopy = 3;
constexpr qsizetype MaxCopy = 18;
constexpr qsizetype MinRun = 16;
constexpr qsizetype MaxRun = 4111;

inline unsigned hash3(const uchar* p)
{
    const unsigned v = (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
    return ((v * 2654435761u) >> 20) & (HashEntries - 1);
}

} // namespace

TLzrw1KHCompressor::TLzrw1KHCompressor(Allocator allocate)
{
    void* table = allocate ? allocate(HashEntries * sizeof(quint16)) : std::malloc(HashEntries * sizeof(quint16));
    if (!table)
        throw ELzrw1KHCompressor(QStringLiteral("LZRW1KH : no memory for HASH table"));
    m_hash = static_cast<quint16*>(table);
    m_ownHash = !allocate;
}

TLzrw1KHCompressor::~TLzrw1KHCompressor()
{
    // A table from a test's allocator is the test's to release.
    if (m_ownHash)
        std::free(m_hash);
}

qsizetype TLzrw1KHCompressor::compressBlock(const uchar* in, qsizetype length, uchar* out)
{
    Q_ASSERT(length >= 0 && length <= lzrw1kh::BlockSize);
    auto stored = [&] {
        out[0] = lzrw1kh::FlagStored;
        if (length > 0) // an empty input may come without a buffer
            std::memcpy(out + 1, in, size_t(length));
        return length + 1;
    };
    if (length < 4)
        return stored();

    std::fill(m_hash, m_hash + HashEntries, NoPosition);
    out[0] = lzrw1kh::FlagCompressed;
    qsizetype controlAt = 1;
    qsizetype op = 3;
    unsigned control = 0;
    int items = 0;
    qsizetype i = 0;
    while (i < length) {
        // Stored is never longer than length + 1: give up as soon as the
        // compressed form cannot win.
        if (op >= length)
            return stored();
        if (items == 16) {
            qToBigEndian<quint16>(quint16(control), out + controlAt);
            controlAt = op;
            op += 2;
            control = 0;
            items = 0;
        }
        const uchar c = in[i];
        qsizetype run = 1;
        const qsizetype runLimit = qMin(MaxRun, length - i);
        while (run < runLimit && in[i + run] == c)
            ++run;
        unsigned bit = 0;
        if (run >= MinRun) {
            const qsizetype n = run - MinRun;
            out[op] = 0;
            out[op + 1] = uchar(n >> 8);
            out[op + 2] = uchar(n);
            out[op + 3] = c;
            op += 4;
            i += run;
            bit = 1;
        } else if (length - i >= MinCopy) {
            const unsigned h = hash3(in + i);
            const quint16 candidate = m_hash[h];
            m_hash[h] = quint16(i);
            const qsizetype offset = i - candidate;
            qsizetype n = 0;
            if (candidate != NoPosition && offset <= MaxOffset) {
                const qsizetype limit = qMin(MaxCopy, length - i);
                const uchar* a = in + candidate;
                const uchar* b = in + i;
                while (n < limit && a[n] == b[n])
                    ++n;
            }
            if (n >= MinCopy) {
                out[op] = uchar(offset >> 4);
                out[op + 1] = uchar(((offset & 0x0F) << 4) | (n - MinCopy));
                op += 2;
                i += n;
                bit = 1;
            } else {
                out[op++] = c;
                ++i;
            }
        } else {
            out[op++] = c;
            ++i;
        }
        control |= bit << (15 - items);
        ++items;
    }
    if (op >= length + 1)
        return stored();
    qToBigEndian<quint16>(quint16(control), out + controlAt);
    return op;
}

QByteArray TLzrw1KHCompressor::compressStream(QByteArrayView data)
{
    QByteArray stream;
    stream.reserve(data.size() / 2 + 64);
    uchar block[lzrw1kh::BufferSize];
    const auto* p = reinterpret_cast<const uchar*>(data.data());
    qsizetype pos = 0;
    for (;;) {
        const qsizetype n = qMin(lzrw1kh::BlockSize, data.size() - pos);
        const qsizetype length = compressBlock(p + pos, n, block);
        char prefix[2];
        qToLittleEndian<quint16>(quint16(length), prefix);
        stream.append(prefix, 2);
        stream.append(reinterpret_cast<const char*>(block), length);
        pos += n;
        if (n < lzrw1kh::BlockSize)
            break;
    }
    return stream;
}

} // namespace vedomec
