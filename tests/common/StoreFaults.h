#pragma once
// Faults of the disk and of the process for the store's tests: the Nth
// write (truncation, flush) of the store fails as a real one would, or the
// process dies there; files compared byte by byte before and after.
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <functional>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vedomec::testdata {

// Makes the store's `failAt`th operation (counted from 1 since the object was
// made) fail, and with `persistent` every one after it too, as a disk that
// went away does.  A full disk stops a write at a page boundary: the page
// cache takes a write page by page, so a write within one page lands whole
// or not at all, and so does this one.
class WriteFaults {
public:
    enum class Kind { Io, FullDisk };

    WriteFaults(int failAt, Kind kind, bool persistent = false)
        : m_failAt(failAt), m_kind(kind), m_persistent(persistent)
    {
        fs::setWriteHook([this](fs::WriteOp op, qint64 offset, qint64 size) { return decide(op, offset, size); });
    }
    ~WriteFaults() { fs::setWriteHook({}); }
    WriteFaults(const WriteFaults&) = delete;
    WriteFaults& operator=(const WriteFaults&) = delete;

    int operations() const { return m_count; }
    bool triggered() const { return m_count >= m_failAt; }
    // Lets later operations through again (the disk is back).
    void heal() { m_healed = true; }

    static qint64 pageAlignedPart(qint64 offset, qint64 size)
    {
        const qint64 boundary = (offset + size / 2) / 4096 * 4096;
        return std::max<qint64>(0, boundary - offset);
    }

private:
    fs::WriteOutcome decide(fs::WriteOp op, qint64 offset, qint64 size)
    {
        ++m_count;
        if (m_healed || m_count < m_failAt || (m_count > m_failAt && !m_persistent))
            return {};
        if (m_kind == Kind::Io)
            return {EIO, 0};
        return {ENOSPC, op == fs::WriteOp::Write ? pageAlignedPart(offset, size) : 0};
    }

    int m_failAt;
    Kind m_kind;
    bool m_persistent;
    bool m_healed = false;
    int m_count = 0;
};

// In a child process: the `dieAt`th operation of the store kills it, before
// anything of that write reached the file or, with `partly`, after the part
// of it a full disk would have taken.
class DeathAtWrite {
public:
    DeathAtWrite(int dieAt, bool partly) : m_dieAt(dieAt), m_partly(partly)
    {
        fs::setWriteHook([this](fs::WriteOp op, qint64 offset, qint64 size) -> fs::WriteOutcome {
            if (m_dying || (++m_count == m_dieAt && !(m_partly && op == fs::WriteOp::Write)))
                ::raise(SIGKILL);
            if (m_count == m_dieAt) {
                // The part lands; the process dies at its next step.
                m_dying = true;
                return {EIO, WriteFaults::pageAlignedPart(offset, size)};
            }
            return {};
        });
    }
    ~DeathAtWrite() { fs::setWriteHook({}); }
    // Whatever the store does after a partial write, the process is gone.
    void finish() const
    {
        if (m_dying)
            ::raise(SIGKILL);
    }
    int operations() const { return m_count; }

private:
    int m_dieAt;
    bool m_partly;
    bool m_dying = false;
    int m_count = 0;
};

// A child process a test keeps running while it checks something (another
// copy of the program holding a lock, say).  It ends with the test however
// the test ends: a failed check returns from the test function and the
// destructor kills it, and the test process dying takes it along
// (PR_SET_PDEATHSIG), so no child is left waiting for ever, holding the
// output that ctest waits on.
class ForkedChild {
public:
    // Runs `body` in the child, which then exits: 0 when it returned, 3
    // when it threw.
    explicit ForkedChild(const std::function<void()>& body)
    {
        const pid_t parent = ::getpid();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(111); // the test died before the line above
            int code = 0;
            try {
                body();
            } catch (...) {
                code = 3;
            }
            ::_exit(code);
        }
    }
    ~ForkedChild() { kill(); }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    pid_t pid() const { return m_pid; }
    bool started() const { return m_pid > 0; }
    // Kills the child unless it has ended, and waits for it: its exit code,
    // or -signal.
    int kill()
    {
        if (m_pid <= 0)
            return m_status;
        ::kill(m_pid, SIGKILL);
        return wait();
    }
    // Waits for the child to end by itself.
    int wait()
    {
        if (m_pid <= 0)
            return m_status;
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        m_status = WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = 0;
};

// Runs `body` in a child process: 0 when it returned, 3 when it threw,
// -signal when it was killed.
inline int inChild(const std::function<void()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 0;
        try {
            body();
        } catch (...) {
            code = 3;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

inline QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The files of a folder (all but the journal, which is the store's own
// business), name by name.
inline QMap<QString, QByteArray> folderBytes(const QString& folder)
{
    QMap<QString, QByteArray> out;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (!name.endsWith(QLatin1String("-journal")))
            out.insert(name, bytesOf(QDir(folder).filePath(name)));
    return out;
}

inline void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files | QDir::Hidden)) {
        QFile::remove(QDir(to).filePath(name));
        QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name));
    }
}

inline void emptyFolder(const QString& folder)
{
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(QDir(folder).filePath(name));
}

} // namespace vedomec::testdata
