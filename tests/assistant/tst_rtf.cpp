// The rich text reader: what the help texts use, and input it must survive.
#include "assistant/Rtf.h"

#include <QTest>

using namespace vedomec;
using namespace vedomec::rtf;

namespace {

QStringList texts(const Document& d)
{
    QStringList out;
    for (const Paragraph& p : d.paragraphs)
        out << p.text();
    return out;
}

// Each run as "text" or "*text*" for bold.
QStringList marked(const Paragraph& p)
{
    QStringList out;
    for (const Run& r : p.runs)
        out << (r.format.bold ? QLatin1Char('*') + r.text + QLatin1Char('*') : r.text);
    return out;
}

Document parse(const char* s)
{
    return Parse(QByteArrayView(s));
}

} // namespace

class TestRtf : public QObject {
    Q_OBJECT
private slots:
    void helpTextAsAWordProcessorWritesIt()
    {
        const Document d = parse(R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
{\colortbl ;\red255\green0\blue0;}
{\*\generator Msftedit 5.41.15.1507;}\viewkind4\uc1\pard\b\f0\fs20 Seznam dostupn\'fdch test\'f9\b0\par
\par
Zobrazuje seznam vytvo\'f8en\'fdch test\'f9, kter\'e9 je mo\'9en\'e9 otev\'f8\'edt.\par
})");
        QCOMPARE(texts(d), (QStringList {"Seznam dostupných testů", "",
                                         "Zobrazuje seznam vytvořených testů, které je možné otevřít."}));
        QCOMPARE(marked(d.paragraphs[0]), QStringList {"*Seznam dostupných testů*"});
        QCOMPARE(d.paragraphs[2].runs.size(), 1);
        const CharFormat f = d.paragraphs[2].runs[0].format;
        QVERIFY(!f.bold);
        QCOMPARE(f.halfPoints, 20);
        const Font* font = d.fontOf(f);
        QVERIFY(font);
        QCOMPARE(font->name, QStringLiteral("Times New Roman CE"));
        QCOMPARE(font->family, FontFamily::Roman);
        QCOMPARE(font->charset, 238);
        // The empty line between has the size it ends in.
        QCOMPARE(d.paragraphs[1].endFormat.halfPoints, 20);
    }

    void groupsKeepTheirFormattingToThemselves()
    {
        const Document d = parse(R"({\rtf1 a{\b b{\b0 c}d}e\b f\b0 g\i h\i0\ul i\ulnone j\plain k})");
        QCOMPARE(d.paragraphs.size(), 1);
        QCOMPARE(marked(d.paragraphs[0]), (QStringList {"a", "*b*", "c", "*d*", "e", "*f*", "g", "h", "i", "jk"}));
        QVERIFY(d.paragraphs[0].runs[7].format.italic);
        QVERIFY(d.paragraphs[0].runs[8].format.underline);
    }

    void fontsAndSizes()
    {
        // Entries with and without braces, with extras inside an entry.
        const Document d = parse(R"({\rtf1\deff1{\fonttbl\f0\fswiss Arial;\f1\froman{\*\panose 02020603050405020304}Times New Roman CE;{\f2\fmodern\fcharset238 Courier New CE;}}
a\f0\fs30 b\f2 c\f7 d\fs0 e})");
        QCOMPARE(d.fonts.size(), 3);
        QCOMPARE(d.fonts.value(0).name, QStringLiteral("Arial"));
        QCOMPARE(d.fonts.value(1).name, QStringLiteral("Times New Roman CE"));
        QCOMPARE(d.defaultFont, 1);
        const QList<Run>& runs = d.paragraphs[0].runs;
        QCOMPARE(runs.size(), 4);
        QCOMPARE(d.fontOf(runs[0].format)->name, QStringLiteral("Times New Roman CE")); // the default
        QCOMPARE(runs[0].format.halfPoints, 24);
        QCOMPARE(d.fontOf(runs[1].format)->name, QStringLiteral("Arial"));
        QCOMPARE(runs[1].format.halfPoints, 30);
        QCOMPARE(d.fontOf(runs[2].format)->name, QStringLiteral("Courier New CE"));
        QCOMPARE(d.fontOf(runs[2].format)->charset, 238);
        QVERIFY(!d.fontOf(runs[3].format)); // no \f7 in the table
        QCOMPARE(runs[3].text, QStringLiteral("de")); // \fs0 changes nothing
    }

    void charactersByNumber()
    {
        const Document d = parse(R"({\rtf1\ansicpg1250 \'e8\'9e\'8a\'ec \'zz\'4 x\u269?\u345 ?\uc2\u283??y\uc0\u367 z\uc1\u-3913?\u55357?\u56832?\u55357?w})");
        // Only hex digits belong to \'; \u is followed by as many stand-ins as \uc says.
        QCOMPARE(texts(d), QStringList {QStringLiteral("čžŠě zz xčřěyůz\uF0B7\U0001F600\uFFFDw")});
    }

    void symbolsAndEscapes()
    {
        const Document d = parse("{\\rtf1 a\\\\b\\{c\\}d\\~e\\_f\\-g\\tab h\\line i\\emdash\\endash\\bullet\\lquote\\rquote"
                                 "\\ldblquote\\rdblquote}");
        QCOMPARE(texts(d), QStringList {QStringLiteral("a\\b{c}d\u00A0e\u2011fg\th\u2028i\u2014\u2013\u2022\u2018\u2019"
                                                       "\u201C\u201D")});
    }

    void unknownWordsAndDestinationsAreSkipped()
    {
        const Document d = parse(R"({\rtf1{\stylesheet{\s0 Normal;}}{\info{\author Jana}{\title T}}\foo123 \barbaz a{\*\unknowndest hidden}b{\*\pict\bin5 }}}}}}c{\header hdr}\nosupersub d\par{\pict\pngblip 89504e47}e\sect f\page g})");
        QCOMPARE(texts(d), (QStringList {"abcd", "e", "f", "g"}));
    }

    void paragraphsEndAtTheirMark()
    {
        QCOMPARE(texts(parse(R"({\rtf1 a\par b})")), (QStringList {"a", "b"}));
        QCOMPARE(texts(parse(R"({\rtf1 a\par})")), QStringList {"a"});
        QCOMPARE(texts(parse(R"({\rtf1 a\par\par})")), (QStringList {"a", ""}));
        QCOMPARE(texts(parse("{\\rtf1 a\\\nb\\\r\nc}")), (QStringList {"a", "b", "c"}));
        // Line ends in the source are no text; what follows the document is not read.
        QCOMPARE(texts(parse("{\\rtf1 a\r\nb}tail{\\b x}")), QStringList {"ab"});
    }

    void plainTextIsLines()
    {
        const QByteArray cz = QByteArray("\xe8") + "erven\xe1\r\nb\xedl\xe1\n\nmodr\xe1\r\n";
        QCOMPARE(texts(Parse(cz)), (QStringList {"červená", "bílá", "", "modrá"}));
        QVERIFY(Parse(QByteArray()).paragraphs.isEmpty());
    }

    void malformedInputNeverFails_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("text");
        QTest::newRow("only the opening") << QByteArray("{\\rtf") << QString();
        QTest::newRow("unclosed groups") << QByteArray("{\\rtf1 a{\\b b{c") << "abc";
        QTest::newRow("extra closings") << QByteArray("{\\rtf1 a}}}}b") << "a";
        QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 a\\") << "a";
        QTest::newRow("hex cut short") << QByteArray("{\\rtf1 a\\'") << "a";
        QTest::newRow("\\u without a number") << QByteArray("{\\rtf1 a\\u b}") << "ab";
        QTest::newRow("huge numbers") << QByteArray("{\\rtf1\\fs999999999999999999999 a\\f-99999999999999 b\\u99999999999 c}")
                                      << "ab\uFFFD";
        QTest::newRow("\\bin past the end") << QByteArray("{\\rtf1 a\\bin999999999 xyz") << "a";
        QTest::newRow("negative \\bin") << QByteArray("{\\rtf1 a\\bin-5 xyz}") << "axyz";
        QTest::newRow("long word") << QByteArray("{\\rtf1 a\\") + QByteArray(5000, 'b') + " c}" << "ac";
        QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a\0b}", 11) << "ab";
        QTest::newRow("font table never closed") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 X") << QString();
        QByteArray deep = "{\\rtf1 ";
        deep += QByteArray(100000, '{') + "\\b x" + QByteArray(100000, '}') + "y}";
        QTest::newRow("deep nesting") << deep << "xy";
    }

    void malformedInputNeverFails()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, text);
        const Document d = Parse(input);
        QCOMPARE(d.plainText(), text);
    }

    void deepNestingStillRestoresFormatting()
    {
        // Beyond the depth the reader follows, groups are counted, not lost.
        QByteArray s = "{\\rtf1 {\\b ";
        s += QByteArray(1000, '{') + "x" + QByteArray(1000, '}') + "y}z}";
        const Document d = Parse(s);
        QCOMPARE(marked(d.paragraphs[0]), (QStringList {"*xy*", "z"}));
    }
};

QTEST_APPLESS_MAIN(TestRtf)
#include "tst_rtf.moc"
