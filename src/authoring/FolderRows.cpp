#include "FolderRows.h"

#include "TestFolder.h"
#include "catalogue/CatalogueTables.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "platform/Cp1250.h"
#include "platform/FileSystem.h"
#include "platform/SharedFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::authoring::detail {

using namespace vedomec::data;

const QString kIntentPrefix = QStringLiteral(".vedomec-editor-");

namespace {

// Where "committed" stands in every intent file, so that one write within
// its first page changes it.
const QByteArray kCommittedHead = "{\"committed\":";

} // namespace

QString stored(const QString& value, int width)
{
    QByteArray bytes = unicodeToCp1250(value).left(width);
    while (bytes.endsWith(' '))
        bytes.chop(1);
    return cp1250ToUnicode(bytes);
}

Row storedRow(const Row& r)
{
    return {stored(r.nazev, 50), stored(r.druh, 50),    stored(r.jmeno, 50), stored(r.test, 1),
            stored(r.heslo, 254), stored(r.otevreno, 1), stored(r.autor, 50)};
}

Row readRow(const TTable& t)
{
    auto f = [&t](const char* n) { return t.FieldAsString(QLatin1String(n)); };
    return {f("NAZEV"), f("DRUH"), f("JMENO"), f("TEST"), f("HESLO"), f("OTEVRENO"), f("AUTOR")};
}

void writeRow(TTable& t, const Row& r)
{
    t.Edit();
    t.SetFieldAsString(QStringLiteral("NAZEV"), r.nazev);
    t.SetFieldAsString(QStringLiteral("DRUH"), r.druh);
    t.SetFieldAsString(QStringLiteral("JMENO"), r.jmeno);
    t.SetFieldAsString(QStringLiteral("TEST"), r.test);
    t.SetFieldAsString(QStringLiteral("HESLO"), r.heslo);
    t.SetFieldAsString(QStringLiteral("OTEVRENO"), r.otevreno);
    t.SetFieldAsString(QStringLiteral("AUTOR"), r.autor);
    try {
        t.Post();
    } catch (...) {
        t.Cancel();
        throw;
    }
}

QJsonObject rowJson(const Row& r)
{
    return {{QStringLiteral("NAZEV"), r.nazev},   {QStringLiteral("DRUH"), r.druh},
            {QStringLiteral("JMENO"), r.jmeno},   {QStringLiteral("TEST"), r.test},
            {QStringLiteral("HESLO"), r.heslo},   {QStringLiteral("OTEVRENO"), r.otevreno},
            {QStringLiteral("AUTOR"), r.autor}};
}

Row rowFromJson(const QJsonObject& o)
{
    auto f = [&o](const char* n) { return o.value(QLatin1String(n)).toString(); };
    return {f("NAZEV"), f("DRUH"), f("JMENO"), f("TEST"), f("HESLO"), f("OTEVRENO"), f("AUTOR")};
}

void putRowBack(const QString& dataFolder, const QString& fileName, const Row& before)
{
    TTable cat;
    catalogue::configureCatalogue(cat, dataFolder, false);
    cat.Open();
    if (catalogue::findCatalogueRow(cat, fileName) && storedRow(readRow(cat)) != storedRow(before))
        writeRow(cat, before);
    cat.Close();
}

bool hasKindRow(const QString& dataFolder, const QString& kind)
{
    TTable kinds;
    catalogue::configureKinds(kinds, dataFolder);
    kinds.Open();
    kinds.SetIndexName(QString());
    bool found = false;
    if (!kinds.IsEmpty())
        for (kinds.First(); !kinds.Eof() && !found; kinds.Next())
            found = kinds.FieldAsString(QStringLiteral("DRUH")) == kind;
    kinds.Close();
    return found;
}

void addKindRow(const QString& dataFolder, const QString& kind)
{
    if (hasKindRow(dataFolder, kind))
        return;
    TTable kinds;
    catalogue::configureKinds(kinds, dataFolder);
    kinds.Open();
    kinds.Insert();
    kinds.SetFieldAsString(QStringLiteral("DRUH"), kind);
    try {
        kinds.Post();
    } catch (...) {
        kinds.Cancel();
        throw;
    }
    kinds.Close();
}

void removeKindRows(const QString& dataFolder, const QString& kind)
{
    TTable kinds;
    catalogue::configureKinds(kinds, dataFolder);
    kinds.Open();
    // Physical order: every row of exactly this kind goes, one change each.
    kinds.SetIndexName(QString());
    if (!kinds.IsEmpty()) {
        kinds.First();
        while (!kinds.IsEmpty() && !kinds.Eof()) {
            if (kinds.FieldAsString(QStringLiteral("DRUH")) == kind) {
                kinds.Delete();
                kinds.First();
            } else {
                kinds.Next();
            }
        }
    }
    kinds.Close();
}

