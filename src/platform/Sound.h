#pragma once
#include <QString>
#include <QStringList>

namespace vedomec {

// Plays a WAV file without waiting.  A file that cannot be played plays
// nothing; the call never blocks and never throws.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void playFile(const QString& path) = 0;
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

// The player over the sound device (Qt Multimedia).
ISoundPlayer* qtSoundPlayer();

} // namespace vedomec
