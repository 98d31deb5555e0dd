// GIFT, the learning platform's own text format for questions: a question
// per block of lines, blocks parted by blank lines, the answers in braces.
#include "ExchangeCommon.h"

#include <QRegularExpression>

namespace vedomec::exchange {

using namespace detail;

namespace {

// While the structure of a question is read, an escaped special character
// ("\{", "\=", ...) stands as a private-use character, so that it can never
// open the answers or part them; it becomes itself again in the values.
constexpr char16_t Escaped = 0xE000;
const QString Specials = QStringLiteral(":#={}~");
constexpr char16_t EscapedNewline = Escaped + 6;

QString protect(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = raw.at(i);
        if (c.unicode() >= Escaped && c.unicode() <= EscapedNewline) {
            out += QChar(0xFFFD); // cannot be stored anyway; never taken for a special character
            continue;
        }
        if (c == u'\\' && i + 1 < n) {
            const QChar d = raw.at(i + 1);
            if (d == u'\\') {
                out += u'\\';
                ++i;
                continue;
            }
            const qsizetype special = Specials.indexOf(d);
            if (special >= 0) {
                out += QChar(char16_t(Escaped + special));
                ++i;
                continue;
            }
            if (d == u'n') {
                out += QChar(EscapedNewline);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString unprotect(QString s)
{
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (u >= Escaped && u < EscapedNewline)
            c = Specials.at(u - Escaped);
        else if (u == EscapedNewline)
            c = u'\n';
    }
    return s;
}

enum class TextFormat { Moodle, Html, Plain, Markdown };

// "[html]text": the format a text is written in; the platform's default
// ("moodle") lets HTML through as the html format does.
TextFormat takeFormat(QString& text, TextFormat fallback)
{
    if (!text.startsWith(u'['))
        return fallback;
    const qsizetype end = text.indexOf(u']');
    if (end < 0)
        return fallback;
    const QString name = text.mid(1, end - 1);
    TextFormat f;
    if (name == QLatin1String("moodle"))
        f = TextFormat::Moodle;
    else if (name == QLatin1String("html"))
        f = TextFormat::Html;
    else if (name == QLatin1String("plain"))
        f = TextFormat::Plain;
    else if (name == QLatin1String("markdown"))
        f = TextFormat::Markdown;
    else
        return fallback;
    text = text.mid(end + 1);
    return f;
}

// The value of one text of a question, as plain text.
struct Value {
    QString text;
    bool picture = false;
};

Value valueOf(QString protectedText, TextFormat fallback, QStringList& dropped, TextFormat* used = nullptr)
{
    protectedText = protectedText.trimmed();
    const TextFormat f = takeFormat(protectedText, fallback);
    if (used)
        *used = f;
    if (protectedText.contains(QChar(EscapedNewline)))
        addOnce(dropped, QStringLiteral("zalomení řádku (\\n), nahrazeno mezerou"));
    QString text = unprotect(protectedText).trimmed();
    Value v;
    if (f == TextFormat::Moodle || f == TextFormat::Html) {
        // The platform's reference to a file of its own: a picture as a rule.
        if (text.contains(QLatin1String("@@PLUGINFILE@@")))
            v.picture = true;
        const HtmlText h = htmlToText(text);
        for (const QString& tag : h.dropped)
            addOnce(dropped, QStringLiteral("formátování HTML %1").arg(tag));
        v.picture = v.picture || h.picture;
        v.text = h.text.trimmed();
    } else {
        v.text = oneLine(text);
    }
    return v;
}

// "%50%": an answer's weight in percent.
bool takeWeight(QString& answer, double& weight)
{
    static const QRegularExpression re(QStringLiteral("^%(-*[0-9]{1,2}\\.?[0-9]*)%"));
    const QRegularExpressionMatch m = re.match(answer);
    if (!m.hasMatch())
        return false;
    QString number = m.captured(1);
    const bool negative = number.startsWith(u'-');
    while (number.startsWith(u'-'))
        number.remove(0, 1);
    weight = number.toDouble() * (negative ? -1 : 1);
    answer = answer.mid(m.capturedLength());
    return true;
}

// "text#feedback": the answer without its feedback; feedback is dropped.
QString withoutFeedback(const QString& answer, QStringList& dropped)
{
    const qsizetype hash = answer.indexOf(u'#');
    if (hash < 0)
        return answer;
    if (!answer.mid(hash + 1).trimmed().isEmpty())
        addOnce(dropped, QStringLiteral("zpětná vazba"));
    return answer.left(hash);
}

// Splits "~a =b ~c" (multiple choice) or "=a =b" (short answer) into the
// answers, each keeping its leading '=' for multiple choice.
QStringList splitAnswers(QString answers, bool multipleChoice)
{
    if (multipleChoice)
        answers.replace(u'=', QStringLiteral("~="));
    QStringList parts = answers.split(multipleChoice ? u'~' : u'=');
    if (!parts.isEmpty() && parts.first().trimmed().isEmpty())
        parts.removeFirst();
    return parts;
}

void readQuestion(Collector& col, int line, const QString& block)
{
    col.found();
    QString text = protect(block).trimmed();
    if (text.startsWith(QLatin1String("::"))) {
        text = text.mid(2);
        const qsizetype end = text.indexOf(QLatin1String("::"));
        if (end >= 0)
            text = text.mid(end + 2).trimmed(); // the question's name: a label in the platform's bank only
    }
    const qsizetype open = text.indexOf(u'{');
    const qsizetype close = text.indexOf(u'}');
    if (open < 0 && close < 0) {
        col.omit(line, QStringLiteral("text bez odpovědí ve složených závorkách je v GIFT jen popis, ne otázka"));
        return;
    }
    if (close < 0) {
        col.omit(line, QStringLiteral("chybí zavírací závorka „}“ (znak } v textu se píše \\})"));
        return;
    }
    if (open < 0 || close < open) {
        col.omit(line, QStringLiteral("chybí otevírací závorka „{“ (znak { v textu se píše \\{)"));
        return;
    }
    if (text.indexOf(u'{', open + 1) >= 0 || text.indexOf(u'}', close + 1) >= 0) {
        col.omit(line, QStringLiteral("otázka má víc než jednu dvojici závorek { } (znaky { a } v textu se píší \\{ a \\})"));
        return;
    }
    QString answers = text.mid(open + 1, close - open - 1).trimmed();
    // Answers in the middle of the text: the platform shows a blank there.
    const QString question = close == text.size() - 1 ? text.left(open)
                                                      : text.left(open) + QStringLiteral("_____") + text.mid(close + 1);
    Carried c;
    c.line = line;
    const qsizetype general = answers.lastIndexOf(QLatin1String("####"));
    if (general >= 0) {
        if (!answers.mid(general + 4).trimmed().isEmpty())
            addOnce(c.dropped, QStringLiteral("obecná zpětná vazba"));
        answers = answers.left(general).trimmed();
    }
    TextFormat format = TextFormat::Moodle;
    const Value q = valueOf(question, TextFormat::Moodle, c.dropped, &format);
    if (q.picture) {
        col.omit(line, QStringLiteral("otázka obsahuje obrázek nebo jiné médium"));
        return;
    }
    c.question.text = q.text;

    if (answers.isEmpty()) {
        col.omit(line, QStringLiteral("otázka s volnou odpovědí (esej); Vedomec má jen výběr, ano/ne a doplňování"));
        return;
    }
    if (answers.startsWith(u'#')) {
        col.omit(line, QStringLiteral("číselná otázka; Vedomec má jen výběr, ano/ne a doplňování"));
        return;
    }
    if (answers.contains(u'~')) {
        const QStringList parts = splitAnswers(answers, true);
        if (parts.size() < 2) {
            col.omit(line, QStringLiteral("otázka s výběrem má méně než dvě odpovědi"));
            return;
        }
        if (parts.size() > 4) {
            col.omit(line, QStringLiteral("otázka má %1 odpovědí; test a) b) c) d) jich nese nejvýš čtyři").arg(parts.size()));
            return;
        }
        int right = -1;
        int rightCount = 0;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QString a = parts[i].trimmed();
            double weight = 0;
            if (a.startsWith(u'=')) {
                weight = 100;
                a = a.mid(1);
            } else {
                takeWeight(a, weight);
            }
            if (weight > 0 && weight < 99.99) {
                col.omit(line, QStringLiteral("odpověď %1) má částečný počet bodů (%2 %); Vedomec zná jen jednu správnou odpověď")
                                   .arg(QChar(char16_t(u'a' + i))).arg(weight));
                return;
            }
            if (weight < 0)
                addOnce(c.dropped, QStringLiteral("záporné body za chybné odpovědi"));
            if (weight >= 99.99) {
                right = int(i);
                ++rightCount;
            }
            const Value v = valueOf(withoutFeedback(a, c.dropped), format, c.dropped);
            if (v.picture) {
                col.omit(line, QStringLiteral("odpověď %1) obsahuje obrázek nebo jiné médium").arg(QChar(char16_t(u'a' + i))));
                return;
            }
            if (v.text.isEmpty()) {
                col.omit(line, QStringLiteral("odpověď %1) je prázdná").arg(QChar(char16_t(u'a' + i))));
                return;
            }
            c.question.answers[i] = v.text;
        }
        if (rightCount == 0) {
            col.omit(line, QStringLiteral("žádná odpověď není označena jako správná („=“)"));
            return;
        }
        if (rightCount > 1) {
            col.omit(line, QStringLiteral("otázka má %1 správné odpovědi; Vedomec zná jen jednu").arg(rightCount));
            return;
        }
        c.type = u'A';
        c.question.correct = QString(QChar(u'A' + right));
        col.add(std::move(c));
        return;
    }
    if (answers.contains(u'=') && answers.contains(QLatin1String("->"))) {
        col.omit(line, QStringLiteral("přiřazovací otázka; Vedomec má jen výběr, ano/ne a doplňování"));
        return;
    }
    const qsizetype hash = answers.indexOf(u'#');
    const QString truth = (hash > 0 ? answers.left(hash) : answers).trimmed();
    if (truth == QLatin1String("T") || truth == QLatin1String("TRUE") || truth == QLatin1String("F")
        || truth == QLatin1String("FALSE")) {
        const QStringList bits = answers.split(u'#');
        for (qsizetype i = 1; i < bits.size(); ++i)
            if (!bits[i].trimmed().isEmpty())
                addOnce(c.dropped, QStringLiteral("zpětná vazba"));
        c.type = u'B';
        c.question.correct = truth.startsWith(u'T') ? QStringLiteral("ANO") : QStringLiteral("NE");
        col.add(std::move(c));
        return;
    }

    // Short answer: every "=" is an accepted answer, the first full one is ours.
    const QStringList parts = splitAnswers(answers, false);
    QStringList others;
    bool haveRight = false;
    for (const QString& part : parts) {
        QString a = part.trimmed();
        double weight = 100;
        takeWeight(a, weight);
        const Value v = valueOf(withoutFeedback(a, c.dropped), format, c.dropped);
        if (v.picture) {
            col.omit(line, QStringLiteral("odpověď obsahuje obrázek nebo jiné médium"));
            return;
        }
        if (!haveRight && weight >= 99.99) {
            haveRight = true;
            c.question.correct = v.text;
        } else if (weight > 0) {
            others << QStringLiteral("„%1“").arg(v.text);
        } else {
            addOnce(c.dropped, QStringLiteral("chybné odpovědi se zpětnou vazbou"));
        }
    }
    if (!haveRight) {
        col.omit(line, QStringLiteral("krátká odpověď nemá žádnou odpověď s plným počtem bodů"));
        return;
    }
    if (!others.isEmpty())
        c.dropped.append(QStringLiteral("další uznávané odpovědi %1").arg(others.join(QStringLiteral(", "))));
    const std::optional<QString> literal = literalShortAnswer(c.question.correct);
    if (!literal) {
        col.omit(line, QStringLiteral("správná odpověď obsahuje zástupný znak * (hvězdička se píše \\*)"));
        return;
    }
    c.question.correct = *literal;
    c.type = u'C';
    c.caseInsensitive = true;
    col.add(std::move(c));
}

} // namespace

ImportResult readGift(const QByteArray& file, const ImportNames& names)
{
    const QStringList lines = decodeLines(file);
    Collector col(names);
    QString block;
    int blockLine = 0;
    auto flush = [&] {
        if (blockLine > 0)
            readQuestion(col, blockLine, block);
        block.clear();
        blockLine = 0;
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const int lineNo = int(i) + 1;
        if (line.isEmpty()) {
            flush();
            continue;
        }
        if (line.startsWith(QLatin1String("//")))
            continue;
        if (blockLine == 0 && line.startsWith(QLatin1String("$CATEGORY:"))) {
            // Taken as written: the platform reads no escapes in a category.
            col.category(lineNo, line.mid(10).trimmed());
            continue;
        }
        if (blockLine == 0) {
            blockLine = lineNo;
            block = line;
        } else {
            // The lines of one question are one text: a line break is a blank.
            block += u' ';
            block += line;
        }
    }
    flush();
    return col.finish();
}

namespace {

QString giftEscaped(const QString& s)
{
    QString out;
    out.reserve(s.size() + 8);
    for (const QChar c : s) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (Specials.contains(c))
            out += u'\\' + QString(c);
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c != u'\r')
            out += c;
    }
    return out;
}

// Text the platform would read as HTML or as a format mark is marked plain:
// HTML would also make runs of blanks and a no-break space one blank.
bool needsPlain(const QString& s)
{
    if (s.startsWith(u'[') || s.contains(u'<') || s.contains(u'&') || s.contains(QLatin1String("  "))
        || s.contains(QLatin1String("@@PLUGINFILE@@")))
        return true;
    for (const QChar c : s)
        if (c.isSpace() && c != u' ')
            return true;
    return false;
}

// An answer the platform would read as a weight ("%50%…") or a format mark
// gets a format mark of its own in front.
QString answerText(const QString& s)
{
    return s.startsWith(u'%') || s.startsWith(u'[') ? QStringLiteral("[plain]") + giftEscaped(s) : giftEscaped(s);
}

QString commentLine(const QString& label, const QString& value)
{
    return value.isEmpty() ? QString() : QStringLiteral("// %1: %2\n").arg(label, oneLine(value));
}

} // namespace

