#pragma once
// dBASE IV production index (.MDX): tags, B-tree pages, keys.
//
// Keys are the raw bytes as stored on disk: character keys in Windows-1250,
// blank-padded to the tag's key length, numeric and date keys in their
// dBASE forms (docs/mdx-format.md).  Every change is written to the file
// before the call returns, unless the table cursor records it as part of one
// change with the table (TableFile.h).
#include "data/IndexExpr.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace vedomec::data {

struct MdxTagSpec {
    MdxTagSpec() = default;
    MdxTagSpec(QString name, QString expression, QString forClause = QString(), bool unique = false,
               bool descending = false)
        : name(std::move(name)), expression(std::move(expression)), forClause(std::move(forClause)),
          unique(unique), descending(descending)
    {
    }
    QString name;        // up to 10 characters, stored upper case
    QString expression;  // e.g. "DRUH+JMENO", "UPPER(DRUH)" or a numeric field
    QString forClause;   // empty for none, e.g. ".NOT. DELETED()"
    bool unique = false;
    bool descending = false;
};

class TableFile;

// The longest key a dBASE IV tag holds; a longer expression is cut to it.
constexpr int kMaxIndexKeyLength = 100;

// An index file that is missing or cannot be read as an index: the table
// itself may be sound, and a rebuild from it gives the index back.
class EIndexDamaged : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
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
    // The index over a file already opened and loaded.
    static std::unique_ptr<MdxFile> fromFile(std::unique_ptr<TableFile> file);
    // Reads the file again (another program changed it) or parses the image
    // again (a change was undone in memory).  Throw EDatabaseError.
    void reload();
    void reparse();
    TableFile& file() const;
    // The file's length in pages as its header states it, and as it is.
    uint32_t headerPageCount() const;
    uint32_t filePageCount() const;

    // Writes a new index file with the given tags, holding the keys of the
    // given records (record numbers are 1-based, physical order) that their
    // FOR clauses admit, a unique tag the first record of each key.
    // `fields` describe the table's records.  Replaces nothing: fails when
    // `path` exists.  Throws EDatabaseError.
    static void create(const QString& path,
                       const QString& dbfBaseName,
                       const std::vector<MdxTagSpec>& tags,
                       const std::vector<MdxFieldRef>& fields,
                       const std::vector<const char*>& records);

    int tagCount() const;
    QString tagName(int tag) const;
    QString tagExpression(int tag) const;
    int keyLength(int tag) const;
    char keyType(int tag) const;          // 'C', 'N' (numeric) or 'D' (date)
    QString tagForClause(int tag) const;  // empty when the tag has none
    bool tagUnique(int tag) const;        // each key once
    // The tag's header contradicts itself: the key format's bit calls it
    // unique, its unique flag does not.  Other dBASE programs go by the flag,
    // and so does tagUnique().
    bool tagUniqueBitOnly(int tag) const;
    bool tagDescending(int tag) const;    // walked from the greatest key
    // Order of two keys of the tag (padded or cut to its key length) as the
    // tag keeps them: negative, 0 or positive.
    int compareKeys(int tag, const QByteArray& a, const QByteArray& b) const;
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

    // The first entry whose key equals `key` (after padding to the key
    // length; numeric and date keys by value); invalid when there is none.
    Position seek(int tag, const QByteArray& key) const;
    // The entry holding exactly (key, recno); invalid when there is none.
    Position locate(int tag, const QByteArray& key, uint32_t recno) const;

    // Index upkeep; both write through to the file.  A new key goes after
    // the equal keys of lower record numbers.  A unique tag takes no second
    // entry of a key it holds: insertKey then returns false.  removeKey
    // returns whether the entry was there.  Throw EDatabaseError on a
    // read-only file or I/O failure.
    bool insertKey(int tag, const QByteArray& key, uint32_t recno);
    bool removeKey(int tag, const QByteArray& key, uint32_t recno);

    // The definitions of the tags (name, expression, FOR clause, flags) as
    // their headers hold them, read without walking any tree, so that an
    // index with a damaged tree can still be rebuilt as it was.  Throws
    // EIndexDamaged when not even they can be read.
    static std::vector<MdxTagSpec> readTagSpecs(const QString& path);

    // Walks every tag and checks order, counts and structure; returns the
    // problems found (empty when the file is sound).
    QStringList check() const;

    QString path() const;

private:
    MdxFile();
    bool insertKeyUnchecked(int tag, const QByteArray& key, uint32_t recno);
    bool removeKeyUnchecked(int tag, const QByteArray& key, uint32_t recno);
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vedomec::data
