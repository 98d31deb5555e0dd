// libFuzzer entry for the WAV reader: the program's sound cues and the
// sounds of a character's frames are files the user may have made or
// replaced.  Whatever the input, the reader stays inside it, and what it
// accepts is something the player can hand to the sound device as it is:
// a known sample format and whole sample frames inside the image.
#include "platform/WaveSound.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView image(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<vedomec::WavInfo> info = vedomec::parseWav(image);
    if (!info)
        return 0;
    const bool pcm = info->formatTag == 1
        && (info->bitsPerSample == 8 || info->bitsPerSample == 16 || info->bitsPerSample == 32);
    const bool floating = info->formatTag == 3 && info->bitsPerSample == 32;
    if (!pcm && !floating)
        std::abort();
    if (info->channels < 1 || info->channels > 8 || info->sampleRate < 1000 || info->sampleRate > 384000)
        std::abort();
    // The samples lie after the RIFF header and a chunk header, within the image.
    if (info->dataOffset < 20 || info->dataSize < 0 || info->dataOffset > image.size()
        || info->dataSize > image.size() - info->dataOffset)
        std::abort();
    const qsizetype frame = qsizetype(info->channels) * info->bitsPerSample / 8;
    if (info->dataSize % frame != 0)
        std::abort();
    // The chunk header before the samples names them.
    if (image.sliced(info->dataOffset - 8, 4) != QByteArrayView("data"))
        std::abort();
    return 0;
}
