#include "controls/Gradpan.h"

#include "controls/Accessible.h"

#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>

namespace vedomec::controls {

QColor toQColor(TColor c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor fromQColor(const QColor& c)
{
    return RGBColor(c.red(), c.green(), c.blue());
}

namespace {
QPixmap defaultBitmap()
{
    QPixmap pm(50, 50);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.fillRect(0, 0, 50, 1, Qt::black);
    p.fillRect(0, 49, 50, 1, Qt::black);
    p.fillRect(0, 0, 1, 50, Qt::black);
    p.fillRect(49, 0, 1, 50, Qt::black);
    return pm;
}
} // namespace

TGradPan::TGradPan(QWidget* parent)
    : QWidget(parent)
    , m_bitmap(defaultBitmap())
{
    InstallAccessibility();
    // The whole client area is painted on every paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TGradPan::~TGradPan() = default;

void TGradPan::setBitmap(const QPixmap& bitmap)
{
    m_bitmap = bitmap.copy();
    if (m_effect == bdStretchImage || m_effect == bdTileImage)
        update();
}

#define VEDOMEC_SETTER(name, member, type)          \
    void TGradPan::name(type value)                 \
    {                                               \
        member = value;                             \
        update();                                   \
    }

VEDOMEC_SETTER(setBackGroundEffect, m_effect, TDirection)
VEDOMEC_SETTER(setColorStart, m_colorStart, const QColor&)
VEDOMEC_SETTER(setColorEnd, m_colorEnd, const QColor&)
VEDOMEC_SETTER(setColorShadow, m_colorShadow, const QColor&)
VEDOMEC_SETTER(setCtl3D, m_ctl3d, bool)
VEDOMEC_SETTER(setTextEffect, m_textEffect, TTextEffect)
VEDOMEC_SETTER(setTextRotation, m_rotation, TTextRotation)
VEDOMEC_SETTER(setVertAlign, m_vertAlign, TVertAlign)
VEDOMEC_SETTER(setMarge, m_marge, int)
VEDOMEC_SETTER(setCaption, m_caption, const QString&)
VEDOMEC_SETTER(setAlignment, m_alignment, TAlignment)
VEDOMEC_SETTER(setBevelInner, m_bevelInner, TBevelCut)
VEDOMEC_SETTER(setBevelOuter, m_bevelOuter, TBevelCut)
VEDOMEC_SETTER(setColor, m_color, const QColor&)
VEDOMEC_SETTER(setFontColor, m_fontColor, const QColor&)
#undef VEDOMEC_SETTER

void TGradPan::setBevelWidth(int w)
{
    m_bevelWidth = qMax(1, w);
    update();
}

void TGradPan::setBorderWidth(int w)
{
    m_borderWidth = qMax(0, w);
    update();
}

void TGradPan::setMoveable(bool on)
{
    m_moveable = on;
    setMouseTracking(on);
    if (!on)
        unsetCursor();
    update();
}

HitCode TGradPan::HitTest(const QPoint& clientPos) const
{
    return PanelHitTest(m_moveable, m_marge, width(), height(), clientPos.x(), clientPos.y());
}

void TGradPan::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(font());
    // What the plain panel paints first; the effects cover most of it.
    p.fillRect(rect(), m_color);
    paintBackground(p);
    if (!m_caption.isEmpty())
        paintCaption(p);
    paintBevels(p);
}

void TGradPan::fillFlat(QPainter& p)
{
    p.fillRect(rect(), m_colorStart);
}

void TGradPan::paintBackground(QPainter& p)
{
    const int w = width();
    const int h = height();
    const int a = ImageInset(m_ctl3d, m_bevelWidth, m_borderWidth);
    switch (m_effect) {
    case bdFlat:
        fillFlat(p);
        return;
    case bdStretchImage:
        if (m_bitmap.isNull()) {
            fillFlat(p);
            return;
        }
        // The right and bottom edges of the target stay one pixel short.
        p.drawPixmap(QRect(a, a, w - 2 * a - 1, h - 2 * a - 1), m_bitmap);
        return;
    case bdTileImage: {
        if (m_bitmap.isNull()) {
            fillFlat(p);
            return;
        }
        const int bw = m_bitmap.width();
        const int bh = m_bitmap.height();
        const int cols = (w - 2 * a) / bw + 1;
        const int rows = (h - 2 * a) / bh + 1;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                p.drawPixmap(a + c * bw, a + r * bh, m_bitmap);
        return;
    }
    default:
        break;
    }
    const bool reversed = IsReversed(m_effect);
    m_ramp = ColorRamp(fromQColor(reversed ? m_colorEnd : m_colorStart),
                       fromQColor(reversed ? m_colorStart : m_colorEnd));
    const bool rowsBands = IsHorizontalBands(m_effect);
    for (const Band& b : GradientBands(m_effect, rowsBands ? h : w)) {
        if (b.end <= b.begin)
            continue;
        const QColor c = toQColor(m_ramp[b.entry]);
        if (rowsBands)
            p.fillRect(0, b.begin, w, b.end - b.begin, c);
        else
            p.fillRect(b.begin, 0, b.end - b.begin, h, c);
    }
}

void TGradPan::paintCaption(QPainter& p)
{
    const QFontMetrics fm(font());
    // The height of "^_": the full cell of the font.
    const int t = fm.ascent() + fm.descent();
    const CaptionPlace place = CaptionLayout(m_alignment, m_vertAlign, m_rotation, width(), height(),
                                             m_borderWidth, m_bevelWidth, t);
    const int tw = fm.horizontalAdvance(m_caption);
    int u = 0;
    if (place.anchor == TextAnchor::Right)
        u = -tw;
    else if (place.anchor == TextAnchor::Center)
        u = -tw / 2;
    for (const TextLayer& layer : TextEffectLayers(m_textEffect)) {
        QColor c = m_fontColor;
        if (layer.color == LayerColor::Shadow)
            c = m_colorShadow;
        else if (layer.color == LayerColor::Black)
            c = Qt::black;
        p.save();
        p.setPen(c);
        p.translate(place.x + layer.dx, place.y + layer.dy);
        // Escapement turns counter-clockwise; the painter turns clockwise.
        if (m_rotation == TrUp)
            p.rotate(-90);
        else if (m_rotation == TrDown)
            p.rotate(90);
        p.drawText(QPoint(u, fm.ascent()), m_caption);
        p.restore();
    }
}

void TGradPan::paintBevels(QPainter& p)
{
    const int w = width();
    const int h = height();
    for (const BevelLine& l : BevelLines(w, h, m_bevelOuter, m_bevelInner, m_bevelWidth, m_borderWidth)) {
        p.fillRect(l.x1, l.y1, l.x2 - l.x1 + 1, l.y2 - l.y1 + 1,
                   l.light ? QColor(255, 255, 255) : QColor(128, 128, 128));
    }
    if (m_ctl3d && m_bevelInner != bvNone) {
        const int e = m_bevelOuter != bvNone ? m_bevelWidth - 1 : 0;
        for (int i = 1; i <= m_borderWidth; ++i) {
            // A frame round the rectangle whose right and bottom edges are exclusive.
            const int l = e + i, t = e + i, r = w - i - e, b = h - i - e;
            if (r <= l || b <= t)
                break;
            p.fillRect(l, t, r - l, 1, m_color);
            p.fillRect(l, b - 1, r - l, 1, m_color);
            p.fillRect(l, t, 1, b - t, m_color);
            p.fillRect(r - 1, t, 1, b - t, m_color);
        }
    }
}

void TGradPan::moveEvent(QMoveEvent* event)
{
    emit OnPanelMove(this);
    QWidget::moveEvent(event);
}

namespace {
Qt::CursorShape cursorFor(HitCode code)
{
    switch (code) {
    case HTLEFT:
    case HTRIGHT:
        return Qt::SizeHorCursor;
    case HTTOP:
    case HTBOTTOM:
        return Qt::SizeVerCursor;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return Qt::SizeFDiagCursor;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}
} // namespace

void TGradPan::mousePressEvent(QMouseEvent* event)
{
    const HitCode code = HitTest(event->position().toPoint());
    if (code == HTNOWHERE || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_dragCode = code;
    m_dragStart = event->globalPosition().toPoint();
    m_dragGeometry = geometry();
    raise();
    event->accept();
}

void TGradPan::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_moveable) {
        event->ignore();
        return;
    }
    if (m_dragCode == HTNOWHERE) {
        setCursor(cursorFor(HitTest(event->position().toPoint())));
        return;
    }
    const QPoint d = event->globalPosition().toPoint() - m_dragStart;
    QRect g = m_dragGeometry;
    const int minSize = 1;
    switch (m_dragCode) {
    case HTCAPTION:
        g.translate(d);
        break;
    case HTLEFT: g.setLeft(qMin(g.left() + d.x(), g.right() - minSize + 1)); break;
    case HTRIGHT: g.setRight(qMax(g.right() + d.x(), g.left() + minSize - 1)); break;
    case HTTOP: g.setTop(qMin(g.top() + d.y(), g.bottom() - minSize + 1)); break;
    case HTBOTTOM: g.setBottom(qMax(g.bottom() + d.y(), g.top() + minSize - 1)); break;
    case HTTOPLEFT:
        g.setLeft(qMin(g.left() + d.x(), g.right() - minSize + 1));
        g.setTop(qMin(g.top() + d.y(), g.bottom() - minSize + 1));
        break;
    case HTTOPRIGHT:
        g.setRight(qMax(g.right() + d.x(), g.left() + minSize - 1));
        g.setTop(qMin(g.top() + d.y(), g.bottom() - minSize + 1));
        break;
    case HTBOTTOMLEFT:
        g.setLeft(qMin(g.left() + d.x(), g.right() - minSize + 1));
        g.setBottom(qMax(g.bottom() + d.y(), g.top() + minSize - 1));
        break;
    case HTBOTTOMRIGHT:
        g.setRight(qMax(g.right() + d.x(), g.left() + minSize - 1));
        g.setBottom(qMax(g.bottom() + d.y(), g.top() + minSize - 1));
        break;
    default:
        break;
    }
    setGeometry(g);
}

void TGradPan::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragCode == HTNOWHERE) {
        event->ignore();
        return;
    }
    m_dragCode = HTNOWHERE;
}

} // namespace vedomec::controls
