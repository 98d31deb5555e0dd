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

namespace vedomec {

namespace {

const QString kOdpoved = QStringLiteral("ODPOVED");
const QString kSpravne = QStringLiteral("SPRAVNE");

// Back to question 1 with its stored answer on screen; the session goes on.
void unansweredProcedure(THlavniDialog& h, data::TTable* table)
{
    h.UserMessage(QStringLiteral("Ještě nebyly zodpovězeny všechny otázky!"), mtError, mbOK);
    // The time limit may have run out while the message waited; the results
    // are then on screen and this session is over.
    if (h.K1->text() != QLatin1String("1") || !table->Active())
        return;

    h.Cislo->setText(QStringLiteral("1"));
    table->First();
    h.RestoreAnswer(table);
    h.T1->setEnabled(false);
    h.T2->setEnabled(false);
    h.T3->setEnabled(true);
    h.T4->setEnabled(true);
}

} // namespace

bool EvaluateTest(THlavniDialog& h, results::EvalMode mode)
{
    data::TTable* table = h.OpenTable();
    if (!table || !table->Active())
        return false;
    const results::TestType type = h.TestA->isVisibleTo(&h) ? results::TestType::A
        : h.TestB->isVisibleTo(&h)                          ? results::TestType::B
                                                            : results::TestType::C;

    h.SaveAnswer(table, mode == results::EvalMode::TimeExpiry);

    results::TScoreSheet sheet(type, mode);
    if (table->IsEmpty()) {
        // Reading a row of an empty table gives the empty text: the Results
        // command reports it unanswered; the expiry has nothing to score.
        if (mode == results::EvalMode::ResultsCommand) {
            unansweredProcedure(h, table);
            return false;
        }
    } else {
        // The scan walks the cursor over every row, but the window must keep
        // showing one question: a tick of the time limit while the unanswered
        // message waits stores the boxes on screen into the current row, so
        // that row has to be the one whose number and text are shown.
        const data::Bookmark shown = table->GetBookmark();
        table->First();
        do {
            if (!sheet.add(table->FieldAsString(kSpravne), table->FieldAsString(kOdpoved))) {
                if (shown)
                    table->GotoBookmark(shown);
                unansweredProcedure(h, table);
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
    EndSessionState();
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

    EndSessionState();
    UserMessage(QStringLiteral("Váš čas na vyplnění testu vypršel. Nyní budou zobrazeny výsledky."), mtInformation,
                mbOK);
    if (!VysledekDialog || isClosing())
        return;
    Timer1Timer();
    VysledekDialog->Nazev->setText(Label5->text());
    VysledekDialog->L1->setText(Label4->text());
    if (EvaluateTest(*this, results::EvalMode::TimeExpiry))
        VysledekDialog->show();
}

} // namespace vedomec
