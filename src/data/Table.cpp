#include "data/Table.h"

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

namespace {

QString stateError()
{
    return QStringLiteral("Dataset not in edit or insert mode");
}

} // namespace

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

    // Index upkeep of tag t for record `recno`, deleted: its entry goes, and
    // in a unique tag the first live record with the same key takes it over.
    void dropEntry(int t, uint32_t recno, const char* old)
    {
        if (!admits(t, old))
            return;
        const QByteArray oldKey = keyOf(t, old);
        if (!mdx->removeKey(t, oldKey, recno) || !mdx->tagUnique(t))
            return;
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
            const char* rec = dbf->record(r);
            if (r != recno && visible(r) && admits(t, rec) && mdx->compareKeys(t, keyOf(t, rec), oldKey) == 0) {
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
            QByteArray v = unicodeToCp1250(upper ? values[i].toUpper() : values[i]);
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
        if (holding || state == State::Inactive || (!counterWord && !positioning))
            return;
        refreshFromFiles();
    }
    void refreshFromFiles()
    {
        LockGuard lock(lockFd(), kChangeLockByte, LockMode::Shared, filePath);
        if (!stale())
            return;
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
        }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

        void commit()
        {
            CommitOptions o;
            o.sync = m_d.syncWrites || m_d.network;
            o.allowDirect = !m_d.network;
            o.tableName = m_d.filePath;
            commitChange(m_d.journal.get(), &m_d.dbf->file(), m_d.mdx ? &m_d.mdx->file() : nullptr, o);
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

TTable::TTable(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {}

TTable::~TTable()
{
    // The journal goes with the last user of the table, also when a table is
    // dropped open after an error.
    if (Active())
        d->reset();
}

void TTable::SetDatabaseName(const QString& folder)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->folder = folder;
}
QString TTable::DatabaseName() const { return d->folder; }

void TTable::SetTableName(const QString& fileName)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->tableName = fileName;
}
QString TTable::TableName() const { return d->tableName; }

void TTable::SetIndexName(const QString& tagName)
{
    if (!Active()) {
        d->indexName = tagName;
        return;
    }
    d->refresh(true);
    int tag = -1;
    if (!tagName.isEmpty()) {
        tag = d->mdx ? d->mdx->findTag(tagName) : -1;
        if (tag < 0)
            throw EDatabaseError(QStringLiteral("Index '%1' not found").arg(tagName));
    }
    if (d->state == State::Edit || d->state == State::Insert)
        Post();
    d->indexName = tagName;
    d->tag = tag;
    d->viewCount = -1;
    if (tag >= 0 && d->cur != 0) {
        d->pos = d->locateCurrent();
        if (!d->pos.valid())
            d->goFirst();
    } else if (tag >= 0) {
        d->goFirst();
    } else {
        d->pos = {};
    }
    emit dataChanged();
}
QString TTable::IndexName() const { return d->indexName; }

void TTable::SetFieldDefs(const QList<FieldDef>& defs)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->defs = defs;
}
const QList<FieldDef>& TTable::FieldDefs() const { return d->defs; }

void TTable::SetHeld(bool held)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->held = held;
}
bool TTable::Held() const { return d->held; }

void TTable::SetSyncWrites(bool sync)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->syncWrites = sync;
}
bool TTable::SyncWrites() const { return d->syncWrites; }

