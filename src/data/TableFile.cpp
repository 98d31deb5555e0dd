#include "data/TableFile.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFile>

#include <algorithm>
#include <ctime>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::data {

namespace {

QString systemText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

} // namespace

namespace detail {

bool readFully(int fd, char* data, qint64 size, qint64 offset, qint64* got)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t r = ::pread(fd, data + done, size_t(size - done), off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            break;
        done += r;
    }
    *got = done;
    return true;
}

} // namespace detail

using detail::readFully;

quint64 rangeChecksum(const char* data, qint64 size)
{
    // Four lanes side by side, so the multiplications overlap.
    constexpr quint64 k1 = 0x9E3779B97F4A7C15ULL, k2 = 0xBF58476D1CE4E5B9ULL, k3 = 0x94D049BB133111EBULL;
    quint64 a = k1 ^ quint64(size), b = k2, c = k3, d = k1 + k3;
    while (size >= 32) {
        quint64 w[4];
        std::memcpy(w, data, 32);
        a = (a ^ w[0]) * k2;
        b = (b ^ w[1]) * k3;
        c = (c ^ w[2]) * k2;
        d = (d ^ w[3]) * k3;
        a ^= a >> 29;
        b ^= b >> 31;
        c ^= c >> 27;
        d ^= d >> 33;
        data += 32;
        size -= 32;
    }
    quint64 h = a ^ (b * k1) ^ (c * k2) ^ (d * k3);
    while (size >= 8) {
        quint64 w;
        std::memcpy(&w, data, 8);
        h = (h ^ w) * k2;
        h ^= h >> 31;
        data += 8;
        size -= 8;
    }
    quint64 w = 0;
    std::memcpy(&w, data, size_t(size));
    h = (h ^ w ^ (quint64(size) << 59)) * k3;
    h ^= h >> 29;
    h *= k1;
    return h ^ (h >> 32);
}

QDate updateStampDate()
{
    static QDate today;
    static qint64 askedAt = 0;
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    const qint64 ms = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    if (!today.isValid() || ms - askedAt >= 1000) {
        today = QDate::currentDate();
        askedAt = ms;
    }
    return today;
}

// ---------------------------------------------------------------------------
// TableFile

TableFile::~TableFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<TableFile> TableFile::open(const QString& path, bool forWriting, Kind kind)
{
    std::unique_ptr<TableFile> f(new TableFile);
    f->m_path = path;
    f->m_kind = kind;
    const QByteArray native = QFile::encodeName(path);
    const auto openError = [&](const QString& why) {
        return kind == Kind::Table ? EDatabaseError(QStringLiteral("Cannot open table '%1': %2").arg(path, why))
                                   : EDatabaseError(QStringLiteral("Index file %1 cannot be opened: %2").arg(path, why));
    };
    int fd = -1;
    if (forWriting) {
        fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
        if (fd >= 0)
            f->m_writable = true;
        else if (errno != EACCES && errno != EROFS && errno != EPERM)
            throw openError(systemText(errno));
    }
    if (fd < 0)
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw openError(systemText(errno));
    f->m_fd = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw openError(systemText(errno));
    if (!S_ISREG(st.st_mode))
        throw openError(kind == Kind::Table ? QStringLiteral("not a file") : QStringLiteral("not a regular file"));
    f->m_dev = quint64(st.st_dev);
    f->m_ino = quint64(st.st_ino);
    return f;
}

std::unique_ptr<TableFile> TableFile::fromBytes(const QByteArray& bytes, const QString& name, Kind kind)
{
    std::unique_ptr<TableFile> f(new TableFile);
    f->m_path = name;
    f->m_kind = kind;
    f->m_bytes = bytes;
    return f;
}

void TableFile::load(qint64 maxSize)
{
    if (m_fd < 0)
        return;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        throw EDatabaseError(m_kind == Kind::Table
                                 ? QStringLiteral("Cannot read table '%1': %2").arg(m_path, systemText(errno))
                                 : QStringLiteral("Index file %1 cannot be read: %2").arg(m_path, systemText(errno)));
    if (st.st_size > maxSize)
        throw EDatabaseError(m_kind == Kind::Table
                                 ? QStringLiteral("Table '%1' is damaged: the file is larger than a dBASE table can be").arg(m_path)
                                 : QStringLiteral("Index file %1 is damaged: the file is too large").arg(m_path));
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qint64 got = 0;
    if (!readFully(m_fd, bytes.data(), bytes.size(), 0, &got))
        throw EDatabaseError(m_kind == Kind::Table
                                 ? QStringLiteral("Cannot read table '%1': %2").arg(m_path, systemText(errno))
                                 : QStringLiteral("Index file %1 cannot be read: %2").arg(m_path, systemText(errno)));
    bytes.resize(got); // a file that shrank meanwhile is judged by what is there
    m_bytes = std::move(bytes);
    m_recording = false;
    m_changed.clear();
    m_originals.clear();
}

bool TableFile::replacedOnDisk() const
{
    if (m_fd < 0)
        return false;
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return true;
    return quint64(st.st_dev) != m_dev || quint64(st.st_ino) != m_ino;
}

