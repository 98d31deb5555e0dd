#include "controls/CaptionButton.h"

#include "controls/Accessible.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace vedomec::controls {

StyleTitleMetrics StyleTitleMetrics::of(const QWidget* owner)
{
    const QStyle* s = owner ? owner->style() : QApplication::style();
    StyleTitleMetrics m;
    m.captionButtonWidth = s->pixelMetric(QStyle::PM_TitleBarButtonSize, nullptr, owner);
    m.captionHeight = s->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, owner);
    m.sizingFrame = s->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, owner);
    return m;
}

TCaptionButton::TCaptionButton(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
{
    InstallAccessibility();
    const StyleTitleMetrics m = StyleTitleMetrics::of(owner);
    m_left = 4 * m.captionButtonWidth + 4;
    m_top = m.sizingFrame + 2;
    m_width = qMax(1, m.captionButtonWidth);
    m_height = qMax(1, m.captionHeight - 4);
    if (owner) {
        m_font = owner->font();
        m_titleBar = owner->findChild<QWidget*>(QStringLiteral("TitleBar"), Qt::FindDirectChildrenOnly);
    }
    hook();
    redraw();
}

TCaptionButton::~TCaptionButton()
{
    unhook();
    // The surface may be going away with its owner; a queued update is
    // dropped with it.
    if (QWidget* s = Surface())
        QMetaObject::invokeMethod(s, [s] { s->update(); }, Qt::QueuedConnection);
}

void TCaptionButton::hook()
{
    if (m_owner)
        m_owner->installEventFilter(this);
    if (m_titleBar)
        m_titleBar->installEventFilter(this);
}

void TCaptionButton::unhook()
{
    if (m_owner)
        m_owner->removeEventFilter(this);
    if (m_titleBar)
        m_titleBar->removeEventFilter(this);
}

void TCaptionButton::setAlignment(TAlignment a)
{
    m_alignment = a;
    redraw();
}

void TCaptionButton::setCaption(const QString& c)
{
    m_caption = c;
    redraw();
}

void TCaptionButton::setGlyph(const QPixmap& g)
{
    m_glyph = g.copy();
    redraw();
}

void TCaptionButton::setFont(const QFont& f)
{
    m_font = f;
    redraw();
}

void TCaptionButton::setButtonLeft(int v)
{
    const QRect before = SurfaceRect();
    m_left = v;
    moved(before);
}

void TCaptionButton::setButtonTop(int v)
{
    const QRect before = SurfaceRect();
    m_top = v;
    moved(before);
}

void TCaptionButton::setButtonWidth(int v)
{
    const QRect before = SurfaceRect();
    m_width = qMax(1, v);
    moved(before);
}

void TCaptionButton::setButtonHeight(int v)
{
    const QRect before = SurfaceRect();
    m_height = qMax(1, v);
    moved(before);
}

void TCaptionButton::setToggle(bool on)
{
    m_toggle = on;
    redraw();
}

void TCaptionButton::Click()
{
    m_down = m_toggle ? !m_down : true;
    const bool click = m_down;
    if (!m_toggle)
        m_down = false;
    redraw();
    if (click)
        emit OnClick(this);
}

void TCaptionButton::setStandard(TStandardButton s)
{
    m_standard = s;
    redraw();
}

QRect TCaptionButton::ButtonRect() const
{
    const int ownerWidth = m_owner ? m_owner->width() : 0;
    return QRect(ownerWidth - m_left, m_top, m_width, m_height);
}

QWidget* TCaptionButton::Surface() const
{
    if (m_titleBar)
        return m_titleBar;
    return m_owner;
}

QRect TCaptionButton::SurfaceRect() const
{
    QWidget* s = Surface();
    if (!s || s == m_owner)
        return ButtonRect();
    return ButtonRect().translated(-s->mapTo(m_owner, QPoint(0, 0)));
}

void TCaptionButton::redraw()
{
    if (QWidget* s = Surface())
        s->update(SurfaceRect());
}

void TCaptionButton::moved(const QRect& before)
{
    if (QWidget* s = Surface())
        s->update(before);
    redraw();
}

bool TCaptionButton::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_owner)
        return false;
    if (watched == m_owner) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
            // The bar repaints as a whole and the button lands at its new place.
            if (QWidget* s = Surface())
                s->update();
            break;
        case QEvent::WindowTitleChange:
        case QEvent::ActivationChange:
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            redraw();
            break;
        default:
            break;
        }
    }
    if (event->type() == QEvent::Paint && watched == Surface()) {
        if (m_painting)
            return false;
        // The surface (and any other button hooked to it) draws first, then
        // this button goes on top.
        m_painting = true;
        QCoreApplication::sendEvent(watched, event);
        m_painting = false;
        QPainter p(static_cast<QWidget*>(watched));
        p.setClipRegion(static_cast<QPaintEvent*>(event)->region());
        draw(p, SurfaceRect());
        return true;
    }
    if (watched == m_owner || watched == m_titleBar)
        return mouse(static_cast<QWidget*>(watched), event);
    return false;
}

