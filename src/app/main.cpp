#include "platform/AppPath.h"
#include "app/Hlavni.h"
#include "config/Settings.h"
#include "app/Startup.h"
#include "assistant/oaAssist.h"
#include "platform/ErrorReport.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // The command line is read before anything of the window system starts:
    // --help and --version work without a display, and a refused line
    // opens no window.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const vedomec::TCommandLine commandLine = vedomec::TCommandLine::parse(arguments);
    switch (commandLine.action) {
    case vedomec::TCommandLine::Help:
        std::fputs(vedomec::helpText().toUtf8().constData(), stdout);
        return 0;
    case vedomec::TCommandLine::Version:
        std::fputs("vedomec " VEDOMEC_VERSION "\n", stdout);
        return 0;
    case vedomec::TCommandLine::Refused:
        std::fprintf(stderr, "vedomec: %s\n%s", commandLine.error.toUtf8().constData(),
                     vedomec::usageText().toUtf8().constData());
        return 2;
    case vedomec::TCommandLine::Run:
        break;
    }

    QApplication app(argc, argv);
    vedomec::TStartSettings start;
    start.problems = start.settings.readFiles(vedomec::configurationFiles());
    start.settings.apply(commandLine);

    // Installation checks start the installed program with no display and
    // need to see that it came up: with VEDOMEC_STARTUP_CHECK set, error
    // reports and messages go to standard error instead of a box or a
    // balloon that nobody can answer (each message answered with its first
    // button), and once the main window is shown the program prints its
    // application folder and closes.
    if (qEnvironmentVariableIsEmpty("VEDOMEC_STARTUP_CHECK"))
        return vedomec::RunVedomec(app, {}, start);
    vedomec::setErrorReportHook([](const QString& text) {
        std::fprintf(stderr, "vedomec: %s\n", qPrintable(text));
    });
    vedomec::TAssistant::setTestResponder([](const vedomec::BalloonMessage& m) {
        std::fprintf(stderr, "vedomec: %s\n", qPrintable(m.text));
        return int(m.buttons & vedomec::mbYes ? vedomec::mrYes : vedomec::mrOk);
    });
    return vedomec::RunVedomec(
        app,
        [](vedomec::THlavniDialog* main) {
            std::printf("%s\n", qPrintable(vedomec::TAppPath::Path()));
            std::fflush(stdout);
            main->close();
        },
        start);
}
