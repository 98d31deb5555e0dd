#pragma once
// The files of a table as the store writes them: each file's bytes kept in
// memory as they are on disk, changes recorded with the bytes they replace,
// and a rollback journal beside the table that makes one change of a .DBF
// and its .MDX whole or absent after a crash or a failed write.
//
// One change is written out so:
//   1. the journal gets the original bytes of every range the change will
//      overwrite, the file sizes before and after, and a checksum of each
//      range's new bytes, marked as one unfinished change;
//   2. the new bytes go to the table's files;
//   3. the journal is marked idle.
// Whoever finds an unfinished change (the next change, a reader that notices
// the journal moved, the next opening) looks at the files: when every range
// holds its new bytes the change is complete and stays, otherwise the
// original bytes go back and the files are cut to their old sizes.  No
// single write decides, so the mark of step 3 needs no flush of its own.
// A change of one range inside one memory page of a file that does not grow
// (an answer stored in its row) is written without the journal: the kernel
// puts a write within one page into the file whole or not at all.
//
// The journal's first page also carries a count of changes.  It is mapped
// into memory for reading, so a copy of the program sees another's change by
// reading one word, without a system call, and reloads its image of the
// files.  It is written with ordinary writes, whose failure is an error like
// any other, and mapped only once its page is reserved on the disk.  On a
// network file system the mapping is not shared between machines, and where
// the page cannot be reserved it could not be read safely; there the page is
// read under the lock instead.
#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>
#include <utility>
#include <memory>
#include <vector>

namespace vedomec::data {

class TableFile {
public:
    enum class Kind { Table, Index }; // for the texts of errors

    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Opens the file, for writing when asked and the file permits it; reads
    // nothing yet.  Throws EDatabaseError.
    static std::unique_ptr<TableFile> open(const QString& path, bool forWriting, Kind kind);
    // A file that exists only in memory (read only).
    static std::unique_ptr<TableFile> fromBytes(const QByteArray& bytes, const QString& name, Kind kind);

    QString path() const { return m_path; }
    int fd() const { return m_fd; }
    bool writable() const { return m_writable && m_fd >= 0; }
    Kind kind() const { return m_kind; }

    // Reads the whole file into memory; larger than `maxSize` is damage.
    void load(qint64 maxSize);
    // Whether the path now names another file than the one open (it was
    // replaced, as a rebuilt index is).
    bool replacedOnDisk() const;
    // Reads the file as it is on disk now, without touching the image.
    QByteArray readDisk() const;
    // Replaces the image without writing the file (a change that stopped
    // half way, undone in memory only).
    void setImage(QByteArray bytes);

    const QByteArray& bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }

    // Changes.  While a change is recorded, a write changes only the image
    // and is remembered with the bytes it replaced; otherwise it goes
    // straight to the file as well (throws EDatabaseError when it fails).
    void beginChange();
    bool recording() const { return m_recording; }
    void write(qint64 offset, const char* data, qint64 size);
    // Cuts the image short, as part of the recorded change (nothing happens
    // otherwise); the bytes cut off are remembered like replaced ones.
    void truncate(qint64 size);
    // Puts the replaced bytes back into the image and forgets the change.
    void undoChange();
    // Forgets the record of the change; the image keeps the new bytes.
    void endChange();

    struct Original {
        qint64 offset; // in the file
        qint64 size;
        qint64 at;     // in the saved bytes
    };
    using Range = std::pair<qint64, qint64>; // [from, to)
    // The recorded change: the ranges written (merged, in file order), the
    // bytes they replaced within the old size, and the size before.
    const std::vector<Range>& changedRanges() const { return m_changed; }
    const std::vector<Original>& originals() const { return m_originals; }
    const char* originalBytes(const Original& o) const { return m_saved.constData() + o.at; }
    qint64 sizeBefore() const { return m_sizeBefore; }

    QString writeError(int error) const;

private:
    TableFile() = default;
    void saveOriginals(qint64 offset, qint64 end);

    QString m_path;
    int m_fd = -1;
    bool m_writable = false;
    Kind m_kind = Kind::Table;
    quint64 m_dev = 0, m_ino = 0;
    QByteArray m_bytes;

    bool m_recording = false;
    qint64 m_sizeBefore = 0;
    std::vector<Range> m_changed;
    std::vector<Original> m_originals;
    QByteArray m_saved; // the original bytes, back to back
};

class TableJournal {
public:
    ~TableJournal();
    TableJournal(const TableJournal&) = delete;
    TableJournal& operator=(const TableJournal&) = delete;

    // The journal of the table at `tablePath` (the file beside it, named
    // after it with "-journal" added), created when missing with the table's
    // permissions and the folder's group (`create`: only by a program that
    // may write the table; a reader leaves none behind).  nullptr when there
    // is none and the folder cannot hold one.  While open it is marked in use
    // by a shared lock, so that nobody deletes it.  `network`: the folder is
    // shared by other machines.
    static std::unique_ptr<TableJournal> open(const QString& tablePath, bool network, bool create = true);
    // A journal this program may not write (another account left it) beside
    // a table it may write: with the table's change lock held exclusively,
    // an unfinished change it records put right on the files already, and
    // nobody else having it open, it goes and a new one of this program's takes its place.
    // Otherwise `old` comes back as it was.
    static std::unique_ptr<TableJournal> replaceUnwritable(std::unique_ptr<TableJournal> old,
                                                           const QString& tablePath, bool network);
    // Whether the path still names the file open (a journal replaced meanwhile
    // is another file).
    bool stillNamed() const;
    static QString pathFor(const QString& tablePath);
    // Whether the journal beside the table records a change that has not
    // been looked at since (read without opening the table).
    static bool unfinishedChangeRecorded(const QString& tablePath);

