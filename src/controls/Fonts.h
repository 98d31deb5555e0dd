#pragma once
#include <QFont>

namespace vedomec {

// The forms' "Times New Roman" at a pixel size.  Liberation Serif has its
// metrics, so captions fit where the layout expects them.
inline QFont TimesFont(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("Liberation Serif"));
    f.setStyleHint(QFont::Serif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

} // namespace vedomec
