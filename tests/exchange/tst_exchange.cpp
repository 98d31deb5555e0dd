// Tests to and from GIFT, Aiken and Moodle XML: the corners of each format
// as its documentation writes them, what a table cannot carry (told with the
// line, left out), the sample tests there and back, and hostile files.
#include "exchange/Exchange.h"
#include "exchange/TestSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

using namespace vedomec::exchange;

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

// The diagnostic of `line`, or a failing test naming what there was.
const Diagnostic* at(const ImportResult& r, int line)
{
    for (const Diagnostic& d : r.diagnostics)
        if (d.line == line)
            return &d;
    return nullptr;
}

QString all(const QList<Diagnostic>& list)
{
    QStringList s;
    for (const Diagnostic& d : list)
        s << QStringLiteral("%1: %2").arg(d.line).arg(d.text);
    return s.join(u'\n');
}

const TestSource* ofType(const ImportResult& r, QChar type)
{
    for (const TestSource& t : r.tests)
        if (t.type == type)
            return &t;
    return nullptr;
}

QString sampleDir()
{
    return QDir(qEnvironmentVariable("VEDOMEC_SOURCE_DIR")).filePath(QStringLiteral("sample"));
}

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
private slots:
    void giftCorners()
    {
        // Escapes, comments, a title, a multi-line question, answers with
        // "=" and "~" inside, a blank line ending each question, "\n".
        const char* text =
            "// Otázky z fyziky — komentář se nečte\n"
            "$CATEGORY: $course$/top/Fyzika/Jednotky\n"
            "\n"
            "::Zápis::Jak se zapíše rovnost\n"
            "   v matematice? {\n"
            "  // komentář uvnitř otázky\n"
            "  =znakem \\=\n"
            "  ~znakem \\~\n"
            "  ~znaky \\{ a \\}\n"
            "  ~znakem \\# nebo \\:\n"
            "}\n"
            "\n"
            "\n"
            "Cesta C:\\\\Windows má zpětné lomítko.{T}\n"
            "Slunce je hvězda.{TRUE#chybně#správně}\n"
            "\n"
            "Měsíc je planeta.{FALSE}\n"
            "\n"
            "Jednotka síly je {=newton =N} a značí se velkým N.\n"
            "\n"
            "První řádek\\ndruhý řádek{=ano}\n";
        const ImportResult r = readGift(Bom + QByteArray(text), {});
        QCOMPARE(r.questionsFound, 5);
        QCOMPARE(r.tests.size(), 3);
        const TestSource* a = ofType(r, u'A');
        QVERIFY(a);
        QCOMPARE(a->kind, QStringLiteral("Fyzika"));
        QCOMPARE(a->title, QStringLiteral("Jednotky – a) b) c) d)"));
        QCOMPARE(a->questions.size(), 1);
        const SourceQuestion& q = a->questions.first();
        QCOMPARE(q.line, 4);
        QCOMPARE(q.text, QStringLiteral("Jak se zapíše rovnost v matematice?"));
        QCOMPARE(q.answers[0], QStringLiteral("znakem ="));
        QCOMPARE(q.answers[1], QStringLiteral("znakem ~"));
        QCOMPARE(q.answers[2], QStringLiteral("znaky { a }"));
        QCOMPARE(q.answers[3], QStringLiteral("znakem # nebo :"));
        QCOMPARE(q.correct, QStringLiteral("A"));

        // Two lines without a blank between them are one block: the second
        // question there has text after its braces, which the first's
        // answers swallow; the format's rule, so it is told, not guessed.
        const TestSource* b = ofType(r, u'B');
        QVERIFY(b);
        QCOMPARE(b->questions.size(), 1);
        QCOMPARE(b->questions[0].text, QStringLiteral("Měsíc je planeta."));
        QCOMPARE(b->questions[0].correct, QStringLiteral("NE"));
        const Diagnostic* twoInOne = at(r, 14);
        QVERIFY2(twoInOne && twoInOne->omitted, qPrintable(all(r.diagnostics)));

        const TestSource* c = ofType(r, u'C');
        QVERIFY(c);
        QCOMPARE(c->questions.size(), 2);
        // Answers in the middle of the text: a blank, as the platform shows it.
        QCOMPARE(c->questions[0].text, QStringLiteral("Jednotka síly je _____ a značí se velkým N."));
        QCOMPARE(c->questions[0].correct, QStringLiteral("newton"));
        QVERIFY2(at(r, 19) && at(r, 19)->text.contains(QStringLiteral("„N“")), qPrintable(all(r.diagnostics)));
        QCOMPARE(c->questions[1].text, QStringLiteral("První řádek druhý řádek"));
        QVERIFY(at(r, 21) && at(r, 21)->text.contains(QStringLiteral("\\n")));

        // Without a byte-order mark and with CR LF the same file reads the same.
        QByteArray crlf(text);
        crlf.replace("\n", "\r\n");
        const ImportResult same = readGift(crlf, {});
        QCOMPARE(same.tests.size(), r.tests.size());
        for (qsizetype i = 0; i < r.tests.size(); ++i)
            QVERIFY(sameContent(same.tests[i], r.tests[i]));
    }

    void giftWhatCannotBeCarried()
    {
        const QByteArray text =
            "Kolik je 1+1?{=2 ~3 ~4 ~5 ~6}\n"                                 // 1: five choices
            "\n"
            "Co jsou savci?{~%50%pes ~%50%kočka ~žába}\n"                     // 3: weights
            "\n"
            "Co jsou ptáci?{=vrabec =sýkora ~kapr}\n"                         // 5: two right
            "\n"
            "Rok bitvy na Bílé hoře?{#1620}\n"                                // 7: numeric
            "\n"
            "Přiřaď.{=pes -> štěká =kočka -> mňouká}\n"                       // 9: matching
            "\n"
            "Popiš jaro.{}\n"                                                 // 11: essay
            "\n"
            "Jen popis bez otázky.\n"                                         // 13: description
            "\n"
            "[html]<p>Kde je <b>Brno</b>?</p><img src=\"@@PLUGINFILE@@/m.png\">{=na Moravě}\n" // 15: picture
            "\n"
            "[html]<p>Kde je <b>Ostrava</b>?</p>{=ve Slezsku#ano ~na Hané}\n" // 17: HTML, feedback
            "\n"
            "Neuzavřená {=a ~b\n"                                              // 19
            "\n"
            "Správná je hvězda.{=a*b}\n"                                      // 21: wildcard
            "\n"
            "Co je víc?{=1 ~2 ~3 ####obecná}\n";                              // 23: general feedback
        const ImportResult r = readGift(text, {QStringLiteral("Druh"), QStringLiteral("Název"), {}, {}});
        const struct {
            int line;
            bool omitted;
            const char* says;
        } expected[] = {
            {1, true, "5 odpovědí"}, {3, true, "částečný počet bodů"}, {5, true, "2 správné"},
            {7, true, "číselná"}, {9, true, "přiřazovací"}, {11, true, "esej"}, {13, true, "popis"},
            {15, true, "obrázek"}, {17, false, "<b>"}, {19, true, "zavírací"}, {21, true, "zástupný znak"},
            {23, false, "obecná zpětná vazba"},
        };
        for (const auto& e : expected) {
            const Diagnostic* d = at(r, e.line);
            QVERIFY2(d, qPrintable(QStringLiteral("nothing said of line %1:\n%2").arg(e.line).arg(all(r.diagnostics))));
            QVERIFY2(d->omitted == e.omitted && d->text.contains(QString::fromUtf8(e.says)),
                     qPrintable(QStringLiteral("line %1: %2").arg(e.line).arg(d->text)));
        }
        QVERIFY(at(r, 17)->text.contains(QStringLiteral("zpětná vazba")));
        QCOMPARE(r.questionsFound, 12);
        const TestSource* a = ofType(r, u'A');
        QVERIFY(a);
        QCOMPARE(a->questions.size(), 2);
        QCOMPARE(a->questions[0].text, QStringLiteral("Kde je Ostrava?"));
        QCOMPARE(a->questions[0].answers[0], QStringLiteral("ve Slezsku"));
        QCOMPARE(a->questions[0].answers[1], QStringLiteral("na Hané"));
        QVERIFY(a->questions[0].answers[2].isEmpty());
        QCOMPARE(a->title, QStringLiteral("Název"));
    }

    void widthAndCodePageAsTheTextForm()
    {
        const QString longText = QString(300, u'x');
        const QByteArray text = "Otázka " + longText.toUtf8() + "{T}\n\n"
                                "Smajlík \xF0\x9F\x98\x80 je veselý.{T}\n\n"
                                "Mám rád „uvozovky“ – i pomlčku.{T}\n";
        const ImportResult r = readGift(text, {});
        QVERIFY(at(r, 1) && at(r, 1)->omitted);
        QVERIFY2(at(r, 1)->text.contains(QStringLiteral("má 307 znaků, vejde se jich nejvýš 254")), qPrintable(at(r, 1)->text));
        QVERIFY(at(r, 3) && at(r, 3)->omitted);
        QVERIFY2(at(r, 3)->text.contains(QStringLiteral("U+1F600")), qPrintable(at(r, 3)->text));
        QCOMPARE(r.tests.size(), 1);
        QCOMPARE(r.tests[0].questions.size(), 1);

        // Test-wide values are checked as the table takes them.
        TestSource t = r.tests[0];
        QCOMPARE(testWideProblem(t), QStringLiteral("druh testu chybí"));
        t.kind = QString(51, u'k');
        t.title = QStringLiteral("T");
        QVERIFY(testWideProblem(t).contains(QStringLiteral("nejvýš 50")));
    }

    void aikenLetterForms()
    {
        const QByteArray text =
            "Které město je hlavním městem Slovenska?\n"     // 1
            "A) Košice\n"
            "B) Bratislava\n"
            "C) Žilina\n"
            "D) Nitra\n"
            "ANSWER: B\n"
            "Kolik nohou má pavouk?\n"                        // 7: no blank line needed
            "A. šest\n"
            "B. osm\n"
            "ANSWER: b\n"                                   // 10: read, but the platform wants a capital
            "\n"
            "A. Jirásek napsal Staré pověsti\n"              // 12: a question may look like a choice
            "české. Kdy vyšly?\n"                            // and go on over a second line
            "A) 1894\n"
            "B) 1920\n"
            "C) 1850\n"
            "answer: A\n"                                   // 17: and the keyword in capitals
            "\n"
            "Bez správné odpovědi?\n"                        // 19
            "A) ano\n"
            "B) ne\n"
            "\n"
            "Pět možností\n"                                 // 23
            "A) 1\nB) 2\nC) 3\nD) 4\nE) 5\n"
            "ANSWER: E\n"
            "Odkaz mimo\n"                                   // 30
            "A) x\nB) y\n"
            "ANSWER: C\n";
        const ImportResult r = readAiken(text, {QStringLiteral("Zeměpis"), QStringLiteral("Města"), QStringLiteral("J. Novák"), {}});
        QCOMPARE(r.questionsFound, 6);
        QCOMPARE(r.tests.size(), 1);
        const TestSource& t = r.tests.first();
        QCOMPARE(t.type, QChar(u'A'));
        QCOMPARE(t.author, QStringLiteral("J. Novák"));
        QCOMPARE(t.questions.size(), 3);
        QCOMPARE(t.questions[0].answers[1], QStringLiteral("Bratislava"));
        QCOMPARE(t.questions[0].correct, QStringLiteral("B"));
        QCOMPARE(t.questions[1].answers[1], QStringLiteral("osm"));
        QCOMPARE(t.questions[1].correct, QStringLiteral("B"));
        QVERIFY(t.questions[1].answers[2].isEmpty());
        QCOMPARE(t.questions[2].text, QStringLiteral("A. Jirásek napsal Staré pověsti české. Kdy vyšly?"));
        QCOMPARE(t.questions[2].line, 12);
        QVERIFY2(at(r, 19) && at(r, 19)->omitted && at(r, 19)->text.contains(QStringLiteral("ANSWER")), qPrintable(all(r.diagnostics)));
        QVERIFY(at(r, 23) && at(r, 23)->text.contains(QStringLiteral("5 odpovědí")));
        QVERIFY(at(r, 30) && at(r, 30)->text.contains(QStringLiteral("„ANSWER: C“")));
        for (int line : {10, 17})
            QVERIFY2(at(r, line) && !at(r, line)->omitted && at(r, line)->text.contains(QStringLiteral("Moodle přijme jen „ANSWER:“")),
                     qPrintable(all(r.diagnostics)));
        QCOMPARE(r.diagnostics.size(), 5);

        const ImportResult withBom = readAiken(Bom + text, {QStringLiteral("Zeměpis"), QStringLiteral("Města"), QStringLiteral("J. Novák"), {}});
        QVERIFY(sameContent(withBom.tests.first(), t));
    }

    void moodleXmlCorners()
    {
        const QByteArray xml = Bom +
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<quiz>\n"                                                                        // 2
            "  <question type=\"category\"><category><text>$course$/top/Chemie//Fyzika/Prvky</text></category></question>\n"
            "  <question type=\"multichoice\">\n"                                             // 4
            "    <name><text>Q1</text></name>\n"
            "    <questiontext format=\"html\"><text><![CDATA[<p>Značka prvku <i>železo</i> &amp; spol.?</p>]]></text></questiontext>\n"
            "    <defaultgrade>1.0000000</defaultgrade>\n"
            "    <single>true</single>\n"
            "    <correctfeedback format=\"html\"><text>Správně.</text></correctfeedback>\n"
            "    <answer fraction=\"0\" format=\"html\"><text>Zn</text><feedback><text></text></feedback></answer>\n"
            "    <answer fraction=\"100\" format=\"html\"><text><![CDATA[<p>Fe</p>]]></text></answer>\n"
            "    <answer fraction=\"-33.33333\" format=\"plain_text\"><text>F &lt; Fe</text></answer>\n"
            "  </question>\n"
            "  <question type=\"truefalse\">\n"                                               // 14
            "    <questiontext format=\"plain_text\"><text>Voda vře při 100 &#xB0;C.</text></questiontext>\n"
            "    <answer fraction=\"100\"><text>true</text></answer>\n"
            "    <answer fraction=\"0\"><text>false</text></answer>\n"
            "  </question>\n"
            "  <question type=\"shortanswer\">\n"                                             // 19
            "    <questiontext format=\"moodle_auto_format\"><text>Chemická značka kyslíku</text></questiontext>\n"
            "    <usecase>1</usecase>\n"
            "    <answer fraction=\"100\"><text>O</text></answer>\n"
            "    <answer fraction=\"50\"><text>O2</text></answer>\n"
            "  </question>\n"
            "  <question type=\"multichoice\">\n"                                             // 25
            "    <questiontext format=\"html\"><text>Co jsou kovy?</text></questiontext>\n"
            "    <single>false</single>\n"
            "    <answer fraction=\"50\"><text>Fe</text></answer>\n"
            "    <answer fraction=\"50\"><text>Cu</text></answer>\n"
            "    <answer fraction=\"0\"><text>O</text></answer>\n"
            "  </question>\n"
            "  <question type=\"numerical\"><questiontext><text>2+2</text></questiontext></question>\n" // 32
            "  <question type=\"truefalse\">\n"                                               // 33
            "    <questiontext format=\"html\"><text>Obrázek</text><file name=\"a.png\" encoding=\"base64\">AAAA</file></questiontext>\n"
            "    <answer fraction=\"100\"><text>true</text></answer>\n"
            "  </question>\n"
            "  <question type=\"truefalse\">\n"                                               // 37
            "    <questiontext format=\"html\"><text><p>Ocel je <b>slitina</b>.</p><p>Železa.</p></text></questiontext>\n"
            "    <answer fraction=\"100\"><text>true</text></answer>\n"
            "  </question>\n"
            "</quiz>\n";
        const ImportResult r = readMoodleXml(xml, {});
        QCOMPARE(r.questionsFound, 7);
        const TestSource* a = ofType(r, u'A');
        QVERIFY(a);
        QCOMPARE(a->kind, QStringLiteral("Chemie/Fyzika"));
        QCOMPARE(a->title, QStringLiteral("Prvky – a) b) c) d)"));
        QCOMPARE(a->questions.size(), 1);
        QCOMPARE(a->questions[0].text, QStringLiteral("Značka prvku železo & spol.?"));
        QCOMPARE(a->questions[0].answers[1], QStringLiteral("Fe"));
        QCOMPARE(a->questions[0].answers[2], QStringLiteral("F < Fe"));
        QCOMPARE(a->questions[0].correct, QStringLiteral("B"));
        const Diagnostic* four = at(r, 4);
        QVERIFY2(four && !four->omitted, qPrintable(all(r.diagnostics)));
        QVERIFY(four->text.contains(QStringLiteral("<i>")) && four->text.contains(QStringLiteral("záporné body"))
                && four->text.contains(QStringLiteral("k celé odpovědi")));
        QCOMPARE(ofType(r, u'B')->questions[0].text, QStringLiteral("Voda vře při 100 °C."));
        QCOMPARE(ofType(r, u'B')->questions[0].correct, QStringLiteral("ANO"));
        // HTML written as XML elements rather than as text: words kept, markup told.
        QCOMPARE(ofType(r, u'B')->questions[1].text, QStringLiteral("Ocel je slitina. Železa."));
        QVERIFY(at(r, 37) && at(r, 37)->text.contains(QStringLiteral("<b>")));
        QCOMPARE(ofType(r, u'C')->questions[0].correct, QStringLiteral("O"));
        QVERIFY(at(r, 19) && at(r, 19)->text.contains(QStringLiteral("„O2“")));
        QVERIFY(at(r, 25) && at(r, 25)->omitted);
        QVERIFY(at(r, 32) && at(r, 32)->omitted && at(r, 32)->text.contains(QStringLiteral("numerical")));
        QVERIFY(at(r, 33) && at(r, 33)->omitted && at(r, 33)->text.contains(QStringLiteral("obrázek")));
        // usecase=1: compared as Vedomec compares, nothing to say of it.
        for (const Diagnostic& d : r.diagnostics)
            QVERIFY(!d.text.contains(QStringLiteral("velká a malá")));
    }

    void samplesThereAndBack_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<int>("format");
        const char* samples[] = {"MestaEvropy", "Prirodoveda", "SlovniDruhy", "VyjmenovanaSlova", "ZemepisCR"};
        const Format formats[] = {Format::Gift, Format::Aiken, Format::MoodleXml};
        for (const char* s : samples)
            for (Format f : formats)
                QTest::addRow("%s %s", s, qPrintable(formatName(f))) << QString::fromLatin1(s) << int(f);
    }

    void samplesThereAndBack()
    {
        QFETCH(QString, sample);
        QFETCH(int, format);
        const Format f = Format(format);
        const TestSource ours = readTestSourceFile(QDir(sampleDir()).filePath(sample + QStringLiteral(".txt")));
        if (f == Format::Aiken && ours.type != u'A') {
            QVERIFY_THROWS_EXCEPTION(SourceError, writeAiken(ours));
            return;
        }
        const ExportResult out = writeExchange(f, ours);
        for (const Diagnostic& d : out.diagnostics)
            QVERIFY2(!d.omitted, qPrintable(d.text));
        // What the format cannot hold is said once for the whole test.
        QCOMPARE(out.diagnostics.size(), ours.type == u'C' && f == Format::Gift ? 2 : 1);
        QVERIFY(out.diagnostics.first().text.contains(QStringLiteral("autor")));
        QVERIFY(out.diagnostics.first().text.contains(QStringLiteral("časový limit")) == ours.hasTimeLimit());

        ImportNames names;
        names.author = ours.author;
        if (f == Format::Aiken) {
            names.kind = ours.kind;
            names.title = ours.title;
        }
        const ImportResult back = readExchange(f, out.file, names);
        QVERIFY2(back.diagnostics.size() <= 1, qPrintable(all(back.diagnostics)));
        QCOMPARE(back.tests.size(), 1);
        TestSource again = back.tests.first();
        QCOMPARE(again.kind, ours.kind);
        QCOMPARE(again.title, ours.title);
        again.address = ours.address;
        again.email = ours.email;
        again.http = ours.http;
        again.password = ours.password;
        again.hours = ours.hours;
        again.minutes = ours.minutes;
        again.seconds = ours.seconds;
        QVERIFY(sameContent(again, ours));
    }

    void writersWriteWhatThePlatformReads()
    {
        TestSource t;
        t.kind = QStringLiteral("Matika/Algebra");
        t.title = QStringLiteral("Znaky: { } ~ = # \\");
        t.type = u'A';
        SourceQuestion q;
        q.text = QStringLiteral("Platí 3 < 5 && 5 > 3? [ano]  dvě mezery");
        q.answers[0] = QStringLiteral("[html]<b>ano</b>");
        q.answers[1] = QStringLiteral("ne = ~ne");
        q.answers[2] = QStringLiteral("a: b # c");
        q.answers[3] = QStringLiteral("C:\\\\n");
        q.correct = QStringLiteral("A");
        t.questions = {q, q};
        t.questions[1].correct = QStringLiteral("D");
        for (Format f : {Format::Gift, Format::Aiken, Format::MoodleXml}) {
            const ExportResult out = writeExchange(f, t);
            const ImportResult back = readExchange(f, out.file, f == Format::Aiken ? ImportNames{t.kind, t.title, {}, {}} : ImportNames{});
            QVERIFY2(back.diagnostics.isEmpty(), qPrintable(formatName(f) + u'\n' + all(back.diagnostics) + u'\n' + QString::fromUtf8(out.file)));
            QCOMPARE(back.tests.size(), 1);
            QVERIFY2(sameContent(back.tests.first(), t), qPrintable(QString::fromUtf8(out.file)));
        }
        // The platform's question type names, and one right answer.
        const QString xml = QString::fromUtf8(writeMoodleXml(t).file);
        QVERIFY(xml.contains(QStringLiteral("<question type=\"multichoice\">")));
        QVERIFY(xml.contains(QStringLiteral("<single>true</single>")));
        QVERIFY(xml.contains(QStringLiteral("<text>Matika//Algebra/Znaky: { } ~ = # \\</text>")));
        QCOMPARE(xml.count(QStringLiteral("fraction=\"100\"")), 2);
        t.type = u'B';
        t.questions = {q};
        t.questions[0].correct = QStringLiteral("NE");
        QVERIFY(QString::fromUtf8(writeMoodleXml(t).file).contains(QStringLiteral("<question type=\"truefalse\">")));
        QVERIFY(QString::fromUtf8(writeGift(t).file).contains(QStringLiteral("{FALSE}")));
        t.type = u'C';
        t.questions[0].correct = QStringLiteral("2*3=6");
        const QString sa = QString::fromUtf8(writeMoodleXml(t).file);
        QVERIFY(sa.contains(QStringLiteral("<question type=\"shortanswer\">")) && sa.contains(QStringLiteral("<usecase>1</usecase>")));
        QVERIFY(sa.contains(QStringLiteral("<text>2\\*3=6</text>")));
        QVERIFY(QString::fromUtf8(writeGift(t).file).contains(QStringLiteral("{=2\\\\*3\\=6}")));
        QCOMPARE(readGift(writeGift(t).file, {}).tests.first().questions.first().correct, QStringLiteral("2*3=6"));
        // A title with dashes stays out of the XML comment's way.
        t.title = QStringLiteral("Test ---- pomlčky -");
        QCOMPARE(readMoodleXml(writeMoodleXml(t).file, {}).tests.first().title, t.title);
        // The platform's file reference is a picture only where HTML is read.
        t.questions[0].correct = QStringLiteral("@@PLUGINFILE@@");
        t.questions[0].text = QStringLiteral("Jak se píše odkaz na soubor platformy?");
        QCOMPARE(readGift(writeGift(t).file, {}).tests.first().questions.first().correct, QStringLiteral("@@PLUGINFILE@@"));
        QCOMPARE(readMoodleXml(writeMoodleXml(t).file, {}).tests.first().questions.first().correct, QStringLiteral("@@PLUGINFILE@@"));
        // "=" with "->" would be a matching question: the lone answer goes without "=".
        t.questions[0].correct = QStringLiteral("kyselina -> sůl");
        QCOMPARE(readGift(writeGift(t).file, {}).tests.first().questions.first().correct, QStringLiteral("kyselina -> sůl"));
    }

    void hostileInput()
    {
        // Each gives a clear error or a report, never a crash, and soon.
        QElapsedTimer clock;
        clock.start();
        try {
            readGift(QByteArray(MaxFileSize + 1, 'a'), {});
            QFAIL("a file beyond the limit was read");
        } catch (const SourceError& e) {
            QVERIFY(e.detail().contains(QStringLiteral("příliš velký")));
        }
        QVERIFY_THROWS_EXCEPTION(SourceError, readMoodleXml(QByteArray(MaxFileSize + 1, ' '), {}));

        const ImportResult braces = readGift(QByteArray(4 * 1024 * 1024, '{'), {});
        QVERIFY(braces.tests.isEmpty());
        QVERIFY(braces.diagnostics.first().text.contains(QStringLiteral("zavírací")));
        const ImportResult closing = readGift(QByteArray(1024 * 1024, '}') + "{", {});
        QVERIFY(closing.tests.isEmpty() && closing.diagnostics.size() == 1);
        const ImportResult tags = readGift("[html]" + QByteArray(1024 * 1024, '<') + "a{T}", {});
        QCOMPARE(tags.diagnostics.size(), 1);
        const ImportResult aiken = readAiken(QByteArray(2 * 1024 * 1024, 'A') + "\nA) x\n", {});
        QCOMPARE(aiken.diagnostics.size(), 1);

        try {
            readGift("Otázka{T}\n\nŠpatně \xC5 kódovaná{T}\n", {});
            QFAIL("invalid UTF-8 was read");
        } catch (const SourceError& e) {
            QCOMPARE(e.line(), 3);
            QVERIFY(e.detail().contains(QStringLiteral("UTF-8")));
        }
        QVERIFY_THROWS_EXCEPTION(SourceError, readAiken(QByteArray("a\0b\nA) x\n", 9), {}));

        const QByteArray deep = "<quiz>" + QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000) + "</quiz>";
        try {
            readMoodleXml(deep, {});
            QFAIL("deep nesting was walked");
        } catch (const SourceError& e) {
            QVERIFY(e.detail().contains(QStringLiteral("vnořené")));
        }
        const QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE quiz [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
                                "<quiz><question type=\"truefalse\"><questiontext><text>&b;</text></questiontext></question></quiz>";
        QVERIFY_THROWS_EXCEPTION(SourceError, readMoodleXml(bomb, {}));
        try {
            readMoodleXml("<quiz><question type=\"truefalse\">\n<questiontext><text>x</questiontext>", {});
            QFAIL("broken XML was read");
        } catch (const SourceError& e) {
            QCOMPARE(e.line(), 2);
        }
        QVERIFY_THROWS_EXCEPTION(SourceError, readMoodleXml("<html><body/></html>", {}));
        QVERIFY_THROWS_EXCEPTION(SourceError, readMoodleXml("<quiz>\xFF\xFE</quiz>", {}));
        QVERIFY_THROWS_EXCEPTION(SourceError, readMoodleXml("", {}));
        QVERIFY(clock.elapsed() < 60000);
    }

    void guessesTheFormatOfAFile()
    {
        QCOMPARE(guessFormat(QStringLiteral("a.gift"), {}), std::optional<Format>(Format::Gift));
        QCOMPARE(guessFormat(QStringLiteral("a.XML"), {}), std::optional<Format>(Format::MoodleXml));
        QCOMPARE(guessFormat(QStringLiteral("a.txt"), "Otázka?\nA) x\nB) y\nANSWER: A\n"), std::optional<Format>(Format::Aiken));
        QCOMPARE(guessFormat(QStringLiteral("a.txt"), "// c\nOtázka?{T}\n"), std::optional<Format>(Format::Gift));
        QCOMPARE(guessFormat(QStringLiteral("a.txt"), "Druh: x\nOtázka: y\nSprávně: ANO\n"), std::nullopt);
        QCOMPARE(guessFormat(QStringLiteral("a.txt"), "nic\n"), std::nullopt);
        QCOMPARE(formatFromOption(QStringLiteral("moodle")), std::optional<Format>(Format::MoodleXml));
        QCOMPARE(formatFromOption(QStringLiteral("qti")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
