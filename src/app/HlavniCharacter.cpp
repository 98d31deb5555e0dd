// The assistant's character on the desktop, as the user chooses it, and the
// program's sounds.  She stands beside the main window, never over it; the
// balloons point at her while she is there.
#include "app/Hlavni.h"

#include "config/Characters.h"
#include "app/Nastaveni.h"
#include "assistant/oaAssist.h"
#include "controls/Accessible.h"
#include "platform/ErrorReport.h"

#include <QAction>
#include <QMenu>
#include <QScreen>

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
    const bool shown = a->stage()->isVisible();
    a->setActorLibrary(library);
    if (!shown) {
        PlaceCharacter();
        a->ShowAssistant(false);
        return;
    }
    // Another character in her place, maybe of another size: moved only when
    // she would now cover the window or reach past the screen.
    const QRect now = a->stage()->frameGeometry();
    const QScreen* s = screen();
    if (now.intersects(frameGeometry()) || (s && !s->availableGeometry().contains(now)))
        PlaceCharacter();
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
