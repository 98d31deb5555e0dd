#include "platform/AppPath.h"
#include "config/Characters.h"
#include "config/DataFolder.h"
#include "app/Dialogs.h"
#include "app/Hlavni.h"
#include "app/Startup.h"
#include "app/TestSplash.h"
#include "assistant/BalloonMath.h"
#include "data/Data.h"
#include "platform/ErrorReport.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/Sound.h"
#include "session/WorkFolder.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace vedomec {

namespace {

// The character chosen, beside the main window.  One that cannot be shown
// is told once, and the program goes on without her.
void showCharacter(THlavniDialog* window, const SettingValue& setting)
{
    const TCharacterChoice choice = chooseCharacter(setting);
    QString problem = choice.problem;
    if (problem.isEmpty() && !choice.library.isEmpty()) {
        try {
            window->SetCharacter(choice.library);
        } catch (const EVedomecError& e) {
            problem = QStringLiteral("Pomocníka ze souboru „%1“ nelze zobrazit:\r%2\r%3 Vedomec proto běží bez "
                                     "pomocníka na ploše.")
                          .arg(choice.library, e.message(),
                               setting.fromCommandLine()
                                   ? QStringLiteral("Určuje ho volba %1.").arg(setting.origin)
                                   : QStringLiteral("Určuje ho soubor s nastavením %1.").arg(setting.origin));
        }
    }
    if (!problem.isEmpty())
        window->UserMessage(problem, mtError, mbOK);
}

// Runs `then` once the window's first frame is on the screen (its first
// paint handled), so that nothing the first frame does not need keeps the
// user waiting for it; after a second without a paint (a window system that
// never asks for one) it runs anyway.
void afterFirstFrame(QWidget* window, std::function<void()> then)
{
    struct Watch : QObject {
        std::function<void()> then;
        bool done = false;
        void fire()
        {
            if (std::exchange(done, true))
                return;
            // Out of the paint (or the timer) before anything that opens a
            // nested loop of its own.
            QTimer::singleShot(0, parent(), then);
            deleteLater();
        }
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                fire();
            return false;
        }
    };
    auto* watch = new Watch;
    watch->setParent(window);
    watch->then = std::move(then);
    window->installEventFilter(watch);
    QTimer::singleShot(1000, watch, [watch] { watch->fire(); });
}

} // namespace

int RunVedomec(QApplication& app, const std::function<void(THlavniDialog*)>& shown, const TStartSettings& start)
{
    // 1. One copy only; a second one ends silently.
    SingleInstance single(QStringLiteral("THlavniDialog"), QStringLiteral("Vedomec 2001"));
    if (!single.claim())
        return 0;

    // The data folder an option or a setting names is used as it is, and
    // one that cannot be used stops the start: running on another folder
    // would show a pupil other tests and keep his answers where nobody
    // looks for them.
    const TDataFolderChoice folder =
        chooseDataFolder(start.settings.value(Setting::DataFolder), start.problems, TAppPath::sampleFolder());
    if (!folder.folder.isEmpty())
        TAppPath::setOverride(folder.folder);
    else if (!folder.problem.isEmpty() && QFileInfo(TAppPath::sampleFolder()).isDir())
        // The program only says why it stops: nothing is copied into the
        // user's own folder for that, and the message's sound comes from
        // the sample.
        TAppPath::setOverride(TAppPath::sampleFolder());

    setDefaultSoundPlayer(qtSoundPlayer());
    // Working copies of tests that a killed or crashed copy of this user
    // left behind go before anybody could mistake them for his own.
    session::TWorkFolder::clearOrphans();

    // 2. The splash, painted at once.
    auto* splash = new TSplashDialog;
    splash->show();
    splash->repaint();

    // 3. The task bar shows the main window's title "Vedomec 2001".  No
    // display name is set: Qt would append it to every window's name, and a
    // dialog is named by its caption alone.
    QApplication::setApplicationName(QStringLiteral("Vedomec 2001"));
    QApplication::setQuitOnLastWindowClosed(false);

    const QString appFolder = TAppPath::Path();
    auto step = [splash](int left) {
        splash->setProgress(left);
        splash->repaint();
    };

    // 4.-10. The data module, the main window and the dialogs, in this order.
    step(0);
    auto* dataModule = new data::TDataModule1(appFolder);
    if (folder.problem.isEmpty())
        guarded([dataModule] { dataModule->DataModule1Create(); });
    step(59);
    auto* mainWindow = new THlavniDialog(dataModule);
    step(118);
    // The dialogs are made right after the main window's first frame (see
    // below): none of them is shown before it, and making them first would
    // keep the pupil waiting for a window by as long again as the data.
    for (int left : {177, 236, 295, 352})
        step(left);

    // 11.
    splash->hide();
    delete splash;

    // 12. The program ends when the main window closes, also from inside a
    // message's nested loop (quitting ends every loop that runs).
    QObject::connect(mainWindow, &THlavniDialog::closed, &app, &QApplication::quit);
    QObject::connect(mainWindow, &QObject::destroyed, &app, &QApplication::quit);
    // A logout or a shutdown ends the program as closing its window does.
    TerminationSignals::install(mainWindow, [mainWindow] { mainWindow->close(); });
    QString soundProblem;
    mainWindow->SetSoundOn(start.settings.soundOn(&soundProblem));
    // What a test taken leaves for the teacher; a value that is no on/off
    // value keeps the default, and is said like one of Sound.
    gradebook::TRecordingSettings recording;
    recording.resultsFolder = start.settings.value(Setting::ResultsFolder).value;
    QString recordProblem, askProblem;
    recording.on = start.settings.switchOn(Setting::RecordResults, true, &recordProblem);
    recording.askPupilName = start.settings.switchOn(Setting::AskPupilName, false, &askProblem);
    mainWindow->Recorder().setSettings(recording);
    for (const QString& p : {recordProblem, askProblem})
        if (!p.isEmpty())
            soundProblem += (soundProblem.isEmpty() ? QString() : QStringLiteral("\n")) + p;
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->show();
    mainWindow->activateWindow();
    int exitCode = 0;
    // What the first frame does not need waits until it is on the screen:
    // the messages, the character (every animation of her library is read
    // before she comes) and the sound device.
    afterFirstFrame(mainWindow, [mainWindow, dataModule, &shown, &folder, &exitCode, &soundProblem, &start] {
        // Before anything else runs from the event loop, so every key a
        // pupil can press finds its dialog.
        new TOtevritDialog(mainWindow, dataModule);
        new TImportDialog(mainWindow, dataModule);
        new TIdentifikaceDialog(mainWindow, dataModule);
        new TVysledekDialog(mainWindow, dataModule);
        new TNastaveniDialog(mainWindow);
        // Connected now, so that the first cue the user calls up does not
        // wait for the sound server.
        if (mainWindow->SoundOn())
            prepareSound();
        // The window may close while a message waits.
        const QPointer<THlavniDialog> window = mainWindow;
        if (!folder.problem.isEmpty()) {
            exitCode = 1;
            window->UserMessage(folder.problem, mtError, mbOK);
            if (window)
                window->close();
            return;
        }
        if (!folder.notice.isEmpty())
            window->UserMessage(folder.notice, mtInformation, mbOK);
        if (window && !soundProblem.isEmpty())
            window->UserMessage(soundProblem, mtError, mbOK);
        if (window)
            showCharacter(window, start.settings.value(Setting::Character));
        if (window && shown)
            shown(window);
    });
    app.exec();
    return exitCode;
}

} // namespace vedomec
