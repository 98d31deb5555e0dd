#pragma once
// The main window: the frame, the toolbar, the hidden shortcut menu, and the
// handlers of the test session (HlavniTest.cpp), which drive the session
// object of the test a pupil takes.
#include "catalogue/TestHost.h"
#include "controls/ElidedLabel.h"
#include "gradebook/Recorder.h"
#include "platform/SoundCue.h"
#include "results/ResultsHost.h"
#include "results/Scoring.h"
#include "session/TestSession.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;

namespace vedomec {

namespace data {
class TDataModule1;
class TTable;
class TDataSource;
} // namespace data

class IRandom;
class TAssistant;
class TTimeCounter;
class TToolbarButton97;
class TDBText;
class TEdit97;

class THlavniDialog : public QWidget, public ITestHost, public IResultsHost {
    Q_OBJECT
public:
    explicit THlavniDialog(data::TDataModule1* dataModule, QWidget* parent = nullptr);
    ~THlavniDialog() override;

    static constexpr int kClientWidth = 434;
    static constexpr int kClientHeight = 528;

    // Banner.
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

    // Toolbar.
    TToolbarButton97* ToolbarButton971 = nullptr; // open
    TToolbarButton97* ToolbarButton974 = nullptr; // import
    TToolbarButton97* ToolbarButton972 = nullptr; // end test
    TToolbarButton97* ToolbarButton978 = nullptr; // help
    TToolbarButton97* T1 = nullptr;
    TToolbarButton97* T2 = nullptr;
    TToolbarButton97* T3 = nullptr;
    TToolbarButton97* T4 = nullptr;
    TToolbarButton97* ToolbarButton975 = nullptr; // results
    TToolbarButton97* ToolbarButton973 = nullptr; // quit
    QLabel* K1 = nullptr;
    QLabel* Label4 = nullptr;

    // Question area.
    QFrame* Panel2 = nullptr;
    QLabel* Cislo = nullptr;
    TElidedLabel* Label5 = nullptr; // the test's title line
    QLabel* Label11 = nullptr;
    QLabel* Cas1 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Cas = nullptr;
    QFrame* TestA = nullptr;
    QFrame* TestB = nullptr;
    QFrame* TestC = nullptr;
    QFrame* Panel4 = nullptr;
    TDBText* DBText1 = nullptr;
    TDBText* DBText2 = nullptr;
    TDBText* DBText3 = nullptr;
    TDBText* DBText4 = nullptr;
    TDBText* DBText5 = nullptr;
    TDBText* DBText6 = nullptr;
    TDBText* DBText7 = nullptr;
    QCheckBox* RadioButton1 = nullptr;
    QCheckBox* RadioButton2 = nullptr;
    QCheckBox* RadioButton3 = nullptr;
    QCheckBox* RadioButton4 = nullptr;
    QCheckBox* RadioButton5 = nullptr;
    QCheckBox* RadioButton6 = nullptr;
    TEdit97* Edit971 = nullptr;

    // Test information.
    QFrame* Panel3 = nullptr;
    TDBText* DBText8 = nullptr;  // JMENO
    TDBText* DBText9 = nullptr;  // ADRESA
    TDBText* DBText10 = nullptr; // HTTP
    TDBText* DBText11 = nullptr; // EMAIL
    QLabel* Label10 = nullptr;   // question count

    // Non-visual parts.
    QTimer* Timer1 = nullptr;
    TAssistant* Assistant = nullptr;
    TTimeCounter* TimeCounter1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* Soubor = nullptr;
    QAction* M1 = nullptr;
    QAction* M2 = nullptr;
    QAction* M3 = nullptr;
    QAction* M4 = nullptr;
    QAction* M5 = nullptr;
    QAction* M6 = nullptr;
    QAction* M7 = nullptr;
    QAction* M8 = nullptr;
    QAction* M9 = nullptr;
    QAction* M10 = nullptr;
    QAction* M11 = nullptr;
    // For a pupil who does not see the screen (HlavniAccessible.cpp): F9
    // says the time (also an entry of the menu), F10 shows the menu.
    QAction* M12 = nullptr;
    QAction* MenuKey = nullptr;

