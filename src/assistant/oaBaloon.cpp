#include "oaBaloon.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace vedomec {

QColor colorFromTColor(quint32 tcolor)
{
    return QColor(int(tcolor & 0xFF), int((tcolor >> 8) & 0xFF), int((tcolor >> 16) & 0xFF));
}

quint32 tcolorFromColor(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

TBalloonOptions::TBalloonOptions(QObject* parent)
    : QObject(parent),
      m_color(colorFromTColor(kDefaultColor)),
      m_borderColor(colorFromTColor(kDefaultBorderColor))
{
    m_font.setFamily(QStringLiteral("Liberation Sans"));
    m_font.setPixelSize(12);
}

void TBalloonOptions::setColor(const QColor& c)
{
    if (c == m_color)
        return;
    m_color = c;
    emit changed();
}

void TBalloonOptions::setBorderColor(const QColor& c)
{
    if (c == m_borderColor)
        return;
    m_borderColor = c;
    emit changed();
}

void TBalloonOptions::setFont(const QFont& f)
{
    m_font = f;
    m_fontChanged = true;
    emit changed();
}

void TMsgDlgOptions::setTitle(const QString& t)
{
    if (t == m_title)
        return;
    m_title = t;
    emit changed();
}

void TMsgDlgOptions::setCustomIcon(const QIcon& icon)
{
    m_customIcon = icon;
    emit changed();
}

namespace {

// The balloon's texts break lines at carriage returns.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

constexpr int kTextFlags = Qt::TextWordWrap | Qt::TextExpandTabs;

// Draws its text with exactly the flags it was measured with, so the
// layout's wrapping and the shown wrapping never differ.
class BalloonText final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        const int align = isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft;
        p.drawText(rect(), kTextFlags | align | Qt::AlignTop, displayText(text()));
    }
};

} // namespace

TAssistantBalloon::TAssistantBalloon(TBalloonOptions* options, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_options(options)
{
    setObjectName(QStringLiteral("AssistantBalloon"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setFocusPolicy(Qt::NoFocus);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("BalloonIcon"));
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("BalloonTitle"));
    m_title->setTextFormat(Qt::PlainText);
    m_text = new BalloonText(this);
    m_text->setObjectName(QStringLiteral("BalloonText"));
    m_text->setTextFormat(Qt::PlainText);
    m_divider = new QFrame(this);
    m_divider->setObjectName(QStringLiteral("BalloonDivider"));
    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Sunken);

    const auto& specs = balloon::messageButtons();
    for (size_t i = 0; i < specs.size(); ++i) {
        auto* b = new QPushButton(specs[i].caption, this);
        b->setObjectName(specs[i].objectName);
        b->setAutoDefault(true);
        b->hide();
        const MsgDlgBtn flag = specs[i].flag;
        const int result = specs[i].result;
        connect(b, &QPushButton::clicked, this, [this, flag, result] {
            if (flag == mbHelp) {
                emit helpRequested();
                return;
            }
            emit resultChosen(result);
        });
        m_buttons[i] = b;
    }

    // Covers the balloon while it zooms in.
    m_zoomPanel = new QWidget(this);
    m_zoomPanel->setObjectName(QStringLiteral("BalloonZoomPanel"));
    m_zoomPanel->setAutoFillBackground(true);
    m_zoomPanel->hide();

    m_zoomTimer.setInterval(balloon::kZoomStepMs);
    m_zoomTimer.setSingleShot(true);
    connect(&m_zoomTimer, &QTimer::timeout, this, &TAssistantBalloon::zoomStep);
    connect(m_options, &TBalloonOptions::changed, this, &TAssistantBalloon::relayout);
}

TAssistantBalloon::~TAssistantBalloon()
{
    if (m_anchor)
        m_anchor->removeEventFilter(this);
}

QPushButton* TAssistantBalloon::button(MsgDlgBtn b) const
{
    const auto& specs = balloon::messageButtons();
    for (size_t i = 0; i < specs.size(); ++i)
        if (specs[i].flag == b)
            return m_buttons[i];
    return nullptr;
}

void TAssistantBalloon::setStayOnTop(bool on)
{
    if (on == m_stayOnTop)
        return;
    m_stayOnTop = on;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (wasVisible)
        show();
}

