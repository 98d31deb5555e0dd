#pragma once
// Byte-range locks on a table's .DBF, the way programs that share a data
// folder over a network file system have always kept out of each other's
// way: NFS and SMB carry fcntl locks to the other machines.
//
// The locks are open file description locks: they belong to the descriptor
// that took them, so two tables open on one file in one process exclude each
// other just as two programs do, and closing some other descriptor of the
// file never drops them.  They lie beyond the 2 GB a dBASE table can grow to,
// so they never cover a byte that another program reads or locks.
#include "platform/Errors.h"

#include <QString>
#include <QtGlobal>

#include <functional>

namespace vedomec {
class IClock;
class ISleeper;
}

namespace vedomec::data {

// Shared while the store reads a table's files, exclusive for the whole of
// each change (record, index blocks, headers, journal).
constexpr qint64 kChangeLockByte = 0x7FFFFFF0;
// Held by the one program that has the table open as its running test.
constexpr qint64 kHoldLockByte = 0x7FFFFFF1;
// Held on the catalogue for the whole of one import.
constexpr qint64 kImportLockByte = 0x7FFFFFF2;
// Held on a question table by the teacher's editor while it has the test
// open (see catalogue/OpenMark.h).
constexpr qint64 kEditLockByte = 0x7FFFFFF3;

enum class LockMode { Shared, Exclusive };

// Another program kept a lock for longer than the store waits for it.
class ETableLocked : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// The table is held open by another program (its running test).
class ETableInUse : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// The folder of a held table keeps no locks, so nothing could keep two
// programs from writing it at once: it is taken as held by another.
class ELocksNotKept : public ETableInUse {
public:
    using ETableInUse::ETableInUse;
};

// What a lock call answered: the lock is ours, another descriptor holds a
// conflicting one, the file system keeps no locks at all (ENOLCK,
// EOPNOTSUPP), or the call failed otherwise.
enum class LockAnswer { Granted, Busy, NotKept, Failed };
LockAnswer tryLockAnswer(int fd, qint64 byte, LockMode mode, int* error);

// Takes one lock byte without waiting.  False when another descriptor holds
// a conflicting lock (*error is then EAGAIN) or the call fails.  A file
// system that keeps no locks at all counts as granting every lock: what
// must not go on without one asks tryLockAnswer.
bool tryLock(int fd, qint64 byte, LockMode mode, int* error);
void unlock(int fd, qint64 byte);

// Tests stand in a file system that keeps no locks: the hook is asked before
// every lock call with the descriptor, and answers 0 to let the call go
// ahead or the errno value the call fails with instead.  Empty removes it.
using LockHook = std::function<int(int fd)>;
void setLockHook(LockHook hook);

// Takes the lock, waiting for it at most the configured time; then throws
// ETableLocked naming `path`.  Other failures throw EDatabaseError.
void lockWithin(int fd, qint64 byte, LockMode mode, const QString& path);

// The clock and sleeper the waits use and how long a wait may last (5 s
// unless set).  Tests make the clock manual; nullptr restores the system's.
void setLockWaitTiming(IClock* clock, ISleeper* sleeper, qint64 timeoutMs = 5000);
qint64 lockWaitMs();

// A lock taken for a scope.
class LockGuard {
public:
    LockGuard() = default;
    LockGuard(int fd, qint64 byte, LockMode mode, const QString& path) { take(fd, byte, mode, path); }
    ~LockGuard() { release(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

    void take(int fd, qint64 byte, LockMode mode, const QString& path)
    {
        release();
        lockWithin(fd, byte, mode, path);
        m_fd = fd;
        m_byte = byte;
    }
    void release()
    {
        if (m_fd >= 0)
            unlock(m_fd, m_byte);
        m_fd = -1;
    }
    bool held() const { return m_fd >= 0; }
    // The lock stays after the guard (until the descriptor is closed).
    void keep() { m_fd = -1; }

private:
    int m_fd = -1;
    qint64 m_byte = 0;
};

} // namespace vedomec::data
