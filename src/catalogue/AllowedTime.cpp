#include "catalogue/AllowedTime.h"

namespace vedomec {

namespace {

QString padTwo(const QString& part)
{
    // Only a single digit is padded; "10", "75" and "" stay as read.
    if (part.size() == 1 && part.at(0) >= QLatin1Char('0') && part.at(0) <= QLatin1Char('9'))
        return QLatin1Char('0') + part;
    return part;
}

} // namespace

QString AllowedTimeText(const QString& cas1, const QString& cas2, const QString& cas3)
{
    const QString text = cas1 + QLatin1Char(':') + padTwo(cas2) + QLatin1Char(':') + padTwo(cas3);
    if (text == QLatin1String("0:00:00"))
        return NoTimeLimitText();
    return text;
}

} // namespace vedomec
