// The settings an administrator writes and the options a user types: which
// one wins, what the command line refuses, and the data folder they name,
// used as it is, filled only when empty, and refused with a message that
// says what to mend when it cannot be used.
#include "StoreFaults.h"

#include "config/DataFolder.h"
#include "config/Settings.h"

#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace vedomec;
using vedomec::testfiles::writeFile;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every file below `folder`, by relative path.
QStringList files(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

// A sample like the installed one: read-only, as a package leaves it.
struct Sample {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("sample"));
    Sample()
    {
        writeFile(path + QStringLiteral("/Data/Testy.DBF"), "catalogue");
        writeFile(path + QStringLiteral("/Testy/Zemepis.dbf"), "test");
        writeFile(path + QStringLiteral("/Zvuky/Info.wav"), "RIFF");
        QDir().mkpath(path + QStringLiteral("/Testy/Import"));
        QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            QFile::setPermissions(p, it.fileInfo().isDir() ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
        }
    }
    ~Sample()
    {
        QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

SettingValue fromFile(const QString& value, const QString& file = QStringLiteral("/etc/xdg/vedomec/vedomec.conf"))
{
    return {value, file};
}
SettingValue fromOption(const QString& value)
{
    return {value, QStringLiteral("--data-folder")};
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("folder"); // the DataFolder given, or what the refusal names

        const int run = TCommandLine::Run, help = TCommandLine::Help, version = TCommandLine::Version,
                  refused = TCommandLine::Refused;
        QTest::newRow("nothing") << QStringList{} << run << QString();
        QTest::newRow("help") << QStringList{"--help"} << help << QString();
        QTest::newRow("-h") << QStringList{"-h"} << help << QString();
        QTest::newRow("version") << QStringList{"--version"} << version << QString();
        QTest::newRow("help first") << QStringList{"--help", "--bogus"} << help << QString();
        QTest::newRow("folder") << QStringList{"--data-folder", "/srv/třída"} << run << "/srv/třída";
        QTest::newRow("folder=") << QStringList{"--data-folder=/srv/a b"} << run << "/srv/a b";
        QTest::newRow("last wins") << QStringList{"--data-folder=/a", "--data-folder", "/b"} << run << "/b";
        QTest::newRow("folder after --") << QStringList{"--", "--data-folder=/a"} << refused << "--data-folder=/a";
        QTest::newRow("no value") << QStringList{"--data-folder"} << refused << "--data-folder";
        QTest::newRow("empty value") << QStringList{"--data-folder="} << refused << "--data-folder";
        QTest::newRow("unknown long") << QStringList{"--bogus"} << refused << "--bogus";
        QTest::newRow("unknown before help") << QStringList{"--bogus", "--help"} << refused << "--bogus";
        QTest::newRow("prefix of an option") << QStringList{"--data", "/a"} << refused << "--data";
        QTest::newRow("unknown short") << QStringList{"-x"} << refused << "-x";
        QTest::newRow("dash") << QStringList{"-"} << refused << "-";
        QTest::newRow("argument") << QStringList{"Testy.DBF"} << refused << "Testy.DBF";
        QTest::newRow("qt platform") << QStringList{"-platform", "offscreen"} << run << QString();
        QTest::newRow("qt style=") << QStringList{"-style=fusion", "-reverse"} << run << QString();
        QTest::newRow("qt without value") << QStringList{"-platform"} << refused << "-platform";
        QTest::newRow("qt flag with value") << QStringList{"-reverse=1"} << refused << "-reverse";
        QTest::newRow("qt option's value is not ours")
            << QStringList{"-style", "--data-folder=/a"} << run << QString();
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, folder);
        const TCommandLine cl = TCommandLine::parse(args);
        QCOMPARE(int(cl.action), action);
        const auto& given = cl.values[size_t(Setting::DataFolder)];
        if (action == TCommandLine::Refused) {
            QVERIFY2(cl.error.contains(folder), qPrintable(cl.error));
        } else {
            QVERIFY(cl.error.isEmpty());
            QCOMPARE(given.value_or(QString()), folder);
        }
    }

    void characterAndSoundOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("character"); // given; "<none>" when not
        QTest::addColumn<QString>("sound");
        const QString none = QStringLiteral("<none>");
        QTest::newRow("name") << QStringList{"--character", "Sova"} << false << "Sova" << none;
        QTest::newRow("file=") << QStringList{"--character=./Kos.so"} << false << "./Kos.so" << none;
        // Empty: no character for this run, over any setting.
        QTest::newRow("empty=") << QStringList{"--character="} << false << "" << none;
        QTest::newRow("empty argument") << QStringList{"--character", ""} << false << "" << none;
        QTest::newRow("no value") << QStringList{"--character"} << true << none << none;
        QTest::newRow("sound off") << QStringList{"--sound", "off"} << false << none << "off";
        QTest::newRow("sound NE") << QStringList{"--sound=NE"} << false << none << "NE";
        QTest::newRow("both") << QStringList{"--sound=on", "--character", "Sova"} << false << "Sova" << "on";
        QTest::newRow("sound maybe") << QStringList{"--sound", "maybe"} << true << none << none;
        QTest::newRow("sound empty") << QStringList{"--sound="} << true << none << none;
    }
    void characterAndSoundOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, refused);
        QFETCH(QString, character);
        QFETCH(QString, sound);
        const TCommandLine cl = TCommandLine::parse(args);
        QCOMPARE(cl.action == TCommandLine::Refused, refused);
        if (refused) {
            QVERIFY2(cl.error.contains(args.first().section(u'=', 0, 0)), qPrintable(cl.error));
            return;
        }
        const auto& c = cl.values[size_t(Setting::Character)];
        const auto& v = cl.values[size_t(Setting::Sound)];
        QCOMPARE(c ? *c : QStringLiteral("<none>"), character);
        QCOMPARE(v ? *v : QStringLiteral("<none>"), sound);
    }

    void soundFromTheFiles()
    {
        QTemporaryDir dir;
        const QString user = dir.filePath(QStringLiteral("user.conf"));
        const QString system = dir.filePath(QStringLiteral("system.conf"));
        writeFile(system, "Sound=off\n");
        auto sound = [&](QString* problem) {
            TSettings s;
            s.readFiles({user, system});
            return s.soundOn(problem);
        };
        QString problem;
        QVERIFY(!sound(&problem)); // the machine's choice
        QVERIFY(problem.isEmpty());
        for (const char* on : {"on", "ANO", "yes", "True", "1", ""}) {
            writeFile(user, QByteArray("sound=") + on + "\n");
            QVERIFY2(sound(&problem), on);
            QVERIFY(problem.isEmpty());
        }
        for (const char* off : {"off", "ne", "No", "false", "0"}) {
            writeFile(user, QByteArray("Sound=") + off + "\n");
            QVERIFY2(!sound(&problem), off);
        }
        // A value nobody knows: the sounds play, and the user is told where.
        writeFile(user, "Sound=potichu\n");
        QVERIFY(sound(&problem));
        QVERIFY2(problem.contains(user) && problem.contains(QStringLiteral("„potichu“")), qPrintable(problem));
        // The option wins.
        TSettings s;
        s.readFiles({user, system});
        s.apply(TCommandLine::parse({QStringLiteral("--sound=off")}));
        QVERIFY(!s.soundOn());
    }

    // What the settings store reads back as it was meant, whatever it holds.
    void storedValuesReadBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("name") << "Sova";
        QTest::newRow("empty") << "";
        QTest::newRow("Czech") << "Žluťoučký kůň";
        QTest::newRow("path") << "/home/žák/pomocníci/Sova.so";
        QTest::newRow("comma") << "/srv/a,b.so";
        QTest::newRow("semicolon") << "/srv/a;b.so";
        QTest::newRow("hash") << "/srv/#1.so";
        QTest::newRow("quote") << "/srv/\"ta\".so";
        QTest::newRow("backslash") << "C:\\pomocnik\\Sova.so";
        QTest::newRow("equals") << "/srv/a=b.so";
        QTest::newRow("blanks") << "  Sova  ";
        QTest::newRow("tab") << "a\tb";
        QTest::newRow("at") << "@Variant(x)";
        QTest::newRow("percent") << "%General";
    }
    void storedValuesReadBack()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("config/vedomec/vedomec.conf"));
        QString error;
        QVERIFY2(storeSettings(file, {{Setting::Character, value}, {Setting::Sound, QStringLiteral("off")}}, &error),
                 qPrintable(error));
        TSettings s;
        QVERIFY(s.readFiles({file}).isEmpty());
        QCOMPARE(s.value(Setting::Character).value, value);
        QCOMPARE(s.value(Setting::Character).origin, file);
        QVERIFY(!s.soundOn());
        // Stored again, over itself.
        QVERIFY(storeSettings(file, {{Setting::Character, value + QStringLiteral("x")}}, &error));
        TSettings again;
        again.readFiles({file});
        QCOMPARE(again.value(Setting::Character).value, value + QStringLiteral("x"));
        QVERIFY(!again.soundOn());
        QCOMPARE(QDir(dir.filePath(QStringLiteral("config/vedomec"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("vedomec.conf")});
    }

    // The user's file is his: everything but the lines of the keys stored
    // stays as he wrote it.
    void storingKeepsTheRestOfTheFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("vedomec.conf"));
        writeFile(file, "; moje nastavení\n"
                        "DataFolder=/srv/vedomec\n"
                        "  character = Kos\n"
                        "\n"
                        "[Jine]\n"
                        "Character=tady ne\n"
                        "[General]\n"
                        "CHARACTER=Puštík\n"
                        "Sound=on\r\n"
                        "# konec");
        QString error;
        QVERIFY2(storeSettings(file, {{Setting::Character, QStringLiteral("Sova")}, {Setting::Sound, QStringLiteral("off")}},
                               &error),
                 qPrintable(error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("; moje nastavení\n"
                                                    "DataFolder=/srv/vedomec\n"
                                                    "  character=Sova\n"
                                                    "\n"
                                                    "[Jine]\n"
                                                    "Character=tady ne\n"
                                                    "[General]\n"
                                                    "Sound=off\r\n"
                                                    "# konec"));

        // A key not there yet joins the keys of [General] ...
        writeFile(file, "# nahoře\n[General]\nDataFolder=/srv\n\n[Jine]\nx=1\n");
        QVERIFY(storeSettings(file, {{Setting::Sound, QStringLiteral("off")}}, &error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("# nahoře\n[General]\nDataFolder=/srv\nSound=off\n\n[Jine]\nx=1\n"));
        // ... or stands before the first section, which is [General] too.
        writeFile(file, "# jen sekce\n[Jine]\nx=1");
        QVERIFY(storeSettings(file, {{Setting::Character, QString()}}, &error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("# jen sekce\nCharacter=\n[Jine]\nx=1"));
        writeFile(file, "DataFolder=/srv");
        QVERIFY(storeSettings(file, {{Setting::Sound, QStringLiteral("on")}}, &error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("DataFolder=/srv\nSound=on\n"));

        // A value that goes on in the next line goes whole.
        writeFile(file, "Character=dlouh\\\ny\nDataFolder=/srv\n");
        QVERIFY(storeSettings(file, {{Setting::Character, QStringLiteral("Sova")}}, &error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("Character=Sova\nDataFolder=/srv\n"));
        TSettings s;
        s.readFiles({file});
        QCOMPARE(s.value(Setting::DataFolder).value, QStringLiteral("/srv"));
    }

    void storingFollowsALinkAndKeepsPermissions()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("dotfiles/vedomec.conf"));
        writeFile(real, "DataFolder=/srv\n");
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
        const QString link = dir.filePath(QStringLiteral("config/vedomec/vedomec.conf"));
        QDir().mkpath(QFileInfo(link).path());
        QVERIFY(QFile::link(real, link));
        QString error;
        QVERIFY2(storeSettings(link, {{Setting::Character, QStringLiteral("Sova")}}, &error), qPrintable(error));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(testdata::bytesOf(real), QByteArray("DataFolder=/srv\nCharacter=Sova\n"));
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(real).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    void storingWhatCannotBeStoredChangesNothing()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("vedomec.conf"));
        writeFile(file, "Sound=on\n");
        QString error;
        // A line break has no place in a line.
        QVERIFY(!storeSettings(file, {{Setting::Character, QStringLiteral("a\nb")}}, &error));
        QVERIFY2(error.contains(QStringLiteral("řídicí znak")), qPrintable(error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("Sound=on\n"));
        // A folder where the file should be; a folder that cannot be made.
        const QString folder = dir.filePath(QStringLiteral("slozka.conf"));
        QDir().mkpath(folder);
        QVERIFY(!storeSettings(folder, {{Setting::Sound, QStringLiteral("off")}}, &error));
        QVERIFY2(error.contains(folder), qPrintable(error));
        writeFile(dir.filePath(QStringLiteral("soubor")), "x");
        QVERIFY(!storeSettings(dir.filePath(QStringLiteral("soubor/vedomec/vedomec.conf")),
                               {{Setting::Sound, QStringLiteral("off")}}, &error));
        QVERIFY(!error.isEmpty());
    }

    // A failing disk at any write leaves the file as it was, and says so.
    void storingIsWholeOrNothing_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("existing file") << true;
        QTest::newRow("new file") << false;
    }
    void storingIsWholeOrNothing()
    {
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("vedomec.conf"));
        const QByteArray before = "; moje\nDataFolder=/srv\nCharacter=Kos\n";
        const QByteArray after = "; moje\nDataFolder=/srv\nCharacter=Sova\nSound=off\n";
        const QList<std::pair<Setting, QString>> values{{Setting::Character, QStringLiteral("Sova")},
                                                        {Setting::Sound, QStringLiteral("off")}};
        int n = 1;
        for (;; ++n) {
            if (existing)
                writeFile(file, before);
            else
                QFile::remove(file);
            QString error;
            bool stored;
            {
                testdata::WriteFaults faults(n, testdata::WriteFaults::Kind::FullDisk);
                stored = storeSettings(file, values, &error);
                if (!faults.triggered())
                    break;
            }
            QVERIFY2(!stored, qPrintable(QString::number(n)));
            QVERIFY2(!error.isEmpty(), qPrintable(QString::number(n)));
            QCOMPARE(testdata::bytesOf(file), existing ? before : QByteArray("<missing>"));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     existing ? QStringList{QStringLiteral("vedomec.conf")} : QStringList());
        }
        QVERIFY(n >= 2);
        QCOMPARE(testdata::bytesOf(file), existing ? after : QByteArray("[General]\nCharacter=Sova\nSound=off\n"));

        // Killed at each step: the file before or after, never between; what
        // the killed copy left beside it goes with the next store.
        for (int k = 1; k < n; ++k) {
            for (bool partly : {false, true}) {
                writeFile(file, before);
                const int status = testdata::inChild([&] {
                    testdata::DeathAtWrite death(k, partly);
                    storeSettings(file, values, nullptr);
                    death.finish();
                });
                QCOMPARE(status, -SIGKILL);
                const QByteArray now = testdata::bytesOf(file);
                QVERIFY2(now == before || now == after, now.constData());
            }
        }
        QString error;
        QVERIFY(storeSettings(file, {{Setting::Sound, QStringLiteral("on")}}, &error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("vedomec.conf")});
    }

    // A power cut keeps only what was flushed: the new file's bytes must
    // reach the disk before its name takes the old file's place, or the
    // user's settings come back empty.
    void theNewFileIsFlushedBeforeItReplacesTheOld()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("vedomec.conf"));
        const QByteArray before = "; moje\nCharacter=Kos\n";
        writeFile(file, before);
        QList<fs::WriteOp> ops;
        QList<QByteArray> seenAtFlush;
        fs::setWriteHook([&](fs::WriteOp op, qint64, qint64) {
            ops << op;
            if (op == fs::WriteOp::Sync)
                seenAtFlush << testdata::bytesOf(file);
            return fs::WriteOutcome {};
        });
        QString error;
        const bool stored = storeSettings(file, {{Setting::Character, QStringLiteral("Sova")}}, &error);
        fs::setWriteHook({});
        QVERIFY2(stored, qPrintable(error));
        QCOMPARE(testdata::bytesOf(file), QByteArray("; moje\nCharacter=Sova\n"));
        QVERIFY(ops.contains(fs::WriteOp::Write));
        QVERIFY2(ops.lastIndexOf(fs::WriteOp::Sync) > ops.lastIndexOf(fs::WriteOp::Write), "not flushed after writing");
        for (const QByteArray& seen : std::as_const(seenAtFlush))
            QCOMPARE(seen, before); // flushed while the old file still stood
    }

    void helpNamesEveryOption()
    {
        const QString usage = usageText();
        QVERIFY(usage.startsWith(QStringLiteral("Použití: vedomec ")));
        QCOMPARE(usage.count(u'\n'), 1);
        for (int i = 0; i < SettingCount; ++i) {
            const SettingInfo& s = settingInfo(Setting(i));
            QVERIFY(usage.contains(QStringLiteral("--%1 %2").arg(QLatin1String(s.option), QString::fromUtf8(s.valueName))));
            QVERIFY(helpText().contains(QString::fromUtf8(s.help)));
            QVERIFY(helpText().contains(QLatin1String(s.key)));
        }
        QVERIFY(helpText().startsWith(usage));
        QVERIFY(helpText().contains(QStringLiteral("--version")));
    }

    void configurationFilesFollowXdg()
    {
        const QByteArray oldHome = qgetenv("XDG_CONFIG_HOME"), oldDirs = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_HOME", "/home/zak/.config");
        qputenv("XDG_CONFIG_DIRS", "/etc/skola:/etc/xdg");
        const QStringList found = configurationFiles();
        qputenv("XDG_CONFIG_HOME", oldHome);
        qputenv("XDG_CONFIG_DIRS", oldDirs);
        QCOMPARE(found, (QStringList{"/home/zak/.config/vedomec/vedomec.conf", "/etc/skola/vedomec/vedomec.conf",
                                     "/etc/xdg/vedomec/vedomec.conf"}));
    }

    void userOverridesSystemAndOptionOverridesBoth()
    {
        QTemporaryDir dir;
        const QString user = dir.filePath(QStringLiteral("home/vedomec.conf"));
        const QString first = dir.filePath(QStringLiteral("skola/vedomec.conf"));
        const QString second = dir.filePath(QStringLiteral("xdg/vedomec.conf"));
        const QString missing = dir.filePath(QStringLiteral("none/vedomec.conf"));
        writeFile(first, "[General]\nDataFolder=/srv/třída 5.A\n");
        writeFile(second, "DataFolder=/srv/druha\n");

        TSettings system;
        QVERIFY(system.readFiles({missing, first, second}).isEmpty());
        QCOMPARE(system.value(Setting::DataFolder).value, QStringLiteral("/srv/třída 5.A"));
        QCOMPARE(system.value(Setting::DataFolder).origin, first);
        QVERIFY(!system.value(Setting::DataFolder).fromCommandLine());

        // The user's own file, the key in another letter case.
        writeFile(user, "; moje\ndatafolder=/home/zak/testy\n");
        TSettings own;
        QVERIFY(own.readFiles({user, first, second}).isEmpty());
        QCOMPARE(own.value(Setting::DataFolder).value, QStringLiteral("/home/zak/testy"));
        QCOMPARE(own.value(Setting::DataFolder).origin, user);

        // An empty value stands for the default place over the system's.
        writeFile(user, "DataFolder=\n");
        TSettings empty;
        empty.readFiles({user, first});
        QVERIFY(empty.value(Setting::DataFolder).given());
        QVERIFY(empty.value(Setting::DataFolder).value.isEmpty());

        // The option wins over every file.
        empty.apply(TCommandLine::parse({QStringLiteral("--data-folder=pisemky")}));
        QCOMPARE(empty.value(Setting::DataFolder).value, QStringLiteral("pisemky"));
        QVERIFY(empty.value(Setting::DataFolder).fromCommandLine());

        // A key of another section, and nothing given anywhere.
        writeFile(user, "[Jine]\nDataFolder=/jinde\n");
        TSettings none;
        none.readFiles({user});
        none.apply(TCommandLine::parse({}));
        QVERIFY(!none.value(Setting::DataFolder).given());
    }

    void valuesAsWritten()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("vedomec.conf"));
        // A comma would make a list of an unquoted value; quotes keep blanks.
        writeFile(file, "DataFolder=/srv/a,b\n");
        TSettings comma;
        comma.readFiles({file});
        QCOMPARE(comma.value(Setting::DataFolder).value, QStringLiteral("/srv/a,b"));
        writeFile(file, "DataFolder=\"/srv/a, b \"\n");
        TSettings quoted;
        quoted.readFiles({file});
        QCOMPARE(quoted.value(Setting::DataFolder).value, QStringLiteral("/srv/a, b "));
    }

    void unreadableFileIsToldNotPassedOver()
    {
        QTemporaryDir dir;
        // A folder where the file belongs: unreadable even for root.
        const QString file = dir.filePath(QStringLiteral("xdg/vedomec/vedomec.conf"));
        QVERIFY(QDir().mkpath(file));
        const QString later = dir.filePath(QStringLiteral("later.conf"));
        writeFile(later, "DataFolder=/srv/jina\n");
        TSettings s;
        const QStringList problems = s.readFiles({file, later});
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].contains(file), qPrintable(problems[0]));

        // The program then starts on no folder at all, unless the option
        // names one.
        Sample sample;
        const TDataFolderChoice refused = chooseDataFolder(s.value(Setting::DataFolder), problems, sample.path);
        QVERIFY(refused.problem.contains(file));
        QVERIFY(refused.problem.contains(QStringLiteral("ukončí")));
        QTemporaryDir own;
        const TDataFolderChoice option = chooseDataFolder(fromOption(own.path()), problems, sample.path);
        QVERIFY2(option.problem.isEmpty(), qPrintable(option.problem));
        QCOMPARE(option.folder, own.path());
    }

    void namedFolderUsedAsItIs()
    {
        Sample sample;
        QTemporaryDir shared;
        writeFile(shared.filePath(QStringLiteral("Data/Testy.DBF")), "ours");
        const TDataFolderChoice c = chooseDataFolder(fromFile(shared.path() + u'/'), {}, sample.path);
        QCOMPARE(c.folder, shared.path());
        QVERIFY(c.problem.isEmpty());
        QVERIFY(c.notice.isEmpty());
        QCOMPARE(files(shared.path()), QStringList{QStringLiteral("Data/Testy.DBF")});

        // A folder without the data is not filled either: what is there is
        // somebody's.
        QTemporaryDir other;
        writeFile(other.filePath(QStringLiteral("poznamky.txt")), "x");
        const TDataFolderChoice o = chooseDataFolder(fromFile(other.path()), {}, sample.path);
        QCOMPARE(o.folder, other.path());
        QVERIFY(o.problem.isEmpty() && o.notice.isEmpty());
        QCOMPARE(entries(other.path()), QStringList{QStringLiteral("poznamky.txt")});

        // Nothing named, or named empty in the user's file: the default place.
        QVERIFY(chooseDataFolder({}, {}, sample.path).folder.isEmpty());
        QVERIFY(chooseDataFolder(fromFile(QString()), {}, sample.path).folder.isEmpty());
    }

    void namesResolved()
    {
        Sample sample;
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath(QStringLiteral("pisemky/Data")));
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const TDataFolderChoice relative = chooseDataFolder(fromOption(QStringLiteral("pisemky")), {}, sample.path);
        QDir::setCurrent(oldCurrent);
        QCOMPARE(relative.folder, dir.filePath(QStringLiteral("pisemky")));
        QVERIFY(relative.problem.isEmpty());

        // In a file a name is whole, or from the home folder.
        const TDataFolderChoice inFile = chooseDataFolder(fromFile(QStringLiteral("pisemky")), {}, sample.path);
        QVERIFY(inFile.folder.isEmpty());
        QVERIFY(inFile.problem.contains(QStringLiteral("„pisemky“")));
        QVERIFY(inFile.problem.contains(QStringLiteral("/etc/xdg/vedomec/vedomec.conf")));
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", dir.path().toLocal8Bit());
        const TDataFolderChoice home = chooseDataFolder(fromFile(QStringLiteral("~/pisemky")), {}, sample.path);
        qputenv("HOME", oldHome);
        QCOMPARE(home.folder, dir.filePath(QStringLiteral("pisemky")));
    }

    void unusableFolderStopsTheStart_data()
    {
        QTest::addColumn<bool>("option");
        QTest::newRow("setting") << false;
        QTest::newRow("option") << true;
    }
    void unusableFolderStopsTheStart()
    {
        QFETCH(bool, option);
        Sample sample;
        QTemporaryDir dir;
        auto named = [&](const QString& f) { return option ? fromOption(f) : fromFile(f); };
        const QString origin = option ? QStringLiteral("volba --data-folder") : QStringLiteral("/etc/xdg/vedomec/vedomec.conf");

        // A folder that is not there (an unmounted network drive) is not made.
        const QString missing = dir.filePath(QStringLiteral("srv/vedomec"));
        const TDataFolderChoice m = chooseDataFolder(named(missing), {}, sample.path);
        QVERIFY2(m.problem.contains(QStringLiteral("„%1“ neexistuje").arg(missing)), qPrintable(m.problem));
        QVERIFY2(m.problem.contains(origin), qPrintable(m.problem));
        QCOMPARE(m.folder, missing); // the program runs on no other folder
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("srv"))));

        // A file where the folder should be.
        const QString file = dir.filePath(QStringLiteral("soubor"));
        writeFile(file, "x");
        const TDataFolderChoice f = chooseDataFolder(named(file), {}, sample.path);
        QVERIFY2(f.problem.contains(QStringLiteral("není složka")), qPrintable(f.problem));

        // A folder the user may not read.  Root reads everything.
        if (::geteuid() != 0) {
            const QString locked = dir.filePath(QStringLiteral("zamcena"));
            QDir().mkpath(locked + QStringLiteral("/Data"));
            QFile::setPermissions(locked, QFile::WriteOwner);
            const TDataFolderChoice u = chooseDataFolder(named(locked), {}, sample.path);
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY2(u.problem.contains(QStringLiteral("nejde přečíst")), qPrintable(u.problem));
            QVERIFY2(u.problem.contains(origin), qPrintable(u.problem));
        }
    }

    void emptyFolderFilledWithItsOwnPermissions()
    {
        Sample sample;
        QTemporaryDir dir;
        // A folder the whole class may write to, as an administrator makes it.
        const QString shared = dir.filePath(QStringLiteral("trida"));
        QVERIFY(QDir().mkdir(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0777) == 0);
        const TDataFolderChoice c = chooseDataFolder(fromFile(shared), {}, sample.path);
        QVERIFY2(c.problem.isEmpty(), qPrintable(c.problem));
        QCOMPARE(c.folder, shared);
        QVERIFY2(c.notice.contains(QStringLiteral("„%1“ byla prázdná").arg(shared)), qPrintable(c.notice));
        QCOMPARE(files(shared), files(sample.path));
        QCOMPARE(entries(shared), (QStringList{"Data", "Testy", "Zvuky"}));
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(shared + QStringLiteral("/Data/Testy.DBF")).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0666));
        QVERIFY(::stat(QFile::encodeName(shared + QStringLiteral("/Testy/Import")).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0777));

        // From then on it is used as it is.
        QVERIFY(QFile::remove(shared + QStringLiteral("/Testy/Zemepis.dbf")));
        const TDataFolderChoice again = chooseDataFolder(fromFile(shared), {}, sample.path);
        QVERIFY(again.notice.isEmpty());
        QVERIFY(!QFile::exists(shared + QStringLiteral("/Testy/Zemepis.dbf")));
    }

    void fillThatFailsLeavesTheFolderEmpty()
    {
        Sample sample;
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("prazdna"));
        QVERIFY(QDir().mkdir(folder));

        // No sample to fill it from.
        const TDataFolderChoice none = chooseDataFolder(fromOption(folder), {}, dir.filePath(QStringLiteral("nic")));
        QVERIFY2(none.problem.contains(QStringLiteral("je prázdná")), qPrintable(none.problem));
        QVERIFY(entries(folder).isEmpty());

        // Every write of the fill failing in turn.
        int n = 1;
        for (;; ++n) {
            testdata::WriteFaults faults(n, testdata::WriteFaults::Kind::FullDisk);
            const TDataFolderChoice c = chooseDataFolder(fromOption(folder), {}, sample.path);
            if (!faults.triggered()) {
                QVERIFY2(c.problem.isEmpty(), qPrintable(c.problem));
                QVERIFY(!c.notice.isEmpty());
                break;
            }
            QVERIFY2(c.problem.contains(QStringLiteral("nejde nakopírovat")), qPrintable(c.problem));
            QVERIFY2(entries(folder).isEmpty(), qPrintable(entries(folder).join(u' ')));
        }
        QVERIFY(n > 3);
        QCOMPARE(files(folder), files(sample.path));
    }

    void leftoverOfAStoppedFillIsNoContent()
    {
        // A start killed during the fill leaves its work folder inside; the
        // folder is still empty for the next start, which fills it and
        // clears what the other left.
        Sample sample;
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral(".vedomec-sample-0123456789ab/Data/Testy.DBF")), "half");
        const TDataFolderChoice c = chooseDataFolder(fromOption(dir.path()), {}, sample.path);
        QVERIFY2(c.problem.isEmpty(), qPrintable(c.problem));
        QVERIFY(!c.notice.isEmpty());
        QCOMPARE(entries(dir.path()), (QStringList{"Data", "Testy", "Zvuky"}));
        QCOMPARE(files(dir.path()), files(sample.path));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
