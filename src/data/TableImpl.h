#pragma once
// The inside of the table cursor, shared by the files that read (Table.cpp)
// and write (TableWrite.cpp) through it; see Table.h.
#include "data/Table.h"

#include "data/CodePage.h"
#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Mdx.h"
#include "data/TableFile.h"
#include "data/TagCheck.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDate>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace vedomec::data {

inline void requireActive(const TTable* t)
{
    if (!t->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

struct TTable::Impl {
    // Settings, kept across Open/Close.
    QString folder;
    QString tableName;
    QString indexName;
    QList<FieldDef> defs;
    bool held = false;
    bool syncWrites = false;

    // Open state.
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MdxFile> mdx;
    std::unique_ptr<TableJournal> journal;
    QString filePath;
    QString mdxPath;            // where the production index is (or would be)
    bool network = false;       // the folder is shared by other machines
    bool holding = false;       // held: the hold lock and a shared change lock are ours until Close
    // What the files looked like when the image was read: the journal's
    // change count (and its mapped word, watched before every operation), or
    // for a table without a journal the files' sizes and times.
    const quint64* counterWord = nullptr;
    quint64 seenCounter = 0;
    // A change of this cursor failed half way and the failure could not take
    // it back: the journal records it, and every other program finds the
    // table with a change that nobody is finishing, until it is taken back.
    bool owedRollback = false;
    QByteArray seenSignature;
    QString indexDamage;
    // Accessible fields: the declared ones (or, with none declared, all of
    // the file's), each with the index of the file's field behind it.
    struct Access {
        QString name;
        int field;
    };
    std::vector<Access> access;
    // One entry per tag: how the store evaluates it.  A tag it cannot keep
    // exactly has its reason in tagErrors, and the table is not written.
    struct TagUpkeep {
        std::optional<MdxKeyExpression> key;
        std::optional<MdxForClause> forClause;
    };
    std::vector<TagUpkeep> tags;
    QStringList tagErrors;

    State state = State::Inactive;
    int tag = -1;               // selected tag, -1 for physical order
    uint32_t cur = 0;           // physical record number of the current row; 0 when none
    MdxFile::Position pos;      // the current row's entry while a tag is selected
    bool eof = true;
    bool bof = true;
    int visibleCount = 0;
    mutable int viewCount = -1; // rows of the selected tag; -1 until counted
    WrittenChange lastChange;   // what the last change of this cursor wrote
    QByteArray buffer;          // the row being edited or inserted
    QByteArray editBase;        // the row as Edit found it

    bool visible(uint32_t recno) const
    {
        return recno >= 1 && recno <= dbf->recordCount() && !dbf->isDeleted(recno);
    }

    const DbfField& fieldFor(const QString& name) const
    {
        // Exact spelling first: callers nearly always use the declared name.
        for (const Access& a : access)
            if (a.name == name)
                return dbf->fields()[size_t(a.field)];
        for (const Access& a : access)
            if (a.name.compare(name, Qt::CaseInsensitive) == 0)
                return dbf->fields()[size_t(a.field)];
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    }

    const char* currentRecord() const
    {
        if (state == State::Edit || state == State::Insert)
            return buffer.constData();
        if (cur == 0)
            return nullptr;
        return dbf->record(cur);
    }

    MdxFile::Position skipForward(MdxFile::Position p) const
    {
        while (p.valid() && !visible(mdx->recno(tag, p)))
            p = mdx->next(tag, p);
        return p;
    }
    MdxFile::Position skipBackward(MdxFile::Position p) const
    {
        while (p.valid() && !visible(mdx->recno(tag, p)))
            p = mdx->prior(tag, p);
        return p;
    }

    uint32_t firstPhysical() const
    {
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r)
            if (!dbf->isDeleted(r))
                return r;
        return 0;
    }
    uint32_t lastPhysical() const
    {
        for (uint32_t r = dbf->recordCount(); r >= 1; --r)
            if (!dbf->isDeleted(r))
                return r;
        return 0;
    }

    void goFirst()
    {
        if (tag >= 0) {
            pos = skipForward(mdx->first(tag));
            cur = pos.valid() ? mdx->recno(tag, pos) : 0;
        } else {
            cur = firstPhysical();
        }
        bof = true;
        eof = cur == 0;
    }

    // Whether a record belongs in tag t by its FOR clause (a clause the
    // store cannot evaluate counts as admitting it; such tables are not
    // written).
    bool admits(int t, const char* record) const
    {
        const TagUpkeep& u = tags[size_t(t)];
        return !u.forClause || u.forClause->holds(record);
    }
    QByteArray keyOf(int t, const char* record) const
    {
        return tags[size_t(t)].key->evaluate(record, mdx->keyLength(t));
    }

    // Index upkeep of tag t for record `recno`, whose values went from `old`
    // to `now`.  A unique tag holds each key for one record; when that
    // record lets go of a key, the first other record with it takes it over,
    // so the tag stays what a reindex would make of the table.
    void moveEntry(int t, uint32_t recno, const char* old, const char* now)
    {
        const bool wasIn = admits(t, old), isIn = admits(t, now);
        const QByteArray oldKey = wasIn ? keyOf(t, old) : QByteArray();
        const QByteArray newKey = isIn ? keyOf(t, now) : QByteArray();
        if (wasIn && isIn && oldKey == newKey)
            return;
        const bool removed = wasIn && mdx->removeKey(t, oldKey, recno);
        if (isIn)
            mdx->insertKey(t, newKey, recno);
        if (!removed || !mdx->tagUnique(t))
            return;
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
            const char* rec = dbf->record(r);
            if (r != recno && admits(t, rec) && mdx->compareKeys(t, keyOf(t, rec), oldKey) == 0) {
                mdx->insertKey(t, keyOf(t, rec), r);
                return;
            }
        }
    }

    // The rows the cursor walks: the live rows, or those the selected tag holds.
    int viewRows() const
    {
        if (tag < 0)
            return visibleCount;
        if (viewCount < 0) {
            int n = 0;
            for (MdxFile::Position p = mdx->first(tag); p.valid(); p = mdx->next(tag, p))
                n += visible(mdx->recno(tag, p)) ? 1 : 0;
            viewCount = n;
        }
        return viewCount;
    }

    // The index entry of the current row under the selected tag.
    MdxFile::Position locateCurrent() const
    {
        if (tag < 0 || cur == 0)
            return {};
        const char* rec = dbf->record(cur);
        if (!admits(tag, rec))
            return {};
        if (tags[size_t(tag)].key) {
            const MdxFile::Position p = mdx->locate(tag, keyOf(tag, rec), cur);
            if (p.valid())
                return p;
        }
        // A key the store cannot compute (or an index out of step): walk.
        for (MdxFile::Position p = mdx->first(tag); p.valid(); p = mdx->next(tag, p))
            if (mdx->recno(tag, p) == cur)
                return p;
        return {};
    }

    // The key FindKey looks for.  Several values stand for the parts of a
    // character key built from several fields: each but the last is padded
    // to its field's width, as in the key.  A numeric or date tag takes one
    // value, which must read as a number or a date.
    QByteArray searchKey(int t, const QStringList& values) const
    {
        const int keyLength = mdx->keyLength(t);
        const char type = mdx->keyType(t);
        if (type == 'N' || type == 'D') {
            const QString kind = type == 'N' ? QStringLiteral("numbers") : QStringLiteral("dates");
            if (values.size() != 1)
                throw EDatabaseError(QStringLiteral("Index '%1' holds %2: give one value to find").arg(mdx->tagName(t), kind));
            const QString text = values.front().trimmed();
            QByteArray key(keyLength, '\0');
            bool ok = false;
            if (type == 'N') {
                ok = keyLength == mdxkey::kNumberLength
                    && mdxkey::encodeNumber(text.isEmpty() ? QByteArray("?") : text.toLatin1().replace(',', '.'), key.data());
            } else {
                QDate date;
                for (const QString& format : {QStringLiteral("yyyyMMdd"), QStringLiteral("yyyy-MM-dd"), QStringLiteral("d.M.yyyy")})
                    if (!date.isValid())
                        date = QDate::fromString(text, format);
                ok = keyLength == mdxkey::kDateLength && date.isValid();
                if (ok)
                    mdxkey::encodeDate(date.toJulianDay(), key.data());
            }
            if (!ok)
                throw EDatabaseError(QStringLiteral("'%1' cannot be looked up in index '%2', which holds %3")
                                         .arg(values.front(), mdx->tagName(t), kind));
            return key;
        }
        const std::vector<MdxKeyExpression::PartShape> shape =
            tags[size_t(t)].key ? tags[size_t(t)].key->shape() : std::vector<MdxKeyExpression::PartShape>();
        const bool byParts = values.size() > 1 && size_t(values.size()) == shape.size();
        const bool allUpper = !shape.empty()
            && std::all_of(shape.begin(), shape.end(), [](const MdxKeyExpression::PartShape& p) { return p.upper; });
        QByteArray key;
        key.reserve(keyLength);
        for (int i = 0; i < values.size(); ++i) {
            const bool upper = byParts ? shape[size_t(i)].upper : allUpper;
            QByteArray v = encodeText(dbf->codePage(), upper ? values[i].toUpper() : values[i]);
            if (byParts && i + 1 < values.size()) {
                const int width = shape[size_t(i)].width;
                v.truncate(width);
                v.append(QByteArray(width - v.size(), ' '));
            }
            key += v;
        }
        key = key.left(keyLength);
        key.append(QByteArray(keyLength - key.size(), ' '));
        return key;
    }

    // Refuses, before anything changes, a write the store could not carry
    // out exactly.
    void requireWritableIndexes() const
    {
        if (!dbf->writable())
            throw EDatabaseError(QStringLiteral("Table '%1' is read-only").arg(filePath));
        if (mdx && !mdx->file().writable())
            throw EDatabaseError(QStringLiteral("Index file %1 is open for reading only").arg(mdxPath));
        if (!dbf->duplicateFieldName().isEmpty())
            throw EDatabaseError(QStringLiteral("Table '%1' names the field '%2' twice; it is read but not written to")
                                     .arg(filePath, dbf->duplicateFieldName()));
        if (!tagErrors.isEmpty())
            throw EDatabaseError(QStringLiteral("Cannot update the index of table '%1': %2")
                                     .arg(filePath, tagErrors.join(QStringLiteral("; "))));
        if (!indexDamage.isEmpty())
            throw EDatabaseError(QStringLiteral("Index file %1 is damaged (%2); the table is not written to until "
                                                "the index is rebuilt")
                                     .arg(mdxPath, indexDamage));
        if (!journal || !journal->writable())
            throw EDatabaseError(QStringLiteral("Cannot write to table '%1': its journal %2 cannot be written in "
                                                "that folder")
                                     .arg(filePath, TableJournal::pathFor(filePath)));
    }

    int lockFd() const { return dbf->file().fd(); }

    // A fingerprint of the files for a table without a journal: another
    // program's change moves a size or a time.
    QByteArray signature() const
    {
        QByteArray out;
        for (const TableFile* f : {dbf ? &dbf->file() : nullptr, mdx ? &mdx->file() : nullptr}) {
            struct stat st {};
            if (!f || ::fstat(f->fd(), &st) != 0)
                continue;
            const qint64 v[] = {qint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec),
                                qint64(st.st_ctim.tv_sec), qint64(st.st_ctim.tv_nsec)};
            out.append(reinterpret_cast<const char*>(v), sizeof v);
        }
        return out;
    }
    void noteSeen()
    {
        if (journal)
            seenCounter = journal->counter();
        else
            seenSignature = signature();
    }

    // How the store keeps each tag, and why it cannot keep some.
    void setUpTags()
    {
        tags.clear();
        tagErrors.clear();
        if (!mdx)
            return;
        const std::vector<MdxFieldRef> refs = dbf->mdxFields();
        for (int t = 0; t < mdx->tagCount(); ++t) {
            TagUpkeep u;
            QStringList why;
            const char type = mdx->keyType(t);
            try {
                u.key = MdxKeyExpression::parse(mdx->tagExpression(t), refs);
                if (u.key->type() != type) {
                    why << QStringLiteral("the expression gives %1 keys, the tag holds %2 keys")
                               .arg(QChar::fromLatin1(u.key->type()), QChar::fromLatin1(type));
                    u.key.reset();
                } else if (type == 'N' && mdx->keyLength(t) != mdxkey::kNumberLength)
                    why << QStringLiteral("numeric keys of %1 bytes are not kept up to date by this program")
                               .arg(mdx->keyLength(t));
            } catch (const EVedomecError& e) {
                u.key.reset();
                why << e.message();
            }
            if (type == 'D')
                why << QStringLiteral("date keys are not kept up to date by this program");
            const QString forClause = mdx->tagForClause(t);
            if (!forClause.isEmpty()) {
                try {
                    u.forClause = MdxForClause::parse(forClause, refs);
                } catch (const EVedomecError& e) {
                    why << e.message();
                }
            }
            if (!why.isEmpty())
                tagErrors << QStringLiteral("tag %1 (%2): %3")
                                 .arg(mdx->tagName(t), mdx->tagExpression(t), why.join(QStringLiteral(", ")));
            tags.push_back(std::move(u));
        }
    }

    void countRows()
    {
        int n = 0;
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r)
            n += dbf->isDeleted(r) ? 0 : 1;
        visibleCount = n;
        viewCount = -1;
    }

    // The image of the files read anew (another program changed them, or a
    // change was undone).  The cursor stays on its row.
    void reload(bool fromDisk)
    {
        // Until the image is whole again the cursor must not be used.
        broken = true;
        if (fromDisk) {
            if (dbf->file().replacedOnDisk())
                throw EDatabaseError(QStringLiteral("Table '%1' was replaced by another program; open it again").arg(filePath));
            dbf->reload();
        } else {
            dbf->reparse();
        }
        if (dbf->hasProductionIndex()) {
            if (fromDisk && (!mdx || mdx->file().replacedOnDisk())) {
                // A rebuilt index is a new file under the old name.
                mdx.reset();
                const QString path = fs::resolve(mdxPath);
                if (path.isEmpty())
                    throw EIndexDamaged(QStringLiteral("Index file '%1' not found").arg(mdxPath));
                mdxPath = path;
                mdx = MdxFile::open(path, dbf->writable());
            } else if (mdx) {
                if (fromDisk)
                    mdx->reload();
                else
                    mdx->reparse();
            }
        }
        setUpTags();
        tag = -1;
        if (!indexName.isEmpty() && mdx)
            tag = mdx->findTag(indexName);
        countRows();
        indexDamage = mdx ? quickIndexCheck(*dbf, *mdx).join(QStringLiteral("; ")) : QString();
        if (cur > dbf->recordCount())
            cur = 0;
        pos = {};
        if (cur == 0) {
            goFirst();
        } else if (tag >= 0) {
            pos = locateCurrent();
            if (!pos.valid())
                goFirst();
        }
        broken = false;
    }

    bool mayRecover() const { return dbf->writable() && (!mdx || mdx->file().writable()); }

    // An unfinished change of a program that stopped half way is undone
    // (or kept, when it was complete); with the change lock held.
    void recoverIfNeeded()
    {
        if (journal && journal->pending()) {
            recoverChange(*journal, &dbf->file(), mdx ? &mdx->file() : nullptr, syncWrites || network);
            reload(true);
        }
    }

    // Whether another program changed the files since the image was read.
    bool stale() const
    {
        if (journal)
            return journal->pending() || journal->counter() != seenCounter;
        return signature() != seenSignature;
    }

    // Before an operation: the image is brought up to date when another
    // program changed the files.  `positioning`: an operation that places
    // the cursor (First, FindKey...); on a network folder only those look.
    void refresh(bool positioning)
    {
        // The common case, kept small enough to be inlined everywhere: the
        // mapped count has not moved since the image was read.
        if (counterWord && __atomic_load_n(counterWord, __ATOMIC_ACQUIRE) == seenCounter && !broken)
            return;
        if (broken)
            throw EDatabaseError(QStringLiteral("Table '%1' cannot be used any more; open it again").arg(filePath));
        if (owedRollback)
            settleFailedChange(true);
        if (holding || state == State::Inactive || (!counterWord && !positioning))
            return;
        refreshFromFiles();
    }

    // Takes back this cursor's change that failed half way, as soon as the
    // files let it (the journal it holds says how); with `lock` it takes the
    // change lock, else the caller holds it exclusively.  Never throws: what
    // cannot be done now is tried again at the next operation.
    void settleFailedChange(bool lock) noexcept
    {
        if (!owedRollback || !journal)
            return;
        try {
            std::optional<HeldChangeLock> heldLock;
            LockGuard plainLock;
            if (lock && holding)
                heldLock.emplace(lockFd(), filePath);
            else if (lock)
                plainLock.take(lockFd(), kChangeLockByte, LockMode::Exclusive, filePath);
            Recovery r = Recovery::None;
            if (journal->pending())
                r = recoverChange(*journal, &dbf->file(), mdx ? &mdx->file() : nullptr, syncWrites || network);
            owedRollback = false;
            if (r == Recovery::Kept)
                reload(true); // the journal could not be told the change failed: it stays, and is shown
            noteSeen();
        } catch (...) {
        }
    }
    void refreshFromFiles()
    {
        LockGuard lock(lockFd(), kChangeLockByte, LockMode::Shared, filePath);
        if (!stale())
            return;
        if (journal && journal->pending() && !mayRecover()) {
            // Put right in memory only: the files are left to who may write.
            reload(true);
            if (recoverChangeInImages(filePath, &dbf->file(), mdx ? &mdx->file() : nullptr) == Recovery::Undone)
                reload(false);
            noteSeen();
            return;
        }
        if (journal && journal->pending()) {
            // Only a program that stopped in the middle of a change leaves
            // one while nobody holds the change lock.
            lock.release();
            lock.take(lockFd(), kChangeLockByte, LockMode::Exclusive, filePath);
            recoverIfNeeded();
        }
        if (stale())
            reload(true);
        noteSeen();
    }

    // The change lock of a held table: shared between its changes, so that
    // others may read the table; exclusive for the length of one change,
    // once the readers have let go.
    class HeldChangeLock {
    public:
        HeldChangeLock(int fd, const QString& path) : m_fd(fd)
        {
            lockWithin(fd, kChangeLockByte, LockMode::Exclusive, path);
        }
        ~HeldChangeLock()
        {
            int error = 0;
            tryLock(m_fd, kChangeLockByte, LockMode::Shared, &error);
        }
        HeldChangeLock(const HeldChangeLock&) = delete;
        HeldChangeLock& operator=(const HeldChangeLock&) = delete;

    private:
        int m_fd;
    };

    // One change of the table: the change lock held exclusively, the image
    // up to date, the files' writes recorded until commit().  Undone in
    // memory when it ends without commit().
    class Change {
    public:
        explicit Change(Impl& d) : m_d(d)
        {
            // Said before the change lock, which a reader cannot take.
            if (!d.dbf->writable())
                throw EDatabaseError(QStringLiteral("Table '%1' is read-only").arg(d.filePath));
            if (d.holding)
                m_held.emplace(d.lockFd(), d.filePath);
            else
                m_lock.take(d.lockFd(), kChangeLockByte, LockMode::Exclusive, d.filePath);
            d.recoverIfNeeded();
            if (d.stale()) {
                d.reload(true);
                d.noteSeen();
            }
            d.requireWritableIndexes();
            d.dbf->file().beginChange();
            if (d.mdx)
                d.mdx->file().beginChange();
            m_started = true;
        }
        ~Change()
        {
            if (!m_started || m_committed)
                return;
            abandonChange(&m_d.dbf->file(), m_d.mdx ? &m_d.mdx->file() : nullptr);
            try {
                m_d.reload(false);
            } catch (...) {
                // The image no longer parses: the cursor refuses every
                // operation until the table is opened again.
            }
            // The journal was idle when the change began: one that records
            // a change now records this one, which is taken back at once,
            // with the lock still held, so that the others see the table as
            // it was.
            m_d.owedRollback = m_d.journal && m_d.journal->pending();
            m_d.settleFailedChange(false);
        }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

        void commit()
        {
            CommitOptions o;
            o.sync = m_d.syncWrites || m_d.network;
            o.allowDirect = !m_d.network;
            o.tableName = m_d.filePath;
            describeChange(&m_d.dbf->file(), m_d.mdx ? &m_d.mdx->file() : nullptr, m_d.lastChange);
            try {
                commitChange(m_d.journal.get(), &m_d.dbf->file(), m_d.mdx ? &m_d.mdx->file() : nullptr, o);
            } catch (...) {
                m_d.lastChange.files[0].changed = m_d.lastChange.files[1].changed = false;
                throw;
            }
            m_committed = true;
            m_d.noteSeen();
        }

    private:
        Impl& m_d;
        std::optional<HeldChangeLock> m_held;
        LockGuard m_lock;
        bool m_started = false;
        bool m_committed = false;
    };
    bool broken = false;

    void reset()
    {
        settleFailedChange(true);
        if (journal)
            journal->closeAndRemoveIfUnused();
        journal.reset();
        counterWord = nullptr;
        seenCounter = 0;
        seenSignature.clear();
        indexDamage.clear();
        mdxPath.clear();
        holding = false;
        network = false;
        broken = false;
        owedRollback = false;
        editBase.clear();
        mdx.reset();
        dbf.reset(); // closing the descriptor lets go of its locks
        access.clear();
        tags.clear();
        tagErrors.clear();
        viewCount = -1;
        filePath.clear();
        state = State::Inactive;
        tag = -1;
        cur = 0;
        pos = {};
        eof = bof = true;
        visibleCount = 0;
        buffer.clear();
    }
};

} // namespace vedomec::data
