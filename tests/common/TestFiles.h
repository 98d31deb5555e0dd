#pragma once
// Files a test lays out before the program reads them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace vedomec::testfiles {

// Writes `bytes` to `path`, making its folder first; a file that cannot be
// opened fails the test.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace vedomec::testfiles
