// A damaged production index is read but never written into, and is made
// anew from its table: by `reindex` and, for the catalogue and the kind
// table, by the program at start-up.  Files are read back from disk.
#include "DbfTestUtil.h"
#include "StoreFaults.h"
#include "TestData.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Reindex.h"
#include "data/Table.h"
#include "data/TagCheck.h"
#include "platform/Errors.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using namespace vedomec::data;
using namespace vedomec::testdata;

namespace {

quint32 get32(const QByteArray& b, int at)
{
    return dbftest::get32(b, at);
}

// Page of the header block of the index's first tag.
int firstTagHeader(const QByteArray& mdx)
{
    return int(get32(mdx, 544)) * 512;
}

QStringList problemsOf(const QString& dbfPath, const QString& mdxPath)
{
    const auto dbf = DbfFile::open(dbfPath);
    const auto mdx = MdxFile::open(mdxPath, false);
    return mdx->check() << checkTagsAgainstTable(*dbf, *mdx).problems << quickIndexCheck(*dbf, *mdx);
}

std::vector<MdxTagSpec> richTags()
{
    return {{QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")},
            {QStringLiteral("NAZEV"), QStringLiteral("UPPER(NAZEV)"), QString(), true},
            {QStringLiteral("JMENO"), QStringLiteral("JMENO"), QString(), false, true},
            {QStringLiteral("TYPA"), QStringLiteral("JMENO"), QStringLiteral("TEST = \"A\" .AND. .NOT. DELETED()")}};
}

} // namespace

class TestIndexRepair : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    QString dbf() const { return QDir(m_folder).filePath("Testy.DBF"); }
    QString mdx() const { return QDir(m_folder).filePath("Testy.MDX"); }

    // A catalogue of `rows` rows with the given tags.
    void makeCatalogue(const std::vector<MdxTagSpec>& tags, int rows)
    {
        m_folder = m_dir.filePath(QStringLiteral("t%1").arg(++m_made));
        QVERIFY(QDir().mkpath(m_folder));
        createTable(dbf(), dbfFieldsOf(catalogueLayout()), tags);
        TTable t;
        t.SetDatabaseName(m_folder);
        t.SetTableName("Testy.DBF");
        t.SetFieldDefs(catalogueLayout());
        t.Open();
        for (int i = 1; i <= rows; ++i) {
            t.Insert();
            t.SetFieldAsString("NAZEV", QStringLiteral("test%1.dbf").arg(i));
            t.SetFieldAsString("DRUH", i % 3 ? QStringLiteral("Zeměpis") : QStringLiteral("Čeština"));
            t.SetFieldAsString("JMENO", QStringLiteral("Test %1").arg(i, 3, 10, QLatin1Char('0')));
            t.SetFieldAsString("TEST", i % 2 ? QStringLiteral("A") : QStringLiteral("B"));
            t.Post();
        }
        t.Close();
    }
    int m_made = 0;

    // A row the index does not know, as a program that left the index
    // behind writes it.
    void appendRowBehindTheIndex()
    {
        auto table = DbfFile::open(dbf());
        QByteArray rec = table->blankRecord();
        DbfFile::writeField(table->fields()[size_t(table->fieldIndex("DRUH"))], rec.data(), QStringLiteral("Zeměpis"));
        DbfFile::writeField(table->fields()[size_t(table->fieldIndex("JMENO"))], rec.data(), QStringLiteral("Nový"));
        table->appendRecord(rec.constData());
    }

