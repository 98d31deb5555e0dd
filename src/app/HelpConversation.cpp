// The main window's help conversation: how it sets its assistant up, and
// what it does on each of the assistant's events.  Until the user chooses a
// character (HlavniCharacter.cpp) no actor library is set, so nothing shows
// of her, every animation asked for here comes back as request 0, and the
// balloons open centred on the screen.
#include "app/Hlavni.h"
#include "app/HelpTexts.h"
#include "assistant/oaAssist.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"

#include <QPainter>
#include <QTimer>
#include <QPainterPath>

namespace vedomec {

namespace {

// The icon of the close confirmation: the assistant's own balloon with a
// question mark.
QIcon closeIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 2.5, 29, 21), 7, 7);
    QPainterPath tail;
    tail.moveTo(8, 22);
    tail.lineTo(6, 30);
    tail.lineTo(15, 22);
    tail.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(QColor(255, 255, 192));
    p.drawPath(bubble.united(tail));
    QFont f(QStringLiteral("Liberation Serif"));
    f.setPixelSize(18);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 160));
    p.drawText(QRectF(1.5, 2.5, 29, 21), Qt::AlignCenter, QStringLiteral("?"));
    p.end();
    return QIcon(pm);
}

// The stage's background when the character is shown with a border: a
// quiet pattern in the colours of the main window's banner.
QImage stageBackground()
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(QColor(0xf4, 0xfb, 0xfb));
    QPainter p(&img);
    p.setPen(QColor(0xc8, 0xec, 0xec));
    p.drawPoint(3, 3);
    p.drawPoint(11, 11);
    p.end();
    return img;
}

// The state that points at a balloon standing at `position`.
int stateTowards(int position, int above, int right, int below, int left)
{
    switch (position) {
    case 1:
    case 2: return above;
    case 3:
    case 4: return right;
    case 5:
    case 6: return below;
    case 7:
    case 8: return left;
    default: return 0;
    }
}

} // namespace

void THlavniDialog::configureAssistant()
{
    TAssistant* a = Assistant;
    a->setCaption(help::caption());
    a->setClientWidth(242);
    // Closed by the user, she goes at once: he asked her to leave and
    // answered the question, so a goodbye only keeps him waiting.
    a->setFastShowHide(true);
    a->setMoveStep(16);
    a->setStayOnTop(false);
    a->setBgPicture(stageBackground());
    a->MsgDlg()->setCustomIcon(closeIcon());
    a->TipsDlg()->setTips(help::tips());
    a->TipsDlg()->setTipIndex(0);
    a->GuideDlg()->setTopics(help::formTopics());
    a->GuideDlg()->setTitle(help::guideTitle());
    a->GuideDlg()->setRequest(help::guideRequest());
    a->GuideDlg()->setDescription(help::guideDescription());

    // "&Nastavení" of the guide opens the settings.
    connect(a, &TAssistant::OnGuideOptionsClick, this,
            [this](TAssistant* s) { guarded([&] { AssistantGuideOptionsClick(s); }); });
    connect(a, &TAssistant::OnBalloonShow, this, [this](TAssistant* s) { guarded([&] { AssistantBalloonShow(s); }); });
    connect(a, &TAssistant::OnBalloonHide, this, [this](TAssistant* s) { guarded([&] { AssistantBalloonHide(s); }); });
    connect(a, &TAssistant::OnClick, this, [this](TAssistant* s) { guarded([&] { AssistantClick(s); }); });
    connect(a, &TAssistant::OnDragStop, this, [this] {
        m_dragEnded = true;
        QTimer::singleShot(0, this, [this] { m_dragEnded = false; });
    });
    connect(a, &TAssistant::OnCloseQuery, this,
            [this](TAssistant* s, bool* canClose) { guarded([&] { AssistantCloseQuery(s, canClose); }); });
    connect(a, &TAssistant::OnDblClick, this, [this](TAssistant* s) { guarded([&] { AssistantDblClick(s); }); });
    connect(a, &TAssistant::OnHide, this, [this](TAssistant* s) { guarded([&] { AssistantHide(s); }); });
    connect(a, &TAssistant::OnIdle, this,
            [this](TAssistant* s, int level, bool* handled) { guarded([&] { AssistantIdle(s, level, handled); }); });
    connect(a, &TAssistant::OnPlayStart, this,
            [this](TAssistant* s, quint32 id) { guarded([&] { AssistantPlayStart(s, id); }); });
    connect(a, &TAssistant::OnShow, this, [this](TAssistant* s) { guarded([&] { AssistantShow(s); }); });
    connect(a, &TAssistant::OnTipsTipChange, this, [this](TAssistant* s) { guarded([&] { AssistantTipsTipChange(s); }); });
    connect(a, &TAssistant::OnGuideRequestChange, this,
            [this](TAssistant* s) { guarded([&] { AssistantGuideRequestChange(s); }); });
    connect(a, &TAssistant::OnGuideTopicClick, this,
            [this](TAssistant* s, int index) { guarded([&] { AssistantGuideTopicClick(s, index); }); });
    connect(a, &TAssistant::OnGuideSearchClick, this,
            [this](TAssistant* s) { guarded([&] { AssistantGuideSearchClick(s); }); });
}

