#pragma once
#include <QString>

namespace vedomec {

// The sound cue every window plays: the bare name in the current folder
// first, then the application's Zvuky folder.  After a cue that played, the
// current folder is the application folder.  A missing file plays nothing.
class TSoundCue {
public:
    // Throws EInOutError when the sound folder cannot be entered.
    void Play(const QString& fileName, const QString& appFolder);
    // The path the last search found; empty when it found nothing.
    const QString& lastFound() const { return m_lastFound; }
    // Muted, a cue is searched for and changes the current folder as ever,
    // and plays nothing.
    void setMuted(bool on) { m_muted = on; }
    bool muted() const { return m_muted; }

private:
    QString m_lastFound;
    bool m_muted = false;
};

} // namespace vedomec
