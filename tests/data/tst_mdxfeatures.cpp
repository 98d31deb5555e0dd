// Production indexes as other dBASE programs write them: FOR clauses, empty
// tags, numeric and date keys, unique and descending tags, equal keys newest
// first, a header naming a field twice.  Read, walked, sought and checked
// through the store; kept exactly on writes, or writes refused untouched.
#include "DbfTestUtil.h"
#include "ForeignIndexFixture.h"
#include "MdxTestUtil.h"

#include "data/Dbf.h"
#include "data/TagCheck.h"
#include "data/IndexExpr.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "platform/Errors.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <set>

using namespace vedomec;
using namespace vedomec::data;
namespace ff = foreignfixture;

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EVedomecError& e) {
        return e.message();
    }
    return QString();
}

QList<quint32> walkTable(TTable& t, const QString& tag)
{
    t.SetIndexName(tag);
    QList<quint32> out;
    for (t.First(); !t.Eof(); t.Next())
        out << quint32(t.RecNo());
    return out;
}

QList<quint32> withoutDeleted(QList<quint32> recnos, const QList<ff::Row>& rows)
{
    recnos.removeIf([&](quint32 r) { return rows[int(r) - 1].deleted; });
    return recnos;
}

// Everything the store finds wrong with a table and its index.
QStringList allProblems(const QString& dbfPath, QStringList* notes = nullptr)
{
    const auto dbf = DbfFile::open(dbfPath);
    const auto mdx = MdxFile::open(dbfPath.left(dbfPath.size() - 4) + QStringLiteral(".MDX"), false);
    QStringList problems = mdx->check();
    const TagCheckReport report = checkTagsAgainstTable(*dbf, *mdx);
    problems << report.problems;
    if (notes)
        *notes = report.notes;
    return problems;
}

QByteArray keyBytes(const char* decimal)
{
    QByteArray key(12, '\0');
    if (!mdxkey::encodeNumber(decimal, key.data()))
        return QByteArray("invalid");
    return key;
}

} // namespace