void TAssistantBalloon::setContent(const Content& content)
{
    m_content = content;
    relayout();
}

void TAssistantBalloon::setAnchor(QWidget* anchor)
{
    if (m_anchor)
        m_anchor->removeEventFilter(this);
    m_anchor = anchor;
    if (m_anchor)
        m_anchor->installEventFilter(this);
    if (isVisible())
        relayout();
}

bool TAssistantBalloon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_anchor && isVisible()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            relayout();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QRect TAssistantBalloon::desktopRect() const
{
    if (m_desktopOverride)
        return *m_desktopOverride;
    QScreen* s = nullptr;
    if (m_anchor && m_anchor->isVisible())
        s = m_anchor->screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 800, 600);
}

void TAssistantBalloon::relayout()
{
    const QFont font = m_options->Font();
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font);
    const QFontMetrics fmBold(bold);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, m_options->Color());
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    QPalette panel = m_zoomPanel->palette();
    panel.setColor(QPalette::Window, m_options->BorderColor());
    m_zoomPanel->setPalette(panel);

    // Icon and title.
    const bool hasIcon = !m_content.icon.isNull();
    QSize iconSize;
    if (hasIcon) {
        iconSize = QSize(32, 32);
        m_icon->setPixmap(m_content.icon.pixmap(iconSize));
    }
    m_icon->setVisible(hasIcon);
    m_title->setFont(bold);
    m_title->setText(m_content.title);
    m_title->setVisible(!m_content.title.isEmpty());
    const QSize titleSize = m_content.title.isEmpty()
        ? QSize()
        : QSize(fmBold.horizontalAdvance(m_content.title), fmBold.height());

    // Buttons: one width for all.
    const auto shown = balloon::buttonsOf(m_content.buttons);
    std::vector<int> widths;
    for (const auto& b : shown)
        widths.push_back(fm.horizontalAdvance(balloon::stripMnemonic(b.caption)));
    m_buttonWidth = balloon::buttonWidth(widths);
    const int buttonHeight = balloon::buttonHeight(fm.height());

    m_text->setFont(font);
    m_text->setText(m_content.text);
    const QString text = displayText(m_content.text);

    balloon::LayoutInput in;
    in.icon = iconSize;
    in.title = titleSize;
    in.buttonCount = int(shown.size());
    in.buttonWidth = m_buttonWidth;
    in.buttonHeight = buttonHeight;
    in.rtl = isRightToLeft();
    in.measureText = [&](int wrap) {
        if (text.isEmpty())
            return QSize(0, 0);
        return fm.boundingRect(QRect(0, 0, wrap, 1 << 20), kTextFlags, text).size();
    };
    m_layout = balloon::layoutMessage(in);

    std::optional<QRect> anchorRect;
    if (m_anchor && m_anchor->isVisible())
        anchorRect = QRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    m_placement = balloon::place({anchorRect, desktopRect(), m_layout.size, m_content.kind, in.rtl});
    const QPoint off = m_placement.body.topLeft();

    if (hasIcon)
        m_icon->setGeometry(m_layout.icon.translated(off));
    m_title->setGeometry(m_layout.title.translated(off));
    m_text->setGeometry(m_layout.text.translated(off));
    m_divider->setVisible(!shown.empty());
    if (!shown.empty())
        m_divider->setGeometry(m_layout.divider.translated(off));
    const auto& specs = balloon::messageButtons();
    size_t slot = 0;
    for (size_t i = 0; i < specs.size(); ++i) {
        QPushButton* b = m_buttons[i];
        const bool on = m_content.buttons & specs[i].flag;
        b->setFont(font);
        b->setVisible(on);
        if (!on)
            continue;
        b->setGeometry(m_layout.buttons[slot++].translated(off));
        b->setEnabled(specs[i].flag != mbHelp || m_content.helpEnabled);
    }

    setGeometry(m_placement.window);
    m_zoomPanel->setGeometry(rect());
    buildShape();
    if (m_zoomStage == 0 || m_zoomStage == 3)
        applyMask(m_shape);
    update();
}

