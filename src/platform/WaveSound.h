#pragma once
// Playing a WAV file image held in memory (the sounds of animation frames),
// behind an interface that tests replace.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <memory>
#include <optional>

namespace vedomec {

// What the player needs of a WAV image: the PCM format and where the
// samples are.  Every chunk is checked against the image's size.
struct WavInfo {
    int formatTag = 0;     // 1 = integer PCM, 3 = IEEE float
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    qsizetype dataOffset = 0;
    qsizetype dataSize = 0; // whole sample frames only
};

// nullopt for anything that is not a playable RIFF/WAVE PCM image.
std::optional<WavInfo> parseWav(QByteArrayView image);

class IWavePlayer {
public:
    virtual ~IWavePlayer() = default;
    // Starts playing the image and returns at once; a sound playing before
    // stops.  An image that cannot be played plays nothing (no default beep).
    virtual void playWave(const QByteArray& image) = 0;
    virtual void stopWave() = 0;
    // Connects to the sound device now rather than at the first sound.
    virtual void prepare() {}
};

// For tests: remembers what would have been played.
class RecordingWavePlayer final : public IWavePlayer {
public:
    void playWave(const QByteArray& image) override { played << image; }
    void stopWave() override { ++stops; }
    QList<QByteArray> played;
    int stops = 0;
};

// The player over the sound device (Qt Multimedia).
IWavePlayer* qtWavePlayer();
// Another one of its own, for sounds that must not stop the first one's.
std::unique_ptr<IWavePlayer> makeQtWavePlayer();

} // namespace vedomec
