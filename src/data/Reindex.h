#pragma once
// Rebuilding a table's production index from the table itself.
#include "data/Mdx.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vedomec::data {

// Makes the production index of the table at `dbfPath` anew from its rows,
// with the tags the old index file names (expression, FOR clause, unique and
// descending as they were).  `known` are the tags the program itself keeps
// on the table: they are made as given, in place of a tag of the same name
// and in addition where the old file lacks them (or cannot be read).  The old index file stays beside the table under a new name
// (".old", ".old2", ...; nothing is ever replaced), and nothing in the .DBF
// changes.  Runs with the table's change lock held exclusively, after
// undoing an unfinished change its journal records; programs that have the
// table open read the new index before their next operation.  Returns the
// path the old index was moved to, empty when there was none.  Throws
// EDatabaseError; the files are then as they were.
// A table whose header counts fewer records than the file holds would get
// an index that leaves rows out: when every record beyond the count is
// whole, the count is restored first (one change through the journal, told
// in `notes`), otherwise the rebuild is refused, naming both counts.
QString rebuildProductionIndex(const QString& dbfPath, const std::vector<MdxTagSpec>& known = {},
                               QStringList* notes = nullptr);

} // namespace vedomec::data
