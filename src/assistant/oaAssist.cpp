#include "oaAssist.h"

#include "assistant/oaDirect.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QStyle>
#include <QTimer>
#include <QWindow>

namespace vedomec {

namespace {
TAssistant::TestResponder& responder()
{
    static TAssistant::TestResponder r;
    return r;
}

QThread::Priority threadPriority(TAssistant::TThreadPriority p)
{
    switch (p) {
    case TAssistant::tpIdle: return QThread::IdlePriority;
    case TAssistant::tpLowest: return QThread::LowestPriority;
    case TAssistant::tpLower: return QThread::LowPriority;
    case TAssistant::tpNormal: return QThread::NormalPriority;
    case TAssistant::tpHigher: return QThread::HighPriority;
    case TAssistant::tpHighest: return QThread::HighestPriority;
    case TAssistant::tpTimeCritical: return QThread::TimeCriticalPriority;
    }
    return QThread::NormalPriority;
}

constexpr int ActorChangedState = 44;
constexpr int HideState = 24;
} // namespace

struct TAssistant::Wait {
    QEventLoop loop;
    int result = mrNone;
    bool answered = false;
    bool superseded = false;
};

void TAssistant::setTestResponder(TestResponder r)
{
    responder() = std::move(r);
}

bool TAssistant::hasTestResponder()
{
    return bool(responder());
}

TAssistant::TAssistant(QObject* parent) : TAssistant(TAssistantEngine::Services {}, parent) {}

TAssistant::TAssistant(const TAssistantEngine::Services& services, QObject* parent)
    : QObject(parent),
      m_balloonOptions(new TBalloonOptions(this)),
      m_msgDlg(new TMsgDlgOptions(this)),
      m_tipsDlg(new TTipsDlgOptions(this)),
      m_guideDlg(new TGuideDlgOptions(this))
{
    m_balloonOptions->setObjectName(QStringLiteral("Balloon"));
    m_msgDlg->setObjectName(QStringLiteral("MsgDlg"));
    m_tipsDlg->setObjectName(QStringLiteral("TipsDlg"));
    m_guideDlg->setObjectName(QStringLiteral("GuideDlg"));

    // Stage and balloon are top-level windows without a parent: deleted
    // here, not by Qt.
    m_stage = new TAssistantStage;
    m_stage->resize(150, 150);
    m_stage->move(0, 0);
    m_balloon = new TAssistantBalloon(m_balloonOptions);
    m_balloon->setAnchor(m_stage);
    m_director = new TAssistantDirector(services, this);
    m_director->setObjectName(QStringLiteral("Director"));
    m_director->setEnabled(false);
    m_director->setAutoIdle(true);

    wireBalloon();
    wireStage();
    wireDirector();
}

TAssistant::~TAssistant()
{
    m_destroying = true;
    if (m_wait) {
        m_wait->superseded = true;
        m_wait->loop.quit();
        m_wait = nullptr;
    }
    // The engine thread ends first; then nothing reports any more.
    disconnect(m_director, nullptr, this, nullptr);
    delete m_director;
    m_director = nullptr;
    disconnect(m_stage, nullptr, this, nullptr);
    disconnect(m_balloon, nullptr, this, nullptr);
    delete m_stage;
    delete m_balloon;
}

void TAssistant::wireBalloon()
{
    connect(m_msgDlg, &TMsgDlgOptions::changed, m_balloon, [this] {
        if (m_balloon->isVisible())
            m_balloon->relayout();
    });
    connect(m_balloon, &TAssistantBalloon::balloonShown, this, [this] {
        resetIdle();
        emit OnBalloonShow(this);
    });
    connect(m_balloon, &TAssistantBalloon::balloonHidden, this, [this] {
        m_mode = bmNoBalloon;
        if (!m_destroying)
            emit OnBalloonHide(this);
    });
    connect(m_balloon, &TAssistantBalloon::resultChosen, this, [this](int result) {
        if (m_wait && !m_wait->answered) {
            m_wait->answered = true;
            m_wait->result = result;
            m_wait->loop.quit();
        }
    });
    connect(m_balloon, &TAssistantBalloon::helpRequested, this, [this] { emit OnHelp(this, m_helpContext); });

    // Tips.
    connect(m_balloon, &TAssistantBalloon::tipsStep, this,
            [this](int delta) { m_tipsDlg->setTipIndex(m_tipsDlg->TipIndex() + delta); });
    connect(m_tipsDlg, &TTipsDlgOptions::changed, this, [this] {
        // The guide's "&Tipy" follows whether there are tips.
        if (BalloonMode() == bmGuide && !m_balloon->isDragHidden())
            m_balloon->setContent(guideContent());
        if (BalloonMode() != bmTips)
            return;
        if (m_tipsDlg->Tips().isEmpty())
            m_balloon->hideBalloon();
        else
            layOutTips();
    });
    connect(m_tipsDlg, &TTipsDlgOptions::OnTipsTipChange, this, [this] {
        resetIdle();
        if (!m_destroying)
            emit OnTipsTipChange(this);
    });

    // Guide: the balloon's actions go through the guide's own events, which
    // the component raises again as its own.
    connect(m_guideDlg, &TGuideDlgOptions::changed, this, [this] {
        if (BalloonMode() == bmGuide && !m_balloon->isDragHidden())
            m_balloon->setContent(guideContent());
    });
    connect(m_guideDlg, &TGuideDlgOptions::OnGuideGetBtnStates, this, [this](TGuideDlgOptions*, bool* options, bool* search) {
        *options = isConnected(QMetaMethod::fromSignal(&TAssistant::OnGuideOptionsClick));
        *search = isConnected(QMetaMethod::fromSignal(&TAssistant::OnGuideSearchClick));
    });
    connect(m_guideDlg, &TGuideDlgOptions::OnGuideRequestChange, this, [this] { emit OnGuideRequestChange(this); });
    connect(m_guideDlg, &TGuideDlgOptions::OnGuideTopicClick, this,
            [this](TGuideDlgOptions*, int index) { emit OnGuideTopicClick(this, index); });
    connect(m_guideDlg, &TGuideDlgOptions::OnGuideOptionsClick, this, [this] { emit OnGuideOptionsClick(this); });
    connect(m_guideDlg, &TGuideDlgOptions::OnGuideSearchClick, this, [this] { emit OnGuideSearchClick(this); });

    connect(m_balloon, &TAssistantBalloon::guideTopicClicked, this, [this](int index) {
        resetIdle();
        emit m_guideDlg->OnGuideTopicClick(m_guideDlg, index);
    });
    connect(m_balloon, &TAssistantBalloon::guideRequestEdited, this, [this](const QString& text) {
        m_guideDlg->setRequestFromBox(text);
        resetIdle();
        emit m_guideDlg->OnGuideRequestChange(m_guideDlg);
    });
    connect(m_balloon, &TAssistantBalloon::guideOptionsClicked, this, [this] {
        resetIdle();
        m_balloon->hideBalloon();
        emit m_guideDlg->OnGuideOptionsClick(m_guideDlg);
    });
    connect(m_balloon, &TAssistantBalloon::guideTipsClicked, this, &TAssistant::showTips);
    connect(m_balloon, &TAssistantBalloon::guideSearchClicked, this, &TAssistant::guideSearch);
}

void TAssistant::wireStage()
{
    connect(m_stage, &TAssistantStage::stageClick, this, [this] {
        if (m_wait || m_hiding) {
            if (m_balloon->isVisible())
                m_balloon->activateWindow();
            return;
        }
        // Free text gives way when its character is clicked.
        const int mode = BalloonMode();
        if ((mode == bmSpeech || mode == bmThought) && m_balloon->anchor() == m_stage)
            m_balloon->hideBalloon();
        emit OnClick(this);
    });
    connect(m_stage, &TAssistantStage::stageDblClick, this, [this] {
        if (!m_wait && !m_hiding)
            emit OnDblClick(this);
    });
    connect(m_stage, &TAssistantStage::stageCloseQuery, this, [this](bool* canClose) {
        if (m_wait) {
            *canClose = false;
            return;
        }
        if (!m_director->Enabled() || m_hiding || m_destroying) {
            *canClose = true;
            return;
        }
        bool yes = true;
        emit OnCloseQuery(this, &yes);
        // The character goes through its own hiding, not a plain close.
        *canClose = false;
        if (yes)
            HideAssistant(m_fastShowHide);
    });
    connect(m_stage, &TAssistantStage::stageShow, this, [this] { emit OnShow(this); });
    connect(m_stage, &TAssistantStage::stageHide, this, [this] {
        if (!m_destroying)
            emit OnHide(this);
    });
    connect(m_stage, &TAssistantStage::stageCanResize, this,
            [this](int* w, int* h, bool* resize) { emit OnCanResize(this, w, h, resize); });
    connect(m_stage, &TAssistantStage::stageDragStart, this, [this] {
        resetIdle();
        m_balloon->hideForDrag();
        emit OnDragStart(this);
    });
    connect(m_stage, &TAssistantStage::stageDragging, this, [this] { emit OnDragging(this); });
    connect(m_stage, &TAssistantStage::stageDragStop, this, [this] {
        m_balloon->showAfterDrag();
        emit OnDragStop(this);
    });
    connect(m_stage, &TAssistantStage::stageKeyPress, this, [this](int key, const QString& text) {
        if (!m_balloon->isVisible())
            return;
        QWidget* target = m_balloon->focusWidget() ? m_balloon->focusWidget() : m_balloon;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &press);
    });
    connect(m_stage, &TAssistantStage::stageActivate, this, [this] {
        if (m_wait) {
            QWidget* front = m_balloon->isVisible() ? static_cast<QWidget*>(m_balloon) : m_stage;
            front->raise();
            front->activateWindow();
            QApplication::beep();
        }
    });
}

