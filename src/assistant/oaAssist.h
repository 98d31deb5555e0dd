#pragma once
// TAssistant: the assistant component.  It owns the stage the character
// stands on, the balloon it talks in, and the director that plays its
// animations; it forwards its properties to them and turns what they report
// into its own events.  Texts reach the user through the balloon even with
// no actor library; animation requests then return 0 and do nothing.
//
// Message service (every message of the program):
//     Assistant->MsgDlg()->setTitle("Vedomec");
//     playSoundCue(...);
//     if (Assistant->MessageDlg(text, mtConfirmation, mbYes | mbNo, 0) == mrYes) ...
//
// MessageDlg is modal through a nested event loop: timers keep firing while
// it waits.  While a message waits, the guide, the tips and free text do
// not take its balloon away.
//
// Events are signals whose first argument is the component; in-and-out
// arguments are pointers.  "Assigned" means connected: "&Nastavení" and
// "&Vyhledat" of the guide are enabled only while OnGuideOptionsClick and
// OnGuideSearchClick are.  OnHide, OnPlayStop, OnCloseQuery, OnBalloonHide
// and OnTipsTipChange are not raised while the component is destroyed.
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
// The balloon window is the top-level widget named "AssistantBalloon", the
// stage "AssistantStage".
#include "assistant/oaActor.h"
#include "assistant/oaBaloon.h"
#include "assistant/oaEngine.h"
#include "assistant/oaStage.h"

#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>

namespace vedomec {

class TAssistantDirector;

struct BalloonMessage {
    QString text;
    int type = mtInformation;
    MsgDlgButtons buttons = 0;
    qint32 helpContext = 0;
    QString title;
};

class TAssistant : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ActorLibrary READ ActorLibrary WRITE setActorLibrary)
    Q_PROPERTY(bool AutoIdle READ AutoIdle WRITE setAutoIdle)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(vedomec::TBgMode BgMode READ BgMode WRITE setBgMode)
    Q_PROPERTY(QImage BgPicture READ BgPicture WRITE setBgPicture)
    Q_PROPERTY(TBiDiMode BiDiMode READ BiDiMode WRITE setBiDiMode)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE setClientHeight)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE setClientWidth)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(bool FastShowHide READ FastShowHide WRITE setFastShowHide)
    Q_PROPERTY(int FormLeft READ FormLeft WRITE setFormLeft)
    Q_PROPERTY(int FormTop READ FormTop WRITE setFormTop)
    Q_PROPERTY(int Height READ Height WRITE setHeight STORED false)
    Q_PROPERTY(int Width READ Width WRITE setWidth STORED false)
    Q_PROPERTY(QMenu* PopupMenu READ PopupMenu WRITE setPopupMenu)
    Q_PROPERTY(TThreadPriority Priority READ Priority WRITE setPriority)
    Q_PROPERTY(int MoveStep READ MoveStep WRITE setMoveStep)
    Q_PROPERTY(bool Mute READ Mute WRITE setMute)
    Q_PROPERTY(int Speed READ Speed WRITE setSpeed)
    Q_PROPERTY(bool StayOnTop READ StayOnTop WRITE setStayOnTop)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(vedomec::TBalloonOptions* Balloon READ Balloon CONSTANT)
    Q_PROPERTY(vedomec::TMsgDlgOptions* MsgDlg READ MsgDlg CONSTANT)
    Q_PROPERTY(vedomec::TTipsDlgOptions* TipsDlg READ TipsDlg CONSTANT)
    Q_PROPERTY(vedomec::TGuideDlgOptions* GuideDlg READ GuideDlg CONSTANT)

