// The main window's side of a test session: answer capture, navigation
// between questions and ending a test without results.
#include "app/Hlavni.h"

#include "assistant/oaAssist.h"
#include "controls/DBControls.h"
#include "controls/ToolbarButton.h"
#include "data/Data.h"
#include "data/Table.h"
#include "results/TimeCounter.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

namespace vedomec {

namespace {
const QString kOdpoved = QStringLiteral("ODPOVED");
constexpr int kAnswerWidth = 254;
} // namespace

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

// --- Navigation --------------------------------------------------------------

void THlavniDialog::T1Click()
{
    Timer1Timer(); // Label4 must be current before it is read
    Cislo->setText(QStringLiteral("1"));
    T1->setEnabled(false);
    T2->setEnabled(false);
    T3->setEnabled(true);
    T4->setEnabled(true);
    SaveMoveRestore(Move::First);
}

void THlavniDialog::T2Click()
{
    Timer1Timer();
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
    SaveMoveRestore(Move::Prior);
}

void THlavniDialog::T3Click()
{
    Timer1Timer();
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
    SaveMoveRestore(Move::Next);
}

void THlavniDialog::T4Click()
{
    Timer1Timer();
    Cislo->setText(Label4->text());
    T1->setEnabled(true);
    T2->setEnabled(true);
    T3->setEnabled(false);
    T4->setEnabled(false);
    SaveMoveRestore(Move::Last);
}

void THlavniDialog::SaveAnswer(data::TTable* table, bool emptyWhenNoneChosen)
{
    // A table without rows has no question to answer; editing it would add
    // a blank row to the user's file.
    if (table->IsEmpty())
        return;
    table->Edit();
    if (TestA->isVisibleTo(this)) {
        if (RadioButton1->isChecked()) table->SetFieldAsString(kOdpoved, QStringLiteral("A"));
        if (RadioButton2->isChecked()) table->SetFieldAsString(kOdpoved, QStringLiteral("B"));
        if (RadioButton3->isChecked()) table->SetFieldAsString(kOdpoved, QStringLiteral("C"));
        if (RadioButton4->isChecked()) table->SetFieldAsString(kOdpoved, QStringLiteral("D"));
        const bool none = !RadioButton1->isChecked() && !RadioButton2->isChecked() && !RadioButton3->isChecked()
            && !RadioButton4->isChecked();
        if (none && emptyWhenNoneChosen)
            table->SetFieldAsString(kOdpoved, QString());
    } else if (TestB->isVisibleTo(this)) {
        if (RadioButton5->isChecked()) table->SetFieldAsString(kOdpoved, QStringLiteral("Ano"));
        if (RadioButton6->isChecked()) table->SetFieldAsString(kOdpoved, QStringLiteral("Ne"));
    } else {
        table->SetFieldAsString(kOdpoved, Edit971->text().left(kAnswerWidth));
    }
    table->Post();
}

void THlavniDialog::RestoreAnswer(data::TTable* table)
{
    const QString stored = table->FieldAsString(kOdpoved);
    auto setBoxes = [](std::initializer_list<std::pair<QCheckBox*, bool>> states) {
        for (auto [box, on] : states) {
            // Setting the state must not run the capture handlers nor move focus.
            const QSignalBlocker block(box);
            box->setChecked(on);
        }
    };
    if (TestA->isVisibleTo(this)) {
        if (stored.isEmpty())
            setBoxes({{RadioButton1, false}, {RadioButton2, false}, {RadioButton3, false}, {RadioButton4, false}});
        else if (stored == QLatin1String("A"))
            setBoxes({{RadioButton1, true}, {RadioButton2, false}, {RadioButton3, false}, {RadioButton4, false}});
        else if (stored == QLatin1String("B"))
            setBoxes({{RadioButton1, false}, {RadioButton2, true}, {RadioButton3, false}, {RadioButton4, false}});
        else if (stored == QLatin1String("C"))
            setBoxes({{RadioButton1, false}, {RadioButton2, false}, {RadioButton3, true}, {RadioButton4, false}});
        else if (stored == QLatin1String("D"))
            setBoxes({{RadioButton1, false}, {RadioButton2, false}, {RadioButton3, false}, {RadioButton4, true}});
    } else if (TestB->isVisibleTo(this)) {
        if (stored.isEmpty())
            setBoxes({{RadioButton5, false}, {RadioButton6, false}});
        else if (stored == QLatin1String("Ano"))
            setBoxes({{RadioButton5, true}, {RadioButton6, false}});
        else if (stored == QLatin1String("Ne"))
            setBoxes({{RadioButton5, false}, {RadioButton6, true}});
    } else {
        Edit971->setText(stored);
    }
}

void THlavniDialog::SaveMoveRestore(Move move)
{
    data::TTable* table = OpenTable();
    if (!table)
        return;
    SaveAnswer(table);
    switch (move) {
    case Move::First: table->First(); break;
    case Move::Prior: table->Prior(); break;
    case Move::Next: table->Next(); break;
    case Move::Last: table->Last(); break;
    }
    RestoreAnswer(table);
}

// --- Ending a test without results -------------------------------------------

void THlavniDialog::EraseAnswers()
{
    QFrame* panel = nullptr;
    data::TTable* table = nullptr;
    if (TestA->isVisibleTo(this)) { panel = TestA; table = m_dm->Table1; }
    else if (TestB->isVisibleTo(this)) { panel = TestB; table = m_dm->Table2; }
    else if (TestC->isVisibleTo(this)) { panel = TestC; table = m_dm->Table3; }
    if (!panel)
        return;
    if (!table->IsEmpty()) {
        table->First();
        do {
            table->Edit();
            table->SetFieldAsString(kOdpoved, QString());
            table->Post();
            table->Next();
        } while (!table->Eof());
    }
    table->Close();
    panel->hide();
}

void THlavniDialog::ToolbarButton972Click()
{
    if (UserMessage(QStringLiteral("Opravdu chcete ukončit tento test?"), mtConfirmation, mbYes | mbNo) != mrYes)
        return;
    EndSessionState();
    Label5->hide();
    TimeCounter1->Reset();
    Cas1->setText(QString());
    EraseAnswers();
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
    EraseAnswers();
}

} // namespace vedomec
