// The rollback journal beside a table and the writing out (and recovery) of
// one change of a table's files through it; see TableFile.h.
#include "data/TableFile.h"

#include "data/Locks.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/SharedFolder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::data {

using detail::readFully;

namespace {

// The journal's header; the change record follows it at kRecordStart.
//    0  magic
//    8  count of changes (the word other programs watch)
//   16  state: 0 idle, 1 an unfinished change is recorded, 2 a change that
//       failed and is to be undone whatever reached the files
//   20  number of files (2: the .DBF and the .MDX)
//   24  length of the record's entries
//   32  checksum of the entries
//   40  sizes of the two files before the change
//   56  sizes of the two files after it
//   72  checksum of the header (magic and bytes 20-71)
constexpr char kMagic[8] = {'V', 'D', 'J', 'O', 'U', 'R', 'N', '1'};
constexpr int kCounterAt = 8;
constexpr int kStateAt = 16;
constexpr int kFilesAt = 20;
constexpr int kLengthAt = 24;
constexpr int kEntriesSumAt = 32;
constexpr int kBeforeAt = 40;
constexpr int kAfterAt = 56;
constexpr int kHeaderSumAt = 72;
constexpr qint64 kRecordStart = 80;
constexpr quint32 kAbandoned = 2;
constexpr qint64 kMappedBytes = 4096;
constexpr qint64 kMaxRecord = qint64(1) << 30;
constexpr quint64 kNoFile = ~quint64(0);
// Every program that has the table open holds this byte of the journal
// shared, so none deletes the journal under another.
constexpr qint64 kPresenceByte = 0x7FFFFFF0;
// An entry: file (4), kind (4), offset (8), length (8), checksum (8), then
// for an original its bytes padded to 8.
constexpr int kEntryHead = 32;
enum EntryKind : quint32 { kOriginal = 0, kNewBytes = 1 };

void put32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
void put64(char* p, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
quint32 get32(const char* p)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(quint8(p[i])) << (8 * i);
    return v;
}
quint64 get64(const char* p)
{
    quint64 v = 0;
    for (int i = 0; i < 8; ++i)
        v |= quint64(quint8(p[i])) << (8 * i);
    return v;
}

QString systemText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

qint64 memoryPage()
{
    static const qint64 page = [] {
        const long p = ::sysconf(_SC_PAGESIZE);
        return p > 0 ? qint64(p) : qint64(4096);
    }();
    return page;
}

quint64 headerChecksum(const char* header)
{
    char buf[8 + kHeaderSumAt - kFilesAt];
    std::memcpy(buf, header, 8);
    std::memcpy(buf + 8, header + kFilesAt, size_t(kHeaderSumAt - kFilesAt));
    return rangeChecksum(buf, qint64(sizeof buf));
}

} // namespace

// ---------------------------------------------------------------------------
// TableJournal

QString TableJournal::pathFor(const QString& tablePath)
{
    return tablePath + QStringLiteral("-journal");
}

bool TableJournal::unfinishedChangeRecorded(const QString& tablePath)
{
    QFile f(pathFor(tablePath));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(kStateAt + 4);
    return head.size() == kStateAt + 4 && std::memcmp(head.constData(), kMagic, 8) == 0
        && get32(head.constData() + kStateAt) != 0;
}

std::unique_ptr<TableJournal> TableJournal::open(const QString& tablePath, bool network, bool create)
{
    const QString path = pathFor(tablePath);
    const QByteArray native = QFile::encodeName(path);
    struct stat table {};
    const mode_t mode = ::stat(QFile::encodeName(tablePath).constData(), &table) == 0 ? (table.st_mode & 0666) : 0644;
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool writable = true;
        int fd = create ? ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode) : -1;
        if (fd >= 0) {
            // Whoever may write the table may write its journal, whatever
            // the creator's umask; in a class's folder the class may.
            fs::takeFolderRights(fd, fs::folderOf(path), mode);
        } else if (!create || errno == EEXIST) {
            fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
            if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
                fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
                writable = false;
            }
            if (fd < 0 && errno == ENOENT) {
                if (!create)
                    return nullptr; // none there: nothing to look at
                continue;           // deleted between the two calls
            }
        } else if (errno == EACCES || errno == EPERM || errno == EROFS) {
            fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
            writable = false;
        }
        if (fd < 0)
            return nullptr;
        try {
            lockWithin(fd, kPresenceByte, LockMode::Shared, path);
        } catch (...) {
            ::close(fd);
            throw;
        }
        // The last user may have deleted the file before we marked it.
        struct stat mine {}, named {};
        if (::fstat(fd, &mine) != 0 || ::stat(native.constData(), &named) != 0 || mine.st_dev != named.st_dev
            || mine.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        std::unique_ptr<TableJournal> j(new TableJournal);
        j->m_path = path;
        j->m_fd = fd;
        j->m_writable = writable;
        j->m_network = network;
        return j;
    }
    throw EDatabaseError(QStringLiteral("Cannot open the journal %1").arg(path));
}

