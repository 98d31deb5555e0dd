#include "Sound.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QSoundEffect>
#include <QUrl>

namespace vedomec {
namespace {

class QtSoundPlayer final : public ISoundPlayer {
public:
    explicit QtSoundPlayer(std::function<void()> systemSound) : m_systemSound(std::move(systemSound)) {}
    ~QtSoundPlayer() override { qDeleteAll(m_effects); }

    void playFile(const QString& path) override
    {
        const QString abs = QFileInfo(path).absoluteFilePath();
        QSoundEffect*& effect = m_effects[abs];
        if (!effect) {
            effect = new QSoundEffect;
            // The file loads in the background; one that cannot be played
            // (damaged, not a WAV) gives the system's default sound instead,
            // as a cue whose file is there promises a sound.
            QSoundEffect* e = effect;
            QObject::connect(e, &QSoundEffect::statusChanged, e, [this, e] {
                if (e->status() == QSoundEffect::Error)
                    systemSound();
            });
            effect->setSource(QUrl::fromLocalFile(abs));
            effect->play();
            return;
        }
        // Known to be unplayable: the status will not change again.
        if (effect->status() == QSoundEffect::Error) {
            systemSound();
            return;
        }
        // Without an audio device play() still returns at once.
        effect->play();
    }

private:
    void systemSound()
    {
        if (m_systemSound)
            m_systemSound();
    }

    std::function<void()> m_systemSound;
    QHash<QString, QSoundEffect*> m_effects;
};

} // namespace

ISoundPlayer* qtSoundPlayer()
{
    // Never destroyed: its effects must not outlive the application object
    // in a destructor that runs after main().
    static auto* player = new QtSoundPlayer([] { QApplication::beep(); });
    return player;
}

std::unique_ptr<ISoundPlayer> makeQtSoundPlayer(std::function<void()> systemSound)
{
    return std::make_unique<QtSoundPlayer>(std::move(systemSound));
}

} // namespace vedomec
