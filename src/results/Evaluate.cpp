// The main window's side of evaluation: the Results command, the one-second
// tick with the time limit, and the scoring run both share.
#include "results/Evaluate.h"

#include "app/Hlavni.h"
#include "assistant/oaAssist.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
#include "data/Data.h"
#include "data/Table.h"
#include "results/TimeCounter.h"
#include "results/Vysledek.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

namespace vedomec {

namespace {

const QString kOdpoved = QStringLiteral("ODPOVED");
const QString kSpravne = QStringLiteral("SPRAVNE");
constexpr int kAnswerWidth = 254;

bool isOpenPanel(THlavniDialog& h, QWidget* panel)
{
    return panel->isVisibleTo(&h);
}

// Writes the answer on screen into the current row.  In the expiry an empty
// type A screen empties the row, so what the user saw is what is scored.
void storeScreenAnswer(THlavniDialog& h, data::TTable* table, results::TestType type, results::EvalMode mode)
{
    // A table without rows has no question; editing it would add one.
    if (table->IsEmpty())
        return;
    table->Edit();
    switch (type) {
    case results::TestType::A: {
        const std::pair<QCheckBox*, const char*> boxes[] = {
            {h.RadioButton1, "A"}, {h.RadioButton2, "B"}, {h.RadioButton3, "C"}, {h.RadioButton4, "D"}};
        bool any = false;
        for (const auto& [b, letter] : boxes) {
            if (b->isChecked()) {
                table->SetFieldAsString(kOdpoved, QLatin1String(letter));
                any = true;
            }
        }
        if (!any && mode == results::EvalMode::TimeExpiry)
            table->SetFieldAsString(kOdpoved, QString());
        break;
    }
    case results::TestType::B:
        if (h.RadioButton5->isChecked())
            table->SetFieldAsString(kOdpoved, QStringLiteral("Ano"));
        if (h.RadioButton6->isChecked())
            table->SetFieldAsString(kOdpoved, QStringLiteral("Ne"));
        break;
    case results::TestType::C:
        table->SetFieldAsString(kOdpoved, h.Edit971->text().left(kAnswerWidth));
        break;
    }
    table->Post();
}

void setBoxes(std::initializer_list<std::pair<QCheckBox*, bool>> states)
{
    for (auto [box, on] : states) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
}

// Back to question 1 with its stored answer on screen; the session goes on.
void unansweredProcedure(THlavniDialog& h, data::TTable* table, results::TestType type)
{
    h.UserMessage(QStringLiteral("Ještě nebyly zodpovězeny všechny otázky!"), mtError, mbOK);
    // The time limit may have run out while the message waited; the results
    // are then on screen and this session is over.
    if (h.K1->text() != QLatin1String("1") || !table->Active())
        return;

    h.Cislo->setText(QStringLiteral("1"));
    table->First();
    const QString stored = table->FieldAsString(kOdpoved);
    switch (type) {
    case results::TestType::A:
        if (stored.isEmpty())
            setBoxes({{h.RadioButton1, false}, {h.RadioButton2, false}, {h.RadioButton3, false}, {h.RadioButton4, false}});
        else if (stored == QLatin1String("A"))
            setBoxes({{h.RadioButton1, true}, {h.RadioButton2, false}, {h.RadioButton3, false}, {h.RadioButton4, false}});
        else if (stored == QLatin1String("B"))
            setBoxes({{h.RadioButton1, false}, {h.RadioButton2, true}, {h.RadioButton3, false}, {h.RadioButton4, false}});
        else if (stored == QLatin1String("C"))
            setBoxes({{h.RadioButton1, false}, {h.RadioButton2, false}, {h.RadioButton3, true}, {h.RadioButton4, false}});
        else if (stored == QLatin1String("D"))
            setBoxes({{h.RadioButton1, false}, {h.RadioButton2, false}, {h.RadioButton3, false}, {h.RadioButton4, true}});
        break;
    case results::TestType::B:
        if (stored.isEmpty())
            setBoxes({{h.RadioButton5, false}, {h.RadioButton6, false}});
        else if (stored == QLatin1String("Ano"))
            setBoxes({{h.RadioButton5, true}, {h.RadioButton6, false}});
        else if (stored == QLatin1String("Ne"))
            setBoxes({{h.RadioButton5, false}, {h.RadioButton6, true}});
        break;
    case results::TestType::C:
        h.Edit971->setText(stored);
        break;
    }
    h.T1->setEnabled(false);
    h.T2->setEnabled(false);
    h.T3->setEnabled(true);
    h.T4->setEnabled(true);
}

} // namespace

void EndSessionState(THlavniDialog& h)
{
    h.K1->setText(QStringLiteral("0"));
    h.Label10->setText(QString());
    h.Cislo->hide();
    h.ToolbarButton971->setEnabled(true);
    h.ToolbarButton974->setEnabled(true);
    h.ToolbarButton972->setEnabled(false);
    h.ToolbarButton975->setEnabled(false);
    for (auto* b : {h.T1, h.T2, h.T3, h.T4})
        b->setEnabled(false);
    h.TimeCounter1->Stop();
}

bool EvaluateTest(THlavniDialog& h, results::EvalMode mode)
{
    data::TDataModule1* dm = h.DataModule();
    data::TTable* table = nullptr;
    results::TestType type = results::TestType::A;
    if (isOpenPanel(h, h.TestA)) {
        table = dm->Table1;
        type = results::TestType::A;
    } else if (isOpenPanel(h, h.TestB)) {
        table = dm->Table2;
        type = results::TestType::B;
    } else if (isOpenPanel(h, h.TestC)) {
        table = dm->Table3;
        type = results::TestType::C;
    }
    if (!table || !table->Active())
        return false;

    storeScreenAnswer(h, table, type, mode);

    results::TScoreSheet sheet(type, mode);
    if (table->IsEmpty()) {
        // Reading a row of an empty table gives the empty text: the Results
        // command reports it unanswered; the expiry has nothing to score.
        if (mode == results::EvalMode::ResultsCommand) {
            unansweredProcedure(h, table, type);
            return false;
        }
    } else {
        table->First();
        do {
            if (!sheet.add(table->FieldAsString(kSpravne), table->FieldAsString(kOdpoved))) {
                unansweredProcedure(h, table, type);
                return false;
            }
            table->Next();
        } while (!table->Eof());
    }

    TVysledekDialog* d = VysledekDialog;
    const int count = d->L1->text().toInt();
    const results::Outcome o = sheet.finish(count);
    d->L7->setText(o.correctList);
    d->L5->setText(o.wrongList);
    d->L2->setText(QString::number(o.r));
    d->L3->setText(QString::number(o.wrong));
    d->L4->setText(o.percentText);
    d->Shape3->resize(o.barWidth, d->Shape3->height());
    if (!o.grade.isEmpty())
        d->L6->setText(o.grade);
    return true;
}

void THlavniDialog::ToolbarButton975Click()
{
    if (K1->text() != QLatin1String("1") || !VysledekDialog)
        return;
    Timer1Timer(); // the question count must be current before it is read
    VysledekDialog->Nazev->setText(Label5->text());
    VysledekDialog->L1->setText(Label4->text());
    if (!EvaluateTest(*this, results::EvalMode::ResultsCommand))
        return;
    EndSessionState(*this);
    VysledekDialog->show();
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

    EndSessionState(*this);
    UserMessage(QStringLiteral("Váš čas na vyplnění testu vypršel. Nyní budou zobrazeny výsledky."), mtInformation,
                mbOK);
    if (!VysledekDialog)
        return;
    Timer1Timer();
    VysledekDialog->Nazev->setText(Label5->text());
    VysledekDialog->L1->setText(Label4->text());
    if (EvaluateTest(*this, results::EvalMode::TimeExpiry))
        VysledekDialog->show();
}

} // namespace vedomec
