#include "controls/ToolDialog.h"

#include "controls/Accessible.h"
#include "controls/CaptionButton.h"
#include "controls/Gradpan.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace vedomec::controls {

namespace {

// The compact title bar: the window manager draws none for a frameless
// window, so dragging it moves the window ourselves.
class TitleBar : public QWidget {
public:
    explicit TitleBar(TToolDialog* dialog)
        : QWidget(dialog)
        , m_dialog(dialog)
    {
        setObjectName(QStringLiteral("TitleBar"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, QColor(10, 36, 106));
        g.setColorAt(1, QColor(166, 202, 240));
        p.fillRect(rect(), g);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        // Keep the caption clear of the caption buttons on the right.
        const QRect textRect(4, 0, qMax(0, width() - 4 - 36), height());
        const QString text = p.fontMetrics().elidedText(m_dialog->Caption(), Qt::ElideRight, textRect.width());
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton) {
            QWidget::mousePressEvent(e);
            return;
        }
        QWindow* w = window()->windowHandle();
        m_manual = !(w && w->startSystemMove());
        m_grab = e->globalPosition().toPoint() - window()->pos();
        e->accept();
    }

    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (m_manual && (e->buttons() & Qt::LeftButton))
            window()->move(e->globalPosition().toPoint() - m_grab);
    }

    void mouseReleaseEvent(QMouseEvent*) override { m_manual = false; }

private:
    TToolDialog* m_dialog;
    bool m_manual = false;
    QPoint m_grab;
};

} // namespace

TToolDialog::TToolDialog(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , m_mainWindow(mainWindow)
{
    InstallAccessibility();
    m_titleBar = new TitleBar(this);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->setAutoFillBackground(true);
    m_closeButton = new TCaptionButton(this);
    m_closeButton->setObjectName(QStringLiteral("CloseBox"));
    m_closeButton->setStandard(tsbClose);
    // Sized for the compact bar rather than the style's full-size caption.
    m_closeButton->setButtonLeft(16);
    m_closeButton->setButtonTop(TitleMetrics::SizingFrame + 2);
    m_closeButton->setButtonWidth(TitleMetrics::CaptionButtonWidth);
    m_closeButton->setButtonHeight(TitleMetrics::CaptionHeight - 4);
    connect(m_closeButton, &TCaptionButton::OnClick, this, [this] { close(); });
    setClientSize(300, 200);
}

TToolDialog::~TToolDialog()
{
    releaseMainWindow();
}

int TToolDialog::titleBarHeight()
{
    return TitleMetrics::TitleBarHeight;
}

void TToolDialog::setCaption(const QString& caption)
{
    m_caption = caption;
    setWindowTitle(caption);
    m_titleBar->update();
}

void TToolDialog::setClientSize(int w, int h)
{
    setFixedSize(w + 2 * FrameWidth, titleBarHeight() + h + FrameWidth);
    // A hidden window hears of its new size only when shown; forms read
    // their client size before that.
    layoutFrame();
}

QSize TToolDialog::clientSize() const
{
    return m_client->size();
}

void TToolDialog::resizeEvent(QResizeEvent* event)
{
    layoutFrame();
    QWidget::resizeEvent(event);
}

void TToolDialog::layoutFrame()
{
    m_titleBar->setGeometry(FrameWidth, FrameWidth, width() - 2 * FrameWidth, titleBarHeight() - FrameWidth);
    m_client->setGeometry(FrameWidth, titleBarHeight(), width() - 2 * FrameWidth,
                          height() - titleBarHeight() - FrameWidth);
}

void TToolDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor frame(64, 64, 64);
    p.fillRect(0, 0, width(), FrameWidth, frame);
    p.fillRect(0, height() - FrameWidth, width(), FrameWidth, frame);
    p.fillRect(0, 0, FrameWidth, height(), frame);
    p.fillRect(width() - FrameWidth, 0, FrameWidth, height(), frame);
}

void TToolDialog::FormShow() {}
void TToolDialog::FormClose() {}

void TToolDialog::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Centred on the screen every time it is shown, wherever it was moved.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect sg = s->geometry();
        move(sg.x() + (sg.width() - width()) / 2, sg.y() + (sg.height() - height()) / 2);
    }
    if (m_mainWindow) {
        if (windowHandle() && m_mainWindow->windowHandle())
            windowHandle()->setTransientParent(m_mainWindow->windowHandle());
        if (m_mainWindow->isEnabled()) {
            m_mainWindow->setEnabled(false);
            m_disabledMain = true;
        }
    }
    activateWindow();
    emit shown();
    FormShow();
}

void TToolDialog::closeEvent(QCloseEvent* event)
{
    // close() on a dialog that is not showing has nothing to close.
    if (!isVisible()) {
        event->accept();
        return;
    }
    FormClose();
    releaseMainWindow();
    event->accept();
    emit closed();
}

void TToolDialog::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // However it disappears, it never leaves the main window disabled.
    if (!event->spontaneous())
        releaseMainWindow();
}

