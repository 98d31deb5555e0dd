#include "data/TableImage.h"

#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Mdx.h"
#include "data/TableFile.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::data {

namespace {

constexpr qint64 kMaxDbf = qint64(2) * 1024 * 1024 * 1024;
constexpr qint64 kMaxMdx = qint64(1) << 30;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class Descriptor {
public:
    explicit Descriptor(const QString& path) : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0)
            throw EDatabaseError(QStringLiteral("Cannot open table '%1': %2").arg(path, systemError(errno)));
    }
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

QByteArray readWhole(int fd, const QString& path, qint64 maxSize)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw EDatabaseError(QStringLiteral("Cannot read '%1': %2").arg(path, systemError(errno)));
    if (st.st_size > maxSize)
        throw EDatabaseError(QStringLiteral("File '%1' is too large for a table").arg(path));
    QByteArray out(qsizetype(st.st_size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, size_t(out.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EDatabaseError(QStringLiteral("Cannot read '%1': %2").arg(path, systemError(errno)));
        if (n == 0)
            break; // cut shorter meanwhile: only a program outside the store does that
        done += n;
    }
    out.truncate(done);
    return out;
}

} // namespace

TableImage readTableImage(const QString& path)
{
    const Descriptor dbf(path);
    LockGuard lock(dbf.fd(), kChangeLockByte, LockMode::Shared, path);

    TableImage image;
    const QFileInfo info(path);
    image.dbfName = info.fileName();
    image.dbf = readWhole(dbf.fd(), path, kMaxDbf);
    const QString mdxPath = fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX")));
    if (!mdxPath.isEmpty() && QFileInfo(mdxPath).isFile()) {
        const Descriptor mdx(mdxPath);
        image.mdxName = QFileInfo(mdxPath).fileName();
        image.mdx = readWhole(mdx.fd(), mdxPath, kMaxMdx);
    }
    // With the lock held nobody is in the middle of a change: a change the
    // journal records stopped half way, and the program that made it may go
    // on running without having taken it back.  The image is the table as it
    // was before that change (or after it, where all of it reached the
    // files), as the next program to open the table will make it.
    if (TableJournal::unfinishedChangeRecorded(path)) {
        const auto dbfImage = TableFile::fromBytes(image.dbf, path, TableFile::Kind::Table);
        const auto mdxImage = image.mdxName.isEmpty()
            ? nullptr
            : TableFile::fromBytes(image.mdx, mdxPath, TableFile::Kind::Index);
        if (recoverChangeInImages(path, dbfImage.get(), mdxImage.get()) == Recovery::Undone) {
            image.dbf = dbfImage->bytes();
            if (mdxImage)
                image.mdx = mdxImage->bytes();
        }
    }
    // Parsed as the store parses it at Open: a damaged file is refused here
    // just as there.
    if (!DbfFile::fromBytes(image.dbf, path)->hasProductionIndex()) {
        image.mdxName.clear();
        image.mdx.clear();
        return image;
    }
    if (image.mdxName.isEmpty())
        throw EIndexDamaged(QStringLiteral("Index file '%1' not found")
                                .arg(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX"))));
    return image;
}

} // namespace vedomec::data
