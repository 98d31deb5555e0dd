#pragma once
#include "platform/Errors.h"

#include <QString>
#include <functional>
#include <utility>

namespace vedomec {

// The application's report of an error that ended a user action: the
// presenter's (the main window's Czech message balloon) once there is one,
// else a message box titled "Vedomec" with the error icon, OK and the
// error's Czech text.  A report that comes while one is shown (a timer's
// tick in the balloon's loop failing again) is not shown twice.
void ShowErrorReport(const QString& message);

// Tests see the reports (the store's own text) instead of a modal box.
// nullptr restores the box.
void setErrorReportHook(std::function<void(const QString& text)> hook);
// Who shows the reports; it is handed the store's own text.  nullptr
// restores the box.
void setErrorPresenter(std::function<void(const QString& text)> presenter);

// Runs an event handler; an error ends the handler, is reported, and the
// program keeps running.  Every handler that may touch the table store or the
// file system runs through this.
template <class F>
void guarded(F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        ShowErrorReport(exceptionMessage(e));
    } catch (...) {
        ShowErrorReport(QStringLiteral("Unknown error"));
    }
}

} // namespace vedomec
