#pragma once
// What an index tag is made of besides its tree: the key expression, the FOR
// clause and the byte forms of numeric and date keys (docs/mdx-format.md).
#include <QByteArray>
#include <QString>

#include <array>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vedomec::data {

class CodePage;

// A field of the table as the expressions need it.
struct MdxFieldRef {
    QString name;        // as in the .DBF descriptor
    char type = 'C';     // dBASE field type
    int offset = 0;      // byte offset inside the record (after the deletion flag byte, i.e. record[offset])
    int length = 0;
    const CodePage* codePage = nullptr; // the table's text; nullptr: Windows-1250
};

namespace mdxkey {

constexpr int kNumberLength = 12;
constexpr int kDateLength = 8;

// The numeric key of decimal text ("  -12.50"; blanks stand for 0).  False,
// with `out` untouched, when the text is no number.
bool encodeNumber(const QByteArray& text, char* out);
// The numeric key of a number field's bytes; what is not a number counts
// as 0, as dBASE's VAL() has it.
void encodeNumberField(const char* field, int length, char* out);
// The value of a numeric key as decimal text ("12.5"); empty when the bytes
// are no valid key.
QString numberText(const char* key);
bool validNumber(const char* key);

// The date key of a Julian day number.
void encodeDate(int64_t julianDay, char* out);
// The Julian day number of a date field's "YYYYMMDD"; none when empty or
// not a date.
std::optional<int64_t> dateOfField(const char* field);
// A date key as "YYYY-MM-DD" (or its bare value when it is no day).
QString dateText(const char* key);

// Order of two keys of a tag: negative, 0 or positive.  Character keys by
// their bytes, numeric and date keys by value; a descending tag turns the
// order round.  Bytes that are no valid key of the type sort before all
// valid ones, among themselves by their bytes, so the order stays total.
int compare(char type, bool descending, const char* a, const char* b, int length);
// A key as a reader wants to see it in a message.
QString display(char type, const char* key, int length);

} // namespace mdxkey

// A key expression the store can evaluate (docs/mdx-format.md): character
// fields, UPPER() and DTOS() joined with '+', or one numeric or date field.
// Field names match without regard to case (the first of equal names).
class MdxKeyExpression {
public:
    // Throws EDatabaseError "Index expression '%1' is not supported".
    static MdxKeyExpression parse(const QString& expression, const std::vector<MdxFieldRef>& fields);
    // 'C', 'N' or 'D'.
    char type() const { return m_type; }
    // The key of a record (record points at the deletion flag byte):
    // character keys padded or cut to keyLength, numeric keys of 12 bytes,
    // date keys of 8.
    QByteArray evaluate(const char* record, int keyLength) const;
    // False where programs disagree on the key (a date key of an empty
    // date): such keys are not judged.
    bool definite(const char* record) const;
    int naturalLength() const; // the key length a new tag gets
    // The parts of a character key, for building a key from several values.
    struct PartShape {
        int width;
        bool upper;
    };
    std::vector<PartShape> shape() const;

private:
    struct Part {
        enum Kind { Field, Dtos } kind;
        int offset;
        int length;
        bool upper;
    };
    std::vector<Part> m_parts;
    char m_type = 'C';
    const std::array<unsigned char, 256>* m_upper = nullptr; // UPPER() in the table's code page
};

// The FOR clause of a tag: which records the tag holds.
class MdxForClause {
public:
    // Throws EDatabaseError "FOR clause '%1' is not supported".
    static MdxForClause parse(const QString& clause, const std::vector<MdxFieldRef>& fields);
    // Whether the record (pointing at its deletion flag) belongs in the tag.
    bool holds(const char* record) const;

    struct Node;

private:
    std::shared_ptr<const Node> m_root;
};

} // namespace vedomec::data
