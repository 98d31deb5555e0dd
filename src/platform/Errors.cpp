#include "Errors.h"

namespace vedomec {

QString errorReportText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString exceptionMessage(const std::exception& e)
{
    if (auto* v = dynamic_cast<const EVedomecError*>(&e))
        return v->message();
    return QString::fromUtf8(e.what());
}

} // namespace vedomec
