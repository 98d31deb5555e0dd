#pragma once
// What each field of a test may hold, as the question table stores it: the
// widths of its text fields, only characters Windows-1250 can store, no
// empty question, no question without its correct answer.  A test that
// breaks a rule is never written; the rule names the question and the field.
#include "exchange/TestSource.h"

#include <QList>
#include <QString>

namespace vedomec::authoring {

using exchange::SourceQuestion;
using exchange::TestSource;

// The fields a teacher fills in.
enum class Field {
    Kind, Title, Author, Address, Email, Http, Password, // test-wide
    Question, AnswerA, AnswerB, AnswerC, AnswerD, Correct // per question
};
constexpr bool isTestWide(Field f) { return f <= Field::Password; }

// How many characters the field's column holds for a test of this type.
int fieldWidth(Field field, QChar type);
// The Czech name of the field, as a message names it ("text otázky").
QString fieldName(Field field);

// A field's value of the test or of question `question` (0-based).
QString fieldValue(const TestSource& test, int question, Field field);
void setFieldValue(TestSource& test, int question, Field field, const QString& value);

// How many characters the value takes in the table (a letter typed as a base
// letter and an accent counts once, as it is stored).
int storedLength(const QString& value);
// The positions (in `value`) of the characters Windows-1250 cannot store.
QList<int> unstorablePositions(const QString& value);

// One broken rule.  `question` is 0-based, -1 for a test-wide field.
struct RuleBreak {
    int question = -1;
    Field field = Field::Title;
    QString message; // Czech, naming the question and the field
};
// Every rule the test breaks, in the order of the form: the test-wide
// fields, then question by question.
QList<RuleBreak> checkTest(const TestSource& test);
// The first of them as one sentence; empty when the test may be saved.
QString firstProblem(const TestSource& test);

// A new empty question of the test's type (type B answers "ANO" unless set).
SourceQuestion emptyQuestion(QChar type);

// Whether `entered` opens a test protected with `stored` (exact, letter case
// included, as the password is written).  An unprotected test opens with any.
bool passwordMatches(const QString& stored, const QString& entered);

// The allowed time as the forms show it: "neomezeno" or h:mm:ss.
QString timeLimitText(const TestSource& test);

} // namespace vedomec::authoring