ExportResult writeGift(const TestSource& test)
{
    WriterNotes notes;
    notes.testWide(test, QStringLiteral("GIFT"), true);
    QString out;
    out += QStringLiteral("// Test programu Vedomec\n");
    out += commentLine(QStringLiteral("Název"), test.title);
    out += commentLine(QStringLiteral("Druh"), test.kind);
    out += commentLine(QStringLiteral("Autor"), test.author);
    out += u'\n';
    if (!test.kind.isEmpty())
        out += QStringLiteral("$CATEGORY: ") + categoryPath(oneLine(test.kind), oneLine(test.title)) + QStringLiteral("\n\n");
    for (qsizetype n = 0; n < test.questions.size(); ++n) {
        const SourceQuestion& q = test.questions[n];
        const int number = int(n) + 1;
        bool plain = needsPlain(q.text);
        QString body;
        if (test.type == u'A') {
            if (!notes.choicesHeld(number, q))
                continue;
            const int right = q.correct.at(0).toUpper().unicode() - u'A';
            for (int i = 0; i < 4; ++i) {
                if (q.answers[i].isEmpty())
                    continue;
                plain = plain || needsPlain(q.answers[i]);
                body += QStringLiteral("\t") + (i == right ? u'=' : u'~') + answerText(q.answers[i]) + u'\n';
            }
            body = QStringLiteral("{\n") + body + QStringLiteral("}\n");
        } else if (test.type == u'B') {
            body = q.correct.compare(QLatin1String("ANO"), Qt::CaseInsensitive) == 0 ? QStringLiteral("{TRUE}\n") : QStringLiteral("{FALSE}\n");
        } else {
            // "=" with "->" makes a matching question, and the format has no
            // escape for either; a lone short answer needs no "=".
            plain = plain || needsPlain(q.correct);
            body = (q.correct.contains(QLatin1String("->")) ? QStringLiteral("{") : QStringLiteral("{="))
                 + answerText(shortAnswerPattern(q.correct)) + QStringLiteral("}\n");
        }
        out += QStringLiteral("::") + giftEscaped(questionName(oneLine(q.text))) + QStringLiteral("::")
             + (plain ? QStringLiteral("[plain]") : QString()) + giftEscaped(q.text) + body + u'\n';
    }
    if (test.type == u'C')
        notes.add(0, QStringLiteral("GIFT neumí porovnání s ohledem na velká a malá písmena: platforma uzná krátkou odpověď "
                                    "i s jinými velkými a malými písmeny"));
    return {out.toUtf8(), notes.list};
}

} // namespace vedomec::exchange
