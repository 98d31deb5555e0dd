// vedomec-mktest with the files of other quiz systems: a teacher's GIFT,
// Aiken or Moodle XML file becomes tables, a table goes out in each format,
// and what cannot go either way is said, with the file's line.
#include "TableToolRun.h"
#include "TableTools.h"
#include "TestFiles.h"
#include "exchange/TestSource.h"

#include <QTest>

using namespace vedomec;
using namespace vedomec::tools;
using namespace vedomec::exchange;

namespace {

QString sample(const char* name)
{
    return QDir(qEnvironmentVariable("VEDOMEC_SOURCE_DIR")).filePath(QStringLiteral("sample/") + QLatin1String(name));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const char* const MixedGift =
    "$CATEGORY: Přírodověda/Ptáci\n"
    "\n"
    "Který pták neumí létat?{=pštros ~vrabec ~čáp}\n"
    "\n"
    "Sova loví v noci.{T}\n"
    "\n"
    "Kolik je ptáků na světě?{#10000}\n"
    "\n"
    "Mládě slepice je {=kuře}.\n";

} // namespace

class TestMktestFormats : public QObject {
    Q_OBJECT
private slots:
    void aMixedFileBecomesOneTablePerType()
    {
        QTemporaryDir dir;
        const QString gift = dir.filePath(QStringLiteral("ptaci.txt"));
        testfiles::writeFile(gift, MixedGift);
        const Run r = runTool("vedomec-mktest", {gift});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains(gift + QStringLiteral(":7: otázka vynechána: číselná otázka")), qPrintable(r.err));
        QStringList made;
        for (const char* type : {"A", "B", "C"}) {
            const QString table = dir.filePath(QStringLiteral("ptaci-%1.dbf").arg(QLatin1String(type)));
            QVERIFY2(r.out.contains(table + QStringLiteral(": „Ptáci – ")), qPrintable(r.out));
            QStringList notes;
            const TestSource t = readQuestionTable(table, &notes, true);
            QCOMPARE(t.kind, QStringLiteral("Přírodověda"));
            QCOMPARE(t.type, QChar::fromLatin1(type[0]));
            QCOMPARE(t.questions.size(), 1);
        }
        QVERIFY(r.out.contains(QStringLiteral("otázek v souboru: 4, do testů: 3")));

