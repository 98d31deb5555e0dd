#pragma once
// The results folder: one file per test taken, written whole or not at all,
// and read back by the teacher with who wrote each file.
//
// A class's results folder is one the pupils may write into but not list
// or read (mode 3773 with the teachers' group, who read it): the pupil's
// program only ever creates a file of a new name in it and never needs to
// look inside.
#include "gradebook/Record.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vedomec::gradebook {

// The folder of the results: `ResultsFolder` when set (a full path, "~/"
// allowed), else "Vysledky" of the data folder (its name matched without
// regard to letter case).
QString resultsFolder(const QString& dataFolder, const QString& resultsFolderSetting);

// Writes the record as a new file of the folder.  The file appears under its
// final name only once it is whole and on disk (a temporary file of a name
// nobody else can take, flushed, then renamed without replacing anything),
// so a kill or a failed write leaves no part of a record where the teacher
// reads.  A folder that does not exist is made only when `mayMake` (a data
// folder of the pupil's own), readable by nobody but him.  Returns the
// file's path; on failure the empty text and `error` says why (Czech).
QString writeRecord(const QString& folder, const TResultRecord& record, QString* error = nullptr,
                    bool mayMake = false);

// A record as the teacher reads it.
struct TStoredRecord {
    TResultRecord record;
    QString path;
    qint64 ownerUid = -1;
    // The file belongs to the account the record names.  Any account that
    // may write into the folder could have written a record naming another.
    bool trusted = false;
};

struct TFolderContents {
    QList<TStoredRecord> records; // in the order of the file names
    QStringList problems;         // files that are no record, one Czech line each
    QString error;                // the folder itself cannot be read
};

// Every record of the folder; files being written (and so not yet named as
// records) are passed over.
TFolderContents readRecords(const QString& folder);

} // namespace vedomec::gradebook
