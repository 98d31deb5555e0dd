#include "TestSource.h"

#include "platform/Cp1250.h"

#include <algorithm>

#include <QFile>
#include <QStringDecoder>

namespace vedomec::exchange {

SourceError::SourceError(int line, const QString& what)
    : EVedomecError(line > 0 ? QStringLiteral("řádek %1: %2").arg(line).arg(what) : what),
      m_line(line), m_detail(what)
{
}

QString fieldProblem(const QString& text, int width, const QString& what)
{
    const QByteArray bytes = unicodeToCp1250(text);
    // Windows-1250 holds every Czech and Slovak letter; a character it lacks
    // would reach the pupil as "?", so it is refused here rather than lost.
    if (cp1250ToUnicode(bytes) != text) {
        // By code point: a character beyond the Basic Multilingual Plane is
        // one character of the text, not two halves of a surrogate pair.
        for (const uint code : text.toUcs4()) {
            const char32_t c = char32_t(code);
            const QString one = QString::fromUcs4(&c, 1);
            if (cp1250ToUnicode(unicodeToCp1250(one)) != one)
                return QStringLiteral("%1 obsahuje znak „%2“ (U+%3), který nelze uložit v kódování Windows-1250")
                    .arg(what, one, QString::number(code, 16).toUpper().rightJustified(4, u'0'));
        }
        return QStringLiteral("%1 obsahuje znak, který nelze uložit v kódování Windows-1250").arg(what);
    }
    if (bytes.size() > width)
        return QStringLiteral("%1 má %2 znaků, vejde se jich nejvýš %3").arg(what).arg(bytes.size()).arg(width);
    return {};
}

namespace {

// Keys are written by people: "Název", "Nazev", "NÁZEV" and "E-mail",
// "Email" all mean the same.  Compare without case, accents, blanks and dashes.
QString foldKey(const QString& key)
{
    const QString d = key.normalized(QString::NormalizationForm_D);
    QString out;
    for (QChar c : d) {
        if (c.isMark() || c.isSpace() || c == u'-' || c == u'_')
            continue;
        out += c.toLower();
    }
    return out;
}

enum class Key {
    None, Druh, Nazev, Autor, Adresa, Email, Http, Heslo, Typ, Cas, Otazka, Spravne
};

Key keyOf(const QString& folded)
{
    static const struct { const char* name; Key key; } keys[] = {
        {"druh", Key::Druh}, {"nazev", Key::Nazev}, {"autor", Key::Autor},
        {"jmeno", Key::Autor}, {"adresa", Key::Adresa}, {"email", Key::Email},
        {"http", Key::Http}, {"web", Key::Http}, {"www", Key::Http}, {"heslo", Key::Heslo},
        {"typ", Key::Typ}, {"cas", Key::Cas}, {"casovylimit", Key::Cas},
        {"otazka", Key::Otazka}, {"spravne", Key::Spravne},
        {"spravnaodpoved", Key::Spravne},
    };
    for (const auto& k : keys)
        if (folded == QLatin1String(k.name))
            return k.key;
    return Key::None;
}

QString headerLabel(Key k)
{
    switch (k) {
    case Key::Druh: return QStringLiteral("Druh:");
    case Key::Nazev: return QStringLiteral("Název:");
    case Key::Autor: return QStringLiteral("Autor:");
    case Key::Adresa: return QStringLiteral("Adresa:");
    case Key::Email: return QStringLiteral("E-mail:");
    case Key::Http: return QStringLiteral("Http:");
    case Key::Heslo: return QStringLiteral("Heslo:");
    case Key::Typ: return QStringLiteral("Typ:");
    case Key::Cas: return QStringLiteral("Čas:");
    case Key::Otazka: return QStringLiteral("Otázka:");
    case Key::Spravne: return QStringLiteral("Správně:");
    case Key::None: break;
    }
    return {};
}

// One value of the source: its text, the line it started on and where it
// goes, so that continuation lines can be added and the final text checked
// against the width of its field.
struct Item {
    QString* target = nullptr;
    int line = 0;
    int width = 0;
    QString what; // for messages: "název testu", "odpověď b)"
};

void checkText(const Item& item)
{
    const QString text = item.target->normalized(QString::NormalizationForm_C);
    const QString problem = fieldProblem(text, item.width, item.what);
    if (!problem.isEmpty())
        throw SourceError(item.line, problem);
    *item.target = text;
}

bool parseTime(const QString& v, TestSource& t)
{
    const QString folded = foldKey(v);
    if (folded.isEmpty() || folded == QLatin1String("neomezeno") || folded == QLatin1String("bezomezeni")
        || folded == QLatin1String("zadny") || folded == QLatin1String("zadne")) {
        t.hours = t.minutes = t.seconds = 0;
        return true;
    }
    const QStringList parts = v.split(u':');
    if (parts.size() != 3)
        return false;
    int n[3];
    for (int i = 0; i < 3; ++i) {
        const QString p = parts[i].trimmed();
        if (p.isEmpty() || p.size() > 5)
            return false;
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return false;
        if (i > 0 && p.size() != 2)
            return false;
        n[i] = p.toInt();
    }
    if (n[0] > 32767 || n[1] > 59 || n[2] > 59)
        return false;
    t.hours = n[0];
    t.minutes = n[1];
    t.seconds = n[2];
    return true;
}

class Parser {
public:
    TestSource run(const QByteArray& source);

private:
    void headerLine(int line, Key key, const QString& value);
    void questionLine(int line, const QString& text);
    void finishQuestion();
    void finishHeader(int line);
    void setItem(int line, QString* target, int width, const QString& what, const QString& value);
    void closeItem();