void TAssistant::wireDirector()
{
    connect(m_director, &TAssistantDirector::playStart, this, [this](quint32 id) { emit OnPlayStart(this, id); });
    connect(m_director, &TAssistantDirector::playStop, this, [this](quint32 id) {
        if (!m_destroying)
            emit OnPlayStop(this, id);
    });
    connect(m_director, &TAssistantDirector::idle, this, [this](int level, bool* handled) {
        // Nobody sees a hidden character idle.
        if (!m_stage->isVisible()) {
            *handled = true;
            return;
        }
        emit OnIdle(this, level, handled);
    });
    connect(m_director, &TAssistantDirector::animationDamaged, this, [this](int index, const QString& reason) {
        const TAnimationRecord* a = m_director->actor()->animation(index);
        // A copy of the name: the owner may put the library away (and its
        // animations with it) before it has done with the name.
        if (!m_destroying && a)
            emit OnAnimationDamaged(this, QString(a->name), reason);
    });
    connect(m_director->engine(), &TAssistantEngine::frameChanged, this, [this](const QImage& frame) {
        m_currentFrame = frame;
        if (m_stage->isVisible())
            m_stage->setFramePicture(m_currentFrame);
    });
}

bool TAssistant::isConnected(const QMetaMethod& signal) const
{
    return isSignalConnected(signal);
}

