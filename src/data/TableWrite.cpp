// Changing rows through the cursor: Edit, Insert, Post, Delete.
#include "data/TableImpl.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace vedomec::data {

namespace {

// Blocks of `bytes` from the start of the file (or, keeping its size, past
// its end) taken on disk; false with the errno value in *error.
bool takeRoom(int fd, int mode, qint64 from, qint64 bytes, int* error)
{
    if (fd < 0 || bytes <= 0)
        return true;
    int r = 0;
    while ((r = ::fallocate(fd, mode, off_t(from), off_t(bytes))) != 0 && errno == EINTR) {
    }
    if (r == 0)
        return true;
    // A file system that cannot reserve (EOPNOTSUPP) is not a full one; its
    // writes are found out as they come, as before.
    if (errno == EOPNOTSUPP || errno == ENOSYS)
        return true;
    *error = errno;
    return false;
}

QString stateError()
{
    return QStringLiteral("Dataset not in edit or insert mode");
}

} // namespace

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
        QByteArray gone(d->dbf->record(recno), d->dbf->recordLength());
        gone[0] = '*';
        d->dbf->writeRecord(recno, gone.constData());
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

WrittenChange TTable::LastChange() const
{
    return d->lastChange;
}

bool TTable::TakeBack(const WrittenChange& change)
{
    requireActive(this);
    if (d->state != State::Browse)
        throw EDatabaseError(QStringLiteral("Cannot take a change back while a row is edited"));
    if (d->broken)
        throw EDatabaseError(QStringLiteral("Table '%1' cannot be used any more; open it again").arg(d->filePath));
    if (change.empty())
        return false;
    {
        Impl::Change undo(*d);
        TableFile* const files[2] = {&d->dbf->file(), d->mdx ? &d->mdx->file() : nullptr};
        for (int i = 0; i < 2; ++i) {
            const WrittenChange::File& w = change.files[i];
            if (!w.changed)
                continue;
            if (!files[i] || files[i]->size() != w.sizeAfter)
                return false;
            for (const WrittenChange::Piece& p : w.after)
                if (p.offset + p.size > files[i]->size()
                    || std::memcmp(files[i]->bytes().constData() + p.offset, change.data(p), size_t(p.size)) != 0)
                    return false;
        }
        for (int i = 0; i < 2; ++i) {
            const WrittenChange::File& w = change.files[i];
            if (!w.changed)
                continue;
            files[i]->truncate(w.sizeBefore);
            for (const WrittenChange::Piece& p : w.before)
                files[i]->write(p.offset, change.data(p), p.size);
        }
        undo.commit();
    }
    d->cur = 0;
    d->reload(false);
    emit dataChanged();
    return true;
}

void TTable::ReserveRowChangeRoom()
{
    requireActive(this);
    if (!d->journal || !d->journal->writable())
        return;
    // The journal record of a change holds the bytes it replaces, with a
    // few words for the record and for each range: a few header bytes and
    // one row, and where an index is kept at most every page of the index
    // as it stands, two ranges a page, counting the pages a change that
    // splits blocks adds (at most as many again).  The journal is never
    // shortened, so the room stays its own for every later change.
    const qint64 index = d->mdx ? d->mdx->file().size() : 0;
    const qint64 record = std::max<qint64>(4096, 512 + d->dbf->recordLength() + index + index / 4);
    int error = 0;
    if (!takeRoom(d->journal->fd(), 0, 0, record, &error))
        throw EDatabaseError(QStringLiteral("Cannot write the journal %1: %2")
                                 .arg(d->journal->path(), QString::fromLocal8Bit(std::strerror(error))));
    if (d->mdx && !takeRoom(d->mdx->file().fd(), FALLOC_FL_KEEP_SIZE, index, index, &error))
        throw EDatabaseError(QStringLiteral("Cannot write the index %1: %2")
                                 .arg(d->mdx->file().path(), QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace vedomec::data