QByteArray TableFile::readDisk() const
{
    if (m_fd < 0)
        return m_bytes;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return {};
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qint64 got = 0;
    if (!readFully(m_fd, bytes.data(), bytes.size(), 0, &got))
        return {};
    bytes.resize(got);
    return bytes;
}

QString TableFile::writeError(int error) const
{
    return m_kind == Kind::Table ? QStringLiteral("Cannot write to table '%1': %2").arg(m_path, systemText(error))
                                 : QStringLiteral("Index file %1 cannot be written: %2").arg(m_path, systemText(error));
}

void TableFile::beginChange()
{
    m_recording = true;
    m_sizeBefore = m_bytes.size();
    m_changed.clear();
    m_originals.clear();
    m_saved.truncate(0);
}

void TableFile::write(qint64 offset, const char* data, qint64 size)
{
    if (size <= 0)
        return;
    const qint64 end = offset + size;
    if (!m_recording) {
        if (!writable())
            throw EDatabaseError(m_kind == Kind::Table ? QStringLiteral("Table '%1' is read-only").arg(m_path)
                                                       : QStringLiteral("Index file %1 is open for reading only").arg(m_path));
        int error = 0;
        if (!fs::writeAt(m_fd, data, size, offset, &error))
            throw EDatabaseError(writeError(error));
    } else {
        saveOriginals(offset, end);
        // The range joins those it touches.
        auto lo = std::lower_bound(m_changed.begin(), m_changed.end(), offset,
                                   [](const Range& r, qint64 at) { return r.second < at; });
        auto hi = lo;
        qint64 from = offset, to = end;
        while (hi != m_changed.end() && hi->first <= to) {
            from = std::min(from, hi->first);
            to = std::max(to, hi->second);
            ++hi;
        }
        lo = m_changed.erase(lo, hi);
        m_changed.insert(lo, Range{from, to});
    }
    if (end > m_bytes.size()) {
        const qsizetype old = m_bytes.size();
        if (end > m_bytes.capacity()) {
            // Grown into a new block and copied, not reallocated in place:
            // memory that realloc moved with mremap reads many times slower
            // on some virtual machines, and the image is read row by row.
            QByteArray bigger;
            bigger.reserve(std::max<qsizetype>(end, m_bytes.capacity() * 2));
            bigger.append(m_bytes.constData(), m_bytes.size());
            m_bytes.swap(bigger);
        }
        m_bytes.resize(end);
        std::memset(m_bytes.data() + old, 0, size_t(end - old));
    }
    std::memcpy(m_bytes.data() + offset, data, size_t(size));
}

void TableFile::saveOriginals(qint64 offset, qint64 end)
{
    // The bytes about to be replaced, where no earlier write of the change
    // replaced them already and the file had them.
    auto r = std::lower_bound(m_changed.begin(), m_changed.end(), offset,
                              [](const Range& range, qint64 at) { return range.second <= at; });
    qint64 pos = offset;
    while (pos < end) {
        if (r != m_changed.end() && r->first <= pos) {
            pos = std::max(pos, r->second);
            ++r;
            continue;
        }
        const qint64 gapEnd = r != m_changed.end() ? std::min(end, r->first) : end;
        // Bytes beyond the image's end were saved when the change cut it.
        const qint64 keepEnd = std::min({gapEnd, m_sizeBefore, qint64(m_bytes.size())});
        if (pos < keepEnd) {
            m_originals.push_back({pos, keepEnd - pos, m_saved.size()});
            m_saved.append(m_bytes.constData() + pos, keepEnd - pos);
        }
        pos = gapEnd;
    }
}

void TableFile::truncate(qint64 size)
{
    if (!m_recording || size < 0 || size >= m_bytes.size())
        return;
    saveOriginals(size, m_bytes.size());
    // Written ranges end where the file now ends.
    while (!m_changed.empty() && m_changed.back().first >= size)
        m_changed.pop_back();
    if (!m_changed.empty() && m_changed.back().second > size)
        m_changed.back().second = size;
    m_bytes.truncate(size);
}

void TableFile::setImage(QByteArray bytes)
{
    m_bytes = std::move(bytes);
    m_recording = false;
    m_changed.clear();
    m_originals.clear();
}

void TableFile::undoChange()
{
    if (!m_recording)
        return;
    // A change that cut the file short saved the bytes it cut off.
    if (m_bytes.size() < m_sizeBefore)
        m_bytes.resize(m_sizeBefore);
    for (auto it = m_originals.rbegin(); it != m_originals.rend(); ++it)
        std::memcpy(m_bytes.data() + it->offset, originalBytes(*it), size_t(it->size));
    if (m_bytes.size() > m_sizeBefore)
        m_bytes.truncate(m_sizeBefore);
    endChange();
}

void TableFile::endChange()
{
    m_recording = false;
    m_changed.clear();
    m_originals.clear();
    m_saved.truncate(0); // keeps its room for the next change
}

} // namespace vedomec::data
