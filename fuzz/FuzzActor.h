#pragma once
// One fuzz case for the actor library's data: the input is taken at once as
// an animation resource, as decompressed animation data, as one LZRW1-KH
// block, as a block stream, as a WAV image and as the file of an actor
// library.  None of these may read or write outside its buffers (the
// sanitizers watch), whatever is compressed must come back unchanged, and
// a library file passes its check only when every segment the loader maps
// lies within it.
#include "assistant/ActorAnimation.h"
#include "assistant/oaLZRWKH.h"
#include "platform/DynamicLibraryCheck.h"
#include "platform/WaveSound.h"

#include <elf.h>
#include <link.h>
#include <cstring>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace vedomec::fuzz {

inline void runActorCase(const uint8_t* data, size_t size)
{
    const QByteArrayView view(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        (void)readAnimationResource(view);
    } catch (const EInvalidAnimationData&) {
    }
    try {
        (void)parseAnimationData(view);
    } catch (const EInvalidAnimationData&) {
    }
    if (size <= size_t(lzrw1kh::BufferSize)) {
        // Exactly the room a block may fill: one byte more is an overrun.
        const auto out = std::make_unique<uchar[]>(size_t(lzrw1kh::BlockSize));
        const qsizetype n = lzrw1kh::decompressBlock(data, qsizetype(size), out.get(), lzrw1kh::BlockSize);
        if (n > lzrw1kh::BlockSize)
            std::abort();
    }
    (void)lzrw1kh::decompressStream(view, qsizetype(1) << 22);
    (void)parseWav(view);

    if (sharedObjectFault(view).isEmpty()) {
        ElfW(Ehdr) header;
        if (size < sizeof header)
            std::abort();
        std::memcpy(&header, data, sizeof header);
        for (size_t i = 0; i < header.e_phnum; ++i) {
            ElfW(Phdr) segment;
            const size_t at = size_t(header.e_phoff) + i * sizeof segment;
            if (at + sizeof segment > size)
                std::abort();
            std::memcpy(&segment, data + at, sizeof segment);
            if ((segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC)
                && (segment.p_offset > size || segment.p_filesz > size - segment.p_offset))
                std::abort();
        }
    }

    static TLzrw1KHCompressor compressor;
    const QByteArray stream = compressor.compressStream(view);
    const std::optional<QByteArray> back = lzrw1kh::decompressStream(stream, qsizetype(size));
    if (!back || *back != view)
        std::abort();
}

} // namespace vedomec::fuzz
