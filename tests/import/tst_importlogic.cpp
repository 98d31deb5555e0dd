// The import transaction read back from disk: catalogue and kind table walked
// by their tags, index checks, the files in both folders.
#include "StoreFaults.h"
#include "TestData.h"

#include "data/Data.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "data/TagCheck.h"
#include "import/ImportLogic.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <numeric>

using namespace vedomec;
using namespace vedomec::importing;
using vedomec::testdata::AppFolder;
using vedomec::testdata::TestFile;

namespace {

struct Store {
    data::TTable catalogue, kinds, file;
    explicit Store(const AppFolder& app)
    {
        catalogue.SetDatabaseName(app.path() + "Data");
        catalogue.SetTableName("Testy.DBF");
        catalogue.SetFieldDefs(data::catalogueLayout());
        catalogue.SetIndexName("DruhJmeno");
        kinds.SetDatabaseName(app.path() + "Data");
        kinds.SetTableName("TestD.DBF");
        kinds.SetFieldDefs(data::kindLayout());
        kinds.SetIndexName("DRUH");
        file.SetFieldDefs(data::identificationLayout());
    }
};

ImportFolders foldersOf(const AppFolder& app)
{
    return {app.path() + "Testy/Import", app.path() + "Testy"};
}

// What the identification dialog reads before "Ok".
ImportedTest prepare(const AppFolder& app, const QString& name)
{
    data::TTable t;
    t.SetFieldDefs(data::identificationLayout());
    t.SetDatabaseName(app.path() + "Testy/Import");
    t.SetTableName(name);
    t.Open();
    ImportedTest it = readImportedTest(t, name);
    t.Close();
    return it;
}

// Rows in the order of the table's selected index, as "field1|field2".
QStringList walk(data::TTable& t, const QStringList& fields)
{
    QStringList out;
    t.Open();
    t.First();
    if (!t.IsEmpty()) {
        do {
            QStringList v;
            for (const QString& f : fields)
                v << t.FieldAsString(f);
            out << v.join('|');
            t.Next();
        } while (!t.Eof());
    }
    t.Close();
    return out;
}

void verifyKeyOrder(const QStringList& rows, const QList<int>& widths)
{
    auto key = [&](const QString& row) {
        const QStringList parts = row.split('|');
        QByteArray k;
        for (int i = 0; i < widths.size(); ++i) {
            QByteArray b = unicodeToCp1250(parts.value(i)).left(widths[i]);
            k += b + QByteArray(widths[i] - b.size(), ' ');
        }
        return k;
    };
    for (int i = 1; i < rows.size(); ++i)
        QVERIFY2(key(rows[i - 1]) <= key(rows[i]), qPrintable(rows[i - 1] + " > " + rows[i]));
}

void verifyIndexSound(const QString& mdxPath)
{
    auto mdx = data::MdxFile::open(mdxPath, false);
    const QStringList problems = mdx->check();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

// The kind table as another dBASE program reads it: every record, a deleted
// one marked '*', in physical order; and its index must hold every record
// under its key, deleted ones too, which dBASE keeps until the table is
// packed.
QStringList kindRecords(const AppFolder& app)
{
    const auto dbf = data::DbfFile::open(app.path() + "Data/TestD.DBF");
    QStringList out;
    for (uint32_t r = 1; r <= dbf->recordCount(); ++r)
        out << (dbf->isDeleted(r) ? "*" : "") + data::DbfFile::readField(dbf->fields().front(), dbf->record(r));
    return out;
}

void verifyKindIndexHoldsEveryRecord(const AppFolder& app, const QString& at)
{
    const auto dbf = data::DbfFile::open(app.path() + "Data/TestD.DBF");
    const auto mdx = data::MdxFile::open(app.path() + "Data/TestD.MDX", false);
    QStringList problems = mdx->check() << data::checkTagsAgainstTable(*dbf, *mdx).problems;
    QList<uint32_t> indexed;
    for (auto p = mdx->first(0); p.valid(); p = mdx->next(0, p))
        indexed << mdx->recno(0, p);
    std::sort(indexed.begin(), indexed.end());
    QList<uint32_t> all(dbf->recordCount());
    std::iota(all.begin(), all.end(), 1u);
    if (indexed != all)
        problems << QStringLiteral("the tag holds %1 of %2 records").arg(indexed.size()).arg(all.size());
    QVERIFY2(problems.isEmpty(), qPrintable(at + ": " + problems.join("; ")));
}

// What an import can change, as the user sees it: the catalogue and the kind
// table through their indexes, and the files of both folders.
struct ImportState {
    QStringList catalogue, kinds;
    QMap<QString, QByteArray> tests, imports;
    bool operator==(const ImportState& o) const
    {
        return catalogue == o.catalogue && kinds == o.kinds && tests == o.tests && imports == o.imports;
    }
};

ImportState stateOf(const AppFolder& app)
{
    Store s(app);
    ImportState st;
    st.catalogue = walk(s.catalogue, {"DRUH", "JMENO", "NAZEV", "TEST", "HESLO", "OTEVRENO"});
    st.kinds = walk(s.kinds, {"DRUH"});
    st.tests = testdata::folderBytes(app.testy());
    st.tests.remove("Import");
    st.imports = testdata::folderBytes(app.import());
    return st;
}

} // namespace

class TestImportLogic : public QObject {
    Q_OBJECT
private slots:
    void texts()
    {
        QCOMPARE(typeText("A"), QStringLiteral("Test typu a) b) c) d)"));
        QCOMPARE(typeText("B"), QStringLiteral("Test typu ano / ne"));
        QCOMPARE(typeText("C"), QStringLiteral("Test typu doplňte"));
        QCOMPARE(typeText("a"), QStringLiteral("Neznámý typ testu"));
        QCOMPARE(typeText(""), QStringLiteral("Neznámý typ testu"));
        QCOMPARE(protectionText(""), QStringLiteral("NE"));
        QCOMPARE(protectionText("tajne"), QStringLiteral("ANO"));
    }

