// vedomec-table: the administrator's look into the tables, through the
// store's own operations, so what it shows is what the program sees.
#include "TableTools.h"

#include "data/CodePage.h"
#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Mdx.h"
#include "data/Reindex.h"
#include "data/Table.h"
#include "data/TableFile.h"
#include "data/TagCheck.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <map>

using namespace vedomec;
using namespace vedomec::data;

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

const char* const Usage =
    "usage: vedomec-table COMMAND ARGS...\n"
    "       vedomec-table --help | --version\n"
    "  dump FILE                  fields and every record (deleted ones marked '*')\n"
    "  tags FILE                  tags of the production index: expression, FOR clause, flags\n"
    "  walk FILE TAG              rows in the tag's key order\n"
    "  seek FILE TAG KEY...       the first row whose key matches exactly (exit 1 when none)\n"
    "  check FILE                 table and index sanity (exit 1 on problems)\n"
    "  insert FILE FIELD=VALUE... add a row; the indexes are kept up to date\n"
    "  reindex FILE               rebuild the production index from the table (the old one is kept)\n"
    "  catalogue FOLDER           create an empty Testy.DBF/.MDX and TestD.DBF/.MDX in FOLDER\n"
    "  add-test FOLDER TESTFILE   register a question table in the catalogue in FOLDER\n";

struct UsageError {};

QString existingFile(const QString& file)
{
    const QString path = fs::resolve(file);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw EVedomecError(QStringLiteral("%1: no such file").arg(file));
    return path;
}

QString mdxPathOf(const QString& dbfPath)
{
    const QFileInfo info(dbfPath);
    return fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX")));
}

// The table and its index as they are between two changes, read under the
// change lock, so a change another program is making right now is neither
// shown half done nor taken for damage; a change that stopped half way is
// kept or undone first, as the program does when it opens the table.
struct Snapshot {
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MdxFile> mdx; // when asked for and the table announces one
    QString mdxPath;              // the index file found beside the table
    Recovery recovery = Recovery::None;
};

Snapshot readSnapshot(const QString& path, bool withIndex = false)
{
    Snapshot s;
    s.mdxPath = mdxPathOf(path);
    TableSnapshot files = readTableSnapshot(path, s.mdxPath);
    s.recovery = files.recovery;
    s.dbf = DbfFile::fromFile(std::move(files.dbf));
    if (withIndex && s.dbf->hasProductionIndex()) {
        if (!files.mdx)
            throw EDatabaseError(QStringLiteral("%1: the production index file is missing").arg(path));
        s.mdx = MdxFile::fromFile(std::move(files.mdx));
    }
    return s;
}

// A command that only shows the table tells on standard error what it
// found of an unfinished change.
void noteRecovery(const Snapshot& s, const QString& path)
{
    if (s.recovery != Recovery::None)
        err << path << ": note: " << recoveryText(s.recovery, path) << "\n";
}

void openAll(TTable& t, const QString& path, const QString& tag = QString())
{
    const QFileInfo info(path);
    t.SetDatabaseName(info.path());
    t.SetTableName(info.fileName());
    if (!tag.isEmpty())
        t.SetIndexName(tag);
    t.Open();
}

QString typeText(const DbfField& f)
{
    QString s = QStringLiteral("%1 %2").arg(QChar::fromLatin1(f.type)).arg(f.length);
    if (f.decimals)
        s += QStringLiteral(",%1").arg(f.decimals);
    return s;
}

// The fields straight from the record, so a header naming a field twice
// still shows both values.
void printRow(TTable& t, const DbfFile& dbf)
{
    out << "#" << t.RecNo();
    const char* rec = dbf.record(uint32_t(t.RecNo()));
    for (const DbfField& f : dbf.fields())
        out << "\t" << f.name << "=" << DbfFile::readField(f, rec);
    out << "\n";
}

int cmdDump(const QStringList& a)
{
    if (a.size() != 1)
        throw UsageError();
    const QString path = existingFile(a[0]);
    const Snapshot snapshot = readSnapshot(path);
    noteRecovery(snapshot, path);
    const DbfFile* dbf = snapshot.dbf.get();
    out << "file: " << dbf->path() << "\n";
    out << "version: 0x" << QString::number(dbf->version(), 16).rightJustified(2, u'0')
        << "  language driver: 0x" << QString::number(dbf->languageDriver(), 16).rightJustified(2, u'0')
        << "  production index: " << (dbf->hasProductionIndex() ? "yes" : "no") << "\n";
    out << "header length: " << dbf->headerLength() << "  record length: " << dbf->recordLength()
        << "  records: " << dbf->recordCount() << "\n";
    out << "fields:\n";
    for (const DbfField& f : dbf->fields())
        out << "  " << f.name.leftJustified(10) << "  " << typeText(f) << "\n";
    out << "records:\n";
    for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
        const char* rec = dbf->record(r);
        out << (dbf->isDeleted(r) ? "*" : "#") << r;
        for (const DbfField& f : dbf->fields())
            out << "\t" << f.name << "=" << DbfFile::readField(f, rec);
        out << "\n";
    }
    return 0;
}

