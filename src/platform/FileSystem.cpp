#include "FileSystem.h"
#include "SharedFolder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vedomec::fs {
namespace {

WriteHook& writeHook()
{
    static WriteHook hook;
    return hook;
}

bool networkOverride = false;

QString matchEntry(const QString& dir, const QString& name)
{
    const QString direct = dir.isEmpty() ? name : join(dir, name);
    if (QFileInfo::exists(direct))
        return direct;
    QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
    const QStringList entries = d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.isEmpty() ? e : join(dir, e);
    return {};
}

} // namespace

QString join(const QString& folder, const QString& relative)
{
    if (folder.isEmpty())
        return relative;
    if (relative.isEmpty())
        return folder;
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    if (folder.endsWith(QLatin1Char('/')))
        return folder + rel;
    return folder + QLatin1Char('/') + rel;
}

QString resolve(const QString& path)
{
    if (path.isEmpty())
        return {};
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo::exists(p))
        return p;
    const bool absolute = p.startsWith(QLatin1Char('/'));
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = absolute ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        if (part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            current = join(current.isEmpty() ? QStringLiteral(".") : current, part);
            continue;
        }
        const QString next = matchEntry(current, part);
        if (next.isEmpty())
            return {};
        current = next;
    }
    return current;
}

QString locate(const QString& folder, const QString& relative)
{
    const QString joined = join(folder, relative);
    const QString found = resolve(joined);
    if (!found.isEmpty())
        return found;
    // A file still to be made: match the folders, keep the new name as given.
    const int slash = joined.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return joined;
    const QString parent = resolve(joined.left(slash));
    return parent.isEmpty() ? joined : join(parent, joined.mid(slash + 1));
}

bool isFile(const QString& path)
{
    const QString r = resolve(path);
    return !r.isEmpty() && QFileInfo(r).isFile();
}

bool isDir(const QString& path)
{
    const QString r = resolve(path);
    return !r.isEmpty() && QFileInfo(r).isDir();
}

bool isPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() == 0)
            return false;
    return true;
}

QStringList listFiles(const QString& folder, const QString& suffix)
{
    const QString dir = resolve(folder);
    if (dir.isEmpty())
        return {};
    QDir d(dir);
    QStringList out;
    const QFileInfoList infos = d.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : infos)
        if (fi.fileName().endsWith(suffix, Qt::CaseInsensitive))
            out << fi.fileName();
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}

QString fileSearch(const QString& name, const QString& folder)
{
    if (name.isEmpty())
        return {};
    const QString local = resolve(name);
    if (!local.isEmpty() && QFileInfo(local).isFile())
        return name;
    const QString inFolder = resolve(join(folder, name));
    if (!inFolder.isEmpty() && QFileInfo(inFolder).isFile())
        return inFolder;
    return {};
}

QString currentFolder()
{
    return QDir::currentPath();
}

bool setCurrentFolder(const QString& folder)
{
    const QString r = resolve(folder);
    return !r.isEmpty() && QDir::setCurrent(r);
}

bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    // The kernel refuses atomically when the target exists.
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    // File systems without that flag: a hard link also fails when the target
    // exists, so the swap still cannot replace anything.
    if (::link(f.constData(), t.constData()) == 0) {
        ::unlink(f.constData());
        return true;
    }
    return false;
}

bool copyNew(const QString& from, const QString& to, QString* error)
{
    auto fail = [&](const QString& what) {
        if (error)
            *error = what;
        return false;
    };
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    const int in = ::open(f.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(QStringLiteral("Cannot open file %1: %2").arg(from, QString::fromLocal8Bit(std::strerror(errno))));
    const int out = ::open(t.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return fail(QStringLiteral("Cannot create file %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(e))));
    }
    // A test copied into a class's folder is for the whole class.
    takeFolderRights(out, folderOf(to), 0644);
    char buf[65536];
    QString problem;
    qint64 written = 0;
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            problem = QStringLiteral("Cannot read file %1: %2").arg(from, QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        int err = 0;
        if (!writeAt(out, buf, n, written, &err)) {
            problem = QStringLiteral("Cannot write file %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(err)));
            break;
        }
        written += n;
    }
    int err = 0;
    if (problem.isEmpty() && !syncData(out, &err))
        problem = QStringLiteral("Cannot write file %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(err)));
    if (::close(out) != 0 && problem.isEmpty())
        problem = QStringLiteral("Cannot write file %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    ::close(in);
    if (!problem.isEmpty()) {
        ::unlink(t.constData());
        return fail(problem);
    }
    return true;
}

bool writeAt(int fd, const char* data, qint64 size, qint64 offset, int* error)
{
    qint64 allowed = size;
    int injected = 0;
    if (const WriteHook& hook = writeHook()) {
        const WriteOutcome o = hook(WriteOp::Write, offset, size);
        if (o.error) {
            injected = o.error;
            allowed = std::clamp<qint64>(o.partial, 0, size);
        }
    }
    qint64 done = 0;
    while (done < allowed) {
        const ssize_t w = ::pwrite(fd, data + done, size_t(allowed - done), off_t(offset + done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            *error = w < 0 ? errno : EIO;
            return false;
        }
        done += w;
    }
    if (injected) {
        *error = injected;
        return false;
    }
    return true;
}

bool truncateTo(int fd, qint64 size, int* error)
{
    if (const WriteHook& hook = writeHook()) {
        const WriteOutcome o = hook(WriteOp::Truncate, 0, size);
        if (o.error) {
            *error = o.error;
            return false;
        }
    }
    while (::ftruncate(fd, off_t(size)) != 0) {
        if (errno != EINTR) {
            *error = errno;
            return false;
        }
    }
    return true;
}

bool syncData(int fd, int* error)
{
    if (const WriteHook& hook = writeHook()) {
        const WriteOutcome o = hook(WriteOp::Sync, 0, 0);
        if (o.error) {
            *error = o.error;
            return false;
        }
    }
    while (::fdatasync(fd) != 0) {
        if (errno != EINTR) {
            *error = errno;
            return false;
        }
    }
    return true;
}

void setWriteHook(WriteHook hook)
{
    writeHook() = std::move(hook);
}

bool isNetworkFolder(const QString& folder)
{
    if (networkOverride)
        return true;
    struct statfs st {};
    if (::statfs(QFile::encodeName(folder).constData(), &st) != 0)
        return false;
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x01021997:  // 9P
    case 0x65735546:  // FUSE (sshfs and the like)
    case 0x00C36400:  // Ceph
    case 0x73757245:  // Coda
    case 0x5346414F:  // AFS
    case 0x0BD00BD0:  // Lustre
    case 0x01161970:  // GFS2
    case 0x7461636F:  // OCFS2
        return true;
    default:
        return false;
    }
}

void setTreatFoldersAsNetwork(bool on)
{
    networkOverride = on;
}

} // namespace vedomec::fs
