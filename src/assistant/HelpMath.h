#pragma once
// Where a help popup goes: next to its control, on the side of the screen
// away from the nearer edge, and never off the screen.
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vedomec {

// controlOrigin: the control's client origin on the screen; controlHeight:
// its height; window: the popup's size; screen: the screen's rectangle.
// Returns the popup's top-left corner.
//
// Below a control in the upper half of the screen, above one in the lower
// half; right of a control in the left half, left of one in the right half;
// 5 pixels off in each direction.  Then a popup past an edge of the screen
// is brought back to 5 pixels inside it.
QPoint PlaceHelpWindow(QPoint controlOrigin, int controlHeight, QSize window, const QRect& screen);

} // namespace vedomec