int cmdTags(const QStringList& a)
{
    if (a.size() != 1)
        throw UsageError();
    const QString path = existingFile(a[0]);
    const Snapshot snapshot = readSnapshot(path, true);
    noteRecovery(snapshot, path);
    if (!snapshot.mdx) {
        out << "no production index\n";
        return 0;
    }
    const MdxFile* mdx = snapshot.mdx.get();
    for (int t = 0; t < mdx->tagCount(); ++t) {
        out << mdx->tagName(t) << "\t" << mdx->tagExpression(t) << "\tkey " << QChar::fromLatin1(mdx->keyType(t))
            << " " << mdx->keyLength(t);
        if (!mdx->tagForClause(t).isEmpty())
            out << "\tFOR " << mdx->tagForClause(t);
        if (mdx->tagUnique(t))
            out << "\tunique";
        if (mdx->tagDescending(t))
            out << "\tdescending";
        out << "\n";
    }
    return 0;
}

int cmdWalk(const QStringList& a)
{
    if (a.size() != 2)
        throw UsageError();
    const QString path = existingFile(a[0]);
    TTable t;
    openAll(t, path, a[1]);
    const auto dbf = readSnapshot(path).dbf;
    // A tag may hold no rows of a table that has some (a FOR clause): the
    // cursor's end flag, not the table's row count, says when to stop.
    for (t.First(); !t.Eof(); t.Next())
        printRow(t, *dbf);
    return 0;
}

int cmdSeek(const QStringList& a)
{
    if (a.size() < 3)
        throw UsageError();
    const QString path = existingFile(a[0]);
    TTable t;
    openAll(t, path, a[1]);
    const auto dbf = readSnapshot(path).dbf;
    if (!t.FindKey(a.mid(2))) {
        out << "not found\n";
        return 1;
    }
    printRow(t, *dbf);
    return 0;
}

int cmdCheck(const QStringList& a)
{
    if (a.size() != 1)
        throw UsageError();
    const QString path = existingFile(a[0]);
    QStringList problems;
    // A change that stopped half way is kept or undone first, as the program
    // does, and said so; the files are judged as that leaves them.
    const QString mdxPath = mdxPathOf(path);
    TableSnapshot files = readTableSnapshot(path, mdxPath);
    if (files.recovery != Recovery::None)
        out << path << ": " << recoveryText(files.recovery, path) << "\n";
    const auto dbf = DbfFile::fromFile(std::move(files.dbf)); // refuses a damaged header outright
    const qint64 expected = qint64(dbf->headerLength()) + qint64(dbf->recordLength()) * dbf->recordCount();
    const qint64 size = dbf->file().size();
    if (size < expected)
        problems << QStringLiteral("the file is %1 bytes, its header promises %2").arg(size).arg(expected);
    if (dbf->recordsInFile() > dbf->recordCount())
        problems << QStringLiteral("the header counts %1 records, but the file holds %2").arg(dbf->recordCount()).arg(dbf->recordsInFile());
    if (!dbf->duplicateFieldName().isEmpty())
        out << "note: the header names the field " << dbf->duplicateFieldName()
            << " twice; the program reads the first and does not write to the table\n";
    if (const uint8_t driver = dbf->languageDriver(); dbf->codePage())
        out << "note: language driver 0x" << QString::number(driver, 16).rightJustified(2, u'0') << ": text is in code page "
            << dbf->codePage()->number() << "\n";
    else if (const int number = CodePage::numberFor(driver); number != 0 && number != 1250)
        out << "note: language driver 0x" << QString::number(driver, 16).rightJustified(2, u'0') << " names code page "
            << number << ", which this program cannot read; text is read as Windows-1250\n";
    const bool memoFields = std::any_of(dbf->fields().begin(), dbf->fields().end(),
                                        [](const DbfField& f) { return f.type == 'M' || f.type == 'B' || f.type == 'G'; });
    if (memoFields || (dbf->version() & 0x80) != 0) {
        const QFileInfo info(path);
        if (fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".DBT"))).isEmpty())
            problems << QStringLiteral("the memo file %1.DBT is missing; other programs will not open the table, and its memo texts are lost")
                            .arg(info.completeBaseName());
    }
    uint32_t live = 0;
    for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
        const char flag = dbf->record(r)[0];
        if (flag != ' ' && flag != '*')
            problems << QStringLiteral("record %1: deletion flag 0x%2").arg(r).arg(uchar(flag), 2, 16, QLatin1Char('0'));
        if (flag != '*')
            ++live;
    }

    int tags = 0;
    if (dbf->hasProductionIndex()) {
        if (!files.mdx) {
            problems << QStringLiteral("the header announces a production index, but %1.MDX is missing")
                            .arg(QFileInfo(path).completeBaseName());
        } else {
            const auto mdx = MdxFile::fromFile(std::move(files.mdx));
            problems << mdx->check();
            for (const QString& p : quickIndexCheck(*dbf, *mdx))
                problems << QStringLiteral("index %1: %2").arg(QFileInfo(mdxPath).fileName(), p);
            tags = mdx->tagCount();
            for (int t = 0; t < tags; ++t)
                if (mdx->tagUniqueBitOnly(t))
                    out << "note: tag " << mdx->tagName(t)
                        << ": the key format calls it unique, its unique flag does not; it is read as not unique, as other dBASE programs read it\n";
            const TagCheckReport report = checkTagsAgainstTable(*dbf, *mdx);
            problems << report.problems;
            for (const QString& note : report.notes)
                out << "note: " << note << "\n";
        }
    }
    if (problems.isEmpty()) {
        out << path << ": ok, " << dbf->recordCount() << " records (" << live << " live), " << tags << " tags\n";
        return 0;
    }
    for (const QString& p : std::as_const(problems))
        out << path << ": " << p << "\n";
    return 1;
}

