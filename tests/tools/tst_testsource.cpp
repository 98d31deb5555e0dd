// The teacher's text format: what it accepts, and that every fault names
// the line a teacher has to fix.
#include "exchange/TestSource.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vedomec::exchange;

namespace {

const char* const HeaderA =
    "# Zkušební test\n"
    "Druh: Zeměpis\n"
    "Název: Řeky a hory\n"
    "Autor: Jiří Čermák\n"
    "Adresa: Náměstí 1, Žďár nad Sázavou\n"
    "E-mail: cermak@skola.example\n"
    "Http: www.skola.example\n"
    "Heslo: tajné\n"
    "Typ: A\n"
    "Čas: 1:05:09\n"
    "\n";

QByteArray sourceA(const char* questions) { return QByteArray(HeaderA) + questions; }

QByteArray header(const char* type, const char* time = "")
{
    return QByteArray("Druh: Přírodověda\nNázev: Zvířata\nTyp: ") + type + "\n" + time + "\n";
}

} // namespace

class TestSourceFormat : public QObject {
    Q_OBJECT
private slots:
    void typeA()
    {
        const TestSource t = parseTestSource(sourceA(
            "Otázka: Nejvyšší hora Česka?\n"
            "a) Sněžka\nb) Praděd\nc) Klínovec\nd) Lysá hora\n"
            "Správně: a\n"
            "\n\n"
            "Otázka: Nejdelší řeka,\n"
            "   která teče jen po našem území?\n"
            "a) Vltava\nb) Labe\nc) Morava\nd) Odra\n"
            "Správně: A)\n"));
        QCOMPARE(t.kind, QStringLiteral("Zeměpis"));
        QCOMPARE(t.title, QStringLiteral("Řeky a hory"));
        QCOMPARE(t.author, QStringLiteral("Jiří Čermák"));
        QCOMPARE(t.address, QStringLiteral("Náměstí 1, Žďár nad Sázavou"));
        QCOMPARE(t.email, QStringLiteral("cermak@skola.example"));
        QCOMPARE(t.http, QStringLiteral("www.skola.example"));
        QCOMPARE(t.password, QStringLiteral("tajné"));
        QCOMPARE(t.type, QChar(u'A'));
        QCOMPARE(t.hours, 1);
        QCOMPARE(t.minutes, 5);
        QCOMPARE(t.seconds, 9);
        QCOMPARE(t.questions.size(), 2);
        QCOMPARE(t.questions[0].line, 12);
        QCOMPARE(t.questions[0].answers[3], QStringLiteral("Lysá hora"));
        QCOMPARE(t.questions[0].correct, QStringLiteral("A"));
        QCOMPARE(t.questions[1].text, QStringLiteral("Nejdelší řeka, která teče jen po našem území?"));
        QCOMPARE(t.questions[1].correct, QStringLiteral("A"));
    }

    void typeB()
    {
        // Windows line ends, a byte-order mark and keys written without accents.
        const TestSource t = parseTestSource(
            "\xEF\xBB\xBF" "Druh: Přírodověda\r\nNazev: Zvířata\r\nTYP: b\r\nCas: neomezeno\r\n\r\n"
            "Otazka: Netopýr je savec.\r\nSpravne: ano\r\n\r\n"
            "Otázka: Velryba je ryba.\r\nSprávně: NE\r\n");
        QCOMPARE(t.type, QChar(u'B'));
        QVERIFY(!t.hasTimeLimit());
        QCOMPARE(t.questions.size(), 2);
        QCOMPARE(t.questions[0].correct, QStringLiteral("ANO"));
        QCOMPARE(t.questions[1].correct, QStringLiteral("NE"));
        QVERIFY(t.author.isEmpty());
    }

    void typeC()
    {
        // Decomposed letters (as some editors save them) arrive composed, and
        // a 254-character Czech text fits exactly: one byte per letter on disk.
        const QString decomposed = QStringLiteral("Praz\u030Cský");
        const QString longText = QString(254, QChar(u'ž'));
        const TestSource t = parseTestSource(header("C", "Čas: 0:10:00") +
            "Otázka: " + longText.toUtf8() + "\n"
            "Správně: " + decomposed.toUtf8() + "\n");
        QCOMPARE(t.minutes, 10);
        QCOMPARE(t.questions.size(), 1);
        QCOMPARE(t.questions[0].text, longText);
        QCOMPARE(t.questions[0].correct, QStringLiteral("Pražský"));
        QCOMPARE(t.questions[0].correct.size(), 7);
    }

    void errorsNameTheLine_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("says");

