// What a screen reader hears of the assistant's balloons and of the context
// help popup.  A message is an alert titled by its title and described by
// its text; the tips and the guide are dialogs; free text is a notification.
// Each is read out when it appears (before its button takes the keyboard),
// and again when what it says changes while it stays open (the next tip,
// the answer of a search).
#include "assistant/HelpBook.h"
#include "assistant/oaBaloon.h"
#include "controls/Accessible.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

namespace vedomec {

namespace {

// The balloon breaks lines at carriage returns, and lines columns up with
// tabs; a reader hears spaces.
QString spoken(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text.trimmed();
}

QAccessible::Role roleOf(int mode)
{
    switch (mode) {
    case bmTips:
    case bmGuide: return QAccessible::Dialog;
    case bmSpeech:
    case bmThought: return QAccessible::Notification;
    default: return QAccessible::AlertMessage;
    }
}

} // namespace

void TAssistantBalloon::updateAccessibility()
{
    const int mode = m_content.mode;
    controls::SetAccessibleRole(this, roleOf(mode));
    const QString title = spoken(m_content.title);
    const QString text = spoken(m_content.text);
    QString name;
    QString description;
    switch (mode) {
    case bmTips:
        name = QStringLiteral("Tip");
        description = text;
        break;
    case bmSpeech:
    case bmThought:
        name = text;
        break;
    default:
        // A message or the guide: its title, or its text when it has none.
        name = title.isEmpty() ? text : title;
        description = title.isEmpty() ? QString() : text;
        break;
    }
    controls::KeepAccessibleName(this, name);
    controls::KeepAccessibleDescription(this, description);
    controls::KeepAccessibleName(m_icon, mode == bmTips ? QStringLiteral("Tip") : QString());
    controls::KeepAccessibleName(m_request, QStringLiteral("Dotaz"));
    controls::KeepAccessibleDescription(m_request, QStringLiteral("Napište klíčové slovo a stiskněte Enter."));

    // Changed while shown: read out again (the zoom-in reads the first time),
    // also to Orca, which hears a notification shown.
    if (isVisible() && m_zoomStage == 3 && !m_announced.isEmpty() && m_announced != name + u'\n' + description) {
        announce();
        controls::Notify(this, name, description);
    }
}

void TAssistantBalloon::announce()
{
    m_announced = accessibleName() + u'\n' + accessibleDescription();
    controls::Announce(this);
    // Where the balloon got the keyboard as it appeared (a platform that
    // activates what it shows), its focused button is told again, so that it
    // is heard after the message rather than before it.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == this) {
        QAccessibleEvent event(focus, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

void THelpWin::describeForReaders()
{
    // The help text is a heading, an empty line and a sentence: the heading
    // names the popup, the rest describes it.
    controls::SetAccessibleRole(this, QAccessible::AlertMessage);
    QStringList lines;
    for (QTextBlock b = RichEdit->document()->begin(); b.isValid(); b = b.next())
        if (!b.text().trimmed().isEmpty())
            lines << b.text().trimmed();
    setAccessibleName(lines.isEmpty() ? QString() : lines.takeFirst());
    setAccessibleDescription(lines.join(QLatin1Char(' ')));
}

} // namespace vedomec