    QString path() const { return m_path; }
    bool writable() const { return m_writable; }

    // With the table's change lock held exclusively: reserves the file's
    // header page and maps it, when the folder is local and the disk has
    // room for it.
    void prepare();
    // The change count and the unfinished mark as the file holds them now.
    quint64 counter() const;
    bool pending() const;
    // The mapped change count, or nullptr (network folder, read-only
    // journal): the word other programs' changes move.
    const quint64* counterWord() const { return m_map ? m_counterWord : nullptr; }

    // Announces a change made without the journal; throws EDatabaseError
    // when the journal cannot be written.
    void bump();
    // Marks the recorded change as done (or undone); false with the errno
    // value in *error when the journal cannot be written.
    bool markIdle(int* error);
    // Marks the recorded change as one to undo even where all of it reached
    // the files: its caller was told it failed.
    void markAbandoned();

    // Deletes the journal when nobody else has it open and it records no
    // unfinished change; closes it in any case.
    void closeAndRemoveIfUnused();

    // The raw writing and reading of the journal's change record.
    void writeRecord(const QByteArray& record, bool sync);
    QByteArray readAt(qint64 offset, qint64 size) const;
    int fd() const { return m_fd; }

private:
    TableJournal() = default;
    bool writeHeaderWord(int offset, quint64 value, int* error);

    QString m_path;
    int m_fd = -1;
    bool m_writable = false;
    bool m_network = false;
    void* m_map = nullptr;
    const quint64* m_counterWord = nullptr;
    const quint32* m_stateWord = nullptr;
};

// A 64-bit checksum of a byte range; good at telling two versions of a
// block apart, nothing more.
quint64 rangeChecksum(const char* data, qint64 size);

// Today, for the "last update" stamps in the files' headers.  Asking the
// system costs a look at the time zone file, so the date is asked for at
// most once a second.
QDate updateStampDate();

struct CommitOptions {
    bool sync = false;         // flush journal and files before going on
    bool allowDirect = true;   // a one-page change may skip the journal
    QString tableName;         // for errors
};

// A change as it went to a table's files: for the .DBF and the .MDX, the
// sizes before and after, the bytes it replaced and the bytes it wrote;
// enough to take the change back while the files still hold what it wrote.
struct WrittenChange {
    struct Piece {
        qint64 offset = 0; // in the file
        qint64 size = 0;
        qint64 at = 0;     // in `bytes`
    };
    struct File {
        bool changed = false;
        qint64 sizeBefore = 0, sizeAfter = 0;
        std::vector<Piece> before, after;
    };
    File files[2];
    QByteArray bytes; // the pieces' bytes, back to back
    const char* data(const Piece& p) const { return bytes.constData() + p.at; }
    bool empty() const { return !files[0].changed && !files[1].changed; }
};

// Describes into `out` what the changes recorded on the files will write
// (before commitChange); `out` keeps its room from one change to the next.
void describeChange(const TableFile* dbf, const TableFile* mdx, WrittenChange& out);

// Writes out the changes recorded on `files` (the table's .DBF, then its
// .MDX or nullptr) as one change; see the top of this file.  On failure the
// files on disk are as before (or the journal records how to make them so),
// the images in memory are as before, and EDatabaseError is thrown.
void commitChange(TableJournal* journal, TableFile* dbf, TableFile* mdx, const CommitOptions& options);

// Undoes the images' recorded changes without writing anything.
void abandonChange(TableFile* dbf, TableFile* mdx);

// What became of a change that stopped half way.
enum class Recovery {
    None,     // the journal records no unfinished change
    NotBegun, // its record was never written whole: the files were not touched
    Kept,     // every range held its new bytes: the change stays
    Undone,   // the original bytes went back
};

// Looks at an unfinished change the journal records (with the table's
// change lock held exclusively): keeps it when every range holds its new
// bytes, else puts the original bytes back.  Marks the journal idle.
// Throws EDatabaseError when it cannot write; the journal then stays as it
// was.
Recovery recoverChange(TableJournal& journal, TableFile* dbf, TableFile* mdx, bool sync);

// The same judgement on the images of files loaded under the change lock
// (shared is enough), for a reader that may not write them: an undone
// change is undone in the images only.  The journal is read, not changed.
Recovery recoverChangeInImages(const QString& tablePath, TableFile* dbf, TableFile* mdx);

// A table's files read as the next program to open the table would find
// them: with a change that stopped half way kept or undone, on the files
// themselves when this program may write them (under the change lock held
// exclusively), else in the images only (which then stand apart from the
// files).  `mdxPath` empty: the table's index is not read.
struct TableSnapshot {
    std::unique_ptr<TableFile> dbf, mdx;
    Recovery recovery = Recovery::None;
};
TableSnapshot readTableSnapshot(const QString& dbfPath, const QString& mdxPath = QString());

// What a recovery did, for the user; empty for Recovery::None.
QString recoveryText(Recovery recovery, const QString& tablePath);

namespace detail {
// Reads `size` bytes at `offset`, going on after short reads; *got is less
// than `size` only at the end of the file.  False when the read fails.
bool readFully(int fd, char* data, qint64 size, qint64 offset, qint64* got);
} // namespace detail

} // namespace vedomec::data
