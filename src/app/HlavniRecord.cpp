// The record each test taken leaves for the teacher.  The pupil sees
// nothing of it, unless it cannot be written: then, after his results, a
// balloon asks him to tell the teacher.
#include "app/Hlavni.h"

#include "assistant/oaAssist.h"
#include "platform/AppPath.h"
#include "results/TimeCounter.h"
#include "results/Vysledek.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace vedomec {

namespace {

// The answers as the table holds them; a table that fails to read back
// leaves the record without them rather than the pupil without his results.
QList<results::AnswerRow> answersOf(const session::TTestSession* test)
{
    if (!test)
        return {};
    try {
        return test->Answers();
    } catch (...) {
        return {};
    }
}

} // namespace

void THlavniDialog::beginRecord()
{
    if (!m_session)
        return;
    m_recorder.setDataFolder(TAppPath::Path());
    m_recorder.begin(m_session->SourceFile(), m_opened.name.isEmpty() ? m_opened.title : m_opened.name, m_opened.kind, m_session->Type(), Cas1->text());
}

void THlavniDialog::recordResults(bool timeRanOut)
{
    if (!m_recorder.active() || !VysledekDialog || !m_session)
        return;
    gradebook::TShownResult shown;
    shown.questions = VysledekDialog->L1->text();
    shown.right = VysledekDialog->L2->text();
    shown.wrong = VysledekDialog->L3->text();
    shown.percent = VysledekDialog->L4->text();
    shown.wrongList = VysledekDialog->L5->text();
    shown.grade = VysledekDialog->L6->text();
    shown.correctList = VysledekDialog->L7->text();
    QList<results::AnswerRow> rows;
    rows = answersOf(m_session.get());
    const QString error = m_recorder.finish(shown, rows, TimeCounter1->ElapsedMs(), timeRanOut);
    if (error.isEmpty())
        return;
    // After the results, not before: the pupil sees his result first, and
    // the handler that showed them is not held up by the balloon.
    QTimer::singleShot(0, this, [this, error] {
        if (isClosing())
            return;
        UserMessage(QStringLiteral("Váš výsledek se nepodařilo uložit, takže ho učitel neuvidí. Řekněte to prosím "
                                   "učiteli.\n\n%1")
                        .arg(error),
                    mtError, mbOK);
    });
}

void THlavniDialog::recordUnfinished()
{
    if (!m_recorder.active())
        return;
    QList<results::AnswerRow> rows;
    rows = answersOf(m_session.get());
    m_recorder.abandon(rows, TimeCounter1->ElapsedMs());
}

void THlavniDialog::askPupilName()
{
    if (!m_recorder.settings().on || !m_recorder.settings().askPupilName)
        return;
    QDialog d(this);
    d.setObjectName(QStringLiteral("ZakDialog"));
    d.setWindowTitle(QStringLiteral("Vedomec"));
    auto* form = new QFormLayout(&d);
    auto* intro = new QLabel(QStringLiteral("Napište prosím své jméno a třídu."), &d);
    intro->setObjectName(QStringLiteral("Label1"));
    form->addRow(intro);
    auto* name = new QLineEdit(m_recorder.pupilName(), &d);
    name->setObjectName(QStringLiteral("Jmeno"));
    name->setMaxLength(80);
    auto* pupilClass = new QLineEdit(m_recorder.pupilClass(), &d);
    pupilClass->setObjectName(QStringLiteral("Trida"));
    pupilClass->setMaxLength(20);
    form->addRow(QStringLiteral("&Jméno a příjmení :"), name);
    form->addRow(QStringLiteral("&Třída :"), pupilClass);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &d);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setText(QStringLiteral("Ok"));
    ok->setEnabled(!name->text().trimmed().isEmpty());
    QObject::connect(name, &QLineEdit::textChanged, ok,
                     [ok](const QString& t) { ok->setEnabled(!t.trimmed().isEmpty()); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    form->addRow(buttons);
    // Closing the main window ends the program, this question with it.
    QObject::connect(this, &THlavniDialog::closed, &d, &QDialog::reject);
    name->setFocus();
    d.exec();
    // What the fields show, also when the pupil leaves with Esc: they offer
    // the previous pupil's name, so one who empties it and leaves is
    // recorded by his login alone, never under that other pupil's name.
    const bool named = !name->text().trimmed().isEmpty();
    m_recorder.setPupil(named ? name->text() : QString(), named ? pupilClass->text() : QString());
}

} // namespace vedomec
