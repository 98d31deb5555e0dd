#pragma once
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vedomec {

// Plays a WAV file without waiting; the call never blocks and never throws.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void playFile(const QString& path) = 0;
    // Opens the sound device ahead of the first sound, which would
    // otherwise wait for it.
    virtual void prepare() {}
};

// For tests: remembers what would have been played.
class RecordingSoundPlayer final : public ISoundPlayer {
public:
    void playFile(const QString& path) override { played << path; }
    QStringList played;
};

// The player the program uses; tests replace it.  Until the program installs
// its device player (qtSoundPlayer(), at start-up) cues play nothing.
ISoundPlayer& soundPlayer();
void setSoundPlayer(ISoundPlayer* player); // nullptr restores the default
void setDefaultSoundPlayer(ISoundPlayer* player);
// prepare() of the player in use.
void prepareSound();

// The player over the sound device (Qt Multimedia).  A file it cannot play
// plays the system's default sound instead.
ISoundPlayer* qtSoundPlayer();
// The same with another default sound (tests count it).
std::unique_ptr<ISoundPlayer> makeQtSoundPlayer(std::function<void()> systemSound);

} // namespace vedomec
