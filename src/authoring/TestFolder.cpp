#include "TestFolder.h"

#include "FolderRows.h"
#include "TableTools.h"
#include "catalogue/CatalogueTables.h"
#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Table.h"
#include "import/ImportLogic.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vedomec::authoring {

using namespace vedomec::data;
using namespace detail;
using catalogue::configureCatalogue;
using catalogue::configureKinds;
using catalogue::findCatalogueRow;

namespace {

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

} // namespace

namespace detail {

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

} // namespace detail

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
    if (findCatalogueRow(cat, fileName)) {
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

    // A kind the test brings in goes with it when the test is taken back.
    const bool newKind = !hasKindRow(dataFolder(), test.kind);
    Intent intent(dataFolder());
    QJsonObject what{{QStringLiteral("file"), name}, {QStringLiteral("created"), true}};
    if (newKind)
        what.insert(QStringLiteral("newKind"), test.kind);
    intent.begin(what);
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
        if (newKind) {
            try {
                removeUnusedKindRow(dataFolder(), test.kind);
            } catch (...) {
                intent.leave(); // the next editor's recover() takes it back
            }
        }
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
    if (!findCatalogueRow(cat, fileName))
        throw EVedomecError(notInCatalogue(fileName));
    const Row before = readRow(cat);
    const Row after = rowOf(test, before);
    const bool rowChanges = storedRow(before) != storedRow(after);
    const bool newKind = rowChanges && before.druh != test.kind && !hasKindRow(dataFolder(), test.kind);

    const QString temp = tools::temporarySibling(path);
    Intent intent(dataFolder());
    QJsonObject what{{QStringLiteral("file"), fileName}, {QStringLiteral("temp"), QFileInfo(temp).fileName()}};
    if (rowChanges)
        what.insert(QStringLiteral("row"), rowJson(before));
    if (newKind)
        what.insert(QStringLiteral("newKind"), test.kind);
    intent.begin(what, rowChanges);
    bool rowWritten = false;
    EditLock newHold;
    try {
        if (newKind)
            addKindRow(dataFolder(), test.kind);
        writeTestTable(test, temp);
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
                putRowBack(dataFolder(), fileName, before);
                if (newKind)
                    removeUnusedKindRow(dataFolder(), test.kind);
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
    if (!findCatalogueRow(cat, fileName))
        throw EVedomecError(notInCatalogue(fileName));
    Intent intent(dataFolder());
    intent.begin({{QStringLiteral("file"), fileName}, {QStringLiteral("deleted"), true}});
    cat.Delete();
    cat.Close();
    if (!p.isEmpty())
        QFile::remove(p);
    intent.finish();
}

void TestFolder::setOpenMark(const QString& fileName, bool open)
{
    TTable cat;
    configureCatalogue(cat, dataFolder(), false, false);
    cat.Open();
    if (!findCatalogueRow(cat, fileName))
        throw EVedomecError(notInCatalogue(fileName));
    Row r = readRow(cat);
    const QString mark = open ? QStringLiteral("A") : QString();
    if (r.otevreno != mark) {
        r.otevreno = mark;
        writeRow(cat, r);
    }
    cat.Close();
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
