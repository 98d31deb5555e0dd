#include "platform/AppPath.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>
#include <QtDebug>

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

} // namespace

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
        const QString program = QCoreApplication::applicationDirPath();
        const QString sample = QDir::cleanPath(QDir(program).filePath(QStringLiteral(VEDOMEC_SAMPLE_FROM_BIN)));
        QString error;
        const QString folder = resolve(program, sample, userFolder(), &error);
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
