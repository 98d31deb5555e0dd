#pragma once
// A pupil at a desktop of his own: a copy of the program in a process of its
// own, started with the program's own start-up (single copy per desktop,
// data module, main window, dialogs) from the executable of a test or a
// benchmark, and driven by lines on its standard input.  Several such copies
// on one data folder are a class taking one test at once.
//
// Commands, one per line; each is answered with one line:
//   open <kind>|<title>  Ctrl+O, the test chosen in the tree, "Otevřít":
//                        "opened <ms> shared|copy", or "refused <message>"
//   answer <letters>     per question the box of the letter clicked ('-'
//                        leaves all unchecked), F7 after all but the last:
//                        "answered <ms of each F7>"
//   results              Ctrl+V: "score <right> <wrong>" or "unanswered"
//   close                "Ok" of the results dialog: "closed"
//   messages             the balloons since the last command that clears
//                        them (open, results), each on one line:
//                        "messages <text>|<text>"
//   quit                 closes the main window (no answer; the process ends)
//   end-waiting          Ctrl+Z with the real balloon: "waiting" once its
//                        nested loop runs; nothing more until it ends
// Error reports are answered "error <text>" in place of the answer.
#include "platform/AppPath.h"
#include "app/Dialogs.h"
#include "app/Hlavni.h"
#include "app/Startup.h"
#include "assistant/oaAssist.h"
#include "catalogue/Otevrit.h"
#include "platform/ErrorReport.h"
#include "platform/Sound.h"
#include "session/TestSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace vedomec::testdata {

namespace pupil {

inline QStringList& messages()
{
    static QStringList m;
    return m;
}

inline void reply(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The pupil's keys go to the window in front.  The offscreen platform has
// no window manager to give the main window the keyboard back when a
// dialog closes, and the program's own request for it may be answered after
// the dialog's hiding took it away; a pupil would click into the window.
inline void toFront(THlavniDialog* w)
{
    if (QApplication::activeWindow() == w || !w->isEnabled())
        return;
    w->activateWindow();
    QTest::qWaitForWindowActive(w, 5000);
}

inline QString run(THlavniDialog* w, const QString& command)
{
    const QString verb = command.section(QLatin1Char(' '), 0, 0);
    const QString arg = command.section(QLatin1Char(' '), 1);
    if (verb == QLatin1String("open")) {
        QElapsedTimer t;
        t.start();
        toFront(w);
        QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
        TOtevritDialog* d = OtevritDialog;
        // The tree of a hidden dialog is the last showing's, with nothing
        // behind it: never choose from it.
        if (!d->isVisible())
            return QStringLiteral("refused the dialog did not open");
        QTreeWidgetItem* kind = d->FindTreeChild(d->TreeView1, nullptr, arg.section(QLatin1Char('|'), 0, 0));
        QTreeWidgetItem* item = kind ? d->FindTreeChild(d->TreeView1, kind, arg.section(QLatin1Char('|'), 1)) : nullptr;
        if (!item)
            return QStringLiteral("refused no such test");
        d->TreeView1->setCurrentItem(item);
        messages().clear();
        d->Button1->click();
        const double ms = t.nsecsElapsed() / 1e6;
        if (!w->Session())
            return QStringLiteral("refused ") + messages().join(QLatin1Char('|'));
        return QStringLiteral("opened %1 %2").arg(ms, 0, 'f', 3).arg(w->Session()->OnWorkingCopy() ? "copy" : "shared");
    }
    if (verb == QLatin1String("answer")) {
        QCheckBox* const a[] = {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4};
        QStringList steps;
        for (int i = 0; i < arg.size(); ++i) {
            const int box = arg.at(i).toUpper().unicode() - 'A';
            if (box >= 0 && box < 4) {
                // The click ends with its release handler, run from the loop.
                QTest::mouseClick(a[box], Qt::LeftButton);
                QApplication::processEvents();
            }

            if (i + 1 == arg.size())
                break;
            QElapsedTimer t;
            t.start();
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : w, Qt::Key_F7);
            steps << QString::number(t.nsecsElapsed() / 1e6, 'f', 3);
        }
        return QStringLiteral("answered ") + steps.join(QLatin1Char(' '));
    }
    if (verb == QLatin1String("results")) {
        messages().clear();
        toFront(w);
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w, Qt::Key_V, Qt::ControlModifier);
        if (!VysledekDialog->isVisible())
            return QStringLiteral("unanswered ") + messages().join(QLatin1Char('|'));
        return QStringLiteral("score %1 %2").arg(VysledekDialog->L2->text(), VysledekDialog->L3->text());
    }
    if (verb == QLatin1String("close")) {
        VysledekDialog->Button1->click();
        return QStringLiteral("closed");
    }
    if (verb == QLatin1String("messages")) {
        // Balloons shown after the command that answered come from the loop.
        QApplication::processEvents();
        // One line: the texts' own line breaks become blanks.
        return QStringLiteral("messages ") + messages().join(QLatin1Char('|')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    if (verb == QLatin1String("quit")) {
        w->close();
        return QString();
    }
    if (verb == QLatin1String("end-waiting")) {
        TAssistant::setTestResponder({});
        QTimer::singleShot(200, [] { reply(QStringLiteral("waiting")); });
        toFront(w);
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w, Qt::Key_Z, Qt::ControlModifier);
        return QStringLiteral("answered the balloon");
    }
    return QStringLiteral("error unknown command ") + command;
}

} // namespace pupil