    void patchIndex(const std::function<void(QByteArray&)>& patch)
    {
        QByteArray bytes = bytesOf(mdx());
        patch(bytes);
        QVERIFY(dbftest::writeFile(mdx(), bytes));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The contradictions the opening finds: reading goes on, every write
    // fails before anything changes, naming the index file.
    void damagedIndexIsNotWrittenInto_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QString>("says");
        QTest::newRow("rows missing from the index") << 0 << "holds 30 keys for 31 rows";
        QTest::newRow("key length against the expression") << 1 << "its expression DRUH gives 50";
        QTest::newRow("page count beyond the file") << 2 << "the header counts";
        QTest::newRow("no tags in an announced index") << 3 << "holds no tags";
    }
    void damagedIndexIsNotWrittenInto()
    {
        QFETCH(int, damage);
        QFETCH(QString, says);
        makeCatalogue(catalogueTags(), 30);
        switch (damage) {
        case 0: appendRowBehindTheIndex(); break;
        case 1:
            patchIndex([](QByteArray& b) {
                const int th = firstTagHeader(b);
                std::memcpy(b.data() + th + 24, "DRUH\0", 5);
            });
            break;
        case 2: patchIndex([](QByteArray& b) { dbftest::put32(b, 32, quint32(b.size() / 512 + 8)); }); break;
        case 3: patchIndex([](QByteArray& b) { dbftest::put16(b, 28, 0); }); break;
        }
        const QMap<QString, QByteArray> before = folderBytes(m_folder);

        TTable t;
        t.SetDatabaseName(m_folder);
        t.SetTableName("Testy.DBF");
        t.SetFieldDefs(catalogueLayout());
        t.Open();
        QVERIFY2(t.IndexDamage().contains(says), qPrintable(t.IndexDamage()));
        QCOMPARE(t.FieldAsString("NAZEV").isEmpty(), false); // still read
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                if (attempt == 0) {
                    t.Insert();
                    t.SetFieldAsString("DRUH", "Dějepis");
                    t.Post();
                } else {
                    t.First();
                    t.Edit();
                }
                QFAIL("a damaged index was written into");
            } catch (const EDatabaseError& e) {
                QVERIFY2(e.message().contains(mdx()) && e.message().contains(says), qPrintable(e.message()));
            }
            t.Cancel();
        }
        t.Close();
        QCOMPARE(folderBytes(m_folder), before);
    }

    // The index is made anew from the table with the tags as they were (FOR
    // clause, unique, descending); the old file stays beside it, a second
    // rebuild replaces nothing, and the table is not touched.
    void reindexKeepsTagsAndTheOldFile()
    {
        makeCatalogue(richTags(), 40);
        appendRowBehindTheIndex();
        QVERIFY(!problemsOf(dbf(), mdx()).isEmpty());
        const QByteArray table = bytesOf(dbf());
        const QByteArray oldIndex = bytesOf(mdx());

        // A program that has the table open meanwhile reads the new index.
        TTable reader;
        reader.SetDatabaseName(m_folder);
        reader.SetTableName("Testy.DBF");
        reader.SetFieldDefs(catalogueLayout());
        reader.SetIndexName("JMENO");
        reader.Open();
        QVERIFY(!reader.FindKey({"Nový"}));

        QCOMPARE(rebuildProductionIndex(dbf()), mdx() + ".old");
        QCOMPARE(bytesOf(dbf()), table);
        QCOMPARE(bytesOf(mdx() + ".old"), oldIndex);
        QCOMPARE(problemsOf(dbf(), mdx()), QStringList());
        const std::vector<MdxTagSpec> specs = MdxFile::readTagSpecs(mdx());
        QCOMPARE(specs.size(), richTags().size());
        for (size_t i = 0; i < specs.size(); ++i) {
            QCOMPARE(specs[i].name, richTags()[i].name);
            QCOMPARE(specs[i].expression, richTags()[i].expression);
            QCOMPARE(specs[i].forClause, richTags()[i].forClause);
            QCOMPARE(specs[i].unique, richTags()[i].unique);
            QCOMPARE(specs[i].descending, richTags()[i].descending);
        }
        QVERIFY(reader.FindKey({"Nový"}));
        reader.First();
        QCOMPARE(reader.FieldAsString("JMENO"), QStringLiteral("Test 040")); // descending
        reader.Close();

        const QByteArray rebuilt = bytesOf(mdx());
        QCOMPARE(rebuildProductionIndex(dbf()), mdx() + ".old2");
        QCOMPARE(bytesOf(mdx() + ".old"), oldIndex);
        QCOMPARE(bytesOf(mdx() + ".old2"), rebuilt);
        QCOMPARE(problemsOf(dbf(), mdx()), QStringList());
    }

    // A tree that cannot be read is rebuilt from its tag headers; tags that
    // cannot be read either need to be given, or nothing changes.
    void reindexOfAnUnreadableIndex()
    {
        makeCatalogue(catalogueTags(), 40);
        patchIndex([](QByteArray& b) {
            const int root = int(get32(b, firstTagHeader(b))) * 512;
            dbftest::put32(b, root, 5000); // more keys than a block holds
        });
        QVERIFY_THROWS_EXCEPTION(EIndexDamaged, MdxFile::open(mdx(), false));
        rebuildProductionIndex(dbf());
        QCOMPARE(problemsOf(dbf(), mdx()), QStringList());

        patchIndex([](QByteArray& b) { dbftest::put32(b, 544, 0); }); // the tag's header is nowhere
        const QMap<QString, QByteArray> before = folderBytes(m_folder);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, rebuildProductionIndex(dbf()));
        QCOMPARE(folderBytes(m_folder), before);
        rebuildProductionIndex(dbf(), catalogueTags());
        QCOMPARE(problemsOf(dbf(), mdx()), QStringList());
        QCOMPARE(MdxFile::readTagSpecs(mdx()).front().expression, QStringLiteral("DRUH+JMENO"));
    }

    // The program finds its catalogue's index damaged at start-up, rebuilds
    // it beside the old one and goes on with the catalogue as it was.
    void startUpRebuildsTheCatalogueIndex_data()
    {
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("a row missing from the index") << false;
        QTest::newRow("an index that cannot be read") << true;
    }
    void startUpRebuildsTheCatalogueIndex()
    {
        QFETCH(bool, unreadable);
        AppFolder app;
        for (int i = 1; i <= 12; ++i)
            app.addCatalogueRow({QStringLiteral("t%1.dbf").arg(i), QStringLiteral("Druh %1").arg(i % 4),
                                 QStringLiteral("Test %1").arg(i), "A", "", "", ""});
        m_folder = app.path() + "Data";
        if (unreadable)
            patchIndex([](QByteArray& b) { b.truncate(3 * 512); });
        else
            appendRowBehindTheIndex();
        const QByteArray table = bytesOf(dbf());
        const QByteArray oldIndex = bytesOf(mdx());

        TDataModule1 dm(app.path());
        dm.DataModule1Create();
        QCOMPARE(bytesOf(dbf()), table);
        QCOMPARE(bytesOf(mdx() + ".old"), oldIndex);
        QCOMPARE(problemsOf(dbf(), mdx()), QStringList());
        QVERIFY(!QFile::exists(QDir(m_folder).filePath("TestD.MDX.old")));
        dm.Table4->Open();
        QCOMPARE(dm.Table4->RecordCount(), unreadable ? 12 : 13);
        QVERIFY(dm.Table4->FindKey({"Druh 1", "Test 5"}));
        dm.Table4->Close();
    }
};

QTEST_GUILESS_MAIN(TestIndexRepair)
#include "tst_indexrepair.moc"