void removeUnusedKindRow(const QString& dataFolder, const QString& kind)
{
    TTable cat;
    catalogue::configureCatalogue(cat, dataFolder, false);
    cat.Open();
    bool used = false;
    if (!cat.IsEmpty())
        for (cat.First(); !cat.Eof() && !used; cat.Next())
            used = cat.FieldAsString(QStringLiteral("DRUH")) == kind;
    cat.Close();
    if (!used)
        removeKindRows(dataFolder, kind);
}

QString notInCatalogue(const QString& fileName)
{
    return QStringLiteral("Test „%1“ není v seznamu testů.").arg(fileName);
}

bool renameOver(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void removeLeftovers(const QString& testsFolder, const QString& fileName)
{
    for (const QString& left :
         QDir(testsFolder).entryList({QStringLiteral(".%1.*.tmp*").arg(fileName)}, QDir::Files | QDir::Hidden))
        QFile::remove(QDir(testsFolder).filePath(left));
}

// --- Intent ------------------------------------------------------------------

QString Intent::pathFor(const QString& dataFolder, const QString& key)
{
    const QByteArray h = QCryptographicHash::hash(key.toLower().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(dataFolder).filePath(kIntentPrefix + QString::fromLatin1(h) + QStringLiteral(".json"));
}

void Intent::begin(const QJsonObject& what, bool sync)
{
    const QString key = what.value(QStringLiteral("file")).toString();
    m_path = pathFor(m_data, key);
    const QByteArray name = QFile::encodeName(m_path);
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
    if (m_fd < 0) {
        const int e = errno;
        const QString path = m_path;
        m_path.clear();
        if (e == EEXIST)
            throw ETestBusy(QStringLiteral("Test „%1“ právě mění jiný editor; zkuste to prosím za chvíli znovu.").arg(key));
        throw EInOutError(QStringLiteral("Soubor %1 nelze vytvořit: %2").arg(path, QString::fromLocal8Bit(strerror(e))));
    }
    int error = 0;
    struct stat a {}, b {};
    if (!tryLock(m_fd, 0, LockMode::Exclusive, &error) || ::fstat(m_fd, &a) != 0 || ::stat(name.constData(), &b) != 0
        || a.st_ino != b.st_ino) {
        ::close(m_fd);
        m_fd = -1;
        m_path.clear();
        throw ETestBusy(QStringLiteral("Test právě mění jiný editor; zkuste to prosím za chvíli znovu."));
    }
    // Another teacher's editor of the class must be able to take it back.
    fs::takeFolderRights(m_fd, m_data, 0644);
    QJsonObject rest = what;
    rest.remove(QStringLiteral("committed"));
    // Who writes it, for a folder that keeps no locks (see recover()).
    rest.insert(QStringLiteral("host"), QSysInfo::machineHostName());
    rest.insert(QStringLiteral("pid"), qint64(::getpid()));
    const QByteArray json = kCommittedHead + "false" + (rest.isEmpty() ? QByteArray("}")
                                                                       : "," + QJsonDocument(rest).toJson(QJsonDocument::Compact).mid(1));
    if (!fs::writeAt(m_fd, json.constData(), json.size(), 0, &error) || (sync && !fs::syncData(m_fd, &error))) {
        finish();
        throw EInOutError(QStringLiteral("Do složky %1 nelze zapisovat: %2").arg(m_data, QString::fromLocal8Bit(strerror(error))));
    }
}

void Intent::commit()
{
    // "false" becomes "true " in place: the file stays JSON either way.  A
    // write that failed left "false"; once it went through, every other
    // editor reads "true" and the change goes on to its end, so a failed
    // flush after it is no failure of the change (no more than an unflushed
    // rename is).
    int error = 0;
    if (!fs::writeAt(m_fd, "true ", 5, kCommittedHead.size(), &error))
        throw EInOutError(QStringLiteral("Do složky %1 nelze zapisovat: %2").arg(m_data, QString::fromLocal8Bit(strerror(error))));
    fs::syncData(m_fd, &error);
}

void Intent::leave()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

void Intent::finish()
{
    if (m_fd < 0)
        return;
    QFile::remove(m_path);
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

} // namespace vedomec::authoring::detail
