#pragma once
#include <QString>
#include <QStringList>

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

} // namespace vedomec::fs
