// The authoring and administration tools, judged by what they leave on
// disk: question tables read back through the table cursor with the
// program's declared layouts, a catalogue the index check accepts, and no
// stray or half-written file after a refusal.
#include "StoreFaults.h"
#include "TableTools.h"
#include "exchange/TestSource.h"
#include "TableToolRun.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "data/TableFile.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using namespace vedomec::data;
using namespace vedomec::tools;
using namespace vedomec::exchange;

namespace {

const char* const SourceA =
    "Druh: Zeměpis\n"
    "Název: Hory a řeky České republiky – opakování před písemkou z vlastivědy\n"
    "Autor: Jiří Čermák\n"
    "Adresa: Náměstí 1, Žďár nad Sázavou\n"
    "E-mail: cermak@skola.example\n"
    "Http: www.skola.example\n"
    "Heslo: Šťovík\n"
    "Typ: A\n"
    "Čas: 0:15:00\n"
    "\n"
    "Otázka: Která hora je nejvyšší?\n"
    "a) Sněžka\nb) Praděd\nc) Klínovec\nd) Lysá hora\n"
    "Správně: A\n"
    "\n"
    "Otázka: Kudy teče Vltava?\n"
    "a) Brnem\nb) Prahou\nc) Ostravou\nd) Žďárem\n"
    "Správně: B\n";

const char* const SourceB =
    "Druh: Přírodověda\nNázev: Živočichové\nTyp: B\n\n"
    "Otázka: Žába je obojživelník.\nSprávně: ANO\n\n"
    "Otázka: Pavouk má šest nohou.\nSprávně: NE\n";

const char* const SourceC =
    "Druh: Zeměpis\nNázev: Hlavní města\nAutor: Eva Malá\nTyp: C\nČas: 2:05:07\n\n"
    "Otázka: Hlavní město Maďarska?\nSprávně: Budapešť\n";

void openTable(TTable& t, const QString& folder, const QString& file, const QList<FieldDef>& layout,
               const QString& index = QString())
{
    t.SetDatabaseName(folder);
    t.SetTableName(file);
    t.SetFieldDefs(layout);
    t.SetIndexName(index);
    t.Open();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TableTools : public QObject {
    Q_OBJECT
private slots:
    void questionTableOfEachType_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QChar>("type");
        QTest::newRow("A") << QByteArray(SourceA) << QChar(u'A');
        QTest::newRow("B") << QByteArray(SourceB) << QChar(u'B');
        QTest::newRow("C") << QByteArray(SourceC) << QChar(u'C');
    }

    void questionTableOfEachType()
    {
        QFETCH(QByteArray, source);
        QFETCH(QChar, type);
        QTemporaryDir dir;
        const TestSource test = parseTestSource(source);
        writeQuestionTable(test, dir.filePath(QStringLiteral("test.dbf")));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("test.dbf")});

        const QList<FieldDef> layout = type == u'A' ? layoutA() : type == u'B' ? layoutB() : layoutC();
        // Fields in the documented order and the Windows-1250 language driver.
        const auto dbf = DbfFile::open(dir.filePath(QStringLiteral("test.dbf")));
        QCOMPARE(int(dbf->fields().size()), layout.size());
        for (int i = 0; i < layout.size(); ++i) {
            QCOMPARE(dbf->fields()[size_t(i)].name, layout[i].name);
            QCOMPARE(dbf->fields()[size_t(i)].type, layout[i].kind == FieldKind::Text ? 'C' : 'N');
        }
        QCOMPARE(dbf->languageDriver(), uint8_t(0xC8));
        QVERIFY(!dbf->hasProductionIndex());