void TTable::Open()
{
    if (Active())
        return;
    QString path = fs::resolve(fs::join(d->folder, d->tableName));
    if (path.isEmpty() && QFileInfo(d->tableName).suffix().isEmpty())
        path = fs::resolve(fs::join(d->folder, d->tableName + QStringLiteral(".DBF")));
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw EDatabaseError(QStringLiteral("Table '%1' not found").arg(fs::join(d->folder, d->tableName)));

    try {
        std::unique_ptr<TableFile> dbfFile = TableFile::open(path, true, TableFile::Kind::Table);
        d->filePath = path;
        const int fd = dbfFile->fd();
        const QFileInfo info(path);
        d->network = fs::isNetworkFolder(info.path());

        // The running test of another program is refused before anything
        // else is looked at.
        if (d->held && dbfFile->writable()) {
            int error = 0;
            if (!tryLock(fd, kHoldLockByte, LockMode::Exclusive, &error)) {
                if (error == EAGAIN)
                    throw ETableInUse(QStringLiteral("Table '%1' is open in another program").arg(path));
                throw EDatabaseError(QStringLiteral("Cannot lock table '%1': %2")
                                         .arg(path, QString::fromLocal8Bit(std::strerror(error))));
            }
            d->holding = true;
        }
        d->journal = TableJournal::open(path, d->network);

        // The files are read with the change lock held exclusively, so an
        // unfinished change can be undone first.
        LockGuard lock(fd, kChangeLockByte, dbfFile->writable() ? LockMode::Exclusive : LockMode::Shared, path);
        if (d->journal)
            d->journal->prepare();
        d->mdxPath = fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX"));
        std::unique_ptr<TableFile> mdxFile;
        if (const QString found = fs::resolve(d->mdxPath); !found.isEmpty() && QFileInfo(found).isFile()) {
            d->mdxPath = found;
            mdxFile = TableFile::open(found, dbfFile->writable(), TableFile::Kind::Index);
        }
        if (d->journal && d->journal->pending())
            recoverChange(*d->journal, dbfFile.get(), mdxFile.get(), d->syncWrites || d->network);
        dbfFile->load(qint64(2) * 1024 * 1024 * 1024);
        d->dbf = DbfFile::fromFile(std::move(dbfFile));
        const auto& fields = d->dbf->fields();

        // The declared layout: each field by name, of a compatible type and,
        // for text, of exactly the declared width.  Type names follow the
        // desktop database engine's: "String" for text, "SmallInt" for whole
        // numbers, "Float", "Date", "Boolean", "Memo"... for the rest.
        if (d->defs.isEmpty()) {
            for (size_t i = 0; i < fields.size(); ++i)
                d->access.push_back({fields[i].name, int(i)});
        } else {
            for (const FieldDef& def : d->defs) {
                const int i = d->dbf->fieldIndex(def.name);
                if (i < 0)
                    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(def.name));
                const DbfField& f = fields[size_t(i)];
                if (def.kind == FieldKind::Text) {
                    if (f.type != 'C')
                        throw EDatabaseError(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                                                 .arg(def.name, QStringLiteral("String"), DbfFile::typeName(f)));
                    if (f.length != def.width)
                        throw EDatabaseError(QStringLiteral("Size mismatch for field '%1', expecting: %2 actual: %3")
                                                 .arg(def.name)
                                                 .arg(def.width)
                                                 .arg(f.length));
                } else if (!DbfFile::isWholeNumber(f)) {
                    throw EDatabaseError(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                                             .arg(def.name, QStringLiteral("SmallInt"), DbfFile::typeName(f)));
                }
                d->access.push_back({def.name, i});
            }
        }

        if (d->dbf->hasProductionIndex()) {
            if (!mdxFile)
                throw EIndexDamaged(QStringLiteral("Index file '%1' not found").arg(d->mdxPath));
            mdxFile->load(qint64(1) << 30);
            d->mdx = MdxFile::fromFile(std::move(mdxFile));
            d->setUpTags();
            d->indexDamage = quickIndexCheck(*d->dbf, *d->mdx).join(QStringLiteral("; "));
        }
        if (!d->indexName.isEmpty()) {
            d->tag = d->mdx ? d->mdx->findTag(d->indexName) : -1;
            if (d->tag < 0)
                throw EDatabaseError(QStringLiteral("Index '%1' not found").arg(d->indexName));
        }

        d->countRows();
        d->counterWord = d->journal ? d->journal->counterWord() : nullptr;
        d->noteSeen();
        // A held table keeps every other program's change out until Close,
        // but not their reading: another copy of the program may read it
        // (to take the test on a copy of its own) between two changes.
        if (d->holding) {
            int error = 0;
            tryLock(fd, kChangeLockByte, LockMode::Shared, &error); // a lock held turns shared at once
            lock.keep();
        }
        d->state = State::Browse;
        d->goFirst();
    } catch (...) {
        d->reset();
        throw;
    }
    emit activeChanged(true);
    emit dataChanged();
}

