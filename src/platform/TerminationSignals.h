#pragma once
// SIGTERM and SIGHUP (a logout, a shutdown, `kill`) turned into a call on
// the event loop, so a program ends as it does when the user closes it:
// whatever it must put right before it goes (a pupil's answers erased, a
// working copy removed, locks and journals let go) is done.  The signal
// handler only writes a byte to a pipe the loop watches, which also works
// while a nested loop (a message waiting for its answer) runs.
#include <QObject>

#include <functional>

namespace vedomec {

class TerminationSignals : public QObject {
public:
    // From now until `context` is destroyed, each SIGTERM or SIGHUP calls
    // `onSignal` from the event loop.  One object per process.
    static void install(QObject* context, std::function<void()> onSignal);

private:
    TerminationSignals(QObject* context, std::function<void()> onSignal);
    ~TerminationSignals() override;

    std::function<void()> m_onSignal;
};

} // namespace vedomec
