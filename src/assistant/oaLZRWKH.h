#pragma once
// LZRW1-KH: the compression of the animations in actor libraries.
//
// A block holds at most 32768 bytes of data.  Its first byte tells how:
// 0x80 means the rest of the block is the data as it is ("stored"); any
// other value means items follow, grouped under 16-bit control words (big
// endian, most significant bit first, one bit per item):
//   bit 0: one literal byte;
//   bit 1, 2 bytes  [oooooooo][oooocccc]: copy count+3 bytes from `offset`
//                   (1..4095) bytes back in the output (may overlap);
//   bit 1, 4 bytes  [00000000][0000cccc][cccccccc][b]: write byte b
//                   count+16 times (16..4111).
// A stream is a series of blocks, each preceded by its 16-bit little-endian
// length; a block that decompresses to fewer than 32768 bytes is the last.
#include "platform/Errors.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <optional>

namespace vedomec {

namespace lzrw1kh {

constexpr qsizetype BlockSize = 32768;  // data bytes per full block
constexpr qsizetype BufferSize = 32784; // largest block in either form
constexpr quint8 FlagStored = 0x80;
constexpr quint8 FlagCompressed = 0x40;

// Decompresses one block of `length` bytes into `out` (room for `capacity`
// bytes).  Returns the number of bytes written, or -1 when the block is
// damaged: an item reaching past the block's end, a copy from before the
// start of the output, or more output than `capacity`.  Never reads or
// writes outside the two buffers.
qsizetype decompressBlock(const uchar* in, qsizetype length, uchar* out, qsizetype capacity);

// Decompresses a stream of blocks.  nullopt when a block is damaged, a
// length reaches past the stream's end or above BufferSize, or the output
// would exceed `maxOutput`.  The stream may end after a full block without
// the closing short one.
std::optional<QByteArray> decompressStream(QByteArrayView stream, qsizetype maxOutput);

} // namespace lzrw1kh

class ELzrw1KHCompressor : public EVedomecError {
public:
    using EVedomecError::EVedomecError;
};

// The compressor, with its 8192-byte hash table of recent positions.
class TLzrw1KHCompressor {
public:
    using Allocator = void* (*)(std::size_t);
    // Throws ELzrw1KHCompressor "LZRW1KH : no memory for HASH table" when
    // the table cannot be allocated (`allocate` replaces malloc in tests).
    explicit TLzrw1KHCompressor(Allocator allocate = nullptr);
    ~TLzrw1KHCompressor();
    TLzrw1KHCompressor(const TLzrw1KHCompressor&) = delete;
    TLzrw1KHCompressor& operator=(const TLzrw1KHCompressor&) = delete;

    // Compresses `length` (at most BlockSize) bytes into `out`, which has
    // room for BufferSize bytes; returns the block's length.  A block that
    // would not get smaller is stored (length + 1 bytes).
    qsizetype compressBlock(const uchar* in, qsizetype length, uchar* out);

    // The whole stream: full blocks, then the closing short block (empty
    // when the data fill their blocks exactly).
    QByteArray compressStream(QByteArrayView data);

private:
    quint16* m_hash;
    bool m_ownHash;
};

} // namespace vedomec
