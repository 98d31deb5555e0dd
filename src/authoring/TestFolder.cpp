#include "TestFolder.h"

#include "TableTools.h"
#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "import/ImportLogic.h"
#include "platform/Cp1250.h"
#include "platform/FileSystem.h"
#include "platform/SharedFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::authoring {

using namespace vedomec::data;

namespace {

// The editor's hold lies beside the store's own lock bytes, beyond anything
// a dBASE program reads or locks.
constexpr qint64 kEditLockByte = 0x7FFFFFF3;

const QString kIntentPrefix = QStringLiteral(".vedomec-editor-");

struct Row {
    QString nazev, druh, jmeno, test, heslo, otevreno, autor;
    bool operator==(const Row&) const = default;
};

// What a text field of `width` keeps of a value.
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

// `sync`: the change is flushed before it counts.  The open mark is not:
// after a power cut a lost mark is cleared anyway, and a kept one is
// recognised as stale.
void configureCatalogue(TTable& t, const QString& dataFolder, bool indexed, bool sync = true)
{
    t.SetDatabaseName(dataFolder);
    t.SetTableName(QStringLiteral("Testy.DBF"));
    t.SetFieldDefs(catalogueLayout());
    if (indexed)
        t.SetIndexName(QStringLiteral("DRUHJMENO"));
    t.SetSyncWrites(sync);
}

void configureKinds(TTable& t, const QString& dataFolder)
{
    t.SetDatabaseName(dataFolder);
    t.SetTableName(QStringLiteral("TestD.DBF"));
    t.SetFieldDefs(kindLayout());
    t.SetIndexName(QStringLiteral("DRUH"));
    t.SetSyncWrites(true);
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

// Puts the cursor on the row of the file; false when there is none.
bool findRow(TTable& t, const QString& fileName)
{
    if (t.IsEmpty())
        return false;
    for (t.First(); !t.Eof(); t.Next())
        if (t.FieldAsString(QStringLiteral("NAZEV")).compare(fileName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

Row rowOf(const TestSource& test, const Row& before)
{
    Row r = before;
    r.druh = test.kind;
    r.jmeno = test.title;
    r.test = QString(test.type);
    r.heslo = test.password;
    r.autor = test.author;
    return r;
}

QString notInCatalogue(const QString& fileName)
{
    return QStringLiteral("Test „%1“ není v seznamu testů.").arg(fileName);
}

// The count of a question table that has not changed since it was last
// counted: the tree of tests is read again after every save, and reading a
// long test whole for its count kept the teacher waiting.
struct CountedFile {
    dev_t dev;
    ino_t ino;
    off_t size;
    qint64 mtime, ctime;
    int count;
    bool same(const struct stat& st) const
    {
        return dev == st.st_dev && ino == st.st_ino && size == st.st_size
            && mtime == qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec
            && ctime == qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    }
};

int countRows(const QString& path);

int countQuestions(const QString& path)
{
    if (path.isEmpty())
        return -1;
    static QMutex guard;
    static QHash<QString, CountedFile> counted;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return countRows(path);
    {
        QMutexLocker hold(&guard);
        const auto at = counted.constFind(path);
        if (at != counted.cend() && at->same(st))
            return at->count;
    }
    const int n = countRows(path);
    struct stat after {};
    if (n >= 0 && ::stat(QFile::encodeName(path).constData(), &after) == 0) {
        CountedFile c {after.st_dev, after.st_ino, after.st_size,
                       qint64(after.st_mtim.tv_sec) * 1000000000 + after.st_mtim.tv_nsec,
                       qint64(after.st_ctim.tv_sec) * 1000000000 + after.st_ctim.tv_nsec, n};
        if (c.same(st)) { // not changed while it was read
            QMutexLocker hold(&guard);
            if (counted.size() > 4096)
                counted.clear();
            counted.insert(path, c);
        }
    }
    return n;
}

int countRows(const QString& path)
{
    try {
        TTable t;
        const QFileInfo info(path);
        t.SetDatabaseName(info.path());
        t.SetTableName(info.fileName());
        t.SetFieldDefs(identificationLayout());
        t.Open();
        const int n = t.RecordCount();
        t.Close();
        return n;
    } catch (const std::exception&) {
        return -1;
    }
}

// The record of a change in flight (see TestFolder.h), held locked by its
// editor until the change is over.
class Intent {
public:
    explicit Intent(const QString& dataFolder) : m_data(dataFolder) {}
    ~Intent() { finish(); }

    static QString pathFor(const QString& dataFolder, const QString& fileName)
    {
        const QByteArray h =
            QCryptographicHash::hash(fileName.toLower().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        return QDir(dataFolder).filePath(kIntentPrefix + QString::fromLatin1(h) + QStringLiteral(".json"));
    }

    // `sync`: flushed before the change goes on (needed when the intent is
    // what puts a catalogue row back after a power cut).
    void begin(const QJsonObject& what, bool sync = true)
    {
        m_path = pathFor(m_data, what.value(QStringLiteral("file")).toString());
        const QByteArray name = QFile::encodeName(m_path);
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
        if (m_fd < 0) {
            const int e = errno;
            m_path.clear();
            if (e == EEXIST)
                throw ETestBusy(QStringLiteral("Test „%1“ právě mění jiný editor; zkuste to prosím za chvíli znovu.")
                                    .arg(what.value(QStringLiteral("file")).toString()));
            throw EInOutError(QStringLiteral("Soubor %1 nelze vytvořit: %2").arg(m_path, QString::fromLocal8Bit(strerror(e))));
        }
        int error = 0;
        struct stat a {}, b {};
        if (!tryLock(m_fd, 0, LockMode::Exclusive, &error) || ::fstat(m_fd, &a) != 0
            || ::stat(name.constData(), &b) != 0 || a.st_ino != b.st_ino) {
            ::close(m_fd);
            m_fd = -1;
            m_path.clear();
            throw ETestBusy(QStringLiteral("Test právě mění jiný editor; zkuste to prosím za chvíli znovu."));
        }
        // Another teacher's editor of the class must be able to take it back.
        fs::takeFolderRights(m_fd, m_data, 0644);
        const QByteArray json = QJsonDocument(what).toJson(QJsonDocument::Compact);
        if (!fs::writeAt(m_fd, json.constData(), json.size(), 0, &error) || (sync && !fs::syncData(m_fd, &error))) {
            finish();
            throw EInOutError(QStringLiteral("Do souboru %1 nelze zapisovat: %2")
                                  .arg(QDir(m_data).filePath(QStringLiteral("Data")), QString::fromLocal8Bit(strerror(error))));
        }
    }

    // Lets go of the intent without removing it, for recover() to act on.
    void leave()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_path.clear();
    }

    void finish()
    {
        if (m_fd < 0)
            return;
        QFile::remove(m_path);
        ::close(m_fd);
        m_fd = -1;
        m_path.clear();
    }

private:
    QString m_data;
    QString m_path;
    int m_fd = -1;
};

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

bool renameOver(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void addKindRow(const QString& dataFolder, const QString& kind)
{
    TTable kinds;
    configureKinds(kinds, dataFolder);
    kinds.Open();
    if (!kinds.IsEmpty()) {
        kinds.First();
        if (kinds.FindKey({kind}) && kinds.FieldAsString(QStringLiteral("DRUH")) == kind) {
            kinds.Close();
            return;
        }
    }
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

// Writes the question table of `test` to the new file `path` as
// tools::writeQuestionTable does (the same layout, values and checks), but
// row by row through the table file itself: the file is private under its
// temporary name until it is renamed into place, so the journal that guards
// each row of a shared table would only slow a 500-question save down.
void writeTestTable(const TestSource& test, const QString& path)
{
    const QList<FieldDef> layout = test.type == u'A' ? layoutA() : test.type == u'B' ? layoutB() : layoutC();
    if (test.type != u'A' && test.type != u'B' && test.type != u'C')
        throw EVedomecError(QStringLiteral("Test nemá typ A, B ani C."));
    if (QFileInfo::exists(path))
        throw EVedomecError(QStringLiteral("%1 už existuje.").arg(path));
    const QString tmp = tools::temporarySibling(path);
    DbfFile::create(tmp, dbfFieldsOf(layout), false);
    try {
        {
            std::unique_ptr<DbfFile> dbf = DbfFile::open(tmp);
            const QByteArray blank = dbf->blankRecord();
            // Every row in one buffer and one write: a 500-question test is
            // saved while the teacher waits.
            QHash<QByteArray, int> index;
            auto put = [&dbf, &index](QByteArray& rec, const char* name, const QString& value) {
                auto at = index.find(QByteArray::fromRawData(name, qsizetype(strlen(name))));
                if (at == index.end())
                    at = index.insert(QByteArray(name), dbf->fieldIndex(QLatin1String(name)));
                DbfFile::writeField(dbf->fields()[size_t(*at)], rec.data(), value);
            };
            QByteArray rows;
            rows.reserve(blank.size() * test.questions.size());
            for (const SourceQuestion& q : test.questions) {
                QByteArray rec = blank;
                put(rec, "DRUH", test.kind);
                put(rec, "NAZEV", test.title);
                put(rec, "JMENO", test.author);
                put(rec, "ADRESA", test.address);
                put(rec, "EMAIL", test.email);
                put(rec, "HTTP", test.http);
                put(rec, "HESLO", test.password);
                put(rec, "OTAZKA", q.text);
                if (test.type == u'A') {
                    put(rec, "ODPOVEDA", q.answers[0]);
                    put(rec, "ODPOVEDB", q.answers[1]);
                    put(rec, "ODPOVEDC", q.answers[2]);
                    put(rec, "ODPOVEDD", q.answers[3]);
                }
                put(rec, "SPRAVNE", q.correct);
                put(rec, "TEST", QString(test.type));
                put(rec, "CAS1", QString::number(test.hours));
                put(rec, "CAS2", QString::number(test.minutes));
                put(rec, "CAS3", QString::number(test.seconds));
                rows += rec;
            }
            dbf->appendRecords(rows.constData(), uint32_t(test.questions.size()));
        }
        // Flushed before it can take the old table's place.
        const int fd = ::open(QFile::encodeName(tmp).constData(), O_RDONLY | O_CLOEXEC);
        int error = fd < 0 ? errno : 0;
        if (fd >= 0) {
            fs::syncData(fd, &error);
            ::close(fd);
        }
        if (error)
            throw EInOutError(QStringLiteral("%1: %2").arg(tmp, QString::fromLocal8Bit(strerror(error))));
        // The store must read back what the type's layout declares.
        TTable check;
        check.SetDatabaseName(QFileInfo(tmp).path());
        check.SetTableName(QFileInfo(tmp).fileName());
        check.SetFieldDefs(layout);
        check.Open();
        const int rows = check.RecordCount();
        check.Close();
        if (rows != test.questions.size())
            throw EDatabaseError(QStringLiteral("%1: %2 řádků místo %3").arg(tmp).arg(rows).arg(test.questions.size()));
        if (!fs::renameNoReplace(tmp, path))
            throw EInOutError(QStringLiteral("%1 nelze přejmenovat na %2.").arg(tmp, path));
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
}

} // namespace

// --- EditLock ----------------------------------------------------------------

bool EditLock::acquire(const QString& path)
{
    release();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError(QStringLiteral("Test %1 nelze otevřít pro úpravy: %2").arg(path, QString::fromLocal8Bit(strerror(errno))));
    int error = 0;
    if (!tryLock(fd, kEditLockByte, LockMode::Exclusive, &error)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void EditLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool EditLock::heldByAnyone(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int error = 0;
    const bool free = tryLock(fd, kEditLockByte, LockMode::Shared, &error);
    ::close(fd);
    return !free;
}

// --- TestFolder --------------------------------------------------------------

TestFolder::TestFolder(const QString& appFolder) : m_app(QDir::cleanPath(appFolder)) {}

QString TestFolder::dataFolder() const
{
    const QString d = fs::resolve(fs::join(m_app, QStringLiteral("Data")));
    return d.isEmpty() ? fs::join(m_app, QStringLiteral("Data")) : d;
}

QString TestFolder::testsFolder() const
{
    const QString d = fs::resolve(fs::join(m_app, QStringLiteral("Testy")));
    return d.isEmpty() ? fs::join(m_app, QStringLiteral("Testy")) : d;
}

QString TestFolder::testPath(const QString& fileName) const
{
    if (!fs::isPlainFileName(fileName))
        return {};
    const QString p = fs::resolve(fs::join(testsFolder(), fileName));
    return QFileInfo(p).isFile() ? p : QString();
}

int TestFolder::recover()
{
    const QString data = dataFolder();
    const QStringList intents =
        QDir(data).entryList({kIntentPrefix + QStringLiteral("*.json")}, QDir::Files | QDir::Hidden);
    for (const QString& name : intents) {
        const QString path = QDir(data).filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        int error = 0;
        if (!tryLock(fd, 0, LockMode::Exclusive, &error)) {
            ::close(fd); // its editor is still at it
            continue;
        }
        QFile f;
        QByteArray bytes;
        if (f.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            bytes = f.readAll();
        f.close();
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        const QString file = o.value(QStringLiteral("file")).toString();
        const QString temp = o.value(QStringLiteral("temp")).toString();
        bool done = true;
        try {
            if (!temp.isEmpty() && fs::isPlainFileName(temp)) {
                const QString tempPath = QDir(testsFolder()).filePath(temp);
                if (QFileInfo::exists(tempPath)) {
                    // The new table never took the old one's place: the row goes back.
                    if (o.contains(QStringLiteral("row"))) {
                        TTable cat;
                        configureCatalogue(cat, data, false);
                        cat.Open();
                        const Row before = rowFromJson(o.value(QStringLiteral("row")).toObject());
                        if (findRow(cat, file) && storedRow(readRow(cat)) != storedRow(before))
                            writeRow(cat, before);
                        cat.Close();
                    }
                    QFile::remove(tempPath);
                }
            }
            if (o.value(QStringLiteral("created")).toBool() || o.value(QStringLiteral("deleted")).toBool()) {
                // A table without its catalogue row is the half of a new test
                // or of a removed one: it goes.
                TTable cat;
                configureCatalogue(cat, data, false);
                cat.Open();
                const bool listed = findRow(cat, file);
                cat.Close();
                const QString p = testPath(file);
                if (!listed && !p.isEmpty())
                    QFile::remove(p);
            }
        } catch (const std::exception& e) {
            Q_UNUSED(e);
            done = false; // tried again next time
        }
        // What writing a table leaves when it is killed half way: its own
        // temporary files beside the name it was to get.
        if (done)
            for (const QString& n : {file, temp})
                if (!n.isEmpty() && fs::isPlainFileName(n))
                    for (const QString& left : QDir(testsFolder()).entryList({QStringLiteral(".%1.*.tmp*").arg(n)},
                                                                             QDir::Files | QDir::Hidden))
                        QFile::remove(QDir(testsFolder()).filePath(left));
        if (done)
            QFile::remove(path);
        ::close(fd);
    }

    int cleared = 0;
    TTable cat;
    configureCatalogue(cat, data, false);
    cat.Open();
    if (!cat.IsEmpty()) {
        for (cat.First(); !cat.Eof(); cat.Next()) {
            if (cat.FieldAsString(QStringLiteral("OTEVRENO")) != QLatin1String("A"))
                continue;
            const QString p = testPath(cat.FieldAsString(QStringLiteral("NAZEV")));
            if (!p.isEmpty() && EditLock::heldByAnyone(p))
                continue;
            Row r = readRow(cat);
            r.otevreno.clear();
            writeRow(cat, r);
            ++cleared;
        }
    }
    cat.Close();
    return cleared;
}

QList<TestEntry> TestFolder::tests() const
{
    QList<TestEntry> out;
    TTable cat;
    configureCatalogue(cat, dataFolder(), true);
    cat.Open();
    if (!cat.IsEmpty()) {
        for (cat.First(); !cat.Eof(); cat.Next()) {
            const Row r = readRow(cat);
            TestEntry e{r.nazev, r.druh, r.jmeno, r.test, r.heslo, r.otevreno, r.autor};
            e.questions = countQuestions(testPath(r.nazev));
            out.append(e);
        }
    }
    cat.Close();
    return out;
}

TestEntry TestFolder::entry(const QString& fileName) const
{
    TTable cat;
    configureCatalogue(cat, dataFolder(), false);
    cat.Open();
    TestEntry e;
    if (findRow(cat, fileName)) {
        const Row r = readRow(cat);
        e = {r.nazev, r.druh, r.jmeno, r.test, r.heslo, r.otevreno, r.autor};
        e.questions = countQuestions(testPath(r.nazev));
    }
    cat.Close();
    return e;
}

QStringList TestFolder::kinds() const
{
    QStringList out;
    TTable kinds;
    configureKinds(kinds, dataFolder());
    kinds.Open();
    if (!kinds.IsEmpty())
        for (kinds.First(); !kinds.Eof(); kinds.Next())
            out << kinds.FieldAsString(QStringLiteral("DRUH"));
    kinds.Close();
    TTable cat;
    configureCatalogue(cat, dataFolder(), false);
    cat.Open();
    if (!cat.IsEmpty())
        for (cat.First(); !cat.Eof(); cat.Next())
            out << cat.FieldAsString(QStringLiteral("DRUH"));
    cat.Close();
    out.removeAll(QString());
    out.removeDuplicates();
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
    return out;
}

TestSource TestFolder::load(const QString& fileName) const
{
    const QString p = testPath(fileName);
    if (p.isEmpty())
        throw EVedomecError(QStringLiteral("Soubor s testem „%1“ ve složce Testy chybí.").arg(fileName));
    QStringList notes;
    return tools::readQuestionTable(p, &notes);
}

QString TestFolder::create(const TestSource& in, const QString& preferredName)
{
    const QString problem = firstProblem(in);
    if (!problem.isEmpty())
        throw EVedomecError(problem);
    const TestSource test = normalized(in);
    QStringList taken;
    for (const TestEntry& e : tests())
        taken << e.fileName;
    QString name;
    if (!preferredName.isEmpty() && fs::isPlainFileName(preferredName)
        && importing::catalogueNameProblem(preferredName).isEmpty()
        && !importing::nameTaken(testsFolder(), preferredName)
        && !taken.contains(preferredName, Qt::CaseInsensitive))
        name = preferredName;
    else
        name = newFileName(testsFolder(), test.title, taken);

    Intent intent(dataFolder());
    intent.begin({{QStringLiteral("file"), name}, {QStringLiteral("created"), true}});
    const QString path = QDir(testsFolder()).filePath(name);
    writeTestTable(test, path);
    try {
        TTable cat, kinds;
        configureCatalogue(cat, dataFolder(), true);
        configureKinds(kinds, dataFolder());
        importing::ImportedTest it;
        it.fileName = name;
        it.kind = test.kind;
        it.title = test.title;
        it.type = QString(test.type);
        it.password = test.password;
        it.author = test.author;
        importing::acceptImport(cat, kinds, it, {testsFolder(), testsFolder()});
    } catch (...) {
        QFile::remove(path);
        throw;
    }
    intent.finish();
    return name;
}

void TestFolder::save(const QString& fileName, const TestSource& in, EditLock* lock)
{
    const QString problem = firstProblem(in);
    if (!problem.isEmpty())
        throw EVedomecError(problem);
    const TestSource test = normalized(in);
    const QString path = testPath(fileName);
    if (path.isEmpty())
        throw EVedomecError(QStringLiteral("Soubor s testem „%1“ ve složce Testy chybí.").arg(fileName));

    TTable cat;
    configureCatalogue(cat, dataFolder(), false);
    cat.Open();
    if (!findRow(cat, fileName))
        throw EVedomecError(notInCatalogue(fileName));
    const Row before = readRow(cat);
    const Row after = rowOf(test, before);
    const bool rowChanges = storedRow(before) != storedRow(after);
    if (rowChanges && before.druh != test.kind)
        addKindRow(dataFolder(), test.kind);

    const QString temp = tools::temporarySibling(path);
    Intent intent(dataFolder());
    QJsonObject what{{QStringLiteral("file"), fileName}, {QStringLiteral("temp"), QFileInfo(temp).fileName()}};
    if (rowChanges)
        what.insert(QStringLiteral("row"), rowJson(before));
    intent.begin(what, rowChanges);
    writeTestTable(test, temp);
    bool rowWritten = false;
    EditLock newHold;
    try {
        if (rowChanges) {
            writeRow(cat, after);
            rowWritten = true;
        }
        // The hold moves with the new table, so that no other editor finds
        // the test unheld for a moment.
        if (lock && lock->held() && !newHold.acquire(temp))
            throw ETestBusy(QStringLiteral("Test „%1“ právě upravuje jiný editor.").arg(fileName));
        if (!renameOver(temp, path))
            throw EInOutError(QStringLiteral("Test „%1“ nelze uložit: %2").arg(fileName, QString::fromLocal8Bit(strerror(errno))));
    } catch (...) {
        // A write the store reported failed may still be found complete by
        // its journal; the row is put back from a fresh reading either way.
        Q_UNUSED(rowWritten);
        bool restored = true;
        if (rowChanges) {
            try {
                cat.Close();
                TTable again;
                configureCatalogue(again, dataFolder(), false);
                again.Open();
                if (findRow(again, fileName) && storedRow(readRow(again)) != storedRow(before))
                    writeRow(again, before);
                again.Close();
            } catch (...) {
                restored = false;
            }
        }
        if (restored) {
            QFile::remove(temp);
            intent.finish();
        } else {
            intent.leave(); // the next editor's recover() puts the row back
        }
        throw;
    }
    intent.finish();
    cat.Close();
    if (lock && newHold.held()) {
        lock->release();
        std::swap(lock->m_fd, newHold.m_fd);
    }
}

QString TestFolder::duplicate(const QString& fileName)
{
    TestSource test = load(fileName);
    const QString prefix = QStringLiteral("Kopie – ");
    test.title = prefix + test.title.left(exchange::width::Nazev - int(prefix.size()));
    return create(test);
}

namespace {

template <typename Change>
void changeUnheld(TestFolder& folder, const QString& fileName, Change change)
{
    const QString p = folder.testPath(fileName);
    if (p.isEmpty())
        throw EVedomecError(QStringLiteral("Soubor s testem „%1“ ve složce Testy chybí.").arg(fileName));
    EditLock hold;
    if (!hold.acquire(p))
        throw ETestBusy(QStringLiteral("Test „%1“ je otevřen v editoru.").arg(fileName));
    TestSource test = folder.load(fileName);
    change(test);
    folder.save(fileName, test, &hold);
}

} // namespace

void TestFolder::rename(const QString& fileName, const QString& title)
{
    changeUnheld(*this, fileName, [&title](TestSource& t) { t.title = title; });
}

void TestFolder::move(const QString& fileName, const QString& kind)
{
    changeUnheld(*this, fileName, [&kind](TestSource& t) { t.kind = kind; });
}

void TestFolder::remove(const QString& fileName)
{
    const QString p = testPath(fileName);
    EditLock hold;
    if (!p.isEmpty() && !hold.acquire(p))
        throw ETestBusy(QStringLiteral("Test „%1“ je otevřen v editoru.").arg(fileName));
    TTable cat;
    configureCatalogue(cat, dataFolder(), false);
    cat.Open();
    if (!findRow(cat, fileName))
        throw EVedomecError(notInCatalogue(fileName));
    Intent intent(dataFolder());
    intent.begin({{QStringLiteral("file"), fileName}, {QStringLiteral("deleted"), true}});
    cat.Delete();
    cat.Close();
    if (!p.isEmpty())
        QFile::remove(p);
    intent.finish();
}

void TestFolder::addKind(const QString& kind)
{
    const QString k = kind.trimmed();
    if (k.isEmpty())
        throw EVedomecError(QStringLiteral("Druh testu nesmí být prázdný."));
    if (storedLength(k) > exchange::width::Druh || !unstorablePositions(k).isEmpty())
        throw EVedomecError(QStringLiteral("Druh testu smí mít nejvýš %1 znaků z kódování Windows-1250.").arg(exchange::width::Druh));
    if (kinds().contains(k))
        throw EVedomecError(QStringLiteral("Druh „%1“ už existuje.").arg(k));
    addKindRow(dataFolder(), k);
}

void TestFolder::renameKind(const QString& from, const QString& to)
{
    const QString k = to.trimmed();
    if (k.isEmpty() || storedLength(k) > exchange::width::Druh || !unstorablePositions(k).isEmpty())
        throw EVedomecError(QStringLiteral("Druh testu musí mít 1 až %1 znaků z kódování Windows-1250.").arg(exchange::width::Druh));
    if (k == from)
        return;
    addKindRow(dataFolder(), k);
    for (const TestEntry& e : tests())
        if (e.kind == from)
            move(e.fileName, k);
    removeKind(from);
}

void TestFolder::removeKind(const QString& kind)
{
    int count = 0;
    for (const TestEntry& e : tests())
        count += e.kind == kind;
    if (count > 0)
        throw EVedomecError(QStringLiteral("Druh „%1“ nelze smazat: patří k němu %2 %3.")
                                .arg(kind)
                                .arg(count)
                                .arg(count == 1 ? QStringLiteral("test") : count < 5 ? QStringLiteral("testy")
                                                                                      : QStringLiteral("testů")));
    TTable kinds;
    configureKinds(kinds, dataFolder());
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

void TestFolder::setOpenMark(const QString& fileName, bool open)
{
    TTable cat;
    configureCatalogue(cat, dataFolder(), false, false);
    cat.Open();
    if (!findRow(cat, fileName))
        throw EVedomecError(notInCatalogue(fileName));
    Row r = readRow(cat);
    const QString mark = open ? QStringLiteral("A") : QString();
    if (r.otevreno != mark) {
        r.otevreno = mark;
        writeRow(cat, r);
    }
    cat.Close();
}

// --- OpenTest ----------------------------------------------------------------

OpenTest::OpenTest(TestFolder& folder, const QString& fileName) : m_folder(folder), m_file(fileName)
{
    const QString p = folder.testPath(fileName);
    if (p.isEmpty())
        throw EVedomecError(QStringLiteral("Soubor s testem „%1“ ve složce Testy chybí.").arg(fileName));
    if (!m_lock.acquire(p))
        throw ETestBusy(QStringLiteral("Test „%1“ už je otevřen v jiném editoru.").arg(fileName));
    folder.setOpenMark(fileName, true);
    m_marked = true;
}

OpenTest::~OpenTest()
{
    try {
        close();
    } catch (const std::exception&) {
        // The next editor clears a mark nobody holds.
    }
}

void OpenTest::close()
{
    if (m_marked) {
        m_marked = false;
        m_folder.setOpenMark(m_file, false);
    }
    m_lock.release();
}

// --- helpers -----------------------------------------------------------------

TestSource normalized(const TestSource& in)
{
    TestSource t = in;
    for (QString* s : {&t.kind, &t.title, &t.author, &t.address, &t.email, &t.http, &t.password})
        *s = s->trimmed().normalized(QString::NormalizationForm_C);
    for (SourceQuestion& q : t.questions) {
        q.text = q.text.trimmed().normalized(QString::NormalizationForm_C);
        for (QString& a : q.answers)
            a = a.trimmed().normalized(QString::NormalizationForm_C);
        q.correct = q.correct.trimmed().normalized(QString::NormalizationForm_C);
        if (t.type == u'A' || t.type == u'B')
            q.correct = q.correct.toUpper();
        if (t.type != u'A')
            for (QString& a : q.answers)
                a.clear();
    }
    return t;
}

QString newFileName(const QString& testsFolder, const QString& title, const QStringList& taken)
{
    QString base;
    for (const QChar c : title.normalized(QString::NormalizationForm_D)) {
        if (c.isMark())
            continue;
        if (c.unicode() < 128 && c.isLetterOrNumber())
            base += c;
        else if (!base.isEmpty() && !base.endsWith(u'_'))
            base += u'_';
    }
    while (base.endsWith(u'_'))
        base.chop(1);
    base = base.left(36);
    if (base.isEmpty())
        base = QStringLiteral("Test");
    for (int n = 1;; ++n) {
        const QString name = (n == 1 ? base : QStringLiteral("%1_%2").arg(base).arg(n)) + QStringLiteral(".dbf");
        if (!importing::nameTaken(testsFolder, name) && !taken.contains(name, Qt::CaseInsensitive))
            return name;
    }
}

} // namespace vedomec::authoring
