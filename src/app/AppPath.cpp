#include "AppPath.h"

#include <QCoreApplication>
#include <QDir>

namespace vedomec {
namespace {
QString& overridePath()
{
    static QString p;
    return p;
}
QString withSlash(QString p)
{
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}
} // namespace

QString TAppPath::Path()
{
    if (!overridePath().isEmpty())
        return overridePath();
    return withSlash(QCoreApplication::applicationDirPath());
}

void TAppPath::setOverride(const QString& folder)
{
    overridePath() = folder.isEmpty() ? QString() : withSlash(QDir(folder).absolutePath());
}

} // namespace vedomec
