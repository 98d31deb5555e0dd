// The main window's side of the test a pupil takes: the capture controls,
// the navigation handlers, ending a test, the Results command and the time
// limit.  The test itself (its table, its answers, its scoring) is the
// session's; the handlers show it.
#include "app/Hlavni.h"

#include "assistant/oaAssist.h"
#include "controls/Accessible.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton.h"
#include "data/Data.h"
#include "data/Table.h"
#include "results/TimeCounter.h"
#include "results/Vysledek.h"
#include "session/TestSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

#include <array>

namespace vedomec {

// --- Answer capture: the check boxes act as one choice ---------------------

void THlavniDialog::checkOnly(QCheckBox* box)
{
    QCheckBox* const group[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    QCheckBox* const groupB[] = {RadioButton5, RadioButton6};
    const bool inA = box == RadioButton1 || box == RadioButton2 || box == RadioButton3 || box == RadioButton4;
    box->setChecked(true);
    if (inA) {
        for (QCheckBox* b : group)
            if (b != box)
                b->setChecked(false);
    } else {
        for (QCheckBox* b : groupB)
            if (b != box)
                b->setChecked(false);
    }
}

void THlavniDialog::RadioButton1Enter() { checkOnly(RadioButton1); }
void THlavniDialog::RadioButton2Enter() { checkOnly(RadioButton2); }
void THlavniDialog::RadioButton3Enter() { checkOnly(RadioButton3); }
void THlavniDialog::RadioButton4Enter() { checkOnly(RadioButton4); }
void THlavniDialog::RadioButton5Enter() { checkOnly(RadioButton5); }
void THlavniDialog::RadioButton6Enter() { checkOnly(RadioButton6); }
void THlavniDialog::RadioButton1MouseUp() { checkOnly(RadioButton1); }
void THlavniDialog::RadioButton2MouseUp() { checkOnly(RadioButton2); }
void THlavniDialog::RadioButton3MouseUp() { checkOnly(RadioButton3); }
void THlavniDialog::RadioButton4MouseUp() { checkOnly(RadioButton4); }
void THlavniDialog::RadioButton5MouseUp() { checkOnly(RadioButton5); }
void THlavniDialog::RadioButton6MouseUp() { checkOnly(RadioButton6); }

// --- The session and the controls --------------------------------------------

QFrame* THlavniDialog::panelOf(results::TestType type) const
{
    switch (type) {
    case results::TestType::A: return TestA;
    case results::TestType::B: return TestB;
    case results::TestType::C: return TestC;
    }
    return nullptr;
}

session::ScreenAnswer THlavniDialog::screenAnswer() const
{
    session::ScreenAnswer a;
    if (m_session->Type() == results::TestType::A)
        a.boxes = {RadioButton1->isChecked(), RadioButton2->isChecked(), RadioButton3->isChecked(),
                   RadioButton4->isChecked()};
    else if (m_session->Type() == results::TestType::B)
        a.boxes = {RadioButton5->isChecked(), RadioButton6->isChecked(), false, false};
    else
        a.text = Edit971->text();
    return a;
}

void THlavniDialog::showStoredAnswer()
{
    const QString stored = m_session->Stored();
    if (m_session->Type() == results::TestType::C) {
        Edit971->setText(stored);
        return;
    }
    const std::optional<std::array<bool, 4>> boxes = session::BoxesShowing(m_session->Type(), stored);
    if (!boxes)
        return;
    const bool typeA = m_session->Type() == results::TestType::A;
    // The box with the keyboard is read with its state when the question
    // has been shown.
    const controls::QuietChecks quiet {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5,
                                       RadioButton6};
    QCheckBox* const shown[] = {typeA ? RadioButton1 : RadioButton5, typeA ? RadioButton2 : RadioButton6,
                                typeA ? RadioButton3 : nullptr, typeA ? RadioButton4 : nullptr};
    for (size_t i = 0; i < 4; ++i) {
        if (!shown[i])
            continue;
        // Setting the state must not run the capture handlers nor move focus.
        const QSignalBlocker block(shown[i]);
        shown[i]->setChecked((*boxes)[i]);
    }
}

bool THlavniDialog::testRunning() const
{
    return m_session && m_session->Active();
}

data::TTable* THlavniDialog::OpenTable() const
{
    return m_session ? m_session->Table() : nullptr;
}

session::TTestSession* THlavniDialog::Session() const
{
    return m_session.get();
}

// --- Opening ---------------------------------------------------------------------

void THlavniDialog::TestOpened(std::unique_ptr<session::TTestSession> test, const OpenedTest& shown)
{
    Cislo->setText(QStringLiteral("1"));
    Cislo->setVisible(true);
    ToolbarButton971->setEnabled(false);
    ToolbarButton972->setEnabled(true);
    ToolbarButton974->setEnabled(false);
    ToolbarButton975->setEnabled(true);
    T1->setEnabled(false);
    T2->setEnabled(false);
    T3->setEnabled(true);
    T4->setEnabled(true);
    Label5->setText(shown.title);
    Label5->setVisible(true);

    Cas1->setText(shown.allowedTime);
    const results::TestType type = test->Type();
    if (type == results::TestType::A)
        for (QCheckBox* box : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
            box->setChecked(false);
    else if (type == results::TestType::B)
        for (QCheckBox* box : {RadioButton5, RadioButton6})
            box->setChecked(false);
    else
        Edit971->setText(QString());
    // Exactly one answer panel is visible while a test is open.
    QFrame* panel = panelOf(type);
    for (QFrame* p : {TestA, TestB, TestC})
        if (p != panel)
            p->setVisible(false);
    panel->setVisible(true);
    // A test whose end failed may still hold another table object.
    if (m_session && m_session->Table() != test->Table())
        m_session->Table()->Close();
    m_session = std::move(test);
    m_opened = shown;
    questionShown();
}

void THlavniDialog::TestStarted()
{
    if (!m_session)
        return;
    askPupilName();
    if (!m_session || isClosing())
        return;
    if (!isActiveWindow() && isVisible()) {
        activateWindow();
        // The focus below must arrive now, not with a later activation that
        // would mark the first answer after it was cleared.
        QApplication::setActiveWindow(this);
    }
    const results::TestType type = m_session->Type();
    if (type == results::TestType::C) {
        Edit971->setFocus(Qt::OtherFocusReason);
    } else {
        QCheckBox* first = type == results::TestType::A ? RadioButton1 : RadioButton5;
        first->setFocus(Qt::OtherFocusReason);
        first->setChecked(false);
    }
    Label10->setText(QString::number(m_session->QuestionCount()));
    if (m_dm)
        BindAuthorLines(type == results::TestType::A   ? m_dm->DataSource1
                        : type == results::TestType::B ? m_dm->DataSource2
                                                       : m_dm->DataSource3);
    TimeCounter1->Reset();
    TimeCounter1->Start();
    Cas->setText(TTimeCounter::formatElapsed(0));
    K1->setText(QStringLiteral("1"));
    Panel4->setVisible(false);
    beginRecord();
}

// --- Navigation --------------------------------------------------------------

namespace {

// What a navigation key changes on screen before the answer is stored: the
// question number and the four keys.  Put back when storing the answer or
// moving fails, so that the number shown is that of the question shown and
// the table's row.
class ShownPlace {
public:
    ShownPlace(QLabel* number, std::array<TToolbarButton97*, 4> keys) : m_number(number), m_text(number->text()), m_keys(keys)
    {
        for (size_t i = 0; i < m_keys.size(); ++i)
            m_enabled[i] = m_keys[i]->isEnabled();
    }
    template <class F>
    void orBack(F&& step) const
    {
        try {
            step();
        } catch (...) {
            m_number->setText(m_text);
            for (size_t i = 0; i < m_keys.size(); ++i)
                m_keys[i]->setEnabled(m_enabled[i]);
            throw;
        }
    }

private:
    QLabel* m_number;
    QString m_text;
    std::array<TToolbarButton97*, 4> m_keys;
    std::array<bool, 4> m_enabled {};
};

} // namespace

void THlavniDialog::T1Click()
{
    Timer1Timer(); // Label4 must be current before it is read
    const ShownPlace before(Cislo, {T1, T2, T3, T4});
    Cislo->setText(QStringLiteral("1"));
    T1->setEnabled(false);
    T2->setEnabled(false);
    T3->setEnabled(true);
    T4->setEnabled(true);
    before.orBack([this] { SaveMoveRestore(session::Move::First); });
}

void THlavniDialog::T2Click()
{
    Timer1Timer();
    const ShownPlace before(Cislo, {T1, T2, T3, T4});
    if (Cislo->text() != QLatin1String("1")) {
        for (TToolbarButton97* b : {T1, T2, T3, T4})
            b->setEnabled(true);
        Cislo->setText(QString::number(Cislo->text().toInt() - 1));
    } else {
        T1->setEnabled(false);
        T2->setEnabled(false);
        T3->setEnabled(true);
        T4->setEnabled(true);
        Cislo->setText(QStringLiteral("1"));
    }
    before.orBack([this] { SaveMoveRestore(session::Move::Prior); });
}

void THlavniDialog::T3Click()
{
    Timer1Timer();
    const ShownPlace before(Cislo, {T1, T2, T3, T4});
    if (Cislo->text() != Label4->text()) {
        for (TToolbarButton97* b : {T1, T2, T3, T4})
            b->setEnabled(true);
        Cislo->setText(QString::number(Cislo->text().toInt() + 1));
    } else {
        T1->setEnabled(true);
        T2->setEnabled(true);
        T3->setEnabled(false);
        T4->setEnabled(false);
        UserMessage(QStringLiteral("Dostal(a) jste se na konec testu. Pokud máte vyplněny všechny otázky, "
                                   "stiskněte prosím tlačítko \"Výsledky testu\" nebo klávesy \"Ctrl+V\" pro "
                                   "zobrazení úspěšnosti Vašich odpovědí."),
                    mtInformation, mbOK);
        Cislo->setText(Label4->text());
    }
    before.orBack([this] { SaveMoveRestore(session::Move::Next); });
}

void THlavniDialog::T4Click()
{
    Timer1Timer();
    const ShownPlace before(Cislo, {T1, T2, T3, T4});
    Cislo->setText(Label4->text());
    T1->setEnabled(true);
    T2->setEnabled(true);
    T3->setEnabled(false);
    T4->setEnabled(false);
    before.orBack([this] { SaveMoveRestore(session::Move::Last); });
}

void THlavniDialog::SaveMoveRestore(session::Move move)
{
    // A message of stage 1 may have waited while the test ended.
    if (!testRunning())
        return;
    m_session->Store(screenAnswer());
    m_session->Go(move);
    showStoredAnswer();
    questionShown();
}

// --- Ending a test without results -------------------------------------------

void THlavniDialog::EraseAnswers()
{
    if (!m_session)
        return;
    QFrame* panel = panelOf(m_session->Type());
    // A failure leaves the test open, its panel shown, to be ended again.
    m_session->End();
    m_session.reset();
    panel->hide();
    keyboardOffHiddenControls();
}

void THlavniDialog::keyboardOffHiddenControls()
{
    // An answer control hidden with its panel would keep the keyboard, and
    // a reader would go on reading the question gone from the screen.
    QWidget* f = focusWidget();
    if (f && f != this && !f->isVisible())
        setFocus(Qt::OtherFocusReason);
}

void THlavniDialog::ToolbarButton972Click()
{
    if (UserMessage(QStringLiteral("Opravdu chcete ukončit tento test?"), mtConfirmation, mbYes | mbNo) != mrYes)
        return;
    // The answers go first: when erasing them fails the test stays on
    // screen as it was, running, to be ended again.
    EraseAnswers();
    EndSessionState();
    Label5->hide();
    recordUnfinished();
    TimeCounter1->Reset();
    Cas1->setText(QString());
}

void THlavniDialog::EndSessionState()
{
    K1->setText(QStringLiteral("0"));
    Label10->setText(QString());
    Cislo->hide();
    ToolbarButton971->setEnabled(true);
    ToolbarButton974->setEnabled(true);
    ToolbarButton972->setEnabled(false);
    ToolbarButton975->setEnabled(false);
    for (TToolbarButton97* b : {T1, T2, T3, T4})
        b->setEnabled(false);
    TimeCounter1->Stop();
}

void THlavniDialog::FormClose()
{
    recordUnfinished();
    EraseAnswers();
}

// --- Results and the time limit ------------------------------------------------

bool THlavniDialog::EvaluateTest(results::EvalMode mode)
{
    if (!testRunning() || !VysledekDialog)
        return false;
    m_session->Store(screenAnswer(), mode == results::EvalMode::TimeExpiry);
    const results::Outcome o = m_session->Score(mode, VysledekDialog->L1->text().toInt());
    if (!o.complete) {
        unansweredProcedure();
        return false;
    }
    VysledekDialog->ShowOutcome(o);
    return true;
}

void THlavniDialog::unansweredProcedure()
{
    UserMessage(QStringLiteral("Ještě nebyly zodpovězeny všechny otázky!"), mtError, mbOK);
    // The time limit may have run out while the message waited; the results
    // are then on screen and this session is over.
    if (K1->text() != QLatin1String("1") || !testRunning())
        return;
    m_session->Go(session::Move::First);
    Cislo->setText(QStringLiteral("1"));
    showStoredAnswer();
    questionShown();
    T1->setEnabled(false);
    T2->setEnabled(false);
    T3->setEnabled(true);
    T4->setEnabled(true);
}

void THlavniDialog::ToolbarButton975Click()
{
    if (K1->text() != QLatin1String("1") || !VysledekDialog)
        return;
    Timer1Timer(); // the question count must be current before it is read
    VysledekDialog->Nazev->setText(Label5->text());
    VysledekDialog->L1->setText(Label4->text());
    if (!EvaluateTest(results::EvalMode::ResultsCommand))
        return;
    EndSessionState();
    VysledekDialog->show();
    recordResults(false);
}

void THlavniDialog::TimeCounter1Timer()
{
    // Read the time once: the text shown and the seconds compared agree.
    const qint64 ms = TimeCounter1->ElapsedMs();
    Cas->setText(TTimeCounter::formatElapsed(ms));
    if (K1->text() != QLatin1String("1"))
        return;
    if (!results::TimeExpired(ms / 1000, Cas1->text()))
        return;

    EndSessionState();
    UserMessage(QStringLiteral("Váš čas na vyplnění testu vypršel. Nyní budou zobrazeny výsledky."), mtInformation,
                mbOK);
    if (!VysledekDialog || isClosing())
        return;
    Timer1Timer();
    VysledekDialog->Nazev->setText(Label5->text());
    VysledekDialog->L1->setText(Label4->text());
    if (EvaluateTest(results::EvalMode::TimeExpiry)) {
        VysledekDialog->show();
        recordResults(true);
    }
}

// --- What the results dialog asks of the window ----------------------------------

void THlavniDialog::EndTestAfterResults()
{
    // The answers go first, so the next opening starts from none.
    EraseAnswers();
    TestA->hide();
    TestB->hide();
    TestC->hide();
    keyboardOffHiddenControls();
    Cislo->hide();
    for (TToolbarButton97* b : {T1, T2, T3, T4})
        b->setEnabled(false);
    ToolbarButton975->setEnabled(false);
    ToolbarButton972->setEnabled(false);
    ToolbarButton971->setEnabled(true);
    ToolbarButton974->setEnabled(true);
}

QWidget* THlavniDialog::ResultsPanel()
{
    return Panel4;
}

QWidget* THlavniDialog::HostWindow()
{
    return this;
}

} // namespace vedomec
