#pragma once
// dBASE III/IV table files (.DBF): header, field descriptors, records.
//
// The whole file is read at open and kept in memory.  A change is written
// through to the file before the call returns, unless the table cursor
// records it as part of one change with the index (TableFile.h).  Damaged
// files are refused with an EDatabaseError at open, before anything could be
// written.
#include "data/Mdx.h"
#include "data/TableFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace vedomec::data {

class CodePage;

struct DbfField {
    QString name;      // as stored in the descriptor (normally upper case)
    char type = 'C';   // dBASE field type letter
    int offset = 0;    // byte offset inside the record; the deletion flag is byte 0
    int length = 0;
    int decimals = 0;
    const CodePage* codePage = nullptr; // the table's, for text; nullptr: Windows-1250
};

// A field of a table to be created.
struct DbfFieldSpec {
    QString name;      // up to 10 ASCII characters
    char type = 'C';   // 'C' (text) or 'N' (number)
    int length = 0;
    int decimals = 0;
};

class DbfFile {
public:
    ~DbfFile();
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;

    // Opens an existing table; writable when the file permits it.  Throws
    // EDatabaseError on a missing, unreadable or damaged file.
    static std::unique_ptr<DbfFile> open(const QString& path);
    // A table over a file already opened and loaded.
    static std::unique_ptr<DbfFile> fromFile(std::unique_ptr<TableFile> file);
    // Parses a table image that has no file behind it (read-only): used by
    // the fuzz target.
    static std::unique_ptr<DbfFile> fromBytes(const QByteArray& image, const QString& name);

    // Writes a new, empty dBASE IV table (language driver Windows-1250).
    // With `productionIndex` the header announces a production index, which
    // the caller creates next to it.  Never replaces an existing file.
    static void create(const QString& path, const std::vector<DbfFieldSpec>& fields, bool productionIndex);

    QString path() const;
    bool writable() const;
    TableFile& file() const { return *m_file; }
    // Reads the file again (another program changed it) or parses the image
    // again (a change was undone in memory).  Throws EDatabaseError.
    void reload();
    void reparse();
    uint8_t version() const;
    bool hasProductionIndex() const;
    uint8_t languageDriver() const;
    // The code page its text is in: the one the language driver names, or
    // nullptr for Windows-1250 (CodePage.h).
    const CodePage* codePage() const { return m_codePage; }
    int headerLength() const;
    int recordLength() const;
    uint32_t recordCount() const; // physical records, deleted ones included
    // Whole records the file holds after the header (a trailing end-of-file
    // marker aside): more than recordCount() when the header counts too few.
    uint32_t recordsInFile() const;

    const std::vector<DbfField>& fields() const;
    int fieldIndex(const QString& name) const; // without regard to case, the first; -1 when none
    // A field name the header holds more than once (empty when none): such a
    // table is read, but the store does not write to it.
    QString duplicateFieldName() const { return m_duplicateField; }
    std::vector<MdxFieldRef> mdxFields() const;

    // recno is 1-based and must be within 1..recordCount(); the pointer is
    // valid until the next append.
    const char* record(uint32_t recno) const;
    bool isDeleted(uint32_t recno) const { return record(recno)[0] == '*'; }
    QByteArray blankRecord() const;

    // Writes the record in place (`data` holds recordLength() bytes).
    void writeRecord(uint32_t recno, const char* data);
    // Appends the record with the end-of-file marker after it, then updates
    // the header's record count and date.  Returns the new record number.
    uint32_t appendRecord(const char* data) { return appendRecords(data, 1); }
    // The same for `count` records back to back, in two writes whatever
    // their number.  Returns the number of the last one.
    uint32_t appendRecords(const char* data, uint32_t count);

    // Field values as text (see Table.h for the rules; a whole number keeps
    // every digit it has).
    static QString readField(const DbfField& f, const char* record);
    // Encodes `text` into the field; throws EDatabaseError for a number
    // field given something that is not a 16-bit whole number.
    static void writeField(const DbfField& f, char* record, const QString& text);
    static bool isWholeNumber(const DbfField& f);
    // The type names used in layout errors: "String", "SmallInt", "Float"...
    static QString typeName(const DbfField& f);

private:
    DbfFile();
    void parse();
    const QByteArray& image() const { return m_file->bytes(); }

    QString m_path;
    std::unique_ptr<TableFile> m_file; // the file's bytes as they are on disk
    int m_headerLength = 0;
    int m_recordLength = 0;
    uint32_t m_count = 0;
    std::vector<DbfField> m_fields;
    QString m_duplicateField;
    const CodePage* m_codePage = nullptr;
};

// Creates an empty table and, when tags are given, its production index
// <base>.MDX next to it (flagged in the table's header).  Replaces nothing;
// when the index cannot be made the new table is removed again.
void createTable(const QString& dbfPath, const std::vector<DbfFieldSpec>& fields,
                 const std::vector<MdxTagSpec>& tags = {});

} // namespace vedomec::data
