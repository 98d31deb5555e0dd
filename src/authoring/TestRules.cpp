#include "TestRules.h"

#include "platform/Cp1250.h"

#include <array>
#include <atomic>

namespace vedomec::authoring {

namespace w = exchange::width;

int fieldWidth(Field field, QChar type)
{
    switch (field) {
    case Field::Kind: return w::Druh;
    case Field::Title: return w::Nazev;
    case Field::Author: return w::Jmeno;
    case Field::Address: return w::Adresa;
    case Field::Email: return w::Email;
    case Field::Http: return w::Http;
    case Field::Password: return w::Heslo;
    case Field::Question: return w::Otazka;
    case Field::AnswerA:
    case Field::AnswerB:
    case Field::AnswerC:
    case Field::AnswerD: return w::Odpoved;
    case Field::Correct: return type == u'A' ? 1 : type == u'B' ? 3 : w::SpravneC;
    }
    return 0;
}

QString fieldName(Field field)
{
    switch (field) {
    case Field::Kind: return QStringLiteral("druh testu");
    case Field::Title: return QStringLiteral("název testu");
    case Field::Author: return QStringLiteral("jméno autora");
    case Field::Address: return QStringLiteral("adresa autora");
    case Field::Email: return QStringLiteral("e-mail autora");
    case Field::Http: return QStringLiteral("WWW autora");
    case Field::Password: return QStringLiteral("heslo pro editaci");
    case Field::Question: return QStringLiteral("text otázky");
    case Field::AnswerA: return QStringLiteral("odpověď a)");
    case Field::AnswerB: return QStringLiteral("odpověď b)");
    case Field::AnswerC: return QStringLiteral("odpověď c)");
    case Field::AnswerD: return QStringLiteral("odpověď d)");
    case Field::Correct: return QStringLiteral("správná odpověď");
    }
    return {};
}

QString fieldValue(const TestSource& test, int question, Field field)
{
    switch (field) {
    case Field::Kind: return test.kind;
    case Field::Title: return test.title;
    case Field::Author: return test.author;
    case Field::Address: return test.address;
    case Field::Email: return test.email;
    case Field::Http: return test.http;
    case Field::Password: return test.password;
    default: break;
    }
    if (question < 0 || question >= test.questions.size())
        return {};
    const SourceQuestion& q = test.questions[question];
    switch (field) {
    case Field::Question: return q.text;
    case Field::AnswerA: return q.answers[0];
    case Field::AnswerB: return q.answers[1];
    case Field::AnswerC: return q.answers[2];
    case Field::AnswerD: return q.answers[3];
    case Field::Correct: return q.correct;
    default: return {};
    }
}

void setFieldValue(TestSource& test, int question, Field field, const QString& value)
{
    switch (field) {
    case Field::Kind: test.kind = value; return;
    case Field::Title: test.title = value; return;
    case Field::Author: test.author = value; return;
    case Field::Address: test.address = value; return;
    case Field::Email: test.email = value; return;
    case Field::Http: test.http = value; return;
    case Field::Password: test.password = value; return;
    default: break;
    }
    if (question < 0 || question >= test.questions.size())
        return;
    SourceQuestion& q = test.questions[question];
    switch (field) {
    case Field::Question: q.text = value; return;
    case Field::AnswerA: q.answers[0] = value; return;
    case Field::AnswerB: q.answers[1] = value; return;
    case Field::AnswerC: q.answers[2] = value; return;
    case Field::AnswerD: q.answers[3] = value; return;
    case Field::Correct: q.correct = value; return;
    default: return;
    }
}

int storedLength(const QString& value)
{
    return value.normalized(QString::NormalizationForm_C).size();
}

namespace {

// Whether the code page holds the character on its own, asked of the
// converter once per character: a save checks every character of the test,
// and a key every character of its field.
bool storableAlone(char16_t c)
{
    if (c < 0x80)
        return true;
    static std::array<std::atomic<uint8_t>, 0x10000> known {}; // 0 not asked yet, 1 yes, 2 no
    uint8_t k = known[c].load(std::memory_order_relaxed);
    if (k == 0) {
        k = unicodeToCp1250(QString(QChar(c))).contains('?') ? 2 : 1;
        known[c].store(k, std::memory_order_relaxed);
    }
    return k == 1;
}

} // namespace

QList<int> unstorablePositions(const QString& value)
{
    QList<int> bad;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c.isHighSurrogate() || c.isLowSurrogate()) {
            bad << i;
            continue;
        }
        if (c == u'?')
            continue;
        if (!c.isMark()) {
            if (!storableAlone(c.unicode()))
                bad << i;
            continue;
        }
        // A combining accent counts with the letter before it: "c" and a
        // caron are one "č", which the code page has.
        QString unit(c);
        if (c.isMark() && i > 0)
            unit = QString(value.at(i - 1)) + c;
        if (unicodeToCp1250(unit).contains('?'))
            bad << i;
    }
    return bad;
}