void TAssistant::resetIdle()
{
    m_director->setIdleLevel(TAssistantDirector::IdleLevelFirst);
}

// --- Properties ---

QString TAssistant::ActorLibrary() const
{
    return m_director->actor()->Library();
}

void TAssistant::setActorLibrary(const QString& fileName)
{
    if (!m_director->setLibrary(fileName))
        return;
    const TAssistantActor* actor = m_director->actor();
    m_stage->setActorFrameSize(actor->frameSize());
    if (actor->loaded()) {
        if (m_stage->isVisible())
            PlayState(ActorChangedState);
    } else if (m_stage->isVisible()) {
        HideAssistant(true);
    }
    emit OnChange(this);
}

bool TAssistant::AutoIdle() const
{
    return m_director->AutoIdle();
}

void TAssistant::setAutoIdle(bool on)
{
    m_director->setAutoIdle(on);
}

bool TAssistant::AutoSize() const
{
    return m_stage->AutoSize();
}

void TAssistant::setAutoSize(bool on)
{
    m_stage->setAutoSize(on);
}

TBgMode TAssistant::BgMode() const
{
    return m_stage->BgMode();
}

void TAssistant::setBgMode(TBgMode mode)
{
    m_stage->setBgMode(mode);
}

QImage TAssistant::BgPicture() const
{
    return m_stage->BgPicture();
}

void TAssistant::setBgPicture(const QImage& picture)
{
    m_stage->setBgPicture(picture);
}

void TAssistant::setBiDiMode(TBiDiMode mode)
{
    m_biDiMode = mode;
    const Qt::LayoutDirection d = mode == bdLeftToRight ? Qt::LeftToRight : Qt::RightToLeft;
    m_stage->setLayoutDirection(d);
    m_balloon->setLayoutDirection(d);
    if (m_balloon->isVisible())
        m_balloon->relayout();
}