void TTable::Close()
{
    if (!Active())
        return;
    d->reset();
    emit activeChanged(false);
    emit dataChanged();
}

bool TTable::Active() const { return d->state != State::Inactive; }
TTable::State TTable::state() const { return d->state; }
QString TTable::FilePath() const { return d->filePath; }

static void requireActive(const TTable* t)
{
    if (!t->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TTable::First()
{
    requireActive(this);
    if (d->state != State::Browse)
        Post();
    d->refresh(true);
    d->goFirst();
    emit dataChanged();
}

void TTable::Last()
{
    requireActive(this);
    if (d->state != State::Browse)
        Post();
    d->refresh(true);
    if (d->tag >= 0) {
        d->pos = d->skipBackward(d->mdx->last(d->tag));
        d->cur = d->pos.valid() ? d->mdx->recno(d->tag, d->pos) : 0;
    } else {
        d->cur = d->lastPhysical();
    }
    d->eof = d->cur == 0;
    d->bof = d->cur == 0;
    emit dataChanged();
}

void TTable::Next()
{
    requireActive(this);
    if (d->state != State::Browse)
        Post();
    d->refresh(false);
    if (d->cur == 0) {
        d->eof = true;
        return;
    }
    if (d->tag >= 0) {
        const MdxFile::Position p = d->skipForward(d->mdx->next(d->tag, d->pos));
        if (!p.valid()) {
            d->eof = true;
            return;
        }
        d->pos = p;
        d->cur = d->mdx->recno(d->tag, p);
    } else {
        const uint32_t n = d->dbf->recordCount();
        uint32_t r = d->cur + 1;
        while (r <= n && d->dbf->isDeleted(r))
            ++r;
        if (r > n) {
            d->eof = true;
            return;
        }
        d->cur = r;
    }
    d->eof = false;
    d->bof = false;
    emit dataChanged();
}

void TTable::Prior()
{
    requireActive(this);
    if (d->state != State::Browse)
        Post();
    d->refresh(false);
    if (d->cur == 0) {
        d->bof = true;
        return;
    }
    if (d->tag >= 0) {
        const MdxFile::Position p = d->skipBackward(d->mdx->prior(d->tag, d->pos));
        if (!p.valid()) {
            d->bof = true;
            return;
        }
        d->pos = p;
        d->cur = d->mdx->recno(d->tag, p);
    } else {
        uint32_t r = d->cur - 1;
        while (r >= 1 && d->dbf->isDeleted(r))
            --r;
        if (r < 1) {
            d->bof = true;
            return;
        }
        d->cur = r;
    }
    d->eof = false;
    d->bof = false;
    emit dataChanged();
}

bool TTable::Eof() const { return !Active() || d->eof; }
bool TTable::Bof() const { return !Active() || d->bof; }

bool TTable::IsEmpty() const
{
    if (!Active())
        return true;
    if (d->state == State::Browse)
        d->refresh(false);
    return d->viewRows() == 0;
}

QString TTable::FieldAsString(const QString& name) const
{
    requireActive(this);
    if (d->state == State::Browse)
        d->refresh(false);
    const DbfField& f = d->fieldFor(name);
    const char* rec = d->currentRecord();
    if (!rec)
        return QString();
    return DbfFile::readField(f, rec);
}

QStringList TTable::FieldNames() const
{
    QStringList out;
    for (const Impl::Access& a : d->access)
        out << a.name;
    return out;
}

void TTable::Edit()
{
    requireActive(this);
    if (d->state == State::Edit || d->state == State::Insert)
        return;
    d->refresh(true);
    if (d->cur == 0)
        throw EDatabaseError(QStringLiteral("Cannot edit: the table '%1' has no rows").arg(d->filePath));
    d->requireWritableIndexes();
    d->buffer = QByteArray(d->dbf->record(d->cur), d->dbf->recordLength());
    // Nobody else writes a held table: the row needs no second copy to
    // compare with at Post.
    if (!d->holding)
        d->editBase = QByteArray(d->buffer.constData(), d->buffer.size());
    d->state = State::Edit;
}

void TTable::Insert()
{
    requireActive(this);
    if (d->state == State::Edit || d->state == State::Insert)
        Post();
    d->requireWritableIndexes();
    d->buffer = d->dbf->blankRecord();
    d->state = State::Insert;
    emit dataChanged();
}

void TTable::SetFieldAsString(const QString& name, const QString& value)
{
    requireActive(this);
    if (d->state != State::Edit && d->state != State::Insert)
        throw EDatabaseError(stateError());
    const DbfField& f = d->fieldFor(name);
    DbfFile::writeField(f, d->buffer.data(), value);
    emit dataChanged();
}

void TTable::Post()
{
    requireActive(this);
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    if (d->broken)
        throw EDatabaseError(QStringLiteral("Table '%1' cannot be used any more; open it again").arg(d->filePath));
    d->buffer[0] = ' ';
    uint32_t recno = 0;
    {
        Impl::Change change(*d);
        const int tags = d->mdx ? d->mdx->tagCount() : 0;
        if (d->state == State::Insert) {
            recno = d->dbf->appendRecord(d->buffer.constData());
            const char* rec = d->dbf->record(recno);
            for (int t = 0; t < tags; ++t)
                if (d->admits(t, rec))
                    d->mdx->insertKey(t, d->keyOf(t, rec), recno);
        } else {
            recno = d->cur;
            if (recno < 1 || recno > d->dbf->recordCount())
                throw EDatabaseError(QStringLiteral("Record not found"));
            const QByteArray old(d->dbf->record(recno), d->dbf->recordLength());
            // Another program may have changed the row since Edit: what this
            // edit set goes over the row as it is now.
            if (!d->editBase.isEmpty() && old != d->editBase) {
                QByteArray merged = old;
                for (qsizetype i = 1; i < merged.size(); ++i)
                    if (d->buffer.at(i) != d->editBase.at(i))
                        merged[i] = d->buffer.at(i);
                d->buffer = merged;
            }
            d->dbf->writeRecord(recno, d->buffer.constData());
            const char* rec = d->dbf->record(recno);
            for (int t = 0; t < tags; ++t)
                d->moveEntry(t, recno, old.constData(), rec);
        }
        change.commit();
    }
    if (d->state == State::Insert)
        ++d->visibleCount;
    d->cur = recno;
    d->viewCount = -1;
    d->state = State::Browse;
    d->buffer.clear();
    d->editBase.clear();
    if (d->tag >= 0)
        d->pos = d->locateCurrent();
    d->eof = false;
    d->bof = false;
    emit dataChanged();
}

void TTable::Cancel()
{
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    d->state = State::Browse;
    d->buffer.clear();
    d->editBase.clear();
    emit dataChanged();
}

void TTable::Delete()
{
    requireActive(this);
    if (d->state != State::Browse)
        throw EDatabaseError(QStringLiteral("Cannot delete a row while it is edited"));
    if (d->broken)
        throw EDatabaseError(QStringLiteral("Table '%1' cannot be used any more; open it again").arg(d->filePath));
    d->refresh(true);
    if (d->cur == 0 || !d->visible(d->cur))
        throw EDatabaseError(QStringLiteral("Record not found"));
    const uint32_t recno = d->cur;
    // The row the cursor goes to: the next one, or the one before when the
    // deleted row was the last.
    uint32_t next = 0;
    if (d->tag >= 0) {
        MdxFile::Position p = d->skipForward(d->mdx->next(d->tag, d->pos));
        if (!p.valid())
            p = d->skipBackward(d->mdx->prior(d->tag, d->pos));
        next = p.valid() ? d->mdx->recno(d->tag, p) : 0;
    } else {
        for (uint32_t r = recno + 1; r <= d->dbf->recordCount() && !next; ++r)
            next = d->visible(r) ? r : 0;
        for (uint32_t r = recno; r-- > 1 && !next;)
            next = d->visible(r) ? r : 0;
    }
    {
        Impl::Change change(*d);
        if (!d->visible(recno))
            throw EDatabaseError(QStringLiteral("Record not found"));
        const QByteArray old(d->dbf->record(recno), d->dbf->recordLength());
        QByteArray gone = old;
        gone[0] = '*';
        d->dbf->writeRecord(recno, gone.constData());
        for (int t = 0; t < (d->mdx ? d->mdx->tagCount() : 0); ++t)
            d->dropEntry(t, recno, old.constData());
        change.commit();
    }
    --d->visibleCount;
    d->viewCount = -1;
    d->cur = d->visible(next) ? next : 0;
    d->pos = {};
    if (d->cur && d->tag >= 0) {
        d->pos = d->locateCurrent();
        if (!d->pos.valid())
            d->cur = 0;
    }
    d->eof = d->cur == 0;
    d->bof = d->cur == 0;
    emit dataChanged();
}

int TTable::RecordCount() const
{
    if (!Active())
        return 0;
    if (d->state == State::Browse)
        d->refresh(false);
    return d->viewRows();
}

int TTable::RecNo() const
{
    if (!Active() || d->state == State::Insert)
        return 0;
    return int(d->cur);
}

Bookmark TTable::GetBookmark() const
{
    if (!Active() || d->state == State::Insert)
        return 0;
    return Bookmark(d->cur);
}

void TTable::GotoBookmark(Bookmark b)
{
    requireActive(this);
    if (d->state != State::Browse)
        Post();
    d->refresh(true);
    if (b < 1 || b > qint64(d->dbf->recordCount()) || !d->visible(uint32_t(b)))
        throw EDatabaseError(QStringLiteral("Record not found"));
    const uint32_t previous = d->cur;
    d->cur = uint32_t(b);
    // Staying on the current row keeps its index entry, even in an index
    // that (damaged) lists the row twice: a scan must still move on.
    const bool stay = previous == d->cur && d->pos.valid() && d->mdx && d->tag >= 0
        && d->mdx->recno(d->tag, d->pos) == d->cur;
    if (d->tag >= 0 && !stay) {
        const MdxFile::Position p = d->locateCurrent();
        if (!p.valid()) {
            d->cur = previous;
            throw EDatabaseError(QStringLiteral("Record not found in index '%1'").arg(d->indexName));
        }
        d->pos = p;
    }
    d->eof = false;
    d->bof = false;
    emit dataChanged();
}

bool TTable::FindKey(const QStringList& values)
{
    requireActive(this);
    if (d->tag < 0)
        throw EDatabaseError(QStringLiteral("No index currently active"));
    if (d->state != State::Browse)
        Post();
    d->refresh(true);
    const int tag = d->tag;
    if (tag < 0)
        throw EDatabaseError(QStringLiteral("No index currently active"));
    const QByteArray key = d->searchKey(tag, values);
    MdxFile::Position p = d->mdx->seek(tag, key);
    while (p.valid() && !d->visible(d->mdx->recno(tag, p))) {
        p = d->mdx->next(tag, p);
        if (p.valid() && d->mdx->compareKeys(tag, d->mdx->key(tag, p), key) != 0)
            p = {};
    }
    if (!p.valid())
        return false;
    d->pos = p;
    d->cur = d->mdx->recno(tag, p);
    d->eof = false;
    d->bof = false;
    emit dataChanged();
    return true;
}

QStringList TTable::IndexTagNames() const
{
    QStringList out;
    if (d->mdx)
        for (int t = 0; t < d->mdx->tagCount(); ++t)
            out << d->mdx->tagName(t);
    return out;
}

QString TTable::IndexDamage() const
{
    return d->indexDamage;
}

// ---------------------------------------------------------------------------

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}

void TDataSource::SetDataSet(TTable* table)
{
    if (table == m_table)
        return;
    disconnect(m_c1);
    disconnect(m_c2);
    disconnect(m_c3);
    m_table = table;
    if (table) {
        m_c1 = connect(table, &TTable::dataChanged, this, &TDataSource::dataChanged);
        m_c2 = connect(table, &TTable::activeChanged, this, [this] { emit dataChanged(); });
        m_c3 = connect(table, &QObject::destroyed, this, [this] {
            m_table = nullptr;
            emit dataChanged();
        });
    }
    emit dataChanged();
}

void TDataSource::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit dataChanged();
}

QString TDataSource::FieldText(const QString& field) const
{
    if (!m_enabled || !m_table || !m_table->Active())
        return QString();
    return m_table->FieldAsString(field);
}

} // namespace vedomec::data
