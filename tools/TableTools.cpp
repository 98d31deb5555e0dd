#include "TableTools.h"

#include "catalogue/CatalogueTables.h"
#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "import/ImportLogic.h"
#include "platform/Cp1250.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace vedomec::tools {

using namespace vedomec::data;
using namespace vedomec::exchange;

namespace {

QList<FieldDef> layoutOfType(QChar type)
{
    if (type == u'A')
        return layoutA();
    if (type == u'B')
        return layoutB();
    if (type == u'C')
        return layoutC();
    throw EVedomecError(QStringLiteral("Neznámý typ testu „%1“ (čekám A, B nebo C)").arg(type));
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
        throw EVedomecError(QStringLiteral("%1 už existuje; nechávám ho, jak je").arg(path));
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
        throw EVedomecError(QStringLiteral("Složka %1 neexistuje").arg(info.path()));
    refuseExisting(path);
    if (test.questions.isEmpty())
        throw EVedomecError(QStringLiteral("Test nemá žádnou otázku"));

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
            throw EDatabaseError(QStringLiteral("Do tabulky %1 se zapsalo %2 řádků místo %3").arg(tmp).arg(t.RecordCount()).arg(test.questions.size()));
        t.Close();
        if (!fs::renameNoReplace(tmp, path))
            throw EVedomecError(QStringLiteral("Soubor %1 nelze přejmenovat na %2 (neexistuje už?)").arg(tmp, path));
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
}

namespace {

// Reads the values of one question table row, and says where a value will
// read back otherwise or cannot be written as text at all.
class RowReader {
public:
    RowReader(const TTable& t, int question, QStringList* notes) : m_t(t), m_question(question), m_notes(notes) {}

    QString text(const char* field, const QString& what, bool required)
    {
        QString v = m_t.FieldAsString(QLatin1String(field));
        const QString name = QStringLiteral("pole %1 (%2)").arg(QLatin1String(field), what);
        if (v.contains(u'\n') || v.contains(u'\r') || v.contains(QChar(0)))
            fail(name, QStringLiteral("obsahuje zalomení řádku, které textový formát neumí zapsat"));
        if (v.contains(QChar(0xFFFD)))
            fail(name, QStringLiteral("obsahuje bajt, který v kódování Windows-1250 neznamená žádný znak"));
        const QString trimmed = v.trimmed();
        if (trimmed != v) {
            note(QStringLiteral("%1 začíná mezerou; v textu bude bez ní").arg(name));
            v = trimmed;
        }
        if (required && v.isEmpty())
            fail(name, QStringLiteral("je prázdné; textový formát tu hodnotu vyžaduje"));
        return v;
    }

    [[noreturn]] void fail(const QString& what, const QString& why) const
    {
        throw EVedomecError(QStringLiteral("%1, %2 %3").arg(where(), what, why));
    }
    void note(const QString& text) const
    {
        if (m_notes)
            m_notes->append(QStringLiteral("%1: %2").arg(where(), text));
    }

private:
    QString where() const { return QStringLiteral("otázka %1").arg(m_question); }

