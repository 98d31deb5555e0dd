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
#include "platform/ErrorText.h"
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
    "Použití: vedomec-table PŘÍKAZ ARGUMENTY...\n"
    "        vedomec-table --help | --version\n";
const char* const Help =
    "Ukáže a opraví tabulky Vedomce (dBASE IV .DBF s indexem .MDX) tak, jak je vidí program.\n"
    "  dump SOUBOR                  pole a všechny záznamy (smazané označené „*“)\n"
    "  tags SOUBOR                  značky produkčního indexu: výraz, podmínka FOR, příznaky\n"
    "  walk SOUBOR ZNAČKA           řádky v pořadí klíčů značky\n"
    "  seek SOUBOR ZNAČKA KLÍČ...   první řádek s přesně tímto klíčem (návratový kód 1, když žádný není)\n"
    "  check SOUBOR                 kontrola tabulky a indexu (návratový kód 1 při potížích)\n"
    "  insert SOUBOR POLE=HODNOTA...  přidá řádek; indexy drží krok\n"
    "  reindex SOUBOR               vytvoří produkční index z tabulky znovu (starý zůstane vedle)\n"
    "  catalogue SLOŽKA             vytvoří ve SLOŽCE prázdné Testy.DBF/.MDX a TestD.DBF/.MDX\n"
    "  add-test SLOŽKA TABULKA      zapíše tabulku otázek do katalogu ve SLOŽCE (složka Data,\n"
    "                               nebo složka aplikace, která ji obsahuje)\n"
    "--help     vypíše tuto nápovědu.\n"
    "--version  vypíše verzi.\n"
    "Podrobnosti: man vedomec-table\n";

struct UsageError {};

QString existingFile(const QString& file)
{
    const QString path = fs::resolve(file);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw EVedomecError(QStringLiteral("soubor „%1“ neexistuje").arg(file));
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
            throw EDatabaseError(QStringLiteral("%1: chybí soubor produkčního indexu").arg(path));
        s.mdx = MdxFile::fromFile(std::move(files.mdx));
    }
    return s;
}

// What became of an unfinished change the table's journal recorded.
QString recoveryNote(Recovery recovery, const QString& path)
{
    const QString journal = TableJournal::pathFor(path);
    switch (recovery) {
    case Recovery::None:
        break;
    case Recovery::NotBegun:
        return QStringLiteral("žurnál %1 zaznamenal změnu, která se do tabulky nedostala; nebylo co vracet").arg(journal);
    case Recovery::Kept:
        return QStringLiteral("žurnál %1 zaznamenal nedokončenou změnu, která se do tabulky dostala celá; zůstává")
            .arg(journal);
    case Recovery::Undone:
        return QStringLiteral("žurnál %1 zaznamenal nedokončenou změnu; je vrácena").arg(journal);
    }
    return QString();
}

