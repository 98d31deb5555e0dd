#include "platform/AppPath.h"

#include "platform/FileSystem.h"
#include "platform/SharedFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VEDOMEC_SAMPLE_FROM_BIN
#define VEDOMEC_SAMPLE_FROM_BIN "../share/vedomec/sample"
#endif

namespace vedomec {
namespace {
QString& overridePath()
{
    static QString p;
    return p;
}
QString withSlash(QString p)
{
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

// Copies the folder `from` into the new folder `to`: files are written
// fresh (so a read-only installed sample gives a folder the user can write),
// directories made as they come.
bool copyTree(const QString& from, const QString& to, QString* error)
{
    if (!QDir().mkdir(to)) {
        *error = QStringLiteral("Cannot create folder %1").arg(to);
        return false;
    }
    const QDir source(from);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = QDir(to).filePath(source.relativeFilePath(path));
        if (info.isSymLink())
            continue; // the sample holds none; never follow one out of it
        if (info.isDir()) {
            if (!QDir().mkpath(target)) {
                *error = QStringLiteral("Cannot create folder %1").arg(target);
                return false;
            }
        } else if (info.isFile()) {
            QDir().mkpath(QFileInfo(target).path());
            if (!fs::copyNew(path, target, error))
                return false;
        }
    }
    return true;
}

// Makes `user` from `sample` under a temporary name beside it and renames it
// into place, so a start killed half way leaves no half-made folder to run on.
bool makeUserFolder(const QString& sample, const QString& user, QString* error)
{
    const QFileInfo target(user);
    if (!QDir().mkpath(target.path())) {
        *error = QStringLiteral("Cannot create folder %1").arg(target.path());
        return false;
    }
    const QString work = QDir(target.path()).filePath(
        QStringLiteral(".%1.new-%2").arg(target.fileName(), QUuid::createUuid().toString(QUuid::Id128).left(12)));
    if (copyTree(sample, work, error) && fs::renameNoReplace(work, user))
        return true;
    QDir(work).removeRecursively();
    if (QFileInfo(user).isDir())
        return true; // another start made it first
    if (error->isEmpty())
        *error = QStringLiteral("Cannot rename %1 to %2").arg(work, user);
    return false;
}

// The work folder a fill of a named folder copies the sample into, inside
// that folder: a start killed half way leaves only this behind.
const QLatin1String kFillWork(".vedomec-sample-");

// Gives everything below `root` the group and the permissions of the
// folder `folder` it fills (files without the execute bits), and every
// folder its setgid bit: what the class makes there later keeps the group.
bool takePermissions(const QString& root, const QString& folder, QString* error)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0) {
        *error = QStringLiteral("Cannot read the permissions of %1").arg(folder);
        return false;
    }
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileInfo().isSymLink())
            continue;
        fs::takeFolderRights(path, folder, st.st_mode & 0666);
        struct stat now {};
        const mode_t want = it.fileInfo().isDir() ? (st.st_mode & (0777 | S_ISGID)) : (st.st_mode & 0666);
        if (::lstat(QFile::encodeName(path).constData(), &now) != 0 || (now.st_mode & 0777) != (want & 0777)) {
            *error = QStringLiteral("Cannot set the permissions of %1").arg(path);
            return false;
        }
    }
    return true;
}

} // namespace

TAppPath::NamedFolder TAppPath::prepareNamed(const QString& folder, const QString& sampleFolder, QString* error)
{
    QString ignored;
    QString& why = error ? *error : ignored;
    why.clear();
    const QByteArray native = QFile::encodeName(folder);
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return errno == EACCES ? NamedFolder::Unreadable : NamedFolder::Missing;
    if (!S_ISDIR(st.st_mode))
        return NamedFolder::NotAFolder;
    if (::access(native.constData(), R_OK | X_OK) != 0)
        return NamedFolder::Unreadable;

    const QDir dir(folder);
    QStringList leftovers;
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (!name.startsWith(kFillWork))
            return NamedFolder::Ready; // somebody's: used as it is
        leftovers << name;
    }
    if (::access(native.constData(), W_OK) != 0)
        return NamedFolder::EmptyReadOnly;
    if (!QFileInfo(sampleFolder).isDir()) {
        why = QStringLiteral("No sample folder %1").arg(sampleFolder);
        return NamedFolder::FillFailed;
    }

    const QString work = dir.filePath(kFillWork + QUuid::createUuid().toString(QUuid::Id128).left(12));
    bool filled = copyTree(sampleFolder, work, &why) && takePermissions(work, folder, &why);
    if (filled) {
        QStringList names = QDir(work).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        std::stable_partition(names.begin(), names.end(), [](const QString& n) {
            return n.compare(QLatin1String("Data"), Qt::CaseInsensitive) != 0;
        });
        QStringList moved;
        for (const QString& name : std::as_const(names)) {
            if (!fs::renameNoReplace(QDir(work).filePath(name), dir.filePath(name))) {
                why = QStringLiteral("Cannot rename %1 to %2").arg(QDir(work).filePath(name), dir.filePath(name));
                filled = false;
                break;
            }
            moved << name;
        }
        if (!filled) // back to empty
            for (const QString& name : std::as_const(moved))
                fs::renameNoReplace(dir.filePath(name), QDir(work).filePath(name));
    }
    QDir(work).removeRecursively();
    if (!filled)
        return fs::isDir(fs::join(folder, QStringLiteral("Data"))) ? NamedFolder::Ready // another start filled it
                                                                    : NamedFolder::FillFailed;
    for (const QString& name : std::as_const(leftovers))
        QDir(dir.filePath(name)).removeRecursively();
    return NamedFolder::Filled;
}

QString TAppPath::sampleFolder()
{
    return QDir::cleanPath(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(VEDOMEC_SAMPLE_FROM_BIN)));
}

QString TAppPath::resolve(const QString& programFolder, const QString& sampleFolder, const QString& userFolder,
                          QString* error)
{
    QString ignored;
    QString& why = error ? *error : ignored;
    why.clear();
    if (fs::isDir(fs::join(programFolder, QStringLiteral("Data"))) || !QFileInfo(sampleFolder).isDir()
        || userFolder.isEmpty())
        return withSlash(programFolder);
    if (!QFileInfo(userFolder).exists())
        makeUserFolder(sampleFolder, userFolder, &why);
    return withSlash(userFolder);
}

QString TAppPath::userFolder()
{
    // Empty when there is no home to put it in.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return home.isEmpty() ? QString() : QDir(home).filePath(QStringLiteral("vedomec"));
}

QString TAppPath::Path()
{
    if (!overridePath().isEmpty())
        return overridePath();
    // Found once: the first call may make the per-user folder.
    static const QString found = [] {
        QString error;
        const QString folder = resolve(QCoreApplication::applicationDirPath(), sampleFolder(), userFolder(), &error);
        if (!error.isEmpty())
            qWarning("vedomec: %s", qPrintable(error));
        return folder;
    }();
    return found;
}

void TAppPath::setOverride(const QString& folder)
{
    overridePath() = folder.isEmpty() ? QString() : withSlash(QDir(folder).absolutePath());
}

} // namespace vedomec