QString TAssistant::Caption() const
{
    return m_stage->windowTitle();
}

void TAssistant::setCaption(const QString& caption)
{
    m_stage->setWindowTitle(caption);
}

int TAssistant::ClientHeight() const
{
    return m_stage->height();
}

void TAssistant::setClientHeight(int h)
{
    m_stage->resize(m_stage->width(), h);
}

int TAssistant::ClientWidth() const
{
    return m_stage->width();
}

void TAssistant::setClientWidth(int w)
{
    m_stage->resize(w, m_stage->height());
}

QColor TAssistant::Color() const
{
    return m_stage->Color();
}

void TAssistant::setColor(const QColor& c)
{
    m_stage->setColor(c);
}

int TAssistant::FormLeft() const
{
    return m_stage->x();
}

void TAssistant::setFormLeft(int x)
{
    m_stage->move(x, m_stage->y());
}

int TAssistant::FormTop() const
{
    return m_stage->y();
}

void TAssistant::setFormTop(int y)
{
    m_stage->move(m_stage->x(), y);
}

int TAssistant::Height() const
{
    return m_stage->frameGeometry().height();
}

void TAssistant::setHeight(int h)
{
    setClientHeight(h - (m_stage->frameGeometry().height() - m_stage->height()));
}

int TAssistant::Width() const
{
    return m_stage->frameGeometry().width();
}

void TAssistant::setWidth(int w)
{
    setClientWidth(w - (m_stage->frameGeometry().width() - m_stage->width()));
}

void TAssistant::setPopupMenu(QMenu* menu)
{
    m_popupMenu = menu;
    if (!m_wait)
        m_stage->setPopupMenu(menu);
}

void TAssistant::setPriority(TThreadPriority p)
{
    if (p < tpIdle || p > tpTimeCritical)
        return;
    m_priority = p;
    m_director->engine()->setPriority(threadPriority(p));
}

void TAssistant::setMoveStep(int step)
{
    if (step <= 0 || step > 255)
        return;
    m_moveStep = step;
}

bool TAssistant::Mute() const
{
    return m_director->engine()->mute();
}

void TAssistant::setMute(bool on)
{
    m_director->engine()->setMute(on);
}

int TAssistant::Speed() const
{
    return m_director->engine()->speed();
}

void TAssistant::setSpeed(int percent)
{
    m_director->engine()->setSpeed(percent);
}

void TAssistant::setStayOnTop(bool on)
{
    m_stayOnTop = on;
    m_stage->setStayOnTop(on);
    m_balloon->setStayOnTop(on);
    if (m_balloon->isVisible())
        m_balloon->raise();
}

bool TAssistant::Stretch() const
{
    return m_stage->Stretch();
}

void TAssistant::setStretch(bool on)
{
    m_stage->setStretch(on);
}

bool TAssistant::Transparent() const
{
    return m_stage->Transparent();
}

void TAssistant::setTransparent(bool on)
{
    if (on == m_stage->Transparent())
        return;
    QPointer<QWidget> active = QApplication::activeWindow();
    m_stage->setTransparent(on);
    if (m_balloon->isVisible()) {
        m_balloon->raise();
        m_balloon->relayout();
    }
    if (!m_wait && active && active != m_stage)
        active->activateWindow();
}

// --- Balloons ---