void TAssistantBalloon::buildShape()
{
    // Painted into a bitmap without antialiasing: the window mask has hard
    // edges anyway, and this keeps the rounded corners symmetric.
    const QSize s = m_placement.window.size();
    QBitmap bits(s);
    bits.fill(Qt::color0);
    {
        QPainter p(&bits);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::color1);
        const qreal r = balloon::kCornerDiameter / 2.0;
        p.drawRoundedRect(m_placement.body, r, r);
        if (m_placement.side != balloon::TailSide::None) {
            if (m_content.kind == balloon::Kind::Thought) {
                for (const auto& c : m_placement.circles)
                    p.drawEllipse(c.centre, c.radius, c.radius);
            } else {
                // With an outline, so the thin tip keeps its last pixels.
                const QPoint pts[3] = {m_placement.triangle[0], m_placement.triangle[1], m_placement.triangle[2]};
                p.setPen(QPen(Qt::color1, 0));
                p.drawPolygon(pts, 3);
                p.setPen(Qt::NoPen);
            }
        }
    }
    m_shape = QRegion(bits);
    // The border is the outermost pixel ring of the shape, so the mask never
    // cuts half of it away.
    const QRegion inner = m_shape.intersected(m_shape.translated(1, 0))
                              .intersected(m_shape.translated(-1, 0))
                              .intersected(m_shape.translated(0, 1))
                              .intersected(m_shape.translated(0, -1));
    m_border = m_shape.subtracted(inner);
}

void TAssistantBalloon::applyMask(const QRegion& r)
{
    setMask(r);
}

void TAssistantBalloon::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_options->Color());
    p.setClipRegion(m_border);
    p.fillRect(rect(), m_options->BorderColor());
}

void TAssistantBalloon::popup()
{
    m_zoomTimer.stop();
    relayout();
    m_zoomStage = 1;
    m_zoomPanel->setGeometry(rect());
    m_zoomPanel->raise();
    m_zoomPanel->show();
    const QRect outline = balloon::zoomOutline(m_placement.body, 20);
    applyMask(QRegion(outline).subtracted(QRegion(outline.adjusted(1, 1, -1, -1))));
    show();
    raise();
    m_zoomTimer.start();
}

void TAssistantBalloon::zoomStep()
{
    if (!isVisible())
        return;
    if (m_zoomStage == 1) {
        m_zoomStage = 2;
        const QRect outline = balloon::zoomOutline(m_placement.body, 40);
        applyMask(QRegion(outline).subtracted(QRegion(outline.adjusted(1, 1, -1, -1))));
        m_zoomTimer.start();
        return;
    }
    m_zoomStage = 3;
    m_zoomPanel->hide();
    applyMask(m_shape);
    raise();
    if (m_content.buttons) {
        // A message's buttons take the keyboard.
        activateWindow();
        MsgDlgBtn f = balloon::focusedButton(m_content.buttons);
        QPushButton* b = f ? button(f) : nullptr;
        if (!b) {
            for (const auto& spec : balloon::buttonsOf(m_content.buttons))
                if (button(spec.flag)->isEnabled()) {
                    b = button(spec.flag);
                    break;
                }
        }
        if (b) {
            b->setDefault(true);
            b->setFocus(Qt::OtherFocusReason);
        }
    }
    update();
    emit balloonShown();
}

void TAssistantBalloon::hideBalloon()
{
    m_zoomTimer.stop();
    m_awaiting = false;
    hide();
}

void TAssistantBalloon::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    if (e->spontaneous())
        return;
    m_zoomTimer.stop();
    m_zoomStage = 0;
    m_zoomPanel->hide();
    for (QPushButton* b : m_buttons)
        b->setDefault(false);
    emit balloonHidden();
}

void TAssistantBalloon::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TAssistantBalloon::closeEvent(QCloseEvent* e)
{
    if (m_awaiting) {
        const MsgDlgBtn cancel = balloon::cancelButton(m_content.buttons);
        if (!(m_content.buttons & cancel)) {
            // Nothing may stand for an answer: keep waiting.
            e->ignore();
            return;
        }
        e->ignore();
        emit resultChosen(balloon::resultOf(cancel));
        return;
    }
    e->accept();
    m_zoomTimer.stop();
}

} // namespace vedomec
