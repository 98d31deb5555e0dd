#include "platform/SharedFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::fs {

namespace {

bool statOf(const QString& path, struct stat* st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0;
}

mode_t fileMode(const struct stat& folder, mode_t mode)
{
    mode &= 0666;
    if (folder.st_mode & S_IWGRP)
        mode |= S_IRGRP | S_IWGRP;
    return mode;
}

// A folder made inside another gets its permissions and its setgid bit
// (which makes what is made in it later take the group in turn).
mode_t folderMode(const struct stat& folder)
{
    return folder.st_mode & (0777 | S_ISGID);
}

} // namespace

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

void takeFolderRights(int fd, const QString& folder, mode_t mode)
{
    struct stat parent {}, mine {};
    if (fd < 0 || !statOf(folder, &parent) || ::fstat(fd, &mine) != 0)
        return;
    if (mine.st_gid != parent.st_gid)
        (void)::fchown(fd, uid_t(-1), parent.st_gid);
    // Changing the group may have cleared bits; the mode goes last.
    (void)::fchmod(fd, S_ISDIR(mine.st_mode) ? folderMode(parent) : fileMode(parent, mode));
}

void takeFolderRights(const QString& path, const QString& folder, mode_t mode)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return;
    takeFolderRights(fd, folder, mode);
    ::close(fd);
}

bool makeFolderLike(const QString& path, QString* error)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0) {
        if (error)
            *error = QStringLiteral("Cannot create folder %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    takeFolderRights(path, folderOf(path), 0);
    return true;
}

} // namespace vedomec::fs
