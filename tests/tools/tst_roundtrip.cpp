// A question table written back as text and made into a table again must be
// the same file, byte for byte but for the date in its header: for every
// sample test, through the command a teacher types, and for tables with
// contents at the edges of what the text format holds.  Tables made
// elsewhere come back with what the text changes told, or are refused with
// the question named and nothing written.
#include "TableTools.h"
#include "TestData.h"
#include "exchange/TestSource.h"

#include "data/Data.h"
#include "data/Table.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using namespace vedomec::tools;
using namespace vedomec::exchange;

namespace {

QString toolPath(const char* name)
{
    return QDir(qEnvironmentVariable("VEDOMEC_BIN_DIR")).filePath(QLatin1String(name));
}

struct Run {
    int code = -1;
    QByteArray out;
    QString err;
};

Run mktest(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(toolPath("vedomec-mktest"), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file with its date of last update (header bytes 1 to 3) blanked out.
QByteArray withoutDate(QByteArray bytes)
{
    if (bytes.size() > 4)
        bytes.replace(1, 3, QByteArray(3, '\0'));
    return bytes;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

const QString Czech = QStringLiteral("áčďéěíňóřšťúůýž ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ äĺľôŕ ÄĹĽÔŔ");

QByteArray words(const QString& word, int length)
{
    QString s;
    while (s.size() < length)
        s += (s.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    return s.left(length).trimmed().toUtf8();
}

} // namespace

class RoundTrip : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!qEnvironmentVariable("VEDOMEC_SAMPLE_DIR").isEmpty(), "VEDOMEC_SAMPLE_DIR is not set"); }

    // Every question table of the sample folder, through the command line.
    void everySampleTest_data()
    {
        QTest::addColumn<QString>("table");
        const QString sample = qEnvironmentVariable("VEDOMEC_SAMPLE_DIR");
        int n = 0;
        for (const QString& sub : {QStringLiteral("Testy"), QStringLiteral("Testy/Import")})
            for (const QString& f : QDir(sample + u'/' + sub).entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name)) {
                QTest::newRow(qPrintable(f)) << sample + u'/' + sub + u'/' + f;
                ++n;
            }
        QVERIFY(n >= 5);
    }
    void everySampleTest()
    {
        QFETCH(QString, table);
        QTemporaryDir dir;
        const Run text = mktest({QStringLiteral("--text"), table, dir.filePath(QStringLiteral("test.txt"))});
        QVERIFY2(text.code == 0, qPrintable(text.err));
        QVERIFY2(text.err.isEmpty(), qPrintable(text.err)); // nothing changed, nothing to tell
        const Run made = mktest({dir.filePath(QStringLiteral("test.txt")), dir.filePath(QStringLiteral("test.dbf"))});
        QVERIFY2(made.code == 0, qPrintable(made.err));
        QCOMPARE(withoutDate(fileBytes(dir.filePath(QStringLiteral("test.dbf")))), withoutDate(fileBytes(table)));

        // Standard output carries the same text; the table is left as it was.
        const QByteArray before = fileBytes(table);
        const Run toStdout = mktest({QStringLiteral("--text"), table});
        QCOMPARE(toStdout.code, 0);
        QCOMPARE(toStdout.out, fileBytes(dir.filePath(QStringLiteral("test.txt"))));
        QCOMPARE(fileBytes(table), before);
    }

