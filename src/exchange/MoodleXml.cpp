// Moodle XML: the learning platform's full question export, <quiz> with one
// <question type="..."> each.
#include "ExchangeCommon.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace vedomec::exchange {

using namespace detail;

namespace {

struct XAnswer {
    double fraction = 0;
    QString format;
    QString text;
    QString feedback;
};

struct XQuestion {
    QString type;
    int line = 0;
    QString format;
    QString text;
    QString category;
    QString generalFeedback;
    QString combinedFeedback;
    QString hint;
    QString single;
    QString usecase;
    QString defaultGrade;
    QList<XAnswer> answers;
    bool file = false;
    QStringList markup; // HTML elements written as XML elements
};

// Deeper than any question the platform writes; a file nested deeper is
// refused rather than walked.
constexpr int MaxDepth = 64;

bool isTrue(const QString& v)
{
    const QString s = v.trimmed().toLower();
    return s == QLatin1String("true") || s == QLatin1String("1");
}

// The plain text of a text element in the format its element names.
QString valueOf(const QString& text, const QString& format, QStringList& dropped, bool& picture)
{
    const QString f = format.isEmpty() ? QStringLiteral("moodle_auto_format") : format;
    if (f == QLatin1String("html") || f == QLatin1String("moodle_auto_format")) {
        if (text.contains(QLatin1String("@@PLUGINFILE@@")))
            picture = true;
        const HtmlText h = htmlToText(text);
        for (const QString& tag : h.dropped)
            addOnce(dropped, QStringLiteral("formátování HTML %1").arg(tag));
        picture = picture || h.picture;
        return h.text.trimmed();
    }
    const QString trimmed = text.trimmed();
    if (trimmed.contains(u'\n'))
        addOnce(dropped, QStringLiteral("zalomení řádků, nahrazena mezerou"));
    return oneLine(trimmed);
}

QString kindName(const QString& type)
{
    if (type == QLatin1String("numerical"))
        return QStringLiteral("číselná otázka");
    if (type == QLatin1String("match") || type == QLatin1String("randomsamatch"))
        return QStringLiteral("přiřazovací otázka");
    if (type == QLatin1String("essay"))
        return QStringLiteral("otázka s volnou odpovědí (esej)");
    if (type == QLatin1String("description"))
        return QStringLiteral("popis, ne otázka");
    if (type == QLatin1String("multianswer"))
        return QStringLiteral("otázka s doplňováním do textu (cloze)");
    if (type.startsWith(QLatin1String("calculated")))
        return QStringLiteral("počítaná otázka");
    if (type == QLatin1String("random"))
        return QStringLiteral("náhodná otázka");
    if (type == QLatin1String("ordering"))
        return QStringLiteral("otázka na seřazení");
    if (type.startsWith(QLatin1String("dd")) || type == QLatin1String("gapselect"))
        return QStringLiteral("otázka s přetahováním nebo výběrem do textu");
    return QStringLiteral("otázka typu „%1“").arg(type);
}

void carry(Collector& col, const XQuestion& x)
{
    if (x.type == QLatin1String("category")) {
        col.category(x.line, x.category.trimmed());
        return;
    }
    col.found();
    const bool known = x.type == QLatin1String("multichoice") || x.type == QLatin1String("truefalse")
                    || x.type == QLatin1String("shortanswer");
    if (!known) {
        col.omit(x.line, QStringLiteral("%1 (Moodle „%2“); Vedomec má jen výběr, ano/ne a doplňování").arg(kindName(x.type), x.type));
        return;
    }
    Carried c;
    c.line = x.line;
    bool picture = x.file;
    c.question.text = valueOf(x.text, x.format, c.dropped, picture);
    if (!x.generalFeedback.trimmed().isEmpty())
        addOnce(c.dropped, QStringLiteral("obecná zpětná vazba"));
    if (!x.combinedFeedback.trimmed().isEmpty())
        addOnce(c.dropped, QStringLiteral("zpětná vazba k celé odpovědi"));
    for (const QString& tag : x.markup)
        addOnce(c.dropped, QStringLiteral("formátování HTML <%1>").arg(tag));
    if (!x.hint.trimmed().isEmpty())
        addOnce(c.dropped, QStringLiteral("nápovědy"));
    if (!x.defaultGrade.trimmed().isEmpty() && x.defaultGrade.trimmed().toDouble() != 1.0)
        addOnce(c.dropped, QStringLiteral("počet bodů za otázku (%1)").arg(x.defaultGrade.trimmed().toDouble()));
    for (const XAnswer& a : x.answers)
        if (!a.feedback.trimmed().isEmpty())
            addOnce(c.dropped, QStringLiteral("zpětná vazba u odpovědí"));

    if (x.type == QLatin1String("multichoice")) {
        if (x.answers.size() < 2) {
            col.omit(x.line, QStringLiteral("otázka s výběrem má méně než dvě odpovědi"));
            return;
        }
        if (x.answers.size() > 4) {
            col.omit(x.line, QStringLiteral("otázka má %1 odpovědí; test a) b) c) d) jich nese nejvýš čtyři").arg(x.answers.size()));
            return;
        }
        int right = -1;
        int rightCount = 0;
        for (qsizetype i = 0; i < x.answers.size(); ++i) {
            const XAnswer& a = x.answers[i];
            if (a.fraction > 0 && a.fraction < 99.99) {
                col.omit(x.line, QStringLiteral("odpověď %1) má částečný počet bodů (%2 %); Vedomec zná jen jednu správnou odpověď")
                                     .arg(QChar(char16_t(u'a' + i))).arg(a.fraction));
                return;
            }
            if (a.fraction < 0)
                addOnce(c.dropped, QStringLiteral("záporné body za chybné odpovědi"));
            if (a.fraction >= 99.99) {
                right = int(i);
                ++rightCount;
            }
            c.question.answers[i] = valueOf(a.text, a.format, c.dropped, picture);
            if (c.question.answers[i].isEmpty() && !picture) {
                col.omit(x.line, QStringLiteral("odpověď %1) je prázdná").arg(QChar(char16_t(u'a' + i))));
                return;
            }
        }
        if (picture) {
            col.omit(x.line, QStringLiteral("otázka obsahuje obrázek nebo jiný soubor"));
            return;
        }
        if (rightCount != 1) {
            col.omit(x.line, rightCount == 0 ? QStringLiteral("žádná odpověď nemá plný počet bodů")
                                             : QStringLiteral("otázka má %1 správné odpovědi; Vedomec zná jen jednu").arg(rightCount));
            return;
        }
        if (!x.single.isEmpty() && !isTrue(x.single))
            addOnce(c.dropped, QStringLiteral("volba více odpovědí najednou (single=false)"));
        c.type = u'A';
        c.question.correct = QString(QChar(u'A' + right));
        col.add(std::move(c));
        return;
    }
    if (picture) {
        col.omit(x.line, QStringLiteral("otázka obsahuje obrázek nebo jiný soubor"));
        return;
    }
    if (x.type == QLatin1String("truefalse")) {
        int truth = -1;
        for (const XAnswer& a : x.answers) {
            const QString t = a.text.trimmed().toLower();
            if (a.fraction >= 99.99 && (t == QLatin1String("true") || t == QLatin1String("false")))
                truth = t == QLatin1String("true") ? 1 : 0;
        }
        if (truth < 0) {
            col.omit(x.line, QStringLiteral("ani „true“, ani „false“ nemá plný počet bodů"));
            return;
        }
        c.type = u'B';
        c.question.correct = truth ? QStringLiteral("ANO") : QStringLiteral("NE");
        col.add(std::move(c));
        return;
    }
    // Short answer: the first fully accepted answer.
    QStringList others;
    bool haveRight = false;
    for (const XAnswer& a : x.answers) {
        const QString text = oneLine(a.text);
        if (!haveRight && a.fraction >= 99.99) {
            haveRight = true;
            c.question.correct = text;
        } else if (a.fraction > 0) {
            others << QStringLiteral("„%1“").arg(text);
        } else {
            addOnce(c.dropped, QStringLiteral("chybné odpovědi se zpětnou vazbou"));
        }
    }
    if (!haveRight) {
        col.omit(x.line, QStringLiteral("krátká odpověď nemá žádnou odpověď s plným počtem bodů"));
        return;
    }
    if (!others.isEmpty())
        c.dropped.append(QStringLiteral("další uznávané odpovědi %1").arg(others.join(QStringLiteral(", "))));
    const std::optional<QString> literal = literalShortAnswer(c.question.correct);
    if (!literal) {
        col.omit(x.line, QStringLiteral("správná odpověď obsahuje zástupný znak *"));
        return;
    }
    c.question.correct = *literal;
    c.type = u'C';
    c.caseInsensitive = !isTrue(x.usecase);
    col.add(std::move(c));
}

// Where in `path` (from <question> down) the <text> of a text element
// stands: 1 for <questiontext><text>, 2 for <answer><feedback><text>; 0
// when the path is in no text.
qsizetype textDepth(const QStringList& path)
{
    if (path.size() >= 2 && path.at(1) == QLatin1String("text"))
        return 1;
    if (path.size() >= 3 && path.at(0) == QLatin1String("answer") && path.at(1) == QLatin1String("feedback")
        && path.at(2) == QLatin1String("text"))
        return 2;
    return 0;
}

void appendText(XQuestion& x, const QStringList& path, QStringView text)
{
    const QString& first = path.first();
    const qsizetype depth = textDepth(path);
    if (depth == 1) {
        if (first == QLatin1String("questiontext"))
            x.text += text;
        else if (first == QLatin1String("category"))
            x.category += text;
        else if (first == QLatin1String("generalfeedback"))
            x.generalFeedback += text;
        else if (first == QLatin1String("correctfeedback") || first == QLatin1String("partiallycorrectfeedback")
                 || first == QLatin1String("incorrectfeedback"))
            x.combinedFeedback += text;
        else if (first == QLatin1String("hint"))
            x.hint += text;
        else if (first == QLatin1String("answer") && !x.answers.isEmpty())
            x.answers.last().text += text;
    } else if (depth == 2 && !x.answers.isEmpty()) {
        x.answers.last().feedback += text;
    } else if (path.size() == 1) {
        if (first == QLatin1String("single"))
            x.single += text;
        else if (first == QLatin1String("usecase"))
            x.usecase += text;
        else if (first == QLatin1String("defaultgrade"))
            x.defaultGrade += text;
    }
}

[[noreturn]] void notXml(const QXmlStreamReader& r)
{
    throw SourceError(int(r.lineNumber()), QStringLiteral("soubor není platný Moodle XML (%1)").arg(r.errorString()));
}

} // namespace