        // Again: every table is there, so none is written and none replaced.
        const QByteArray before = readAll(dir.filePath(QStringLiteral("ptaci-B.dbf")));
        QFile::remove(dir.filePath(QStringLiteral("ptaci-A.dbf")));
        const Run again = runTool("vedomec-mktest", {gift});
        QCOMPARE(again.code, 1);
        QVERIFY(again.err.contains(QStringLiteral("už existuje")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("ptaci-A.dbf"))));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("ptaci-B.dbf"))), before);

        // --check says the same and writes nothing.
        const Run check = runTool("vedomec-mktest", {QStringLiteral("--check"), gift, dir.filePath(QStringLiteral("x.dbf"))});
        QCOMPARE(check.code, 0);
        QCOMPARE(check.out.count(QStringLiteral("v pořádku")), 3);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x-A.dbf"))));
    }

    void testWideValuesFromOptionsOrRefused()
    {
        QTemporaryDir dir;
        const QString aiken = dir.filePath(QStringLiteral("otazky.txt"));
        testfiles::writeFile(aiken, "Hlavní město Itálie?\nA) Řím\nB) Milán\nANSWER: A\n");
        const Run noKind = runTool("vedomec-mktest", {aiken});
        QCOMPARE(noKind.code, 1);
        QVERIFY2(noKind.err.contains(QStringLiteral("druh testu chybí; zadej ho volbou --kind")), qPrintable(noKind.err));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("otazky.dbf"))));

        const Run given = runTool("vedomec-mktest", {QStringLiteral("--kind=Zeměpis"), QStringLiteral("--author"), QStringLiteral("Jan Novák"), aiken});
        QCOMPARE(given.code, 0);
        QStringList notes;
        const TestSource t = readQuestionTable(dir.filePath(QStringLiteral("otazky.dbf")), &notes, true);
        QCOMPARE(t.kind, QStringLiteral("Zeměpis"));
        QCOMPARE(t.title, QStringLiteral("otazky"));
        QCOMPARE(t.author, QStringLiteral("Jan Novák"));
        QCOMPARE(t.questions.first().answers[2], QString());

        QCOMPARE(runTool("vedomec-mktest", {QStringLiteral("--format"), QStringLiteral("qti"), aiken}).code, 2);
        QCOMPARE(runTool("vedomec-mktest", {aiken, QStringLiteral("--kind")}).code, 2);
        // The program's own text form names these in its header.
        QCOMPARE(runTool("vedomec-mktest", {QStringLiteral("--kind=X"), sample("ZemepisCR.txt"), dir.filePath(QStringLiteral("z.dbf"))}).code, 2);
    }

    void aTableGoesOutAndComesBack()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath(QStringLiteral("ZemepisCR.dbf"));
        QCOMPARE(runTool("vedomec-mktest", {sample("ZemepisCR.txt"), table}).code, 0);
        QStringList notes;
        const TestSource ours = readQuestionTable(table, &notes, true);
        for (const char* format : {"gift", "aiken", "moodle"}) {
            const QString file = dir.filePath(QStringLiteral("out-%1.txt").arg(QLatin1String(format)));
            const Run out = runTool("vedomec-mktest", {QStringLiteral("--format"), QLatin1String(format), table, file});
            QCOMPARE(out.code, 0);
            QVERIFY2(out.err.contains(QStringLiteral("nenese tyto údaje testu: ")) && out.err.contains(QStringLiteral("časový limit")),
                     qPrintable(out.err));
            const QString back = dir.filePath(QStringLiteral("back-%1.dbf").arg(QLatin1String(format)));
            QStringList args = {QStringLiteral("--format"), QLatin1String(format), QStringLiteral("--author"), ours.author, file, back};
            if (QLatin1String(format) == QLatin1String("aiken"))
                args << QStringLiteral("--kind") << ours.kind << QStringLiteral("--title") << ours.title;
            const Run in = runTool("vedomec-mktest", args);
            QVERIFY2(in.code == 0 && in.err.isEmpty(), qPrintable(in.err));
            TestSource again = readQuestionTable(back, &notes);
            QCOMPARE(again.title, ours.title);
            again.address = ours.address;
            again.email = ours.email;
            again.http = ours.http;
            again.hours = ours.hours;
            again.minutes = ours.minutes;
            again.seconds = ours.seconds;
            QVERIFY(sameContent(again, ours));
        }
        // The platform's import reads a well-formed file with its own names.
        const QByteArray xml = readAll(dir.filePath(QStringLiteral("out-moodle.txt")));
        QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QCOMPARE(xml.count("<question type=\"multichoice\">"), ours.questions.size());

        // To standard output without OUTPUT; Aiken refuses what it cannot hold.
        const QString yesNo = dir.filePath(QStringLiteral("Prirodoveda.dbf"));
        QCOMPARE(runTool("vedomec-mktest", {sample("Prirodoveda.txt"), yesNo}).code, 0);
        const Run gift = runTool("vedomec-mktest", {QStringLiteral("--format"), QStringLiteral("gift"), yesNo});
        QCOMPARE(gift.code, 0);
        QVERIFY(gift.out.contains(QStringLiteral("{TRUE}")) || gift.out.contains(QStringLiteral("{FALSE}")));
        const Run aiken = runTool("vedomec-mktest", {QStringLiteral("--format"), QStringLiteral("aiken"), yesNo, dir.filePath(QStringLiteral("a.txt"))});
        QCOMPARE(aiken.code, 1);
        QVERIFY(aiken.err.contains(QStringLiteral("Aiken nese jen")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("a.txt"))));
    }
};

QTEST_GUILESS_MAIN(TestMktestFormats)
#include "tst_mktestformats.moc"