    // Contents at the edges of the format: the longest values, continuation
    // lines, double blanks, tabs and '#' inside texts, every Czech and Slovak
    // letter, each type and each way of writing the time limit.
    void unusualContents_data()
    {
        QTest::addColumn<QByteArray>("source");
        const QByteArray longest = words(QStringLiteral("příliš žluťoučký kůň úpěl ďábelské ódy"), 254);
        QTest::newRow("A, longest values, longest time")
            << QByteArray("Druh: ") + QString(50, QChar(u'Ř')).toUtf8() + "\n"
               "Název: " + words(QStringLiteral("Dlouhý název testu"), 100) + "\n"
               "Autor: " + words(QStringLiteral("Šťastný"), 50) + "\n"
               "Adresa: " + words(QStringLiteral("Ústí nad Orlicí"), 100) + "\n"
               "E-mail: " + QByteArray(50, 'e') + "\n"
               "Http: " + QByteArray(50, 'h') + "\n"
               "Heslo: " + words(QStringLiteral("heslo"), 100) + "\n"
               "Typ: A\nČas: 32767:59:59\n\n"
               "Otázka: " + longest + "\n"
               "a) " + longest + "\nb) " + longest + "\nc) " + longest + "\nd) " + longest + "\n"
               "Správně: d)\n\n"
               "Otázka: " + QByteArray(254, 'x') + "\n"
               "a) jedna\nb) dvě\nc) tři\nd) " + QByteArray(200, 'y') + " " + QByteArray(53, 'z') + "\n"
               "Správně: c\n";
        QTest::newRow("C, continuation lines and odd blanks")
            << QByteArray("Druh: Čeština\nNázev: Doplňování\nTyp: C\nČas: 1:05:00\n\n"
                          "Otázka: Doplňte slovo,\n"
                          "    které chybí:\n"
                          "\tpes # kočka,  myš (dvě mezery) a\ttabulátor uprostřed.\n"
                          "  a) Tohle není odpověď, Správně: ani tohle.\n"
                          "Správně: Velké  Písmeno,\n"
                          "  i pokračování\n\n"
                          "Otázka: " + words(QStringLiteral("# mřížka"), 254) + "\n"
                          "Správně: # " + QByteArray(250, 'q') + "\n\n"
                          "Otázka: Kolik je 2:3?\n"
                          "Správně: 2:3\n");
        QTest::newRow("B, every Czech letter, no limit")
            << QByteArray("Druh: ") + Czech.left(50).toUtf8() + "\nNázev: " + Czech.toUtf8() + "\nAutor: " + Czech.left(50).toUtf8()
                   + "\nAdresa: " + Czech.toUtf8() + "\nHeslo: " + Czech.toUtf8() + "\nTyp: B\nČas: neomezeno\n\n"
                   "Otázka: " + (Czech + u' ' + Czech + u' ' + Czech).toUtf8() + "\nSprávně: ano\n\n"
                   "Otázka: Ne?\nSprávně: NE\n";
        QTest::newRow("B, no time line") << QByteArray("Druh: X\nNázev: Y\nTyp: B\n\nOtázka: Je?\nSprávně: NE\n");
        QTest::newRow("B, empty time") << QByteArray("Druh: X\nNázev: Y\nTyp: B\nČas:\n\nOtázka: Je?\nSprávně: ANO\n");
        QTest::newRow("C, bez omezení") << QByteArray("Druh: X\nNázev: Y\nTyp: C\nČas: bez omezení\n\nOtázka: Je?\nSprávně: Ano.\n");
        QTest::newRow("A, one second") << QByteArray("Druh: X\nNázev: Y\nTyp: A\nČas: 0:00:01\n\nOtázka: Q\n"
                                                     "a) 1\nb) 2\nc) 3\nd) 4\nSprávně: A\n");
        QTest::newRow("C, hours only") << QByteArray("Druh: X\nNázev: Y\nTyp: C\nČas: 10:00:00\n\nOtázka: Q\nSprávně: ř\n");
    }
    void unusualContents()
    {
        QFETCH(QByteArray, source);
        const TestSource original = parseTestSource(source);
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.dbf"));
        writeQuestionTable(original, first);

        QStringList notes;
        const QByteArray text = questionTableAsText(first, &notes);
        QVERIFY2(notes.isEmpty(), qPrintable(notes.join(u'\n')));
        const TestSource back = parseTestSource(text);
        QVERIFY(sameContent(back, original));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("again")));
        const QString second = dir.filePath(QStringLiteral("again/first.dbf"));
        writeQuestionTable(back, second);
        QCOMPARE(withoutDate(fileBytes(second)), withoutDate(fileBytes(first)));
        // The text of the rebuilt table is the same text again.
        QCOMPARE(questionTableAsText(second, nullptr), text);

        // Long values go on over continuation lines that stay readable.
        for (const QByteArray& line : text.split('\n')) {
            const QString l = QString::fromUtf8(line);
            const QString value = l.startsWith(u' ') ? l.trimmed() : l.mid(l.indexOf(u' ') + 1);
            if (l.size() > 78)
                QVERIFY2(!value.contains(u' '), qPrintable(l)); // only a value with no blank to break at
        }
        if (original.questions.first().text.size() > 200)
            QVERIFY(text.contains("\n    "));
    }

    // Tables made by other programs: what the text changes is told, and the
    // rebuilt table holds the test as the program would have shown it.
    void tableFromElsewhere()
    {
        QTemporaryDir dir;
        testdata::TestFile t = testdata::simpleTest(QStringLiteral("A"), 3);
        t.cas1 = QStringLiteral("1");
        t.cas2 = QStringLiteral("60");
        t.cas3 = QString();
        t.questions[0].spravne = QStringLiteral("b");
        t.questions[1].otazka = QStringLiteral("  Odsazená otázka?");
        t.questions[2].odpoved = QStringLiteral("C");
        testdata::writeQuestionTable(dir.filePath(QStringLiteral("cizi.dbf")), t);
        // The author only on the first row, as some hand-made tables have it.
        data::TTable edit;
        edit.SetDatabaseName(dir.path());
        edit.SetTableName(QStringLiteral("cizi.dbf"));
        edit.SetFieldDefs(data::layoutA());
        edit.Open();
        edit.Last();
        edit.Edit();
        edit.SetFieldAsString(QStringLiteral("JMENO"), QString());
        edit.Post();
        edit.Close();

        const Run run = mktest({QStringLiteral("--text"), dir.filePath(QStringLiteral("cizi.dbf")), dir.filePath(QStringLiteral("cizi.txt"))});
        QCOMPARE(run.code, 0);
        const QStringList notes = run.err.split(u'\n', Qt::SkipEmptyParts);
        const QStringList expected = {
            QStringLiteral("otázka 1: prázdné pole časového limitu"),
            QStringLiteral("otázka 1: časový limit 1:60:0 bude zapsán jako 2:00:00"),
            QStringLiteral("otázka 1: správná odpověď „b“ bude zapsána jako „B“"),
            QStringLiteral("otázka 2: pole OTAZKA (text otázky) začíná mezerou"),
            QStringLiteral("otázka 3: pole JMENO se liší od první otázky"),
            QStringLiteral("otázka 3: v tabulce zůstaly odpovědi žáka"),
        };
        QCOMPARE(notes.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(notes[i].contains(expected[i]), qPrintable(notes[i]));

        const TestSource back = readTestSourceFile(dir.filePath(QStringLiteral("cizi.txt")));
        QCOMPARE(back.author, t.jmeno);
        QCOMPARE(back.hours, 2);
        QCOMPARE(back.minutes, 0);
        QCOMPARE(back.questions[0].correct, QStringLiteral("B"));
        QCOMPARE(back.questions[1].text, QStringLiteral("Odsazená otázka?"));
        QCOMPARE(back.questions[2].answers[3], QStringLiteral("odpověď d3"));
        const Run made = mktest({dir.filePath(QStringLiteral("cizi.txt")), dir.filePath(QStringLiteral("nova.dbf"))});
        QVERIFY2(made.code == 0, qPrintable(made.err));
    }

    // What the text cannot hold is refused, naming the question, and no file
    // is written; an existing output is never replaced.
    void refusals_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("says");
        QTest::newRow("line break") << "C" << "OTAZKA" << "první\r\ndruhý" << "otázka 2, pole OTAZKA (text otázky) obsahuje zalomení";
        QTest::newRow("empty answer") << "A" << "ODPOVEDD" << "" << "otázka 2, pole ODPOVEDD (odpověď d)) je prázdné";
        QTest::newRow("letter E") << "A" << "SPRAVNE" << "E" << "otázka 2, pole SPRAVNE (správná odpověď) je „E“";
        QTest::newRow("maybe") << "B" << "SPRAVNE" << "asi" << "otázka 2, pole SPRAVNE (správná odpověď) je „asi“";
        QTest::newRow("empty fill-in") << "C" << "SPRAVNE" << "" << "otázka 2, pole SPRAVNE (správná odpověď) je prázdné";
        QTest::newRow("unknown type") << "B" << "TEST" << "X" << "typ testu (pole TEST) je „X“";
    }
    void refusals()
    {
        QFETCH(QString, type);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, says);
        QTemporaryDir dir;
        testdata::TestFile t = testdata::simpleTest(type, 2);
        if (field == QLatin1String("TEST"))
            t.type = value;
        testdata::writeQuestionTable(dir.filePath(QStringLiteral("t.dbf")), t);
        if (field != QLatin1String("TEST")) {
            data::TTable edit;
            edit.SetDatabaseName(dir.path());
            edit.SetTableName(QStringLiteral("t.dbf"));
            edit.SetFieldDefs(type == u'A' ? data::layoutA() : type == u'B' ? data::layoutB() : data::layoutC());
            edit.Open();
            edit.Last();
            edit.Edit();
            edit.SetFieldAsString(field, value);
            edit.Post();
            edit.Close();
        }
        const Run run = mktest({QStringLiteral("--text"), dir.filePath(QStringLiteral("t.dbf")), dir.filePath(QStringLiteral("t.txt"))});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("t.dbf")});
    }

    void commandLine()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath(QStringLiteral("Test.DBF"));
        testdata::writeQuestionTable(table, testdata::simpleTest(QStringLiteral("B"), 2));
        QFile existing(dir.filePath(QStringLiteral("t.txt")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("můj text");
        existing.close();

        // The table is found without regard to letter case; an existing text stays.
        Run r = mktest({QStringLiteral("--text"), QStringLiteral("test.dbf"), QStringLiteral("t.txt")}, dir.path());
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("už existuje")), qPrintable(r.err));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("t.txt"))), QByteArray("můj text"));
        r = mktest({QStringLiteral("--text"), QStringLiteral("test.dbf"), QStringLiteral("u.txt")}, dir.path());
        QCOMPARE(r.code, 0);
        QVERIFY(readTestSourceFile(dir.filePath(QStringLiteral("u.txt"))).questions.size() == 2);

        r = mktest({QStringLiteral("--text"), QStringLiteral("chybi.dbf")}, dir.path());
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("neexistuje")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QFile junk(dir.filePath(QStringLiteral("junk.dbf")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(40, 'j'));
        junk.close();
        r = mktest({QStringLiteral("--text"), QStringLiteral("junk.dbf"), QStringLiteral("junk.txt")}, dir.path());
        QCOMPARE(r.code, 1);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("junk.txt"))));
        r = mktest({QStringLiteral("--text"), QStringLiteral("--check"), QStringLiteral("test.dbf")}, dir.path());
        QCOMPARE(r.code, 2);
        QCOMPARE(entries(dir.path()), (QStringList{QStringLiteral("Test.DBF"), QStringLiteral("junk.dbf"), QStringLiteral("t.txt"), QStringLiteral("u.txt")}));
    }
};

QTEST_GUILESS_MAIN(RoundTrip)
#include "tst_roundtrip.moc"
