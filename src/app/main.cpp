#include "platform/AppPath.h"
#include "app/Hlavni.h"
#include "app/Startup.h"
#include "platform/ErrorReport.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Installation checks start the installed program with no display and
    // need to see that it came up: with VEDOMEC_STARTUP_CHECK set, error
    // reports go to standard error instead of a box that nobody can answer,
    // and once the main window is shown the program prints its application
    // folder and closes.
    if (qEnvironmentVariableIsEmpty("VEDOMEC_STARTUP_CHECK"))
        return vedomec::RunVedomec(app);
    vedomec::setErrorReportHook([](const QString& text) {
        std::fprintf(stderr, "vedomec: %s\n", qPrintable(text));
    });
    return vedomec::RunVedomec(app, [](vedomec::THlavniDialog* main) {
        std::printf("%s\n", qPrintable(vedomec::TAppPath::Path()));
        std::fflush(stdout);
        main->close();
    });
}
