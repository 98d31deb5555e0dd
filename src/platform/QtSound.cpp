#include "Sound.h"
#include "WaveSound.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <optional>

namespace vedomec {
namespace {

// The program's sounds are a few short WAV files.  They are read and
// decoded here and played through an audio sink of our own rather than
// QSoundEffect: its sample cache loads on a thread of its own, and a
// program that ends while a file is still loading hangs or crashes in the
// cache's destructor after main() (seen when a message's sound was the last
// thing before the window closed).
constexpr qint64 kLargestSound = 16 * 1024 * 1024;

class QtSoundPlayer final : public ISoundPlayer {
public:
    explicit QtSoundPlayer(std::function<void()> systemSound)
        : m_systemSound(std::move(systemSound)), m_wave(makeQtWavePlayer())
    {
    }

    void playFile(const QString& path) override
    {
        const QString abs = QFileInfo(path).absoluteFilePath();
        auto known = m_images.constFind(abs);
        if (known == m_images.constEnd())
            known = m_images.insert(abs, load(abs));
        // A file that cannot be played (missing, damaged, not a WAV) gives
        // the system's default sound, as a cue whose file is named promises
        // a sound; every such cue sounds again.
        if (!*known) {
            if (m_systemSound)
                m_systemSound();
            return;
        }
        // Without an audio device this plays nothing and returns at once.
        m_wave->playWave(**known);
    }

    void prepare() override { m_wave->prepare(); }

private:
    static std::optional<QByteArray> load(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestSound)
            return std::nullopt;
        QByteArray image = file.readAll();
        const std::optional<WavInfo> info = parseWav(image);
        if (!info || info->dataSize == 0)
            return std::nullopt;
        return image;
    }

    std::function<void()> m_systemSound;
    std::unique_ptr<IWavePlayer> m_wave;
    QHash<QString, std::optional<QByteArray>> m_images;
};

} // namespace

ISoundPlayer* qtSoundPlayer()
{
    // Never destroyed: audio objects torn down after the application object
    // (at static destruction) are not safe, and the end of the process stops
    // any sound anyway.
    static auto* player = new QtSoundPlayer([] { QApplication::beep(); });
    return player;
}

std::unique_ptr<ISoundPlayer> makeQtSoundPlayer(std::function<void()> systemSound)
{
    return std::make_unique<QtSoundPlayer>(std::move(systemSound));
}

} // namespace vedomec
