#include "data/TableImpl.h"

namespace vedomec::data {


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
            switch (tryLockAnswer(fd, kHoldLockByte, LockMode::Exclusive, &error)) {
            case LockAnswer::Granted:
                break;
            case LockAnswer::Busy:
                throw ETableInUse(QStringLiteral("Table '%1' is open in another program").arg(path));
            case LockAnswer::NotKept:
                // Whether another program holds it cannot be told.
                throw ELocksNotKept(QStringLiteral("The folder of table '%1' keeps no locks").arg(path));
            case LockAnswer::Failed:
                throw EDatabaseError(QStringLiteral("Cannot lock table '%1': %2")
                                         .arg(path, QString::fromLocal8Bit(std::strerror(error))));
            }
            d->holding = true;
        }
        // A program that may only read the table leaves no journal behind.
        d->journal = TableJournal::open(path, d->network, dbfFile->writable());

        // The files are read with the change lock held exclusively, so an
        // unfinished change can be undone first.
        LockGuard lock(fd, kChangeLockByte, dbfFile->writable() ? LockMode::Exclusive : LockMode::Shared, path);
        // A journal replaced before the lock was ours is another file now.
        if (d->journal && !d->journal->stillNamed())
            d->journal = TableJournal::open(path, d->network, dbfFile->writable());
        if (d->journal)
            d->journal->prepare();
        d->mdxPath = fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX"));
        std::unique_ptr<TableFile> mdxFile;
        if (const QString found = fs::resolve(d->mdxPath); !found.isEmpty() && QFileInfo(found).isFile()) {
            d->mdxPath = found;
            mdxFile = TableFile::open(found, dbfFile->writable(), TableFile::Kind::Index);
        }
        const bool mayWrite = dbfFile->writable() && (!mdxFile || mdxFile->writable());
        bool mdxLoaded = false;
        if (d->journal && d->journal->pending() && mayWrite) {
            recoverChange(*d->journal, dbfFile.get(), mdxFile.get(), d->syncWrites || d->network);
        } else if (d->journal && d->journal->pending()) {
            // Who may not write the table reads it as it will be once the
            // change is put right, and leaves that to who may.
            dbfFile->load(qint64(2) * 1024 * 1024 * 1024);
            if (mdxFile)
                mdxFile->load(qint64(1) << 30);
            mdxLoaded = true;
            recoverChangeInImages(path, dbfFile.get(), mdxFile.get());
        }
        // A journal another account left, which this one may not write,
        // gives way to one of its own once nobody else uses it.
        if (d->journal && !d->journal->writable() && mayWrite) {
            d->journal = TableJournal::replaceUnwritable(std::move(d->journal), path, d->network);
            if (d->journal)
                d->journal->prepare();
        }
        if (!mdxLoaded)
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
            if (!mdxLoaded)
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

QString TTable::WriteRefusal() const
{
    if (!Active())
        return QStringLiteral("Cannot perform this operation on a closed dataset");
    try {
        d->requireWritableIndexes();
    } catch (const EVedomecError& e) {
        return e.message();
    }
    return QString();
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