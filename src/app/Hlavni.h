#pragma once
// The main window: the frame, the toolbar, the hidden shortcut menu, and the
// handlers of the test session.  The session handlers are defined in the
// subsystem folders (session/, results/) next to the helpers they use.
#include "controls/ElidedLabel.h"
#include "platform/SoundCue.h"

#include <QPointer>
#include <QWidget>

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

class THlavniDialog : public QWidget {
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

    data::TDataModule1* DataModule() const { return m_dm; }

    // The message service: title "Vedomec", the matching cue, the modal
    // balloon; returns the modal result.  type: 1 error, 2 information,
    // 3 confirmation; buttons: the assistant's button set.
    int UserMessage(const QString& text, int type, quint16 buttons);
    void PlaySoundCue(const QString& fileName);
    const TSoundCue& soundCue() const { return m_sound; }

    // The table object and data source of the visible answer panel; nullptr
    // when no test is open.
    data::TTable* OpenTable() const;
    // Binds the author lines of the information panel to a data source.
    void BindAuthorLines(data::TDataSource* source);

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

public:
    // The conversation's state: the character writes while the user types
    // a keyword (the request of its last writing animation), and the
    // request of the previous search tells a repeated one from a new one.
    bool Writing = false;
    quint32 WriteRequest = 0;
    QString LastSearch;
    // The chance of the idle handler; nullptr restores the system's.
    void setRandom(IRandom* random);

    // Erases every stored answer of the open test, closes its table and
    // hides its panel (ending a test, closing the program, closing results).
    void EraseAnswers();
    void FormClose();

    // Writes the answer on screen into the current row of `table`.  With no
    // box of a type A test checked the row keeps its answer, unless
    // `emptyWhenNoneChosen` (the time expiry scores what the user saw).
    void SaveAnswer(data::TTable* table, bool emptyWhenNoneChosen = false);
    // Shows the answer stored in the current row, without running the
    // capture handlers or moving the focus.
    void RestoreAnswer(data::TTable* table);
    // Ends the session state: the watch flag down, the question count and
    // number gone, open and import on, the test commands off, the counter
    // stopped.  Safe to run more than once.
    void EndSessionState();

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
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildBanner();
    void buildToolbar();
    void buildQuestionArea();
    void buildAnswerPanels();
    void buildInformationPanel();
    void buildMenu();
    void configureAssistant();
    void stopWriting();
    void scheduleTick();
    // Stage 2 of every navigation handler: save the answer shown, move,
    // show the stored answer.
    enum class Move { First, Prior, Next, Last };
    void SaveMoveRestore(Move move);
    void checkOnly(QCheckBox* box);

    data::TDataModule1* m_dm = nullptr;
    TSoundCue m_sound;
    bool m_tickPending = false;
    bool m_closing = false;
    IRandom* m_random = nullptr;
};

extern THlavniDialog* HlavniDialog;

} // namespace vedomec
