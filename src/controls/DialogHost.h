#pragma once
// What a dialog of the program needs of the main window: the window it
// disables while it is shown, and the message service (the assistant's
// balloon titled "Vedomec" with its sound cue).
#include <QtGlobal>

class QString;
class QWidget;

namespace vedomec::controls {

class IDialogHost {
public:
    virtual QWidget* HostWindow() = 0;
    // type: 1 error, 2 information, 3 confirmation; buttons: the assistant's
    // button set.  Returns the modal result.
    virtual int UserMessage(const QString& text, int type, quint16 buttons) = 0;
    virtual void PlaySoundCue(const QString& fileName) = 0;

protected:
    ~IDialogHost() = default;
};

} // namespace vedomec::controls
