#include "data/Table.h"

#include "data/Dbf.h"
#include "data/Mdx.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFileInfo>

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
    // One entry per tag: its key evaluator, or why the store cannot keep it.
    std::vector<std::optional<MdxKeyExpression>> tagKeys;
    // How FindKey builds a tag's key from given values: upper-cased or not,
    // and the widths of the key's fields (empty when not a plain field list).
    struct KeyShape {
        bool upper = false;
        std::vector<int> widths;
    };
    std::vector<KeyShape> keyShapes;
    QStringList tagErrors;

    State state = State::Inactive;
    int tag = -1;               // selected tag, -1 for physical order
    uint32_t cur = 0;           // physical record number of the current row; 0 when none
    MdxFile::Position pos;      // the current row's entry while a tag is selected
    bool eof = true;
    bool bof = true;
    int visibleCount = 0;
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

    // The index entry of the current row under the selected tag.
    MdxFile::Position locateCurrent() const
    {
        if (tag < 0 || cur == 0)
            return {};
        if (tagKeys[size_t(tag)]) {
            const QByteArray key = tagKeys[size_t(tag)]->evaluate(dbf->record(cur), mdx->keyLength(tag));
            const MdxFile::Position p = mdx->locate(tag, key, cur);
            if (p.valid())
                return p;
        }
        // A key the store cannot compute (or an index out of step): walk.
        for (MdxFile::Position p = mdx->first(tag); p.valid(); p = mdx->next(tag, p))
            if (mdx->recno(tag, p) == cur)
                return p;
        return {};
    }

    void requireWritableIndexes() const
    {
        if (!dbf->writable())
            throw EDatabaseError(QStringLiteral("Table '%1' is read-only").arg(filePath));
        if (!tagErrors.isEmpty())
            throw EDatabaseError(QStringLiteral("Cannot update the index of table '%1': %2")
                                     .arg(filePath, tagErrors.join(QStringLiteral("; "))));
    }

    void reset()
    {
        mdx.reset();
        dbf.reset();
        access.clear();
        tagKeys.clear();
        keyShapes.clear();
        tagErrors.clear();
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
                Impl::KeyShape shape;
                QString expr = d->mdx->tagExpression(t).trimmed();
                if (expr.startsWith(QStringLiteral("UPPER("), Qt::CaseInsensitive) && expr.endsWith(QLatin1Char(')'))) {
                    shape.upper = true;
                    expr = expr.mid(6, expr.size() - 7);
                }
                for (const QString& part : expr.split(QLatin1Char('+'))) {
                    const int f = d->dbf->fieldIndex(part.trimmed());
                    if (f < 0) {
                        shape.widths.clear();
                        break;
                    }
                    shape.widths.push_back(d->dbf->fields()[size_t(f)].length);
                }
                d->keyShapes.push_back(std::move(shape));
                try {
                    if (d->mdx->keyType(t) != 'C')
                        throw EDatabaseError(QStringLiteral("only character keys are supported"));
                    d->tagKeys.emplace_back(MdxKeyExpression::parse(d->mdx->tagExpression(t), refs));
                } catch (const EVedomecError& e) {
                    d->tagKeys.emplace_back(std::nullopt);
                    d->tagErrors << QStringLiteral("tag %1 (%2): %3").arg(d->mdx->tagName(t), d->mdx->tagExpression(t), e.message());
                }
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
bool TTable::IsEmpty() const { return !Active() || d->visibleCount == 0; }

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
            d->mdx->insertKey(t, d->tagKeys[size_t(t)]->evaluate(rec, d->mdx->keyLength(t)), recno);
        ++d->visibleCount;
        d->cur = recno;
    } else {
        const uint32_t recno = d->cur;
        std::vector<QByteArray> oldKeys;
        oldKeys.reserve(size_t(tags));
        const char* old = d->dbf->record(recno);
        for (int t = 0; t < tags; ++t)
            oldKeys.push_back(d->tagKeys[size_t(t)]->evaluate(old, d->mdx->keyLength(t)));
        d->dbf->writeRecord(recno, d->buffer.constData());
        const char* rec = d->dbf->record(recno);
        for (int t = 0; t < tags; ++t) {
            const QByteArray key = d->tagKeys[size_t(t)]->evaluate(rec, d->mdx->keyLength(t));
            if (key != oldKeys[size_t(t)]) {
                d->mdx->removeKey(t, oldKeys[size_t(t)], recno);
                d->mdx->insertKey(t, key, recno);
            }
        }
    }
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
    return Active() ? d->visibleCount : 0;
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
    const int keyLength = d->mdx->keyLength(tag);
    // Several values stand for the parts of a key built from several fields:
    // each but the last is padded to its field's width, as in the key.
    const Impl::KeyShape& shape = d->keyShapes[size_t(tag)];
    const bool byParts = values.size() > 1 && size_t(values.size()) == shape.widths.size();
    QByteArray key;
    key.reserve(keyLength);
    for (int i = 0; i < values.size(); ++i) {
        QByteArray v = unicodeToCp1250(shape.upper ? values[i].toUpper() : values[i]);
        if (byParts && i + 1 < values.size()) {
            const int width = shape.widths[size_t(i)];
            v.truncate(width);
            v.append(QByteArray(width - v.size(), ' '));
        }
        key += v;
    }
    key = key.left(keyLength);
    key.append(QByteArray(keyLength - key.size(), ' '));

    MdxFile::Position p = d->mdx->seek(tag, key);
    while (p.valid() && !d->visible(d->mdx->recno(tag, p))) {
        p = d->mdx->next(tag, p);
        if (p.valid() && d->mdx->key(tag, p) != key)
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
