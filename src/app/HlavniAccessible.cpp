// What a pupil with a screen reader hears in the main window.  Nothing here
// changes what is drawn or what a key does; it adds:
//   - names: each answer control carries its letter and its text
//     ("a) Praděd"), the typed-answer box is named by the question, the
//     glyph-only navigation buttons by what they do; all follow the question
//     shown, and the question with its answers is read out after every move;
//   - F10, which shows the otherwise hidden menu bar with its menu open, so
//     that the commands can be found, heard with their keys and run;
//   - F9 ("Cas" in that menu), which says the time left and the time taken
//     in a thought balloon of the assistant, read out as it appears.
#include "app/Hlavni.h"

#include "assistant/oaAssist.h"
#include "controls/Accessible.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton.h"
#include "platform/ErrorReport.h"
#include "results/Scoring.h"
#include "results/TimeCounter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace vedomec {

namespace {

constexpr int kTimeReportMs = 8000;

const controls::CaptionPairs kResultsPanelFigures = {
    {QStringLiteral("Label19"), QStringLiteral("L6")}, {QStringLiteral("Label14"), QStringLiteral("L1")},
    {QStringLiteral("Label15"), QStringLiteral("L2")}, {QStringLiteral("Label16"), QStringLiteral("L3")},
    {QStringLiteral("Label13"), QStringLiteral("L5")}, {QStringLiteral("Label20"), QStringLiteral("L7")},
    {QStringLiteral("Label17"), QStringLiteral("L4")},
};

// Links the results panel's captions once it has its labels (they are
// made when the results are first shown).
class ResultsPanelWatch : public QObject {
public:
    explicit ResultsPanelWatch(QWidget* panel) : QObject(panel) { panel->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::ShowToParent)
            controls::LinkCaptions(static_cast<QWidget*>(watched), kResultsPanelFigures);
        return false;
    }
};

} // namespace

void THlavniDialog::setUpAccessibility()
{
    controls::SetAccessibleRole(this, QAccessible::Window);

    // The answer panels are groups named by the question they show.
    for (QFrame* p : {TestA, TestB, TestC})
        controls::SetAccessibleRole(p, QAccessible::Grouping);
    controls::SetAccessibleRole(Panel3, QAccessible::Grouping);
    Panel3->setAccessibleName(QStringLiteral("Informace o testu"));
    controls::SetAccessibleRole(Panel4, QAccessible::Grouping);
    Panel4->setAccessibleName(QStringLiteral("Výsledky posledního testu"));
    new ResultsPanelWatch(Panel4);

    // The buttons that show only a picture, by what they do; the hint (the
    // tooltip) is their description, as for every toolbar button.
    T1->setAccessibleName(QStringLiteral("První otázka"));
    T2->setAccessibleName(QStringLiteral("Předchozí otázka"));
    T3->setAccessibleName(QStringLiteral("Další otázka"));
    T4->setAccessibleName(QStringLiteral("Poslední otázka"));

    // Captions and what they name.
    controls::LinkCaptions(Panel2, {{QStringLiteral("Label11"), QStringLiteral("Cas1")},
                                    {QStringLiteral("Label12"), QStringLiteral("Cas")}});
    controls::LinkCaptions(Panel3, {{QStringLiteral("Label6"), QStringLiteral("DBText8")},
                                    {QStringLiteral("Label6"), QStringLiteral("DBText9")},
                                    {QStringLiteral("Label7"), QStringLiteral("DBText10")},
                                    {QStringLiteral("Label8"), QStringLiteral("DBText11")},
                                    {QStringLiteral("Label9"), QStringLiteral("Label10")}});
    controls::SetAccessibleLabel(DBText1, TestA);
    controls::SetAccessibleLabel(DBText6, TestB);
    controls::SetAccessibleLabel(DBText7, TestC);
    controls::SetAccessibleLabel(DBText7, Edit971);
    const std::pair<TDBText*, QCheckBox*> answers[] = {
        {DBText2, RadioButton1}, {DBText3, RadioButton2}, {DBText4, RadioButton3}, {DBText5, RadioButton4}};
    for (auto [text, box] : answers)
        controls::SetAccessibleLabel(text, box);

    // The menu's entries by the commands they run.
    const std::pair<QAction*, const char*> entries[] = {
        {M1, "Otevřít test"},    {M2, "Import testu"},     {M3, "Ukončit test"},
        {M4, "Nápověda"},        {M5, "První otázka"},     {M6, "Předchozí otázka"},
        {M7, "Další otázka"},    {M8, "Poslední otázka"},  {M9, "Výsledky testu"},
        {M10, "Další otázka"},   {M11, "Předchozí otázka"},
    };
    for (auto [action, name] : entries)
        controls::SetAccessibleName(action, QString::fromUtf8(name));

    // F9: the time, also an entry of the menu.
    M12 = new QAction(QStringLiteral("Cas"), this);
    M12->setObjectName(QStringLiteral("M12"));
    M12->setShortcut(QKeySequence(Qt::Key_F9));
    M12->setShortcutContext(Qt::WindowShortcut);
    Soubor->addAction(M12);
    addAction(M12);
    controls::SetAccessibleName(M12, QStringLiteral("Čas testu"));
    connect(M12, &QAction::triggered, this, [this] { guarded([this] { TimeReport(); }); });

    // F10: the menu bar, shown with its menu open until the menu closes.
    MenuKey = new QAction(this);
    MenuKey->setObjectName(QStringLiteral("MenuKey"));
    MenuKey->setShortcut(QKeySequence(Qt::Key_F10));
    MenuKey->setShortcutContext(Qt::WindowShortcut);
    addAction(MenuKey);
    connect(MenuKey, &QAction::triggered, this, [this] { guarded([this] { ShowMenu(); }); });
    Soubor->setAccessibleName(Soubor->title());
    connect(Soubor, &QMenu::aboutToHide, this, [this] {
        // After the entry chosen has run, the keyboard goes back where it
        // was, as from any popup: no answer is chosen by it coming back.
        QTimer::singleShot(0, this, [this] {
            if (m_menuReturn && m_menuReturn->isVisible() && m_menuReturn->isEnabled())
                m_menuReturn->setFocus(Qt::PopupFocusReason);
            else if (MainMenu1 && MainMenu1->hasFocus())
                setFocus(Qt::PopupFocusReason);
            if (MainMenu1)
                MainMenu1->hide();
            m_menuReturn = nullptr;
        });
    });
}

