#pragma once
// What the program makes inside a data folder that a class shares takes
// from that folder: its group, its group's right to write, and for a folder
// the setgid bit.  A school gives the teacher and the pupils one group and
// the folder its group; whatever one account makes there the others can
// then go on using, whoever made it and whatever his umask.
#include <QString>

#include <sys/types.h>

namespace vedomec::fs {

// Gives the new file open at `fd`, made in `folder`, the mode `mode` with
// the group's right to read and write added where the folder grants its
// group the right to write, and the folder's group where it differs and
// this account may give it.  Failures are ignored: the file stays as the
// system made it.
void takeFolderRights(int fd, const QString& folder, mode_t mode);
// The same for a file or a folder named by its path; a folder takes the
// folder's own permissions and keeps its setgid bit.
void takeFolderRights(const QString& path, const QString& folder, mode_t mode);

// Makes the folder `path` like the folder it is made in: its group, its
// permissions and its setgid bit.  False with `error` set when it cannot
// be made.
bool makeFolderLike(const QString& path, QString* error = nullptr);

// The parent folder of a path, for the functions above.
QString folderOf(const QString& path);

} // namespace vedomec::fs
