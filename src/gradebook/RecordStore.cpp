#include "gradebook/RecordStore.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::gradebook {
namespace {

const QString kSuffix = QStringLiteral(".json");
const QString kPartSuffix = QStringLiteral(".part");

QString errnoText(int e)
{
    switch (e) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("na disku není místo");
    case EACCES:
    case EPERM: return QStringLiteral("chybí právo do složky zapisovat");
    case EROFS: return QStringLiteral("složka je jen pro čtení");
    case ENOENT: return QStringLiteral("složka neexistuje");
    case ENOTDIR: return QStringLiteral("není to složka");
    default: return QString::fromLocal8Bit(std::strerror(e));
    }
}

// A name that says whose and when, for a teacher looking at the folder:
// letters and digits of the login only, so no name can lead elsewhere.
QString baseName(const TResultRecord& r)
{
    QString who;
    for (QChar c : r.login)
        if (c.isLetterOrNumber() && c.unicode() < 128)
            who += c;
    if (who.isEmpty())
        who = QStringLiteral("zak");
    const QDateTime when = r.ended.isValid() ? r.ended : r.started;
    return QStringLiteral("%1-%2-%3")
        .arg(when.isValid() ? when.toString(QStringLiteral("yyyyMMdd-HHmmss")) : QStringLiteral("00000000-000000"), who)
        .arg(::getpid());
}

bool writeAll(int fd, const QByteArray& bytes, int* error)
{
    return fs::writeAt(fd, bytes.constData(), bytes.size(), 0, error) && fs::syncData(fd, error);
}

} // namespace

QString resultsFolder(const QString& dataFolder, const QString& setting)
{
    if (!setting.isEmpty()) {
        QString f = setting;
        if (f == u'~' || f.startsWith(QLatin1String("~/")))
            f = QDir::homePath() + f.mid(1);
        return QDir::cleanPath(f);
    }
    return QDir::cleanPath(fs::locate(dataFolder, QStringLiteral("Vysledky")));
}

QString writeRecord(const QString& folder, const TResultRecord& record, QString* error, bool mayMake)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Výsledek nejde uložit do složky „%1“: %2.").arg(folder, why);
        return QString();
    };
    const QByteArray dir = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(dir.constData(), &st) != 0) {
        if (errno != ENOENT || !mayMake)
            return fail(errnoText(errno));
        // Only the pupil's own: his results are nobody else's business.
        if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
            return fail(errnoText(errno));
    } else if (!S_ISDIR(st.st_mode)) {
        return fail(errnoText(ENOTDIR));
    }

    const QByteArray bytes = toJson(record);
    const QString base = baseName(record);
    static std::atomic<int> serial {0};
    // Another file of the name (another pupil may have made one to be in
    // the way) only moves this one to the next number.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral("%1-%2").arg(base).arg(serial++);
        const QString part = fs::join(folder, QLatin1Char('.') + name + kPartSuffix);
        const QString final = fs::join(folder, name + kSuffix);
        const QByteArray partName = QFile::encodeName(part);
        const int fd = ::open(partName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0640);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fail(errnoText(errno));
        }
        // The teachers' group reads it, whatever the pupil's umask.
        ::fchmod(fd, 0640);
        int e = 0;
        const bool written = writeAll(fd, bytes, &e);
        if (::close(fd) != 0 && written)
            e = errno;
        if (!written || e != 0) {
            ::unlink(partName.constData());
            return fail(errnoText(e ? e : EIO));
        }
        if (fs::renameNoReplace(part, final)) {
            // The rename is made durable where the folder may be opened;
            // a pupil may not read a class's folder, and needs not.
            const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dfd >= 0) {
                ::fsync(dfd);
                ::close(dfd);
            }
            return final;
        }
        const int renameError = errno;
        ::unlink(partName.constData());
        if (renameError != EEXIST && !QFileInfo::exists(final))
            return fail(errnoText(renameError ? renameError : EIO));
    }
    return fail(QStringLiteral("všechna jména souborů jsou obsazena"));
}

TFolderContents readRecords(const QString& folder)
{
    TFolderContents out;
    QDir dir(folder);
    if (!dir.exists()) {
        out.error = QStringLiteral("Složka s výsledky „%1“ neexistuje.").arg(folder);
        return out;
    }
    if (!QFileInfo(folder).isReadable()) {
        out.error = QStringLiteral("Složku s výsledky „%1“ nejde přečíst: chybí právo ji číst.").arg(folder);
        return out;
    }
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    out.records.reserve(names.size());
    // A class has few accounts and many records: each looked up once.
    QHash<QString, std::optional<qint64>> uids;
    for (const QString& name : names) {
        if (!name.endsWith(kSuffix, Qt::CaseInsensitive) || name.startsWith(u'.'))
            continue;
        const QString path = dir.filePath(name);
        const QByteArray p = QFile::encodeName(path);
        const int fd = ::open(p.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            out.problems << QStringLiteral("%1: nejde přečíst (%2)").arg(name, errnoText(errno));
            continue;
        }
        struct stat st {};
        QFile f;
        QByteArray bytes;
        // A record is small; anything large is not one and is not read whole.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < 4 * 1024 * 1024
            && f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            bytes = f.readAll();
        } else {
            ::close(fd);
            out.problems << QStringLiteral("%1: není to záznam o výsledku").arg(name);
            continue;
        }
        QString why;
        std::optional<TResultRecord> r = fromJson(bytes, &why);
        if (!r) {
            out.problems << QStringLiteral("%1: %2").arg(name, why);
            continue;
        }
        TStoredRecord s;
        s.path = path;
        s.ownerUid = qint64(st.st_uid);
        auto known = uids.find(r->login);
        if (known == uids.end())
            known = uids.insert(r->login, uidOfLogin(r->login));
        const std::optional<qint64> named = *known;
        s.trusted = named && *named == s.ownerUid && (r->uid < 0 || r->uid == s.ownerUid);
        s.record = std::move(*r);
        out.records.append(std::move(s));
    }
    return out;
}

} // namespace vedomec::gradebook
