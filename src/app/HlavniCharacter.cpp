// The assistant's character on the desktop, as the user chooses it, and the
// program's sounds.  She stands beside the main window, never over it, and
// goes with it; the balloons point at her while she is there.
#include "app/Hlavni.h"

#include "config/Characters.h"
#include "app/Nastaveni.h"
#include "assistant/oaAssist.h"
#include "controls/Accessible.h"
#include "platform/ErrorReport.h"

#include <QAction>
#include <QFileInfo>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace vedomec {

void THlavniDialog::buildCharacterMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    P1 = PopupMenu1->addAction(QStringLiteral("&Nastavení..."));
    P1->setObjectName(QStringLiteral("P1"));
    P2 = PopupMenu1->addAction(QStringLiteral("&Zavřít pomocníka"));
    P2->setObjectName(QStringLiteral("P2"));
    controls::SetAccessibleName(P1, QStringLiteral("Nastavení pomocníka a zvuků"));
    controls::SetAccessibleName(P2, QStringLiteral("Zavřít pomocníka"));
    connect(P1, &QAction::triggered, this, [this] { guarded([this] { AssistantGuideOptionsClick(Assistant); }); });
    // Through the character's own close, which asks first.
    connect(P2, &QAction::triggered, this, [this] { Assistant->stage()->close(); });
    Assistant->setPopupMenu(PopupMenu1);
    connect(Assistant, &TAssistant::OnAnimationDamaged, this,
            [this](TAssistant*, const QString& animation, const QString&) {
                guarded([&] { CharacterDamaged(animation); });
            });
    // Where the user puts her, she stays, until the window comes over her.
    connect(Assistant, &TAssistant::OnDragStop, this, [this] { m_characterPutAside = true; });
}

void THlavniDialog::CharacterDamaged(const QString& animation)
{
    if (m_closing)
        return;
    const QString library = CharacterLibrary();
    QString name = Assistant->ActorName();
    if (name.trimmed().isEmpty())
        name = QFileInfo(library).completeBaseName();
    // Put away at once, as a library that does not load: a character that
    // stumbles over her own animations is no help to anybody.  The setting
    // stays as the user made it.
    if (Assistant->stage()->isVisible())
        Assistant->HideAssistant(true);
    Assistant->setActorLibrary(QString());
    Assistant->SetBalloonAnchor(Assistant->stage());
    TellWhenFree(QStringLiteral("Pomocníka %1 nelze zobrazit:\r%2 Vedomec proto běží bez pomocníka na ploše.")
                     .arg(name, damagedAnimationText(library, animation)));
}

void THlavniDialog::TellWhenFree(const QString& text)
{
    if (m_closing)
        return;
    // A question waiting for its answer is not taken over by this.
    if (Assistant->isMessageWaiting()) {
        QTimer::singleShot(250, this, [this, text] { TellWhenFree(text); });
        return;
    }
    UserMessage(text, mtError, mbOK);
}

void THlavniDialog::AssistantGuideOptionsClick(TAssistant*)
{
    if (NastaveniDialog && isEnabled() && !m_closing)
        NastaveniDialog->show();
}

QString THlavniDialog::CharacterLibrary() const
{
    return Assistant->ActorLibrary();
}

void THlavniDialog::SetCharacter(const QString& library)
{
    TAssistant* a = Assistant;
    const QPointer<THlavniDialog> self(this);
    if (library.isEmpty()) {
        if (a->stage()->isVisible()) {
            a->HideAssistant(false);
            // The window may have closed while she waved goodbye.
            if (!self || m_closing)
                return;
        }
        a->setActorLibrary(QString());
        // With nobody to point at, balloons stand centred on the screen, as
        // in a program that never had a character.
        a->SetBalloonAnchor(a->stage());
        return;
    }
    // All of her is read before she replaces anybody: a damaged animation
    // met later would interrupt the user at a moment nobody chose.
    if (const QString fault = characterFault(library); !fault.isEmpty())
        throw EActorError(fault);
    const bool shown = a->stage()->isVisible();
    a->setActorLibrary(library);
    if (!shown) {
        m_characterPutAside = false;
        PlaceCharacter();
        a->ShowAssistant(false);
        return;
    }
    // Another character in her place, maybe of another size: moved only when
    // she would now cover the window or reach past the screen.
    const QRect now = a->stage()->frameGeometry();
    const QScreen* s = screen();
    if (now.intersects(frameGeometry()) || (s && !s->availableGeometry().contains(now))) {
        m_characterPutAside = false;
        PlaceCharacter();
    }
}

void THlavniDialog::FollowWindow(QPoint moved)
{
    TAssistantStage* stage = Assistant->stage();
    if (m_closing || !stage->isVisible())
        return;
    const QRect her = stage->frameGeometry();
    const QRect window = frameGeometry();
    if (m_characterPutAside && !her.intersects(window))
        return;
    const QScreen* s = screen();
    const QRect beside = her.translated(moved);
    if (!m_characterPutAside && !moved.isNull() && !beside.intersects(window) && s && s->availableGeometry().contains(beside)) {
        // Her place beside the window, carried along with it.
        Assistant->setFormLeft(beside.x());
        Assistant->setFormTop(beside.y());
        return;
    }
    m_characterPutAside = false;
    PlaceCharacter();
}

void THlavniDialog::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    if (isVisible())
        FollowWindow(e->pos() - e->oldPos());
}

void THlavniDialog::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (isVisible())
        FollowWindow(QPoint());
}

void THlavniDialog::PlaceCharacter()
{
    const QScreen* s = screen();
    if (!s)
        return;
    TAssistantStage* stage = Assistant->stage();
    const QSize size = stage->frameGeometry().size().expandedTo(stage->size());
    const QPoint at = characterPlace(s->availableGeometry(), frameGeometry(), size);
    Assistant->setFormLeft(at.x());
    Assistant->setFormTop(at.y());
}

void THlavniDialog::SetSoundOn(bool on)
{
    m_soundOn = on;
    m_sound.setMuted(!on);
    Assistant->setMute(!on);
}

} // namespace vedomec