int TAssistant::MessageDlg(const QString& text, int type, MsgDlgButtons buttons, qint32 helpContext)
{
    if (const TestResponder& r = responder())
        return r(BalloonMessage {text, type, buttons, helpContext, m_msgDlg->Title()});

    // A message shown while another waits takes its balloon over.
    if (m_wait) {
        m_wait->superseded = true;
        m_wait->loop.quit();
        m_wait = nullptr;
    }
    m_balloon->hideBalloon();

    TAssistantBalloon::Content c;
    c.mode = bmMessage;
    c.title = m_msgDlg->Title();
    c.text = text;
    c.buttons = buttons & 0x7FF;
    c.helpEnabled = helpContext != 0;
    QStyle* style = m_balloon->style();
    switch (type) {
    case mtWarning: c.icon = style->standardIcon(QStyle::SP_MessageBoxWarning); break;
    case mtError: c.icon = style->standardIcon(QStyle::SP_MessageBoxCritical); break;
    case mtInformation: c.icon = style->standardIcon(QStyle::SP_MessageBoxInformation); break;
    case mtConfirmation: c.icon = style->standardIcon(QStyle::SP_MessageBoxQuestion); break;
    default: c.icon = m_msgDlg->CustomIcon(); break;
    }
    m_helpContext = helpContext;
    m_mode = bmMessage;
    m_balloon->setContent(c);
    m_balloon->popup();
    m_mode = bmMessage;
    if (!c.buttons)
        return mrNone;

    QPointer<QWidget> previous = QApplication::activeWindow();
    if (previous == m_balloon)
        previous = nullptr;
    Wait wait;
    m_wait = &wait;
    m_balloon->setAwaitingResult(true);
    // No popup menu on the character while a message waits.
    m_stage->setPopupMenu(nullptr);
    QPointer<TAssistant> self(this);
    const QMetaObject::Connection takeBack =
        connect(qApp, &QGuiApplication::focusWindowChanged, this, &TAssistant::takeBackActivation);
    wait.loop.exec();
    QObject::disconnect(takeBack);
    if (!self || wait.superseded)
        return mrNone;
    m_wait = nullptr;
    m_stage->setPopupMenu(m_popupMenu);
    m_balloon->setAwaitingResult(false);
    if (previous) {
        previous->activateWindow();
        if (QWidget* f = previous->focusWidget())
            f->setFocus(Qt::OtherFocusReason);
    }
    QCoreApplication::processEvents();
    if (!self)
        return wait.result;
    // A message shown from a handler during processEvents owns the balloon now.
    if (!m_wait)
        m_balloon->hideBalloon();
    return wait.result;
}

// A waiting message is the one thing the user must answer: when another
// window of the program becomes active, the balloon takes the foreground back
// with a beep.  Another program being activated is left alone (that is the
// user's desktop, not ours), and so are the stage, whose own activation
// handler already brings the balloon forward, and popups such as help texts.
void TAssistant::takeBackActivation(QWindow* now)
{
    if (!m_wait || !now || !m_balloon->isVisible())
        return;
    if (now == m_balloon->windowHandle() || now == m_stage->windowHandle())
        return;
    if (now->type() == Qt::Popup || now->type() == Qt::ToolTip)
        return;
    QWidget* owner = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == now) {
            owner = top;
            break;
        }
    }
    if (!owner || owner->inherits("vedomec::THelpWin"))
        return;
    m_balloon->raise();
    m_balloon->activateWindow();
    QApplication::beep();
}

void TAssistant::CloseBalloon()
{
    if (!m_balloon->isVisible())
        return;
    if (m_wait)
        m_balloon->close(); // through the cancel rule
    else
        m_balloon->hideBalloon();
}

void TAssistant::AbandonMessage()
{
    if (m_wait) {
        m_wait->superseded = true;
        m_wait->loop.quit();
        m_wait = nullptr;
        m_stage->setPopupMenu(m_popupMenu);
    }
    m_balloon->setAwaitingResult(false);
    m_balloon->hideBalloon();
}

int TAssistant::BalloonMode() const
{
    return m_balloon->isVisible() || m_balloon->isDragHidden() ? m_mode : bmNoBalloon;
}

int TAssistant::BalloonPosition() const
{
    return m_balloon->position();
}

void TAssistant::SetBalloonAnchor(QWidget* anchor)
{
    m_balloon->setAnchor(anchor);
}

void TAssistant::showMode(int mode, const TAssistantBalloon::Content& content)
{
    m_balloon->hideBalloon();
    m_mode = mode;
    m_balloon->setContent(content);
    m_mode = mode;
}

TAssistantBalloon::Content TAssistant::guideContent()
{
    TAssistantBalloon::Content c;
    c.mode = bmGuide;
    c.title = m_guideDlg->Title();
    c.text = m_guideDlg->Description();
    c.topics = m_guideDlg->Topics();
    c.requestBox = m_guideDlg->RequestBox();
    c.request = m_guideDlg->Request();
    c.guideButtons = m_guideDlg->VisibleButtons();
    bool options = true;
    bool search = true;
    emit m_guideDlg->OnGuideGetBtnStates(m_guideDlg, &options, &search);
    c.optionsEnabled = options;
    c.searchEnabled = search;
    c.tipsEnabled = !m_tipsDlg->Tips().isEmpty();
    return c;
}

