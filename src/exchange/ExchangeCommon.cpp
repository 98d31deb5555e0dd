#include "ExchangeCommon.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace vedomec::exchange::detail {

QStringList decodeLines(const QByteArray& file)
{
    if (file.size() > MaxFileSize)
        throw SourceError(0, QStringLiteral("soubor je příliš velký (%1 MB, nejvýš %2 MB)")
                                 .arg(file.size() / (1024 * 1024))
                                 .arg(MaxFileSize / (1024 * 1024)));
    QByteArrayView bytes(file);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.contains(QChar(0))) {
        // Only now line by line, to name the line a teacher has to fix.
        int line = 0;
        for (const QByteArrayView raw : QByteArray(bytes.toByteArray()).split('\n')) {
            ++line;
            QStringDecoder one(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString s = one.decode(raw);
            if (one.hasError())
                throw SourceError(line, QStringLiteral("řádek není v kódování UTF-8 (ulož soubor jako UTF-8)"));
            if (s.contains(QChar(0)))
                throw SourceError(line, QStringLiteral("řádek obsahuje znak NUL"));
        }
        throw SourceError(0, QStringLiteral("soubor není v kódování UTF-8 (ulož ho jako UTF-8)"));
    }
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

namespace {

struct NamedEntity {
    const char* name;
    char16_t code;
};

// The entities that editors of learning platforms write into Czech text.
constexpr NamedEntity Entities[] = {
    {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}, {"nbsp", u' '},
    {"ndash", u'\u2013'}, {"mdash", u'\u2014'}, {"hellip", u'\u2026'}, {"bdquo", u'\u201E'},
    {"ldquo", u'\u201C'}, {"rdquo", u'\u201D'}, {"sbquo", u'\u201A'}, {"lsquo", u'\u2018'},
    {"rsquo", u'\u2019'}, {"laquo", u'\u00AB'}, {"raquo", u'\u00BB'}, {"deg", u'\u00B0'},
    {"times", u'\u00D7'}, {"divide", u'\u00F7'}, {"plusmn", u'\u00B1'}, {"middot", u'\u00B7'},
    {"bull", u'\u2022'}, {"copy", u'\u00A9'}, {"reg", u'\u00AE'}, {"trade", u'\u2122'},
    {"euro", u'\u20AC'}, {"sect", u'\u00A7'}, {"para", u'\u00B6'}, {"micro", u'\u00B5'},
    {"shy", u'\u00AD'}, {"sup2", u'\u00B2'}, {"sup3", u'\u00B3'}, {"frac12", u'\u00BD'},
    {"frac14", u'\u00BC'}, {"frac34", u'\u00BE'},
    {"aacute", u'á'}, {"Aacute", u'Á'}, {"eacute", u'é'}, {"Eacute", u'É'}, {"iacute", u'í'},
    {"Iacute", u'Í'}, {"oacute", u'ó'}, {"Oacute", u'Ó'}, {"uacute", u'ú'}, {"Uacute", u'Ú'},
    {"yacute", u'ý'}, {"Yacute", u'Ý'}, {"ecaron", u'ě'}, {"Ecaron", u'Ě'}, {"scaron", u'š'},
    {"Scaron", u'Š'}, {"ccaron", u'č'}, {"Ccaron", u'Č'}, {"rcaron", u'ř'}, {"Rcaron", u'Ř'},
    {"zcaron", u'ž'}, {"Zcaron", u'Ž'}, {"dcaron", u'ď'}, {"Dcaron", u'Ď'}, {"tcaron", u'ť'},
    {"Tcaron", u'Ť'}, {"ncaron", u'ň'}, {"Ncaron", u'Ň'}, {"uring", u'ů'}, {"Uring", u'Ů'},
    {"auml", u'ä'}, {"Auml", u'Ä'}, {"ouml", u'ö'}, {"Ouml", u'Ö'}, {"uuml", u'ü'},
    {"Uuml", u'Ü'}, {"szlig", u'ß'}, {"lacute", u'ĺ'}, {"Lacute", u'Ĺ'}, {"lcaron", u'ľ'},
    {"Lcaron", u'Ľ'}, {"ocirc", u'ô'}, {"Ocirc", u'Ô'}, {"racute", u'ŕ'}, {"Racute", u'Ŕ'},
};

// Decodes the entity at text[i] == '&'; returns its length, 0 when there is
// none (the '&' is then a character of the text).
qsizetype entityAt(const QString& text, qsizetype i, QString& out)
{
    const qsizetype end = text.indexOf(u';', i + 1);
    if (end < 0 || end - i > 12 || end == i + 1)
        return 0;
    const QStringView body = QStringView(text).sliced(i + 1, end - i - 1);
    if (body.startsWith(u'#')) {
        bool ok = false;
        uint code = body.size() > 1 && (body[1] == u'x' || body[1] == u'X') ? body.sliced(2).toUInt(&ok, 16)
                                                                            : body.sliced(1).toUInt(&ok, 10);
        if (!ok)
            return 0;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD; // refused later as a character the table cannot hold
        if (code == 0xA0)
            code = u' ';
        const char32_t c = char32_t(code);
        out += QString::fromUcs4(&c, 1);
        return end - i + 1;
    }
    for (const NamedEntity& e : Entities)
        if (body == QLatin1String(e.name)) {
            out += QChar(e.code);
            return end - i + 1;
        }
    return 0;
}

bool isOneOf(const QString& name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

} // namespace

HtmlText htmlToText(const QString& html)
{
    HtmlText out;
    QString text;
    text.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    auto drop = [&](const QString& tag) {
        const QString t = u'<' + tag + u'>';
        if (!out.dropped.contains(t))
            out.dropped.append(t);
    };
    while (i < n) {
        const QChar c = html.at(i);
        if (c == u'&') {
            const qsizetype len = entityAt(html, i, text);
            if (len > 0) {
                i += len;
                continue;
            }
            text += c;
            ++i;
            continue;
        }
        if (c != u'<') {
            text += c;
            ++i;
            continue;
        }
        if (QStringView(html).sliced(i).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(QStringLiteral("-->"), i + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        qsizetype j = i + 1;
        if (j < n && html.at(j) == u'/')
            ++j;
        const qsizetype nameStart = j;
        while (j < n && html.at(j).unicode() < 128 && html.at(j).isLetterOrNumber())
            ++j;
        if (j == nameStart || !html.at(nameStart).isLetter()) {
            // "3 < 5", "a <= b": a browser shows these as they are.
            text += c;
            ++i;
            continue;
        }
        qsizetype k = j;
        QChar quote;
        while (k < n) {
            const QChar d = html.at(k);
            if (!quote.isNull()) {
                if (d == quote)
                    quote = QChar();
            } else if (d == u'"' || d == u'\'') {
                quote = d;
            } else if (d == u'>') {
                break;
            }
            ++k;
        }
        if (k >= n) {
            // No end of the tag anywhere: the rest is text.
            text += QStringView(html).sliced(i);
            break;
        }
        const QString name = html.mid(nameStart, j - nameStart).toLower();
        i = k + 1;
        if (isOneOf(name, {"img", "audio", "video", "object", "embed", "iframe", "svg", "math", "picture", "source", "canvas"})) {
            out.picture = true;
            continue;
        }
        if (isOneOf(name, {"script", "style"})) {
            const qsizetype end = html.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
            const qsizetype close = end < 0 ? -1 : html.indexOf(u'>', end);
            i = close < 0 ? n : close + 1;
            drop(name);
            continue;
        }
        const bool block = isOneOf(name, {"p", "br", "div", "li", "ul", "ol", "tr", "td", "th", "table", "tbody",
                                          "thead", "h1", "h2", "h3", "h4", "h5", "h6", "hr", "blockquote", "pre", "dd", "dt", "dl"});
        if (block)
            text += u' ';
        if (!isOneOf(name, {"p", "br", "div", "span"}))
            drop(name);
    }
    // White space as a browser lays it out: runs become one blank.
    QString simple;
    simple.reserve(text.size());
    bool blank = false;
    for (const QChar ch : std::as_const(text)) {
        if (ch.isSpace() && ch != QChar(0x00A0)) {
            blank = true;
            continue;
        }
        if (blank && !simple.isEmpty())
            simple += u' ';
        blank = false;
        simple += ch == QChar(0x00A0) ? QChar(u' ') : ch;
    }
    out.text = simple;
    return out;
}

void addOnce(QStringList& list, const QString& item)
{
    if (!list.contains(item))
        list.append(item);
}

QString oneLine(const QString& text)
{
    QString s = text;
    for (QChar& c : s)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    return s.trimmed();
}

std::optional<QString> literalShortAnswer(const QString& answer)
{
    QString out;
    out.reserve(answer.size());
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const QChar c = answer.at(i);
        if (c == u'\\' && i + 1 < answer.size() && answer.at(i + 1) == u'*') {
            out += u'*';
            ++i;
        } else if (c == u'*') {
            return std::nullopt;
        } else {
            out += c;
        }
    }
    return out;
}

QString shortAnswerPattern(const QString& answer)
{
    QString out = answer;
    out.replace(u'*', QStringLiteral("\\*"));
    return out;
}

QString questionName(const QString& text)
{
    constexpr qsizetype Max = 40;
    if (text.size() <= Max)
        return text;
    qsizetype cut = text.lastIndexOf(u' ', Max);
    if (cut < Max / 2)
        cut = Max;
    return text.left(cut).trimmed() + QChar(0x2026);
}

QStringList categoryParts(const QString& path)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path.at(i) != u'/') {
            part += path.at(i);
        } else if (i + 1 < path.size() && path.at(i + 1) == u'/') {
            part += u'/';
            ++i;
        } else {
            parts.append(part.trimmed());
            part.clear();
        }
    }
    parts.append(part.trimmed());
    parts.removeAll(QString());
    static const QRegularExpression context(QStringLiteral("^\\$[a-z]+\\$$"));
    if (!parts.isEmpty() && context.match(parts.first()).hasMatch())
        parts.removeFirst();
    if (!parts.isEmpty() && parts.first() == QLatin1String("top"))
        parts.removeFirst();
    return parts;
}