void TToolDialog::releaseMainWindow()
{
    if (m_disabledMain && m_mainWindow) {
        m_mainWindow->setEnabled(true);
        // The keyboard goes back to the window the dialog stood over, as it
        // does for an owned window elsewhere; without a window manager that
        // does it for us, keys would go to the hidden dialog.
        if (m_mainWindow->isVisible())
            m_mainWindow->activateWindow();
    }
    m_disabledMain = false;
}

void TToolDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->text() == QChar(27)) {
        close();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && mods == Qt::NoModifier && m_defaultButton && m_defaultButton->isEnabled()
        && m_defaultButton->isVisibleTo(this)) {
        m_defaultButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

QPixmap DialogIconPixmap(DialogIcon icon)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPen outline(QColor(0, 0, 0), 1);
    switch (icon) {
    case DialogIcon::Folder: {
        p.setPen(outline);
        p.setBrush(QColor(200, 160, 40));
        QPolygonF back;
        back << QPointF(2.5, 7.5) << QPointF(11.5, 7.5) << QPointF(14.5, 10.5) << QPointF(29.5, 10.5)
             << QPointF(29.5, 26.5) << QPointF(2.5, 26.5);
        p.drawPolygon(back);
        p.setBrush(QColor(255, 220, 90));
        QPolygonF front;
        front << QPointF(2.5, 26.5) << QPointF(6.5, 14.5) << QPointF(31.0, 14.5) << QPointF(27.5, 26.5);
        p.drawPolygon(front);
        break;
    }
    case DialogIcon::Import: {
        // A sheet with an arrow coming into it.
        p.setPen(outline);
        p.setBrush(Qt::white);
        QPolygonF sheet;
        sheet << QPointF(12.5, 2.5) << QPointF(24.5, 2.5) << QPointF(29.5, 7.5) << QPointF(29.5, 29.5)
              << QPointF(12.5, 29.5);
        p.drawPolygon(sheet);
        p.drawLine(QPointF(24.5, 2.5), QPointF(24.5, 7.5));
        p.drawLine(QPointF(24.5, 7.5), QPointF(29.5, 7.5));
        p.setPen(QPen(QColor(0, 0, 0), 1));
        p.setBrush(QColor(0, 160, 0));
        QPolygonF arrow;
        arrow << QPointF(1.5, 13.5) << QPointF(12.5, 13.5) << QPointF(12.5, 8.5) << QPointF(22.5, 16.5)
              << QPointF(12.5, 24.5) << QPointF(12.5, 19.5) << QPointF(1.5, 19.5);
        p.drawPolygon(arrow);
        break;
    }
    case DialogIcon::IdCard: {
        p.setPen(outline);
        p.setBrush(QColor(235, 240, 255));
        p.drawRoundedRect(QRectF(1.5, 6.5, 29, 20), 2, 2);
        p.setBrush(QColor(0, 0, 128));
        p.drawRect(QRectF(1.5, 6.5, 29, 4));
        p.setBrush(QColor(230, 190, 150));
        p.drawEllipse(QRectF(5.5, 12.5, 7, 7));
        p.setBrush(QColor(60, 90, 160));
        p.drawChord(QRectF(4.5, 18.5, 9, 10), 0, 180 * 16);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        for (int y : {14, 18, 22})
            p.drawLine(QPointF(16.5, y + 0.5), QPointF(27.5, y + 0.5));
        break;
    }
    case DialogIcon::Chart: {
        p.setPen(outline);
        p.drawLine(QPointF(3.5, 2.5), QPointF(3.5, 29.5));
        p.drawLine(QPointF(3.5, 29.5), QPointF(30.5, 29.5));
        const QColor colours[] = {QColor(220, 40, 40), QColor(40, 160, 40), QColor(40, 80, 220), QColor(230, 180, 0)};
        const int heights[] = {10, 18, 14, 24};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF(6.5 + i * 6, 28.5 - heights[i], 5, heights[i]));
        }
        break;
    }
    }
    return pm;
}

TGradPan* CreateLeftStrip(QWidget* parent, DialogIcon icon, const QRect& geometry)
{
    auto* strip = new TGradPan(parent);
    strip->setObjectName(QStringLiteral("GradPan1"));
    strip->setGeometry(geometry);
    strip->setBackGroundEffect(bdUp);
    strip->setColorStart(toQColor(clAqua));
    strip->setColorEnd(toQColor(clWhite));
    strip->setBevelOuter(bvNone);
    strip->setBorderWidth(1);

    // The white-framed square round the icon, centred across the strip.
    const int side = 36;
    const int x = (geometry.width() - side) / 2;
    auto* shape = new QLabel(strip);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(x, x, side, side);
    shape->setStyleSheet(QStringLiteral("border: 2px solid white; background: transparent;"));

    auto* image = new QLabel(strip);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(x + 2, x + 2, 32, 32);
    image->setPixmap(DialogIconPixmap(icon));
    switch (icon) {
    case DialogIcon::Folder: image->setAccessibleName(QStringLiteral("Složka")); break;
    case DialogIcon::Import: image->setAccessibleName(QStringLiteral("Import")); break;
    case DialogIcon::IdCard: image->setAccessibleName(QStringLiteral("Průkaz")); break;
    case DialogIcon::Chart: image->setAccessibleName(QStringLiteral("Graf")); break;
    }
    return strip;
}

} // namespace vedomec::controls
