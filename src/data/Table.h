#pragma once
// The table cursor: our layer in place of the dBASE engine.  One object per
// table, reopened many times; reads and writes real dBASE III/IV files and
// keeps their production index up to date.
//
// Below the cursor, and unseen by its users: every change (a Post with its
// index upkeep, a deletion) is one journaled change of the .DBF and .MDX
// (TableFile.h), made under an exclusive byte-range lock (Locks.h); before
// each operation the cursor notices a change another program made and
// reloads its image of the files.
#include "data/TableFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace vedomec::data {

enum class FieldKind { Text, Number };

// A declared field: found in the file by name without regard to case.
struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Text;
    int width = 0; // text fields: exact width the file must have
};

using Bookmark = qint64; // 0 means none

class TTable : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit TTable(QObject* parent = nullptr);
    ~TTable() override;

    // 1. Folder and file name; only while closed (throws otherwise).
    void SetDatabaseName(const QString& folder);
    QString DatabaseName() const;
    void SetTableName(const QString& fileName);
    QString TableName() const;
    // The index to follow: a tag of the production index, matched without
    // regard to case; empty for physical order.  May be set while open.
    void SetIndexName(const QString& tag);
    QString IndexName() const;
    void SetFieldDefs(const QList<FieldDef>& defs);
    const QList<FieldDef>& FieldDefs() const;
    // Held tables belong to this program while they are open: Open refuses a
    // table another program holds (ETableInUse) and keeps every other
    // program's change out until Close; others may still read it between two
    // changes (readTableImage).  The question table of the running test is
    // held: only one copy answers in it, the others take the test on a copy
    // of their own.  Takes effect at the next Open.
    void SetHeld(bool held);
    bool Held() const;
    // Flush every change to the disk before Post returns, so that a power
    // cut loses nothing that was reported stored.  Always on for a folder on
    // a network file system.
    void SetSyncWrites(bool sync);
    bool SyncWrites() const;

    // 2. Open checks the declared layout ("Field '%s' not found", ...) and
    // stands on the first row.  Close on a closed table does nothing.
    void Open();
    void Close();
    bool Active() const;
    State state() const;
    QString FilePath() const; // the file actually opened

    // 3./4. Navigation.  Next on the last row sets Eof and stays there.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;
    // Whether the cursor has no row to stand on: the table has no live row
    // or, with a tag selected, the tag holds none (a FOR clause may leave
    // every row out).
    bool IsEmpty() const;

    // 5. Field text without trailing blanks; numbers as decimal text of a
    // 16-bit integer; blanks as the empty text.  Empty on a table without rows.
    QString FieldAsString(const QString& name) const;
    // The names of the fields that can be read: the declared ones, or all of
    // the file's when none are declared.  Empty while closed.
    QStringList FieldNames() const;

    // 6./7. Edit / Insert, set fields, Post (writes through to the file).
    void Edit();
    void Insert();
    void SetFieldAsString(const QString& name, const QString& value);
    void Post();
    void Cancel();
    // Marks the current row deleted, as one change; the cursor moves on to
    // the next row (or the one before).  Its keys stay in the index, as in
    // every dBASE program until the table is packed: a walk passes over them.
    void Delete();

    // The last change this cursor wrote to the files (a Post, a Delete).
    WrittenChange LastChange() const;
    // Takes back a change made to this table (LastChange(), also of an
    // earlier opening), as one change of its own, so the files are again
    // what they were before it: only while the files still hold what that
    // change wrote, its bytes and the files' sizes; otherwise nothing changes
    // and false comes back.  The cursor goes to the first row.
    bool TakeBack(const WrittenChange& change);

    // 8. The rows a scan visits: the live rows, or those the selected tag holds.
    int RecordCount() const;
    // Physical record number of the current row (1-based), 0 when none.
    int RecNo() const;

    // 9. Valid while the table stays open.
    Bookmark GetBookmark() const;
    void GotoBookmark(Bookmark b);

    // 10. Exact match on the selected index's key; returns whether found and
    // leaves the cursor where it was when not.  A numeric or date index takes
    // one value that reads as a number or a date (else EDatabaseError).
    bool FindKey(const QStringList& values);
    QStringList IndexTagNames() const;

    // Why the production index may not be written to (a header that
    // contradicts itself or the table, rows missing from a tag); empty when
    // it is sound.  Such a table is read, but every write fails before
    // anything changes.
    QString IndexDamage() const;
    // Why a change of the open table would be refused before anything
    // changed (the files or their journal may only be read by this program,
    // a damaged index...); empty when it would be carried out.
    QString WriteRefusal() const;
    // Takes on disk, now, the room a change of one existing row needs later
    // (its journal record, and the growth of an index over the row's
    // fields), so that a table opened on a full disk is refused when it
    // opens rather than at its first change.  Throws EDatabaseError naming
    // the file that found no room; nothing of the table changes either way.
    void ReserveRowChangeRoom();

signals:
    void activeChanged(bool active);
    // The current row moved or its values changed.
    void dataChanged();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// 11. A data source: bound controls read the current row through it and
// read the empty text while it is disabled or its table is closed.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr);

    void SetDataSet(TTable* table);
    TTable* DataSet() const { return m_table; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }

    QString FieldText(const QString& field) const;

signals:
    // Anything a bound control shows may have changed.
    void dataChanged();

private:
    TTable* m_table = nullptr;
    bool m_enabled = true;
    QMetaObject::Connection m_c1, m_c2, m_c3;
};

} // namespace vedomec::data