    TestSource t;
    bool seen[16] = {};
    bool inQuestions = false;
    bool inBlock = false;        // inside a question block (no blank line yet)
    SourceQuestion q;
    bool haveQuestion = false;
    int correctLine = 0;
    int answerSeen = 0;          // bit i: answer i given
    Item current;                // the value continuation lines extend
    bool haveItem = false;
    QString typeText;
    int typeLine = 0;
    QString timeText;
    int timeLine = 0;
};

void Parser::closeItem()
{
    if (haveItem)
        checkText(current);
    haveItem = false;
}

void Parser::setItem(int line, QString* target, int width, const QString& what, const QString& value)
{
    closeItem();
    *target = value;
    current = Item{target, line, width, what};
    haveItem = true;
}

void Parser::headerLine(int line, Key key, const QString& value)
{
    if (inQuestions)
        throw SourceError(line, QStringLiteral("řádek „%1“ patří do hlavičky před první otázku").arg(headerLabel(key)));
    const int k = int(key);
    if (seen[k])
        throw SourceError(line, QStringLiteral("řádek „%1“ je v hlavičce podruhé").arg(headerLabel(key)));
    seen[k] = true;
    switch (key) {
    case Key::Druh: setItem(line, &t.kind, width::Druh, QStringLiteral("druh testu"), value); break;
    case Key::Nazev: setItem(line, &t.title, width::Nazev, QStringLiteral("název testu"), value); break;
    case Key::Autor: setItem(line, &t.author, width::Jmeno, QStringLiteral("jméno autora"), value); break;
    case Key::Adresa: setItem(line, &t.address, width::Adresa, QStringLiteral("adresa"), value); break;
    case Key::Email: setItem(line, &t.email, width::Email, QStringLiteral("e-mail"), value); break;
    case Key::Http: setItem(line, &t.http, width::Http, QStringLiteral("webová adresa"), value); break;
    case Key::Heslo: setItem(line, &t.password, width::Heslo, QStringLiteral("heslo"), value); break;
    case Key::Typ:
        closeItem();
        typeText = value;
        typeLine = line;
        {
            const QString v = value.trimmed().toUpper();
            if (v != QLatin1String("A") && v != QLatin1String("B") && v != QLatin1String("C"))
                throw SourceError(line, QStringLiteral("typ testu musí být A (odpovědi a) až d)), B (ANO/NE) nebo C (doplnění textu), ne „%1“").arg(value));
            t.type = v.at(0);
        }
        break;
    case Key::Cas:
        closeItem();
        timeText = value;
        timeLine = line;
        if (!parseTime(value, t))
            throw SourceError(line, QStringLiteral("čas se píše jako hodiny:minuty:sekundy, např. 0:15:00 (minuty a sekundy 00 až 59), nebo „neomezeno“; ne „%1“").arg(value));
        break;
    default: break;
    }
}

void Parser::finishHeader(int line)
{
    closeItem();
    static const Key required[] = {Key::Druh, Key::Nazev, Key::Typ};
    for (Key k : required)
        if (!seen[int(k)])
            throw SourceError(line, QStringLiteral("v hlavičce před první otázkou chybí řádek „%1“").arg(headerLabel(k)));
    if (t.kind.isEmpty())
        throw SourceError(line, QStringLiteral("druh testu je prázdný"));
    if (t.title.isEmpty())
        throw SourceError(line, QStringLiteral("název testu je prázdný"));
    inQuestions = true;
}

void Parser::finishQuestion()
{
    if (!haveQuestion)
        return;
    closeItem();
    if (q.text.isEmpty())
        throw SourceError(q.line, QStringLiteral("text otázky je prázdný"));
    if (t.type == u'A') {
        for (int i = 0; i < 4; ++i)
            if (!(answerSeen & (1 << i)))
                throw SourceError(q.line, QStringLiteral("otázce chybí odpověď %1)").arg(QChar(u'a' + i)));
    }
    if (!correctLine)
        throw SourceError(q.line, QStringLiteral("otázce chybí řádek „Správně:“"));
    if (q.correct.isEmpty())
        throw SourceError(correctLine, QStringLiteral("správná odpověď je prázdná"));
    t.questions.append(q);
    q = SourceQuestion();
    haveQuestion = false;
    correctLine = 0;
    answerSeen = 0;
}

void Parser::questionLine(int line, const QString& text)
{
    // "a) text" .. "d) text": the four offered answers of a type A test.
    if (text.size() >= 2 && text.at(1) == u')') {
        const QChar letter = text.at(0).toLower();
        if (letter >= u'a' && letter <= u'z') {
            if (t.type != u'A')
                throw SourceError(line, QStringLiteral("odpovědi a) až d) patří jen do testu typu A (tento je typu %1)").arg(t.type));
            if (letter > u'd')
                throw SourceError(line, QStringLiteral("odpověď %1) neexistuje, otázka má jen odpovědi a) až d)").arg(letter));
            const int i = letter.unicode() - u'a';
            if (answerSeen & (1 << i))
                throw SourceError(line, QStringLiteral("odpověď %1) je u otázky podruhé").arg(letter));
            if (correctLine)
                throw SourceError(line, QStringLiteral("odpovědi a) až d) patří před řádek „Správně:“"));
            answerSeen |= 1 << i;
            const QString value = text.mid(2).trimmed();
            setItem(line, &q.answers[i], width::Odpoved, QStringLiteral("odpověď %1)").arg(letter), value);
            if (value.isEmpty())
                throw SourceError(line, QStringLiteral("odpověď %1) je prázdná").arg(letter));
            return;
        }
    }
    const qsizetype colon = text.indexOf(u':');
    const Key key = colon > 0 ? keyOf(foldKey(text.left(colon))) : Key::None;
    const QString value = colon > 0 ? text.mid(colon + 1).trimmed() : QString();
    if (key == Key::Spravne) {
        if (correctLine)
            throw SourceError(line, QStringLiteral("řádek „Správně:“ je u otázky podruhé"));
        correctLine = line;
        closeItem();
        if (t.type == u'A') {
            QString v = value.toUpper();
            if (v.endsWith(u')'))
                v.chop(1);
            if (v.size() != 1 || v.at(0) < u'A' || v.at(0) > u'D')
                throw SourceError(line, QStringLiteral("správná odpověď testu typu A je písmeno A, B, C nebo D, ne „%1“").arg(value));
            q.correct = v;
        } else if (t.type == u'B') {
            const QString v = value.toUpper();
            if (v != QLatin1String("ANO") && v != QLatin1String("NE"))
                throw SourceError(line, QStringLiteral("správná odpověď testu typu B je ANO nebo NE, ne „%1“").arg(value));
            q.correct = v;
        } else {
            // Compared with the pupil's answer exactly, letter case included.
            setItem(line, &q.correct, width::SpravneC, QStringLiteral("správná odpověď"), value);
        }
        return;
    }
    if (key != Key::None && key != Key::Otazka)
        throw SourceError(line, QStringLiteral("řádek „%1“ patří do hlavičky před první otázku").arg(headerLabel(key)));
    throw SourceError(line, QStringLiteral("nerozumím řádku „%1“; u otázky se píše „Otázka:“, „a)“ až „d)“ nebo „Správně:“").arg(text.left(40)));
}

TestSource Parser::run(const QByteArray& source)
{
    QByteArray bytes = source;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> lines = bytes.split('\n');
    int lastLine = 0;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = int(n) + 1;
        QByteArray raw = lines[n];
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (n == lines.size() - 1 && raw.isEmpty())
            break;
        lastLine = lineNo;
        QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = dec.decode(raw);
        if (dec.hasError())
            throw SourceError(lineNo, QStringLiteral("řádek není v kódování UTF-8 (ulož soubor jako UTF-8)"));
        if (text.contains(QChar(0)))
            throw SourceError(lineNo, QStringLiteral("řádek obsahuje znak NUL"));

        const QString trimmed = text.trimmed();
        if (trimmed.startsWith(u'#'))
            continue;
        if (trimmed.isEmpty()) {
            // A blank line ends a question and any value continued over lines.
            if (inQuestions)
                finishQuestion();
            closeItem();
            inBlock = false;
            continue;
        }
        if (text.at(0).isSpace()) {
            // An indented line continues the value above it.
            if (!haveItem)
                throw SourceError(lineNo, QStringLiteral("odsazený řádek pokračuje předchozí hodnotu, ale nad ním žádná není"));
            QString& target = *current.target;
            target = target.isEmpty() ? trimmed : target + u' ' + trimmed;
            continue;
        }

        const qsizetype colon = trimmed.indexOf(u':');
        const Key key = colon > 0 ? keyOf(foldKey(trimmed.left(colon))) : Key::None;
        const QString value = colon > 0 ? trimmed.mid(colon + 1).trimmed() : QString();

        if (key == Key::Otazka) {
            if (!inQuestions)
                finishHeader(lineNo);
            finishQuestion();
            haveQuestion = true;
            inBlock = true;
            q.line = lineNo;
            setItem(lineNo, &q.text, width::Otazka, QStringLiteral("text otázky"), value);
            continue;
        }
        if (!inQuestions) {
            if (key == Key::None || key == Key::Spravne) {
                if (colon > 0 && key == Key::None)
                    throw SourceError(lineNo, QStringLiteral("neznámý řádek hlavičky „%1:“; známé jsou Druh, Název, Autor, Adresa, E-mail, Http, Heslo, Typ a Čas").arg(trimmed.left(colon)));
                throw SourceError(lineNo, QStringLiteral("nerozumím řádku „%1“; před první otázkou je jen hlavička (např. „Název: ...“) a otázka začíná řádkem „Otázka:“").arg(trimmed.left(40)));
            }
            headerLine(lineNo, key, value);
            continue;
        }
        if (key != Key::None && key != Key::Spravne)
            headerLine(lineNo, key, value); // refuses: the header is over
        if (!inBlock)
            throw SourceError(lineNo, QStringLiteral("otázka musí začínat řádkem „Otázka:“"));
        questionLine(lineNo, trimmed);
    }
    if (!inQuestions)
        throw SourceError(lastLine, QStringLiteral("test nemá žádnou otázku (otázka začíná řádkem „Otázka:“)"));
    finishQuestion();
    closeItem();
    return t;
}

} // namespace