void THlavniDialog::setRandom(IRandom* random)
{
    m_random = random;
}

void THlavniDialog::ToolbarButton978Click()
{
    // With the tips open, help waits until they are closed.
    if (Assistant->BalloonMode() == bmTips)
        return;
    Assistant->ShowGuide();
}

void THlavniDialog::stopWriting()
{
    if (!Writing)
        return;
    Writing = false;
    Assistant->PlayAnimation(QStringLiteral("WriteReturn"));
}

void THlavniDialog::AssistantBalloonShow(TAssistant*)
{
    switch (Assistant->BalloonMode()) {
    case bmMessage:
        if (const int state = stateTowards(Assistant->BalloonPosition(), 14, 12, 11, 13))
            Assistant->PlayState(state);
        break;
    case bmTips:
        Assistant->PlayState(53);
        break;
    default:
        break;
    }
}

void THlavniDialog::AssistantBalloonHide(TAssistant*)
{
    stopWriting();
}

void THlavniDialog::AssistantClick(TAssistant*)
{
    // The release that ends a drag of the character comes as a click too;
    // the guide she was carried with stays open.
    if (m_dragEnded)
        return;
    if (Assistant->BalloonMode() == bmGuide)
        Assistant->CloseBalloon();
}

void THlavniDialog::AssistantDblClick(TAssistant*)
{
    if (Assistant->BalloonMode() != bmGuide)
        Assistant->ShowGuide();
}

void THlavniDialog::AssistantCloseQuery(TAssistant*, bool* canClose)
{
    // The title stays the actor's name until the next message sets its own.
    Assistant->MsgDlg()->setTitle(Assistant->ActorName());
    *canClose = Assistant->MessageDlg(help::closeQuestion(), mtCustom, mbYes | mbNo, 0) == mrYes;
}

void THlavniDialog::AssistantHide(TAssistant*)
{
    Assistant->SetBalloonAnchor(this);
}

void THlavniDialog::AssistantShow(TAssistant*)
{
    // The character has come: every balloon stands beside her and points
    // at her with its tail.
    Assistant->SetBalloonAnchor(Assistant->stage());
}

void THlavniDialog::AssistantIdle(TAssistant*, int level, bool* handled)
{
    stopWriting();
    IRandom& random = m_random ? *m_random : SystemRandom::instance();
    // Now and then a waiting message gets the user's attention.
    if (Assistant->BalloonMode() == bmMessage && level == 2 && random.bounded(10) == 0) {
        Assistant->PlayAnimation(QStringLiteral("GetAttention"));
        if (random.bounded(5) == 0)
            Assistant->PlayAnimation(QStringLiteral("GetAttentionContinued"));
        Assistant->PlayAnimation(QStringLiteral("GetAttentionReturn"));
        *handled = true;
    }
}

void THlavniDialog::AssistantPlayStart(TAssistant*, quint32) {}

void THlavniDialog::AssistantTipsTipChange(TAssistant*)
{
    if (const int state = stateTowards(Assistant->BalloonPosition(), 20, 18, 17, 19))
        Assistant->PlayState(state);
}

void THlavniDialog::AssistantGuideRequestChange(TAssistant*)
{
    if (!Writing) {
        Writing = true;
        WriteRequest = Assistant->PlayAnimation(QStringLiteral("Write"));
    } else if (!Assistant->IsRequestPending(WriteRequest)) {
        // Fast typing never piles up writing requests.
        WriteRequest = Assistant->PlayAnimation(QStringLiteral("WriteContinued"));
    }
}

void THlavniDialog::AssistantGuideTopicClick(TAssistant*, int topicIndex)
{
    const QString thought = help::topicThought(topicIndex);
    if (!thought.isEmpty())
        Assistant->Think(thought, help::TopicThoughtMs);
}

void THlavniDialog::AssistantGuideSearchClick(TAssistant*)
{
    stopWriting();
    TGuideDlgOptions* guide = Assistant->GuideDlg();
    const QString request = guide->Request();
    const help::SearchAnswer answer = help::searchKeyword(request);
    guide->setDescription(answer.description);
    guide->clearTopics();
    for (const QString& topic : help::searchTopics())
        guide->addTopic(topic);
    const bool repeated = request == LastSearch;
    if (answer.found)
        Assistant->PlayState(repeated ? 38 : 6);
    else
        Assistant->PlayState(repeated ? 7 : 5);
    LastSearch = request;
}

} // namespace vedomec
