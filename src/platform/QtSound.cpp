#include "Sound.h"

#include <QFileInfo>
#include <QHash>
#include <QSoundEffect>
#include <QUrl>

namespace vedomec {
namespace {

class QtSoundPlayer final : public ISoundPlayer {
public:
    void playFile(const QString& path) override
    {
        const QString abs = QFileInfo(path).absoluteFilePath();
        QSoundEffect*& effect = m_effects[abs];
        if (!effect) {
            effect = new QSoundEffect;
            effect->setSource(QUrl::fromLocalFile(abs));
        }
        // Without an audio device play() still returns at once.
        effect->play();
    }

private:
    QHash<QString, QSoundEffect*> m_effects;
};

} // namespace

ISoundPlayer* qtSoundPlayer()
{
    static QtSoundPlayer player;
    return &player;
}

} // namespace vedomec
