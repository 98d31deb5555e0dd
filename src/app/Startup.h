#pragma once
#include "config/Settings.h"

#include <functional>

class QApplication;

namespace vedomec {

class THlavniDialog;

// What the command line and the configuration files ask of a start.
struct TStartSettings {
    TSettings settings;
    QStringList problems; // configuration files that could not be read
};

// The program's start-up, in its fixed order, and its message loop.  Returns
// the exit code: 0, or 1 when the data folder that an option or a setting
// names cannot be used (a balloon says why, and the program ends when it is
// answered).  `shown` runs once the main window is shown (the start-up
// benchmark stops its clock there).
int RunVedomec(QApplication& app, const std::function<void(THlavniDialog*)>& shown = {},
               const TStartSettings& start = {});

} // namespace vedomec
