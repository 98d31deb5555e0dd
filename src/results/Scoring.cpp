#include "results/Scoring.h"

#include <QStringList>


namespace vedomec::results {

qint64 RoundHalfEven(qint64 num, qint64 den)
{
    const qint64 q = num / den;
    const qint64 twiceRest = 2 * (num % den);
    if (twiceRest > den || (twiceRest == den && q % 2 != 0))
        return q + 1;
    return q;
}

QString UpperAscii(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    }
    return out;
}

QString GradeText(qint64 r, qint64 n)
{
    // p >= b  <=>  100 * r >= b * n, with no rounding on the way.
    if (n <= 0 || r >= n)
        return QString();
    const qint64 hundredR = 100 * r;
    if (hundredR >= 75 * n)
        return QStringLiteral("2 - chvalitebný");
    if (hundredR >= 50 * n)
        return QStringLiteral("3 - dobrý");
    if (hundredR >= 25 * n)
        return QStringLiteral("4 - dostatečný");
    return QStringLiteral("5 - nedostatečný");
}

bool AnswerIsRight(TestType type, const QString& answer, const QString& correct)
{
    if (type == TestType::C)
        return answer == correct;
    return UpperAscii(answer) == UpperAscii(correct);
}

bool TScoreSheet::add(const QString& spravne, const QString& odpoved)
{
    if (m_mode == EvalMode::ResultsCommand && odpoved.isEmpty())
        return false;
    ++m_n;
    const QString sep = QStringLiteral(", ");
    if (!m_correct.isEmpty())
        m_correct += sep;
    m_correct += QString::number(m_n) + UpperAscii(spravne);
    if (AnswerIsRight(m_type, odpoved, spravne)) {
        ++m_r;
    } else {
        if (!m_wrong.isEmpty())
            m_wrong += sep;
        m_wrong += QString::number(m_n);
    }
    return true;
}

Outcome TScoreSheet::finish(int questionCount) const
{
    Outcome o;
    o.complete = true;
    o.n = m_n;
    o.r = m_r;
    o.wrong = questionCount - m_r;
    o.wrongList = m_wrong;
    o.correctList = m_correct;
    if (m_r == questionCount && m_n > 0) {
        o.percentText = QStringLiteral("100");
        o.barWidth = 400;
        o.grade = QStringLiteral("1 - výborný");
    } else if (m_n == 0) {
        // A table without rows scans nothing; 100 / 0 would make every
        // figure meaningless, so such a test scores nothing.
        o.percentText = QStringLiteral("0");
        o.barWidth = 0;
        o.grade = QStringLiteral("5 - nedostatečný");
    } else {
        o.percentText = QString::number(RoundHalfEven(100 * qint64(m_r), m_n));
        o.barWidth = int(RoundHalfEven(400 * qint64(m_r), m_n));
        o.grade = GradeText(m_r, m_n);
    }
    return o;
}

Outcome Evaluate(const QList<AnswerRow>& rows, TestType type, EvalMode mode)
{
    TScoreSheet sheet(type, mode);
    for (int i = 0; i < rows.size(); ++i) {
        if (!sheet.add(rows[i].spravne, rows[i].odpoved)) {
            Outcome o;
            o.complete = false;
            o.unansweredRow = i + 1;
            o.n = sheet.n();
            o.r = sheet.r();
            return o;
        }
    }
    return sheet.finish(static_cast<int>(rows.size()));
}

std::optional<qint64> AllowedSeconds(const QString& allowedText)
{
    const QStringList parts = allowedText.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return std::nullopt;
    qint64 value[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const QString& s = parts[i];
        // Digits only: a signed or empty part is no duration.  Nine digits
        // keep the sum far from overflowing.
        if (s.isEmpty() || s.size() > 9)
            return std::nullopt;
        for (QChar c : s)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        value[i] = s.toLongLong();
    }
    return value[0] * 3600 + value[1] * 60 + value[2];
}

bool TimeExpired(qint64 elapsedSeconds, const QString& allowedText)
{
    const std::optional<qint64> allowed = AllowedSeconds(allowedText);
    return allowed && elapsedSeconds >= *allowed;
}

} // namespace vedomec::results
