#pragma once
// Running the command-line tools from a test, and the foreign table the
// tests of vedomec-table look at.
#include "../data/ForeignIndexFixture.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace ff = foreignfixture;

namespace {

inline QString toolPath(const char* name)
{
    const QString dir = qEnvironmentVariable("VEDOMEC_BIN_DIR");
    return QDir(dir).filePath(QLatin1String(name));
}

struct Run {
    int code = -1;
    QString out, err;
};

inline Run runTool(const char* tool, const QStringList& args)
{
    QProcess p;
    p.start(toolPath(tool), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The foreign fixture with only the named tags, as F.DBF in `dir`.
inline QString writeForeign(const QTemporaryDir& dir, const QList<QByteArray>& names)
{
    const QString table = dir.filePath(QStringLiteral("F.DBF"));
    QList<mdxtest::Tag> tags;
    for (const QByteArray& name : names)
        tags << ff::tagNamed(ff::tags(), name);
    ff::write(table, ff::rows(), tags);
    return table;
}

// The record numbers `walk` prints, in its order.
inline QStringList walkedRecords(const QString& table, const QString& tag)
{
    const Run r = runTool("vedomec-table", {QStringLiteral("walk"), table, tag});
    QStringList out;
    for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts))
        out << line.section(u'\t', 0, 0);
    return out;
}

} // namespace
