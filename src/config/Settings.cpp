#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace vedomec {
namespace {

bool isSwitch(const QString& value)
{
    return parseSwitch(value).has_value();
}

const std::array<SettingInfo, SettingCount> Settings = {{
    {Setting::DataFolder, "DataFolder", "data-folder", "SLOŽKA",
     "složka s daty (Data, Testy, Zvuky), místo té, kterou určuje nastavení", false, nullptr},
    {Setting::Character, "Character", "character", "JMÉNO|SOUBOR",
     "pomocník na ploše: jméno nainstalovaného pomocníka (např. Sova) nebo soubor jeho knihovny;\n"
     "      prázdná hodnota (--character=) znamená žádného",
     true, nullptr},
    {Setting::Sound, "Sound", "sound", "on|off", "zvuky programu a pomocníka: on (hrají), nebo off (mlčí)", false,
     isSwitch},
    {Setting::ResultsFolder, "ResultsFolder", "results-folder", "SLOŽKA",
     "složka, kam se ukládají výsledky testů; jinak Vysledky ve složce s daty", true, nullptr},
    {Setting::RecordResults, "RecordResults", "record-results", "on|off",
     "ukládat výsledek každého testu pro učitele: on (ano), nebo off (ne)", false, isSwitch},
    {Setting::AskPupilName, "AskPupilName", "ask-pupil-name", "on|off",
     "před testem se zeptat na jméno a třídu žáka (žáci sdílejí jeden účet): on, nebo off", false, isSwitch},
}};

// Qt's own options, which QApplication takes from the same command line.
struct QtOption {
    const char* name;
    bool takesValue;
};
const QtOption QtOptions[] = {
    {"platform", true},  {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"style", true},     {"stylesheet", true},         {"session", true},       {"display", true},
    {"geometry", true},  {"qwindowgeometry", true},    {"qwindowtitle", true},  {"qwindowicon", true},
    {"reverse", false},
};

const QtOption* qtOption(const QString& name)
{
    for (const QtOption& o : QtOptions)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

QString quoted(const QString& s)
{
    return QStringLiteral("„%1“").arg(s);
}

} // namespace

std::optional<bool> parseSwitch(const QString& value)
{
    static const char* const on[] = {"on", "ano", "yes", "true", "1"};
    static const char* const off[] = {"off", "ne", "no", "false", "0"};
    const QString v = value.trimmed();
    for (const char* word : on)
        if (v.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return true;
    for (const char* word : off)
        if (v.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return false;
    return std::nullopt;
}

QString switchText(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

const SettingInfo& settingInfo(Setting setting)
{
    return Settings[size_t(setting)];
}

QStringList configurationFiles()
{
    QStringList files;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        files << QDir(dir).filePath(QStringLiteral("vedomec/vedomec.conf"));
    files.removeDuplicates();
    return files;
}

TCommandLine TCommandLine::parse(const QStringList& arguments)
{
    TCommandLine cl;
    auto refuse = [&cl](const QString& why) {
        cl.action = Refused;
        cl.error = why;
        return cl;
    };
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!options || !a.startsWith(u'-') || a == QLatin1String("-"))
            return refuse(QStringLiteral("nečekaný argument %1").arg(quoted(a)));
        if (a == QLatin1String("--")) {
            options = false;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.action = Help;
            return cl;
        }
        if (a == QLatin1String("--version")) {
            cl.action = Version;
            return cl;
        }
        if (a.startsWith(QLatin1String("--"))) {
            const qsizetype eq = a.indexOf(u'=');
            const QString name = a.mid(2, eq < 0 ? -1 : eq - 2);
            const SettingInfo* info = nullptr;
            for (const SettingInfo& s : Settings)
                if (name == QLatin1String(s.option))
                    info = &s;
            if (!info)
                return refuse(QStringLiteral("neznámá volba %1").arg(quoted(a)));
            QString value;
            bool hasValue = true;
            if (eq >= 0)
                value = a.mid(eq + 1);
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                hasValue = false;
            if (!hasValue || (value.isEmpty() && !info->emptyAllowed))
                return refuse(QStringLiteral("volba --%1 potřebuje hodnotu %2")
                                  .arg(QLatin1String(info->option), QString::fromUtf8(info->valueName)));
            if (info->valid && !info->valid(value))
                return refuse(QStringLiteral("volba --%1 má hodnotu %2, ne %3")
                                  .arg(QLatin1String(info->option),
                                       QString::fromUtf8(info->valueName).replace(u'|', QStringLiteral(", nebo ")),
                                       quoted(value)));
            cl.values[size_t(info->setting)] = value;
            continue;
        }
        // Qt's options have one dash; "-style=fusion" is also Qt's form.
        const qsizetype eq = a.indexOf(u'=');
        const QtOption* qt = qtOption(a.mid(1, eq < 0 ? -1 : eq - 1));
        if (!qt || (!qt->takesValue && eq >= 0))
            return refuse(QStringLiteral("neznámá volba %1").arg(quoted(a)));
        if (qt->takesValue && eq < 0) {
            if (i + 1 >= arguments.size())
                return refuse(QStringLiteral("volba %1 potřebuje hodnotu").arg(a));
            ++i;
        }
    }
    return cl;
}

QString usageText()
{
    QString line = QStringLiteral("Použití: vedomec");
    for (const SettingInfo& s : Settings)
        line += QStringLiteral(" [--%1 %2]").arg(QLatin1String(s.option), QString::fromUtf8(s.valueName));
    return line + QStringLiteral(" [--help] [--version]\n");
}

QString helpText()
{
    QString text = usageText();
    text += QStringLiteral("Vyplňování školních testů se známkou na konci.\n\n");
    for (const SettingInfo& s : Settings)
        text += QStringLiteral("  --%1 %2\n      %3\n")
                    .arg(QLatin1String(s.option), QString::fromUtf8(s.valueName), QString::fromUtf8(s.help));
    text += QStringLiteral("  -h, --help\n      vypíše tuto nápovědu\n"
                           "  --version\n      vypíše verzi programu\n\n");
    QStringList keys;
    for (const SettingInfo& s : Settings)
        keys << QString::fromLatin1(s.key);
    text += QStringLiteral("Nastavení (%1) čte program ze souboru ~/.config/vedomec/vedomec.conf\n"
                           "a pro všechny uživatele z /etc/xdg/vedomec/vedomec.conf; volba platí přednostně.\n"
                           "Pomocníka a zvuky lze zvolit i v programu (Nápověda, Nastavení).  Nainstalovaní\n"
                           "pomocníci jsou ve složce lib/vedomec/characters instalace programu, vlastní\n"
                           "(soubory .so) si uživatel přidá do ~/.local/share/vedomec/characters.\n"
                           "Podrobnosti: man vedomec\n")
                .arg(keys.join(QStringLiteral(", ")));
    return text;
}

QStringList TSettings::readFiles(const QStringList& files)
{
    QStringList problems;
    for (const QString& file : files) {
        if (!QFileInfo::exists(file))
            continue;
        // QSettings reads what it can of a file it cannot open and says
        // nothing: try it first, so a file an administrator wrote is never
        // passed over silently.
        QFile probe(file);
        if (!probe.open(QIODevice::ReadOnly)) {
            problems << QStringLiteral("Soubor s nastavením %1 nelze přečíst: %2.").arg(file, probe.errorString());
            continue;
        }
        probe.close();
        const QSettings ini(file, QSettings::IniFormat);
        if (ini.status() != QSettings::NoError) {
            problems << QStringLiteral("Soubor s nastavením %1 má chybný zápis.").arg(file);
            continue;
        }
        for (const QString& key : ini.allKeys()) {
            for (const SettingInfo& s : Settings) {
                SettingValue& v = m_values[size_t(s.setting)];
                if (v.given() || key.compare(QLatin1String(s.key), Qt::CaseInsensitive) != 0)
                    continue;
                // An unquoted comma makes a list of the value: join it back.
                const QVariant value = ini.value(key);
                v.value = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
                v.origin = file;
            }
        }
    }
    return problems;
}

bool TSettings::soundOn(QString* problem) const
{
    const SettingValue& v = value(Setting::Sound);
    if (!v.given() || v.value.trimmed().isEmpty())
        return true;
    if (const std::optional<bool> on = parseSwitch(v.value))
        return *on;
    if (problem)
        *problem = QStringLiteral("Soubor s nastavením %1 má u Sound hodnotu %2; Vedomec zná jen on a off, "
                                  "a tak zvuky hraje.")
                       .arg(v.origin, quoted(v.value));
    return true;
}

bool TSettings::switchOn(Setting setting, bool byDefault, QString* problem) const
{
    const SettingValue& v = value(setting);
    if (!v.given() || v.value.trimmed().isEmpty())
        return byDefault;
    if (const std::optional<bool> on = parseSwitch(v.value))
        return *on;
    if (problem)
        *problem = QStringLiteral("Soubor s nastavením %1 má u %2 hodnotu %3; Vedomec zná jen on a off, "
                                  "a tak platí %4.")
                       .arg(v.origin, QLatin1String(settingInfo(setting).key), quoted(v.value), switchText(byDefault));
    return byDefault;
}

void TSettings::apply(const TCommandLine& commandLine)
{
    for (const SettingInfo& s : Settings) {
        const auto& given = commandLine.values[size_t(s.setting)];
        if (given)
            m_values[size_t(s.setting)] = {*given, QStringLiteral("--%1").arg(QLatin1String(s.option))};
    }
}

} // namespace vedomec