void THlavniDialog::ShowMenu()
{
    if (!isEnabled())
        return;
    Timer1Timer(); // the entries follow their buttons
    m_menuReturn = QApplication::focusWidget();
    if (!MainMenu1) {
        MainMenu1 = new QMenuBar(this);
        MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
        MainMenu1->addMenu(Soubor);
    }
    MainMenu1->setGeometry(0, 0, width(), MainMenu1->sizeHint().height());
    MainMenu1->show();
    MainMenu1->raise();
    MainMenu1->setActiveAction(Soubor->menuAction());
    for (QAction* a : Soubor->actions())
        if (!a->isSeparator() && a->isEnabled()) {
            Soubor->setActiveAction(a);
            break;
        }
}

QString THlavniDialog::TimeReportText() const
{
    const qint64 ms = TimeCounter1->ElapsedMs();
    const QString elapsed = TTimeCounter::formatElapsed(ms);
    if (!m_session || K1->text() != QLatin1String("1")) {
        if (m_session)
            return QStringLiteral("Od spuštění testu uplynulo %1.").arg(elapsed);
        return QStringLiteral("Není otevřen žádný test.");
    }
    const std::optional<qint64> allowed = results::AllowedSeconds(Cas1->text());
    if (!allowed)
        return QStringLiteral("Od spuštění testu uplynulo %1. Čas není omezen.").arg(elapsed);
    const qint64 left = std::max<qint64>(0, *allowed - ms / 1000);
    return QStringLiteral("Zbývá %1. Od spuštění testu uplynulo %2 z povolených %3.")
        .arg(TTimeCounter::formatElapsed(left * 1000), elapsed, Cas1->text());
}

void THlavniDialog::TimeReport()
{
    Assistant->Think(TimeReportText(), kTimeReportMs);
}

void THlavniDialog::questionShown()
{
    if (!m_session)
        return;
    const QString heading =
        QStringLiteral("Otázka %1 z %2").arg(Cislo->text(), QString::number(m_session->QuestionCount()));
    QFrame* panel = panelOf(m_session->Type());
    QString question;
    QStringList answerNames;
    switch (m_session->Type()) {
    case results::TestType::A: {
        question = DBText1->text().simplified();
        const std::pair<QCheckBox*, TDBText*> answers[] = {
            {RadioButton1, DBText2}, {RadioButton2, DBText3}, {RadioButton3, DBText4}, {RadioButton4, DBText5}};
        for (auto [box, text] : answers) {
            const QString answer = text->text().simplified();
            const QString name = answer.isEmpty() ? box->text() : box->text() + QLatin1Char(' ') + answer;
            controls::KeepAccessibleName(box, name);
            answerNames << name;
        }
        // The answer with the keyboard is read with all four: choosing one
        // by the keys would check it, so they are heard here.
        for (auto [box, text] : answers)
            controls::KeepAccessibleDescription(box, heading + QStringLiteral(": ") + question
                                                         + QStringLiteral("\nOdpovědi: ")
                                                         + answerNames.join(QStringLiteral(", ")));
        break;
    }
    case results::TestType::B:
        question = DBText6->text().simplified();
        for (QCheckBox* box : {RadioButton5, RadioButton6}) {
            controls::KeepAccessibleDescription(box, heading + QStringLiteral(": ") + question);
            answerNames << box->text();
        }
        break;
    case results::TestType::C:
        question = DBText7->text().simplified();
        controls::KeepAccessibleName(Edit971, question.isEmpty() ? heading : question);
        controls::KeepAccessibleDescription(Edit971, heading);
        break;
    }
    controls::KeepAccessibleName(panel, heading);
    controls::KeepAccessibleDescription(panel, answerNames.isEmpty() ? question
                                                : question + QLatin1Char('\n') + answerNames.join(QLatin1Char('\n')));
    // A reader keeps whether a text shows from when it first saw it, hidden:
    // the panel's texts reach it anew, so that its review finds them.
    if (panel->isVisible())
        for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow())
                controls::RenewAccessible(child);
    // After a move the keyboard stays in the answers: that control is read
    // again, now under the new question.
    if (panel->isVisible())
        controls::Announce(panel);
}

} // namespace vedomec
