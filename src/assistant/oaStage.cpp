#include "oaStage.h"

#include "assistant/StageMath.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace vedomec {

QImage composeStage(QSize area, const QColor& color, bool transparent, TBgMode bgMode, const QImage& bgPicture,
                    const QImage& frame, bool stretch)
{
    QImage picture(area.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    picture.fill(color);
    QPainter p(&picture);
    if (!transparent && !bgPicture.isNull()) {
        switch (bgMode) {
        case bmTiled:
            for (int y = 0; y < area.height(); y += bgPicture.height())
                for (int x = 0; x < area.width(); x += bgPicture.width())
                    p.drawImage(x, y, bgPicture);
            break;
        case bmCentered:
            p.drawImage(stage::centred(area, bgPicture.size()), bgPicture);
            break;
        case bmStretched:
            p.drawImage(QRect(QPoint(0, 0), area), bgPicture);
            break;
        case bmNone:
            break;
        }
    }
    if (!frame.isNull())
        p.drawImage(stage::fitFrame(area, frame.size(), stretch), frame);
    p.end();
    return area.isEmpty() ? QImage() : picture;
}

QRegion outlineRegion(const QImage& picture, const QColor& color)
{
    if (picture.isNull())
        return {};
    const QImage rgb = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    const std::vector<QRect> runs = stage::outlineRuns(reinterpret_cast<const quint32*>(rgb.constBits()), rgb.width(),
                                                       rgb.height(), rgb.bytesPerLine() / 4, color.rgb());
    QRegion region;
    // The runs come sorted by line and do not overlap: the banded form
    // QRegion keeps, built in one step.
    region.setRects(runs.data(), int(runs.size()));
    return region;
}

TAssistantStage::TAssistantStage(QWidget* parent)
    : QWidget(parent), m_color(QApplication::palette().color(QPalette::Button))
{
    setObjectName(QStringLiteral("AssistantStage"));
    // The paint covers every pixel: no background erasing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    applyWindowFlags();
    setEnabled(false);
    resize(150, 150);
}

TAssistantStage::~TAssistantStage() = default;

void TAssistantStage::applyWindowFlags()
{
    Qt::WindowFlags flags = Qt::Tool;
    if (m_transparent)
        flags |= Qt::FramelessWindowHint;
    else
        flags |= Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
    if (m_stayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
}

void TAssistantStage::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    refresh();
}

void TAssistantStage::setTransparent(bool on)
{
    if (on == m_transparent)
        return;
    const bool visible = isVisible();
    const QSize client = size();
    const QPoint at = pos();
    m_transparent = on;
    applyWindowFlags(); // hides the window
    if (!on)
        clearMask();
    move(at);
    resize(client);
    refresh();
    if (visible)
        show();
    emit stageBorderChanged();
}

void TAssistantStage::setBgMode(TBgMode mode)
{
    if (mode == m_bgMode)
        return;
    m_bgMode = mode;
    refresh();
}

void TAssistantStage::setBgPicture(const QImage& picture)
{
    m_bgPicture = picture;
    refresh();
}

void TAssistantStage::setStretch(bool on)
{
    if (on == m_stretch)
        return;
    m_stretch = on;
    refresh();
}

void TAssistantStage::setStayOnTop(bool on)
{
    if (on == m_stayOnTop)
        return;
    m_stayOnTop = on;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

void TAssistantStage::setAutoSize(bool on)
{
    m_autoSize = on;
    applySizePolicy();
}

void TAssistantStage::setActorFrameSize(QSize size)
{
    m_actorFrameSize = size;
    applySizePolicy();
}

void TAssistantStage::applySizePolicy()
{
    if (m_autoSize && !m_actorFrameSize.isEmpty()) {
        setFixedSize(m_actorFrameSize);
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void TAssistantStage::setPopupMenu(QMenu* menu)
{
    m_popup = menu;
    if (menu)
        menu->setLayoutDirection(layoutDirection());
}

void TAssistantStage::setFramePicture(const QImage& frame)
{
    m_frame = frame;
    refresh();
}

void TAssistantStage::refresh()
{
    m_composed = composeStage(size(), m_color, m_transparent, m_bgMode, m_bgPicture, m_frame, m_stretch);
    if (m_transparent) {
        m_shape = outlineRegion(m_composed, m_color);
        // An empty mask would mean "no mask" to Qt, i.e. the whole window:
        // a nothing-but-Color picture keeps one pixel outside the window.
        setMask(m_shape.isEmpty() ? QRegion(-1, -1, 1, 1) : m_shape);
    } else {
        m_shape = QRegion();
    }
    update();
}

void TAssistantStage::paintEvent(QPaintEvent*)
{
    if (m_composed.size() != size())
        m_composed = composeStage(size(), m_color, m_transparent, m_bgMode, m_bgPicture, m_frame, m_stretch);
    QPainter p(this);
    p.drawImage(0, 0, m_composed);
}

void TAssistantStage::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (!m_autoSize && !m_inResize) {
        int w = width();
        int h = height();
        bool allow = true;
        emit stageCanResize(&w, &h, &allow);
        const QSize wanted = allow ? QSize(w, h) : e->oldSize();
        if (wanted != size() && wanted.isValid()) {
            m_inResize = true;
            resize(wanted);
            m_inResize = false;
            return;
        }
    }
    refresh();
}

void TAssistantStage::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_dragged = false;
    m_pressGlobal = e->globalPosition().toPoint();
    m_pressWindow = pos();
}

void TAssistantStage::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_pressed || !(e->buttons() & Qt::LeftButton))
        return;
    const QPoint to = m_pressWindow + (e->globalPosition().toPoint() - m_pressGlobal);
    if (to == pos())
        return;
    move(to);
    if (!m_dragged) {
        m_dragged = true;
        emit stageDragStart();
    } else {
        emit stageDragging();
    }
}

void TAssistantStage::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        const bool pressed = std::exchange(m_pressed, false);
        const bool dragged = std::exchange(m_dragged, false);
        emit stageMouseUp(Qt::LeftButton, at);
        if (dragged)
            emit stageDragStop();
        if (pressed && rect().contains(at))
            emit stageClick();
    } else if (e->button() == Qt::RightButton) {
        emit stageMouseUp(Qt::RightButton, at);
        if (m_popup)
            m_popup->popup(e->globalPosition().toPoint());
    }
}

void TAssistantStage::mouseDoubleClickEvent(QMouseEvent* e)
{
    // Takes the place of the second press: no drag, no click.
    if (e->button() == Qt::LeftButton)
        emit stageDblClick();
}

void TAssistantStage::keyPressEvent(QKeyEvent* e)
{
    emit stageKeyPress(e->key(), e->text());
}

void TAssistantStage::closeEvent(QCloseEvent* e)
{
    bool canClose = true;
    emit stageCloseQuery(&canClose);
    if (canClose)
        e->accept();
    else
        e->ignore();
}

void TAssistantStage::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous())
        emit stageShow();
}

void TAssistantStage::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    m_pressed = false;
    m_dragged = false;
    if (!e->spontaneous())
        emit stageHide();
}

void TAssistantStage::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        emit stageActivate();
    else if (e->type() == QEvent::LayoutDirectionChange && m_popup)
        m_popup->setLayoutDirection(layoutDirection());
}

} // namespace vedomec
