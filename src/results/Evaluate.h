#pragma once
// The evaluation of the open test, shared by the Results command and the
// expiry of the time limit.
#include "results/Scoring.h"

namespace vedomec {

class THlavniDialog;


// Stores the answer on screen, scores the open test and writes the results
// dialog's figures.  Returns false when the Results command found an
// unanswered question (after telling the user and going back to question 1).
bool EvaluateTest(THlavniDialog& main, results::EvalMode mode);

} // namespace vedomec
