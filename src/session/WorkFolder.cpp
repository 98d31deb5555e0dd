#include "session/WorkFolder.h"

#include "data/Locks.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::session {

namespace {

const QString kOwnerFile = QStringLiteral("owner.lock");
const QString kRootLockFile = QStringLiteral(".lock");

QString& rootOverride()
{
    static QString folder;
    return folder;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

enum class Lock { Taken, Busy, Unknown };

// The owner's lock byte, taken without waiting.  Unlike the store's locks, a
// file system that keeps no locks answers "unknown" here: a folder must never
// be taken for an orphan because nobody could tell it was in use.
Lock tryOwnerLock(int fd)
{
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    static bool descriptionLocks = true;
    for (;;) {
        if (::fcntl(fd, descriptionLocks ? F_OFD_SETLK : F_SETLK, &fl) == 0)
            return Lock::Taken;
        if (errno == EINTR)
            continue;
        if (errno == EINVAL && descriptionLocks) {
            descriptionLocks = false;
            continue;
        }
        return errno == EAGAIN || errno == EACCES ? Lock::Busy : Lock::Unknown;
    }
}

// The user's lock over making folders and clearing orphans, held for the
// life of the object.
class RootLock {
public:
    explicit RootLock(const QString& root)
    {
        const QString path = QDir(root).filePath(kRootLockFile);
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            throw EDatabaseError(QStringLiteral("Cannot create file %1: %2").arg(path, systemError(errno)));
        try {
            data::lockWithin(m_fd, 0, data::LockMode::Exclusive, path);
        } catch (...) {
            ::close(m_fd);
            throw;
        }
    }
    ~RootLock() { ::close(m_fd); } // closing lets go of the lock
    RootLock(const RootLock&) = delete;
    RootLock& operator=(const RootLock&) = delete;

private:
    int m_fd = -1;
};

// Only letters, digits, '.' and '-' of the machine's name go into a folder name.
QString machineName()
{
    QString name = QSysInfo::machineHostName();
    for (QChar& c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

} // namespace

QString TWorkFolder::root()
{
    if (!rootOverride().isEmpty())
        return rootOverride();
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home))
            return QDir(QDir::tempPath()).filePath(QStringLiteral("vedomec-%1/work").arg(::getuid()));
        state = QDir(home).filePath(QStringLiteral(".local/state"));
    }
    return QDir(state).filePath(QStringLiteral("vedomec/work"));
}

void TWorkFolder::setRootOverride(const QString& folder)
{
    rootOverride() = folder;
}

std::unique_ptr<TWorkFolder> TWorkFolder::create()
{
    const QString base = root();
    if (!QDir().mkpath(base)) {
        // The reason the user can act on: the first missing folder of the
        // path says it.
        QString missing = base;
        while (!QFileInfo::exists(QFileInfo(missing).path()) && QFileInfo(missing).path() != missing)
            missing = QFileInfo(missing).path();
        const int why = ::mkdir(QFile::encodeName(missing).constData(), 0700) == 0 ? 0 : errno;
        if (why != 0 || !QDir().mkpath(base))
            throw EDatabaseError(why != 0 ? QStringLiteral("Cannot create folder %1: %2").arg(base, systemError(why))
                                          : QStringLiteral("Cannot create folder %1").arg(base));
    }
    // Nobody but the user reads what a pupil answers.
    ::chmod(QFile::encodeName(base).constData(), 0700);

    const RootLock lock(base);
    static std::atomic<int> made {0};
    const QString prefix = QStringLiteral("%1-%2-").arg(machineName()).arg(QCoreApplication::applicationPid());
    QString path;
    for (;;) {
        path = QDir(base).filePath(prefix + QString::number(++made));
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0)
            break;
        if (errno != EEXIST)
            throw EDatabaseError(QStringLiteral("Cannot create folder %1: %2").arg(path, systemError(errno)));
    }
    const QString owner = QDir(path).filePath(kOwnerFile);
    const int fd = ::open(QFile::encodeName(owner).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 || tryOwnerLock(fd) == Lock::Busy) {
        const int error = fd < 0 ? errno : EAGAIN;
        if (fd >= 0)
            ::close(fd);
        QDir(path).removeRecursively();
        throw EDatabaseError(QStringLiteral("Cannot create file %1: %2").arg(owner, systemError(error)));
    }
    return std::unique_ptr<TWorkFolder>(new TWorkFolder(path, fd));
}

TWorkFolder::~TWorkFolder()
{
    QDir(m_path).removeRecursively();
    ::close(m_lockFd);
}

int TWorkFolder::clearOrphans()
{
    const QString base = root();
    if (!QFileInfo(base).isDir())
        return 0;
    int cleared = 0;
    try {
        const RootLock lock(base);
        const QFileInfoList entries = QDir(base).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            if (entry.isSymLink())
                continue;
            const QString owner = QDir(entry.filePath()).filePath(kOwnerFile);
            const int fd = ::open(QFile::encodeName(owner).constData(), O_RDWR | O_CLOEXEC);
            // Folders are made whole under the lock held here: one without its
            // lock file was left by an owner that died making or removing it.
            bool orphan = fd < 0 && errno == ENOENT;
            if (fd >= 0) {
                orphan = tryOwnerLock(fd) == Lock::Taken;
                if (orphan)
                    QDir(entry.filePath()).removeRecursively();
                ::close(fd);
            } else if (orphan) {
                QDir(entry.filePath()).removeRecursively();
            }
            cleared += orphan ? 1 : 0;
        }
    } catch (const EVedomecError&) {
        // Another start holds the user's lock for too long: the next one clears.
    }
    return cleared;
}

} // namespace vedomec::session
