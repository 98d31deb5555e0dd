#include "controls/ElidedLabel.h"

#include "controls/Accessible.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace vedomec {

TElidedLabel::TElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    controls::InstallAccessibility();
    // What these labels show is data (titles, names), never markup.
    setTextFormat(Qt::PlainText);
}

QString TElidedLabel::shownText() const
{
    const QString full = text();
    if (wordWrap() || full.isEmpty())
        return full;
    return fontMetrics().elidedText(full, Qt::ElideRight, contentsRect().width());
}

void TElidedLabel::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    drawFrame(&p);
    style()->drawItemText(&p, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shown, foregroundRole());
}

bool TElidedLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (isElided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this, rect());
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

} // namespace vedomec