QString categoryPath(const QString& kind, const QString& title)
{
    auto escaped = [](QString s) { return s.replace(u'/', QStringLiteral("//")); };
    if (title.isEmpty())
        return escaped(kind);
    return escaped(kind) + u'/' + escaped(title);
}

void Collector::category(int line, const QString& path)
{
    if (!m_haveCategory) {
        m_haveCategory = true;
        m_category = path;
        return;
    }
    if (categoryParts(path) != categoryParts(m_category) && !categoryParts(path).isEmpty())
        note(line, QStringLiteral("další kategorie „%1“ nezakládá nový test; její otázky patří k testům z kategorie „%2“")
                       .arg(path.trimmed(), m_category.trimmed()));
}

void Collector::omit(int line, const QString& why)
{
    m_result.diagnostics.append({line, QStringLiteral("otázka vynechána: ") + why, true});
}

void Collector::note(int line, const QString& text)
{
    m_result.diagnostics.append({line, text, false});
}

void Collector::add(Carried c)
{
    SourceQuestion& q = c.question;
    q.line = c.line;
    auto normal = [](QString& s) { s = s.normalized(QString::NormalizationForm_C); };
    normal(q.text);
    for (QString& a : q.answers)
        normal(a);
    normal(q.correct);

    QString why;
    auto check = [&why](const QString& value, int width, const QString& what) {
        if (!why.isEmpty())
            return;
        for (const QChar ch : value)
            if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) {
                why = QStringLiteral("%1 obsahuje řídicí znak (U+%2)")
                          .arg(what, QString::number(ch.unicode(), 16).toUpper().rightJustified(4, u'0'));
                return;
            }
        why = fieldProblem(value, width, what);
    };
    if (q.text.isEmpty())
        why = QStringLiteral("text otázky je prázdný");
    check(q.text, width::Otazka, QStringLiteral("text otázky"));
    if (c.type == u'A')
        for (int i = 0; i < 4; ++i)
            check(q.answers[i], width::Odpoved, QStringLiteral("odpověď %1)").arg(QChar(char16_t(u'a' + i))));
    if (c.type == u'C') {
        if (why.isEmpty() && q.correct.isEmpty())
            why = QStringLiteral("správná odpověď je prázdná");
        check(q.correct, width::SpravneC, QStringLiteral("správná odpověď"));
    }
    if (!why.isEmpty()) {
        omit(c.line, why);
        return;
    }
    if (!c.dropped.isEmpty())
        note(c.line, QStringLiteral("vynecháno: ") + c.dropped.join(QStringLiteral(", ")));
    if (c.type == u'C' && c.caseInsensitive && !m_caseNoted) {
        m_caseNoted = true;
        note(c.line, QStringLiteral("zdroj uznává krátkou odpověď bez ohledu na velká a malá písmena; Vedomec ji porovnává přesně, "
                                    "i s velikostí písmen (platí pro všechny otázky typu doplňte)"));
    }
    m_questions.append(std::move(c));
}

