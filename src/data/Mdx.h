#pragma once
// dBASE IV production index (.MDX): tags, B-tree pages, keys.
//
// Keys are the raw bytes as stored on disk: character keys in Windows-1250,
// blank-padded to the tag's key length.  Every change is written to the file
// before the call returns, so another program opening the index sees it.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace vedomec::data {

// A field of the table as the key evaluator needs it.
struct MdxFieldRef {
    QString name;        // as in the .DBF descriptor
    char type = 'C';     // dBASE field type
    int offset = 0;      // byte offset inside the record (after the deletion flag byte, i.e. record[offset])
    int length = 0;
};

// A key expression the store can evaluate: character fields joined with '+',
// optionally wrapped in UPPER(...).  Field names match without regard to case.
class MdxKeyExpression {
public:
    // Throws EDatabaseError when the expression cannot be evaluated over
    // these fields.
    static MdxKeyExpression parse(const QString& expression, const std::vector<MdxFieldRef>& fields);
    // The key of a record (record points at the deletion flag byte), padded
    // or cut to keyLength.
    QByteArray evaluate(const char* record, int keyLength) const;
    int naturalLength() const; // the sum of the field lengths

private:
    struct Part { int offset; int length; };
    std::vector<Part> m_parts;
    bool m_upper = false;
};

struct MdxTagSpec {
    QString name;        // up to 10 characters, stored upper case
    QString expression;  // e.g. "DRUH+JMENO" or "UPPER(DRUH)"
};

class MdxFile {
public:
    ~MdxFile();
    MdxFile(const MdxFile&) = delete;
    MdxFile& operator=(const MdxFile&) = delete;

    // Opens and validates the whole file (block size, pointers in range, no
    // cycles, sane counters).  Throws EDatabaseError with a clear text on
    // any damage; never writes when opening.
    static std::unique_ptr<MdxFile> open(const QString& path, bool writable);

    // Writes a new index file with the given tags, holding the keys of the
    // given records (record numbers are 1-based, physical order).  `fields`
    // describe the table's records.  Replaces nothing: fails when `path`
    // exists.  Throws EDatabaseError.
    static void create(const QString& path,
                       const QString& dbfBaseName,
                       const std::vector<MdxTagSpec>& tags,
                       const std::vector<MdxFieldRef>& fields,
                       const std::vector<const char*>& records);

    int tagCount() const;
    QString tagName(int tag) const;
    QString tagExpression(int tag) const;
    int keyLength(int tag) const;
    char keyType(int tag) const;          // 'C' for character keys
    int findTag(const QString& name) const; // without regard to case; -1 when none

    // Key order walking.  A position is opaque to the caller; recno() of an
    // invalid position is 0.
    struct Position {
        uint32_t page = 0;
        int slot = -1;
        bool valid() const { return slot >= 0; }
    };
    Position first(int tag) const;
    Position last(int tag) const;
    Position next(int tag, Position p) const;  // invalid past the end
    Position prior(int tag, Position p) const; // invalid before the start
    uint32_t recno(int tag, Position p) const;
    QByteArray key(int tag, Position p) const;
    // The key bytes of an entry without a copy (keyLength(tag) bytes), or
    // nullptr for an invalid position; valid until the next change.
    const char* keyData(int tag, Position p) const;
    // The number of entries of a tag.
    int entryCount(int tag) const;

    // The first entry whose key equals `key` exactly (after padding to the
    // key length); invalid when there is none.
    Position seek(int tag, const QByteArray& key) const;
    // The entry holding exactly (key, recno); invalid when there is none.
    Position locate(int tag, const QByteArray& key, uint32_t recno) const;

    // Index upkeep; both write through to the file.  Equal keys are kept in
    // record-number order.  Throw EDatabaseError on a read-only file or I/O
    // failure.
    void insertKey(int tag, const QByteArray& key, uint32_t recno);
    void removeKey(int tag, const QByteArray& key, uint32_t recno);

    // Walks every tag and checks order, counts and structure; returns the
    // problems found (empty when the file is sound).
    QStringList check() const;

    QString path() const;

private:
    MdxFile();
    void insertKeyUnchecked(int tag, const QByteArray& key, uint32_t recno);
    void removeKeyUnchecked(int tag, const QByteArray& key, uint32_t recno);
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vedomec::data
