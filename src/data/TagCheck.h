#pragma once
// The table against its production index: what `vedomec-table check`
// reports beyond the index file's own structure.
#include <QStringList>

namespace vedomec::data {

class DbfFile;
class MdxFile;

struct TagCheckReport {
    QStringList problems; // real damage: a reader would see wrong rows
    QStringList notes;    // what could not be judged, or what a reindex would tidy
};

// Every tag against the table: each entry points at a record, no record is
// indexed twice, every key is the one the record's fields give now (numeric
// and date keys by value), the FOR clause admits each indexed record and
// every live record it admits is there (in a unique tag: its key is).
// Expressions and clauses the store cannot evaluate are noted, not judged.
TagCheckReport checkTagsAgainstTable(const DbfFile& dbf, const MdxFile& mdx);

// What can be told at every opening without walking the trees: the index
// holds tags although the table announces it, its header does not count
// more pages than the file has, each character tag's key length is what its
// expression gives (cut to dBASE's 100), and a tag that must hold every row
// (no FOR clause, not unique) holds at least the live rows and at most all
// records.  Returns the contradictions found, empty for a sound index.
QStringList quickIndexCheck(const DbfFile& dbf, const MdxFile& mdx);

} // namespace vedomec::data
