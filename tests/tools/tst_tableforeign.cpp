// What an administrator sees of tables and indexes other dBASE programs
// wrote, through vedomec-table: one case for each way the tool once misread
// such files.  Every file is built here byte by byte, after the format's
// description.
#include "TableToolRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Sets what a tag's header says about uniqueness: the key format's bit
// (byte 8) and the unique flag (byte 23).
void setUniqueMarks(QByteArray& mdx, int tag, bool formatBit, bool flag)
{
    const quint32 header = dbftest::get32(mdx, 544 + 32 * tag);
    const qsizetype th = qsizetype(header) * 512;
    mdx[th + 8] = char((uchar(mdx[th + 8]) & ~0x40) | (formatBit ? 0x40 : 0));
    mdx[th + 23] = char(flag ? 1 : 0);
}

// A numeric key with its digit count set as another program stores it.
QByteArray withDigitCount(QByteArray key, int count)
{
    key[1] = char((uchar(key[1]) & 0x83) | (count << 2));
    return key;
}

} // namespace

class TableForeign : public QObject {
    Q_OBJECT
private slots:
    // What an administrator sees of indexes other dBASE programs wrote: one
    // case for each fault the table tool once had with such files, each on a
    // table whose index holds the tags the case is about.

    void emptyTagWalksNoRow()
    {
        QTemporaryDir dir;
        const QString table = writeForeign(dir, {"NIC", "ZIVE"});
        Run r = runTool("vedomec-table", {QStringLiteral("walk"), table, QStringLiteral("NIC")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString());
        r = runTool("vedomec-table", {QStringLiteral("walk"), table, QStringLiteral("ZIVE")});
        QCOMPARE(r.out.count(u'\n'), 6);
    }

    void forClausesAreShownAndRespected()
    {
        QTemporaryDir dir;
        const QString table = writeForeign(dir, {"ZIVE", "NIC", "TYPA"});
        Run r = runTool("vedomec-table", {QStringLiteral("tags"), table});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("ZIVE\tDRUH+JMENO\tkey C 18\tFOR .NOT. DELETED()\n"
                                       "NIC\tJMENO\tkey C 8\tFOR .F.\n"
                                       "TYPA\tJMENO\tkey C 8\tFOR TEST = \"A\" .AND. .NOT. DELETED()\n"));
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral(": v pořádku, záznamů: 7 (živých: 6), značek: 3")), qPrintable(r.out));

        // Real damage is still found: a row the clause admits is gone.
        QList<mdxtest::Tag> tags{ff::tagNamed(ff::tags(), "TYPA")};
        tags[0].entries.removeFirst();
        ff::write(table, ff::rows(), tags);
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("tag TYPA: record 1 is missing from the index")), qPrintable(r.out));
    }

    void numericTagsAreCheckedAndSought()
    {
        QTemporaryDir dir;
        const QString table = writeForeign(dir, {"POCET"});
        Run r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        r = runTool("vedomec-table", {QStringLiteral("seek"), table, QStringLiteral("POCET"), QStringLiteral("20")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("#2\tDRUH=Auta\tJMENO=Bob")), qPrintable(r.out));
        r = runTool("vedomec-table", {QStringLiteral("seek"), table, QStringLiteral("POCET"), QStringLiteral("-0.25")});
        QVERIFY(r.out.contains(QStringLiteral("JMENO=Gita")));
        r = runTool("vedomec-table", {QStringLiteral("seek"), table, QStringLiteral("POCET"), QStringLiteral("7")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QStringLiteral("nenalezeno\n"));
        r = runTool("vedomec-table", {QStringLiteral("seek"), table, QStringLiteral("POCET"), QStringLiteral("sedm")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("holds numbers")), qPrintable(r.err));
    }

    void uniqueAndDescendingFlagsAreShown()
    {
        QTemporaryDir dir;
        const QString table = writeForeign(dir, {"DRUHY", "JMENA"});
        Run r = runTool("vedomec-table", {QStringLiteral("tags"), table});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("DRUHY\tUPPER(DRUH)\tkey C 10\tunique\n"
                                       "JMENA\tJMENO\tkey C 8\tdescending\n"));
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(walkedRecords(table, QStringLiteral("JMENA")), (QStringList{"#7", "#6", "#4", "#3", "#2", "#1"}));
    }

    void equalKeysNewestFirstAreSound()
    {
        QTemporaryDir dir;
        const QString table = writeForeign(dir, {"TEST"});
        const Run r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(walkedRecords(table, QStringLiteral("TEST")), (QStringList{"#7", "#3", "#1", "#6", "#2", "#4"}));
    }

    void fieldNamedTwiceIsReadNotWritten()
    {
        QTemporaryDir dir;
        const QString table = writeForeign(dir, {"ZIVE"});
        QList<dbftest::RawField> fields = ff::fields();
        fields[4] = {"JMENO", 'C', 1, 0};
        QVERIFY(dbftest::writeFile(table, ff::dbfImage(ff::rows(), fields)));
        const QByteArray before = dbftest::readFile(table);
        Run r = runTool("vedomec-table", {QStringLiteral("dump"), table});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("#1\tDRUH=Hory\tJMENO=Ana\tPOCET=11\tDATUM=20010305\tJMENO=A")),
                 qPrintable(r.out));
        QCOMPARE(walkedRecords(table, QStringLiteral("ZIVE")).size(), 6);
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("poznámka: hlavička jmenuje pole JMENO dvakrát")));
        r = runTool("vedomec-table", {QStringLiteral("insert"), table, QStringLiteral("DRUH=Lesy")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("names the field 'JMENO' twice")), qPrintable(r.err));
        QCOMPARE(dbftest::readFile(table), before);
    }

    // Numeric keys whose digit count is above 20 (another program stores
    // the field's width there), in an ascending and a descending tag: read
    // by their digits, so seek finds the row and check finds no stale key.
    void numericKeysWithWideDigitCounts()
    {
        QTemporaryDir dir;
        mdxtest::Tag up = ff::tagNamed(ff::tags(), "POCET");
        mdxtest::Tag down = up;
        down.name = "POCETD";
        down.descending = true;
        std::reverse(down.entries.begin(), down.entries.end());
        for (mdxtest::Tag* t : {&up, &down})
            for (int i = 0; i < t->entries.size(); ++i)
                t->entries[i].key = withDigitCount(t->entries[i].key, 21 + i % 11);
        const QString table = dir.filePath(QStringLiteral("F.DBF"));
        ff::write(table, ff::rows(), {up, down});
        Run r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        for (const char* tag : {"POCET", "POCETD"}) {
            r = runTool("vedomec-table", {QStringLiteral("seek"), table, QLatin1String(tag), QStringLiteral("-5")});
            QVERIFY2(r.code == 0 && r.out.startsWith(QStringLiteral("#4\t")), qPrintable(r.out + r.err));
        }
        QCOMPARE(walkedRecords(table, QStringLiteral("POCETD")), (QStringList{"#2", "#1", "#3", "#6", "#7", "#4"}));
    }

    // A tag whose header calls it unique only by the key format's bit, while
    // its unique flag says not, and which holds equal keys: read as the other
    // programs read it, every entry walked, the equal keys no damage.
    void uniqueOnlyByTheFormatBit()
    {
        QTemporaryDir dir;
        mdxtest::Tag kinds = ff::tagNamed(ff::tags(), "DRUHY");
        kinds.unique = false;
        kinds.entries = ff::entries(ff::rows(), ff::always, [](const ff::Row& row) { return ff::upper(ff::padded(row.druh, 10)); },
                                    [](const ff::Row& a, const ff::Row& b) {
                                        return ff::upper(ff::padded(a.druh, 10)) < ff::upper(ff::padded(b.druh, 10));
                                    });
        const QString table = dir.filePath(QStringLiteral("F.DBF"));
        ff::write(table, ff::rows(), {kinds});
        const QString index = dir.filePath(QStringLiteral("F.MDX"));
        QByteArray mdx = dbftest::readFile(index);
        setUniqueMarks(mdx, 0, true, false);
        QVERIFY(dbftest::writeFile(index, mdx));
        Run r = runTool("vedomec-table", {QStringLiteral("tags"), table});
        QCOMPARE(r.out, QStringLiteral("DRUHY\tUPPER(DRUH)\tkey C 10\n"));
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("poznámka: značka DRUHY: podle formátu klíče je jedinečná")), qPrintable(r.out));
        QCOMPARE(walkedRecords(table, QStringLiteral("DRUHY")).size(), 6);
    }

    // The table's text in the code page its language driver names (437
    // here); the program's own tables stay Windows-1250.
    void textInTheDeclaredCodePage()
    {
        QTemporaryDir dir;
        const QList<dbftest::RawField> fields{{"JMENO", 'C', 8, 0}};
        QByteArray image = dbftest::image(fields, {dbftest::record(fields, {"\x80\x82mon"}), dbftest::record(fields, {"\x9a\x84"})}, 0x03, true);
        image[29] = char(0x01);
        const QString table = dir.filePath(QStringLiteral("F.DBF"));
        QVERIFY(dbftest::writeFile(table, image));
        mdxtest::Tag names = ff::tag("JMENA", "UPPER(JMENO)", {}, 'C', 8);
        names.entries = {{QByteArray("\x80\x90MON"), 1}, {QByteArray("\x9a\x8e"), 2}};
        QVERIFY(dbftest::writeFile(dir.filePath(QStringLiteral("F.MDX")), mdxtest::image("F", {names})));
        Run r = runTool("vedomec-table", {QStringLiteral("dump"), table});
        QVERIFY2(r.out.contains(QStringLiteral("#1\tJMENO=Çémon\n#2\tJMENO=Üä\n")), qPrintable(r.out + r.err));
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("text je v kódové stránce 437")), qPrintable(r.out + r.err));
        r = runTool("vedomec-table", {QStringLiteral("seek"), table, QStringLiteral("JMENA"), QStringLiteral("üÄ")});
        QVERIFY2(r.code == 0 && r.out.startsWith(QStringLiteral("#2\t")), qPrintable(r.out + r.err));
        r = runTool("vedomec-table", {QStringLiteral("insert"), table, QStringLiteral("JMENO=Éa")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(dbftest::readFile(table).contains(QByteArray("\x90" "a      ")));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("check"), table}).code, 0);
        QCOMPARE(walkedRecords(table, QStringLiteral("JMENA")), (QStringList{"#1", "#3", "#2"}));
    }

    // What the format allows and other programs write: numbers beyond 16
    // bits and of 19 digits, a table without fields; and a memo file that is
    // missing, which other programs refuse.
    void valuesAndTablesAsTheFormatAllows()
    {
        QTemporaryDir dir;
        const QList<dbftest::RawField> numbers{{"POCET", 'N', 6, 0}, {"VELKE", 'N', 19, 0}};
        const QString table = dir.filePath(QStringLiteral("N.DBF"));
        QVERIFY(dbftest::writeFile(table, dbftest::image(numbers, {dbftest::record(numbers, {"100000", "1234567890123456789"}),
                                                                  dbftest::record(numbers, {"-40000", "-999999999999999999"})})));
        Run r = runTool("vedomec-table", {QStringLiteral("dump"), table});
        QVERIFY2(r.out.contains(QStringLiteral("#1\tPOCET=100000\tVELKE=1234567890123456789\n"
                                               "#2\tPOCET=-40000\tVELKE=-999999999999999999\n")),
                 qPrintable(r.out));
        r = runTool("vedomec-table", {QStringLiteral("check"), table});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

        const QString empty = dir.filePath(QStringLiteral("E.DBF"));
        QVERIFY(dbftest::writeFile(empty, dbftest::image({}, {QByteArray(" "), QByteArray("*")})));
        r = runTool("vedomec-table", {QStringLiteral("check"), empty});
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("v pořádku, záznamů: 2 (živých: 1), značek: 0")), qPrintable(r.out + r.err));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("dump"), empty}).code, 0);

        const QList<dbftest::RawField> memo{{"JMENO", 'C', 8, 0}, {"POZNAMKA", 'M', 10, 0}};
        const QString withMemo = dir.filePath(QStringLiteral("M.DBF"));
        QVERIFY(dbftest::writeFile(withMemo, dbftest::image(memo, {dbftest::record(memo, {"Ana", "         1"})}, 0x83)));
        r = runTool("vedomec-table", {QStringLiteral("check"), withMemo});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("chybí soubor poznámek M.DBT")), qPrintable(r.out));
        QVERIFY(dbftest::writeFile(dir.filePath(QStringLiteral("m.dbt")), QByteArray(512, '\0')));
        QCOMPARE(runTool("vedomec-table", {QStringLiteral("check"), withMemo}).code, 0);
    }
};

QTEST_GUILESS_MAIN(TableForeign)
#include "tst_tableforeign.moc"
