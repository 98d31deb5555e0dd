#include "controls/ToolbarButton97.h"

#include <QEnterEvent>
#include <QPainter>

namespace vedomec {

QPixmap NavigationGlyph(NavGlyph kind)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    // A triangle five columns deep and nine rows high, drawn column by
    // column so its edges stay crisp, plus a bar for the first and the last.
    auto triangle = [&p](int tipX, int dir) {
        for (int k = 0; k < 5; ++k)
            p.fillRect(tipX - k * dir, 8 - k, 1, 2 * k + 1, Qt::black);
    };
    switch (kind) {
    case NavGlyph::First:
        p.fillRect(3, 4, 2, 9, Qt::black);
        triangle(6, -1);
        break;
    case NavGlyph::Prior:
        triangle(5, -1);
        break;
    case NavGlyph::Next:
        triangle(10, 1);
        break;
    case NavGlyph::Last:
        triangle(9, 1);
        p.fillRect(11, 4, 2, 9, Qt::black);
        break;
    }
    return pm;
}

namespace {
// The disabled look: the picture's shape in white, one pixel lower right,
// under the same shape in grey.
QPixmap greyed(const QPixmap& src, const QColor& c)
{
    QPixmap out(src.size());
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawPixmap(0, 0, src);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), c);
    return out;
}
} // namespace

TToolbarButton97::TToolbarButton97(QWidget* parent)
    : QAbstractButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
}

void TToolbarButton97::setCaption(const QString& caption)
{
    setText(caption);
    update();
}

void TToolbarButton97::setGlyph(const QPixmap& glyph)
{
    m_glyph = glyph;
    update();
}

QSize TToolbarButton97::sizeHint() const
{
    const int tw = text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(text());
    const int gw = m_glyph.isNull() ? 0 : m_glyph.width();
    const int h = qMax(fontMetrics().height(), m_glyph.isNull() ? 0 : m_glyph.height()) + 6;
    return QSize(tw + gw + (tw && gw ? 4 : 0) + 10, h);
}

void TToolbarButton97::enterEvent(QEnterEvent* event)
{
    m_hot = isEnabled();
    update();
    QAbstractButton::enterEvent(event);
}

void TToolbarButton97::leaveEvent(QEvent* event)
{
    m_hot = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TToolbarButton97::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            m_hot = false;
        else
            m_hot = underMouse();
        update();
    }
    QAbstractButton::changeEvent(event);
}

void TToolbarButton97::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    const bool sunken = isDown() || isChecked();
    if (sunken || m_hot) {
        const QColor light(255, 255, 255);
        const QColor dark(128, 128, 128);
        const QColor tl = sunken ? dark : light;
        const QColor br = sunken ? light : dark;
        p.fillRect(r.left(), r.top(), r.width(), 1, tl);
        p.fillRect(r.left(), r.top(), 1, r.height(), tl);
        p.fillRect(r.left(), r.bottom(), r.width(), 1, br);
        p.fillRect(r.right(), r.top(), 1, r.height(), br);
    }
    const int shift = sunken ? 1 : 0;
    const int tw = text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(text());
    const int gw = m_glyph.isNull() ? 0 : m_glyph.width();
    const int gap = (tw && gw) ? 4 : 0;
    int x = (r.width() - (tw + gw + gap)) / 2 + shift;
    const bool enabled = isEnabled();
    if (gw) {
        const int y = (r.height() - m_glyph.height()) / 2 + shift;
        if (enabled) {
            p.drawPixmap(x, y, m_glyph);
        } else {
            p.drawPixmap(x + 1, y + 1, greyed(m_glyph, QColor(255, 255, 255)));
            p.drawPixmap(x, y, greyed(m_glyph, QColor(128, 128, 128)));
        }
        x += gw + gap;
    }
    if (tw) {
        const QRect tr(x, shift, tw + 1, r.height());
        if (!enabled) {
            p.setPen(QColor(255, 255, 255));
            p.drawText(tr.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text());
            p.setPen(QColor(128, 128, 128));
        } else {
            p.setPen(palette().color(QPalette::ButtonText));
        }
        p.drawText(tr, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text());
    }
}

} // namespace vedomec
