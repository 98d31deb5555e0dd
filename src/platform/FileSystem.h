#pragma once
#include <QString>
#include <QStringList>

#include <functional>

// File-system layer.  Data folders are often copied from Windows, where
// "DATA\testy.dbf" and "Data\Testy.DBF" are the same file; every lookup here
// matches names without regard to letter case.
namespace vedomec::fs {

// Joins a folder and a relative path with '/' (no doubled separators).
QString join(const QString& folder, const QString& relative);

// The existing path that `path` names when each component is matched without
// regard to case (an exact match wins).  Returns the empty string when some
// component does not exist.  Relative paths are taken from the current folder.
QString resolve(const QString& path);

// The path to use for `relative` below `folder`: the existing entry matched
// without regard to case, or, when nothing matches, the plain join (for
// callers that create files).
QString locate(const QString& folder, const QString& relative);

bool isFile(const QString& path);   // case-insensitive, plain files only
bool isDir(const QString& path);    // case-insensitive

// The name is one plain file name: no separators, not "." or "..", no NUL.
bool isPlainFileName(const QString& name);

// Files of `folder` whose names end with `suffix` (case-insensitive, e.g.
// ".dbf"), sorted by name without regard to case.
QStringList listFiles(const QString& folder, const QString& suffix);

// The "file search" of the program: the name itself when such a file exists
// relative to the current folder, else folder + '/' + name when that exists,
// else the empty string.
QString fileSearch(const QString& name, const QString& folder);

QString currentFolder();
bool setCurrentFolder(const QString& folder);

// Renames without ever replacing an existing target; false when the target
// exists or the rename fails.
bool renameNoReplace(const QString& from, const QString& to);

// Copies `from` to the new file `to` (which must not exist), flushed to disk
// before returning true.  On failure nothing is left at `to` and `error`
// says what failed.
bool copyNew(const QString& from, const QString& to, QString* error);

// --- Writing ----------------------------------------------------------------
// Every write, truncation and flush the table store and the import make goes
// through these three, so that the one hook below sees them all.  Each
// returns false with the errno value in *error on failure.
bool writeAt(int fd, const char* data, qint64 size, qint64 offset, int* error);
bool truncateTo(int fd, qint64 size, int* error);
bool syncData(int fd, int* error);

enum class WriteOp { Write, Truncate, Sync };
// What the hook decides for one operation: go ahead (error 0), or fail with
// `error` after `partial` bytes of a write have reached the file.
struct WriteOutcome {
    int error = 0;
    qint64 partial = 0;
};
// A test's hook: called before each operation with where and how much (for
// a write its offset and length, for a truncation the new length, for a
// flush nothing).  An empty hook removes it.
using WriteHook = std::function<WriteOutcome(WriteOp op, qint64 offset, qint64 size)>;
void setWriteHook(WriteHook hook);

// Whether the folder lies on a network file system (NFS, SMB, ...), where
// other machines share the files and nothing but byte-range locks and
// flushes carry a change to them.
bool isNetworkFolder(const QString& folder);
// Tests may have every folder taken for a network one.
void setTreatFoldersAsNetwork(bool on);

} // namespace vedomec::fs
