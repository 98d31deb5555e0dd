#include "app/Hlavni.h"
#include "controls/Fonts.h"

#include "platform/AppPath.h"
#include "app/Dialogs.h"
#include "config/Settings.h"
#include "assistant/oaAssist.h"
#include "controls/Accessible.h"
#include "controls/DBControls.h"
#include "controls/ToolDialog.h"
#include "controls/ToolbarButton.h"
#include "data/Data.h"
#include "data/Table.h"
#include "platform/ErrorReport.h"
#include "platform/ErrorText.h"
#include "results/TimeCounter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

namespace vedomec {

THlavniDialog* HlavniDialog = nullptr;

namespace {

QFont serif(int pixels, bool bold = false)
{
    return TimesFont(pixels, bold);
}

QFrame* whitePanel(QWidget* parent, const char* name, int x, int y, int w, int h)
{
    auto* p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setGeometry(x, y, w, h);
    p->setFrameShape(QFrame::Box);
    p->setLineWidth(1);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    p->setPalette(pal);
    return p;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, const QFont& font,
              const QColor& colour = Qt::black)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    l->move(x, y);
    l->adjustSize();
    return l;
}

TToolbarButton97* toolButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                             int x, int y, int w)
{
    auto* b = new TToolbarButton97(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setFont(serif(13));
    b->setGeometry(x, y, w, 23);
    return b;
}

TDBText* dbText(QWidget* parent, const char* name, const QString& field, int x, int y, int w, int h,
                bool bold = false)
{
    auto* t = new TDBText(parent);
    t->setObjectName(QLatin1String(name));
    t->setDataField(field);
    t->setFont(serif(13, bold));
    t->setGeometry(x, y, w, h);
    return t;
}

const QColor kAqua(0, 255, 255);

} // namespace

