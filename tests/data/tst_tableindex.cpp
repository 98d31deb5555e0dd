// The table cursor over a production index: key order, seeks, index upkeep
// on Insert and Post, and the data module on a real catalogue.
#include "DbfTestUtil.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace vedomec;
using namespace vedomec::data;

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QStringLiteral("unexpected exception: ") + QString::fromUtf8(e.what());
    }
    return QString();
}

struct Row {
    QString druh, jmeno, nazev;
};

QString key(const Row& r)
{
    return r.druh.leftJustified(50, QLatin1Char(' ')) + r.jmeno.leftJustified(50, QLatin1Char(' '));
}

// Key order as the index keeps it: Windows-1250 bytes, equal keys in
// physical order.
bool byKey(const std::pair<Row, int>& a, const std::pair<Row, int>& b)
{
    const QByteArray ka = unicodeToCp1250(key(a.first)), kb = unicodeToCp1250(key(b.first));
    if (ka != kb)
        return ka < kb;
    return a.second < b.second;
}

QStringList checkIndex(const QString& mdxPath)
{
    return MdxFile::open(mdxPath, false)->check();
}

} // namespace

class TestTableIndex : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString dataDir() const { return m_dir->path() + QStringLiteral("/Data"); }
    QString mdxPath() const { return dataDir() + QStringLiteral("/Testy.MDX"); }

    void makeCatalogue()
    {
        QDir(m_dir->path()).mkdir(QStringLiteral("Data"));
        createTable(dataDir() + QStringLiteral("/Testy.DBF"), dbfFieldsOf(catalogueLayout()),
                    {{QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")},
                     {QStringLiteral("NAZEV"), QStringLiteral("UPPER(NAZEV)")}});
    }

    void openCatalogue(TTable& t, const QString& index = QStringLiteral("DruhJmeno"))
    {
        t.SetDatabaseName(dataDir());
        t.SetTableName(QStringLiteral("testy.dbf"));
        t.SetFieldDefs(catalogueLayout());
        t.SetIndexName(index);
        t.Open();
    }

    static void insert(TTable& t, const Row& r)
    {
        t.Insert();
        t.SetFieldAsString(QStringLiteral("DRUH"), r.druh);
        t.SetFieldAsString(QStringLiteral("JMENO"), r.jmeno);
        t.SetFieldAsString(QStringLiteral("NAZEV"), r.nazev);
        t.Post();
    }

    static Row current(TTable& t)
    {
        return {t.FieldAsString(QStringLiteral("DRUH")), t.FieldAsString(QStringLiteral("JMENO")),
                t.FieldAsString(QStringLiteral("NAZEV"))};
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        makeCatalogue();
    }

    void insertsKeepTheIndexAndWalkInKeyOrder()
    {
        QRandomGenerator rng(7);
        const QStringList kinds = {QStringLiteral("Čeština"), QStringLiteral("Zeměpis"), QStringLiteral("Dějepis"),
                                   QStringLiteral("Matematika"), QStringLiteral("Chemie")};
        std::vector<std::pair<Row, int>> rows;
        TTable t;
        openCatalogue(t);
        QCOMPARE(t.IndexTagNames(), QStringList({"DRUHJMENO", "NAZEV"}));
        for (int i = 0; i < 3000; ++i) {
            const Row r{kinds[int(rng.bounded(kinds.size()))], QStringLiteral("Test %1").arg(rng.bounded(1000)),
                        QStringLiteral("t%1.dbf").arg(i)};
            insert(t, r);
            rows.emplace_back(r, i + 1);
            // The new row is current and in its place in key order.
            QCOMPARE(t.RecNo(), i + 1);
        }
        QCOMPARE(t.RecordCount(), 3000);
        QCOMPARE(checkIndex(mdxPath()), QStringList());
        std::stable_sort(rows.begin(), rows.end(), byKey);

        int n = 0;
        t.First();
        while (!t.Eof()) {
            QVERIFY(n < int(rows.size()));
            QCOMPARE(t.RecNo(), rows[size_t(n)].second);
            ++n;
            t.Next();
        }
        QCOMPARE(n, 3000);
        t.Last();
        n = 2999;
        while (!t.Bof()) {
            QCOMPARE(t.RecNo(), rows[size_t(n)].second);
            --n;
            t.Prior();
        }
        QCOMPARE(n, -1);

        // Physical order again, then the other tag (upper-cased key).
        t.SetIndexName(QString());
        t.First();
        QCOMPARE(t.RecNo(), 1);
        t.SetIndexName(QStringLiteral("nazev"));
        t.First();
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("t0.dbf"));
        QVERIFY(t.FindKey({QStringLiteral("t2999.DBF")}));
        QCOMPARE(t.RecNo(), 3000);
        QCOMPARE(errorOf([&] { t.SetIndexName(QStringLiteral("JMENO")); }), QStringLiteral("Index 'JMENO' not found"));
    }

    void findKeyFindsOrStays()
    {
        TTable t;
        openCatalogue(t);
        insert(t, {QStringLiteral("Zeměpis"), QStringLiteral("Evropa"), QStringLiteral("e.dbf")});
        insert(t, {QStringLiteral("Čeština"), QStringLiteral("Vyjmenovaná slova"), QStringLiteral("v.dbf")});
        insert(t, {QStringLiteral("Zeměpis"), QStringLiteral("Asie"), QStringLiteral("a.dbf")});
        t.Close();

        // Key order is the order of the Windows-1250 bytes: "Č" after "Z".
        openCatalogue(t);
        t.First();
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Asie"));
        QVERIFY(t.FindKey({QStringLiteral("Zeměpis"), QStringLiteral("Evropa")}));
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("e.dbf"));
        QVERIFY(!t.FindKey({QStringLiteral("Zeměpis"), QStringLiteral("Afrika")}));
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("e.dbf"));
        QVERIFY(!t.FindKey({QStringLiteral("zeměpis"), QStringLiteral("Asie")})); // exact, letter case too
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("e.dbf"));
        // One value is the whole key, padded.
        QVERIFY(t.FindKey({QStringLiteral("Zeměpis").leftJustified(50, QLatin1Char(' ')) + QStringLiteral("Asie")}));
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("a.dbf"));
        t.Next();
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("e.dbf"));
        t.Next();
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("v.dbf"));
        t.Next();
        QVERIFY(t.Eof());

        // Bookmarks move within the index order too.
        const Bookmark b = t.GetBookmark();
        t.First();
        t.GotoBookmark(b);
        t.Prior();
        QCOMPARE(t.FieldAsString(QStringLiteral("NAZEV")), QStringLiteral("e.dbf"));

        t.SetIndexName(QString());
        QCOMPARE(errorOf([&] { t.FindKey({QStringLiteral("x")}); }), QStringLiteral("No index currently active"));
    }

    void keyChangingPostMovesTheEntry()
    {
        TTable t;
        openCatalogue(t);
        for (int i = 0; i < 500; ++i)
            insert(t, {QStringLiteral("Druh %1").arg(i % 7), QStringLiteral("Jméno %1").arg(i, 3, 10, QLatin1Char('0')),
                       QStringLiteral("f%1.dbf").arg(i)});
        QVERIFY(t.FindKey({QStringLiteral("Druh 3"), QStringLiteral("Jméno 010")}));
        const int recno = t.RecNo();
        t.Edit();
        t.SetFieldAsString(QStringLiteral("DRUH"), QStringLiteral("Aaa"));
        t.SetFieldAsString(QStringLiteral("NAZEV"), QStringLiteral("Přesunuto.dbf"));
        t.Post();
        QCOMPARE(t.RecNo(), recno);
        // The cursor follows the row to its new place: first in key order.
        t.Prior();
        QVERIFY(t.Bof());
        QCOMPARE(t.RecNo(), recno);
        QVERIFY(!t.FindKey({QStringLiteral("Druh 3"), QStringLiteral("Jméno 010")}));
        QVERIFY(t.FindKey({QStringLiteral("Aaa"), QStringLiteral("Jméno 010")}));
        t.SetIndexName(QStringLiteral("NAZEV"));
        QVERIFY(t.FindKey({QStringLiteral("PŘESUNUTO.DBF")}));
        QVERIFY(!t.FindKey({QStringLiteral("F10.DBF")}));
        // A Post that keeps the keys leaves the index alone.
        const QByteArray before = dbftest::readFile(mdxPath());
        t.Edit();
        t.SetFieldAsString(QStringLiteral("AUTOR"), QStringLiteral("Novák"));
        t.Post();
        QCOMPARE(dbftest::readFile(mdxPath()), before);
        QCOMPARE(checkIndex(mdxPath()), QStringList());
        t.SetIndexName(QStringLiteral("DRUHJMENO"));
        int n = 0;
        QString last;
        for (t.First(); !t.Eof(); t.Next()) {
            const QString k = key(current(t));
            QVERIFY(unicodeToCp1250(last) <= unicodeToCp1250(k));
            last = k;
            ++n;
        }
        QCOMPARE(n, 500);
    }

    void deletedRowsAreSkippedInKeyOrder()
    {
        {
            TTable t;
            openCatalogue(t);
            insert(t, {QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("x")});
            insert(t, {QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("y")});
            insert(t, {QStringLiteral("C"), QStringLiteral("3"), QStringLiteral("z")});
        }
        // Another program deletes the row "A" (flag only; its key stays).
        const QString dbfPath = dataDir() + QStringLiteral("/Testy.DBF");
        QByteArray bytes = dbftest::readFile(dbfPath);
        const int headerLength = quint8(bytes[8]) | (quint8(bytes[9]) << 8);
        const int recordLength = quint8(bytes[10]) | (quint8(bytes[11]) << 8);
        bytes[headerLength + recordLength] = '*';
        QVERIFY(dbftest::writeFile(dbfPath, bytes));
        TTable t;
        openCatalogue(t);
        QCOMPARE(t.RecordCount(), 2);
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("B"));
        QVERIFY(!t.FindKey({QStringLiteral("A"), QStringLiteral("2")}));
        t.Last();
        t.Prior();
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("B"));
        t.Prior();
        QVERIFY(t.Bof());
    }

    void unknownKeyExpressionRefusesWrites()
    {
        {
            TTable t;
            openCatalogue(t);
            insert(t, {QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("x")});
        }
        // A tag whose key names a field the table lacks (same length).
        QByteArray mdx = dbftest::readFile(mdxPath());
        const int at = mdx.indexOf("DRUH+JMENO");
        QVERIFY(at > 0);
        mdx.replace(at, 10, "DRUH+JMENA");
        QVERIFY(dbftest::writeFile(mdxPath(), mdx));
        const QByteArray dbf = dbftest::readFile(dataDir() + QStringLiteral("/Testy.DBF"));

        TTable t;
        openCatalogue(t, QStringLiteral("NAZEV"));
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("B"));
        QVERIFY(errorOf([&] { t.Insert(); }).contains(QStringLiteral("DRUHJMENO")));
        QVERIFY(errorOf([&] { t.Edit(); }).contains(QStringLiteral("DRUHJMENO")));
        QCOMPARE(t.state(), TTable::State::Browse);
        t.SetIndexName(QStringLiteral("DRUHJMENO")); // reading still works
        t.First();
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(dbftest::readFile(mdxPath()), mdx);
        QCOMPARE(dbftest::readFile(dataDir() + QStringLiteral("/Testy.DBF")), dbf);
    }

    void missingIndexFileIsAnError()
    {
        QVERIFY(QFile::remove(mdxPath()));
        TTable t;
        QVERIFY(errorOf([&] { openCatalogue(t); }).startsWith(QStringLiteral("Index file")));
        QVERIFY(!t.Active());
    }

    void dataModuleOpensCatalogueAndKinds()
    {
        QVERIFY(QDir(m_dir->path()).rename(QStringLiteral("Data"), QStringLiteral("DATA")));
        QVERIFY(QFile::rename(m_dir->path() + QStringLiteral("/DATA/Testy.DBF"), m_dir->path() + QStringLiteral("/DATA/testy.dbf")));
        createTable(m_dir->path() + QStringLiteral("/DATA/TestD.DBF"), dbfFieldsOf(kindLayout()),
                    {{QStringLiteral("DRUH"), QStringLiteral("DRUH")}});
        TDataModule1 dm(m_dir->path() + QLatin1Char('/'));
        dm.DataModule1Create();
        QVERIFY(!dm.Table4->Active());
        QVERIFY(!dm.Table5->Active());
        dm.Table5->Open();
        dm.Table5->Insert();
        dm.Table5->SetFieldAsString(QStringLiteral("DRUH"), QStringLiteral("Přírodopis"));
        dm.Table5->Post();
        dm.Table5->First();
        QVERIFY(dm.Table5->FindKey({QStringLiteral("Přírodopis")}));
        QCOMPARE(dm.DataSource5->FieldText(QStringLiteral("DRUH")), QStringLiteral("Přírodopis"));
        dm.Table5->Close();
        QCOMPARE(checkIndex(m_dir->path() + QStringLiteral("/DATA/TestD.MDX")), QStringList());

        // A missing kind index is made anew from the table; a missing kind
        // table is reported.
        QVERIFY(QFile::remove(m_dir->path() + QStringLiteral("/DATA/TestD.MDX")));
        dm.DataModule1Create();
        QCOMPARE(checkIndex(m_dir->path() + QStringLiteral("/DATA/TestD.MDX")), QStringList());
        QVERIFY(QFile::remove(m_dir->path() + QStringLiteral("/DATA/TestD.DBF")));
        QVERIFY(errorOf([&] { dm.DataModule1Create(); }).startsWith(QStringLiteral("Table")));
        QVERIFY(!dm.Table4->Active());
    }
};

QTEST_GUILESS_MAIN(TestTableIndex)
#include "tst_tableindex.moc"