    data::TDataModule1* DataModule() const { return m_dm; }

    // The message service: title "Vedomec", the matching cue, the modal
    // balloon; returns the modal result.  type: 1 error, 2 information,
    // 3 confirmation; buttons: the assistant's button set.
    int UserMessage(const QString& text, int type, quint16 buttons) override;
    void PlaySoundCue(const QString& fileName) override;
    const TSoundCue& soundCue() const { return m_sound; }

    // The test the pupil takes, and the table object it writes; nullptr
    // when no test is open.
    session::TTestSession* Session() const;
    data::TTable* OpenTable() const;
    // Binds the author lines of the information panel to a data source.
    void BindAuthorLines(data::TDataSource* source);

    // The character on the desktop and the sounds (HlavniCharacter.cpp).
    // Shows the character of the actor library `library` beside this
    // window, or, when it is shown, lets the new one take her place; empty:
    // she plays her hide animation and goes, and balloons stand centred on
    // the screen again.  Throws EActorError when the library cannot be
    // loaded; the character before then stays.
    void SetCharacter(const QString& library);
    // The library of the character chosen; empty for none.
    QString CharacterLibrary() const;
    // Puts the character beside this window, clear of it and of the screen's edges.
    void PlaceCharacter();
    // The window moved by `moved` or was resized: she keeps her place beside
    // it, or where the user put her unless the window is over her now.
    void FollowWindow(QPoint moved);
    // An animation of her library was found damaged while she played: she
    // is put away and the user told once.
    void CharacterDamaged(const QString& animation);
    // A message shown once no other message waits for its answer.
    void TellWhenFree(const QString& text);
    // Whether the program plays its sound cues and the character's sounds.
    bool SoundOn() const { return m_soundOn; }
    void SetSoundOn(bool on);
    // The user's configuration file, where the settings store what he chooses.
    QString UserConfigFile() const { return m_userConfigFile; }
    void SetUserConfigFile(const QString& file) { m_userConfigFile = file; }
    // The record of the test under way, left for the teacher.
    gradebook::TRecorder& Recorder() { return m_recorder; }
    // The menu of a right click on the character.
    QMenu* PopupMenu1 = nullptr;
    QAction* P1 = nullptr; // settings
    QAction* P2 = nullptr; // close the character

    // F10: the hidden menu bar shown with its menu open; it hides again
    // when the menu closes.
    void ShowMenu();
    // F9: the time left and the time taken, said by the assistant.
    void TimeReport();
    QString TimeReportText() const;

public slots:
    void FormShow();
    void ToolbarButton971Click(); // open a test
    void ToolbarButton974Click(); // import a test
    void ToolbarButton972Click(); // end the test
    void ToolbarButton973Click(); // quit
    void ToolbarButton975Click(); // results
    void ToolbarButton978Click(); // help
    void T1Click();
    void T2Click();
    void T3Click();
    void T4Click();
    void Timer1Timer();
    void TimeCounter1Timer();

    void RadioButton1Enter();
    void RadioButton2Enter();
    void RadioButton3Enter();
    void RadioButton4Enter();
    void RadioButton5Enter();
    void RadioButton6Enter();
    void RadioButton1MouseUp();
    void RadioButton2MouseUp();
    void RadioButton3MouseUp();
    void RadioButton4MouseUp();
    void RadioButton5MouseUp();
    void RadioButton6MouseUp();