// In the child: the program on `folder`, carrying out the commands of its
// standard input.  Prints "ready" once its window is shown.
inline int runPupil(int& argc, char** argv, const QString& folder)
{
    QApplication app(argc, argv);
    TAppPath::setOverride(folder);
    static RecordingSoundPlayer silent;
    setSoundPlayer(&silent);
    static QString errorSeen;
    setErrorReportHook([](const QString& text) { errorSeen = text; });
    TAssistant::setTestResponder([](const BalloonMessage& m) {
        pupil::messages() << m.text;
        return (m.buttons & mbOK) ? int(mrOk) : int(mrYes);
    });
    return RunVedomec(app, [](THlavniDialog* w) {
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, w);
        QObject::connect(input, &QSocketNotifier::activated, w, [w, input] {
            char line[4096];
            const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
            if (n <= 0) {
                input->setEnabled(false);
                w->close();
                return;
            }
            for (const QByteArray& c : QByteArray(line, n).split('\n')) {
                if (c.trimmed().isEmpty())
                    continue;
                errorSeen.clear();
                const QString out = pupil::run(w, QString::fromUtf8(c.trimmed()));
                if (!errorSeen.isEmpty())
                    pupil::reply(QStringLiteral("error ") + errorSeen);
                else if (!out.isEmpty())
                    pupil::reply(out);
            }
        });
        pupil::reply(QStringLiteral("ready"));
    });
}

// In the parent: one pupil's copy.
class PupilProcess {
public:
    // `desktop` names the copy's own desktop; `stateHome` is the pupil's
    // XDG state home (several copies of one user share it).  A quiet copy's
    // warnings go nowhere.  `runAs`: the command the copy is started through
    // (setpriv with another account's ids), whose home is then `stateHome`.
    PupilProcess(const QString& executable, const QString& folder, const QString& desktop, const QString& stateHome,
                 bool quiet = false, const QStringList& runAs = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"WAYLAND_DISPLAY", "XDG_SESSION_ID"})
            env.remove(QLatin1String(v));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("DISPLAY"), desktop);
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
        if (!runAs.isEmpty()) {
            env.insert(QStringLiteral("HOME"), stateHome);
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), stateHome);
            for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
                env.remove(QLatin1String(v));
        }
        m_process.setProcessEnvironment(env);
        if (quiet)
            m_process.setStandardErrorFile(QProcess::nullDevice());
        else
            m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList arguments {QStringLiteral("--pupil"), folder};
        if (runAs.isEmpty())
            m_process.start(executable, arguments);
        else
            m_process.start(runAs.first(), runAs.mid(1) + QStringList {executable} + arguments);
    }
    ~PupilProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    void send(const QString& command)
    {
        m_process.write(command.toUtf8() + '\n');
        m_process.waitForBytesWritten(5000);
    }
    // The next line of the copy's answers; empty when none came in time.
    QString next(int timeoutMs = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine()) {
            if (t.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return QString();
            m_process.waitForReadyRead(50);
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    QString ask(const QString& command, int timeoutMs = 60000)
    {
        send(command);
        return next(timeoutMs);
    }
    bool quit()
    {
        send(QStringLiteral("quit"));
        return m_process.waitForFinished(20000) && m_process.exitStatus() == QProcess::NormalExit;
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    qint64 pid() const { return m_process.processId(); }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace vedomec::testdata
