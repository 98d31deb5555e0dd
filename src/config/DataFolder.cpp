#include "DataFolder.h"

#include "platform/AppPath.h"

#include <QDir>

namespace vedomec {
namespace {

const QString kNoStart = QStringLiteral("Vedomec se proto ukončí; obraťte se prosím na správce počítače.");

QString whoNames(const SettingValue& v)
{
    return v.fromCommandLine() ? QStringLiteral("Určuje ji volba %1.").arg(v.origin)
                               : QStringLiteral("Určuje ji soubor s nastavením %1.").arg(v.origin);
}

} // namespace

TDataFolderChoice chooseDataFolder(const SettingValue& setting, const QStringList& configProblems,
                                   const QString& sampleFolder)
{
    TDataFolderChoice choice;
    // The option decides alone; otherwise a configuration file that could
    // not be read might have named another folder than the one used.
    if (!setting.fromCommandLine() && !configProblems.isEmpty()) {
        choice.problem = configProblems.join(u'\n') + u'\n' + kNoStart;
        return choice;
    }
    if (!setting.given() || setting.value.isEmpty())
        return choice;

    QString folder = setting.value;
    if (folder == u'~' || folder.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + folder.mid(1);
    if (setting.fromCommandLine()) {
        folder = QDir::current().absoluteFilePath(folder);
    } else if (QDir::isRelativePath(folder)) {
        choice.problem = QStringLiteral("Složka s daty „%1“ v souboru s nastavením %2 není zadána celou cestou "
                                        "(například /srv/vedomec nebo ~/vedomec).\n")
                             .arg(setting.value, setting.origin)
                         + kNoStart;
        return choice;
    }
    folder = QDir::cleanPath(folder);

    QString error;
    const QString named = QStringLiteral("Složka s daty „%1“").arg(folder);
    switch (TAppPath::prepareNamed(folder, sampleFolder, &error)) {
    case TAppPath::NamedFolder::Ready:
        break;
    case TAppPath::NamedFolder::Filled:
        choice.notice = named + QStringLiteral(" byla prázdná, a tak do ní Vedomec nakopíroval ukázkové testy.");
        break;
    case TAppPath::NamedFolder::Missing:
        choice.problem = QStringLiteral("%1 neexistuje. %2\n%3").arg(named, whoNames(setting), kNoStart);
        break;
    case TAppPath::NamedFolder::NotAFolder:
        choice.problem = QStringLiteral("„%1“ není složka. %2\n%3").arg(folder, whoNames(setting), kNoStart);
        break;
    case TAppPath::NamedFolder::Unreadable:
        choice.problem = QStringLiteral("%1 nejde přečíst: chybí právo ji číst. %2\n%3").arg(named, whoNames(setting), kNoStart);
        break;
    case TAppPath::NamedFolder::EmptyReadOnly:
        choice.problem = QStringLiteral("%1 je prázdná a Vedomec do ní nesmí zapisovat, takže do ní nemůže dát ani "
                                        "ukázkové testy. %2\n%3")
                             .arg(named, whoNames(setting), kNoStart);
        break;
    case TAppPath::NamedFolder::FillFailed:
        choice.problem = QStringLiteral("%1 je prázdná, ale ukázkové testy do ní nejde nakopírovat (%2). %3\n%4")
                             .arg(named, error, whoNames(setting), kNoStart);
        break;
    }
    choice.folder = folder;
    return choice;
}

} // namespace vedomec
