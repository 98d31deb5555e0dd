#include "assistant/HelpMath.h"

namespace vedomec {

QPoint PlaceHelpWindow(QPoint controlOrigin, int controlHeight, QSize window, const QRect& screen)
{
    constexpr int gap = 5;
    const int sw = screen.width();
    const int sh = screen.height();
    const int x = controlOrigin.x() - screen.left();
    const int y = controlOrigin.y() - screen.top();
    const int w = window.width();
    const int h = window.height();

    int top = y < sh / 2 ? y + controlHeight + gap : y - h - gap;
    int left = x < sw / 2 ? x + gap : x - w - gap;

    if (left < 0)
        left = gap;
    if (top < 0)
        top = gap;
    if (left + w > sw)
        left = sw - w - gap;
    if (top + h > sh)
        top = sh - h - gap;
    // A popup larger than the screen shows its beginning.
    if (left < 0)
        left = gap;
    if (top < 0)
        top = gap;
    return QPoint(screen.left() + left, screen.top() + top);
}

} // namespace vedomec