    // Only Testy is asked, in any letter case; the current folder and a file
    // called like the old working name play no part.
    void nameCheck()
    {
        AppFolder app;
        app.addTest("Zemepis.dbf", testdata::simpleTest("A", 2));
        app.addImport("NV99.dbf", testdata::simpleTest("A", 2));
        app.addImport("ZEMEPIS.DBF", testdata::simpleTest("A", 2));
        QVERIFY(nameTaken(app.testy(), "Zemepis.dbf"));
        QVERIFY(nameTaken(app.testy(), "ZEMEPIS.DBF"));
        QVERIFY(nameTaken(app.testy(), "zemepis.DBF"));
        QVERIFY(!nameTaken(app.testy(), "Zemepis2.dbf"));
        const QString before = QDir::currentPath();
        QVERIFY(fs::setCurrentFolder(app.import()));
        QVERIFY(!nameTaken(app.testy(), "NV99.dbf"));
        fs::setCurrentFolder(before);
        // Refused names leave the import folder untouched.
        QVERIFY(QFile::exists(app.import() + "ZEMEPIS.DBF"));
        QVERIFY(QFile::exists(app.import() + "NV99.dbf"));
        // A copy with the very bytes of the import file is what an import
        // that stopped half way left: importing again may go on.
        app.addTest("jiny.dbf", testdata::simpleTest("B", 3));
        app.addImport("JINY.dbf", testdata::simpleTest("A", 2));
        QVERIFY(nameTakenByAnother(app.testy(), app.import(), "JINY.dbf"));
        QVERIFY(QFile::copy(app.import() + "NV99.dbf", app.testy() + "nv99.dbf"));
        QVERIFY(nameTaken(app.testy(), "NV99.dbf"));
        QVERIFY(!nameTakenByAnother(app.testy(), app.import(), "NV99.dbf"));
    }

