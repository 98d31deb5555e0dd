#pragma once
// The program's settings.  Each one is a key of the configuration file
// vedomec/vedomec.conf under the XDG configuration folders and an option of
// the command line: the option wins over the user's file, which wins over
// the system-wide files an administrator writes for every user of the
// machine.  One more setting is one more enumerator and one more row of the
// table in Settings.cpp; the help, the parser and the files follow.
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vedomec {

enum class Setting {
    DataFolder, // the data folder (Data, Testy, Zvuky) to run on
    Character,  // the assistant's character on the desktop: a name or a library file; empty: none
    Sound,      // whether the program plays its sounds: on or off
    ResultsFolder, // where each test taken is recorded; empty: Vysledky of the data folder
    RecordResults, // whether each test taken leaves a record: on or off
    AskPupilName,  // whether the pupil gives his name and class before a test: on or off
};
constexpr int SettingCount = 6;

struct SettingInfo {
    Setting setting;
    const char* key;       // in the configuration file, letter case aside
    const char* option;    // on the command line, after "--"
    const char* valueName; // in the help and the usage line
    const char* help;      // the help's line (UTF-8)
    bool emptyAllowed;     // the option may be given an empty value
    // The values the setting takes; nullptr: any.  The command line refuses
    // another value, and the program says so of one in a file.
    bool (*valid)(const QString& value);
};
const SettingInfo& settingInfo(Setting setting);

// A value with where it came from: "--data-folder" or the path of the
// configuration file, so that a message can tell an administrator what to
// mend.  A file may give a setting the empty value: in the user's file it
// stands for the default over a system-wide value.
struct SettingValue {
    QString value;
    QString origin; // empty: given nowhere
    bool given() const { return !origin.isEmpty(); }
    bool fromCommandLine() const { return origin.startsWith(QLatin1String("--")); }
};

// An on/off value: on, off, ano, ne, yes, no, true, false, 1, 0 in any
// letter case; nullopt for anything else.
std::optional<bool> parseSwitch(const QString& value);
// How a file stores an on/off value.
QString switchText(bool on);

// vedomec/vedomec.conf in each XDG configuration folder, most important
// first: the user's ($XDG_CONFIG_HOME, ~/.config), then the system-wide ones
// ($XDG_CONFIG_DIRS, /etc/xdg), whether they exist or not.
QStringList configurationFiles();

// What the command line asks for.  Parsed before anything of the window
// system starts, so --help and --version need no display.
struct TCommandLine {
    enum Action { Run, Help, Version, Refused };
    Action action = Run;
    QString error; // Refused: what was wrong (Czech)
    std::array<std::optional<QString>, SettingCount> values;
    // The arguments without the program's name.  Qt's own options (-platform,
    // -style, ...) are let through for QApplication to take.
    static TCommandLine parse(const QStringList& arguments);
};
QString usageText(); // one line
QString helpText();  // the usage and a line for each option

class TSettings {
public:
    // Reads the files in the given order; the first that names a setting
    // decides it.  Returns what went wrong with files that exist but cannot
    // be read, one text for each (Czech).
    QStringList readFiles(const QStringList& files);
    void apply(const TCommandLine& commandLine);
    const SettingValue& value(Setting setting) const { return m_values[size_t(setting)]; }
    // Whether the program plays its sounds; a value a file gives that is no
    // on/off value leaves them on, and `problem` (when given) then says so
    // (Czech).
    bool soundOn(QString* problem = nullptr) const;
    // An on/off setting; `byDefault` where it is not given or is no on/off
    // value, and `problem` then says so (Czech).
    bool switchOn(Setting setting, bool byDefault, QString* problem = nullptr) const;

private:
    std::array<SettingValue, SettingCount> m_values;
};

// Writes the values into the user's configuration file `file` (made, with
// its folder, when missing), keeping every other line of it as it is: a key
// that is there is given the new value, in whatever letter case it was
// written, and one that is not is added to the [General] section.  The file
// is replaced whole or not at all: on failure it stays as it was and
// `error` says why (Czech).  A link is followed, so the file it points at
// is the one rewritten.
bool storeSettings(const QString& file, const QList<std::pair<Setting, QString>>& values, QString* error);

} // namespace vedomec
