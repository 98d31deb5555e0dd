#pragma once
#include <QByteArray>
#include <QString>

namespace vedomec {

// Text on disk is Windows-1250; these are the only crossings between the
// two worlds.  Encoding normalises to NFC first so that a decomposed "č"
// typed on Linux lands as the single byte Windows programs expect, and a
// character the code page cannot hold becomes '?'.
QString cp1250ToUnicode(const char* data, qsizetype size);
inline QString cp1250ToUnicode(const QByteArray& bytes) { return cp1250ToUnicode(bytes.constData(), bytes.size()); }
QByteArray unicodeToCp1250(const QString& text);

} // namespace vedomec