bool TCaptionButton::mouse(QWidget* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseButtonDblClick && t != QEvent::MouseButtonRelease)
        return false;
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() != Qt::LeftButton)
        return false;
    const QPoint p = watched->mapTo(m_owner, me->position().toPoint());
    const bool hit = ButtonRect().contains(p);

    if (t != QEvent::MouseButtonRelease) {
        // A second press in quick succession arrives as a double click; it
        // counts as a press, so no click of a fast pair is lost.
        if (!hit) {
            if (m_down) {
                m_down = false;
                redraw();
            }
            return false;
        }
        m_down = m_toggle ? !m_down : true;
        m_pressed = true;
        redraw();
        emit OnMouseDown(this, Qt::LeftButton, me->modifiers(), p.x(), p.y());
        // Taken: the title bar must not start moving the window.
        return true;
    }

    const bool ours = m_pressed;
    m_pressed = false;
    const bool click = hit && m_down;
    QPointer<TCaptionButton> self(this);
    if (hit)
        emit OnMouseUp(this, Qt::LeftButton, me->modifiers(), p.x(), p.y());
    if (!self)
        return true;
    if (!m_toggle)
        m_down = false;
    redraw();
    if (click)
        emit OnClick(this);
    return ours;
}

namespace {

void drawFace(QPainter& p, const QRect& r, bool down)
{
    const QColor face(212, 208, 200);
    p.fillRect(r, face);
    const QColor light = down ? QColor(64, 64, 64) : QColor(255, 255, 255);
    const QColor dark = down ? QColor(255, 255, 255) : QColor(64, 64, 64);
    p.fillRect(r.left(), r.top(), r.width(), 1, light);
    p.fillRect(r.left(), r.top(), 1, r.height(), light);
    p.fillRect(r.left(), r.bottom(), r.width(), 1, dark);
    p.fillRect(r.right(), r.top(), 1, r.height(), dark);
}

// The help glyph, pixel by pixel, so it stays crisp at title-bar sizes.
constexpr const char* kHelpGlyph[] = {
    ".####.",
    "##..##",
    "....##",
    "...##.",
    "..##..",
    "..##..",
    "......",
    "..##..",
};

} // namespace

