#include "SoundCue.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Sound.h"

#include <QFileInfo>

namespace vedomec {

void TSoundCue::Play(const QString& fileName, const QString& appFolder)
{
    const QString soundFolder = fs::join(appFolder, QStringLiteral("Zvuky"));
    m_lastFound = fs::fileSearch(fileName, soundFolder);
    if (m_lastFound.isEmpty())
        return;
    const QString foundAbsolute = QFileInfo(fs::resolve(m_lastFound)).absoluteFilePath();
    if (!fs::setCurrentFolder(soundFolder))
        throw EInOutError(QStringLiteral("I/O error: cannot change to folder %1").arg(soundFolder));
    // The bare name is played from the sound folder; a file that was found only
    // in the previous current folder still gets played rather than nothing.
    const QString inSoundFolder = fs::resolve(fileName);
    if (!m_muted)
        soundPlayer().playFile(!inSoundFolder.isEmpty() ? QFileInfo(inSoundFolder).absoluteFilePath() : foundAbsolute);
    fs::setCurrentFolder(appFolder);
}

} // namespace vedomec