        const QByteArray okA = "a) 1\nb) 2\nc) 3\nd) 4\n";
        QTest::newRow("missing Správně") << sourceA("Otázka: Kolik?\n" + okA + "\nOtázka: Další?\n" + okA + "Správně: B\n")
                                         << 12 << QStringLiteral("chybí řádek „Správně:“");
        QTest::newRow("wrong letter") << sourceA("Otázka: Kolik?\n" + okA + "Správně: E\n") << 17 << QStringLiteral("A, B, C nebo D");
        QTest::newRow("wrong yes/no") << header("B") + "Otázka: Je?\nSprávně: možná\n" << 6 << QStringLiteral("ANO nebo NE");
        QTest::newRow("too long question")
            << sourceA("Otázka: " + QByteArray(249, 'x') + "\n  yyyyy\n" + okA + "Správně: A\n") << 12 << QStringLiteral("255 znaků");
        QTest::newRow("too long answer") << sourceA("Otázka: Kolik?\na) 1\nb) " + QByteArray(255, 'x') + "\nc) 3\nd) 4\nSprávně: A\n")
                                         << 14 << QStringLiteral("odpověď b)");
        QTest::newRow("too long title") << QByteArray("Druh: X\nTyp: B\nNázev: ") + QString(101, QChar(u'ř')).toUtf8()
                                               + "\n\nOtázka: Je?\nSprávně: ANO\n"
                                        << 3 << QStringLiteral("název testu má 101 znaků, vejde se jich nejvýš 100");
        QTest::newRow("unknown header") << QByteArray("Druh: X\nPředmět: Y\nNázev: Z\nTyp: A\n") << 2 << QStringLiteral("Předmět");
        QTest::newRow("header after questions") << header("B") + "Otázka: Je?\nSprávně: ANO\n\nAutor: Já\n" << 8
                                                << QStringLiteral("patří do hlavičky");
        QTest::newRow("missing type") << QByteArray("Druh: X\nNázev: Y\n\n\nOtázka: Je?\nSprávně: ANO\n") << 5
                                      << QStringLiteral("„Typ:“");
        QTest::newRow("bad type") << QByteArray("Druh: X\nNázev: Y\nTyp: D\n") << 3 << QStringLiteral("typ testu");
        QTest::newRow("answers in a yes/no test") << header("B") + "Otázka: Je?\na) ano\n" << 6 << QStringLiteral("jen do testu typu A");
        QTest::newRow("missing answer") << sourceA("Otázka: Kolik?\na) 1\nb) 2\nd) 4\nSprávně: A\n") << 12
                                        << QStringLiteral("chybí odpověď c)");
        QTest::newRow("answer twice") << sourceA("Otázka: Kolik?\na) 1\nb) 2\nb) 3\n") << 15 << QStringLiteral("podruhé");
        QTest::newRow("answer e)") << sourceA("Otázka: Kolik?\ne) 1\n") << 13 << QStringLiteral("e)");
        QTest::newRow("bad time") << header("B", "Čas: 1:75:00") << 4 << QStringLiteral("hodiny:minuty:sekundy");
        QTest::newRow("time without seconds") << header("B", "Čas: 0:15") << 4 << QStringLiteral("hodiny:minuty:sekundy");
        QTest::newRow("not UTF-8") << header("B") + "Otázka: Je to \xE8\x65sky?\nSprávně: ANO\n" << 5 << QStringLiteral("UTF-8");
        QTest::newRow("letter outside Windows-1250") << header("C") + "Otázka: Jak se řekne жук?\nSprávně: brouk\n" << 5
                                                     << QStringLiteral("U+0436");
        // A character beyond the Basic Multilingual Plane is named whole.
        QTest::newRow("emoji") << header("C") + "Otázka: Usměj se \xF0\x9F\x98\x80?\nSprávně: ano\n" << 5
                               << QStringLiteral("„\U0001F600“ (U+1F600)");
        QTest::newRow("block without Otázka") << sourceA("Otázka: Kolik?\n" + okA + "Správně: A\n\na) navíc\n") << 19
                                              << QStringLiteral("„Otázka:“");
        QTest::newRow("empty fill-in answer") << header("C") + "Otázka: Hlavní město?\nSprávně:\n" << 6 << QStringLiteral("prázdná");
        QTest::newRow("stray indented line") << QByteArray("  Druh: X\n") << 1 << QStringLiteral("odsazený");
        QTest::newRow("no questions") << header("B") << 4 << QStringLiteral("žádnou otázku");
    }

    void errorsNameTheLine()
    {
        QFETCH(QByteArray, source);
        QFETCH(int, line);
        QFETCH(QString, says);
        try {
            parseTestSource(source);
            QFAIL("the source was accepted");
        } catch (const SourceError& e) {
            QVERIFY2(e.detail().contains(says), qPrintable(e.message()));
            QCOMPARE(e.line(), line);
            QVERIFY(e.message().startsWith(QStringLiteral("řádek %1: ").arg(line)));
        }
    }

    void unreadableFile()
    {
        QTemporaryDir dir;
        try {
            readTestSourceFile(dir.filePath(QStringLiteral("není.txt")));
            QFAIL("a missing file was read");
        } catch (const SourceError& e) {
            QCOMPARE(e.line(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestSourceFormat)
#include "tst_testsource.moc"