class TestIndexFeatures : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString dbfPath() const { return m_dir->filePath(QStringLiteral("F.DBF")); }
    QString mdxPath() const { return m_dir->filePath(QStringLiteral("F.MDX")); }

    void open(TTable& t)
    {
        t.SetDatabaseName(m_dir->path());
        t.SetTableName(QStringLiteral("f.dbf"));
        t.Open();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // The key forms of docs/mdx-format.md, and their order by value.
    void numericAndDateKeyForms()
    {
        QCOMPARE(keyBytes("1"), QByteArray::fromHex("350510000000000000000000"));
        QCOMPARE(keyBytes("12.5"), QByteArray::fromHex("360d12500000000000000000"));
        QCOMPARE(keyBytes("-7"), QByteArray::fromHex("358570000000000000000000"));
        QCOMPARE(keyBytes("0.05"), QByteArray::fromHex("330550000000000000000000"));
        QCOMPARE(keyBytes("0"), QByteArray::fromHex("340100000000000000000000"));
        QCOMPARE(keyBytes("   "), keyBytes("0"));
        QCOMPARE(keyBytes(" -0012.500 "), keyBytes("-12.5"));
        QCOMPARE(keyBytes("****"), QByteArray("invalid"));
        for (const char* v : {"1", "12.5", "-7", "0.05", "0", "1000", "-0.25", "123456789.12"})
            QCOMPARE(keyBytes(v), mdxtest::numberKey(v));
        QCOMPARE(mdxkey::numberText(keyBytes("-0012.500").constData()), QStringLiteral("-12.5"));
        QCOMPARE(mdxkey::numberText(keyBytes("1000").constData()), QStringLiteral("1000"));
        QCOMPARE(mdxkey::numberText(keyBytes("0.05").constData()), QStringLiteral("0.05"));

        // By value, where the bytes would say otherwise (11 and 20; negatives).
        const QList<QByteArray> ascending{"-100", "-7", "-0.5", "0", "0.05", "1", "2", "10", "11", "12.5", "20", "1000"};
        for (int i = 0; i < ascending.size(); ++i)
            for (int j = 0; j < ascending.size(); ++j) {
                const int c = mdxkey::compare('N', false, keyBytes(ascending[i]).constData(),
                                              keyBytes(ascending[j]).constData(), 12);
                QCOMPARE(c < 0, i < j);
                QCOMPARE(c == 0, i == j);
                QCOMPARE(mdxkey::compare('N', true, keyBytes(ascending[i]).constData(),
                                         keyBytes(ascending[j]).constData(), 12), -c);
            }
        // A zero written with a digit of its own is still zero; bytes that
        // are no number sort first.
        const QByteArray otherZero = QByteArray::fromHex("340500000000000000000000");
        QCOMPARE(mdxkey::compare('N', false, otherZero.constData(), keyBytes("0").constData(), 12), 0);
        const QByteArray junk = QByteArray::fromHex("3405f0000000000000000000");
        QVERIFY(mdxkey::compare('N', false, junk.constData(), keyBytes("-100").constData(), 12) < 0);

        QByteArray date(8, '\0');
        mdxkey::encodeDate(QDate(2000, 1, 1).toJulianDay(), date.data());
        QCOMPARE(date, mdxtest::dateKey(QDate(2000, 1, 1)));
        QCOMPARE(QDate(2000, 1, 1).toJulianDay(), 2451545);
        QCOMPARE(mdxkey::dateText(date.constData()), QStringLiteral("2000-01-01"));
        QVERIFY(mdxkey::compare('D', false, mdxtest::dateKey(QDate(1999, 12, 31)).constData(), date.constData(), 8) < 0);
    }

    // Every header field of the fixture comes through, and the fixture
    // passes every check.
    void tagHeaderFieldsAreRead()
    {
        const QList<mdxtest::Tag> tags = ff::tags();
        ff::write(dbfPath(), ff::rows(), tags);
        const auto mdx = MdxFile::open(mdxPath(), false);
        QCOMPARE(mdx->tagCount(), int(tags.size()));
        for (int t = 0; t < tags.size(); ++t) {
            QCOMPARE(mdx->tagName(t).toLatin1(), tags[t].name);
            QCOMPARE(mdx->tagExpression(t).toLatin1(), tags[t].expression);
            QCOMPARE(mdx->tagForClause(t).toLatin1(), tags[t].forClause);
            QCOMPARE(mdx->keyType(t), tags[t].type);
            QCOMPARE(mdx->tagUnique(t), tags[t].unique);
            QCOMPARE(mdx->tagDescending(t), tags[t].descending);
            QCOMPARE(mdx->entryCount(t), int(tags[t].entries.size()));
        }
        QStringList notes;
        QCOMPARE(allProblems(dbfPath(), &notes), QStringList());
        QCOMPARE(notes, QStringList());

        // The FOR-clause slot lies in the header's second page: a file of
        // one-page blocks that claims a clause is damaged.
        QVERIFY(dbftest::writeFile(mdxPath(), mdxtest::image("FOREIGN", {ff::tagNamed(tags, "NIC")}, 1)));
        QVERIFY(errorOf([&] { MdxFile::open(mdxPath(), false); }).contains(QStringLiteral("FOR clause")));
        mdxtest::Tag plain = ff::tagNamed(tags, "POCET");
        QVERIFY(dbftest::writeFile(mdxPath(), mdxtest::image("FOREIGN", {plain}, 1)));
        QCOMPARE(MdxFile::open(mdxPath(), false)->entryCount(0), int(plain.entries.size()));
    }

    // The cursor walks each tag in its stored order; a tag without keys
    // yields no row, however many the table has.
    void walksFollowTheStoredOrder()
    {
        const QList<ff::Row> rows = ff::rows();
        const QList<mdxtest::Tag> tags = ff::tags();
        ff::write(dbfPath(), rows, tags);
        TTable t;
        open(t);
        QCOMPARE(t.RecordCount(), 6);
        for (const mdxtest::Tag& tag : tags) {
            const QList<quint32> expected = withoutDeleted(ff::recnos(tag), rows);
            QCOMPARE(walkTable(t, QString::fromLatin1(tag.name)), expected);
            QCOMPARE(t.RecordCount(), int(expected.size()));
            QCOMPARE(t.IsEmpty(), expected.isEmpty());
        }
        // Numbers by value, dates by day, the descending tag from the top,
        // equal keys newest first as stored.
        QCOMPARE(walkTable(t, QStringLiteral("POCET")), (QList<quint32>{4, 7, 6, 3, 1, 2}));
        QCOMPARE(walkTable(t, QStringLiteral("DATUM")), (QList<quint32>{4, 6, 2, 3, 7, 1}));
        QCOMPARE(walkTable(t, QStringLiteral("JMENA")), (QList<quint32>{7, 6, 4, 3, 2, 1}));
        QCOMPARE(walkTable(t, QStringLiteral("TEST")), (QList<quint32>{7, 3, 1, 6, 2, 4}));
        QCOMPARE(walkTable(t, QStringLiteral("DRUHY")), (QList<quint32>{2, 1, 4}));

        t.SetIndexName(QStringLiteral("NIC"));
        QVERIFY(t.IsEmpty());
        QCOMPARE(t.RecordCount(), 0);
        t.First();
        QVERIFY(t.Eof());
        QCOMPARE(t.RecNo(), 0);
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QString());
        t.Last();
        QVERIFY(t.Bof());

        t.SetIndexName(QStringLiteral("JMENA"));
        t.Last();
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Ana"));
        t.Prior();
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Bob"));
    }

    void seeksCompareByValue()
    {
        ff::write(dbfPath(), ff::rows(), ff::tags());
        TTable t;
        open(t);
        t.SetIndexName(QStringLiteral("POCET"));
        QVERIFY(t.FindKey({QStringLiteral("20")}));
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Bob"));
        QVERIFY(t.FindKey({QStringLiteral("20.00")}));
        QVERIFY(t.FindKey({QStringLiteral("-0,25")}));
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Gita"));
        QVERIFY(t.FindKey({QStringLiteral("0")}));
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Filip"));
        QVERIFY(!t.FindKey({QStringLiteral("12.5")})); // only a deleted row has it
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Filip"));
        QVERIFY(!t.FindKey({QStringLiteral("7")}));
        QVERIFY(errorOf([&] { t.FindKey({QStringLiteral("dvacet")}); }).contains(QStringLiteral("holds numbers")));

        t.SetIndexName(QStringLiteral("DATUM"));
        for (const QString& d : {QStringLiteral("2001-03-05"), QStringLiteral("5.3.2001"), QStringLiteral("20010305")}) {
            QVERIFY2(t.FindKey({d}), qPrintable(d));
            QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Ana"));
        }
        QVERIFY(errorOf([&] { t.FindKey({QStringLiteral("včera")}); }).contains(QStringLiteral("holds dates")));

        t.SetIndexName(QStringLiteral("JMENA"));
        QVERIFY(t.FindKey({QStringLiteral("Dana")}));
        QCOMPARE(t.RecNo(), 4);
        t.Next();
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Cyril"));

        t.SetIndexName(QStringLiteral("TEST"));
        QVERIFY(t.FindKey({QStringLiteral("A")}));
        QCOMPARE(t.RecNo(), 7); // the first of the run, as stored
        t.SetIndexName(QStringLiteral("DRUHY"));
        QVERIFY(t.FindKey({QStringLiteral("hory")}));
        QCOMPARE(t.RecNo(), 1);
    }

    void checkReportsRealDamageOnly_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("problem"); // empty: none
        QTest::addColumn<QString>("note");    // empty: none
        QTest::newRow("a FOR tag lacks a row its clause admits") << 0 << "record 3 is missing" << "";
        QTest::newRow("a FOR tag holds a row its clause leaves out") << 1 << "leaves it out" << "";
        QTest::newRow("numeric keys out of order") << 2 << "keys out of order" << "";
        QTest::newRow("a numeric key gone stale") << 3 << "stale key '11'" << "";
        QTest::newRow("a unique key held twice") << 4 << "held twice" << "";
        QTest::newRow("a unique tag without a key of the rows") << 5 << "" << "no entry holds the key of record 4";
        QTest::newRow("a FOR clause the store cannot evaluate") << 6 << "" << "not judged";
        QTest::newRow("a key expression the store cannot evaluate") << 7 << "" << "not compared";
        QTest::newRow("a date key gone stale") << 8 << "stale key '2000-01-01'" << "";
    }

    void checkReportsRealDamageOnly()
    {
        QFETCH(int, kind);
        QFETCH(QString, problem);
        QFETCH(QString, note);
        QList<ff::Row> rows = ff::rows();
        QList<mdxtest::Tag> tags = ff::tags(rows);
        const auto tagAt = [&](const QByteArray& name) -> mdxtest::Tag& {
            for (mdxtest::Tag& t : tags)
                if (t.name == name)
                    return t;
            return tags.front();
        };
        switch (kind) {
        case 0: tagAt("TYPA").entries.removeIf([](const mdxtest::Entry& e) { return e.recno == 3; }); break;
        case 1: tagAt("TYPA").entries.insert(1, {"Bob     ", 2}); break;
        case 2: std::swap(tagAt("POCET").entries[0], tagAt("POCET").entries[1]); break;
        case 3: rows[0].pocet = "19"; break; // the index still says 11
        case 4: tagAt("DRUHY").entries.insert(1, {"AUTA      ", 7}); break;
        case 5: tagAt("DRUHY").entries.removeLast(); break;
        case 6: tagAt("NIC").forClause = "SUBSTR(JMENO, 1, 1) = \"X\""; break;
        case 7: tagAt("TYPA").expression = "LEFT(JMENO, 8)"; break;
        case 8: rows[2].datum = "20000102"; break;
        }
        ff::write(dbfPath(), rows, tags);
        QStringList notes;
        const QStringList problems = allProblems(dbfPath(), &notes);
        if (problem.isEmpty())
            QCOMPARE(problems, QStringList());
        else
            QVERIFY2(problems.size() == 1 && problems.front().contains(problem), qPrintable(problems.join('\n')));
        if (note.isEmpty())
            QCOMPARE(notes, QStringList());
        else
            QVERIFY2(notes.size() == 1 && notes.front().contains(note), qPrintable(notes.join('\n')));
    }

    // Inserts and key-changing posts keep each feature exactly: the tag
    // walks as a reindex of the rows would give it and every check passes.
    void featuresAreKeptOnWrites_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::newRow("FOR clause with DELETED()") << QByteArray("ZIVE");
        QTest::newRow("FOR clause on a field") << QByteArray("TYPA");
        QTest::newRow("FOR clause that admits nothing") << QByteArray("NIC");
        QTest::newRow("numeric key") << QByteArray("POCET");
        QTest::newRow("unique tag") << QByteArray("DRUHY");
        QTest::newRow("descending tag") << QByteArray("JMENA");
        QTest::newRow("equal keys newest first") << QByteArray("TEST");
    }

    void featuresAreKeptOnWrites()
    {
        QFETCH(QByteArray, tag);
        QList<ff::Row> rows = ff::rows();
        QList<mdxtest::Tag> all = ff::tags(rows);
        const mdxtest::Tag original = ff::tagNamed(all, tag);
        ff::write(dbfPath(), rows, {original});

        QRandomGenerator rng(uint(qHash(tag)));
        static const char* const kinds[] = {"Auta", "Hory", "hory", "Lesy", "Zvirata", "AUTA"};
        static const char* const names[] = {"Ana", "Bob", "Cyril", "Dana", "Eva", "Filip", "Gita", "Hana"};
        const auto randomRow = [&]() {
            ff::Row r;
            r.druh = kinds[rng.bounded(6)];
            r.jmeno = names[rng.bounded(8)];
            r.pocet = QByteArray::number(int(rng.bounded(1999)) - 999) + (rng.bounded(2) ? ".5" : "");
            r.test = QByteArray(1, "ABC"[rng.bounded(3)]);
            return r;
        };
        const auto setRow = [](TTable& t, const ff::Row& r) {
            t.SetFieldAsString(QStringLiteral("DRUH"), QString::fromLatin1(r.druh));
            t.SetFieldAsString(QStringLiteral("JMENO"), QString::fromLatin1(r.jmeno));
            t.SetFieldAsString(QStringLiteral("POCET"), QString::fromLatin1(r.pocet));
            t.SetFieldAsString(QStringLiteral("TEST"), QString::fromLatin1(r.test));
        };
        {
            TTable t;
            open(t);
            t.SetIndexName(QString::fromLatin1(tag));
            for (int i = 0; i < 150; ++i) {
                const ff::Row r = randomRow();
                t.Insert();
                setRow(t, r);
                t.Post();
                rows << r;
            }
            // Key-changing posts, found by physical order.
            t.SetIndexName(QString());
            for (int i = 0; i < 150; ++i) {
                const int recno = 1 + int(rng.bounded(quint32(rows.size())));
                if (rows[recno - 1].deleted)
                    continue;
                t.First();
                while (t.RecNo() != recno)
                    t.Next();
                ff::Row r = randomRow();
                r.datum = rows[recno - 1].datum;
                t.Edit();
                setRow(t, r);
                t.Post();
                rows[recno - 1] = r;
            }
        }
        QStringList notes;
        QCOMPARE(allProblems(dbfPath(), &notes), QStringList());
        QCOMPARE(notes, QStringList());

        // The stored walk against the rows: a fresh fixture of the same tag
        // over the rows as they now are gives the order (a unique tag may
        // keep another row of a key than a reindex would, so keys count).
        const mdxtest::Tag expected = ff::tagNamed(ff::tags(rows), tag);
        const auto mdx = MdxFile::open(mdxPath(), false);
        QList<quint32> walked;
        QList<QByteArray> keys;
        for (auto p = mdx->first(0); p.valid(); p = mdx->next(0, p)) {
            walked << mdx->recno(0, p);
            keys << mdx->key(0, p);
        }
        if (original.unique) {
            QList<QByteArray> expectedKeys;
            for (const mdxtest::Entry& e : expected.entries)
                expectedKeys << e.key;
            QCOMPARE(keys, expectedKeys);
        } else if (tag == "TEST") {
            // Equal keys of the store's own inserts follow record numbers;
            // the rows the other program stored newest first stay so.
            QList<QByteArray> expectedKeys;
            for (const mdxtest::Entry& e : expected.entries)
                expectedKeys << e.key;
            QCOMPARE(keys, expectedKeys);
        } else {
            QCOMPARE(walked, ff::recnos(expected));
        }
        TTable t;
        open(t);
        QCOMPARE(walkTable(t, QString::fromLatin1(tag)), withoutDeleted(walked, rows));
    }

    void refusedWritesChangeNothing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FOR clause it cannot evaluate") << 0 << "FOR clause 'SUBSTR(JMENO,1,1) = \"A\"' is not supported";
        QTest::newRow("key expression it cannot evaluate") << 1 << "Index expression 'LEFT(JMENO,3)' is not supported";
        QTest::newRow("date key") << 2 << "date keys are not kept up to date";
        QTest::newRow("numeric key of another length") << 3 << "numeric keys of 10 bytes";
        QTest::newRow("key type other than the expression's") << 4 << "the expression gives C keys, the tag holds N keys";
        QTest::newRow("a field named twice") << 5 << "names the field 'JMENO' twice";
    }

    void refusedWritesChangeNothing()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        const QList<ff::Row> rows = ff::rows();
        QList<mdxtest::Tag> tags{ff::tagNamed(ff::tags(rows), "ZIVE")};
        mdxtest::Tag extra = ff::tag("JINY", "JMENO", {}, 'C', 8);
        switch (kind) {
        case 0: extra.forClause = "SUBSTR(JMENO,1,1) = \"A\""; break;
        case 1: extra.expression = "LEFT(JMENO,3)"; break;
        case 2: extra = ff::tagNamed(ff::tags(rows), "DATUM"); break;
        case 3: extra = ff::tag("JINY", "POCET", {}, 'N', 10); break;
        case 4: extra = ff::tag("JINY", "JMENO", {}, 'N', 12); break;
        }
        if (kind != 5)
            tags << extra;
        ff::write(dbfPath(), rows, tags);
        if (kind == 5) {
            // A second JMENO in place of TEST (same width): other readers take it.
            QList<dbftest::RawField> fields = ff::fields();
            fields[4] = {"JMENO", 'C', 1, 0};
            QVERIFY(dbftest::writeFile(dbfPath(), ff::dbfImage(rows, fields)));
        }
        const QByteArray dbfBefore = dbftest::readFile(dbfPath());
        const QByteArray mdxBefore = dbftest::readFile(mdxPath());

        TTable t;
        open(t);
        QCOMPARE(walkTable(t, QStringLiteral("ZIVE")), withoutDeleted(ff::recnos(tags.front()), rows));
        t.First();
        QCOMPARE(t.FieldAsString(QStringLiteral("JMENO")), QStringLiteral("Bob")); // the first JMENO
        QString insert = errorOf([&] { t.Insert(); });
        QVERIFY2(insert.contains(reason), qPrintable(insert));
        t.First();
        QString edit = errorOf([&] { t.Edit(); });
        QVERIFY2(edit.contains(reason), qPrintable(edit));
        QCOMPARE(t.state(), TTable::State::Browse);
        t.Close();
        QCOMPARE(dbftest::readFile(dbfPath()), dbfBefore);
        QCOMPARE(dbftest::readFile(mdxPath()), mdxBefore);
    }

    // The store's own writer puts every feature where a reader looks.
    void createdIndexCarriesTheFeatures()
    {
        const QList<ff::Row> rows = ff::rows();
        QVERIFY(dbftest::writeFile(dbfPath(), ff::dbfImage(rows)));
        const auto dbf = DbfFile::open(dbfPath());
        std::vector<const char*> records;
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r)
            records.push_back(dbf->record(r));
        QFile::remove(mdxPath());
        MdxFile::create(mdxPath(), QStringLiteral("F"),
                        {{QStringLiteral("ZIVE"), QStringLiteral("DRUH+JMENO"), QStringLiteral(".NOT. DELETED()")},
                         {QStringLiteral("POCET"), QStringLiteral("POCET")},
                         {QStringLiteral("DRUHY"), QStringLiteral("UPPER(DRUH)"), QString(), true},
                         {QStringLiteral("JMENA"), QStringLiteral("JMENO"), QString(), false, true}},
                        dbf->mdxFields(), records);
        const QList<mdxtest::Tag> fixture = ff::tags(rows);
        const auto mdx = MdxFile::open(mdxPath(), false);
        const QList<QByteArray> names{"ZIVE", "POCET", "DRUHY", "JMENA"};
        for (int t = 0; t < names.size(); ++t) {
            const mdxtest::Tag& want = ff::tagNamed(fixture, names[t]);
            QList<quint32> walked;
            for (auto p = mdx->first(t); p.valid(); p = mdx->next(t, p))
                walked << mdx->recno(t, p);
            QCOMPARE(walked, ff::recnos(want));
            QCOMPARE(mdx->tagUnique(t), want.unique);
            QCOMPARE(mdx->tagDescending(t), want.descending);
        }
        QCOMPARE(allProblems(dbfPath()), QStringList());

        const QByteArray bytes = dbftest::readFile(mdxPath());
        const auto header = [&](int t) { return qsizetype(dbftest::get32(bytes, 544 + t * 32)) * 512; };
        QCOMPARE(bytes[header(0) + 245], char(1));
        QCOMPARE(bytes.mid(header(0) + 762, 16), QByteArray(".NOT. DELETED()\0", 16));
        QCOMPARE(bytes[header(1) + 9], 'N');
        QCOMPARE(bytes[544 + 32 + 20], 'N');
        QCOMPARE(int(uchar(bytes[header(2) + 8]) & 0x40), 0x40);
        QCOMPARE(bytes[header(2) + 23], char(1));
        QCOMPARE(int(uchar(bytes[header(3) + 8]) & 0x08), 0x08);
        QCOMPARE(bytes[header(3) + 245], char(0));
    }

    // Expressions of the common forms, evaluated as dBASE does.
    void forClausesEvaluate()
    {
        const std::vector<MdxFieldRef> fields{{QStringLiteral("DRUH"), 'C', 1, 10}, {QStringLiteral("JMENO"), 'C', 11, 8},
                                              {QStringLiteral("POCET"), 'N', 19, 7}, {QStringLiteral("DATUM"), 'D', 26, 8},
                                              {QStringLiteral("HOTOVO"), 'L', 34, 1}};
        const QList<dbftest::RawField> raw{{"DRUH", 'C', 10, 0}, {"JMENO", 'C', 8, 0}, {"POCET", 'N', 7, 2},
                                           {"DATUM", 'D', 8, 0}, {"HOTOVO", 'L', 1, 0}};
        const QByteArray live = dbftest::record(raw, {"Hory", "Ana", "11.5", "20010305", "T"});
        const QByteArray gone = dbftest::record(raw, {"  ", "", "", "", "F"}, true);
        const auto holds = [&](const char* clause, const QByteArray& rec) {
            return MdxForClause::parse(QString::fromUtf8(clause), fields).holds(rec.constData());
        };
        struct Case {
            const char* clause;
            bool live, gone;
        };
        const Case cases[] = {
            {".T.", true, true},
            {".f.", false, false},
            {".NOT. DELETED()", true, false},
            {"!deleted()", true, false},
            {"DRUH = \"Ho\"", true, false},          // inexact: begins with
            {"DRUH == \"Ho\"", false, false},
            {"DRUH <> 'Hory'", false, true},
            {"DRUH # [Hory]", false, true},
            {"UPPER(DRUH) = \"HORY\"", true, false},
            {"TRIM(JMENO) + \"!\" = \"Ana!\"", true, false},
            {"\"or\" $ DRUH", true, false},
            {"POCET > 11 .AND. POCET < 12", true, false},
            {"POCET >= 11.5 .AND. POCET <= 11.5", true, false},
            {"EMPTY(DRUH) .OR. EMPTY(POCET)", false, true},
            {"EMPTY(DATUM)", false, true},
            {"DTOS(DATUM) >= \"2001\"", true, false},
            {"HOTOVO", true, false},
            {".NOT. (HOTOVO .OR. DELETED())", false, false},
            {"VAL(\"12\") > POCET", true, true},
        };
        for (const Case& c : cases) {
            QVERIFY2(holds(c.clause, live) == c.live, c.clause);
            QVERIFY2(holds(c.clause, gone) == c.gone, c.clause);
        }
        for (const char* bad : {"SUBSTR(DRUH,1,1) = \"H\"", "DRUH = 1", "DRUH", "POCET .AND. .T.", "NEZNAME = 1",
                                "(DRUH = \"A\"", "DRUH = \"A", ".X.", "DRUH > .T.", ""}) {
            const QString e = errorOf([&] { MdxForClause::parse(QString::fromLatin1(bad), fields); });
            QCOMPARE(e, QStringLiteral("FOR clause '%1' is not supported").arg(QLatin1String(bad)));
        }
    }
};

QTEST_GUILESS_MAIN(TestIndexFeatures)
#include "tst_mdxfeatures.moc"