TestSource parseTestSource(const QByteArray& utf8)
{
    Parser p;
    return p.run(utf8);
}

namespace {

// A value may go on to the next line at a single blank between two non-blank
// characters: the reader trims the continuation line and joins it with
// exactly one blank.  Not before '#', which would begin a comment line.
bool breakableAt(const QString& s, qsizetype i)
{
    return s.at(i) == u' ' && i > 0 && i + 1 < s.size() && !s.at(i - 1).isSpace() && !s.at(i + 1).isSpace()
        && s.at(i + 1) != u'#';
}

void appendValue(QString& out, const QString& key, const QString& value)
{
    constexpr qsizetype Width = 78;
    const QString indent = QStringLiteral("    ");
    if (value.isEmpty()) {
        out += key + u'\n';
        return;
    }
    QString prefix = key + u' ';
    QString rest = value;
    while (prefix.size() + rest.size() > Width) {
        const qsizetype room = Width - prefix.size();
        qsizetype cut = -1;
        for (qsizetype i = std::min(room, rest.size() - 1); i > 0 && cut < 0; --i)
            if (breakableAt(rest, i))
                cut = i;
        for (qsizetype i = room + 1; i < rest.size() && cut < 0; ++i)
            if (breakableAt(rest, i))
                cut = i;
        if (cut < 0)
            break;
        out += prefix + rest.left(cut) + u'\n';
        rest = rest.mid(cut + 1);
        prefix = indent;
    }
    out += prefix + rest + u'\n';
}

} // namespace

