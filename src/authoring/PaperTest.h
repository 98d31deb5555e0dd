#pragma once
// A test on paper: the sheet a pupil fills in (title, author, numbered
// questions with their answers to circle, no correct answers) and,
// separately, the key with the correct answers, as HTML a printer or a PDF
// file is given.
#include "authoring/TestRules.h"

#include <QString>

namespace vedomec::authoring {

QString paperTestHtml(const TestSource& test);
QString answerKeyHtml(const TestSource& test);

} // namespace vedomec::authoring