    const TTable& m_t;
    int m_question;
    QStringList* m_notes;
};

void readTime(RowReader& row, const TTable& t, TestSource& test)
{
    int parts[3];
    static const char* const fields[] = {"CAS1", "CAS2", "CAS3"};
    bool empty = false;
    for (int i = 0; i < 3; ++i) {
        const QString v = t.FieldAsString(QLatin1String(fields[i])).trimmed();
        bool ok = true;
        parts[i] = v.isEmpty() ? 0 : v.toInt(&ok);
        empty = empty || v.isEmpty();
        if (!ok || parts[i] < 0)
            row.fail(QStringLiteral("pole %1 (časový limit)").arg(QLatin1String(fields[i])),
                     QStringLiteral("má hodnotu „%1“, která není počet").arg(v));
    }
    if (empty)
        row.note(QStringLiteral("prázdné pole časového limitu se čte jako 0"));
    // The text writes minutes and seconds as 00 to 59; 1:60:00 becomes 2:00:00.
    int total = parts[1] * 60 + parts[2];
    test.seconds = total % 60;
    test.minutes = (total / 60) % 60;
    test.hours = parts[0] + total / 3600;
    if (test.minutes != parts[1] || test.seconds != parts[2])
        row.note(QStringLiteral("časový limit %1:%2:%3 bude zapsán jako %4:%5:%6")
                     .arg(parts[0]).arg(parts[1]).arg(parts[2])
                     .arg(test.hours).arg(test.minutes, 2, 10, QLatin1Char('0')).arg(test.seconds, 2, 10, QLatin1Char('0')));
    if (test.hours > 32767)
        row.fail(QStringLiteral("časový limit"), QStringLiteral("je delší než 32767 hodin"));
}

} // namespace

TestSource readQuestionTable(const QString& path, QStringList* notes, bool emptyAnswersAllowed)
{
    const QString resolved = fs::resolve(path);
    if (resolved.isEmpty() || !QFileInfo(resolved).isFile())
        throw EVedomecError(QStringLiteral("Tabulka %1 neexistuje").arg(path));
    const QFileInfo info(resolved);

    QString type;
    {
        TTable id;
        openTable(id, info.path(), info.fileName(), identificationLayout());
        if (id.IsEmpty())
            throw EVedomecError(QStringLiteral("Tabulka %1 nemá žádnou otázku").arg(path));
        id.First();
        type = id.FieldAsString(QStringLiteral("TEST")).trimmed().toUpper();
        id.Close();
    }
    if (type != QLatin1String("A") && type != QLatin1String("B") && type != QLatin1String("C"))
        throw EVedomecError(QStringLiteral("Tabulka %1: typ testu (pole TEST) je „%2“, ne A, B nebo C").arg(path, type));

    TestSource test;
    test.type = type.at(0);
    TTable t;
    openTable(t, info.path(), info.fileName(), layoutOfType(test.type));

    // Fields that hold one value for the whole test; the text has it once.
    static const char* const testWide[] = {"DRUH", "NAZEV", "JMENO", "ADRESA", "EMAIL", "HTTP", "HESLO", "TEST",
                                           "CAS1", "CAS2", "CAS3"};
    QStringList first;
    QStringList differing;
    bool answersLeft = false;
    int question = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        ++question;
        RowReader row(t, question, notes);
        if (question == 1) {
            for (const char* f : testWide)
                first << t.FieldAsString(QLatin1String(f));
            test.kind = row.text("DRUH", QStringLiteral("druh testu"), true);
            test.title = row.text("NAZEV", QStringLiteral("název testu"), true);
            test.author = row.text("JMENO", QStringLiteral("jméno autora"), false);
            test.address = row.text("ADRESA", QStringLiteral("adresa"), false);
            test.email = row.text("EMAIL", QStringLiteral("e-mail"), false);
            test.http = row.text("HTTP", QStringLiteral("webová adresa"), false);
            test.password = row.text("HESLO", QStringLiteral("heslo"), false);
            readTime(row, t, test);
        } else {
            for (int i = 0; i < int(std::size(testWide)); ++i) {
                const QString f = QLatin1String(testWide[i]);
                if (t.FieldAsString(f) != first[i] && !differing.contains(f)) {
                    differing << f;
                    row.note(QStringLiteral("pole %1 se liší od první otázky; v textu bude jen hodnota první otázky").arg(f));
                }
            }
        }
        if (!t.FieldAsString(QStringLiteral("ODPOVED")).isEmpty() && !answersLeft) {
            answersLeft = true;
            row.note(QStringLiteral("v tabulce zůstaly odpovědi žáka (pole ODPOVED); do textu se nepřenášejí"));
        }

        SourceQuestion q;
        q.text = row.text("OTAZKA", QStringLiteral("text otázky"), true);
        if (test.type == u'A') {
            static const char* const fields[] = {"ODPOVEDA", "ODPOVEDB", "ODPOVEDC", "ODPOVEDD"};
            for (int i = 0; i < 4; ++i)
                q.answers[i] = row.text(fields[i], QStringLiteral("odpověď %1)").arg(QChar(u'a' + i)), !emptyAnswersAllowed);
        }
        const QString correct = row.text("SPRAVNE", QStringLiteral("správná odpověď"), true);
        q.correct = correct;
        if (test.type == u'A' || test.type == u'B') {
            // Scoring compares these without regard to case; the text writes them upper-case.
            q.correct = correct.toUpper();
            const bool ok = test.type == u'A'
                ? q.correct.size() == 1 && q.correct.at(0) >= u'A' && q.correct.at(0) <= u'D'
                : q.correct == QLatin1String("ANO") || q.correct == QLatin1String("NE");
            if (!ok)
                row.fail(QStringLiteral("pole SPRAVNE (správná odpověď)"),
                         QStringLiteral("je „%1“; test typu %2 má %3").arg(correct, QString(test.type),
                             test.type == u'A' ? QStringLiteral("písmeno A až D") : QStringLiteral("ANO nebo NE")));
            if (q.correct != correct)
                row.note(QStringLiteral("správná odpověď „%1“ bude zapsána jako „%2“").arg(correct, q.correct));
        }
        test.questions.append(q);
    }
    t.Close();
    return test;
}

