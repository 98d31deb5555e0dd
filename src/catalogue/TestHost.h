#pragma once
// The main window as the open action of the open-test dialog sees it.
#include "controls/DialogHost.h"

#include <QString>

#include <memory>

namespace vedomec {

namespace session {
class TTestSession;
}

// What the main window shows of a test it takes over.
struct OpenedTest {
    QString title;       // DRUH - JMENO
    QString allowedTime; // the allowed-time text, or "neomezeno"
    QString kind;        // DRUH, for the record of the test taken
    QString name;        // JMENO
};

class ITestHost : public virtual controls::IDialogHost {
public:
    // The window becomes a running test, before the dialog closes: the
    // question number, the toolbar, the title, the allowed time and the
    // answer panel of the test's type with its controls cleared.
    virtual void TestOpened(std::unique_ptr<session::TTestSession> session, const OpenedTest& test) = 0;
    // Once the dialog has closed: the focus on the first answer, the
    // question count, the author lines, the clock and the time-limit watch.
    virtual void TestStarted() = 0;

protected:
    ~ITestHost() = default;
};

} // namespace vedomec
