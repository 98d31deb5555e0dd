#pragma once
#include <QString>

namespace vedomec {

// The allowed time of a test as the main window and the identification
// dialog show it: hours ":" minutes ":" seconds from the question table's
// CAS1, CAS2 and CAS3 as read (decimal text; empty for a field without a
// value).  Minutes and seconds of exactly "0" to "9" get a leading zero,
// every other text is kept as it is, the hours are never padded; "0:00:00"
// means no limit and reads "neomezeno".
QString AllowedTimeText(const QString& cas1, const QString& cas2, const QString& cas3);

// The text shown when a test has no time limit.
inline QString NoTimeLimitText() { return QStringLiteral("neomezeno"); }

} // namespace vedomec
