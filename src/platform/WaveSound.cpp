#include "WaveSound.h"

#include <QtEndian>

#include <cstring>

namespace vedomec {

namespace {

quint32 le32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

quint16 le16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

} // namespace

std::optional<WavInfo> parseWav(QByteArrayView image)
{
    const char* b = image.data();
    const qsizetype size = image.size();
    if (size < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
        return std::nullopt;

    WavInfo info;
    bool haveFormat = false;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char* chunk = b + pos;
        const quint32 length = le32(chunk + 4);
        const qsizetype body = pos + 8;
        const qsizetype available = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || qsizetype(length) > available)
                return std::nullopt;
            info.formatTag = le16(chunk + 8);
            info.channels = le16(chunk + 10);
            info.sampleRate = int(qMin<quint32>(le32(chunk + 12), 0x7FFFFFFF));
            info.bitsPerSample = le16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return std::nullopt;
            // Writers often leave the length of a cut file too large: play
            // what is there.
            info.dataOffset = body;
            info.dataSize = qMin<qsizetype>(qsizetype(length), available);
            break;
        }
        if (qsizetype(length) > available)
            return std::nullopt;
        pos = body + qsizetype(length) + (length & 1);
    }
    if (!haveFormat || info.dataOffset == 0)
        return std::nullopt;

    const bool pcm = info.formatTag == 1 && (info.bitsPerSample == 8 || info.bitsPerSample == 16 || info.bitsPerSample == 32);
    const bool floating = info.formatTag == 3 && info.bitsPerSample == 32;
    if (!(pcm || floating) || info.channels < 1 || info.channels > 8 || info.sampleRate < 1000
        || info.sampleRate > 384000)
        return std::nullopt;
    const qsizetype frame = qsizetype(info.channels) * info.bitsPerSample / 8;
    info.dataSize -= info.dataSize % frame;
    return info;
}

} // namespace vedomec