int cmdInsert(const QStringList& a)
{
    if (a.size() < 2)
        throw UsageError();
    const QString path = existingFile(a[0]);
    QList<QPair<QString, QString>> values;
    for (const QString& arg : a.mid(1)) {
        const qsizetype eq = arg.indexOf(u'=');
        if (eq <= 0)
            throw EVedomecError(QStringLiteral("'%1': expected FIELD=VALUE").arg(arg));
        values.append({arg.left(eq), arg.mid(eq + 1)});
    }
    TTable t;
    openAll(t, path);
    const QStringList fields = t.FieldNames();
    for (const auto& [name, value] : values)
        if (!fields.contains(name, Qt::CaseInsensitive))
            throw EVedomecError(QStringLiteral("Field '%1' not found").arg(name));
    t.Insert();
    try {
        for (const auto& [name, value] : values)
            t.SetFieldAsString(name, value);
        t.Post();
    } catch (...) {
        t.Cancel();
        throw;
    }
    out << "inserted record " << t.RecNo() << "\n";
    return 0;
}

int cmdReindex(const QStringList& a)
{
    if (a.size() != 1)
        throw UsageError();
    const QString path = existingFile(a[0]);
    // The program's own tables get their tags as the program keeps them,
    // even when the old index tells them wrongly or not at all.
    std::vector<MdxTagSpec> known;
    const QString name = QFileInfo(path).fileName();
    if (name.compare(QStringLiteral("Testy.DBF"), Qt::CaseInsensitive) == 0)
        known = catalogueTags();
    else if (name.compare(QStringLiteral("TestD.DBF"), Qt::CaseInsensitive) == 0)
        known = kindTags();
    QStringList notes;
    const QString old = rebuildProductionIndex(path, known, &notes);
    for (const QString& note : std::as_const(notes))
        out << path << ": " << note << "\n";
    const QString rebuilt = mdxPathOf(path);
    out << "rebuilt " << rebuilt;
    if (!old.isEmpty())
        out << "; the old index is kept as " << QFileInfo(old).fileName();
    out << "\n";
    return 0;
}

int cmdCatalogue(const QStringList& a)
{
    if (a.size() != 1)
        throw UsageError();
    tools::createCatalogue(a[0]);
    out << "created Testy.DBF, Testy.MDX, TestD.DBF and TestD.MDX in " << a[0] << "\n";
    return 0;
}

int cmdAddTest(const QStringList& a)
{
    if (a.size() != 2)
        throw UsageError();
    const tools::AddedTest added = tools::addTestToCatalogue(a[0], a[1]);
    out << "added " << added.fileName << " (" << added.type << ", " << added.kind << " / " << added.title << ")";
    if (added.newKind)
        out << "; new kind";
    out << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        err << Usage;
        return 2;
    }
    const QString cmd = args[0];
    if (cmd == QStringLiteral("--help") || cmd == QStringLiteral("-h")) {
        out << Usage << "See also: man vedomec-table\n";
        return 0;
    }
    if (cmd == QStringLiteral("--version")) {
        out << "vedomec-table " VEDOMEC_VERSION "\n";
        return 0;
    }
    if (cmd.startsWith(u'-')) {
        err << "vedomec-table: unknown option '" << cmd << "'\n" << Usage;
        return 2;
    }
    const QStringList rest = args.mid(1);
    static const std::map<QString, int (*)(const QStringList&)> commands = {
        {QStringLiteral("dump"), cmdDump},       {QStringLiteral("tags"), cmdTags},
        {QStringLiteral("walk"), cmdWalk},       {QStringLiteral("seek"), cmdSeek},
        {QStringLiteral("check"), cmdCheck},     {QStringLiteral("insert"), cmdInsert},
        {QStringLiteral("catalogue"), cmdCatalogue}, {QStringLiteral("add-test"), cmdAddTest},
        {QStringLiteral("reindex"), cmdReindex},
    };
    const auto it = commands.find(cmd);
    if (it == commands.end()) {
        err << "vedomec-table: unknown command '" << cmd << "'\n" << Usage;
        return 2;
    }
    try {
        const int rc = it->second(rest);
        out.flush();
        return rc;
    } catch (const UsageError&) {
        err << Usage;
        return 2;
    } catch (const EVedomecError& e) {
        out.flush();
        err << "vedomec-table: " << e.message() << "\n";
        return 1;
    } catch (const std::exception& e) {
        out.flush();
        err << "vedomec-table: " << e.what() << "\n";
        return 1;
    }
}
