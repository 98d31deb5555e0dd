#pragma once
// The main window as the results dialog sees it.
#include "controls/DialogHost.h"

namespace vedomec {

class IResultsHost : public virtual controls::IDialogHost {
public:
    // The watch flag down, the question count and number gone, open and
    // import on, the test commands off, the counter stopped.
    virtual void EndSessionState() = 0;
    // The test ends for good: its answers erased, the answer panels and the
    // question number hidden, the toolbar back to idle.
    virtual void EndTestAfterResults() = 0;
    // Panel4, where the figures stay after the dialog closes.
    virtual QWidget* ResultsPanel() = 0;

protected:
    ~IResultsHost() = default;
};

} // namespace vedomec