    // The help conversation: the assistant's events.
    void AssistantBalloonShow(vedomec::TAssistant* sender);
    void AssistantBalloonHide(vedomec::TAssistant* sender);
    void AssistantClick(vedomec::TAssistant* sender);
    void AssistantCloseQuery(vedomec::TAssistant* sender, bool* canClose);
    void AssistantDblClick(vedomec::TAssistant* sender);
    void AssistantHide(vedomec::TAssistant* sender);
    void AssistantIdle(vedomec::TAssistant* sender, int level, bool* handled);
    void AssistantPlayStart(vedomec::TAssistant* sender, quint32 requestId);
    void AssistantShow(vedomec::TAssistant* sender);
    void AssistantTipsTipChange(vedomec::TAssistant* sender);
    void AssistantGuideRequestChange(vedomec::TAssistant* sender);
    void AssistantGuideTopicClick(vedomec::TAssistant* sender, int topicIndex);
    void AssistantGuideSearchClick(vedomec::TAssistant* sender);
    void AssistantGuideOptionsClick(vedomec::TAssistant* sender);

public:
    // The conversation's state: the character writes while the user types
    // a keyword (the request of its last writing animation), and the
    // request of the previous search tells a repeated one from a new one.
    bool Writing = false;
    quint32 WriteRequest = 0;
    QString LastSearch;
    // The chance of the idle handler; nullptr restores the system's.
    void setRandom(IRandom* random);

    // Ends the open test: its answers erased (or its working copy removed),
    // its table closed and its panel hidden (ending a test, closing the
    // program, closing results).
    void EraseAnswers();
    void FormClose();

    // Ends the session state: the watch flag down, the question count and
    // number gone, open and import on, the test commands off, the counter
    // stopped.  Safe to run more than once.
    void EndSessionState() override;

    // What the open action and the results dialog ask of the window.
    QWidget* HostWindow() override;
    void TestOpened(std::unique_ptr<session::TTestSession> test, const OpenedTest& shown) override;
    void TestStarted() override;
    void EndTestAfterResults() override;
    QWidget* ResultsPanel() override;

    // True once the window has been closed: the program is ending, and a
    // handler that comes back from a message must not start anything new.
    bool isClosing() const { return m_closing; }

signals:
    // The window has closed and the program ends; start-up ends the message
    // loop on it.
    void closed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildBanner();
    void buildToolbar();
    void buildQuestionArea();
    void buildAnswerPanels();
    void buildInformationPanel();
    void buildMenu();
    void configureAssistant();
    void buildCharacterMenu();
    void stopWriting();
    void scheduleTick();
    // Stage 2 of every navigation handler: save the answer shown, move,
    // show the stored answer.
    void SaveMoveRestore(session::Move move);
    void checkOnly(QCheckBox* box);
    // Names the answer controls and the panel by the question shown and
    // reads the question out (HlavniAccessible.cpp).
    void setUpAccessibility();
    void questionShown();
    void keyboardOffHiddenControls();
    bool testRunning() const;
    QFrame* panelOf(results::TestType type) const;
    // The answer the capture controls hold, and the stored answer shown in
    // them without running the capture handlers or moving the focus.
    session::ScreenAnswer screenAnswer() const;
    void showStoredAnswer();
    // Stores the answer on screen, scores the test and writes the results
    // dialog's figures; false when the Results command found a question
    // unanswered (after telling the user and going back to question 1).
    bool EvaluateTest(results::EvalMode mode);
    void unansweredProcedure();
    // The record of the test taken (HlavniRecord.cpp): begun when the first
    // question shows, written with the results as the dialog shows them or
    // as unfinished; a record that cannot be written is told in a balloon
    // after the results, and stops nothing.
    void beginRecord();
    void recordResults(bool timeRanOut);
    void recordUnfinished();
    // Where pupils share one account: their name and class, asked before
    // the first question.
    void askPupilName();

    data::TDataModule1* m_dm = nullptr;
    TSoundCue m_sound;
    bool m_tickPending = false;
    bool m_closing = false;
    IRandom* m_random = nullptr;
    std::unique_ptr<session::TTestSession> m_session;
    // Where the keyboard goes back when the menu shown by F10 closes.
    QPointer<QWidget> m_menuReturn;
    bool m_soundOn = true;
    bool m_dragEnded = false; // the character's drag ended just now
    bool m_characterPutAside = false; // the user dragged her away from the window
    QString m_userConfigFile;
    gradebook::TRecorder m_recorder;
    OpenedTest m_opened;
};

extern THlavniDialog* HlavniDialog;

} // namespace vedomec