namespace {

QString questionPlace(int q)
{
    return QStringLiteral("Otázka %1").arg(q + 1);
}

void checkValue(QList<RuleBreak>& out, const TestSource& test, int question, Field field, bool required)
{
    const QString value = fieldValue(test, question, field);
    const QString where = question < 0 ? QStringLiteral("Test") : questionPlace(question);
    auto add = [&](const QString& what) {
        out.append({question, field, QStringLiteral("%1, pole „%2“: %3").arg(where, fieldName(field), what)});
    };
    if (required && value.trimmed().isEmpty()) {
        add(QStringLiteral("nesmí být prázdné."));
        return;
    }
    const QList<int> bad = unstorablePositions(value);
    if (!bad.isEmpty()) {
        add(QStringLiteral("znak „%1“ (na místě %2) nelze uložit v kódování Windows-1250.")
                .arg(value.mid(bad.first(), value.at(bad.first()).isHighSurrogate() ? 2 : 1))
                .arg(bad.first() + 1));
        return;
    }
    if (value.contains(u'\n') || value.contains(u'\r') || value.contains(u'\t') || value.contains(QChar(0))) {
        add(QStringLiteral("smí mít jen jeden řádek."));
        return;
    }
    const int width = fieldWidth(field, test.type);
    const int length = storedLength(value.trimmed());
    if (length > width)
        add(QStringLiteral("má %1 znaků, vejde se jich %2.").arg(length).arg(width));
}

} // namespace

QList<RuleBreak> checkTest(const TestSource& test)
{
    QList<RuleBreak> out;
    if (test.type != u'A' && test.type != u'B' && test.type != u'C')
        out.append({-1, Field::Title, QStringLiteral("Test nemá typ A, B ani C.")});
    checkValue(out, test, -1, Field::Kind, true);
    checkValue(out, test, -1, Field::Title, true);
    for (Field f : {Field::Author, Field::Address, Field::Email, Field::Http, Field::Password})
        checkValue(out, test, -1, f, false);
    if (test.hours < 0 || test.hours > 32767 || test.minutes < 0 || test.minutes > 59 || test.seconds < 0
        || test.seconds > 59)
        out.append({-1, Field::Title, QStringLiteral("Test: časový limit musí mít minuty a sekundy od 0 do 59.")});
    if (test.questions.isEmpty())
        out.append({-1, Field::Question, QStringLiteral("Test nemá žádnou otázku.")});
    for (int i = 0; i < test.questions.size(); ++i) {
        checkValue(out, test, i, Field::Question, true);
        if (test.type == u'A')
            for (Field f : {Field::AnswerA, Field::AnswerB, Field::AnswerC, Field::AnswerD})
                checkValue(out, test, i, f, true);
        const QString correct = test.questions[i].correct.trimmed();
        const QString where = questionPlace(i);
        if (test.type == u'A') {
            if (correct.size() != 1 || correct.at(0).toUpper() < u'A' || correct.at(0).toUpper() > u'D')
                out.append({i, Field::Correct,
                            QStringLiteral("%1, pole „správná odpověď“: vyberte písmeno a), b), c) nebo d).").arg(where)});
        } else if (test.type == u'B') {
            if (correct.compare(QLatin1String("ANO"), Qt::CaseInsensitive) != 0
                && correct.compare(QLatin1String("NE"), Qt::CaseInsensitive) != 0)
                out.append({i, Field::Correct,
                            QStringLiteral("%1, pole „správná odpověď“: vyberte ANO, nebo NE.").arg(where)});
        } else if (test.type == u'C') {
            checkValue(out, test, i, Field::Correct, true);
        }
    }
    return out;
}

QString firstProblem(const TestSource& test)
{
    const QList<RuleBreak> all = checkTest(test);
    return all.isEmpty() ? QString() : all.first().message;
}

SourceQuestion emptyQuestion(QChar type)
{
    SourceQuestion q;
    if (type == u'B')
        q.correct = QStringLiteral("ANO");
    return q;
}

bool passwordMatches(const QString& stored, const QString& entered)
{
    return stored.isEmpty() || stored == entered;
}

QString timeLimitText(const TestSource& test)
{
    if (!test.hasTimeLimit())
        return QStringLiteral("neomezeno");
    return QStringLiteral("%1:%2:%3")
        .arg(test.hours)
        .arg(test.minutes, 2, 10, QLatin1Char('0'))
        .arg(test.seconds, 2, 10, QLatin1Char('0'));
}

} // namespace vedomec::authoring
