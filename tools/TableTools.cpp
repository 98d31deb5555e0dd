#include "TableTools.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace vedomec::tools {

using namespace vedomec::data;

namespace {

QList<FieldDef> layoutOfType(QChar type)
{
    if (type == u'A')
        return layoutA();
    if (type == u'B')
        return layoutB();
    if (type == u'C')
        return layoutC();
    throw EVedomecError(QStringLiteral("Unknown test type '%1' (expected A, B or C)").arg(type));
}

// Opens `fileName` in `folder` with a declared layout (and index, if any).
void openTable(TTable& t, const QString& folder, const QString& fileName, const QList<FieldDef>& layout,
               const QString& index = QString())
{
    t.SetDatabaseName(folder);
    t.SetTableName(fileName);
    t.SetFieldDefs(layout);
    if (!index.isEmpty())
        t.SetIndexName(index);
    t.Open();
}

void refuseExisting(const QString& path)
{
    if (fs::isFile(path) || QFileInfo::exists(path) || fs::isDir(path))
        throw EVedomecError(QStringLiteral("%1 already exists; it is left as it is").arg(path));
}

} // namespace

QString temporarySibling(const QString& path)
{
    const QFileInfo info(path);
    for (;;) {
        const QString candidate = info.dir().filePath(
            QStringLiteral(".%1.%2.tmp").arg(info.fileName(), QUuid::createUuid().toString(QUuid::Id128).left(12)));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

void writeQuestionTable(const TestSource& test, const QString& path)
{
    const QFileInfo info(path);
    if (!fs::isDir(info.path()))
        throw EVedomecError(QStringLiteral("Folder %1 does not exist").arg(info.path()));
    refuseExisting(path);
    if (test.questions.isEmpty())
        throw EVedomecError(QStringLiteral("The test has no questions"));

    const QList<FieldDef> layout = layoutOfType(test.type);
    const QString tmp = temporarySibling(path);
    DbfFile::create(tmp, dbfFieldsOf(layout), false);
    try {
        TTable t;
        openTable(t, QFileInfo(tmp).path(), QFileInfo(tmp).fileName(), layout);
        const QString type(test.type);
        for (const SourceQuestion& q : test.questions) {
            t.Insert();
            t.SetFieldAsString(QStringLiteral("DRUH"), test.kind);
            t.SetFieldAsString(QStringLiteral("NAZEV"), test.title);
            t.SetFieldAsString(QStringLiteral("JMENO"), test.author);
            t.SetFieldAsString(QStringLiteral("ADRESA"), test.address);
            t.SetFieldAsString(QStringLiteral("EMAIL"), test.email);
            t.SetFieldAsString(QStringLiteral("HTTP"), test.http);
            t.SetFieldAsString(QStringLiteral("HESLO"), test.password);
            t.SetFieldAsString(QStringLiteral("OTAZKA"), q.text);
            if (test.type == u'A') {
                t.SetFieldAsString(QStringLiteral("ODPOVEDA"), q.answers[0]);
                t.SetFieldAsString(QStringLiteral("ODPOVEDB"), q.answers[1]);
                t.SetFieldAsString(QStringLiteral("ODPOVEDC"), q.answers[2]);
                t.SetFieldAsString(QStringLiteral("ODPOVEDD"), q.answers[3]);
            }
            t.SetFieldAsString(QStringLiteral("SPRAVNE"), q.correct);
            t.SetFieldAsString(QStringLiteral("TEST"), type);
            t.SetFieldAsString(QStringLiteral("ODPOVED"), QString());
            t.SetFieldAsString(QStringLiteral("CAS1"), QString::number(test.hours));
            t.SetFieldAsString(QStringLiteral("CAS2"), QString::number(test.minutes));
            t.SetFieldAsString(QStringLiteral("CAS3"), QString::number(test.seconds));
            t.Post();
        }
        if (t.RecordCount() != test.questions.size())
            throw EDatabaseError(QStringLiteral("%1: wrote %2 rows instead of %3").arg(tmp).arg(t.RecordCount()).arg(test.questions.size()));
        t.Close();
        if (!fs::renameNoReplace(tmp, path))
            throw EVedomecError(QStringLiteral("Cannot rename %1 to %2 (does it exist already?)").arg(tmp, path));
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
}

void createCatalogue(const QString& dataFolder)
{
    if (!fs::isDir(dataFolder))
        throw EVedomecError(QStringLiteral("Folder %1 does not exist").arg(dataFolder));
    const QString folder = fs::resolve(dataFolder);
    static const char* names[] = {"Testy.DBF", "Testy.MDX", "TestD.DBF", "TestD.MDX"};
    for (const char* n : names)
        refuseExisting(fs::join(folder, QLatin1String(n)));

    // The four files are made in a private folder and moved in together, so
    // that a failure half way leaves the data folder as it was.
    const QString work = QDir(folder).filePath(
        QStringLiteral(".vedomec-new-%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12)));
    if (!QDir().mkdir(work))
        throw EVedomecError(QStringLiteral("Cannot create folder %1").arg(work));
    QStringList moved;
    try {
        struct Table {
            const char* dbf;
            const char* mdx;
            const char* base;
            QList<FieldDef> layout;
            MdxTagSpec tag;
        };
        const Table tables[] = {
            {"Testy.DBF", "Testy.MDX", "TESTY", catalogueLayout(), {QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")}},
            {"TestD.DBF", "TestD.MDX", "TESTD", kindLayout(), {QStringLiteral("DRUH"), QStringLiteral("DRUH")}},
        };
        for (const Table& t : tables) {
            const QString dbfPath = QDir(work).filePath(QLatin1String(t.dbf));
            DbfFile::create(dbfPath, dbfFieldsOf(t.layout), true);
            std::vector<MdxFieldRef> refs = DbfFile::open(dbfPath)->mdxFields();
            MdxFile::create(QDir(work).filePath(QLatin1String(t.mdx)), QLatin1String(t.base), {t.tag}, refs, {});
            // Prove that the store opens what was made, with its index.
            TTable check;
            openTable(check, work, QLatin1String(t.dbf), t.layout, t.tag.name);
            check.Close();
        }
        for (const char* n : names) {
            const QString to = QDir(folder).filePath(QLatin1String(n));
            if (!fs::renameNoReplace(QDir(work).filePath(QLatin1String(n)), to))
                throw EVedomecError(QStringLiteral("Cannot move %1 into place (does it exist already?)").arg(to));
            moved << to;
        }
    } catch (...) {
        for (const QString& m : std::as_const(moved))
            QFile::remove(m);
        QDir(work).removeRecursively();
        throw;
    }
    QDir(work).removeRecursively();
}

AddedTest addTestToCatalogue(const QString& dataFolder, const QString& testFile)
{
    const QString testPath = fs::resolve(testFile);
    if (testPath.isEmpty() || !QFileInfo(testPath).isFile())
        throw EVedomecError(QStringLiteral("Question table %1 not found").arg(testFile));
    const QFileInfo info(testPath);

    AddedTest added;
    added.fileName = info.fileName();
    QString password, author;
    {
        TTable q;
        openTable(q, info.path(), info.fileName(), identificationLayout());
        if (q.IsEmpty())
            throw EVedomecError(QStringLiteral("%1 holds no questions").arg(testPath));
        q.First();
        const QString type = q.FieldAsString(QStringLiteral("TEST"));
        if (type != QLatin1String("A") && type != QLatin1String("B") && type != QLatin1String("C"))
            throw EVedomecError(QStringLiteral("%1: TEST is '%2', expected A, B or C").arg(testPath, type));
        added.type = type.at(0);
        added.kind = q.FieldAsString(QStringLiteral("DRUH"));
        added.title = q.FieldAsString(QStringLiteral("NAZEV"));
        password = q.FieldAsString(QStringLiteral("HESLO"));
        author = q.FieldAsString(QStringLiteral("JMENO"));
        q.Close();
        // The catalogue must never point at a table its type cannot open.
        TTable typed;
        openTable(typed, info.path(), info.fileName(), layoutOfType(added.type));
        typed.Close();
    }
    if (added.kind.isEmpty())
        throw EVedomecError(QStringLiteral("%1: the kind of the test (DRUH) is empty").arg(testPath));

    TTable cat;
    openTable(cat, dataFolder, QStringLiteral("Testy.DBF"), catalogueLayout(), QStringLiteral("DRUHJMENO"));
    if (!cat.IsEmpty()) {
        cat.First();
        do {
            if (cat.FieldAsString(QStringLiteral("NAZEV")).compare(added.fileName, Qt::CaseInsensitive) == 0)
                throw EVedomecError(QStringLiteral("%1 is already in the catalogue").arg(added.fileName));
            cat.Next();
        } while (!cat.Eof());
    }
    cat.Insert();
    cat.SetFieldAsString(QStringLiteral("NAZEV"), added.fileName);
    cat.SetFieldAsString(QStringLiteral("DRUH"), added.kind);
    cat.SetFieldAsString(QStringLiteral("JMENO"), added.title);
    cat.SetFieldAsString(QStringLiteral("TEST"), QString(added.type));
    cat.SetFieldAsString(QStringLiteral("HESLO"), password);
    cat.SetFieldAsString(QStringLiteral("OTEVRENO"), QString());
    cat.SetFieldAsString(QStringLiteral("AUTOR"), author);
    cat.Post();
    added.title = cat.FieldAsString(QStringLiteral("JMENO"));
    cat.Close();

    TTable kinds;
    openTable(kinds, dataFolder, QStringLiteral("TestD.DBF"), kindLayout(), QStringLiteral("DRUH"));
    const bool known = kinds.FindKey({added.kind}) && kinds.FieldAsString(QStringLiteral("DRUH")) == added.kind;
    if (!known) {
        kinds.Insert();
        kinds.SetFieldAsString(QStringLiteral("DRUH"), added.kind);
        kinds.Post();
        added.newKind = true;
    }
    kinds.Close();
    return added;
}

} // namespace vedomec::tools
