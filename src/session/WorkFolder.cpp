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
#include <limits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::session {

namespace {

const QString kOwnerFile = QStringLiteral("owner.lock");
const QString kRootLockFile = QStringLiteral(".lock");
const QByteArray kOwnerLocked("locked\n");

// Whether the owner of the folder whose lock file is open at `fd` said it
// holds its lock.
bool ownerHeldLock(int fd)
{
    char buf[16] = {};
    const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
    return n == kOwnerLocked.size() && std::memcmp(buf, kOwnerLocked.constData(), size_t(n)) == 0;
}

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
    int error = 0;
    switch (data::tryLockAnswer(fd, 0, data::LockMode::Exclusive, &error)) {
    case data::LockAnswer::Granted:
        return Lock::Taken;
    case data::LockAnswer::Busy:
        return Lock::Busy;
    case data::LockAnswer::NotKept:
    case data::LockAnswer::Failed:
        break;
    }
    return Lock::Unknown;
}

// The user's lock over making folders and clearing orphans, held for the
// life of the object.  On a file system that keeps no locks it is granted
// to everybody, and says so.
class RootLock {
public:
    explicit RootLock(const QString& root)
    {
        const QString path = QDir(root).filePath(kRootLockFile);
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            throw EDatabaseError(QStringLiteral("Cannot create file %1: %2").arg(path, systemError(errno)));
        try {
            int error = 0;
            m_kept = data::tryLockAnswer(m_fd, 0, data::LockMode::Exclusive, &error) != data::LockAnswer::NotKept;
            if (m_kept)
                data::lockWithin(m_fd, 0, data::LockMode::Exclusive, path);
        } catch (...) {
            ::close(m_fd);
            throw;
        }
    }
    ~RootLock() { ::close(m_fd); } // closing lets go of the lock
    RootLock(const RootLock&) = delete;
    RootLock& operator=(const RootLock&) = delete;
    bool kept() const { return m_kept; }

private:
    int m_fd = -1;
    bool m_kept = true;
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

// What the name of a folder tells of its owner, "<machine>-<pid>-<n>":
// whether it is a process of this machine that is gone.  A process of
// another machine, or one that runs, is not shown to be gone.
bool ownerShownGone(const QString& folderName)
{
    const QStringList parts = folderName.split(QLatin1Char('-'));
    if (parts.size() < 3)
        return false;
    bool ok = false;
    const qint64 pid = parts.at(parts.size() - 2).toLongLong(&ok);
    if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    if (parts.mid(0, parts.size() - 2).join(QLatin1Char('-')) != machineName())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
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
    const Lock taken = fd >= 0 ? tryOwnerLock(fd) : Lock::Unknown;
    if (fd < 0 || taken == Lock::Busy) {
        const int error = fd < 0 ? errno : EAGAIN;
        if (fd >= 0)
            ::close(fd);
        QDir(path).removeRecursively();
        throw EDatabaseError(QStringLiteral("Cannot create file %1: %2").arg(owner, systemError(error)));
    }
    // Only a lock the owner holds tells, once it can be taken, that the owner
    // is gone; the file says whether it holds one (left empty when the disk
    // is full: then it is not believed to).
    if (taken == Lock::Taken)
        (void)!::pwrite(fd, kOwnerLocked.constData(), size_t(kOwnerLocked.size()), 0);
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
            // A folder goes only when its owner is shown to be gone: the lock
            // it held can be taken, or its process is no longer running on
            // this machine.  An owner whose file system kept no locks when it
            // began holds none, so a lock granted now tells nothing of it.
            const QString owner = QDir(entry.filePath()).filePath(kOwnerFile);
            const int fd = ::open(QFile::encodeName(owner).constData(), O_RDWR | O_CLOEXEC);
            bool orphan = false;
            if (fd >= 0) {
                const Lock l = tryOwnerLock(fd);
                orphan = l != Lock::Busy && ((l == Lock::Taken && ownerHeldLock(fd)) || ownerShownGone(entry.fileName()));
                if (orphan)
                    QDir(entry.filePath()).removeRecursively();
                ::close(fd);
            } else if (errno == ENOENT) {
                // Folders are made whole under the lock held here: one without
                // its lock file was left by an owner that died making or
                // removing it; without that lock it may be one being made.
                orphan = lock.kept() || ownerShownGone(entry.fileName());
                if (orphan)
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