THlavniDialog::THlavniDialog(data::TDataModule1* dataModule, QWidget* parent)
    : QWidget(parent), m_dm(dataModule)
{
    HlavniDialog = this;
    controls::InstallAccessibility();
    setObjectName(QStringLiteral("HlavniDialog"));
    setWindowTitle(QStringLiteral("Vedomec 2001"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(serif(13));

    buildBanner();
    buildToolbar();
    buildQuestionArea();
    buildAnswerPanels();
    buildInformationPanel();
    buildMenu();

    Assistant = new TAssistant(this);
    Assistant->setObjectName(QStringLiteral("Assistant"));
    configureAssistant();
    buildCharacterMenu();
    m_userConfigFile = configurationFiles().value(0);

    TimeCounter1 = new TTimeCounter(this);
    TimeCounter1->setObjectName(QStringLiteral("TimeCounter1"));
    connect(TimeCounter1, &TTimeCounter::OnTimer, this, [this] { guarded([this] { TimeCounter1Timer(); }); });

    // The tick mirrors buttons onto shortcuts and keeps the question count.
    // It runs once after every change that could matter instead of every
    // millisecond, which would keep a core busy for nothing.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(0);
    connect(Timer1, &QTimer::timeout, this, [this] {
        m_tickPending = false;
        guarded([this] { Timer1Timer(); });
    });

    if (QScreen* s = screen()) {
        const QRect r = s->availableGeometry();
        move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
    Timer1Timer();
    setUpAccessibility();

    // A failure of the store or of the files ends the user's action and is
    // told in Czech by the assistant, like every other message.
    setErrorPresenter([this](const QString& text) {
        if (!isClosing())
            UserMessage(czechErrorText(text), mtError, mbOK);
    });
}

THlavniDialog::~THlavniDialog()
{
    setErrorPresenter(nullptr);
    if (HlavniDialog == this)
        HlavniDialog = nullptr;
}

void THlavniDialog::buildBanner()
{
    Panel1 = whitePanel(this, "Panel1", 8, 5, 417, 81);
    Label1 = label(Panel1, "Label1", QStringLiteral("Nivella"), 12, 6, serif(13), kAqua);
    Label2 = label(Panel1, "Label2", QStringLiteral("Vedomec"), 10, 14, serif(49, true), kAqua);
    Label3 = label(Panel1, "Label3", QStringLiteral("Korvalo 2001"), 320, 58, serif(13), kAqua);
}

void THlavniDialog::buildToolbar()
{
    ToolbarButton971 = toolButton(this, "ToolbarButton971", QStringLiteral("Otevřít test"), QStringLiteral("Ctrl+O"), 9, 90, 95);
    ToolbarButton974 = toolButton(this, "ToolbarButton974", QStringLiteral("Import testu"), QStringLiteral("Ctrl+I"), 107, 90, 95);
    ToolbarButton972 = toolButton(this, "ToolbarButton972", QStringLiteral("Ukončit test"), QStringLiteral("Ctrl+Z"), 205, 90, 95);
    ToolbarButton978 = toolButton(this, "ToolbarButton978", QStringLiteral("Nápověda"), QStringLiteral("F1"), 335, 90, 90);
    T1 = toolButton(this, "T1", QString(), QStringLiteral("F5"), 8, 504, 23);
    T2 = toolButton(this, "T2", QString(), QStringLiteral("F6 nebo Shift+Enter"), 32, 504, 23);
    T3 = toolButton(this, "T3", QString(), QStringLiteral("F7 nebo Ctrl+Enter"), 56, 504, 23);
    T4 = toolButton(this, "T4", QString(), QStringLiteral("F8"), 80, 504, 23);
    T1->setGlyph(TToolbarButton97::GlyphFirst);
    T2->setGlyph(TToolbarButton97::GlyphPrior);
    T3->setGlyph(TToolbarButton97::GlyphNext);
    T4->setGlyph(TToolbarButton97::GlyphLast);
    ToolbarButton975 = toolButton(this, "ToolbarButton975", QStringLiteral("Výsledky testu"), QStringLiteral("Ctrl+V"), 113, 504, 112);
    ToolbarButton973 = toolButton(this, "ToolbarButton973", QStringLiteral("Konec programu"), QString(), 305, 504, 120);

    K1 = label(this, "K1", QStringLiteral("0"), 232, 504, serif(13));
    K1->hide();
    Label4 = label(this, "Label4", QStringLiteral("0"), 248, 504, serif(13));
    Label4->hide();

    connect(ToolbarButton971, &TToolbarButton97::clicked, this, [this] { guarded([this] { ToolbarButton971Click(); }); });
    connect(ToolbarButton974, &TToolbarButton97::clicked, this, [this] { guarded([this] { ToolbarButton974Click(); }); });
    connect(ToolbarButton972, &TToolbarButton97::clicked, this, [this] { guarded([this] { ToolbarButton972Click(); }); });
    connect(ToolbarButton978, &TToolbarButton97::clicked, this, [this] { guarded([this] { ToolbarButton978Click(); }); });
    connect(T1, &TToolbarButton97::clicked, this, [this] { guarded([this] { T1Click(); }); });
    connect(T2, &TToolbarButton97::clicked, this, [this] { guarded([this] { T2Click(); }); });
    connect(T3, &TToolbarButton97::clicked, this, [this] { guarded([this] { T3Click(); }); });
    connect(T4, &TToolbarButton97::clicked, this, [this] { guarded([this] { T4Click(); }); });
    connect(ToolbarButton975, &TToolbarButton97::clicked, this, [this] { guarded([this] { ToolbarButton975Click(); }); });
    connect(ToolbarButton973, &TToolbarButton97::clicked, this, [this] { guarded([this] { ToolbarButton973Click(); }); });

    for (QWidget* b : {static_cast<QWidget*>(ToolbarButton971), static_cast<QWidget*>(ToolbarButton974),
                       static_cast<QWidget*>(ToolbarButton972), static_cast<QWidget*>(ToolbarButton978),
                       static_cast<QWidget*>(T1), static_cast<QWidget*>(T2), static_cast<QWidget*>(T3),
                       static_cast<QWidget*>(T4), static_cast<QWidget*>(ToolbarButton975)})
        b->installEventFilter(this);
}

void THlavniDialog::buildQuestionArea()
{
    Panel2 = whitePanel(this, "Panel2", 8, 115, 417, 309);

    // A long "kind - title" is shortened at its end, never cut on both
    // sides of the centre.
    Label5 = new TElidedLabel(Panel2);
    Label5->setObjectName(QStringLiteral("Label5"));
    QFont title = serif(19, true);
    title.setUnderline(true);
    Label5->setFont(title);
    Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label5->setGeometry(1, 6, 415, 24);
    Label5->hide();

    Cislo = new QLabel(QStringLiteral("0"), Panel2);
    Cislo->setObjectName(QStringLiteral("Cislo"));
    Cislo->setFont(serif(13, true));
    Cislo->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Cislo->setGeometry(5, 38, 20, 16);
    Cislo->hide();

    Label11 = label(Panel2, "Label11", QStringLiteral("Povolený čas :"), 8, 287, serif(13));
    Cas1 = label(Panel2, "Cas1", QString(), 92, 287, serif(13, true), Qt::blue);
    Cas1->setFixedWidth(90);
    Label12 = label(Panel2, "Label12", QStringLiteral("Čas od spuštění testu :"), 212, 287, serif(13));
    Cas = label(Panel2, "Cas", QString(), 346, 287, serif(13, true), Qt::red);
    Cas->setFixedWidth(66);
}

void THlavniDialog::buildAnswerPanels()
{
    auto panel = [this](const char* name) {
        auto* p = new QFrame(Panel2);
        p->setObjectName(QLatin1String(name));
        p->setGeometry(30, 33, 382, 248);
        p->hide();
        return p;
    };
    TestA = panel("TestA");
    TestB = panel("TestB");
    TestC = panel("TestC");
    Panel4 = new QFrame(Panel2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry(7, 32, 401, 249);
    Panel4->hide();

    auto box = [](QWidget* parent, const char* name, const QString& caption, int x, int y) {
        auto* b = new QCheckBox(caption, parent);
        b->setObjectName(QLatin1String(name));
        b->setFont(serif(13));
        b->setGeometry(x, y, 40, 20);
        return b;
    };

    DBText1 = dbText(TestA, "DBText1", QStringLiteral("OTAZKA"), 0, 4, 370, 75, true);
    DBText2 = dbText(TestA, "DBText2", QStringLiteral("ODPOVEDA"), 35, 88, 330, 40);
    DBText3 = dbText(TestA, "DBText3", QStringLiteral("ODPOVEDB"), 35, 128, 330, 40);
    DBText4 = dbText(TestA, "DBText4", QStringLiteral("ODPOVEDC"), 35, 168, 330, 40);
    DBText5 = dbText(TestA, "DBText5", QStringLiteral("ODPOVEDD"), 35, 208, 330, 40);
    RadioButton1 = box(TestA, "RadioButton1", QStringLiteral("a)"), 0, 86);
    RadioButton2 = box(TestA, "RadioButton2", QStringLiteral("b)"), 0, 126);
    RadioButton3 = box(TestA, "RadioButton3", QStringLiteral("c)"), 0, 166);
    RadioButton4 = box(TestA, "RadioButton4", QStringLiteral("d)"), 0, 206);

    DBText6 = dbText(TestB, "DBText6", QStringLiteral("OTAZKA"), 0, 4, 370, 75, true);
    RadioButton5 = box(TestB, "RadioButton5", QStringLiteral("ANO"), 0, 88);
    RadioButton6 = box(TestB, "RadioButton6", QStringLiteral("NE"), 0, 136);
    RadioButton5->setFixedWidth(60);
    RadioButton6->setFixedWidth(60);

    DBText7 = dbText(TestC, "DBText7", QStringLiteral("OTAZKA"), 0, 4, 370, 75, true);
    Edit971 = new TEdit97(TestC);
    Edit971->setObjectName(QStringLiteral("Edit971"));
    Edit971->setFont(serif(13));
    Edit971->setGeometry(0, 88, 369, 22);

    // Questions and answers are long sentences: they wrap inside their boxes
    // and start at the top, next to their check boxes.
    for (TDBText* t : {DBText1, DBText2, DBText3, DBText4, DBText5, DBText6, DBText7}) {
        t->setWordWrap(true);
        t->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    if (m_dm) {
        for (TDBText* t : {DBText1, DBText2, DBText3, DBText4, DBText5})
            t->setDataSource(m_dm->DataSource1);
        DBText6->setDataSource(m_dm->DataSource2);
        DBText7->setDataSource(m_dm->DataSource3);
    }

    // Tab walks a) to d) and wraps, as the hidden panels offer no other stop.
    setTabOrder(RadioButton1, RadioButton2);
    setTabOrder(RadioButton2, RadioButton3);
    setTabOrder(RadioButton3, RadioButton4);
    setTabOrder(RadioButton5, RadioButton6);

    const std::array<QCheckBox*, 6> boxes {RadioButton1, RadioButton2, RadioButton3,
                                           RadioButton4, RadioButton5, RadioButton6};
    for (QCheckBox* b : boxes)
        b->installEventFilter(this);
    Edit971->installEventFilter(this);
}

void THlavniDialog::buildInformationPanel()
{
    Panel3 = whitePanel(this, "Panel3", 8, 428, 417, 73);
    label(Panel3, "Label6", QStringLiteral("Autor testu :"), 6, 3, serif(13));
    DBText8 = dbText(Panel3, "DBText8", QStringLiteral("JMENO"), 90, 3, 320, 16);
    DBText9 = dbText(Panel3, "DBText9", QStringLiteral("ADRESA"), 90, 19, 320, 16);
    label(Panel3, "Label7", QStringLiteral("http://"), 6, 35, serif(13));
    DBText10 = dbText(Panel3, "DBText10", QStringLiteral("HTTP"), 90, 35, 320, 16);
    label(Panel3, "Label8", QStringLiteral("E-mail :"), 6, 51, serif(13));
    DBText11 = dbText(Panel3, "DBText11", QStringLiteral("EMAIL"), 90, 51, 190, 16);
    label(Panel3, "Label9", QStringLiteral("Počet otázek :"), 290, 51, serif(13));
    Label10 = label(Panel3, "Label10", QString(), 370, 51, serif(13));
    Label10->setFixedWidth(42);
    if (m_dm)
        BindAuthorLines(m_dm->DataSource3);
}

void THlavniDialog::BindAuthorLines(data::TDataSource* source)
{
    for (TDBText* t : {DBText8, DBText9, DBText10, DBText11})
        t->setDataSource(source);
}

void THlavniDialog::buildMenu()
{
    // The menu is shown only on F10; its entries carry the shortcuts. Its
    // bar comes with the first F10: building one loads every image format
    // plug-in for its icon, which would delay the first frame.
    Soubor = new QMenu(QStringLiteral("Soubor"), this);
    Soubor->setObjectName(QStringLiteral("Soubor"));

    auto entry = [this](const char* name, const QString& caption, QList<QKeySequence> keys, void (THlavniDialog::*handler)()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        Soubor->addAction(a);
        addAction(a); // shortcuts work while the menu bar is hidden
        connect(a, &QAction::triggered, this, [this, a, handler] {
            // The entry follows its button; make sure it still does before acting.
            Timer1Timer();
            if (a->isEnabled())
                guarded([this, handler] { (this->*handler)(); });
        });
        return a;
    };
    M1 = entry("M1", QStringLiteral("Otevrit"), {QKeySequence(Qt::CTRL | Qt::Key_O)}, &THlavniDialog::ToolbarButton971Click);
    M2 = entry("M2", QStringLiteral("Import"), {QKeySequence(Qt::CTRL | Qt::Key_I)}, &THlavniDialog::ToolbarButton974Click);
    M3 = entry("M3", QStringLiteral("Uzavrit"), {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &THlavniDialog::ToolbarButton972Click);
    M4 = entry("M4", QStringLiteral("Napoveda"), {QKeySequence(Qt::Key_F1)}, &THlavniDialog::ToolbarButton978Click);
    Soubor->addSeparator()->setObjectName(QStringLiteral("N1"));
    M5 = entry("M5", QStringLiteral("Prvni"), {QKeySequence(Qt::Key_F5)}, &THlavniDialog::T1Click);
    M6 = entry("M6", QStringLiteral("Predchozi"), {QKeySequence(Qt::Key_F6)}, &THlavniDialog::T2Click);
    M7 = entry("M7", QStringLiteral("Dalse"), {QKeySequence(Qt::Key_F7)}, &THlavniDialog::T3Click);
    M8 = entry("M8", QStringLiteral("Posledni"), {QKeySequence(Qt::Key_F8)}, &THlavniDialog::T4Click);
    M9 = entry("M9", QStringLiteral("Vysledek"), {QKeySequence(Qt::CTRL | Qt::Key_V)}, &THlavniDialog::ToolbarButton975Click);
    Soubor->addSeparator()->setObjectName(QStringLiteral("N2"));
    M10 = entry("M10", QStringLiteral("Vpred"),
                {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}, &THlavniDialog::T3Click);
    M11 = entry("M11", QStringLiteral("Vzad"),
                {QKeySequence(Qt::SHIFT | Qt::Key_Return), QKeySequence(Qt::SHIFT | Qt::Key_Enter)}, &THlavniDialog::T2Click);
}

bool THlavniDialog::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // The window's shortcuts come before the edit's own keys: Ctrl+Z ends
        // the test and Ctrl+V asks for the results from the answer edit too.
        if (watched == Edit971) {
            const QKeySequence key(static_cast<QKeyEvent*>(e)->keyCombination());
            for (QAction* a : actions())
                if (a->isEnabled() && a->shortcuts().contains(key)) {
                    e->ignore();
                    return true;
                }
        }
        break;
    case QEvent::EnabledChange:
        scheduleTick();
        // Mirror at once as well, so a shortcut pressed before the queued
        // tick runs already sees the new state.
        Timer1Timer();
        break;
    case QEvent::FocusIn: {
        // Focus given back to the box that had it, when the window is
        // activated again or a popup or the menu closes, is no new choice:
        // it must not check a box the user cleared with the space bar.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason
            || reason == Qt::MenuBarFocusReason)
            break;
        // The box is read with its state as focused right after.
        const controls::QuietChecks quiet {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5,
                                           RadioButton6};
        if (watched == RadioButton1) guarded([this] { RadioButton1Enter(); });
        else if (watched == RadioButton2) guarded([this] { RadioButton2Enter(); });
        else if (watched == RadioButton3) guarded([this] { RadioButton3Enter(); });
        else if (watched == RadioButton4) guarded([this] { RadioButton4Enter(); });
        else if (watched == RadioButton5) guarded([this] { RadioButton5Enter(); });
        else if (watched == RadioButton6) guarded([this] { RadioButton6Enter(); });
        break;
    }
    case QEvent::MouseButtonRelease: {
        // Let the box toggle first, then the handler checks it again.
        QWidget* w = qobject_cast<QWidget*>(watched);
        auto* me = static_cast<QMouseEvent*>(e);
        if (w && w->rect().contains(me->position().toPoint())) {
            const bool handled = QWidget::eventFilter(watched, e);
            QMetaObject::invokeMethod(this, [this, watched] {
                if (watched == RadioButton1) guarded([this] { RadioButton1MouseUp(); });
                else if (watched == RadioButton2) guarded([this] { RadioButton2MouseUp(); });
                else if (watched == RadioButton3) guarded([this] { RadioButton3MouseUp(); });
                else if (watched == RadioButton4) guarded([this] { RadioButton4MouseUp(); });
                else if (watched == RadioButton5) guarded([this] { RadioButton5MouseUp(); });
                else if (watched == RadioButton6) guarded([this] { RadioButton6MouseUp(); });
            }, Qt::QueuedConnection);
            return handled;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, e);
}

void THlavniDialog::scheduleTick()
{
    if (!m_tickPending && Timer1) {
        m_tickPending = true;
        Timer1->start();
    }
}

void THlavniDialog::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous())
        guarded([this] { FormShow(); });
}

void THlavniDialog::closeEvent(QCloseEvent* e)
{
    // Closing the main window ends the program on every path.  A message
    // that waits gets no answer, its nested loop ends and its caller goes
    // on with nothing chosen; an open dialog closes; then the answers of an
    // open test are erased as always, and the loop of the program ends.
    m_closing = true;
    Assistant->AbandonMessage();
    // The character goes at once and asks nothing: ending the program
    // closes every window, and hers would otherwise ask whether she may
    // go, and stop the end of the program with a "no".
    if (Assistant->stage()->isVisible())
        Assistant->HideAssistant(true);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<controls::TToolDialog*>(w);
        if (dialog && dialog->mainWindow() == this && dialog->isVisible())
            dialog->close();
    }
    guarded([this] { FormClose(); });
    // No expiry of the time limit after the end.
    K1->setText(QStringLiteral("0"));
    TimeCounter1->Stop();
    e->accept();
    emit closed();
}

void THlavniDialog::FormShow()
{
    Cislo->setText(QStringLiteral("0"));
    Cas->setText(QString());
    Cas1->setText(QString());
    K1->setText(QStringLiteral("0"));
    TimeCounter1->Stop();
    TimeCounter1->Reset();

    Cislo->hide();
    Label5->hide();
    ToolbarButton971->setEnabled(true);
    ToolbarButton974->setEnabled(true);
    ToolbarButton978->setEnabled(true);
    ToolbarButton973->setEnabled(true);
    ToolbarButton972->setEnabled(false);
    ToolbarButton975->setEnabled(false);
    for (TToolbarButton97* b : {T1, T2, T3, T4})
        b->setEnabled(false);
    Timer1Timer();
}

void THlavniDialog::ToolbarButton973Click()
{
    close();
}

void THlavniDialog::ToolbarButton971Click()
{
    if (OtevritDialog)
        OtevritDialog->show();
}

void THlavniDialog::ToolbarButton974Click()
{
    if (ImportDialog)
        ImportDialog->show();
}

void THlavniDialog::Timer1Timer()
{
    if (!m_dm)
        return;
    if (m_session)
        Label4->setText(QString::number(m_session->QuestionCount()));

    M1->setEnabled(ToolbarButton971->isEnabled());
    M2->setEnabled(ToolbarButton974->isEnabled());
    M3->setEnabled(ToolbarButton972->isEnabled());
    M4->setEnabled(ToolbarButton978->isEnabled());
    M5->setEnabled(T1->isEnabled());
    M6->setEnabled(T2->isEnabled());
    M7->setEnabled(T3->isEnabled());
    M8->setEnabled(T4->isEnabled());
    M9->setEnabled(ToolbarButton975->isEnabled());
    M10->setEnabled(T3->isEnabled());
    M11->setEnabled(T2->isEnabled());
}

void THlavniDialog::PlaySoundCue(const QString& fileName)
{
    m_sound.Play(fileName, TAppPath::Path());
}

int THlavniDialog::UserMessage(const QString& text, int type, quint16 buttons)
{
    Assistant->MsgDlg()->setTitle(QStringLiteral("Vedomec"));
    switch (type) {
    case mtError: PlaySoundCue(QStringLiteral("Chyba.wav")); break;
    case mtInformation: PlaySoundCue(QStringLiteral("Info.wav")); break;
    case mtConfirmation: PlaySoundCue(QStringLiteral("Dotaz.wav")); break;
    default: break;
    }
    return Assistant->MessageDlg(text, type, buttons, 0);
}

} // namespace vedomec