public:
    enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
    Q_ENUM(TBiDiMode)
    enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
    Q_ENUM(TThreadPriority)

    // The services reach the engine and the director (clock, sleep, random
    // numbers, sound); empty ones are the system's.
    explicit TAssistant(QObject* parent = nullptr);
    explicit TAssistant(const TAssistantEngine::Services& services, QObject* parent = nullptr);
    ~TAssistant() override;

    // --- Published properties ---
    QString ActorLibrary() const;
    // Loads (empty: unloads) the actor library.  Throws EActorError; the
    // actor loaded before stays.
    void setActorLibrary(const QString& fileName);
    bool AutoIdle() const;
    void setAutoIdle(bool on);
    bool AutoSize() const;
    void setAutoSize(bool on);
    TBgMode BgMode() const;
    void setBgMode(TBgMode mode);
    QImage BgPicture() const;
    void setBgPicture(const QImage& picture);
    TBiDiMode BiDiMode() const { return m_biDiMode; }
    void setBiDiMode(TBiDiMode mode);
    QString Caption() const;
    void setCaption(const QString& caption);
    int ClientHeight() const;
    void setClientHeight(int h);
    int ClientWidth() const;
    void setClientWidth(int w);
    QColor Color() const;
    void setColor(const QColor& c);
    bool FastShowHide() const { return m_fastShowHide; }
    void setFastShowHide(bool on) { m_fastShowHide = on; }
    int FormLeft() const;
    void setFormLeft(int x);
    int FormTop() const;
    void setFormTop(int y);
    int Height() const;
    void setHeight(int h);
    int Width() const;
    void setWidth(int w);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu* menu);
    TThreadPriority Priority() const { return m_priority; }
    void setPriority(TThreadPriority p);
    // Stored for an operation that moves the character; 0 is refused.
    int MoveStep() const { return m_moveStep; }
    void setMoveStep(int step);
    bool Mute() const;
    void setMute(bool on);
    // Percent; 0 is refused.
    int Speed() const;
    void setSpeed(int percent);
    bool StayOnTop() const { return m_stayOnTop; }
    void setStayOnTop(bool on);
    bool Stretch() const;
    void setStretch(bool on);
    bool Transparent() const;
    void setTransparent(bool on);
    TBalloonOptions* Balloon() const { return m_balloonOptions; }
    TMsgDlgOptions* MsgDlg() const { return m_msgDlg; }
    TTipsDlgOptions* TipsDlg() const { return m_tipsDlg; }
    TGuideDlgOptions* GuideDlg() const { return m_guideDlg; }

    // --- Balloon operations ---
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
    // returns mrNone at once, and the balloon is hidden, whatever it shows.
    // For the end of the program, which must not wait for a balloon nobody
    // will answer.
    void AbandonMessage();
    // 0 none, 1 message, 2 tips, 3 guide, 4 speech, 5 thought; the mode is
    // kept while the balloon is out of the way of a drag.
    int BalloonMode() const;
    // 0 while hidden or centred; 1..8 beside the anchor.
    int BalloonPosition() const;
    // The form the balloon points at; nullptr (or a hidden form) centres it.
    void SetBalloonAnchor(QWidget* anchor);
    // The guide balloon, on its first page of topics.
    void ShowGuide();
    // A thought balloon with the text that closes itself after timeoutMs
    // (0: it stays); it does not take the keyboard.
    void Think(const QString& text, int timeoutMs);

    // --- The character ---
    quint32 PlayAnimation(const QString& name);
    quint32 PlayState(int state);
    bool IsRequestPending(quint32 id) const;
    TRequestInfo GetRequestInfo(quint32 id) const;
    // Empty while no actor library is loaded.
    QString ActorName() const;
    // Hides the character, after its hide animation unless `fast`.
    void HideAssistant(bool fast);
    // Shows the character and enables its animations, followed by the
    // animation of state 44 unless `fast`.  The program itself never shows
    // it.
    void ShowAssistant(bool fast);

    TAssistantBalloon* balloonWindow() const { return m_balloon; }
    TAssistantStage* stage() const { return m_stage; }
    TAssistantDirector* director() const { return m_director; }
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
    void OnCanResize(vedomec::TAssistant* sender, int* newWidth, int* newHeight, bool* resize);
    void OnChange(vedomec::TAssistant* sender);
    void OnClick(vedomec::TAssistant* sender);
    void OnCloseQuery(vedomec::TAssistant* sender, bool* canClose);
    void OnDblClick(vedomec::TAssistant* sender);
    void OnDragging(vedomec::TAssistant* sender);
    void OnDragStart(vedomec::TAssistant* sender);
    void OnDragStop(vedomec::TAssistant* sender);
    void OnHide(vedomec::TAssistant* sender);
    void OnIdle(vedomec::TAssistant* sender, int level, bool* handled);
    void OnPlayStart(vedomec::TAssistant* sender, quint32 requestId);
    void OnPlayStop(vedomec::TAssistant* sender, quint32 requestId);
    void OnShow(vedomec::TAssistant* sender);
    void OnTipsTipChange(vedomec::TAssistant* sender);
    void OnGuideRequestChange(vedomec::TAssistant* sender);
    void OnGuideTopicClick(vedomec::TAssistant* sender, int topicIndex);
    void OnGuideSearchClick(vedomec::TAssistant* sender);
    void OnGuideOptionsClick(vedomec::TAssistant* sender);
    // The "&Pomoc" button of a message with a help context.
    void OnHelp(vedomec::TAssistant* sender, qint32 helpContext);
    // An animation of the library could not be read when it was to play
    // (`reason` is the reader's text).  Told once per animation; the
    // character goes on without it, and the owner decides what the user
    // hears of it.
    void OnAnimationDamaged(vedomec::TAssistant* sender, const QString& animation, const QString& reason);

private:
    struct Wait;
    void wireBalloon();
    void wireStage();
    void wireDirector();
    void showMode(int mode, const TAssistantBalloon::Content& content);
    TAssistantBalloon::Content guideContent();
    TAssistantBalloon::Content tipsContent() const;
    void layOutTips();
    void showTips();
    void guideSearch();
    void resetIdle();
    void takeBackActivation(QWindow* now);
    bool isConnected(const QMetaMethod& signal) const;

    TBalloonOptions* m_balloonOptions;
    TMsgDlgOptions* m_msgDlg;
    TTipsDlgOptions* m_tipsDlg;
    TGuideDlgOptions* m_guideDlg;
    TAssistantStage* m_stage = nullptr;
    TAssistantBalloon* m_balloon = nullptr;
    TAssistantDirector* m_director = nullptr;
    QImage m_currentFrame;
    QPointer<QMenu> m_popupMenu;
    Wait* m_wait = nullptr;
    qint32 m_helpContext = 0;
    int m_mode = bmNoBalloon;
    TBiDiMode m_biDiMode = bdLeftToRight;
    TThreadPriority m_priority = tpNormal;
    int m_moveStep = 8;
    bool m_fastShowHide = false;
    bool m_stayOnTop = true;
    bool m_hiding = false;
    bool m_destroying = false;
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

Q_DECLARE_METATYPE(vedomec::TBgMode)