void DrawCaptionGlyph(QPainter& p, const QRect& r, TStandardButton kind, bool down, bool enabled)
{
    const QRect g = r.adjusted(3, 2, -3, -2).translated(down ? 1 : 0, down ? 1 : 0);
    const QColor ink = enabled ? QColor(0, 0, 0) : QColor(128, 128, 128);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    switch (kind) {
    case tsbNone:
    case tsbClose: {
        // Two strokes, each two pixels wide.
        const int n = qMin(g.width(), g.height());
        const int x0 = g.left() + (g.width() - n) / 2;
        const int y0 = g.top() + (g.height() - n) / 2;
        for (int i = 0; i < n; ++i) {
            p.fillRect(x0 + i, y0 + i, 2, 1, ink);
            p.fillRect(x0 + n - 1 - i - 1, y0 + i, 2, 1, ink);
        }
        break;
    }
    case tsbHelp: {
        const int gw = 6;
        const int gh = int(std::size(kHelpGlyph));
        const int x0 = r.left() + (r.width() - gw) / 2 + (down ? 1 : 0);
        const int y0 = r.top() + (r.height() - gh) / 2 + (down ? 1 : 0);
        for (int y = 0; y < gh; ++y)
            for (int x = 0; x < gw; ++x)
                if (kHelpGlyph[y][x] == '#')
                    p.fillRect(x0 + x, y0 + y, 1, 1, ink);
        break;
    }
    case tsbMax:
        p.fillRect(g.left(), g.top(), g.width(), 2, ink);
        p.fillRect(g.left(), g.top(), 1, g.height(), ink);
        p.fillRect(g.right(), g.top(), 1, g.height(), ink);
        p.fillRect(g.left(), g.bottom(), g.width(), 1, ink);
        break;
    case tsbMin:
        p.fillRect(g.left() + 1, g.bottom() - 1, qMax(1, g.width() - 3), 2, ink);
        break;
    case tsbRestore: {
        const int s = qMax(3, qMin(g.width(), g.height()) - 2);
        const QRect back(g.right() - s + 1, g.top(), s, s);
        const QRect front(g.left(), g.bottom() - s + 1, s, s);
        for (const QRect& b : {back, front}) {
            p.fillRect(b.left(), b.top(), b.width(), 2, ink);
            p.fillRect(b.left(), b.top(), 1, b.height(), ink);
            p.fillRect(b.right(), b.top(), 1, b.height(), ink);
            p.fillRect(b.left(), b.bottom(), b.width(), 1, ink);
        }
        break;
    }
    }
    p.restore();
}

void TCaptionButton::draw(QPainter& p, const QRect& r) const
{
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
    drawFace(p, r, m_down);
    if (m_standard != tsbNone) {
        DrawCaptionGlyph(p, r, m_standard, m_down);
        p.restore();
        return;
    }
    const int shift = m_down ? 1 : 0;
    if (!m_glyph.isNull()) {
        int x = 0;
        switch (m_alignment) {
        case taLeftJustify: x = m_width - m_glyph.width() - 4; break;
        case taRightJustify: x = 4; break;
        case taCenter: x = (m_width - m_glyph.width()) / 2; break;
        }
        const int y = (r.height() - m_glyph.height()) / 2;
        p.drawPixmap(r.left() + x + shift, r.top() + y + shift, m_glyph);
    }
    if (!m_caption.isEmpty()) {
        QFont f = p.font();
        if (m_font.pixelSize() > 0)
            f.setPixelSize(m_font.pixelSize());
        else
            f.setPointSizeF(m_font.pointSizeF());
        p.setFont(f);
        const int tw = p.fontMetrics().horizontalAdvance(m_caption);
        QRect tr = r;
        switch (m_alignment) {
        case taLeftJustify: tr.setLeft(tr.left() + 4); break;
        case taRightJustify: tr.setLeft(tr.right() + 1 - tw - 4); break;
        case taCenter: tr.setLeft(tr.left() + (m_width - tw) / 2); break;
        }
        p.setPen(Qt::black);
        // Drawn literally: an ampersand is no mnemonic here.
        p.drawText(tr.translated(shift, shift), Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    }
    p.restore();
}

TCaptionButton* CreateHelpCaptionButton(QWidget* owner)
{
    auto* b = new TCaptionButton(owner);
    b->setObjectName(QStringLiteral("CaptionButton2"));
    b->setStandard(tsbHelp);
    b->setButtonLeft(30);
    b->setButtonTop(5);
    b->setButtonWidth(12);
    b->setButtonHeight(11);
    return b;
}

} // namespace vedomec::controls