ImportResult Collector::finish()
{
    const QStringList parts = categoryParts(m_category);
    QString kind = m_names.kind;
    QString title = m_names.title;
    if (kind.isEmpty() && !parts.isEmpty())
        kind = parts.size() >= 2 ? parts.at(parts.size() - 2) : parts.first();
    if (title.isEmpty() && parts.size() >= 2)
        title = parts.last();
    if (title.isEmpty())
        title = m_names.fileName;

    const QChar types[] = {u'A', u'B', u'C'};
    int present = 0;
    for (QChar type : types)
        for (const Carried& c : std::as_const(m_questions))
            if (c.type == type) {
                ++present;
                break;
            }
    for (QChar type : types) {
        TestSource t;
        t.type = type;
        for (const Carried& c : std::as_const(m_questions))
            if (c.type == type)
                t.questions.append(c.question);
        if (t.questions.isEmpty())
            continue;
        t.kind = kind.normalized(QString::NormalizationForm_C).trimmed();
        t.title = title.normalized(QString::NormalizationForm_C).trimmed();
        if (present > 1 && !t.title.isEmpty())
            t.title += type == u'A' ? QStringLiteral(" – a) b) c) d)")
                     : type == u'B' ? QStringLiteral(" – ano / ne")
                                    : QStringLiteral(" – doplňte");
        t.author = m_names.author.normalized(QString::NormalizationForm_C).trimmed();
        m_result.tests.append(t);
    }
    m_result.questionsFound = m_found;
    return m_result;
}

