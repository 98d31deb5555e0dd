#pragma once
#include <functional>

class QApplication;

namespace vedomec {

class THlavniDialog;

// The program's start-up, in its fixed order, and its message loop.  Returns
// the exit code (always 0).  `shown` runs once the main window is shown
// (the start-up benchmark stops its clock there).
int RunVedomec(QApplication& app, const std::function<void(THlavniDialog*)>& shown = {});

} // namespace vedomec
