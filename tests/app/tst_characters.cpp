// Which character the settings name: installed ones by name (the user's
// own over the machine's), files by path, a name nobody installed told with
// where it came from; the list the settings offer, by the names the
// libraries give themselves; and where she stands beside the main window.
#include "config/Characters.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using vedomec::testfiles::writeFile;

namespace {

void copyFile(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).path());
    QFile::remove(to);
    QVERIFY(QFile::copy(from, to));
}

SettingValue fromFile(const QString& value)
{
    return {value, QStringLiteral("/etc/xdg/vedomec/vedomec.conf")};
}
SettingValue fromOption(const QString& value)
{
    return {value, QStringLiteral("--character")};
}

// The two folders a machine has: the user's and the installed one.
struct Folders {
    QTemporaryDir dir;
    QString user = dir.filePath(QStringLiteral("home/.local/share/vedomec/characters"));
    QString installed = dir.filePath(QStringLiteral("usr/lib/vedomec/characters"));
    Folders() { setCharacterFolders({user, installed}); }
    ~Folders() { setCharacterFolders({}); }
};

QStringList names(const QList<TCharacterFile>& files)
{
    QStringList out;
    for (const TCharacterFile& f : files)
        out << f.name;
    return out;
}

} // namespace

class TestCharacters : public QObject {
    Q_OBJECT
private slots:
    void theFoldersFollowXdgAndTheProgram()
    {
        const QByteArray old = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/home/zak/.local/share");
        const QStringList folders = characterFolders();
        qputenv("XDG_DATA_HOME", old);
        QCOMPARE(folders.size(), 2);
        QCOMPARE(folders[0], QStringLiteral("/home/zak/.local/share/vedomec/characters"));
        // Beside the program's bin/, as an installation lays it out.
        QVERIFY2(folders[1].endsWith(QLatin1String("/vedomec/characters")), qPrintable(folders[1]));
        QCOMPARE(folders[1], installedCharacterFolder());
    }

    void installedOnesListedOnceTheUsersFirst()
    {
        Folders f;
        writeFile(f.installed + QStringLiteral("/Sova.so"), "installed");
        writeFile(f.installed + QStringLiteral("/Kos.so"), "installed");
        writeFile(f.installed + QStringLiteral("/readme.txt"), "not a character");
        writeFile(f.installed + QStringLiteral("/.skryty.so"), "hidden");
        writeFile(f.user + QStringLiteral("/sova.SO"), "the user's");
        writeFile(f.user + QStringLiteral("/Žába.so"), "the user's");
        QDir().mkpath(f.user + QStringLiteral("/slozka.so"));
        const QList<TCharacterFile> all = installedCharacters();
        QCOMPARE(names(all), (QStringList {"Kos", "sova", "Žába"}));
        QCOMPARE(all[1].path, f.user + QStringLiteral("/sova.SO"));
        QCOMPARE(all[0].path, f.installed + QStringLiteral("/Kos.so"));

        // A name in any letter case; a name that is no file of the folders.
        QCOMPARE(findCharacter(QStringLiteral("KOS")).path, f.installed + QStringLiteral("/Kos.so"));
        QCOMPARE(findCharacter(QStringLiteral("žába")).path, f.user + QStringLiteral("/Žába.so"));
        QVERIFY(findCharacter(QStringLiteral("readme")).path.isEmpty());
        QVERIFY(findCharacter(QStringLiteral(".skryty")).path.isEmpty());
        QVERIFY(findCharacter(QStringLiteral("Ko")).path.isEmpty());

        // Folders that are not there are no fault.
        setCharacterFolders({f.dir.filePath(QStringLiteral("nic")), f.installed});
        QCOMPARE(names(installedCharacters()), (QStringList {"Kos", "Sova"}));
    }