ImportResult readMoodleXml(const QByteArray& file, const ImportNames& names)
{
    if (file.size() > MaxFileSize)
        throw SourceError(0, QStringLiteral("soubor je příliš velký (%1 MB, nejvýš %2 MB)")
                                 .arg(file.size() / (1024 * 1024))
                                 .arg(MaxFileSize / (1024 * 1024)));
    Collector col(names);
    QXmlStreamReader r(file);
    // The element names from <question> down, and what is being read.
    QStringList path;
    XQuestion x;
    bool inQuestion = false;
    int depth = 0;
    bool root = false;
    while (!r.atEnd()) {
        const QXmlStreamReader::TokenType token = r.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
            throw SourceError(int(r.lineNumber()), QStringLiteral("soubor obsahuje deklaraci <!DOCTYPE>, kterou Moodle XML nemá"));
        case QXmlStreamReader::StartElement: {
            ++depth;
            if (depth > MaxDepth)
                throw SourceError(int(r.lineNumber()), QStringLiteral("prvky jsou vnořené hlouběji než %1 úrovní").arg(MaxDepth));
            const QString name = r.name().toString();
            if (depth == 1) {
                if (name != QLatin1String("quiz"))
                    throw SourceError(int(r.lineNumber()), QStringLiteral("kořenový prvek je <%1>, ne <quiz>; není to soubor Moodle XML").arg(name));
                root = true;
                break;
            }
            if (depth == 2) {
                if (name == QLatin1String("question")) {
                    inQuestion = true;
                    x = XQuestion();
                    x.type = r.attributes().value(QLatin1String("type")).toString();
                    x.line = int(r.lineNumber());
                    path.clear();
                }
                break;
            }
            if (!inQuestion)
                break;
            path.append(name);
            if (name == QLatin1String("file") || name == QLatin1String("image") || name == QLatin1String("image_base64"))
                x.file = true;
            // HTML written as XML elements instead of escaped text: its
            // words are read, its markup is told like any other.
            if (textDepth(path) > 0 && textDepth(path) < path.size() - 1) {
                const QString tag = name.toLower();
                if (tag == QLatin1String("img") || tag == QLatin1String("audio") || tag == QLatin1String("video")
                    || tag == QLatin1String("object") || tag == QLatin1String("embed") || tag == QLatin1String("iframe"))
                    x.file = true;
                else if (tag != QLatin1String("p") && tag != QLatin1String("br") && tag != QLatin1String("div")
                         && tag != QLatin1String("span") && !x.markup.contains(tag))
                    x.markup.append(tag);
                if (tag == QLatin1String("p") || tag == QLatin1String("br") || tag == QLatin1String("div") || tag == QLatin1String("li"))
                    appendText(x, path, u" ");
            }
            if (path.size() == 1 && name == QLatin1String("questiontext"))
                x.format = r.attributes().value(QLatin1String("format")).toString();
            if (path.size() == 1 && name == QLatin1String("answer")) {
                XAnswer a;
                a.fraction = r.attributes().value(QLatin1String("fraction")).toString().toDouble();
                a.format = r.attributes().value(QLatin1String("format")).toString();
                x.answers.append(a);
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            if (inQuestion && depth == 1) {
                inQuestion = false;
                carry(col, x);
            } else if (inQuestion && !path.isEmpty()) {
                path.removeLast();
            }
            break;
        case QXmlStreamReader::Characters:
            if (inQuestion && !path.isEmpty())
                appendText(x, path, r.text());
            break;
        default:
            break;
        }
    }
    if (r.hasError())
        notXml(r);
    if (!root)
        throw SourceError(0, QStringLiteral("soubor nemá prvek <quiz>; není to soubor Moodle XML"));
    return col.finish();
}

namespace {

// XML 1.0 cannot carry most control characters at all.
bool xmlCanHold(const QString& s)
{
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

void textElement(QXmlStreamWriter& w, const QString& element, const QString& text, const QString& format = QString())
{
    w.writeStartElement(element);
    if (!format.isEmpty())
        w.writeAttribute(QStringLiteral("format"), format);
    w.writeTextElement(QStringLiteral("text"), text);
    w.writeEndElement();
}

void answer(QXmlStreamWriter& w, bool right, const QString& text, const QString& format)
{
    w.writeStartElement(QStringLiteral("answer"));
    w.writeAttribute(QStringLiteral("fraction"), right ? QStringLiteral("100") : QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("format"), format);
    w.writeTextElement(QStringLiteral("text"), text);
    textElement(w, QStringLiteral("feedback"), QString(), format);
    w.writeEndElement();
}

} // namespace

ExportResult writeMoodleXml(const TestSource& test)
{
    WriterNotes notes;
    notes.testWide(test, QStringLiteral("Moodle XML"), true);
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("quiz"));
    auto comment = [&w](const QString& label, const QString& value) {
        if (value.isEmpty() || !xmlCanHold(value))
            return;
        // A comment may not hold "--" anywhere.
        QString text = oneLine(value);
        while (text.contains(QLatin1String("--")))
            text.replace(QLatin1String("--"), QLatin1String("- -"));
        w.writeComment(QStringLiteral(" %1: %2 ").arg(label, text));
    };
    comment(QStringLiteral("Test programu Vedomec"), test.title);
    comment(QStringLiteral("Autor"), test.author);
    if (!test.kind.isEmpty() && xmlCanHold(test.kind) && xmlCanHold(test.title)) {
        w.writeStartElement(QStringLiteral("question"));
        w.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
        textElement(w, QStringLiteral("category"), categoryPath(oneLine(test.kind), oneLine(test.title)));
        w.writeEndElement();
    }
    const QString plain = QStringLiteral("plain_text");
    for (qsizetype n = 0; n < test.questions.size(); ++n) {
        const SourceQuestion& q = test.questions[n];
        const int number = int(n) + 1;
        bool holdable = xmlCanHold(q.text) && xmlCanHold(q.correct);
        for (const QString& a : q.answers)
            holdable = holdable && xmlCanHold(a);
        if (!holdable) {
            notes.add(number, QStringLiteral("otázka vynechána: obsahuje řídicí znak, který XML nenese"), true);
            continue;
        }
        if (test.type == u'A' && !notes.choicesHeld(number, q))
            continue;
        const QString type = test.type == u'A' ? QStringLiteral("multichoice")
                           : test.type == u'B' ? QStringLiteral("truefalse")
                                               : QStringLiteral("shortanswer");
        w.writeStartElement(QStringLiteral("question"));
        w.writeAttribute(QStringLiteral("type"), type);
        textElement(w, QStringLiteral("name"), questionName(oneLine(q.text)));
        textElement(w, QStringLiteral("questiontext"), q.text, plain);
        textElement(w, QStringLiteral("generalfeedback"), QString(), plain);
        w.writeTextElement(QStringLiteral("defaultgrade"), QStringLiteral("1"));
        w.writeTextElement(QStringLiteral("hidden"), QStringLiteral("0"));
        if (test.type == u'A') {
            w.writeTextElement(QStringLiteral("single"), QStringLiteral("true"));
            // The author's order: "všechny uvedené" must stay last.
            w.writeTextElement(QStringLiteral("shuffleanswers"), QStringLiteral("false"));
            w.writeTextElement(QStringLiteral("answernumbering"), QStringLiteral("abc"));
            const int right = q.correct.at(0).toUpper().unicode() - u'A';
            for (int i = 0; i < 4; ++i)
                if (!q.answers[i].isEmpty())
                    answer(w, i == right, q.answers[i], plain);
        } else if (test.type == u'B') {
            const bool yes = q.correct.compare(QLatin1String("ANO"), Qt::CaseInsensitive) == 0;
            answer(w, yes, QStringLiteral("true"), QStringLiteral("moodle_auto_format"));
            answer(w, !yes, QStringLiteral("false"), QStringLiteral("moodle_auto_format"));
        } else {
            // Compared as Vedomec compares: letter case included.
            w.writeTextElement(QStringLiteral("usecase"), QStringLiteral("1"));
            answer(w, true, shortAnswerPattern(q.correct), QStringLiteral("moodle_auto_format"));
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return {out, notes.list};
}

} // namespace vedomec::exchange
