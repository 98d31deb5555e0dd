#pragma once
// The Czech message a user sees for a failure of the table store or of the
// file system: what went wrong, in his words, and what he can do about it.
// The store's own texts (English, with the file named) stay in the
// exceptions, where tests and tools read them.
#include <QString>

namespace vedomec {

QString czechErrorText(const QString& message);
// The same failure in one line for a command-line tool, after its name: the
// cause in Czech, with the store's own text after it where that says more
// (what is damaged in a file).  A tool's own Czech message passes as it is.
QString czechToolErrorText(const QString& message);

} // namespace vedomec
