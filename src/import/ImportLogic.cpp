#include "import/ImportLogic.h"

#include "catalogue/CatalogueTables.h"
#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::importing {

using data::TTable;

namespace {

constexpr int kCatalogueTitleWidth = 50;
constexpr int kCatalogueNameWidth = 50;

// Closes a table whatever state it was left in by a failed step.
void closeQuietly(TTable& t) noexcept
{
    try {
        t.Cancel();
        t.Close();
    } catch (...) {
    }
}

QByteArray wholeFile(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

bool sameBytes(const QString& a, const QString& b)
{
    if (QFileInfo(a).size() != QFileInfo(b).size())
        return false;
    bool okA = false, okB = false;
    const QByteArray x = wholeFile(a, &okA);
    const QByteArray y = wholeFile(b, &okB);
    return okA && okB && x == y;
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat x {}, y {};
    return ::stat(QFile::encodeName(a).constData(), &x) == 0 && ::stat(QFile::encodeName(b).constData(), &y) == 0
        && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// Held on the catalogue's .DBF for the whole of one import, so that two
// programs sharing the folder never both decide that a kind is new or that
// a name is free.
class ImportLock {
public:
    explicit ImportLock(const QString& cataloguePath)
    {
        m_fd = ::open(QFile::encodeName(cataloguePath).constData(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0)
            throw EDatabaseError(QStringLiteral("Cannot open table '%1': %2")
                                     .arg(cataloguePath, QString::fromLocal8Bit(std::strerror(errno))));
        try {
            data::lockWithin(m_fd, data::kImportLockByte, data::LockMode::Exclusive, cataloguePath);
        } catch (...) {
            ::close(m_fd);
            throw;
        }
    }
    ~ImportLock() { ::close(m_fd); }
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

private:
    int m_fd = -1;
};

QString tablePath(const TTable& t)
{
    QString path = fs::resolve(fs::join(t.DatabaseName(), t.TableName()));
    if (path.isEmpty() && QFileInfo(t.TableName()).suffix().isEmpty())
        path = fs::resolve(fs::join(t.DatabaseName(), t.TableName() + QStringLiteral(".DBF")));
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("Table '%1' not found").arg(fs::join(t.DatabaseName(), t.TableName())));
    return path;
}

// Whether a catalogue row already names this file (letter case aside).
bool inCatalogue(TTable& catalogue, const QString& fileName)
{
    catalogue.Close();
    catalogue.Open();
    const bool found = vedomec::catalogue::findCatalogueRow(catalogue, fileName);
    catalogue.Close();
    return found;
}

} // namespace

QString catalogueNameProblem(const QString& fileName)
{
    const QString tail = QStringLiteral(" Přejmenujte prosím soubor a zkuste provést import znovu.");
    for (const uint code : fileName.toUcs4()) {
        const char32_t c = char32_t(code);
        const QString one = QString::fromUcs4(&c, 1);
        if (cp1250ToUnicode(unicodeToCp1250(one)) != one)
            return QStringLiteral("Název souboru „%1“ obsahuje znak „%2“ (U+%3), který katalog testů neumí uložit.")
                       .arg(fileName, one, QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'))
                + tail;
    }
    const QByteArray bytes = unicodeToCp1250(fileName);
    if (bytes.size() > kCatalogueNameWidth)
        return QStringLiteral("Název souboru „%1“ má %2 znaků, katalog testů jich pojme nejvýš %3.")
                   .arg(fileName)
                   .arg(bytes.size())
                   .arg(kCatalogueNameWidth)
            + tail;
    if (cp1250ToUnicode(bytes) != fileName || fileName.endsWith(u' '))
        return QStringLiteral("Název souboru „%1“ nelze v katalogu testů uložit přesně.").arg(fileName) + tail;
    return {};
}

QString noSelectionMessage()
{
    return QStringLiteral("Nebyl vybrán žádný test pro import!");
}

QString nameTakenMessage()
{
    return QStringLiteral(
        "Soubor s tímto názvem již existuje. Přepište název souboru na nový a zkuste provést import znovu.");
}

QString typeText(const QString& testType)
{
    if (testType == QLatin1String("A"))
        return QStringLiteral("Test typu a) b) c) d)");
    if (testType == QLatin1String("B"))
        return QStringLiteral("Test typu ano / ne");
    if (testType == QLatin1String("C"))
        return QStringLiteral("Test typu doplňte");
    return QStringLiteral("Neznámý typ testu");
}

QString protectionText(const QString& password)
{
    return password.isEmpty() ? QStringLiteral("NE") : QStringLiteral("ANO");
}

bool nameTaken(const QString& testsFolder, const QString& fileName)
{
    return !fs::resolve(fs::join(testsFolder, fileName)).isEmpty();
}

bool nameTakenByAnother(const QString& testsFolder, const QString& importFolder, const QString& fileName)
{
    const QString there = fs::resolve(fs::join(testsFolder, fileName));
    if (there.isEmpty())
        return false;
    const QString source = fs::resolve(fs::join(importFolder, fileName));
    return source.isEmpty() || !QFileInfo(there).isFile() || !sameBytes(there, source);
}

ImportedTest readImportedTest(TTable& table, const QString& fileName)
{
    table.First();
    ImportedTest t;
    t.fileName = fileName;
    t.kind = table.FieldAsString(QStringLiteral("DRUH"));
    t.title = table.FieldAsString(QStringLiteral("NAZEV"));
    t.type = table.FieldAsString(QStringLiteral("TEST"));
    t.password = table.FieldAsString(QStringLiteral("HESLO"));
    return t;
}

ImportResult acceptImport(TTable& catalogue, TTable& kinds, const ImportedTest& test,
                          const ImportFolders& folders, const CopyFunction& copy)
{
    if (!fs::isPlainFileName(test.fileName))
        throw EVedomecError(QStringLiteral("Neplatný název souboru pro import: %1").arg(test.fileName));
    if (const QString problem = catalogueNameProblem(test.fileName); !problem.isEmpty())
        throw EVedomecError(problem);
    const QString source = fs::resolve(fs::join(folders.importFolder, test.fileName));
    if (source.isEmpty() || !fs::isFile(source))
        throw EInOutError(QStringLiteral("Soubor %1 ve složce pro import nebyl nalezen").arg(test.fileName));

    catalogue.Close();
    kinds.Close();
    const ImportLock importLock(tablePath(catalogue));

    // The import dialog checked the name already; the folder may have
    // changed while the identification was on screen.
    const QString existing = fs::resolve(fs::join(folders.testsFolder, test.fileName));
    const bool inPlace = !existing.isEmpty() && sameFile(existing, source);
    const bool leftOver = !inPlace && !existing.isEmpty() && QFileInfo(existing).isFile() && sameBytes(existing, source);
    if (!existing.isEmpty() && !inPlace && !leftOver)
        throw EVedomecError(nameTakenMessage());
    const QString target = inPlace || leftOver ? existing : fs::join(folders.testsFolder, test.fileName);

    ImportResult result;
    if ((inPlace || leftOver) && inCatalogue(catalogue, test.fileName)) {
        if (inPlace)
            throw EVedomecError(QStringLiteral("%1 is already in the catalogue").arg(test.fileName));
        // An earlier import registered the test and stopped before it
        // deleted the import file.
        result.finishedEarlier = true;
        result.copiedTo = target;
        result.sourceRemoved = QFile::remove(source);
        return result;
    }

    data::WrittenChange kindRow; // what adding the kind wrote, to take back
    bool copied = false;
    bool catalogued = false;
    try {
        // 1. The kind row, unless exactly this kind is there.  The index may
        // fold letter case, so every row the find lands on with the same key
        // is compared.
        kinds.Open();
        kinds.First();
        bool exact = false;
        if (kinds.FindKey({test.kind})) {
            while (!kinds.Eof()) {
                const QString here = kinds.FieldAsString(QStringLiteral("DRUH"));
                if (here == test.kind) {
                    exact = true;
                    break;
                }
                if (here.compare(test.kind, Qt::CaseInsensitive) != 0)
                    break;
                kinds.Next();
            }
        }
        if (!exact) {
            kinds.Insert();
            kinds.SetFieldAsString(QStringLiteral("DRUH"), test.kind);
            kinds.Post();
            result.kindAdded = true;
            result.kindRecNo = uint32_t(kinds.RecNo());
            kindRow = kinds.LastChange();
        }
        kinds.Close();

        // 2. The copy: complete and flushed under a name of its own, then
        // renamed into place, so the tests folder never holds half a test.
        if (!inPlace && !leftOver) {
            const QString partial = fs::join(folders.testsFolder, QStringLiteral(".%1.import").arg(test.fileName));
            QFile::remove(partial); // an earlier attempt's, under the same lock
            QString error;
            const bool done = copy ? copy(source, partial, &error) : fs::copyNew(source, partial, &error);
            if (!done) {
                QFile::remove(partial);
                throw EInOutError(
                    QStringLiteral("Test se nepodařilo zkopírovat do složky Testy (%1); import byl vrácen zpět")
                        .arg(error.isEmpty() ? QStringLiteral("neznámá chyba") : error));
            }
            if (!fs::renameNoReplace(partial, target)) {
                QFile::remove(partial);
                throw EVedomecError(nameTakenMessage());
            }
            copied = true;
        }
        result.copiedTo = target;

        // 3. The catalogue row; the index places it by kind and title.  Once
        // it is stored the test is in the catalogue.
        catalogue.Open();
        catalogue.First();
        catalogue.Insert();
        catalogue.SetFieldAsString(QStringLiteral("NAZEV"), test.fileName);
        catalogue.SetFieldAsString(QStringLiteral("DRUH"), test.kind);
        catalogue.SetFieldAsString(QStringLiteral("JMENO"), test.title.left(kCatalogueTitleWidth));
        catalogue.SetFieldAsString(QStringLiteral("TEST"), test.type);
        catalogue.SetFieldAsString(QStringLiteral("HESLO"), test.password);
        catalogue.SetFieldAsString(QStringLiteral("OTEVRENO"), QString());
        if (!test.author.isEmpty())
            catalogue.SetFieldAsString(QStringLiteral("AUTOR"), test.author);
        catalogue.Post();
        catalogued = true;
        result.catalogueRecNo = uint32_t(catalogue.RecNo());
        catalogue.Close();
    } catch (...) {
        closeQuietly(catalogue);
        closeQuietly(kinds);
        if (!catalogued) {
            // Take back what this attempt added; a failure here must not
            // hide the original error, which is what the user needs to see.
            // The kind row goes as it came, byte for byte, so the kind table
            // is what it was; where that cannot be done it stays, a whole row
            // that shows nowhere until a test of its kind is imported, and
            // the next attempt finds it instead of adding it again.
            if (copied)
                QFile::remove(target);
            if (!kindRow.empty()) {
                try {
                    kinds.Open();
                    kinds.TakeBack(kindRow);
                } catch (...) {
                }
                closeQuietly(kinds);
            }
            throw;
        }
    }

    // 4. The test is safe in the catalogue; only now does the import file go.
    if (!inPlace)
        result.sourceRemoved = QFile::remove(source);
    return result;
}

} // namespace vedomec::importing
