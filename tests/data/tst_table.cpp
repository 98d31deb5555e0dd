// The table store over real files: layouts, text and numbers, scans,
// writes as they land on disk, bookmarks, damaged files, data sources and
// the data module.
#include "DbfTestUtil.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Table.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace vedomec;
using namespace vedomec::data;
using dbftest::RawField;

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

QStringList scan(TTable& t, const QString& field)
{
    QStringList out;
    t.First();
    while (!t.Eof()) {
        out << t.FieldAsString(field);
        t.Next();
    }
    return out;
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString dir() const { return m_dir->path(); }
    QString file(const QString& name) const { return m_dir->path() + QLatin1Char('/') + name; }

    // A question table of the given layout with `rows` rows.
    void makeQuestions(const QString& name, const QList<FieldDef>& layout, int rows)
    {
        DbfFile::create(file(name), dbfFieldsOf(layout), false);
        TTable t;
        t.SetDatabaseName(dir());
        t.SetTableName(name);
        t.Open();
        for (int i = 0; i < rows; ++i) {
            t.Insert();
            t.SetFieldAsString(QStringLiteral("OTAZKA"), QStringLiteral("Otázka %1").arg(i + 1));
            t.SetFieldAsString(QStringLiteral("CAS2"), QStringLiteral("30"));
            t.Post();
        }
    }

    void openTable(TTable& t, const QString& name, const QList<FieldDef>& layout = {})
    {
        t.SetDatabaseName(dir());
        t.SetTableName(name);
        t.SetFieldDefs(layout);
        t.Open();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void layoutsOpenTheirOwnFiles()
    {
        makeQuestions(QStringLiteral("a.dbf"), layoutA(), 2);
        makeQuestions(QStringLiteral("b.dbf"), layoutB(), 2);
        makeQuestions(QStringLiteral("c.dbf"), layoutC(), 2);
        struct Case { QString file; QList<FieldDef> layout; QString error; };
        const QList<Case> cases = {
            {QStringLiteral("a.dbf"), layoutA(), QString()},
            {QStringLiteral("b.dbf"), layoutB(), QString()},
            {QStringLiteral("c.dbf"), layoutC(), QString()},
            {QStringLiteral("a.dbf"), identificationLayout(), QString()},
            {QStringLiteral("b.dbf"), identificationLayout(), QString()},
            // A type A file lacks ODPOVEDANO: it cannot pass for B or C.
            {QStringLiteral("a.dbf"), layoutB(), QStringLiteral("Field 'ODPOVEDANO' not found")},
            {QStringLiteral("a.dbf"), layoutC(), QStringLiteral("Field 'ODPOVEDANO' not found")},
            {QStringLiteral("b.dbf"), layoutA(), QStringLiteral("Field 'ODPOVEDA' not found")},
            // SPRAVNE 3 wide is B, never C (and the other way round).
            {QStringLiteral("b.dbf"), layoutC(), QStringLiteral("Size mismatch for field 'SPRAVNE', expecting: 254 actual: 3")},
            {QStringLiteral("c.dbf"), layoutB(), QStringLiteral("Size mismatch for field 'SPRAVNE', expecting: 3 actual: 254")},
            {QStringLiteral("a.dbf"), catalogueLayout(), QStringLiteral("Size mismatch for field 'NAZEV', expecting: 50 actual: 100")},
        };
        for (const Case& c : cases) {
            TTable t;
            const QString err = errorOf([&] { openTable(t, c.file, c.layout); });
            QCOMPARE(err, c.error);
            QCOMPARE(t.Active(), c.error.isEmpty());
            if (t.Active()) {
                QCOMPARE(t.RecordCount(), 2);
                QCOMPARE(t.FieldAsString(QStringLiteral("CAS2")), QStringLiteral("30"));
                QCOMPARE(t.FieldAsString(QStringLiteral("CAS1")), QString());
            }
        }
    }

    void typeMismatchNamesTheDeclaredField()
    {
        const QList<RawField> fields = {{"DRUH", 'N', 5}, {"CAS1", 'C', 3}, {"CAS2", 'N', 8, 2}, {"CAS3", 'D', 8}};
        QVERIFY(dbftest::writeFile(file(QStringLiteral("t.dbf")), dbftest::image(fields, {})));
        struct Case { QList<FieldDef> layout; QString error; };
        const QList<Case> cases = {
            {{{QStringLiteral("Druh"), FieldKind::Text, 5}}, QStringLiteral("Type mismatch for field 'Druh', expecting: String actual: SmallInt")},
            {{{QStringLiteral("cas1"), FieldKind::Number, 0}}, QStringLiteral("Type mismatch for field 'cas1', expecting: SmallInt actual: String")},
            {{{QStringLiteral("CAS2"), FieldKind::Number, 0}}, QStringLiteral("Type mismatch for field 'CAS2', expecting: SmallInt actual: Float")},
            {{{QStringLiteral("CAS3"), FieldKind::Number, 0}}, QStringLiteral("Type mismatch for field 'CAS3', expecting: SmallInt actual: Date")},
            {{{QStringLiteral("Jmeno"), FieldKind::Text, 5}}, QStringLiteral("Field 'Jmeno' not found")},
            {{{QStringLiteral("cAs1"), FieldKind::Text, 3}, {QStringLiteral("druh"), FieldKind::Number, 0}}, QString()},
        };
        for (const Case& c : cases) {
            TTable t;
            QCOMPARE(errorOf([&] { openTable(t, QStringLiteral("t.dbf"), c.layout); }), c.error);
        }
        // Undeclared fields stay out of reach.
        TTable t;
        openTable(t, QStringLiteral("t.dbf"), {{QStringLiteral("DRUH"), FieldKind::Number, 0}});
        QCOMPARE(errorOf([&] { t.FieldAsString(QStringLiteral("CAS1")); }), QStringLiteral("Field 'CAS1' not found"));
        QCOMPARE(t.FieldAsString(QStringLiteral("druh")), QString());
    }

    void czechTextRoundTripsThroughWindows1250()
    {
        DbfFile::create(file(QStringLiteral("k.dbf")), {{QStringLiteral("DRUH"), 'C', 20}, {QStringLiteral("X"), 'C', 4}}, false);
        const QString czech = QStringLiteral("Příliš žluťoučký kůň");
        {
            TTable t;
            openTable(t, QStringLiteral("k.dbf"));
            t.Insert();
            t.SetFieldAsString(QStringLiteral("DRUH"), czech);
            // Decomposed input is composed first: one byte per letter.
            t.SetFieldAsString(QStringLiteral("X"), QStringLiteral("c\u030Ce\u030C\u4E2D"));
            t.Post();
            t.Insert();
            t.SetFieldAsString(QStringLiteral("DRUH"), QStringLiteral("Úpěl ďábelské ódy a ještě mnohem víc"));
            t.SetFieldAsString(QStringLiteral("X"), QStringLiteral("  a  "));
            t.Post();
        }
        const QByteArray disk = dbftest::readFile(file(QStringLiteral("k.dbf")));
        const int header = 32 + 2 * 32 + 1;
        QCOMPARE(disk.mid(header, 25), QByteArray(" ") + unicodeToCp1250(czech) + QByteArray("\xE8\xEC? "));
        QCOMPARE(quint8(disk.at(header + 2)), quint8(0xF8)); // ř
        QCOMPARE(disk.mid(header + 25 + 1, 20), unicodeToCp1250(QStringLiteral("Úpěl ďábelské ódy a ")));
        QCOMPARE(quint8(disk.at(29)), quint8(0xC8));

        TTable t;
        openTable(t, QStringLiteral("K.DBF"));
        QCOMPARE(scan(t, QStringLiteral("druh")), QStringList({czech, QStringLiteral("Úpěl ďábelské ódy a")}));
        QCOMPARE(scan(t, QStringLiteral("X")), QStringList({QStringLiteral("čě?"), QStringLiteral("  a")}));
    }

    void numbersReadAndWrite()
    {
        const QList<RawField> fields = {{"A", 'N', 6}, {"B", 'F', 3}, {"C", 'N', 2}};
        QList<QByteArray> rows;
        rows << dbftest::record(fields, {"-123", "7", ""}) << dbftest::record(fields, {"32767", "  ", "0"})
             << dbftest::record(fields, {"***", "1.", "9"});
        QVERIFY(dbftest::writeFile(file(QStringLiteral("n.dbf")), dbftest::image(fields, rows, 0x04)));
        TTable t;
        const QList<FieldDef> layout = {{QStringLiteral("A"), FieldKind::Number, 0},
                                        {QStringLiteral("B"), FieldKind::Number, 0},
                                        {QStringLiteral("C"), FieldKind::Number, 0}};
        openTable(t, QStringLiteral("n.dbf"), layout);
        QCOMPARE(scan(t, QStringLiteral("A")), QStringList({"-123", "32767", ""}));
        QCOMPARE(scan(t, QStringLiteral("B")), QStringList({"7", "", "1"}));
        QCOMPARE(scan(t, QStringLiteral("C")), QStringList({"", "0", "9"}));

        t.First();
        t.Edit();
        t.SetFieldAsString(QStringLiteral("A"), QStringLiteral("42"));
        t.SetFieldAsString(QStringLiteral("B"), QString());
        t.SetFieldAsString(QStringLiteral("C"), QStringLiteral("-5"));
        QCOMPARE(errorOf([&] { t.SetFieldAsString(QStringLiteral("A"), QStringLiteral("4x")); }),
                 QStringLiteral("'4x' is not a valid integer value"));
        QVERIFY(!errorOf([&] { t.SetFieldAsString(QStringLiteral("A"), QStringLiteral("40000")); }).isEmpty());
        QVERIFY(!errorOf([&] { t.SetFieldAsString(QStringLiteral("C"), QStringLiteral("100")); }).isEmpty());
        t.Post();
        const QByteArray disk = dbftest::readFile(file(QStringLiteral("n.dbf")));
        QCOMPARE(disk.mid(32 + 3 * 32 + 1, 12), QByteArray("     42   -5"));
    }

    void emptyTableReadsEmpty()
    {
        DbfFile::create(file(QStringLiteral("e.dbf")), dbfFieldsOf(layoutC()), false);
        TTable t;
        openTable(t, QStringLiteral("e.dbf"), layoutC());
        QVERIFY(t.IsEmpty());
        QVERIFY(t.Eof());
        QCOMPARE(t.RecordCount(), 0);
        QCOMPARE(t.FieldAsString(QStringLiteral("OTAZKA")), QString());
        QCOMPARE(t.FieldAsString(QStringLiteral("CAS1")), QString());
        QCOMPARE(t.GetBookmark(), Bookmark(0));
        t.Next();
        t.Prior();
        t.Last();
        QVERIFY(t.Eof());
        QVERIFY(!errorOf([&] { t.Edit(); }).isEmpty());
    }

    void deletedRowsAreInvisible()
    {
        const QList<RawField> fields = {{"DRUH", 'C', 5}};
        QList<QByteArray> rows;
        rows << dbftest::record(fields, {"x1"}, true) << dbftest::record(fields, {"a"})
             << dbftest::record(fields, {"x2"}, true) << dbftest::record(fields, {"b"})
             << dbftest::record(fields, {"x3"}, true);
        QVERIFY(dbftest::writeFile(file(QStringLiteral("d.dbf")), dbftest::image(fields, rows)));
        TTable t;
        openTable(t, QStringLiteral("d.dbf"));
        QCOMPARE(t.RecordCount(), 2);
        QCOMPARE(t.RecNo(), 2);
        QCOMPARE(scan(t, QStringLiteral("DRUH")), QStringList({"a", "b"}));
        t.Last();
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("b"));
        t.Prior();
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("a"));
        QVERIFY(!t.Bof());
        t.Prior();
        QVERIFY(t.Bof());
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("a"));
        for (Bookmark b : {Bookmark(1), Bookmark(3), Bookmark(5), Bookmark(6), Bookmark(0)})
            QCOMPARE(errorOf([&] { t.GotoBookmark(b); }), QStringLiteral("Record not found"));
        QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("a"));
        // An insert follows the deleted tail and is counted.
        t.Insert();
        t.SetFieldAsString(QStringLiteral("DRUH"), QStringLiteral("c"));
        t.Post();
        QCOMPARE(t.RecNo(), 6);
        QCOMPARE(t.RecordCount(), 3);
        QCOMPARE(scan(t, QStringLiteral("DRUH")), QStringList({"a", "b", "c"}));
    }

    void navigationFlags()
    {
        makeQuestions(QStringLiteral("q.dbf"), layoutC(), 3);
        TTable t;
        openTable(t, QStringLiteral("q.dbf"), layoutC());
        QVERIFY(!t.Eof());
        QVERIFY(t.Bof());
        t.Next();
        t.Next();
        QVERIFY(!t.Eof());
        QCOMPARE(t.FieldAsString(QStringLiteral("OTAZKA")), QStringLiteral("Otázka 3"));
        t.Next();
        QVERIFY(t.Eof());
        QCOMPARE(t.FieldAsString(QStringLiteral("OTAZKA")), QStringLiteral("Otázka 3"));
        t.First();
        QVERIFY(!t.Eof());
        t.Last();
        QVERIFY(!t.Eof());
        QCOMPARE(t.RecNo(), 3);
        const Bookmark b = t.GetBookmark();
        t.First();
        t.GotoBookmark(b);
        QCOMPARE(t.FieldAsString(QStringLiteral("OTAZKA")), QStringLiteral("Otázka 3"));
    }

    void postWritesInPlaceAndInsertAppends()
    {
        makeQuestions(QStringLiteral("q.dbf"), layoutA(), 3);
        const QString path = file(QStringLiteral("q.dbf"));
        QByteArray before = dbftest::readFile(path);
        const int headerLength = quint8(before[8]) | (quint8(before[9]) << 8);
        const int recordLength = quint8(before[10]) | (quint8(before[11]) << 8);
        QCOMPARE(dbftest::get32(before, 4), 3u);
        QCOMPARE(before.size(), headerLength + 3 * recordLength + 1);
        QCOMPARE(before.back(), char(0x1A));

        TTable t;
        openTable(t, QStringLiteral("q.dbf"), layoutA());
        QFile other(path);
        QVERIFY(other.open(QIODevice::ReadOnly));
        t.Next();
        t.Edit();
        t.SetFieldAsString(QStringLiteral("ODPOVED"), QStringLiteral("B"));
        // Not yet on disk before Post.
        other.seek(0);
        QCOMPARE(other.readAll(), before);
        t.Post();
        other.seek(0);
        QByteArray after = other.readAll();
        QCOMPARE(after.size(), before.size());
        const int odpoved = 1 + 50 + 100 + 50 + 100 + 50 + 50 + 100 + 254 * 5 + 1 + 1;
        QCOMPARE(after.mid(headerLength + recordLength + odpoved, 2), QByteArray("B "));
        after[headerLength + recordLength + odpoved] = ' ';
        QCOMPARE(after, before);

        // Insert: record, end marker, then count and date in the header.
        t.Insert();
        t.SetFieldAsString(QStringLiteral("OTAZKA"), QStringLiteral("Nová"));
        QCOMPARE(t.RecNo(), 0);
        t.Post();
        QCOMPARE(t.RecNo(), 4);
        QCOMPARE(t.FieldAsString(QStringLiteral("OTAZKA")), QStringLiteral("Nová"));
        other.seek(0);
        after = other.readAll();
        QCOMPARE(dbftest::get32(after, 4), 4u);
        QCOMPARE(after.size(), headerLength + 4 * recordLength + 1);
        QCOMPARE(after.back(), char(0x1A));
        const int otazka = 1 + 50 + 100 + 50 + 100 + 50 + 50 + 100;
        QCOMPARE(after.mid(headerLength + 3 * recordLength, otazka), QByteArray(otazka, ' '));
        QCOMPARE(after.mid(headerLength + 3 * recordLength + otazka, 6), QByteArray("Nov\xE1  "));
        const QDate today = QDate::currentDate();
        QCOMPARE(int(quint8(after[1])), today.year() - 1900);
        QCOMPARE(int(after[2]), today.month());
        QCOMPARE(int(after[3]), today.day());

        // Cancel leaves the file alone.
        const QByteArray settled = after;
        t.First();
        t.Edit();
        t.SetFieldAsString(QStringLiteral("ODPOVED"), QStringLiteral("C"));
        QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVED")), QStringLiteral("C"));
        t.Cancel();
        QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVED")), QString());
        QCOMPARE(dbftest::readFile(path), settled);
        QCOMPARE(errorOf([&] { t.SetFieldAsString(QStringLiteral("ODPOVED"), QStringLiteral("C")); }),
                 QStringLiteral("Dataset not in edit or insert mode"));

        // Moving on posts pending changes, like the engine it replaces.
        t.Edit();
        t.SetFieldAsString(QStringLiteral("ODPOVED"), QStringLiteral("D"));
        t.Next();
        t.Close();
        openTable(t, QStringLiteral("q.dbf"), layoutA());
        QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVED")), QStringLiteral("D"));
        QCOMPARE(t.RecordCount(), 4);
    }

    void writesCutToTheFieldWidth()
    {
        makeQuestions(QStringLiteral("c.dbf"), layoutC(), 1);
        TTable t;
        openTable(t, QStringLiteral("c.dbf"), layoutC());
        t.Edit();
        QString answer;
        for (int i = 0; i < 300; ++i)
            answer += QChar(u"ěščřžýáíé0"[i % 10]);
        t.SetFieldAsString(QStringLiteral("ODPOVED"), answer);
        t.SetFieldAsString(QStringLiteral("TEST"), QStringLiteral("CC"));
        t.Post();
        t.Close();
        openTable(t, QStringLiteral("c.dbf"), layoutC());
        QCOMPARE(t.FieldAsString(QStringLiteral("ODPOVED")), answer.left(254));
        QCOMPARE(t.FieldAsString(QStringLiteral("TEST")), QStringLiteral("C"));
    }

    void damagedFilesAreRefusedUntouched_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QList<RawField> fields = {{"DRUH", 'C', 10}, {"CAS1", 'N', 3}};
        QList<QByteArray> rows = {dbftest::record(fields, {"a", "1"}), dbftest::record(fields, {"b", "2"})};
        const QByteArray good = dbftest::image(fields, rows);
        QByteArray b;

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short header") << good.left(20);
        b = good; b[0] = char(0x30);
        QTest::newRow("foreign version") << b;
        b = good; dbftest::put16(b, 8, good.size() + 10);
        QTest::newRow("header beyond file") << b;
        b = good; dbftest::put16(b, 8, 40);
        QTest::newRow("header too short") << b;
        b = good; dbftest::put16(b, 10, 15);
        QTest::newRow("record length disagrees") << b;
        b = good; dbftest::put16(b, 10, 0);
        QTest::newRow("record length zero") << b;
        b = good; dbftest::put32(b, 4, 0xFFFFFFF0u);
        QTest::newRow("absurd record count") << b;
        b = good; dbftest::put32(b, 4, 3);
        QTest::newRow("count beyond data") << b;
        QTest::newRow("truncated records") << good.left(good.size() - 8);
        b = good; b[32 + 64] = 'X';
        QTest::newRow("descriptors not terminated") << b;
        b = good; b[32] = '\0';
        QTest::newRow("field without name") << b;
        b = good; b[33] = char(0x01);
        QTest::newRow("garbage name") << b;
        b = good; b[32 + 11] = char(0xFF);
        QTest::newRow("garbage type") << b;
        b = good; b[32 + 32 + 16] = 0;
        QTest::newRow("zero length") << b;
        b = good; b[32 + 32 + 17] = 5;
        QTest::newRow("number decimals beyond length") << b;
    }

    void damagedFilesAreRefusedUntouched()
    {
        QFETCH(QByteArray, bytes);
        const QString path = file(QStringLiteral("bad.dbf"));
        QVERIFY(dbftest::writeFile(path, bytes));
        TTable t;
        const QString err = errorOf([&] { openTable(t, QStringLiteral("bad.dbf")); });
        QVERIFY2(!err.isEmpty() && !err.startsWith(QStringLiteral("unexpected")), qPrintable(err));
        QVERIFY(!t.Active());
        QVERIFY(!errorOf([&] { t.Insert(); }).isEmpty());
        QCOMPARE(dbftest::readFile(path), bytes);
        QVERIFY(!errorOf([&] { DbfFile::fromBytes(bytes, QStringLiteral("bad")); }).isEmpty());
    }

    void dbaseVersionsAndExtraFieldsAreRead()
    {
        const QList<RawField> fields = {{"NOTE", 'M', 10}, {"DRUH", 'C', 4}, {"WHEN", 'D', 8}, {"N", 'I', 4}};
        for (quint8 v : {quint8(0x03), quint8(0x04), quint8(0x83), quint8(0x8B)}) {
            QByteArray rec = dbftest::record(fields, {"        12", "abc", "20240102", ""});
            dbftest::put32(rec, 1 + 10 + 4 + 8, quint32(-7));
            QVERIFY(dbftest::writeFile(file(QStringLiteral("v.dbf")), dbftest::image(fields, {rec}, v)));
            TTable t;
            openTable(t, QStringLiteral("v.dbf"), {{QStringLiteral("druh"), FieldKind::Text, 4}, {QStringLiteral("n"), FieldKind::Number, 0}});
            QCOMPARE(t.FieldAsString(QStringLiteral("DRUH")), QStringLiteral("abc"));
            QCOMPARE(t.FieldAsString(QStringLiteral("N")), QStringLiteral("-7"));
        }
    }

    void readOnlyFileRefusesWrites()
    {
        if (::geteuid() == 0)
            QSKIP("root writes read-only files");
        makeQuestions(QStringLiteral("r.dbf"), layoutC(), 1);
        const QString path = file(QStringLiteral("r.dbf"));
        ::chmod(QFile::encodeName(path).constData(), 0444);
        const QByteArray before = dbftest::readFile(path);
        TTable t;
        openTable(t, QStringLiteral("r.dbf"), layoutC());
        QCOMPARE(t.FieldAsString(QStringLiteral("CAS2")), QStringLiteral("30"));
        QVERIFY(!errorOf([&] { t.Edit(); }).isEmpty());
        QVERIFY(!errorOf([&] { t.Insert(); }).isEmpty());
        QCOMPARE(dbftest::readFile(path), before);
    }

    void namesAreFoundWithoutRegardToCase()
    {
        QVERIFY(QDir(dir()).mkdir(QStringLiteral("DATA")));
        DbfFile::create(dir() + QStringLiteral("/DATA/TestD.DBF"), dbfFieldsOf(kindLayout()), false);
        TTable t;
        t.SetDatabaseName(dir() + QStringLiteral("/data"));
        t.SetTableName(QStringLiteral("testd.dbf"));
        t.SetFieldDefs(kindLayout());
        t.Open();
        QCOMPARE(t.FilePath(), dir() + QStringLiteral("/DATA/TestD.DBF"));
        QCOMPARE(errorOf([&] { t.SetTableName(QStringLiteral("x")); }).isEmpty(), false);
        t.Close();
        t.Close();
        t.SetTableName(QStringLiteral("testd"));
        t.Open();
        t.Close();
        t.SetTableName(QStringLiteral("missing.dbf"));
        QVERIFY(errorOf([&] { t.Open(); }).contains(QStringLiteral("not found")));
        // Creating never replaces, not even a file spelled differently.
        QVERIFY(!errorOf([&] { DbfFile::create(dir() + QStringLiteral("/data/TESTD.dbf"), dbfFieldsOf(kindLayout()), false); }).isEmpty());
    }

    void dataSourceFollowsTheTable()
    {
        makeQuestions(QStringLiteral("q.dbf"), layoutB(), 2);
        TTable t;
        TDataSource ds;
        QSignalSpy spy(&ds, &TDataSource::dataChanged);
        ds.SetDataSet(&t);
        QCOMPARE(ds.FieldText(QStringLiteral("OTAZKA")), QString());
        spy.clear();
        openTable(t, QStringLiteral("q.dbf"), layoutB());
        QVERIFY(spy.count() >= 1);
        QCOMPARE(ds.FieldText(QStringLiteral("OTAZKA")), QStringLiteral("Otázka 1"));
        spy.clear();
        t.Next();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(ds.FieldText(QStringLiteral("OTAZKA")), QStringLiteral("Otázka 2"));
        spy.clear();
        t.Edit();
        t.SetFieldAsString(QStringLiteral("ODPOVED"), QStringLiteral("Ano"));
        QVERIFY(spy.count() >= 1);
        QCOMPARE(ds.FieldText(QStringLiteral("ODPOVED")), QStringLiteral("Ano"));
        t.Post();
        spy.clear();
        ds.SetEnabled(false);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(ds.FieldText(QStringLiteral("OTAZKA")), QString());
        ds.SetEnabled(true);
        QCOMPARE(ds.FieldText(QStringLiteral("ODPOVED")), QStringLiteral("Ano"));
        spy.clear();
        t.Close();
        QVERIFY(spy.count() >= 1);
        QCOMPARE(ds.FieldText(QStringLiteral("OTAZKA")), QString());
    }

    void dataModuleReportsAMissingCatalogue()
    {
        TDataModule1 dm(dir() + QLatin1Char('/'));
        QCOMPARE(DataModule1, &dm);
        QCOMPARE(dm.Table4->objectName(), QStringLiteral("Table4"));
        QCOMPARE(dm.DataSource5->DataSet(), dm.Table5);
        QCOMPARE(dm.findChild<TTable*>(QStringLiteral("Table2")), dm.Table2);
        QVERIFY(!errorOf([&] { dm.DataModule1Create(); }).isEmpty());
        QVERIFY(!dm.Table4->Active());
        QVERIFY(!dm.Table5->Active());
        // A catalogue without its production index cannot serve DRUHJMENO.
        QVERIFY(QDir(dir()).mkdir(QStringLiteral("Data")));
        DbfFile::create(dir() + QStringLiteral("/Data/Testy.DBF"), dbfFieldsOf(catalogueLayout()), false);
        QCOMPARE(errorOf([&] { dm.DataModule1Create(); }), QStringLiteral("Index 'DRUHJMENO' not found"));
        QVERIFY(!dm.Table4->Active());
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
