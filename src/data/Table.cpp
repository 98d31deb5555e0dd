#include "data/Table.h"

#include "data/Dbf.h"
#include "data/Mdx.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDate>
#include <QFileInfo>

#include <algorithm>
#include <optional>

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

    // Open state.
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MdxFile> mdx;
    QString filePath;
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
    }

    void reset()
    {
        mdx.reset();
        dbf.reset();
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

TTable::~TTable() = default;

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
        d->dbf = DbfFile::open(path);
        d->filePath = path;
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
            const QFileInfo info(path);
            const QString mdxPath = fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX")));
            if (mdxPath.isEmpty())
                throw EDatabaseError(QStringLiteral("Index file '%1' not found")
                                         .arg(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX"))));
            d->mdx = MdxFile::open(mdxPath, d->dbf->writable());
            const std::vector<MdxFieldRef> refs = d->dbf->mdxFields();
            for (int t = 0; t < d->mdx->tagCount(); ++t) {
                Impl::TagUpkeep u;
                QStringList why;
                const char type = d->mdx->keyType(t);
                try {
                    u.key = MdxKeyExpression::parse(d->mdx->tagExpression(t), refs);
                    if (u.key->type() != type) {
                        why << QStringLiteral("the expression gives %1 keys, the tag holds %2 keys")
                                   .arg(QChar::fromLatin1(u.key->type()), QChar::fromLatin1(type));
                        u.key.reset();
                    } else if (type == 'N' && d->mdx->keyLength(t) != mdxkey::kNumberLength)
                        why << QStringLiteral("numeric keys of %1 bytes are not kept up to date by this program")
                                   .arg(d->mdx->keyLength(t));
                } catch (const EVedomecError& e) {
                    u.key.reset();
                    why << e.message();
                }
                if (type == 'D')
                    why << QStringLiteral("date keys are not kept up to date by this program");
                const QString forClause = d->mdx->tagForClause(t);
                if (!forClause.isEmpty()) {
                    try {
                        u.forClause = MdxForClause::parse(forClause, refs);
                    } catch (const EVedomecError& e) {
                        why << e.message();
                    }
                }
                if (!why.isEmpty())
                    d->tagErrors << QStringLiteral("tag %1 (%2): %3")
                                        .arg(d->mdx->tagName(t), d->mdx->tagExpression(t), why.join(QStringLiteral(", ")));
                d->tags.push_back(std::move(u));
            }
        }
        if (!d->indexName.isEmpty()) {
            d->tag = d->mdx ? d->mdx->findTag(d->indexName) : -1;
            if (d->tag < 0)
                throw EDatabaseError(QStringLiteral("Index '%1' not found").arg(d->indexName));
        }

        int visibleCount = 0;
        for (uint32_t r = 1; r <= d->dbf->recordCount(); ++r)
            visibleCount += d->dbf->isDeleted(r) ? 0 : 1;
        d->visibleCount = visibleCount;
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
    d->goFirst();
    emit dataChanged();
}

void TTable::Last()
{
    requireActive(this);
    if (d->state != State::Browse)
        Post();
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
bool TTable::IsEmpty() const { return !Active() || d->viewRows() == 0; }

QString TTable::FieldAsString(const QString& name) const
{
    requireActive(this);
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
    if (d->cur == 0)
        throw EDatabaseError(QStringLiteral("Cannot edit: the table '%1' has no rows").arg(d->filePath));
    d->requireWritableIndexes();
    d->buffer = QByteArray(d->dbf->record(d->cur), d->dbf->recordLength());
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
    d->requireWritableIndexes();
    const int tags = d->mdx ? d->mdx->tagCount() : 0;
    d->buffer[0] = ' ';
    if (d->state == State::Insert) {
        const uint32_t recno = d->dbf->appendRecord(d->buffer.constData());
        const char* rec = d->dbf->record(recno);
        for (int t = 0; t < tags; ++t)
            if (d->admits(t, rec))
                d->mdx->insertKey(t, d->keyOf(t, rec), recno);
        ++d->visibleCount;
        d->cur = recno;
    } else {
        const uint32_t recno = d->cur;
        const QByteArray old(d->dbf->record(recno), d->dbf->recordLength());
        d->dbf->writeRecord(recno, d->buffer.constData());
        const char* rec = d->dbf->record(recno);
        for (int t = 0; t < tags; ++t)
            d->moveEntry(t, recno, old.constData(), rec);
    }
    d->viewCount = -1;
    d->state = State::Browse;
    d->buffer.clear();
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
    emit dataChanged();
}

int TTable::RecordCount() const
{
    return Active() ? d->viewRows() : 0;
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
    const int tag = d->tag;
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
