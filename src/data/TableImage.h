#pragma once
// A table read whole, as it stands between two changes, so that a program
// can take a copy of a table another program holds open.
#include "platform/Errors.h"

#include <QByteArray>
#include <QString>

namespace vedomec::data {

struct TableImage {
    QString dbfName;  // the file names as found on disk
    QByteArray dbf;
    QString mdxName;  // empty when the table has no production index
    QByteArray mdx;
};

// Reads the .DBF at `path` and, when its header announces one, its
// production index, under the table's shared change lock: a change is never
// seen half done, and a program that holds the table as its running test
// goes on answering meanwhile (it waits for the read no longer than the read
// takes).  A change that stopped half way is kept or undone in the image as
// the next opening would on the files.  Throws ETableLocked when a change
// outlasts the store's wait, and EDatabaseError for a file that is missing,
// cannot be read or is no table, or a journal that is damaged.
TableImage readTableImage(const QString& path);

} // namespace vedomec::data