    // Several imports: kinds differing in case, a long title, the same test
    // under two names, a kind already known; then key order and index checks.
    void severalImports()
    {
        AppFolder app;
        app.addTest("Stary.dbf", testdata::simpleTest("B", 2)); // kind "Zeměpis" in the catalogue
        app.addKind("Zeměpis");
        TestFile a = testdata::simpleTest("A", 3);
        a.druh = "Zeměpis";
        a.nazev = "Řeky";
        TestFile b = testdata::simpleTest("B", 2);
        b.druh = "zeměpis";
        b.nazev = QString(80, QChar(u'Ž'));
        b.heslo = "tajne";
        TestFile c = testdata::simpleTest("C", 4);
        c.druh = "Čeština";
        c.nazev = "Vyjmenovaná slova";
        app.addImport("reky.dbf", a);
        app.addImport("Dlouhy.DBF", b);
        app.addImport("Slova1.dbf", c);
        app.addImport("Slova2.dbf", c);
        app.addImport("NV99.dbf", a);

        Store s(app);
        const ImportFolders f = foldersOf(app);
        QByteArray slova1;
        {
            QFile in(app.import() + "Slova1.dbf");
            QVERIFY(in.open(QIODevice::ReadOnly));
            slova1 = in.readAll();
        }
        const ImportResult r1 = acceptImport(s.catalogue, s.kinds, prepare(app, "reky.dbf"), f);
        QVERIFY(!r1.kindAdded); // "Zeměpis" is known
        const ImportResult r2 = acceptImport(s.catalogue, s.kinds, prepare(app, "Dlouhy.DBF"), f);
        QVERIFY(r2.kindAdded); // "zeměpis" differs in case
        QVERIFY(acceptImport(s.catalogue, s.kinds, prepare(app, "Slova1.dbf"), f).kindAdded);
        QVERIFY(!acceptImport(s.catalogue, s.kinds, prepare(app, "Slova2.dbf"), f).kindAdded);
        QVERIFY(!acceptImport(s.catalogue, s.kinds, prepare(app, "NV99.dbf"), f).kindAdded);
        QVERIFY(!s.catalogue.Active());
        QVERIFY(!s.kinds.Active());

        // Files moved, contents intact.
        for (const char* n : {"reky.dbf", "Dlouhy.DBF", "Slova1.dbf", "Slova2.dbf", "NV99.dbf"}) {
            QVERIFY2(QFile::exists(app.testy() + n), n);
            QVERIFY2(!QFile::exists(app.import() + n), n);
        }
        QFile out(app.testy() + "Slova1.dbf");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), slova1);

        const QStringList cat = walk(s.catalogue, {"DRUH", "JMENO", "NAZEV", "TEST", "HESLO", "OTEVRENO"});
        QCOMPARE(cat.size(), 6);
        verifyKeyOrder(cat, {50, 50});
        QVERIFY(cat.contains("zeměpis|" + QString(50, QChar(u'Ž')) + "|Dlouhy.DBF|B|tajne|"));
        QVERIFY(cat.contains("Zeměpis|Řeky|reky.dbf|A||"));
        QVERIFY(cat.contains("Čeština|Vyjmenovaná slova|Slova1.dbf|C||"));
        QVERIFY(cat.contains("Čeština|Vyjmenovaná slova|Slova2.dbf|C||"));
        QVERIFY(cat.contains("Zeměpis|Řeky|NV99.dbf|A||"));

        const QStringList kinds = walk(s.kinds, {"DRUH"});
        QCOMPARE(kinds.size(), 3);
        QVERIFY(kinds.contains("Zeměpis") && kinds.contains("zeměpis") && kinds.contains("Čeština"));
        verifyKeyOrder(kinds, {100});

        // The question table keeps the whole title.
        data::TTable q;
        q.SetFieldDefs(data::identificationLayout());
        q.SetDatabaseName(app.testy());
        q.SetTableName("Dlouhy.DBF");
        q.Open();
        QCOMPARE(q.FieldAsString("NAZEV"), QString(80, QChar(u'Ž')));
        q.Close();