void WriterNotes::testWide(const TestSource& test, const QString& format, bool kindAndTitleKept)
{
    QStringList lost;
    if (!kindAndTitleKept) {
        if (!test.kind.isEmpty())
            lost << QStringLiteral("druh");
        if (!test.title.isEmpty())
            lost << QStringLiteral("název");
    }
    if (!test.author.isEmpty())
        lost << QStringLiteral("autor");
    if (!test.address.isEmpty())
        lost << QStringLiteral("adresa");
    if (!test.email.isEmpty())
        lost << QStringLiteral("e-mail");
    if (!test.http.isEmpty())
        lost << QStringLiteral("web");
    if (!test.password.isEmpty())
        lost << QStringLiteral("heslo");
    if (test.hasTimeLimit())
        lost << QStringLiteral("časový limit");
    if (!lost.isEmpty())
        add(0, QStringLiteral("%1 nenese tyto údaje testu: %2 (při čtení je zadej znovu)").arg(format, lost.join(QStringLiteral(", "))));
}

bool WriterNotes::choicesHeld(int number, const SourceQuestion& q)
{
    const int right = q.correct.isEmpty() ? -1 : q.correct.at(0).toUpper().unicode() - u'A';
    if (right < 0 || right > 3 || q.answers[right].isEmpty()) {
        add(number, QStringLiteral("otázka vynechána: správná odpověď %1) je prázdná").arg(q.correct.toLower()), true);
        return false;
    }
    int given = 0;
    for (const QString& a : q.answers)
        given += a.isEmpty() ? 0 : 1;
    if (given < 2) {
        add(number, QStringLiteral("otázka vynechána: má méně než dvě odpovědi, platforma takovou nepřijme"), true);
        return false;
    }
    for (int i = 0; i < 4; ++i)
        if (q.answers[i].isEmpty())
            add(number, QStringLiteral("prázdná odpověď %1) vynechána").arg(QChar(char16_t(u'a' + i))));
    return true;
}

} // namespace vedomec::exchange::detail
