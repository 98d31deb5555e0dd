#include "catalogue/OpenMark.h"

#include "data/Locks.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vedomec::catalogue {

EditorHold editorHold(const QString& tablePath)
{
    if (tablePath.isEmpty())
        return EditorHold::None;
    const int fd = ::open(QFile::encodeName(tablePath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return EditorHold::None;
    int error = 0;
    // A shared lock conflicts with the editor's exclusive one and with no
    // other looker's.
    const data::LockAnswer answer = data::tryLockAnswer(fd, data::kEditLockByte, data::LockMode::Shared, &error);
    if (answer == data::LockAnswer::Granted)
        data::unlock(fd, data::kEditLockByte);
    ::close(fd);
    switch (answer) {
    case data::LockAnswer::Granted:
        return EditorHold::None;
    case data::LockAnswer::Busy:
        return EditorHold::Held;
    case data::LockAnswer::NotKept:
    case data::LockAnswer::Failed:
        break;
    }
    return EditorHold::Unknown;
}

bool openMarkShuts(const QString& otevreno, const QString& tablePath)
{
    if (otevreno != QLatin1String("A"))
        return false;
    return editorHold(tablePath) != EditorHold::None;
}

} // namespace vedomec::catalogue