        verifyIndexSound(app.path() + "Data/Testy.MDX");
        verifyIndexSound(app.path() + "Data/TestD.MDX");
    }

    // A test already in the catalogue comes again under its name in other
    // letters' case: the file in Testy is that test, so the import only
    // removes the import file, and the catalogue lists the test once.
    void reimportInOtherLetterCaseIsListedOnce()
    {
        AppFolder app;
        app.addImport("Zemepis.dbf", testdata::simpleTest("B", 2));
        Store s(app);
        acceptImport(s.catalogue, s.kinds, prepare(app, "Zemepis.dbf"), foldersOf(app));
        QVERIFY(QFile::copy(app.testy() + "Zemepis.dbf", app.import() + "ZEMEPIS.DBF"));
        const ImportResult again = acceptImport(s.catalogue, s.kinds, prepare(app, "ZEMEPIS.DBF"), foldersOf(app));
        QVERIFY(again.finishedEarlier && again.sourceRemoved);
        QCOMPARE(walk(s.catalogue, {"NAZEV"}), QStringList{"Zemepis.dbf"});
        QCOMPARE(walk(s.kinds, {"DRUH"}).size(), 1);
        QVERIFY(testdata::folderBytes(app.import()).isEmpty());
        QCOMPARE(testdata::folderBytes(app.testy()).keys(), QStringList{"Zemepis.dbf"});
    }

    // A failed copy (injected, and a real one into a missing folder) takes
    // back the catalogue row and the new kind row and leaves the file.
    void copyFailureLosesNothing_data()
    {
        QTest::addColumn<bool>("injected");
        QTest::newRow("injected") << true;
        QTest::newRow("Testy missing") << false;
    }
    void copyFailureLosesNothing()
    {
        QFETCH(bool, injected);
        AppFolder app;
        app.addTest("Stary.dbf", testdata::simpleTest("A", 2));
        app.addKind("Zeměpis");
        TestFile t = testdata::simpleTest("C", 2);
        t.druh = "Nový druh";
        app.addImport("Novy.dbf", t);
        QFile src(app.import() + "Novy.dbf");
        QVERIFY(src.open(QIODevice::ReadOnly));
        const QByteArray before = src.readAll();
        src.close();

        Store s(app);
        const QStringList catBefore = walk(s.catalogue, {"DRUH", "JMENO", "NAZEV"});
        const QStringList kindsBefore = walk(s.kinds, {"DRUH"});
        const ImportedTest it = prepare(app, "Novy.dbf");
        ImportFolders f = foldersOf(app);
        CopyFunction copy;
        int calls = 0;
        if (injected) {
            copy = [&](const QString&, const QString&, QString* err) {
                ++calls;
                *err = "No space left on device";
                return false;
            };
        } else {
            f.testsFolder = app.path() + "Chybi";
        }
        QString message;
        try {
            acceptImport(s.catalogue, s.kinds, it, f, copy);
            QFAIL("the import should fail");
        } catch (const EVedomecError& e) {
            message = e.message();
        }
        if (injected) {
            QCOMPARE(calls, 1);
            QVERIFY2(message.contains("No space left on device"), qPrintable(message));
        }
        QVERIFY2(message.contains("Testy"), qPrintable(message));
        QVERIFY(!s.catalogue.Active() && !s.kinds.Active());

        QCOMPARE(walk(s.catalogue, {"DRUH", "JMENO", "NAZEV"}), catBefore);
        QCOMPARE(walk(s.kinds, {"DRUH"}), kindsBefore);
        QVERIFY(src.open(QIODevice::ReadOnly));
        QCOMPARE(src.readAll(), before);
        QVERIFY(!QFile::exists(app.testy() + "Novy.dbf"));
        verifyIndexSound(app.path() + "Data/Testy.MDX");
        verifyIndexSound(app.path() + "Data/TestD.MDX");

        // Once the cause is gone the same file imports normally.
        const ImportResult r = acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
        QVERIFY(r.kindAdded);
        QVERIFY(QFile::exists(app.testy() + "Novy.dbf"));
        QVERIFY(!QFile::exists(app.import() + "Novy.dbf"));
        QCOMPARE(walk(s.catalogue, {"NAZEV"}).size(), catBefore.size() + 1);
        verifyIndexSound(app.path() + "Data/Testy.MDX");
        verifyIndexSound(app.path() + "Data/TestD.MDX");
    }

    // The kind table cannot be written: the catalogue row goes again and
    // the file stays.
    void kindTableFailureTakesBackCatalogueRow()
    {
        AppFolder app;
        app.addImport("Novy.dbf", testdata::simpleTest("A", 2));
        QVERIFY(QFile::remove(app.path() + "Data/TestD.MDX"));
        Store s(app);
        const ImportedTest it = prepare(app, "Novy.dbf");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, acceptImport(s.catalogue, s.kinds, it, foldersOf(app)));
        QVERIFY(!s.catalogue.Active() && !s.kinds.Active());
        QVERIFY(walk(s.catalogue, {"NAZEV"}).isEmpty());
        QVERIFY(QFile::exists(app.import() + "Novy.dbf"));
        QVERIFY(!QFile::exists(app.testy() + "Novy.dbf"));
        verifyIndexSound(app.path() + "Data/Testy.MDX");
    }

    // A name taken in Testy while the identification was open: refused before
    // anything is written; the file in Testy is not replaced.
    void takenAtAcceptance()
    {
        AppFolder app;
        TestFile t = testdata::simpleTest("A", 2);
        app.addImport("Dvojce.dbf", t);
        const ImportedTest it = prepare(app, "Dvojce.dbf");
        QFile other(app.testy() + "DVOJCE.DBF");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("jiny test");
        other.close();
        Store s(app);
        try {
            acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
            QFAIL("expected refusal");
        } catch (const EVedomecError& e) {
            QCOMPARE(e.message(), nameTakenMessage());
        }
        QVERIFY(walk(s.catalogue, {"NAZEV"}).isEmpty());
        QVERIFY(walk(s.kinds, {"DRUH"}).isEmpty());
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("jiny test"));
        QVERIFY(QFile::exists(app.import() + "Dvojce.dbf"));
    }

    // A name the catalogue's NAZEV cannot hold exactly is refused before
    // anything changes; a name of exactly 50 characters is taken.
    void namesTheCatalogueCannotHold_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("says");
        QTest::newRow("51 characters") << QString(47, QChar(u'ž')) + ".dbf" << "má 51 znaků";
        QTest::newRow("a letter outside Windows-1250") << QStringLiteral("Жук.dbf") << "U+0416";
        QTest::newRow("beyond the Basic Multilingual Plane") << QStringLiteral("Úsměv \U0001F600.dbf") << "U+1F600";
        QTest::newRow("a decomposed letter") << QStringLiteral("Pr\u030Círoda.dbf") << "U+030C";
        QTest::newRow("a blank at the end") << QStringLiteral("Test.dbf ") << "uložit přesně";
    }
    void namesTheCatalogueCannotHold()
    {
        QFETCH(QString, name);
        QFETCH(QString, says);
        AppFolder app;
        app.addImport(name, testdata::simpleTest("A", 2));
        app.addImport(QString(46, QChar(u'ř')) + ".dbf", testdata::simpleTest("B", 2));
        const ImportState before = stateOf(app);
        Store s(app);
        const ImportedTest it = prepare(app, name);
        QCOMPARE(catalogueNameProblem(name).isEmpty(), false);
        try {
            acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
            QFAIL("the name was taken");
        } catch (const EVedomecError& e) {
            QVERIFY2(e.message().contains(says) && e.message().contains(name), qPrintable(e.message()));
            QVERIFY2(e.message().endsWith("zkuste provést import znovu."), qPrintable(e.message()));
        }
        QVERIFY(stateOf(app) == before);

        const QString fifty = QString(46, QChar(u'ř')) + ".dbf";
        QVERIFY(catalogueNameProblem(fifty).isEmpty());
        acceptImport(s.catalogue, s.kinds, prepare(app, fifty), foldersOf(app));
        Store after(app);
        QCOMPARE(walk(after.catalogue, {"NAZEV"}), QStringList{fifty});
        QVERIFY(QFile::exists(app.testy() + fifty));
    }

    // Every write of an import fails in turn (the disk fails once, or for
    // good; it is full at that moment): the user sees nothing changed, the
    // kind table is byte for byte what it was (or, when the disk refused even
    // that, keeps the new kind as a whole row), every record of it is in its
    // index, and importing again completes the import with one row per kind.
    void everyWriteOfAnImportMayFail()
    {
        TestFile t = testdata::simpleTest("C", 3);
        t.druh = "Nový druh";
        for (testdata::WriteFaults::Kind kind : {testdata::WriteFaults::Kind::Io, testdata::WriteFaults::Kind::FullDisk}) {
            for (bool persistent : {false, true}) {
                for (int n = 1;; ++n) {
                    const QString at = QStringLiteral("%1%2 at operation %3")
                                           .arg(kind == testdata::WriteFaults::Kind::Io ? "EIO" : "ENOSPC",
                                                persistent ? " for good" : "")
                                           .arg(n);
                    AppFolder app;
                    app.addTest("Stary.dbf", testdata::simpleTest("A", 2));
                    app.addKind("Zeměpis");
                    app.addImport("Novy.dbf", t);
                    const ImportState before = stateOf(app);
                    const QMap<QString, QByteArray> dataBefore = testdata::folderBytes(app.path() + "Data");
                    const QByteArray bytes = testdata::bytesOf(app.import() + "Novy.dbf");
                    const ImportedTest it = prepare(app, "Novy.dbf");
                    Store s(app);
                    s.catalogue.SetSyncWrites(true);
                    s.kinds.SetSyncWrites(true);
                    bool failed = false, triggered = false;
                    {
                        testdata::WriteFaults faults(n, kind, persistent);
                        try {
                            acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
                        } catch (const EVedomecError&) {
                            failed = true;
                        }
                        triggered = faults.triggered();
                    }
                    QVERIFY2(!s.catalogue.Active() && !s.kinds.Active(), qPrintable(at));
                    if (failed) {
                        ImportState now = stateOf(app);
                        if (persistent && now.kinds != before.kinds) {
                            QVERIFY2(kindRecords(app) == (QStringList{"Zeměpis", "Nový druh"}), qPrintable(at));
                            now.kinds = before.kinds;
                        } else {
                            QVERIFY2(testdata::folderBytes(app.path() + "Data") == dataBefore, qPrintable(at + ": not as before"));
                        }
                        QVERIFY2(now == before, qPrintable(at));
                        verifyKindIndexHoldsEveryRecord(app, at);
                        acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
                    }
                    const ImportState after = stateOf(app);
                    QVERIFY2(after.catalogue.size() == 2 && after.catalogue.contains("Nový druh|Hlavní města|Novy.dbf|C||"),
                             qPrintable(at + ": " + after.catalogue.join(", ")));
                    QVERIFY2(after.kinds == (QStringList{"Nový druh", "Zeměpis"}), qPrintable(at));
                    QVERIFY2(kindRecords(app) == (QStringList{"Zeměpis", "Nový druh"}),
                             qPrintable(at + ": " + kindRecords(app).join(", ")));
                    QVERIFY2(after.tests.value("Novy.dbf") == bytes && after.tests.size() == 2, qPrintable(at));
                    QVERIFY2(after.imports.isEmpty(), qPrintable(at));
                    verifyIndexSound(app.path() + "Data/Testy.MDX");
                    verifyKindIndexHoldsEveryRecord(app, at);
                    if (!triggered)
                        break;
                }
            }
        }
    }

    // The program dies at any write of an import; importing the same file
    // again completes it, with one catalogue row, one kind row and the test
    // once in Testy.
    void importKilledAnywhereIsCompletedByARetry()
    {
        TestFile t = testdata::simpleTest("B", 4);
        t.druh = "Nový druh";
        for (bool partly : {false, true}) {
            for (int n = 1;; ++n) {
                const QString at = QStringLiteral("killed at operation %1%2").arg(n).arg(partly ? ", half written" : "");
                AppFolder app;
                app.addImport("Novy.dbf", t);
                const QByteArray bytes = testdata::bytesOf(app.import() + "Novy.dbf");
                const ImportedTest it = prepare(app, "Novy.dbf");
                const int status = testdata::inChild([&] {
                    Store s(app);
                    s.catalogue.SetSyncWrites(true);
                    s.kinds.SetSyncWrites(true);
                    testdata::DeathAtWrite death(n, partly);
                    try {
                        acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
                    } catch (...) {
                    }
                    death.finish();
                });
                QVERIFY2(status == 0 || status == -SIGKILL, qPrintable(at));
                if (status != 0) {
                    Store s(app);
                    const ImportResult r = acceptImport(s.catalogue, s.kinds, it, foldersOf(app));
                    QVERIFY2(r.sourceRemoved, qPrintable(at));
                }
                const ImportState after = stateOf(app);
                QVERIFY2(after.catalogue == QStringList{"Nový druh|Hlavní města|Novy.dbf|B||"},
                         qPrintable(at + ": " + after.catalogue.join(", ")));
                QVERIFY2(after.kinds == QStringList{"Nový druh"}, qPrintable(at + ": " + after.kinds.join(", ")));
                QVERIFY2(after.tests.keys() == QStringList{"Novy.dbf"} && after.tests.value("Novy.dbf") == bytes,
                         qPrintable(at + ": " + after.tests.keys().join(", ")));
                QVERIFY2(after.imports.isEmpty(), qPrintable(at));
                verifyIndexSound(app.path() + "Data/Testy.MDX");
                verifyIndexSound(app.path() + "Data/TestD.MDX");
                if (status == 0)
                    break;
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestImportLogic)
#include "tst_importlogic.moc"
