#include "controls/CaptionButton.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vedomec::controls {

TCaptionButton::TCaptionButton(QWidget* owner)
    : QWidget(owner)
    , m_owner(owner)
{
    setObjectName(QString());
    if (owner) {
        m_font = owner->font();
        owner->installEventFilter(this);
        // Presses on the owner's own title bar release the button as well.
        if (QWidget* bar = owner->findChild<QWidget*>(QStringLiteral("TitleBar"), Qt::FindDirectChildrenOnly))
            bar->installEventFilter(this);
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    place();
    show();
}

TCaptionButton::~TCaptionButton() = default;

void TCaptionButton::setAlignment(TAlignment a) { m_alignment = a; update(); }
void TCaptionButton::setCaption(const QString& c) { m_caption = c; update(); }
void TCaptionButton::setGlyph(const QPixmap& g) { m_glyph = g.copy(); update(); }
void TCaptionButton::setFont(const QFont& f) { m_font = f; update(); }
void TCaptionButton::setButtonLeft(int v) { m_left = v; place(); }
void TCaptionButton::setButtonTop(int v) { m_top = v; place(); }
void TCaptionButton::setButtonWidth(int v) { m_width = qMax(1, v); place(); }
void TCaptionButton::setButtonHeight(int v) { m_height = qMax(1, v); place(); }
void TCaptionButton::setToggle(bool on) { m_toggle = on; update(); }
void TCaptionButton::setStandard(TStandardButton s) { m_standard = s; update(); }

QRect TCaptionButton::ButtonRect() const
{
    const int ownerWidth = m_owner ? m_owner->width() : 0;
    return QRect(ownerWidth - m_left, m_top, m_width, m_height);
}

void TCaptionButton::place()
{
    setGeometry(ButtonRect());
    raise();
    update();
}

void TCaptionButton::setDownState(bool down)
{
    m_down = down;
    update();
}

bool TCaptionButton::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
        if (watched == m_owner)
            place();
        break;
    case QEvent::MouseButtonPress: {
        // A left press anywhere else on the window lets the button up.
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && m_down)
            setDownState(false);
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TCaptionButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setDownState(m_toggle ? !m_down : true);
    const QPoint p = event->position().toPoint() + pos();
    emit OnMouseDown(this, Qt::LeftButton, event->modifiers(), p.x(), p.y());
}

void TCaptionButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const bool over = rect().contains(event->position().toPoint());
    if (over) {
        const QPoint p = event->position().toPoint() + pos();
        emit OnMouseUp(this, Qt::LeftButton, event->modifiers(), p.x(), p.y());
    }
    const bool click = over && m_down;
    if (!m_toggle)
        m_down = false;
    update();
    if (click)
        emit OnClick(this);
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
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(qMax(6, r.height() - 1));
        f.setBold(true);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(r.translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter, QStringLiteral("?"));
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

void TCaptionButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    drawFace(p, r, m_down);
    if (m_standard != tsbNone) {
        DrawCaptionGlyph(p, r, m_standard, m_down);
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
        p.drawPixmap(x + shift, y + shift, m_glyph);
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
}

} // namespace vedomec::controls