std::unique_ptr<TableJournal> TableJournal::replaceUnwritable(std::unique_ptr<TableJournal> old,
                                                             const QString& tablePath, bool network)
{
    if (!old || old->m_writable)
        return old;
    // Somebody else has it open: it stays, and this program does not write.
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kPresenceByte;
    fl.l_len = 1;
    if (::fcntl(old->m_fd, F_OFD_GETLK, &fl) != 0 || fl.l_type != F_UNLCK)
        return old;
    if (::unlink(QFile::encodeName(old->m_path).constData()) != 0)
        return old;
    old.reset();
    return open(tablePath, network, true);
}

bool TableJournal::stillNamed() const
{
    struct stat mine {}, named {};
    return m_fd >= 0 && ::fstat(m_fd, &mine) == 0 && ::stat(QFile::encodeName(m_path).constData(), &named) == 0
        && mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

TableJournal::~TableJournal()
{
    if (m_map)
        ::munmap(m_map, size_t(kMappedBytes));
    if (m_fd >= 0)
        ::close(m_fd);
}

void TableJournal::prepare()
{
    if (m_map || m_fd < 0 || m_network)
        return;
    // A mapped page the file system cannot back ends the program with a bus
    // error at the first touch (a full disk, a tmpfs at its size), so the
    // page is mapped only where it is known to be backed: reserved here, or
    // for a journal this program may not write, found with no hole.  Nothing
    // is ever written through the mapping; where the page cannot be had the
    // count is read under the lock instead.
    bool backed = false;
    if (m_writable) {
        int r = 0;
        while ((r = ::fallocate(m_fd, 0, 0, off_t(kMappedBytes))) != 0 && errno == EINTR) {
        }
        backed = r == 0;
    } else {
        struct stat st {};
        backed = ::fstat(m_fd, &st) == 0 && st.st_size >= kMappedBytes && ::lseek(m_fd, 0, SEEK_HOLE) >= kMappedBytes;
    }
    if (!backed)
        return;
    void* map = ::mmap(nullptr, size_t(kMappedBytes), PROT_READ, MAP_SHARED, m_fd, 0);
    if (map == MAP_FAILED)
        return;
    m_map = map;
    m_counterWord = reinterpret_cast<const quint64*>(static_cast<const char*>(map) + kCounterAt);
    m_stateWord = reinterpret_cast<const quint32*>(static_cast<const char*>(map) + kStateAt);
}

quint64 TableJournal::counter() const
{
    if (m_map)
        return __atomic_load_n(m_counterWord, __ATOMIC_ACQUIRE);
    const QByteArray b = readAt(kCounterAt, 8);
    return b.size() == 8 ? get64(b.constData()) : 0;
}

bool TableJournal::pending() const
{
    if (m_map)
        return __atomic_load_n(m_stateWord, __ATOMIC_ACQUIRE) != 0;
    const QByteArray b = readAt(kStateAt, 4);
    return b.size() == 4 && get32(b.constData()) != 0;
}

bool TableJournal::writeHeaderWord(int offset, quint64 value, int* error)
{
    char buf[8];
    put64(buf, value);
    const int size = offset == kStateAt ? 4 : 8;
    qint64 done = 0;
    while (done < size) {
        const ssize_t w = ::pwrite(m_fd, buf + done, size_t(size - done), off_t(offset + done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            *error = w < 0 ? errno : ENOSPC;
            return false;
        }
        done += w;
    }
    return true;
}

void TableJournal::bump()
{
    int error = 0;
    if (m_writable && !writeHeaderWord(kCounterAt, counter() + 1, &error))
        throw EDatabaseError(QStringLiteral("Cannot write the journal %1: %2").arg(m_path, systemText(error)));
}

bool TableJournal::markIdle(int* error)
{
    return !m_writable || writeHeaderWord(kStateAt, 0, error);
}

void TableJournal::markAbandoned()
{
    int ignored = 0;
    if (m_writable)
        writeHeaderWord(kStateAt, kAbandoned, &ignored);
}

void TableJournal::closeAndRemoveIfUnused()
{
    if (m_fd < 0)
        return;
    int error = 0;
    if (m_writable && tryLock(m_fd, kPresenceByte, LockMode::Exclusive, &error) && !pending()) {
        const QByteArray native = QFile::encodeName(m_path);
        struct stat mine {}, named {};
        if (::fstat(m_fd, &mine) == 0 && ::stat(native.constData(), &named) == 0 && mine.st_dev == named.st_dev
            && mine.st_ino == named.st_ino)
            ::unlink(native.constData());
    }
    if (m_map)
        ::munmap(m_map, size_t(kMappedBytes));
    m_map = nullptr;
    ::close(m_fd);
    m_fd = -1;
}

void TableJournal::writeRecord(const QByteArray& record, bool sync)
{
    int error = 0;
    if (!fs::writeAt(m_fd, record.constData(), record.size(), 0, &error)
        || (sync && !fs::syncData(m_fd, &error)))
        throw EDatabaseError(QStringLiteral("Cannot write the journal %1: %2").arg(m_path, systemText(error)));
}

QByteArray TableJournal::readAt(qint64 offset, qint64 size) const
{
    QByteArray b(qsizetype(size), Qt::Uninitialized);
    qint64 got = 0;
    if (m_fd < 0 || !readFully(m_fd, b.data(), size, offset, &got))
        return {};
    b.resize(got);
    return b;
}

// ---------------------------------------------------------------------------
// Changes

namespace {

QByteArray buildRecord(quint64 counter, TableFile* const files[2])
{
    qint64 length = 0;
    for (int i = 0; i < 2; ++i) {
        const TableFile* f = files[i];
        if (!f || !f->recording())
            continue;
        for (const TableFile::Original& o : f->originals())
            length += kEntryHead + (o.size + 7) / 8 * 8;
        length += kEntryHead * qint64(f->changedRanges().size());
    }
    QByteArray record(kRecordStart + length, '\0');
    char* e = record.data() + kRecordStart;
    quint64 before[2] = {kNoFile, kNoFile};
    quint64 after[2] = {kNoFile, kNoFile};
    for (int i = 0; i < 2; ++i) {
        TableFile* f = files[i];
        if (!f)
            continue;
        before[i] = quint64(f->recording() ? f->sizeBefore() : f->size());
        after[i] = quint64(f->size());
        if (!f->recording())
            continue;
        for (const TableFile::Original& o : f->originals()) {
            put32(e, quint32(i));
            put32(e + 4, kOriginal);
            put64(e + 8, quint64(o.offset));
            put64(e + 16, quint64(o.size));
            std::memcpy(e + kEntryHead, f->originalBytes(o), size_t(o.size));
            e += kEntryHead + (o.size + 7) / 8 * 8;
        }
        for (const auto& [from, to] : f->changedRanges()) {
            put32(e, quint32(i));
            put32(e + 4, kNewBytes);
            put64(e + 8, quint64(from));
            put64(e + 16, quint64(to - from));
            put64(e + 24, rangeChecksum(f->bytes().constData() + from, to - from));
            e += kEntryHead;
        }
    }
    char* h = record.data();
    std::memcpy(h, kMagic, 8);
    put64(h + kCounterAt, counter);
    put32(h + kStateAt, 1);
    put32(h + kFilesAt, 2);
    put64(h + kLengthAt, quint64(length));
    put64(h + kEntriesSumAt, rangeChecksum(record.constData() + kRecordStart, length));
    for (int i = 0; i < 2; ++i) {
        put64(h + kBeforeAt + 8 * i, before[i]);
        put64(h + kAfterAt + 8 * i, after[i]);
    }
    put64(h + kHeaderSumAt, headerChecksum(h));
    return record;
}

// Writes a range of the image.  The bytes go to the kernel from a small
// buffer of their own: the kernel reading straight from the large image
// touches page after page of it, which some virtual machines make costly.
bool writeRange(const TableFile* f, qint64 from, qint64 to, int* error)
{
    constexpr qint64 kStaged = 64 * 1024;
    if (to - from > kStaged)
        return fs::writeAt(f->fd(), f->bytes().constData() + from, to - from, from, error);
    thread_local std::vector<char> staged(kStaged);
    std::memcpy(staged.data(), f->bytes().constData() + from, size_t(to - from));
    return fs::writeAt(f->fd(), staged.data(), to - from, from, error);
}

bool truncateIfNeeded(TableFile* f, qint64 size, int* error)
{
    struct stat st {};
    if (::fstat(f->fd(), &st) != 0) {
        *error = errno;
        return false;
    }
    return st.st_size == size || fs::truncateTo(f->fd(), size, error);
}

} // namespace

void describeChange(const TableFile* dbf, const TableFile* mdx, WrittenChange& out)
{
    out.bytes.truncate(0);
    const TableFile* const files[2] = {dbf, mdx};
    for (int i = 0; i < 2; ++i) {
        const TableFile* f = files[i];
        WrittenChange::File& w = out.files[i];
        w.before.clear();
        w.after.clear();
        w.changed = f && f->recording() && (!f->changedRanges().empty() || f->size() != f->sizeBefore());
        if (!w.changed)
            continue;
        w.sizeBefore = f->sizeBefore();
        w.sizeAfter = f->size();
        for (const TableFile::Original& o : f->originals()) {
            w.before.push_back({o.offset, o.size, out.bytes.size()});
            out.bytes.append(f->originalBytes(o), qsizetype(o.size));
        }
        for (const auto& [from, to] : f->changedRanges()) {
            w.after.push_back({from, to - from, out.bytes.size()});
            out.bytes.append(f->bytes().constData() + from, qsizetype(to - from));
        }
    }
}

void abandonChange(TableFile* dbf, TableFile* mdx)
{
    if (dbf)
        dbf->undoChange();
    if (mdx)
        mdx->undoChange();
}

void commitChange(TableJournal* journal, TableFile* dbf, TableFile* mdx, const CommitOptions& options)
{
    TableFile* const files[2] = {dbf, mdx};
    int ranges = 0;
    bool resized = false;
    TableFile* only = nullptr;
    for (TableFile* f : files) {
        if (!f || !f->recording())
            continue;
        if (!f->changedRanges().empty()) {
            ranges += int(f->changedRanges().size());
            only = f;
        }
        resized = resized || f->size() != f->sizeBefore();
    }
    if (ranges == 0 && !resized) {
        abandonChange(dbf, mdx);
        return;
    }

    if (ranges == 1 && !resized && !options.sync && options.allowDirect) {
        const auto [from, to] = *only->changedRanges().begin();
        const qint64 page = memoryPage();
        if (to <= only->sizeBefore() && only->size() == only->sizeBefore() && from / page == (to - 1) / page) {
            // The others are told first: a count that cannot be written
            // stops the change before anything of it reached the file.
            if (journal) {
                try {
                    journal->bump();
                } catch (...) {
                    abandonChange(dbf, mdx);
                    throw;
                }
            }
            int error = 0;
            if (!writeRange(only, from, to, &error)) {
                // Whatever part of the range reached the file goes back.
                int ignored = 0;
                for (const TableFile::Original& o : only->originals())
                    fs::writeAt(only->fd(), only->originalBytes(o), o.size, o.offset, &ignored);
                abandonChange(dbf, mdx);
                throw EDatabaseError(only->writeError(error));
            }
            if (dbf)
                dbf->endChange();
            if (mdx)
                mdx->endChange();
            return;
        }
    }

    if (!journal || !journal->writable()) {
        abandonChange(dbf, mdx);
        throw EDatabaseError(QStringLiteral("Cannot write to table '%1': its journal %2 cannot be written in that folder")
                                 .arg(options.tableName, journal ? journal->path() : TableJournal::pathFor(options.tableName)));
    }
    const QByteArray record = buildRecord(journal->counter() + 1, files);
    try {
        journal->writeRecord(record, options.sync);
    } catch (...) {
        // No file was touched; a record that did reach the journal describes
        // a change whose new bytes are nowhere, so it would be undone, to the
        // same bytes.
        int ignored = 0;
        journal->markIdle(&ignored);
        abandonChange(dbf, mdx);
        throw;
    }

    int error = 0;
    TableFile* failed = nullptr;
    for (TableFile* f : files) {
        if (!f || !f->recording())
            continue;
        for (const auto& [from, to] : f->changedRanges())
            if (!writeRange(f, from, to, &error)) {
                failed = f;
                break;
            }
        const bool changed = !f->changedRanges().empty() || f->size() != f->sizeBefore();
        if (!failed && f->size() < f->sizeBefore() && !truncateIfNeeded(f, f->size(), &error))
            failed = f;
        if (!failed && options.sync && changed && !fs::syncData(f->fd(), &error))
            failed = f;
        if (failed)
            break;
    }
    // A change whose journal still calls it unfinished is not done: a
    // later change of the same bytes made without the journal would be
    // undone with it.
    if (!failed && !journal->markIdle(&error))
        failed = dbf ? dbf : mdx;
    if (!failed) {
        if (dbf)
            dbf->endChange();
        if (mdx)
            mdx->endChange();
        return;
    }

    // Back to the bytes before; when even that fails the journal keeps the
    // record, and whoever uses the table next undoes the change, even where
    // all of it reached the files (a flush that failed).
    journal->markAbandoned();
    bool restored = true;
    for (TableFile* f : files) {
        if (!f || !f->recording())
            continue;
        int ignored = 0;
        for (const TableFile::Original& o : f->originals())
            restored = fs::writeAt(f->fd(), f->originalBytes(o), o.size, o.offset, &ignored) && restored;
        restored = truncateIfNeeded(f, f->sizeBefore(), &ignored) && restored;
        if (options.sync)
            restored = fs::syncData(f->fd(), &ignored) && restored;
    }
    int ignored = 0;
    restored = restored && journal->markIdle(&ignored);
    const QString message = failed->writeError(error);
    abandonChange(dbf, mdx);
    throw EDatabaseError(restored ? message
                                  : message + QStringLiteral("; the change is undone when the table is next opened"));
}

namespace {

struct Entry {
    int file;
    quint32 kind;
    qint64 offset;
    qint64 size;
    quint64 sum;
    const char* bytes;
};

// A journal's change record, read from its bytes.
struct Record {
    bool abandoned = false;
    quint64 before[2] = {kNoFile, kNoFile};
    quint64 after[2] = {kNoFile, kNoFile};
    QByteArray entryBytes; // the entries below point into it
    std::vector<Entry> entries;
};

// The record of a journal whose state marks an unfinished change; nullopt
// when the record was never written whole, so describes no change that
// began.  Throws EDatabaseError when it is damaged beyond that, or names a
// file that is missing (`present`).
std::optional<Record> parseRecord(const QString& journalPath, const QByteArray& header,
                                  const std::function<QByteArray(qint64, qint64)>& readAt, const bool present[2])
{
    if (header.size() < kRecordStart)
        return std::nullopt;
    const char* h = header.constData();
    const qint64 length = qint64(get64(h + kLengthAt));
    if (std::memcmp(h, kMagic, 8) != 0 || get64(h + kHeaderSumAt) != headerChecksum(h) || get32(h + kFilesAt) != 2
        || length < 0 || length > kMaxRecord)
        return std::nullopt;
    Record r;
    r.entryBytes = readAt(kRecordStart, length);
    if (r.entryBytes.size() != length || rangeChecksum(r.entryBytes.constData(), length) != get64(h + kEntriesSumAt))
        return std::nullopt;
    r.abandoned = get32(h + kStateAt) == kAbandoned;
    for (int i = 0; i < 2; ++i) {
        r.before[i] = get64(h + kBeforeAt + 8 * i);
        r.after[i] = get64(h + kAfterAt + 8 * i);
    }
    const QString damaged = QStringLiteral("The journal %1 is not valid").arg(journalPath);
    for (qint64 at = 0; at < length;) {
        if (length - at < kEntryHead)
            throw EDatabaseError(damaged);
        const char* e = r.entryBytes.constData() + at;
        Entry en{int(get32(e)), get32(e + 4), qint64(get64(e + 8)), qint64(get64(e + 16)), get64(e + 24), e + kEntryHead};
        if (en.file < 0 || en.file > 1 || en.offset < 0 || en.size < 0 || en.size > kMaxRecord || en.offset > kMaxRecord * 4)
            throw EDatabaseError(damaged);
        at += kEntryHead;
        if (en.kind == kOriginal) {
            const qint64 padded = (en.size + 7) / 8 * 8;
            if (length - at < padded)
                throw EDatabaseError(damaged);
            at += padded;
        } else if (en.kind != kNewBytes) {
            throw EDatabaseError(damaged);
        }
        if (!present[en.file])
            throw EDatabaseError(QStringLiteral("The journal %1 records a change of a file that is missing").arg(journalPath));
        r.entries.push_back(en);
    }
    return r;
}

// Whether every file has the size the change gave it and every range its
// new bytes, as `sizeOf` and `read` find them.
bool changeComplete(const Record& r, const std::function<qint64(int)>& sizeOf,
                    const std::function<bool(int, qint64, qint64, QByteArray*)>& read)
{
    for (int i = 0; i < 2; ++i)
        if (r.after[i] != kNoFile && sizeOf(i) >= 0 && quint64(sizeOf(i)) != r.after[i])
            return false;
    QByteArray now;
    for (const Entry& en : r.entries)
        if (en.kind == kNewBytes && (!read(en.file, en.offset, en.size, &now) || rangeChecksum(now.constData(), en.size) != en.sum))
            return false;
    return true;
}

} // namespace

Recovery recoverChange(TableJournal& journal, TableFile* dbf, TableFile* mdx, bool sync)
{
    TableFile* const files[2] = {dbf, mdx};
    const QByteArray header = journal.readAt(0, kRecordStart);
    if (header.size() < kRecordStart || get32(header.constData() + kStateAt) == 0)
        return Recovery::None;
    const bool present[2] = {dbf != nullptr, mdx != nullptr};
    const std::optional<Record> record =
        parseRecord(journal.path(), header, [&](qint64 at, qint64 size) { return journal.readAt(at, size); }, present);
    // A journal that goes on calling the change unfinished would have it
    // undone again later, over whatever was written since.
    const auto markIdle = [&] {
        int error = 0;
        if (!journal.markIdle(&error))
            throw EDatabaseError(QStringLiteral("Cannot write the journal %1: %2").arg(journal.path(), systemText(error)));
    };
    if (!record) {
        markIdle();
        return Recovery::NotBegun;
    }
    const auto sizeOf = [&](int i) -> qint64 {
        struct stat st {};
        return files[i] && ::fstat(files[i]->fd(), &st) == 0 ? qint64(st.st_size) : -2;
    };
    const auto read = [&](int i, qint64 offset, qint64 size, QByteArray* out) {
        out->resize(qsizetype(size));
        qint64 got = 0;
        return readFully(files[i]->fd(), out->data(), size, offset, &got) && got == size;
    };
    if (!record->abandoned && changeComplete(*record, sizeOf, read)) {
        markIdle();
        return Recovery::Kept;
    }

    for (TableFile* f : files)
        if (f && !f->writable())
            throw EDatabaseError(
                QStringLiteral("Table '%1' holds an unfinished change that only a program allowed to write it can undo")
                    .arg(f->path()));
    int error = 0;
    for (const Entry& en : record->entries)
        if (en.kind == kOriginal && !fs::writeAt(files[en.file]->fd(), en.bytes, en.size, en.offset, &error))
            throw EDatabaseError(files[en.file]->writeError(error));
    for (int i = 0; i < 2; ++i) {
        if (!files[i] || record->before[i] == kNoFile)
            continue;
        if (!truncateIfNeeded(files[i], qint64(record->before[i]), &error)
            || (sync && !fs::syncData(files[i]->fd(), &error)))
            throw EDatabaseError(files[i]->writeError(error));
    }
    markIdle();
    return Recovery::Undone;
}

Recovery recoverChangeInImages(const QString& tablePath, TableFile* dbf, TableFile* mdx)
{
    QFile file(TableJournal::pathFor(tablePath));
    if (!file.open(QIODevice::ReadOnly))
        return Recovery::None;
    const QByteArray header = file.read(kRecordStart);
    if (header.size() < kStateAt + 4 || std::memcmp(header.constData(), kMagic, 8) != 0
        || get32(header.constData() + kStateAt) == 0)
        return Recovery::None;
    TableFile* const files[2] = {dbf, mdx};
    const bool present[2] = {dbf != nullptr, mdx != nullptr};
    const std::optional<Record> record = parseRecord(file.fileName(), header,
                                                     [&](qint64 at, qint64 size) {
                                                         return file.seek(at) ? file.read(size) : QByteArray();
                                                     },
                                                     present);
    if (!record)
        return Recovery::NotBegun;
    const auto sizeOf = [&](int i) -> qint64 { return files[i] ? files[i]->size() : -2; };
    const auto read = [&](int i, qint64 offset, qint64 size, QByteArray* out) {
        if (offset + size > files[i]->size())
            return false;
        *out = files[i]->bytes().mid(qsizetype(offset), qsizetype(size));
        return true;
    };
    if (!record->abandoned && changeComplete(*record, sizeOf, read))
        return Recovery::Kept;
    QByteArray images[2];
    for (int i = 0; i < 2; ++i)
        if (files[i])
            images[i] = files[i]->bytes();
    for (const Entry& en : record->entries) {
        if (en.kind != kOriginal)
            continue;
        QByteArray& image = images[en.file];
        if (image.size() < en.offset + en.size)
            image.resize(qsizetype(en.offset + en.size), '\0');
        std::memcpy(image.data() + en.offset, en.bytes, size_t(en.size));
    }
    for (int i = 0; i < 2; ++i) {
        if (!files[i])
            continue;
        if (record->before[i] != kNoFile)
            images[i].resize(qsizetype(record->before[i]), '\0');
        files[i]->setImage(std::move(images[i]));
    }
    return Recovery::Undone;
}

TableSnapshot readTableSnapshot(const QString& dbfPath, const QString& mdxPath)
{
    TableSnapshot s;
    s.dbf = TableFile::open(dbfPath, true, TableFile::Kind::Table);
    LockGuard lock(s.dbf->fd(), kChangeLockByte, LockMode::Shared, dbfPath);
    if (!mdxPath.isEmpty())
        s.mdx = TableFile::open(mdxPath, s.dbf->writable(), TableFile::Kind::Index);
    const auto load = [&] {
        s.dbf->load(qint64(2) * 1024 * 1024 * 1024);
        if (s.mdx)
            s.mdx->load(qint64(1) << 30);
    };
    if (!TableJournal::unfinishedChangeRecorded(dbfPath)) {
        load();
        return s;
    }
    if (s.dbf->writable() && (!s.mdx || s.mdx->writable())) {
        // As the program would at its next opening: under the change lock,
        // on the files themselves.
        lock.release();
        lock.take(s.dbf->fd(), kChangeLockByte, LockMode::Exclusive, dbfPath);
        std::unique_ptr<TableJournal> journal = TableJournal::open(dbfPath, fs::isNetworkFolder(QFileInfo(dbfPath).path()));
        if (journal) {
            try {
                journal->prepare();
                if (journal->pending())
                    s.recovery = recoverChange(*journal, s.dbf.get(), s.mdx.get(), true);
            } catch (...) {
                journal->closeAndRemoveIfUnused();
                throw;
            }
            journal->closeAndRemoveIfUnused();
        }
        load();
        return s;
    }
    // Nobody here may write the files: the change is undone in memory, and
    // the images stand apart from the files that still hold it.
    load();
    s.recovery = recoverChangeInImages(dbfPath, s.dbf.get(), s.mdx.get());
    if (s.recovery == Recovery::Undone) {
        s.dbf = TableFile::fromBytes(s.dbf->bytes(), dbfPath, TableFile::Kind::Table);
        if (s.mdx)
            s.mdx = TableFile::fromBytes(s.mdx->bytes(), mdxPath, TableFile::Kind::Index);
    }
    return s;
}

QString recoveryText(Recovery recovery, const QString& tablePath)
{
    const QString journal = TableJournal::pathFor(tablePath);
    switch (recovery) {
    case Recovery::None:
        break;
    case Recovery::NotBegun:
        return QStringLiteral("%1 recorded a change that had not reached the table; nothing was left to undo").arg(journal);
    case Recovery::Kept:
        return QStringLiteral("%1 recorded an unfinished change that had reached the table whole; it is kept").arg(journal);
    case Recovery::Undone:
        return QStringLiteral("%1 recorded an unfinished change; it is undone").arg(journal);
    }
    return QString();
}

} // namespace vedomec::data