QByteArray questionTableAsText(const QString& path, QStringList* notes)
{
    const TestSource test = readQuestionTable(path, notes);
    const QByteArray text = formatTestSource(
        test, QStringLiteral("Test z tabulky %1; tabulku z něj udělá vedomec-mktest").arg(QFileInfo(path).fileName()));
    // The table is only as good as the text reads back: prove it here.
    try {
        if (!sameContent(parseTestSource(text), test))
            throw SourceError(0, QStringLiteral("text se čte jinak, než stojí v tabulce"));
    } catch (const SourceError& e) {
        throw EVedomecError(QStringLiteral("Tabulku %1 nelze zapsat jako text beze změny: %2").arg(path, e.message()));
    }
    return text;
}

void createCatalogue(const QString& dataFolder)
{
    if (!fs::isDir(dataFolder))
        throw EVedomecError(QStringLiteral("Složka %1 neexistuje").arg(dataFolder));
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
            {"Testy.DBF", "Testy.MDX", "TESTY", catalogueLayout(), catalogueTags().front()},
            {"TestD.DBF", "TestD.MDX", "TESTD", kindLayout(), kindTags().front()},
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
                throw EVedomecError(QStringLiteral("Soubor %1 nelze dát na jeho místo (neexistuje už?)").arg(to));
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
        throw EVedomecError(QStringLiteral("Tabulka otázek %1 neexistuje").arg(testFile));
    const QFileInfo info(testPath);

    AddedTest added;
    added.fileName = info.fileName();
    QString password, author;
    {
        TTable q;
        openTable(q, info.path(), info.fileName(), identificationLayout());
        if (q.IsEmpty())
            throw EVedomecError(QStringLiteral("Tabulka %1 nemá žádnou otázku").arg(testPath));
        q.First();
        const QString type = q.FieldAsString(QStringLiteral("TEST"));
        if (type != QLatin1String("A") && type != QLatin1String("B") && type != QLatin1String("C"))
            throw EVedomecError(QStringLiteral("Tabulka %1: typ testu (pole TEST) je „%2“, ne A, B nebo C").arg(testPath, type));
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
        throw EVedomecError(QStringLiteral("Tabulka %1: druh testu (pole DRUH) je prázdný").arg(testPath));

    // The same transaction as the program's import, with the file registered
    // where it lies.
    TTable cat, kinds;
    catalogue::configureCatalogue(cat, dataFolder, true);
    catalogue::configureKinds(kinds, dataFolder);
    importing::ImportedTest test;
    test.fileName = added.fileName;
    test.kind = added.kind;
    test.title = added.title;
    test.type = QString(added.type);
    test.password = password;
    test.author = author;
    const importing::ImportResult r = importing::acceptImport(cat, kinds, test, {info.path(), info.path()});
    added.newKind = r.kindAdded;
    QByteArray stored = unicodeToCp1250(added.title).left(50);
    while (stored.endsWith(' '))
        stored.chop(1);
    added.title = cp1250ToUnicode(stored);
    return added;
}

} // namespace vedomec::tools