TAssistantBalloon::Content TAssistant::tipsContent() const
{
    TAssistantBalloon::Content c;
    c.mode = bmTips;
    c.kind = balloon::Kind::Tips;
    const QStringList tips = m_tipsDlg->Tips();
    const int index = m_tipsDlg->TipIndex();
    c.text = index >= 0 && index < tips.size() ? tips[index] : QString();
    c.tipSet = tips;
    c.tipsButtons = m_tipsDlg->VisibleButtons();
    c.nextEnabled = index < int(tips.size()) - 1;
    c.backEnabled = index > 0;
    return c;
}

void TAssistant::layOutTips()
{
    m_balloon->setContent(tipsContent());
    emit m_tipsDlg->OnTipsTipChange(m_tipsDlg);
}

void TAssistant::ShowGuide()
{
    // A waiting message keeps its balloon until it is answered.
    if (m_wait)
        return;
    m_balloon->resetGuidePage();
    showMode(bmGuide, guideContent());
    if (m_balloon->hasSomethingToShow())
        m_balloon->popup();
}

void TAssistant::showTips()
{
    if (m_wait || m_tipsDlg->Tips().isEmpty())
        return;
    m_balloon->hideBalloon();
    m_mode = bmTips;
    layOutTips();
    // A handler of the tip change may have opened something else.
    if (m_wait || m_mode != bmTips || m_balloon->isVisible())
        return;
    m_balloon->popup();
}

void TAssistant::guideSearch()
{
    bool options = true;
    bool search = true;
    emit m_guideDlg->OnGuideGetBtnStates(m_guideDlg, &options, &search);
    if (!search || m_guideDlg->Request().isEmpty())
        return;
    resetIdle();
    m_balloon->hideBalloon();
    m_balloon->resetGuidePage();
    QPointer<TAssistant> self(this);
    m_guideDlg->beginUpdate();
    emit m_guideDlg->OnGuideSearchClick(m_guideDlg);
    if (!self)
        return;
    m_guideDlg->endUpdate();
    // The handler may have shown something else meanwhile.
    if (m_wait || m_balloon->isVisible() || m_destroying)
        return;
    showMode(bmGuide, guideContent());
    if (m_balloon->hasSomethingToShow())
        m_balloon->popup();
}

void TAssistant::Think(const QString& text, int timeoutMs)
{
    if (m_wait)
        return;
    TAssistantBalloon::Content c;
    c.mode = bmThought;
    c.kind = balloon::Kind::Thought;
    c.text = text;
    c.timeoutMs = std::max(0, timeoutMs);
    showMode(bmThought, c);
    m_balloon->popup();
}

// --- The character ---

quint32 TAssistant::PlayAnimation(const QString& name)
{
    return m_director->PlayAnimation(name);
}

quint32 TAssistant::PlayState(int state)
{
    return m_director->PlayState(state);
}

bool TAssistant::IsRequestPending(quint32 id) const
{
    return m_director->IsRequestPending(id);
}

TRequestInfo TAssistant::GetRequestInfo(quint32 id) const
{
    return m_director->GetRequestInfo(id);
}

QString TAssistant::ActorName() const
{
    return m_director->actor()->ActorName();
}

void TAssistant::HideAssistant(bool fast)
{
    if (m_hiding)
        return;
    m_hiding = true;
    QPointer<TAssistant> self(this);
    m_stage->setEnabled(false);
    if (!m_wait)
        m_balloon->hideBalloon();
    m_director->Clear();
    if (!fast) {
        if (const quint32 id = PlayState(HideState))
            m_director->WaitForRequest(id);
        if (!self)
            return;
    }
    m_director->setEnabled(false);
    m_stage->hide();
    m_currentFrame = QImage();
    m_stage->setFramePicture(QImage());
    m_hiding = false;
}

void TAssistant::ShowAssistant(bool fast)
{
    if (m_hiding)
        return;
    m_director->setEnabled(true);
    m_stage->setActorFrameSize(m_director->actor()->frameSize());
    m_stage->setFramePicture(m_currentFrame);
    m_stage->setEnabled(true);
    m_stage->show();
    if (!fast)
        PlayState(ActorChangedState);
}

} // namespace vedomec
