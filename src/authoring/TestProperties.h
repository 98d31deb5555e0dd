#pragma once
// What the test as a whole may change into: another type, when every
// question can keep its correct answer, and the allowed time as the teacher
// writes it.
#include "authoring/TestRules.h"

#include <optional>

namespace vedomec::authoring {

// The test with type `to`, each question's correct answer carried over
// (a letter of A becomes the text of that answer for C, or ANO/NE for B
// when that answer reads so; ANO/NE of B is the expected text of C, and an
// expected ANO or NE of C the answer of B).  A question with nothing in it
// yet becomes an empty one of the new type.  nullopt when a question cannot
// keep a correct answer; `why` then names the first such question.
std::optional<TestSource> withType(const TestSource& test, QChar to, QString* why = nullptr);

// The allowed time from "h:mm:ss" (or "h:mm"); empty text or "neomezeno"
// is no limit (0:00:00).  False for anything else, the values untouched.
bool parseTimeLimit(const QString& text, int& hours, int& minutes, int& seconds);

} // namespace vedomec::authoring
