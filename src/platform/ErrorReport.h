#pragma once
#include "platform/Errors.h"

#include <QString>
#include <functional>
#include <utility>

namespace vedomec {

// The application's standard error report: a system message box titled
// "Vedomec 2001" with the error icon, OK and the error's text.
void ShowErrorReport(const QString& message);

// Tests see the reports instead of a modal box.  nullptr restores the box.
void setErrorReportHook(std::function<void(const QString& text)> hook);

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
