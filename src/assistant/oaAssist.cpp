#include "oaAssist.h"

#include <QApplication>
#include <QEventLoop>
#include <QStyle>

namespace vedomec {

namespace {
TAssistant::TestResponder& responder()
{
    static TAssistant::TestResponder r;
    return r;
}
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

TAssistant::TAssistant(QObject* parent)
    : QObject(parent),
      m_balloonOptions(new TBalloonOptions(this)),
      m_msgDlg(new TMsgDlgOptions(this))
{
    m_balloonOptions->setObjectName(QStringLiteral("Balloon"));
    m_msgDlg->setObjectName(QStringLiteral("MsgDlg"));
    m_balloon = new TAssistantBalloon(m_balloonOptions);
    connect(m_msgDlg, &TMsgDlgOptions::changed, m_balloon, [this] {
        if (m_balloon->isVisible())
            m_balloon->relayout();
    });
    connect(m_balloon, &TAssistantBalloon::balloonShown, this, [this] { emit OnBalloonShow(this); });
    connect(m_balloon, &TAssistantBalloon::balloonHidden, this, [this] {
        m_mode = bmNoBalloon;
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
}

TAssistant::~TAssistant()
{
    if (m_wait) {
        m_wait->superseded = true;
        m_wait->loop.quit();
        m_wait = nullptr;
    }
    // A top-level window without a parent: deleted here, not by Qt.
    disconnect(m_balloon, nullptr, this, nullptr);
    delete m_balloon;
}

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
    QPointer<TAssistant> self(this);
    wait.loop.exec();
    if (!self || wait.superseded)
        return mrNone;
    m_wait = nullptr;
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
    }
    m_balloon->setAwaitingResult(false);
    m_balloon->hideBalloon();
}

int TAssistant::BalloonMode() const
{
    return m_balloon->isVisible() ? m_mode : bmNoBalloon;
}

int TAssistant::BalloonPosition() const
{
    return m_balloon->position();
}

void TAssistant::SetBalloonAnchor(QWidget* anchor)
{
    m_balloon->setAnchor(anchor);
}

} // namespace vedomec
