// vedomec-editor: the teacher's program for writing the tests of a data
// folder, beside the pupil's vedomec.
#include "config/DataFolder.h"
#include "config/Settings.h"
#include "editor/EditorWindow.h"
#include "platform/AppPath.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QDir>
#include <QMessageBox>

#include <cstdio>

namespace {

QString usage()
{
    return QStringLiteral("Použití: vedomec-editor [--data-folder SLOŽKA] [SOUBOR] [--help] [--version]\n");
}

QString help()
{
    return usage()
        + QStringLiteral(
              "Psaní a úpravy testů pro program Vedomec: testy podle druhu, otázky, heslo pro editaci,\n"
              "export a import, vyzkoušení testu v programu Vedomec a tisk.\n\n"
              "  SOUBOR\n"
              "      test, který se otevře: tabulka testu ze složky Testy, nebo jiná tabulka (.dbf),\n"
              "      text testu (.txt) či soubor GIFT, Aiken nebo Moodle XML, které se nejdřív\n"
              "      přidají do seznamu testů\n"
              "  --data-folder SLOŽKA\n"
              "      složka s daty (Data, Testy, Zvuky), místo té, kterou určuje nastavení\n"
              "  -h, --help\n      vypíše tuto nápovědu\n"
              "  --version\n      vypíše verzi programu\n\n"
              "Složku s daty (DataFolder) čte editor ze stejných souborů s nastavením jako Vedomec:\n"
              "~/.config/vedomec/vedomec.conf a pro všechny uživatele /etc/xdg/vedomec/vedomec.conf.\n"
              "Podrobnosti: man vedomec-editor\n");
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The settings' own parser knows the options; the one file the editor
    // takes besides them is picked out first.
    QString file;
    QStringList options;
    bool afterDashes = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        static const QStringList takeValue = {
            QStringLiteral("--data-folder"), QStringLiteral("--character"), QStringLiteral("--sound"),
            QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
            QStringLiteral("-plugin"), QStringLiteral("-style"), QStringLiteral("-stylesheet"),
            QStringLiteral("-session"), QStringLiteral("-display"), QStringLiteral("-geometry"),
            QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowtitle"), QStringLiteral("-qwindowicon")};
        const bool isValue = !afterDashes && i > 0 && takeValue.contains(arguments[i - 1]);
        if (isValue) {
            options << a;
            continue;
        }
        if (afterDashes || !a.startsWith(u'-') || a == QLatin1String("-")) {
            if (!file.isEmpty()) {
                std::fprintf(stderr, "vedomec-editor: nečekaný argument „%s“\n%s", qPrintable(a), qPrintable(usage()));
                return 2;
            }
            file = a;
            continue;
        }
        if (a == QLatin1String("--")) {
            afterDashes = true;
            continue;
        }
        options << a;
    }
    const vedomec::TCommandLine commandLine = vedomec::TCommandLine::parse(options);
    switch (commandLine.action) {
    case vedomec::TCommandLine::Help:
        std::fputs(help().toUtf8().constData(), stdout);
        return 0;
    case vedomec::TCommandLine::Version:
        std::fputs("vedomec-editor " VEDOMEC_VERSION "\n", stdout);
        return 0;
    case vedomec::TCommandLine::Refused:
        std::fprintf(stderr, "vedomec-editor: %s\n%s", commandLine.error.toUtf8().constData(), qPrintable(usage()));
        return 2;
    case vedomec::TCommandLine::Run:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vedomec – editor testů"));
    QApplication::setDesktopFileName(QStringLiteral("cz.nivella.vedomec.editor"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("cz.nivella.vedomec.editor")));
    // Qt's own dialogs (the print dialog, the standard buttons) speak Czech
    // as the rest of the window does, where the translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Czech, QLocale::CzechRepublic), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    vedomec::TSettings settings;
    const QStringList problems = settings.readFiles(vedomec::configurationFiles());
    settings.apply(commandLine);
    const vedomec::TDataFolderChoice folder = vedomec::chooseDataFolder(
        settings.value(vedomec::Setting::DataFolder), problems, vedomec::TAppPath::sampleFolder());
    if (!folder.problem.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Vedomec – editor testů"),
                              QString(folder.problem).replace(QStringLiteral("Vedomec se proto ukončí"),
                                                              QStringLiteral("Editor se proto ukončí")));
        return 1;
    }
    if (!folder.folder.isEmpty())
        vedomec::TAppPath::setOverride(folder.folder);

    vedomec::editor::EditorWindow window(vedomec::TAppPath::Path());
    window.show();
    if (!folder.notice.isEmpty())
        QMessageBox::information(&window, QStringLiteral("Vedomec – editor testů"), folder.notice);
    if (!file.isEmpty())
        window.openPath(QDir::current().absoluteFilePath(file));
    return app.exec();
}
