#include "data/Locks.h"

#include "platform/Clock.h"
#include "platform/Sleeper.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vedomec::data {

namespace {

struct Timing {
    IClock* clock = nullptr;
    ISleeper* sleeper = nullptr;
    qint64 timeoutMs = 5000;
};

Timing& timing()
{
    static Timing t;
    return t;
}

ISleeper& systemSleeper()
{
    static SystemSleeper s;
    return s;
}

LockHook& lockHook()
{
    static LockHook hook;
    return hook;
}

// Open file description locks came with Linux 3.15; where the kernel or the
// file system refuses them, the classic process locks stand in.
bool descriptionLocks = true;

int lockCall(int fd, short type, qint64 byte)
{
    if (const LockHook& hook = lockHook())
        if (const int injected = hook(fd))
            return injected;
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(byte);
    fl.l_len = 1;
    for (;;) {
        if (::fcntl(fd, descriptionLocks ? F_OFD_SETLK : F_SETLK, &fl) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno == EINVAL && descriptionLocks) {
            descriptionLocks = false;
            continue;
        }
        return errno;
    }
}

} // namespace

LockAnswer tryLockAnswer(int fd, qint64 byte, LockMode mode, int* error)
{
    const int e = lockCall(fd, mode == LockMode::Shared ? F_RDLCK : F_WRLCK, byte);
    if (e == 0)
        return LockAnswer::Granted;
    *error = (e == EACCES) ? EAGAIN : e;
    if (*error == EAGAIN)
        return LockAnswer::Busy;
    return e == ENOLCK || e == EOPNOTSUPP ? LockAnswer::NotKept : LockAnswer::Failed;
}

bool tryLock(int fd, qint64 byte, LockMode mode, int* error)
{
    const LockAnswer a = tryLockAnswer(fd, byte, mode, error);
    return a == LockAnswer::Granted || a == LockAnswer::NotKept;
}

void setLockHook(LockHook hook)
{
    lockHook() = std::move(hook);
}

void unlock(int fd, qint64 byte)
{
    lockCall(fd, F_UNLCK, byte);
}

void lockWithin(int fd, qint64 byte, LockMode mode, const QString& path)
{
    int error = 0;
    if (tryLock(fd, byte, mode, &error))
        return;
    if (error != EAGAIN)
        throw EDatabaseError(QStringLiteral("Cannot lock table '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    const Timing& t = timing();
    IClock& clock = t.clock ? *t.clock : SystemClock::instance();
    ISleeper& sleeper = t.sleeper ? *t.sleeper : systemSleeper();
    const qint64 deadline = clock.nowMs() + t.timeoutMs;
    qint64 pause = 1;
    for (;;) {
        sleeper.sleepMs(pause, sleeper.epoch());
        pause = std::min<qint64>(pause * 2, 20);
        if (tryLock(fd, byte, mode, &error))
            return;
        if (error != EAGAIN)
            throw EDatabaseError(
                QStringLiteral("Cannot lock table '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
        if (clock.nowMs() >= deadline)
            throw ETableLocked(QStringLiteral("Table '%1' is in use by another program (waited %2 s); nothing was changed")
                                   .arg(path)
                                   .arg(double(t.timeoutMs) / 1000.0));
    }
}

void setLockWaitTiming(IClock* clock, ISleeper* sleeper, qint64 timeoutMs)
{
    timing() = Timing{clock, sleeper, timeoutMs};
}

qint64 lockWaitMs()
{
    return timing().timeoutMs;
}

} // namespace vedomec::data