// A command that only shows the table tells on standard error what it
// found of an unfinished change.
void noteRecovery(const Snapshot& s, const QString& path)
{
    if (s.recovery != Recovery::None)
        err << path << ": poznámka: " << recoveryNote(s.recovery, path) << "\n";
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
    out << "soubor: " << dbf->path() << "\n";
    out << "verze: 0x" << QString::number(dbf->version(), 16).rightJustified(2, u'0')
        << "  jazykový ovladač: 0x" << QString::number(dbf->languageDriver(), 16).rightJustified(2, u'0')
        << "  produkční index: " << (dbf->hasProductionIndex() ? "ano" : "ne") << "\n";
    out << "délka hlavičky: " << dbf->headerLength() << "  délka záznamu: " << dbf->recordLength()
        << "  záznamů: " << dbf->recordCount() << "\n";
    out << "pole:\n";
    for (const DbfField& f : dbf->fields())
        out << "  " << f.name.leftJustified(10) << "  " << typeText(f) << "\n";
    out << "záznamy:\n";
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
        out << "bez produkčního indexu\n";
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
        out << "nenalezeno\n";
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
        out << path << ": " << recoveryNote(files.recovery, path) << "\n";
    const auto dbf = DbfFile::fromFile(std::move(files.dbf)); // refuses a damaged header outright
    const qint64 expected = qint64(dbf->headerLength()) + qint64(dbf->recordLength()) * dbf->recordCount();
    const qint64 size = dbf->file().size();
    if (size < expected)
        problems << QStringLiteral("soubor má %1 bajtů, jeho hlavička slibuje %2").arg(size).arg(expected);
    if (dbf->recordsInFile() > dbf->recordCount())
        problems << QStringLiteral("hlavička počítá %1 záznamů, ale soubor jich obsahuje %2").arg(dbf->recordCount()).arg(dbf->recordsInFile());
    if (!dbf->duplicateFieldName().isEmpty())
        out << "poznámka: hlavička jmenuje pole " << dbf->duplicateFieldName()
            << " dvakrát; program čte první a do tabulky nezapisuje\n";
    if (const uint8_t driver = dbf->languageDriver(); dbf->codePage())
        out << "poznámka: jazykový ovladač 0x" << QString::number(driver, 16).rightJustified(2, u'0') << ": text je v kódové stránce "
            << dbf->codePage()->number() << "\n";
    else if (const int number = CodePage::numberFor(driver); number != 0 && number != 1250)
        out << "poznámka: jazykový ovladač 0x" << QString::number(driver, 16).rightJustified(2, u'0') << " udává kódovou stránku "
            << number << ", kterou tento program neumí číst; text se čte jako Windows-1250\n";
    const bool memoFields = std::any_of(dbf->fields().begin(), dbf->fields().end(),
                                        [](const DbfField& f) { return f.type == 'M' || f.type == 'B' || f.type == 'G'; });
    if (memoFields || (dbf->version() & 0x80) != 0) {
        const QFileInfo info(path);
        if (fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".DBT"))).isEmpty())
            problems << QStringLiteral("chybí soubor poznámek %1.DBT; jiné programy tabulku neotevřou a její poznámky jsou ztracené")
                            .arg(info.completeBaseName());
    }
    uint32_t live = 0;
    for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
        const char flag = dbf->record(r)[0];
        if (flag != ' ' && flag != '*')
            problems << QStringLiteral("záznam %1: příznak smazání 0x%2").arg(r).arg(uchar(flag), 2, 16, QLatin1Char('0'));
        if (flag != '*')
            ++live;
    }

    int tags = 0;
    if (dbf->hasProductionIndex()) {
        if (!files.mdx) {
            problems << QStringLiteral("hlavička ohlašuje produkční index, ale %1.MDX chybí")
                            .arg(QFileInfo(path).completeBaseName());
        } else {
            const auto mdx = MdxFile::fromFile(std::move(files.mdx));
            // The store says what is wrong in English; the administrator
            // reads first that the index is damaged.
            const QString indexName = QFileInfo(mdxPath).fileName();
            const auto damaged = [&](const QString& what) {
                return QStringLiteral("index %1 je poškozený (%2)").arg(indexName, what);
            };
            for (const QString& p : mdx->check())
                problems << damaged(p);
            for (const QString& p : quickIndexCheck(*dbf, *mdx))
                problems << damaged(p);
            tags = mdx->tagCount();
            for (int t = 0; t < tags; ++t)
                if (mdx->tagUniqueBitOnly(t))
                    out << "poznámka: značka " << mdx->tagName(t)
                        << ": podle formátu klíče je jedinečná, podle příznaku ne; čte se jako nejedinečná, jak ji čtou jiné programy dBASE\n";
            const TagCheckReport report = checkTagsAgainstTable(*dbf, *mdx);
            for (const QString& p : report.problems)
                problems << damaged(p);
            for (const QString& note : report.notes)
                out << "poznámka: " << note << "\n";
        }
    }
    if (problems.isEmpty()) {
        out << path << ": v pořádku, záznamů: " << dbf->recordCount() << " (živých: " << live << "), značek: " << tags << "\n";
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
            throw EVedomecError(QStringLiteral("„%1“: čekám POLE=HODNOTA").arg(arg));
        values.append({arg.left(eq), arg.mid(eq + 1)});
    }
    TTable t;
    openAll(t, path);
    const QStringList fields = t.FieldNames();
    for (const auto& [name, value] : values)
        if (!fields.contains(name, Qt::CaseInsensitive))
            throw EVedomecError(QStringLiteral("Pole „%1“ v tabulce není").arg(name));
    t.Insert();
    try {
        for (const auto& [name, value] : values)
            t.SetFieldAsString(name, value);
        t.Post();
    } catch (...) {
        t.Cancel();
        throw;
    }
    out << "přidán záznam " << t.RecNo() << "\n";
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
    out << "znovu vytvořen " << rebuilt;
    if (!old.isEmpty())
        out << "; starý index zůstává jako " << QFileInfo(old).fileName();
    out << "\n";
    return 0;
}

int cmdCatalogue(const QStringList& a)
{
    if (a.size() != 1)
        throw UsageError();
    tools::createCatalogue(a[0]);
    out << "vytvořeny Testy.DBF, Testy.MDX, TestD.DBF a TestD.MDX ve složce " << a[0] << "\n";
    return 0;
}

// The folder of the catalogue: the one named, or the application folder's
// Data; a folder that is neither is said so.
QString catalogueFolder(const QString& folder)
{
    const auto holdsCatalogue = [](const QString& f) {
        const QString t = fs::resolve(fs::join(f, QStringLiteral("Testy.DBF")));
        return !t.isEmpty() && QFileInfo(t).isFile();
    };
    if (holdsCatalogue(folder))
        return folder;
    const QString data = fs::resolve(fs::join(folder, QStringLiteral("Data")));
    if (!data.isEmpty() && QFileInfo(data).isDir() && holdsCatalogue(data))
        return data;
    throw EVedomecError(QStringLiteral("Ve složce %1 není katalog testů Testy.DBF ani složka Data s ním; zadejte složku "
                                       "Data (nebo složku aplikace, která ji obsahuje)")
                            .arg(folder));
}

int cmdAddTest(const QStringList& a)
{
    if (a.size() != 2)
        throw UsageError();
    const tools::AddedTest added = tools::addTestToCatalogue(catalogueFolder(a[0]), a[1]);
    out << "přidán " << added.fileName << " (typ " << added.type << ", " << added.kind << " / " << added.title << ")";
    if (added.newKind)
        out << "; nový druh";
    out << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        err << Usage << Help;
        return 2;
    }
    const QString cmd = args[0];
    if (cmd == QStringLiteral("--help") || cmd == QStringLiteral("-h")) {
        out << Usage << Help;
        return 0;
    }
    if (cmd == QStringLiteral("--version")) {
        out << "vedomec-table " VEDOMEC_VERSION "\n";
        return 0;
    }
    if (cmd.startsWith(u'-')) {
        err << "vedomec-table: neznámá volba „" << cmd << "“\n" << Usage;
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
        err << "vedomec-table: neznámý příkaz „" << cmd << "“\n" << Usage;
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
        err << "vedomec-table: " << czechToolErrorText(e.message()) << "\n";
        return 1;
    } catch (const std::exception& e) {
        out.flush();
        err << "vedomec-table: " << czechToolErrorText(exceptionMessage(e)) << "\n";
        return 1;
    }
}
