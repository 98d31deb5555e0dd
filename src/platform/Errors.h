#pragma once
#include <QString>
#include <stdexcept>

namespace vedomec {

// Errors that end the current user action and reach the standard error
// report.  The text is the user-visible message, kept as a QString so Czech
// file names survive.
class EVedomecError : public std::runtime_error {
public:
    explicit EVedomecError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// Failures of the table store (missing file, bad layout, damaged file).
class EDatabaseError : public EVedomecError {
public:
    using EVedomecError::EVedomecError;
};

// Input/output failures of the file-system layer.
class EInOutError : public EVedomecError {
public:
    using EVedomecError::EVedomecError;
};

// The text the standard error report shows: a full stop is added when the
// last character sorts after '.' (a letter or digit, but not '!').
QString errorReportText(const QString& message);

// The message of any exception caught at an event-handler boundary.
QString exceptionMessage(const std::exception& e);

} // namespace vedomec