    void theSettingNamesACharacterOrAFile()
    {
        Folders f;
        copyFile(QStringLiteral(VEDOMEC_SAMPLE_ACTOR), f.installed + QStringLiteral("/Sova.so"));

        // Nothing chosen, or chosen empty over the machine's choice.
        QVERIFY(chooseCharacter({}).library.isEmpty());
        QVERIFY(chooseCharacter({}).problem.isEmpty());
        QVERIFY(chooseCharacter(fromFile(QString())).library.isEmpty());
        QVERIFY(chooseCharacter(fromFile(QStringLiteral("  "))).problem.isEmpty());

        QCOMPARE(chooseCharacter(fromFile(QStringLiteral("sova"))).library, f.installed + QStringLiteral("/Sova.so"));
        QCOMPARE(chooseCharacter(fromOption(QStringLiteral("Sova"))).library, f.installed + QStringLiteral("/Sova.so"));

        // A name nobody installed: said once, with where it was looked for
        // and who named it.
        const TCharacterChoice missing = chooseCharacter(fromFile(QStringLiteral("Puštík")));
        QVERIFY(missing.library.isEmpty());
        for (const QString& part : {QStringLiteral("„Puštík“"), f.user, f.installed,
                                    QStringLiteral("/etc/xdg/vedomec/vedomec.conf")})
            QVERIFY2(missing.problem.contains(part), qPrintable(missing.problem));
        QVERIFY(chooseCharacter(fromOption(QStringLiteral("Puštík"))).problem.contains(QStringLiteral("--character")));

        // A file: from the current folder on the command line; whole, or from
        // the home folder, in a file.
        const QString old = QDir::currentPath();
        QDir::setCurrent(f.dir.path());
        const TCharacterChoice relative = chooseCharacter(fromOption(QStringLiteral("./moje/Kos.so")));
        QDir::setCurrent(old);
        QCOMPARE(relative.library, f.dir.filePath(QStringLiteral("moje/Kos.so")));
        QVERIFY(relative.problem.isEmpty());
        const TCharacterChoice inFile = chooseCharacter(fromFile(QStringLiteral("moje/Kos.so")));
        QVERIFY(inFile.library.isEmpty());
        QVERIFY2(inFile.problem.contains(QStringLiteral("celou cestou")), qPrintable(inFile.problem));
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(f.dir.path()));
        const TCharacterChoice fromHome = chooseCharacter(fromFile(QStringLiteral("~/moje/Kos.so")));
        qputenv("HOME", home);
        QCOMPARE(fromHome.library, f.dir.filePath(QStringLiteral("moje/Kos.so")));
        QCOMPARE(chooseCharacter(fromFile(QStringLiteral("/opt/a/../Kos.so"))).library, QStringLiteral("/opt/Kos.so"));
    }

    void theListShowsTheNamesTheLibrariesGive()
    {
        Folders f;
        copyFile(QStringLiteral(VEDOMEC_SAMPLE_ACTOR), f.installed + QStringLiteral("/Sova.so"));
        copyFile(QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_trio.so"), f.user + QStringLiteral("/trojice.so"));
        writeFile(f.user + QStringLiteral("/rozbity.so"), QByteArray(4096, 'x'));
        copyFile(QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_badversion.so"), f.user + QStringLiteral("/stara.so"));
        const QList<TCharacterEntry> entries = describeCharacters(installedCharacters());
        // What cannot be shown is offered greyed with the reason: a file that
        // is no library, a library of another version, one whose animations
        // cannot be read.
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[1].file.name, QStringLiteral("Sova"));
        QCOMPARE(entries[1].actorName, QStringLiteral("Sova"));
        QVERIFY(entries[1].problem.isEmpty());
        QCOMPARE(characterCaption(entries[1], entries), QStringLiteral("Sova"));
        QCOMPARE(characterCaption(entries[0], entries),
                 QStringLiteral("rozbity (nelze zobrazit: soubor není knihovna pomocníka nebo je poškozený)"));
        QVERIFY(!entries[2].problem.isEmpty());
        QCOMPARE(entries[3].actorName, QStringLiteral("Trio"));
        QCOMPARE(characterCaption(entries[3], entries), QStringLiteral("trojice (nelze zobrazit: poškozená animace „Write“)"));
        QCOMPARE(characterFault(entries[3].file.path),
                 QStringLiteral("Animace „Write“ v souboru „%1“ je poškozená a nelze ji přehrát.").arg(entries[3].file.path));
        QVERIFY(characterFault(entries[1].file.path).isEmpty());

        // Two libraries of one name are told apart by their files.
        copyFile(QStringLiteral(VEDOMEC_SAMPLE_ACTOR), f.user + QStringLiteral("/Sova2.so"));
        const QList<TCharacterEntry> two = describeCharacters(installedCharacters());
        QCOMPARE(two.size(), 5);
        QCOMPARE(characterCaption(two[1], two), QStringLiteral("Sova (Sova)"));
        QCOMPARE(characterCaption(two[2], two), QStringLiteral("Sova (Sova2)"));
    }

    void sheStandsBesideTheWindow_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QPoint>("expected");
        QTest::addColumn<bool>("clear"); // of the window
        const QRect screen(0, 0, 1280, 1024);
        // The main window in the middle: to its right, bottoms level.
        QTest::newRow("right") << screen << QRect(423, 248, 434, 528) << QPoint(423 + 434 + 8, 248 + 528 - 128) << true;
        // Against the right edge: to its left.
        QTest::newRow("left") << screen << QRect(846, 248, 434, 528) << QPoint(846 - 8 - 120, 248 + 528 - 128) << true;
        // No room on either side: below, right edges level.
        QTest::newRow("below") << QRect(0, 0, 560, 1024) << QRect(63, 100, 434, 528)
                               << QPoint(63 + 434 - 120, 100 + 528 + 8) << true;
        // Nor below: above.
        QTest::newRow("above") << QRect(0, 0, 560, 740) << QRect(63, 200, 434, 528)
                               << QPoint(63 + 434 - 120, 200 - 8 - 128) << true;
        // A window taller than the screen: her bottom at the screen's.
        QTest::newRow("window past the bottom") << QRect(0, 0, 1024, 500) << QRect(100, 0, 434, 528)
                                                << QPoint(100 + 434 + 8, 500 - 128) << true;
        // A window above the top: she stays on the screen.
        QTest::newRow("window above the top") << QRect(0, 0, 1024, 768) << QRect(100, -400, 434, 528)
                                              << QPoint(100 + 434 + 8, 0) << true;
        // A screen that does not start at 0, 0 (the second of two).
        QTest::newRow("second screen") << QRect(1280, 0, 1024, 768) << QRect(1280, 100, 434, 528)
                                       << QPoint(1280 + 434 + 8, 100 + 528 - 128) << true;
        // No room anywhere: the corner where she covers least of it.
        QTest::newRow("no room, window left") << QRect(0, 0, 560, 600) << QRect(0, 36, 434, 528)
                                              << QPoint(560 - 120, 600 - 128) << true;
        QTest::newRow("no room, window right") << QRect(0, 0, 560, 600) << QRect(126, 0, 434, 528)
                                               << QPoint(0, 600 - 128) << true;
        // A window as large as the screen: she has to cover some of it.
        QTest::newRow("window fills the screen") << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 600)
                                                 << QPoint(800 - 120, 600 - 128) << false;
        // A screen smaller than she is: its top left.
        QTest::newRow("tiny screen") << QRect(0, 0, 100, 100) << QRect(0, 0, 100, 100) << QPoint(0, 0) << false;
    }
    void sheStandsBesideTheWindow()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, window);
        QFETCH(QPoint, expected);
        QFETCH(bool, clear);
        const QSize owl(120, 128);
        const QPoint at = characterPlace(screen, window, owl);
        QCOMPARE(at, expected);
        const QRect her(at, owl);
        QCOMPARE(!her.intersects(window), clear);
        if (screen.width() >= owl.width() && screen.height() >= owl.height())
            QVERIFY(screen.contains(her));
    }
};

QTEST_GUILESS_MAIN(TestCharacters)
#include "tst_characters.moc"
