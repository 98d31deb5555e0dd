#pragma once
// TAssistant: the assistant component.  For now it owns the balloon and
// offers the message service; the character, tips and guide grow here later.
//
// Message service (every message of the program):
//     Assistant->MsgDlg()->setTitle("Vedomec");
//     playSoundCue(...);
//     if (Assistant->MessageDlg(text, mtConfirmation, mbYes | mbNo, 0) == mrYes) ...
//
// MessageDlg is modal through a nested event loop: timers keep firing while
// it waits.
//
// Answering messages in tests
// ---------------------------
// Either set a responder, which is called instead of showing anything:
//     TAssistant::setTestResponder([&](const BalloonMessage& m) {
//         seen << m.text;            // text, type, buttons, helpContext, title
//         return mrYes;              // what MessageDlg returns
//     });
//     ...
//     TAssistant::setTestResponder({}); // back to the real balloon
// (or use the RAII helper ScopedTestResponder), or drive the real balloon:
//     QTimer::singleShot(0, [&] {
//         auto* b = assistant->balloonWindow()->findChild<QPushButton*>("BalloonButtonYes");
//         QTest::mouseClick(b, Qt::LeftButton);
//     });
//     int r = assistant->MessageDlg(...);
// The balloon window is the top-level widget named "AssistantBalloon".
#include "assistant/oaBaloon.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace vedomec {

struct BalloonMessage {
    QString text;
    int type = mtInformation;
    MsgDlgButtons buttons = 0;
    qint32 helpContext = 0;
    QString title;
};

class TAssistant : public QObject {
    Q_OBJECT

public:
    explicit TAssistant(QObject* parent = nullptr);
    ~TAssistant() override;

    // Modal message balloon.  type: mtWarning..mtCustom; buttons: mb* bits;
    // returns the modal result of the pressed button (mrYes, mrOk...).
    // Without buttons it returns mrNone at once and leaves the balloon open.
    // A message whose balloon is taken over by a newer message (shown from a
    // timer while it waits) returns mrNone.
    int MessageDlg(const QString& text, int type, MsgDlgButtons buttons, qint32 helpContext);
    // Closes the balloon if it is visible.  A message that is waited for
    // closes only through its cancel button's result, as with Esc.
    void CloseBalloon();
    // Ends a message that is waited for without any answer: its MessageDlg
    // returns mrNone at once, and the balloon is hidden.  For the end of the
    // program, which must not wait for a balloon nobody will answer.
    void AbandonMessage();
    // 0 none, 1 message (2 tips, 3 guide, 4 speech, 5 thought later).
    int BalloonMode() const;
    // 0 while hidden or centred; 1..8 beside the anchor.
    int BalloonPosition() const;
    // The form the balloon points at; nullptr (or a hidden form) centres it.
    void SetBalloonAnchor(QWidget* anchor);

    TBalloonOptions* Balloon() const { return m_balloonOptions; }
    TMsgDlgOptions* MsgDlg() const { return m_msgDlg; }

    TAssistantBalloon* balloonWindow() const { return m_balloon; }
    // True while a MessageDlg waits for its answer.
    bool isMessageWaiting() const { return m_wait != nullptr; }

    using TestResponder = std::function<int(const BalloonMessage&)>;
    // When set, MessageDlg shows nothing and returns the responder's answer.
    // Pass an empty function to go back to the real balloon.
    static void setTestResponder(TestResponder responder);
    static bool hasTestResponder();

signals:
    void OnBalloonShow(vedomec::TAssistant* sender);
    void OnBalloonHide(vedomec::TAssistant* sender);
    // The "&Pomoc" button of a message with a help context.
    void OnHelp(vedomec::TAssistant* sender, qint32 helpContext);

private:
    struct Wait;
    TBalloonOptions* m_balloonOptions;
    TMsgDlgOptions* m_msgDlg;
    TAssistantBalloon* m_balloon;
    Wait* m_wait = nullptr;
    qint32 m_helpContext = 0;
    int m_mode = bmNoBalloon;
};

// Sets a test responder for the lifetime of the object.
class ScopedTestResponder {
public:
    explicit ScopedTestResponder(TAssistant::TestResponder r) { TAssistant::setTestResponder(std::move(r)); }
    ~ScopedTestResponder() { TAssistant::setTestResponder({}); }
    ScopedTestResponder(const ScopedTestResponder&) = delete;
    ScopedTestResponder& operator=(const ScopedTestResponder&) = delete;
};

} // namespace vedomec
