#pragma once
// An animation of an actor library: its resource format and the rule that
// picks the next frame.  Free of widgets and bitmaps: the filmstrip stays a
// BMP file image here and is decoded by the engine.
//
// Resource: "ZVA1", 4 bytes not read, then an LZRW1-KH stream (oaLZRWKH.h)
// that decompresses to
//   frame count F (32-bit, 1..256), F durations (hundredths of a second at
//   speed 100, 0 = never shown), F x 4 branch pairs (probability %, target),
//   F exit pairs (flag, target), the transparent colour (0x00BBGGRR),
//   F sounds (32-bit length, then a WAV image), the filmstrip BMP file image.
// All integers little-endian; frame numbers count from 0.
#include "platform/Clock.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <vector>

namespace vedomec {

class TLzrw1KHCompressor;

// Anything wrong with an animation resource.
class EInvalidAnimationData : public EVedomecError {
public:
    EInvalidAnimationData() : EVedomecError(QStringLiteral("Invalid animation data")) {}
};

constexpr int MaxFrames = 256;
constexpr int BranchesPerFrame = 4;

struct FrameBranch {
    quint8 probability = 0; // percent; 0 ends the frame's list
    quint8 target = 0;
};

struct FrameExit {
    quint8 flag = 255;      // non-zero: the frame has an exit branch
    quint8 target = 255;
};

// The timing and branching of an animation, as the engine keeps them.
struct AnimationTables {
    int frameCount = 0;
    std::array<quint8, MaxFrames> durations;
    std::array<std::array<FrameBranch, BranchesPerFrame>, MaxFrames> branches;
    std::array<FrameExit, MaxFrames> exits;

    AnimationTables() { clear(); }
    // Durations 10, no branches, exits 255, no frames.
    void clear();
};

struct AnimationData : AnimationTables {
    quint32 transparentColor = 0;
    std::vector<QByteArray> sounds; // one per frame, empty for none
    QByteArray bitmap;              // the filmstrip's BMP file image
};

// Upper bound of the decompressed data of one animation; a resource that
// claims more is refused before it can exhaust memory.
constexpr qsizetype MaxAnimationDataSize = qsizetype(256) << 20;

// Reads a whole resource.  Throws EInvalidAnimationData for a wrong
// signature, a damaged stream, a frame count outside 1..256, tables or
// sounds that end early, a branch or exit that leads outside the frames,
// or a filmstrip that is missing or does not fit (filmstripFits).
AnimationData readAnimationResource(QByteArrayView resource);
// The same for decompressed data.
AnimationData parseAnimationData(QByteArrayView data);

// Whether a BMP file image can be the filmstrip of `frames` frames: its
// headers hold, it is at least a pixel wide per frame, and its pixels lie
// within it.
bool filmstripFits(QByteArrayView bmp, int frames);

// The inverse, for the library builder.
QByteArray serializeAnimationData(const AnimationData& animation);
QByteArray writeAnimationResource(const AnimationData& animation, TLzrw1KHCompressor& compressor);

// The frame after `frame`: with `exiting`, a frame with an exit flag leads
// to its exit target; otherwise the branches are tried in order, each with
// its share of the probability left; without a branch taken, the next frame.
// `atEnd` is set when the animation ends on `frame` (it is the last one).
struct FrameStep {
    int frame = 0;
    bool atEnd = false;
};
FrameStep nextFrame(const AnimationTables& tables, int frame, bool exiting, IRandom& random);

// Some frame branches with 100 % to itself or to an earlier frame.
bool loopsForever(const AnimationTables& tables);
// Some frame has an exit flag.
bool hasExitBranches(const AnimationTables& tables);

// How long the engine sleeps after showing a frame of `duration` hundredths
// whose hand-over took `drawTime` hundredths, at `speed` percent; 0 when the
// hand-over took the whole duration.
qint64 frameSleepMs(int duration, int drawTime, int speed);

} // namespace vedomec
