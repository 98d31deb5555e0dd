#include "TestProperties.h"

#include <QRegularExpression>

namespace vedomec::authoring {

namespace {

bool untouched(const SourceQuestion& q, QChar type)
{
    const SourceQuestion empty = emptyQuestion(type);
    if (!q.text.trimmed().isEmpty() || q.correct.trimmed() != empty.correct)
        return false;
    for (const QString& a : q.answers)
        if (!a.trimmed().isEmpty())
            return false;
    return true;
}

bool isYesNo(const QString& s)
{
    return s.compare(QLatin1String("ANO"), Qt::CaseInsensitive) == 0
        || s.compare(QLatin1String("NE"), Qt::CaseInsensitive) == 0;
}

// The correct answer of `q` (of type `from`) as a question of type `to`
// states it, or an empty text when it cannot be said so.
QString carried(const SourceQuestion& q, QChar from, QChar to)
{
    const QString correct = q.correct.trimmed();
    QString meant; // the answer in words
    if (from == u'A') {
        const int a = correct.size() == 1 ? correct.at(0).toUpper().unicode() - u'A' : -1;
        if (a < 0 || a > 3)
            return {};
        meant = q.answers[a].trimmed();
    } else {
        meant = correct;
    }
    if (to == u'B')
        return isYesNo(meant) ? meant.toUpper() : QString();
    if (to == u'C')
        return meant;
    return {};
}

} // namespace

std::optional<TestSource> withType(const TestSource& test, QChar to, QString* why)
{
    if (to == test.type)
        return test;
    TestSource out = test;
    out.type = to;
    for (int i = 0; i < out.questions.size(); ++i) {
        SourceQuestion& q = out.questions[i];
        if (untouched(q, test.type)) {
            const int line = q.line;
            q = emptyQuestion(to);
            q.line = line;
            continue;
        }
        const QString correct = to == u'A' ? QString() : carried(q, test.type, to);
        if (correct.isEmpty() || storedLength(correct) > fieldWidth(Field::Correct, to)) {
            if (why) {
                if (to == u'A')
                    *why = QStringLiteral("Otázka %1 nemá čtyři odpovědi a) až d), jaké test typu A potřebuje.").arg(i + 1);
                else if (to == u'B')
                    *why = QStringLiteral("Správná odpověď otázky %1 není ANO ani NE, jak ji test typu B potřebuje.").arg(i + 1);
                else
                    *why = QStringLiteral("Otázka %1 nemá správnou odpověď, kterou by žák doplnil.").arg(i + 1);
            }
            return std::nullopt;
        }
        q.correct = correct;
        for (QString& a : q.answers)
            a.clear();
    }
    return out;
}

bool parseTimeLimit(const QString& text, int& hours, int& minutes, int& seconds)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("neomezeno")) {
        hours = minutes = seconds = 0;
        return true;
    }
    static const QRegularExpression re(QStringLiteral("^(\\d{1,5}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = re.match(t);
    if (!m.hasMatch())
        return false;
    const int h = m.captured(1).toInt(), mm = m.captured(2).toInt(), s = m.captured(3).toInt();
    // The hours are stored as a 16-bit number.
    if (h > 32767 || mm > 59 || s > 59)
        return false;
    hours = h;
    minutes = mm;
    seconds = s;
    return true;
}

} // namespace vedomec::authoring