QByteArray formatTestSource(const TestSource& t, const QString& comment)
{
    QString out;
    if (!comment.isEmpty()) {
        QString c = comment;
        for (QChar& ch : c)
            if (ch.unicode() < 0x20)
                ch = u'?';
        out += QStringLiteral("# ") + c + u'\n';
    }
    appendValue(out, QStringLiteral("Druh:"), t.kind);
    appendValue(out, QStringLiteral("Název:"), t.title);
    appendValue(out, QStringLiteral("Autor:"), t.author);
    appendValue(out, QStringLiteral("Adresa:"), t.address);
    appendValue(out, QStringLiteral("E-mail:"), t.email);
    appendValue(out, QStringLiteral("Http:"), t.http);
    appendValue(out, QStringLiteral("Heslo:"), t.password);
    appendValue(out, QStringLiteral("Typ:"), QString(t.type));
    appendValue(out, QStringLiteral("Čas:"),
                t.hasTimeLimit() ? QStringLiteral("%1:%2:%3")
                                       .arg(t.hours)
                                       .arg(t.minutes, 2, 10, QLatin1Char('0'))
                                       .arg(t.seconds, 2, 10, QLatin1Char('0'))
                                 : QStringLiteral("neomezeno"));
    for (const SourceQuestion& q : t.questions) {
        out += u'\n';
        appendValue(out, QStringLiteral("Otázka:"), q.text);
        if (t.type == u'A')
            for (int i = 0; i < 4; ++i)
                appendValue(out, QString(QChar(u'a' + i)) + u')', q.answers[i]);
        appendValue(out, QStringLiteral("Správně:"), q.correct);
    }
    return out.toUtf8();
}

bool sameContent(const TestSource& a, const TestSource& b)
{
    if (a.kind != b.kind || a.title != b.title || a.author != b.author || a.address != b.address
        || a.email != b.email || a.http != b.http || a.password != b.password || a.type != b.type
        || a.hours != b.hours || a.minutes != b.minutes || a.seconds != b.seconds
        || a.questions.size() != b.questions.size())
        return false;
    for (qsizetype i = 0; i < a.questions.size(); ++i) {
        const SourceQuestion& x = a.questions[i];
        const SourceQuestion& y = b.questions[i];
        if (x.text != y.text || x.correct != y.correct)
            return false;
        for (int k = 0; k < 4; ++k)
            if (x.answers[k] != y.answers[k])
                return false;
    }
    return true;
}

TestSource readTestSourceFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw SourceError(0, QStringLiteral("soubor %1 nelze číst: %2").arg(path, f.errorString()));
    if (f.size() > 16 * 1024 * 1024)
        throw SourceError(0, QStringLiteral("soubor %1 je příliš velký").arg(path));
    return parseTestSource(f.readAll());
}

} // namespace vedomec::exchange