        TTable t;
        openTable(t, dir.path(), QStringLiteral("TEST.DBF"), layout);
        QCOMPARE(t.RecordCount(), test.questions.size());
        t.First();
        for (const SourceQuestion& q : test.questions) {
            QVERIFY(!t.Eof());
            QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), test.kind);
            QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), test.title);
            QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), test.author);
            QCOMPARE(t.FieldAsString(QStringLiteral("ADRESA")), test.address);
            QCOMPARE(t.FieldAsString(QStringLiteral("EMAIL")), test.email);
            QCOMPARE(t.FieldAsString(QStringLiteral("HTTP")), test.http);
            QCOMPARE(t.FieldAsString(QStringLiteral("HESLO")), test.password);
            QCOMPARE(t.FieldAsString(QStringLiteral("OTAZKA")), q.text);
            if (type == u'A') {
                QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVEDA")), q.answers[0]);
                QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVEDD")), q.answers[3]);
            }
            QCOMPARE(t.FieldAsString(QStringLiteral("SPRAVNE")), q.correct);
            QCOMPARE(t.FieldAsString(QStringLiteral("TEST")), QString(type));
            QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVED")), QString());
            QCOMPARE(t.FieldAsString(QStringLiteral("CAS1")), QString::number(test.hours));
            QCOMPARE(t.FieldAsString(QStringLiteral("CAS2")), QString::number(test.minutes));
            QCOMPARE(t.FieldAsString(QStringLiteral("CAS3")), QString::number(test.seconds));
            t.Next();
        }
        QVERIFY(t.Eof());
    }

    void czechTextOnDisk()
    {
        QTemporaryDir dir;
        writeQuestionTable(parseTestSource(SourceC), dir.filePath(QStringLiteral("c.dbf")));
        QFile f(dir.filePath(QStringLiteral("c.dbf")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains("Budape\x9A\x9D")); // š and ť in Windows-1250
        QVERIFY(bytes.contains("Ma\xEF" "arska"));
        QVERIFY(!bytes.contains("\xC5\xA1")); // no UTF-8
        TTable t;
        openTable(t, dir.path(), QStringLiteral("c.dbf"), layoutC());
        QCOMPARE(t.FieldAsString(QStringLiteral("SPRAVNE")), QStringLiteral("Budapešť"));
        // A type C table is not a type B one: SPRAVNE is 254 wide.
        TTable wrong;
        try {
            openTable(wrong, dir.path(), QStringLiteral("c.dbf"), layoutB());
            QFAIL("opened as type B");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.message(), QStringLiteral("Size mismatch for field 'SPRAVNE', expecting: 3 actual: 254"));
        }
    }

    void neverReplaces()
    {
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("TEST.DBF"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("mine");
        }
        // Another letter case names the same file for a Windows program.
        QVERIFY_THROWS_EXCEPTION(EVedomecError,
                                 writeQuestionTable(parseTestSource(SourceB), dir.filePath(QStringLiteral("test.dbf"))));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("TEST.DBF")});
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("mine"));

        QVERIFY_THROWS_EXCEPTION(EVedomecError, writeQuestionTable(parseTestSource(SourceB),
                                                                   dir.filePath(QStringLiteral("no/such/x.dbf"))));
    }

    void catalogueAndRegistration()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("Data"));
        const QString tests = dir.filePath(QStringLiteral("Testy"));
        QVERIFY(QDir().mkpath(data));
        QVERIFY(QDir().mkpath(tests));
        createCatalogue(data);
        QCOMPARE(entries(data), (QStringList{"TestD.DBF", "TestD.MDX", "Testy.DBF", "Testy.MDX"}));
        // A second catalogue is refused and the first one is left alone.
        QVERIFY_THROWS_EXCEPTION(EVedomecError, createCatalogue(data));
        QCOMPARE(entries(data).size(), 4);

        writeQuestionTable(parseTestSource(SourceC), QDir(tests).filePath(QStringLiteral("Mesta.dbf")));
        writeQuestionTable(parseTestSource(SourceB), QDir(tests).filePath(QStringLiteral("Zvirata.dbf")));
        writeQuestionTable(parseTestSource(SourceA), QDir(tests).filePath(QStringLiteral("Hory.dbf")));
        const AddedTest c = addTestToCatalogue(data, QDir(tests).filePath(QStringLiteral("Mesta.dbf")));
        QVERIFY(c.newKind);
        QVERIFY(addTestToCatalogue(data, QDir(tests).filePath(QStringLiteral("Zvirata.dbf"))).newKind);
        const AddedTest a = addTestToCatalogue(data, QDir(tests).filePath(QStringLiteral("hory.DBF")));
        QVERIFY(!a.newKind); // Zeměpis is known by now
        QCOMPARE(a.fileName, QStringLiteral("Hory.dbf"));
        QVERIFY_THROWS_EXCEPTION(EVedomecError, addTestToCatalogue(data, QDir(tests).filePath(QStringLiteral("Mesta.dbf"))));

        TTable cat;
        openTable(cat, data, QStringLiteral("Testy.DBF"), catalogueLayout(), QStringLiteral("DruhJmeno"));
        QCOMPARE(cat.RecordCount(), 3);
        QStringList order;
        cat.First();
        do {
            order << cat.FieldAsString(QStringLiteral("DRUH")) + u'/' + cat.FieldAsString(QStringLiteral("JMENO"));
            cat.Next();
        } while (!cat.Eof());
        // The title is cut to the catalogue's 50 characters.
        QCOMPARE(order, (QStringList{QStringLiteral("Přírodověda/Živočichové"), QStringLiteral("Zeměpis/Hlavní města"),
                                     QStringLiteral("Zeměpis/Hory a řeky České republiky – opakování před písem")}));
        QVERIFY(cat.FindKey({QStringLiteral("Zeměpis"), QStringLiteral("Hlavní města")}));
        QCOMPARE(cat.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("Mesta.dbf"));
        QCOMPARE(cat.FieldAsString(QStringLiteral("TEST")), QStringLiteral("C"));
        QCOMPARE(cat.FieldAsString(QStringLiteral("AUTOR")), QStringLiteral("Eva Malá"));
        QCOMPARE(cat.FieldAsString(QStringLiteral("OTEVRENO")), QString());
        QVERIFY(cat.FindKey({QStringLiteral("Zeměpis"), QStringLiteral("Hory a řeky České republiky – opakování před písem")}));
        QCOMPARE(cat.FieldAsString(QStringLiteral("HESLO")), QStringLiteral("Šťovík"));

        TTable kinds;
        openTable(kinds, data, QStringLiteral("TestD.DBF"), kindLayout(), QStringLiteral("DRUH"));
        QCOMPARE(kinds.RecordCount(), 2);
        QVERIFY(kinds.FindKey({QStringLiteral("Přírodověda")}));

        // The data module of the program accepts the folder.
        TDataModule1 module(dir.path() + u'/');
        module.DataModule1Create();
    }

    void registrationRefusesATableItsTypeCannotOpen()
    {
        QTemporaryDir dir;
        createCatalogue(dir.path());
        writeQuestionTable(parseTestSource(SourceB), dir.filePath(QStringLiteral("b.dbf")));
        {
            TTable t; // claims to be type A, but has no ODPOVEDA..D
            openTable(t, dir.path(), QStringLiteral("b.dbf"), layoutB());
            t.Edit();
            t.SetFieldAsString(QStringLiteral("TEST"), QStringLiteral("A"));
            t.Post();
        }
        try {
            addTestToCatalogue(dir.path(), dir.filePath(QStringLiteral("b.dbf")));
            QFAIL("registered");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.message(), QStringLiteral("Field 'ODPOVEDA' not found"));
        }
        TTable cat;
        openTable(cat, dir.path(), QStringLiteral("Testy.DBF"), catalogueLayout());
        QCOMPARE(cat.RecordCount(), 0);
    }

    void mktestCommand()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("dobry.txt"));
        const QString bad = dir.filePath(QStringLiteral("spatny.txt"));
        for (const auto& [path, text] : {std::pair{good, QByteArray(SourceB)},
                                         std::pair{bad, QByteArray(SourceB).replace("Správně: NE", "Správně: snad")}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        }
        Run r = runTool("vedomec-mktest", {bad});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(bad + QStringLiteral(":9: ")), qPrintable(r.err));
        QCOMPARE(entries(dir.path()), (QStringList{"dobry.txt", "spatny.txt"}));

        r = runTool("vedomec-mktest", {QStringLiteral("--check"), good});
        QCOMPARE(r.code, 0);
        QCOMPARE(entries(dir.path()).size(), 2);
        r = runTool("vedomec-mktest", {good});
        QCOMPARE(r.code, 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("dobry.dbf"))));
        r = runTool("vedomec-mktest", {good}); // never over the first one
        QCOMPARE(r.code, 1);
        QCOMPARE(entries(dir.path()), (QStringList{"dobry.dbf", "dobry.txt", "spatny.txt"}));
        QCOMPARE(runTool("vedomec-mktest", {}).code, 2);
    }

    // A damaged question table is told in Czech by both tools, with the
    // store's detail after it, and the command fails without writing.
    void damagedTableIsToldInCzech()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath(QStringLiteral("c.dbf"));
        writeQuestionTable(parseTestSource(SourceC), table);
        const QByteArray sound = dbftest::readFile(table);
        struct Damage {
            std::function<void(QByteArray&)> patch;
            QString says;
        };
        const Damage damages[] = {
            {[](QByteArray& b) { dbftest::put16(b, 8, 5); }, "header length 5 is too small"},
            {[](QByteArray& b) { b.chop(b.size() / 3); }, "records but holds only"},
        };
        const QString text = dir.filePath(QStringLiteral("c.txt"));
        const QString gift = dir.filePath(QStringLiteral("c.gift"));
        for (const Damage& d : damages) {
            QByteArray bytes = sound;
            d.patch(bytes);
            QVERIFY(dbftest::writeFile(table, bytes));
            const QString czech = QStringLiteral("soubor „%1“ je poškozený nebo chybí (").arg(table);
            const Run checked = runTool("vedomec-table", {QStringLiteral("check"), table});
            QCOMPARE(checked.code, 1);
            QVERIFY2(checked.err.startsWith(QStringLiteral("vedomec-table: ") + czech) && checked.err.contains(d.says),
                     qPrintable(checked.err));
            for (const QStringList& args : {QStringList {QStringLiteral("--text"), table, text},
                                            QStringList {QStringLiteral("--format"), QStringLiteral("gift"), table, gift}}) {
                const Run made = runTool("vedomec-mktest", args);
                QCOMPARE(made.code, 1);
                QVERIFY2(made.err.startsWith(QStringLiteral("vedomec-mktest: ") + czech) && made.err.contains(d.says),
                         qPrintable(made.err));
            }
            QCOMPARE(entries(dir.path()), QStringList {"c.dbf"});
            QCOMPARE(dbftest::readFile(table), bytes);
        }
    }

    void tableCommand()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("Data"));
        QVERIFY(QDir().mkpath(data));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("catalogue"), data}).code, 0);
        const QString tableC = dir.filePath(QStringLiteral("c.dbf"));
        writeQuestionTable(parseTestSource(SourceC), tableC);
        writeQuestionTable(parseTestSource(SourceB), dir.filePath(QStringLiteral("b.dbf")));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("add-test"), data, tableC}).code, 0);
        // The application folder stands for its Data; a folder that is
        // neither is told so, in Czech like every message of the tool.
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("add-test"), dir.path(), dir.filePath(QStringLiteral("b.dbf"))}).code, 0);
        Run refused = runTool("vedomec-table", {QStringLiteral("add-test"), dir.filePath(QStringLiteral("nic")), tableC});
        QVERIFY2(refused.code == 1 && refused.err.contains(QStringLiteral("zadejte složku Data")), qPrintable(refused.err));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("add-test"), data, tableC}).code, 1);

        const QString catalogue = QDir(data).filePath(QStringLiteral("testy.dbf"));
        Run r = runTool("vedomec-table", {QStringLiteral("check"), catalogue});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        r = runTool("vedomec-table", {QStringLiteral("insert"), catalogue, QStringLiteral("NAZEV=a.dbf"),
                                      QStringLiteral("DRUH=Čeština"), QStringLiteral("JMENO=Pravopis"), QStringLiteral("TEST=C")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("insert"), catalogue, QStringLiteral("NIC=x")}).code, 1);
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("check"), catalogue}).code, 0);

        r = runTool("vedomec-table", {QStringLiteral("walk"), catalogue, QStringLiteral("druhjmeno")});
        QCOMPARE(r.code, 0);
        const QStringList rows = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows[0].contains(QStringLiteral("DRUH=Přírodověda")));
        QVERIFY(rows[1].contains(QStringLiteral("DRUH=Zeměpis")));
        QVERIFY(rows[2].contains(QStringLiteral("DRUH=Čeština"))); // Windows-1250 byte order: Č after Z

        r = runTool("vedomec-table", {QStringLiteral("seek"), catalogue, QStringLiteral("DRUHJMENO"), QStringLiteral("Čeština"),
                                      QStringLiteral("Pravopis")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("NAZEV=a.dbf")));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("seek"), catalogue, QStringLiteral("DRUHJMENO"), QStringLiteral("Nic")}).code, 1);
        r = runTool("vedomec-table", {QStringLiteral("tags"), catalogue});
        QVERIFY(r.out.startsWith(QStringLiteral("DRUHJMENO\tDRUH+JMENO")));
        r = runTool("vedomec-table", {QStringLiteral("dump"), tableC});
        QVERIFY(r.out.contains(QStringLiteral("SPRAVNE=Budapešť")));

        // A key field changed behind the index's back is found by check.
        QFile f(QDir(data).filePath(QStringLiteral("Testy.DBF")));
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray image = f.readAll();
        const qsizetype at = image.indexOf("Zem");
        QVERIFY(at > 0);
        f.seek(at);
        f.write("Kem");
        f.close();
        r = runTool("vedomec-table", {QStringLiteral("check"), catalogue});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("stale key")), qPrintable(r.out));

        QCOMPARE(runTool("vedomec-table", {QStringLiteral("dump"), dir.filePath(QStringLiteral("none.dbf"))}).code, 1);
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("frobnicate")}).code, 2);
    }

    // Another program in the middle of a change holds the change lock and
    // may have written the header's new record count before the record: every
    // command waits for the change to end and reads the finished table,
    // instead of calling it damaged or showing half of it.
    void commandsWaitForAChangeUnderWay()
    {
        QTemporaryDir dir;
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("catalogue"), dir.path()}).code, 0);
        const QString catalogue = dir.filePath(QStringLiteral("Testy.DBF"));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("insert"), catalogue, QStringLiteral("NAZEV=a.dbf"),
                                           QStringLiteral("DRUH=Zeměpis"), QStringLiteral("JMENO=Hory"), QStringLiteral("TEST=A")})
                     .code,
                 0);
        const QList<QStringList> commands = {
            {QStringLiteral("dump"), catalogue},
            {QStringLiteral("walk"), catalogue, QStringLiteral("DRUHJMENO")},
            {QStringLiteral("seek"), catalogue, QStringLiteral("DRUHJMENO"), QStringLiteral("Zeměpis"), QStringLiteral("Hory")},
            {QStringLiteral("tags"), catalogue},
            {QStringLiteral("check"), catalogue},
            {QStringLiteral("insert"), catalogue, QStringLiteral("NAZEV=b.dbf"), QStringLiteral("DRUH=Zeměpis"),
             QStringLiteral("JMENO=Řeky"), QStringLiteral("TEST=A")},
        };
        for (const QStringList& args : commands) {
            QFile f(catalogue);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray before = f.readAll();
            {
                LockGuard change(f.handle(), kChangeLockByte, LockMode::Exclusive, catalogue);
                QByteArray torn = before;
                torn[4] = char(torn[4] + 1); // one record more than the file holds
                QVERIFY(f.seek(0));
                QCOMPARE(f.write(torn.left(32)), qint64(32));
                QVERIFY(f.flush());

                QProcess p;
                p.start(toolPath("vedomec-table"), args);
                QVERIFY(p.waitForStarted());
                QVERIFY2(!p.waitForFinished(400), qPrintable(args.first() + u' ' + QString::fromUtf8(p.readAll())));
                QVERIFY(f.seek(0));
                QCOMPARE(f.write(before.left(32)), qint64(32));
                QVERIFY(f.flush());
                change.release();
                QVERIFY(p.waitForFinished(10000));
                QVERIFY2(p.exitCode() == 0, qPrintable(args.first() + u' ' + QString::fromUtf8(p.readAllStandardError())));
            }
            f.close();
        }
        const Run r = runTool("vedomec-table", {QStringLiteral("walk"), catalogue, QStringLiteral("DRUHJMENO")});
        QCOMPARE(r.out.count(u'\n'), 2);
    }

    // `check` finds what the quick look at an index shows; `reindex` makes
    // the index anew from the table so that check accepts it, keeping the old
    // file; a change that stopped half way is undone by check, which says so
    // before it judges the table.
    void checkAndReindexOnTheCommandLine()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("Data"));
        QVERIFY(QDir().mkpath(data));
        createCatalogue(data);
        writeQuestionTable(parseTestSource(SourceC), dir.filePath(QStringLiteral("c.dbf")));
        writeQuestionTable(parseTestSource(SourceB), dir.filePath(QStringLiteral("b.dbf")));
        addTestToCatalogue(data, dir.filePath(QStringLiteral("c.dbf")));
        addTestToCatalogue(data, dir.filePath(QStringLiteral("b.dbf")));
        const QString catalogue = QDir(data).filePath(QStringLiteral("Testy.DBF"));
        const QString index = QDir(data).filePath(QStringLiteral("Testy.MDX"));
        const QByteArray table = dbftest::readFile(catalogue);
        const QByteArray sound = dbftest::readFile(index);

        struct Damage {
            std::function<void(QByteArray&)> patch;
            QString says;
        };
        const Damage damages[] = {
            {[](QByteArray& b) { dbftest::put32(b, 32, quint32(b.size() / 512 + 40)); }, "the header counts"},
            {[](QByteArray& b) { dbftest::put16(b, 28, 0); }, "holds no tags"},
            {[](QByteArray& b) { std::memcpy(b.data() + dbftest::get32(b, 544) * 512 + 24, "DRUH\0", 5); },
             "keys of 100 bytes, but its expression DRUH gives 50"},
        };
        int rebuilt = 0;
        for (const Damage& d : damages) {
            QByteArray bytes = sound;
            d.patch(bytes);
            QFile::remove(index);
            QVERIFY(dbftest::writeFile(index, bytes));
            Run r = runTool("vedomec-table", {QStringLiteral("check"), catalogue});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.out.contains(d.says), qPrintable(r.out));
            QVERIFY2(r.out.contains(QStringLiteral(": index Testy.MDX je poškozený (")), qPrintable(r.out));
            r = runTool("vedomec-table", {QStringLiteral("reindex"), catalogue});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            ++rebuilt;
            const QString kept = QStringLiteral("Testy.MDX.old") + (rebuilt > 1 ? QString::number(rebuilt) : QString());
            QVERIFY2(r.out.contains(kept), qPrintable(r.out));
            QCOMPARE(dbftest::readFile(QDir(data).filePath(kept)), bytes);
            r = runTool("vedomec-table", {QStringLiteral("check"), catalogue});
            QVERIFY2(r.code == 0, qPrintable(r.out));
            QVERIFY(runTool("vedomec-table", {QStringLiteral("tags"), catalogue}).out.startsWith(QStringLiteral("DRUHJMENO\tDRUH+JMENO")));
            QCOMPARE(dbftest::readFile(catalogue), table);
        }

        // A program killed in the middle of an insert.
        const int status = testdata::inChild([&] {
            TTable t;
            t.SetDatabaseName(data);
            t.SetTableName(QStringLiteral("Testy.DBF"));
            t.SetFieldDefs(catalogueLayout());
            t.Open();
            testdata::DeathAtWrite death(3, true);
            t.Insert();
            t.SetFieldAsString(QStringLiteral("DRUH"), QStringLiteral("Dějepis"));
            t.Post();
        });
        QCOMPARE(status, -SIGKILL);
        Run r = runTool("vedomec-table", {QStringLiteral("check"), catalogue});
        const qsizetype said = r.out.indexOf(QStringLiteral("Testy.DBF-journal zaznamenal nedokončenou změnu; je vrácena\n"));
        QVERIFY2(r.code == 0 && said >= 0 && said < r.out.indexOf(QStringLiteral(": v pořádku, ")), qPrintable(r.out + r.err));
        r = runTool("vedomec-table", {QStringLiteral("walk"), catalogue, QStringLiteral("DRUHJMENO")});
        QCOMPARE(r.out.count(u'\n'), 2);
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("check"), catalogue}).code, 0);
        QCOMPARE(dbftest::readFile(catalogue), table);
        QVERIFY(!QFile::exists(catalogue + QStringLiteral("-journal")));
    }

    // A program killed at any write of an insert: whichever command comes
    // first reads the table as the next opening leaves it, the change undone
    // or kept, and check says which before it judges the files.
    void everyCommandReadsAnUnfinishedChangeAlike()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("Data"));
        const QString pristine = dir.filePath(QStringLiteral("pristine"));
        QVERIFY(QDir().mkpath(pristine));
        createCatalogue(pristine);
        const QString catalogue = QDir(data).filePath(QStringLiteral("Testy.DBF"));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("insert"), QDir(pristine).filePath(QStringLiteral("Testy.DBF")),
                                           QStringLiteral("NAZEV=a.dbf"), QStringLiteral("DRUH=Zeměpis"), QStringLiteral("JMENO=Hory")})
                     .code,
                 0);
        const QList<QStringList> commands = {
            {QStringLiteral("dump"), catalogue},
            {QStringLiteral("tags"), catalogue},
            {QStringLiteral("walk"), catalogue, QStringLiteral("DRUHJMENO")},
            {QStringLiteral("seek"), catalogue, QStringLiteral("DRUHJMENO"), QStringLiteral("Zeměpis"), QStringLiteral("Hory")},
            {QStringLiteral("check"), catalogue},
            {QStringLiteral("insert"), catalogue, QStringLiteral("NAZEV=c.dbf"), QStringLiteral("DRUH=Dějepis")},
        };
        for (const QStringList& command : commands) {
            for (int n = 1;; ++n) {
                const QString at = command.first() + QStringLiteral(" after a kill at operation %1").arg(n);
                testdata::emptyFolder(data);
                testdata::copyFolder(pristine, data);
                const int status = testdata::inChild([&] {
                    TTable t;
                    t.SetDatabaseName(data);
                    t.SetTableName(QStringLiteral("Testy.DBF"));
                    t.SetFieldDefs(catalogueLayout());
                    t.SetSyncWrites(true);
                    t.Open();
                    testdata::DeathAtWrite death(n, n % 2 == 0);
                    t.Insert();
                    t.SetFieldAsString(QStringLiteral("NAZEV"), QStringLiteral("b.dbf"));
                    t.SetFieldAsString(QStringLiteral("DRUH"), QStringLiteral("Dějepis"));
                    t.Post();
                    death.finish();
                });
                if (status == 0)
                    break;
                const bool unfinished = TableJournal::unfinishedChangeRecorded(catalogue);
                const Run r = runTool("vedomec-table", command);
                QVERIFY2(r.code == 0, qPrintable(at + u' ' + r.out + r.err));
                if (command.first() == QLatin1String("check"))
                    QVERIFY2(r.out.contains(QStringLiteral("nedokončenou změnu")) == unfinished
                                 && r.out.contains(QStringLiteral(": v pořádku, ")),
                             qPrintable(at + u' ' + r.out));
                const Run dump = runTool("vedomec-table", {QStringLiteral("dump"), catalogue});
                const qsizetype rows = dump.out.count(QStringLiteral("\n#"));
                const qsizetype added = command.first() == QLatin1String("insert") ? 1 : 0;
                QVERIFY2(rows == 1 + added || rows == 2 + added, qPrintable(at + u' ' + dump.out + dump.err));
                QVERIFY2(runTool("vedomec-table", {QStringLiteral("check"), catalogue}).out.contains(QStringLiteral(": v pořádku, ")), qPrintable(at));
                QCOMPARE(walkedRecords(catalogue, QStringLiteral("DRUHJMENO")).size(), rows);
            }
        }
    }

    // reindex never writes an index that leaves out a row the file holds:
    // a header that counts too few whole records gets its count back, and
    // says so; records beyond the count that are not whole stop it before
    // anything changes.
    void reindexKeepsEveryRowTheFileHolds()
    {
        QTemporaryDir dir;
        createCatalogue(dir.path());
        const QString catalogue = dir.filePath(QStringLiteral("Testy.DBF"));
        const QString index = dir.filePath(QStringLiteral("Testy.MDX"));
        for (const char* name : {"a", "b", "c", "d", "e"})
            QCOMPARE(runTool("vedomec-table", {QStringLiteral("insert"), catalogue, QStringLiteral("NAZEV=%1.dbf").arg(name),
                                               QStringLiteral("DRUH=Zeměpis"), QStringLiteral("JMENO=%1").arg(name)})
                         .code,
                     0);
        const QByteArray table = dbftest::readFile(catalogue);

        QByteArray counted = table;
        dbftest::put32(counted, 4, 3);
        QVERIFY(dbftest::writeFile(catalogue, counted));
        Run r = runTool("vedomec-table", {QStringLiteral("check"), catalogue});
        QVERIFY2(r.code == 1 && r.out.contains(QStringLiteral("hlavička počítá 3 záznamů, ale soubor jich obsahuje 5")), qPrintable(r.out));
        r = runTool("vedomec-table", {QStringLiteral("reindex"), catalogue});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("the header counted 3 records, but the file holds 5 whole ones; the count is restored to 5")),
                 qPrintable(r.out));
        QCOMPARE(dbftest::readFile(catalogue), table);
        QCOMPARE(walkedRecords(catalogue, QStringLiteral("DRUHJMENO")).size(), 5);
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("check"), catalogue}).code, 0);

        const int recordLength = dbftest::get32(table, 10) & 0xFFFF;
        const int headerLength = dbftest::get32(table, 8) & 0xFFFF;
        QByteArray flagged = counted;
        flagged[headerLength + 4 * recordLength] = 'X';
        QByteArray flaggedBefore = counted; // every record beyond the count is looked at, not only the last
        flaggedBefore[headerLength + 3 * recordLength] = 'X';
        QByteArray tail = counted;
        tail.chop(1);
        tail.append("junk");
        for (const QByteArray& damaged : {flagged, flaggedBefore, tail}) {
            QVERIFY(dbftest::writeFile(catalogue, damaged));
            const QStringList before = entries(dir.path());
            const QByteArray mdx = dbftest::readFile(index);
            r = runTool("vedomec-table", {QStringLiteral("reindex"), catalogue});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QStringLiteral("its header counts 3 records, but the file holds 5")), qPrintable(r.err));
            QCOMPARE(dbftest::readFile(catalogue), damaged);
            QCOMPARE(dbftest::readFile(index), mdx);
            QCOMPARE(entries(dir.path()), before);
        }
    }

    // add-test is the program's import: a name the catalogue cannot hold is
    // refused before anything changes, and after a crash at any point
    // running it again completes the registration.
    void addTestRefusesAndCompletes()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("Data"));
        QVERIFY(QDir().mkpath(data));
        createCatalogue(data);
        const QString longName = dir.filePath(QString(51, QChar(u'x')) + QStringLiteral(".dbf"));
        writeQuestionTable(parseTestSource(SourceB), longName);
        const QByteArray empty = dbftest::readFile(QDir(data).filePath(QStringLiteral("Testy.DBF")));
        Run r = runTool("vedomec-table", {QStringLiteral("add-test"), data, longName});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("má 55 znaků")), qPrintable(r.err));
        QCOMPARE(dbftest::readFile(QDir(data).filePath(QStringLiteral("Testy.DBF"))), empty);

        const QString test = dir.filePath(QStringLiteral("b.dbf"));
        writeQuestionTable(parseTestSource(SourceB), test);
        const QString work = dir.filePath(QStringLiteral("work"));
        for (int n = 1;; ++n) {
            testdata::emptyFolder(work);
            testdata::copyFolder(data, work);
            const int status = testdata::inChild([&] {
                testdata::DeathAtWrite death(n, n % 2 == 0);
                addTestToCatalogue(work, test);
                death.finish();
            });
            QVERIFY(status == 0 || status == -SIGKILL);
            if (status != 0) {
                // Either the registration is completed now, or the crash came
                // after it was whole and the table says so.
                try {
                    QCOMPARE(addTestToCatalogue(work, test).fileName, QStringLiteral("b.dbf"));
                } catch (const EVedomecError& e) {
                    QCOMPARE(e.message(), QStringLiteral("b.dbf is already in the catalogue"));
                }
            }
            TTable cat;
            openTable(cat, work, QStringLiteral("Testy.DBF"), catalogueLayout(), QStringLiteral("DRUHJMENO"));
            QCOMPARE(cat.RecordCount(), 1);
            cat.Close();
            TTable kinds;
            openTable(kinds, work, QStringLiteral("TestD.DBF"), kindLayout(), QStringLiteral("DRUH"));
            QCOMPARE(kinds.RecordCount(), 1);
            kinds.Close();
            QCOMPARE(runTool("vedomec-table", {QStringLiteral("check"), QDir(work).filePath(QStringLiteral("Testy.DBF"))}).code, 0);
            if (status == 0)
                break;
        }
    }
};

QTEST_GUILESS_MAIN(TableTools)
#include "tst_tabletools.moc"
