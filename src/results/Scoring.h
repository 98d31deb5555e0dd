#pragma once
// Scoring and grading of an evaluated test, free of any window: the main
// window feeds it the rows of the question table and copies the outcome into
// the results dialog.
#include <QList>
#include <QString>

#include <optional>

namespace vedomec::results {

enum class TestType { A, B, C };

// The Results command refuses while a question is unanswered; the time
// expiry scores every row, an empty answer counting like any other.
enum class EvalMode { ResultsCommand, TimeExpiry };

// The nearest whole number to num / den (den > 0, num >= 0), an exact half
// going to the even neighbour (500 / 8 -> 62, 700 / 8 -> 88).  Worked out on
// integers: a percentage such as 100 * 97 / 194 is exactly 50, where the
// floating-point (100 / 194) * 97 falls just below it.
qint64 RoundHalfEven(qint64 num, qint64 den);

// Upper case for the letters a to z only; accented letters stay.
QString UpperAscii(const QString& text);

// The grade for a test that is not all right, r of n right, judged on the
// exact percentage 100 * r / n.  Empty when r >= n (or n is 0), where the
// caller keeps the grade it has.
QString GradeText(qint64 r, qint64 n);

// Types A and B compare without regard to the case of a to z, type C exactly.
bool AnswerIsRight(TestType type, const QString& answer, const QString& correct);

// One question table row as the evaluation reads it.
struct AnswerRow {
    QString spravne; // SPRAVNE, the correct answer
    QString odpoved; // ODPOVED, the user's answer
};

// The outcome as the results dialog shows it.
struct Outcome {
    bool complete = false;  // false: stopped at an unanswered question
    int unansweredRow = 0;  // 1-based row of that question, else 0
    int n = 0;              // questions scanned
    int r = 0;              // right answers
    int wrong = 0;          // L3: question count minus r
    QString percentText;    // L4
    int barWidth = 0;       // width of the success bar, 0 to 400
    QString grade;          // L6; empty when GradeText leaves it as it was
    QString wrongList;      // L5, "2, 5, 7"
    QString correctList;    // L7, "1A, 2C, 3D"
};

// Accumulates the rows of one evaluation in table order, so the window can
// feed it straight from the table cursor and stop at the first empty answer.
class TScoreSheet {
public:
    TScoreSheet(TestType type, EvalMode mode) : m_type(type), m_mode(mode) {}

    // Returns false (and counts nothing) for an unanswered row in the Results
    // command mode; the evaluation then ends.
    bool add(const QString& spravne, const QString& odpoved);

    // questionCount is the number of questions the window shows (its row
    // count); the grade "1 - výborný" needs all of them right.
    Outcome finish(int questionCount) const;

    int n() const { return m_n; }
    int r() const { return m_r; }

private:
    TestType m_type;
    EvalMode m_mode;
    int m_n = 0;
    int m_r = 0;
    QString m_wrong;
    QString m_correct;
};

// The whole evaluation over a list of rows, with the question count taken
// from the list.
Outcome Evaluate(const QList<AnswerRow>& rows, TestType type, EvalMode mode);

// Seconds of an allowed-time text "H:M:S" (each part a decimal number,
// minutes and seconds not limited to 59); nothing for "neomezeno", for empty
// parts and for anything else that is no duration.
std::optional<qint64> AllowedSeconds(const QString& allowedText);

// Whether a limit shown as allowedText is used up after elapsedSeconds of
// real elapsed time (days included, so limits of a day or more expire too).
bool TimeExpired(qint64 elapsedSeconds, const QString& allowedText);

} // namespace vedomec::results
