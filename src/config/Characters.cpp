#include "config/Characters.h"

#include "assistant/oaActor.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#ifndef VEDOMEC_CHARACTERS_FROM_BIN
#define VEDOMEC_CHARACTERS_FROM_BIN "../lib/vedomec/characters"
#endif

namespace vedomec {
namespace {

const QString kSuffix = QStringLiteral(".so");

QStringList& folderOverride()
{
    static QStringList folders;
    return folders;
}

QString quoted(const QString& s)
{
    return QStringLiteral("„%1“").arg(s);
}

QString whoNames(const SettingValue& v)
{
    return v.fromCommandLine() ? QStringLiteral("Určuje ho volba %1.").arg(v.origin)
                               : QStringLiteral("Určuje ho soubor s nastavením %1.").arg(v.origin);
}

int clamp(int v, int low, int high)
{
    return high < low ? low : std::clamp(v, low, high);
}

} // namespace

QString userCharacterFolder()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return home.isEmpty() ? QString() : QDir(home).filePath(QStringLiteral("vedomec/characters"));
}

QString installedCharacterFolder()
{
    return QDir::cleanPath(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(VEDOMEC_CHARACTERS_FROM_BIN)));
}

QStringList characterFolders()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    QStringList folders;
    if (const QString user = userCharacterFolder(); !user.isEmpty())
        folders << user;
    folders << installedCharacterFolder();
    return folders;
}

void setCharacterFolders(const QStringList& folders)
{
    folderOverride() = folders;
}

QList<TCharacterFile> installedCharacters()
{
    QList<TCharacterFile> out;
    for (const QString& folder : characterFolders()) {
        const QString dir = fs::resolve(folder);
        if (dir.isEmpty())
            continue;
        for (const QString& file : fs::listFiles(dir, kSuffix)) {
            const QString name = file.chopped(kSuffix.size());
            if (name.isEmpty() || name.startsWith(u'.'))
                continue;
            const bool taken = std::any_of(out.begin(), out.end(), [&](const TCharacterFile& c) {
                return c.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (!taken)
                out.append({name, fs::join(dir, file)});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const TCharacterFile& a, const TCharacterFile& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return out;
}

TCharacterFile findCharacter(const QString& name)
{
    for (const TCharacterFile& c : installedCharacters())
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return {name, {}};
}

QList<TCharacterEntry> describeCharacters(const QList<TCharacterFile>& files)
{
    QList<TCharacterEntry> out;
    for (const TCharacterFile& f : files) {
        TCharacterEntry entry {f, f.name, {}};
        TAssistantActor actor;
        try {
            actor.setLibrary(f.path);
            if (!actor.ActorName().isEmpty())
                entry.actorName = actor.ActorName();
            if (const int broken = actor.firstDamagedAnimation())
                entry.problem = QStringLiteral("poškozená animace %1").arg(quoted(actor.animation(broken)->name));
        } catch (const EVedomecError&) {
            entry.problem = QStringLiteral("soubor není knihovna pomocníka nebo je poškozený");
        }
        out.append(entry);
    }
    return out;
}

QString characterCaption(const TCharacterEntry& entry, const QList<TCharacterEntry>& all)
{
    if (!entry.problem.isEmpty())
        return QStringLiteral("%1 (nelze zobrazit: %2)").arg(entry.file.name, entry.problem);
    const auto same = std::count_if(all.begin(), all.end(), [&](const TCharacterEntry& e) {
        return e.problem.isEmpty() && e.actorName == entry.actorName;
    });
    if (same > 1 || entry.actorName.trimmed().isEmpty())
        return QStringLiteral("%1 (%2)").arg(entry.actorName, entry.file.name);
    return entry.actorName;
}

QString damagedAnimationText(const QString& library, const QString& animation)
{
    return QStringLiteral("Animace %1 v souboru %2 je poškozená a nelze ji přehrát.")
        .arg(quoted(animation), quoted(library));
}

QString characterFault(const QString& library)
{
    TAssistantActor actor;
    try {
        actor.setLibrary(library);
    } catch (const EVedomecError& e) {
        return e.message();
    }
    if (const int broken = actor.firstDamagedAnimation())
        return damagedAnimationText(library, actor.animation(broken)->name);
    return {};
}

TCharacterChoice chooseCharacter(const SettingValue& setting)
{
    TCharacterChoice choice;
    const QString value = setting.value.trimmed();
    if (!setting.given() || value.isEmpty())
        return choice;

    if (!value.contains(u'/')) {
        const TCharacterFile found = findCharacter(value);
        if (!found.path.isEmpty()) {
            choice.library = found.path;
            return choice;
        }
        const QStringList folders = characterFolders();
        choice.problem = QStringLiteral("Pomocník %1 není nainstalován, ve složkách %2 žádný takový není. %3 "
                                        "Vedomec proto běží bez pomocníka na ploše.")
                             .arg(quoted(value), folders.join(QStringLiteral(" a ")), whoNames(setting));
        return choice;
    }

    QString file = setting.value;
    if (file.startsWith(QLatin1String("~/")))
        file = QDir::homePath() + file.mid(1);
    if (setting.fromCommandLine()) {
        file = QDir::current().absoluteFilePath(file);
    } else if (QDir::isRelativePath(file)) {
        choice.problem = QStringLiteral("Soubor pomocníka %1 v souboru s nastavením %2 není zadán celou cestou "
                                        "(například /opt/pomocnici/Sova.so nebo ~/Sova.so). Vedomec proto běží "
                                        "bez pomocníka na ploše.")
                             .arg(quoted(setting.value), setting.origin);
        return choice;
    }
    choice.library = QDir::cleanPath(file);
    return choice;
}

QPoint characterPlace(const QRect& screen, const QRect& window, const QSize& stage)
{
    const int w = stage.width();
    const int h = stage.height();
    const int screenRight = screen.x() + screen.width(); // one past
    const int screenBottom = screen.y() + screen.height();
    const int windowRight = window.x() + window.width();
    const int windowBottom = window.y() + window.height();
    const int besideY = clamp(windowBottom - h, screen.y(), screenBottom - h);
    const int aboveBelowX = clamp(windowRight - w, screen.x(), screenRight - w);

    if (windowRight + CharacterGap + w <= screenRight && windowRight + CharacterGap >= screen.x())
        return {windowRight + CharacterGap, besideY};
    if (window.x() - CharacterGap - w >= screen.x() && window.x() - CharacterGap <= screenRight)
        return {window.x() - CharacterGap - w, besideY};
    if (windowBottom + CharacterGap + h <= screenBottom && windowBottom + CharacterGap >= screen.y())
        return {aboveBelowX, windowBottom + CharacterGap};
    if (window.y() - CharacterGap - h >= screen.y() && window.y() - CharacterGap <= screenBottom)
        return {aboveBelowX, window.y() - CharacterGap - h};

    // No side has room: the corner of the screen where she covers least.
    const int left = screen.x();
    const int right = std::max(screen.x(), screenRight - w);
    const int top = screen.y();
    const int bottom = std::max(screen.y(), screenBottom - h);
    const QPoint corners[] = {{right, bottom}, {left, bottom}, {right, top}, {left, top}};
    QPoint best = corners[0];
    qint64 least = -1;
    for (const QPoint& c : corners) {
        const QRect covered = QRect(c, stage).intersected(window);
        const qint64 area = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
        if (least < 0 || area < least) {
            least = area;
            best = c;
        }
    }
    return best;
}

} // namespace vedomec
