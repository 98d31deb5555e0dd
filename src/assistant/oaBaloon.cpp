#include "oaBaloon.h"

#include "BalloonParts.h"
#include "controls/Accessible.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>

#include <algorithm>
#include <functional>

namespace vedomec {

using balloon::BalloonText;
using balloon::displayText;
using balloon::drawTipIcon;
using balloon::kTextFlags;
using balloon::RequestBox;
using balloon::TopicButton;

TAssistantBalloon::TAssistantBalloon(TBalloonOptions* options, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_options(options)
{
    controls::InstallAccessibility();
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

    // Tips.
    m_tipIcon = drawTipIcon();
    m_tipsBack = makeButton(QStringLiteral("&Předchozí"), "TipsBack");
    m_tipsNext = makeButton(QStringLiteral("&Další"), "TipsNext");
    m_tipsClose = makeButton(QStringLiteral("Zavřít"), "TipsClose");
    connect(m_tipsBack, &QPushButton::clicked, this, [this] { emit tipsStep(-1); });
    connect(m_tipsNext, &QPushButton::clicked, this, [this] { emit tipsStep(+1); });
    connect(m_tipsClose, &QPushButton::clicked, this, &TAssistantBalloon::hideBalloon);

    // Guide.
    m_backPage = new TopicButton(false, this);
    m_backPage->setObjectName(QStringLiteral("GuideBackPage"));
    m_backPage->setText(QStringLiteral("Ukázat předchozí..."));
    m_backPage->hide();
    m_nextPage = new TopicButton(false, this);
    m_nextPage->setObjectName(QStringLiteral("GuideNextPage"));
    m_nextPage->setText(QStringLiteral("Ukázat více..."));
    m_nextPage->hide();
    connect(m_backPage, &QAbstractButton::clicked, this, [this] {
        if (m_pageStarts.size() > 1)
            m_pageStarts.pop_back();
        relayout();
        if (!m_topics.empty() && m_topics.front()->isVisible())
            m_topics[size_t(guidePageStart())]->setFocus(Qt::OtherFocusReason);
    });
    connect(m_nextPage, &QAbstractButton::clicked, this, [this] {
        if (m_guideLayout.page.moreLink)
            m_pageStarts.push_back(m_guideLayout.page.next);
        relayout();
        if (size_t(guidePageStart()) < m_topics.size())
            m_topics[size_t(guidePageStart())]->setFocus(Qt::OtherFocusReason);
    });
    auto* request = new RequestBox(this);
    request->setObjectName(QStringLiteral("GuideRequest"));
    request->onEnter = [this] { emit guideSearchClicked(); };
    request->hide();
    m_request = request;
    connect(m_request, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingRequest)
            emit guideRequestEdited(m_request->toPlainText());
    });
    m_search = makeButton(QStringLiteral("&Vyhledat"), "GuideSearch");
    connect(m_search, &QPushButton::clicked, this, &TAssistantBalloon::guideSearchClicked);
    m_divider2 = new QFrame(this);
    m_divider2->setObjectName(QStringLiteral("GuideDivider"));
    m_divider2->setFrameShape(QFrame::HLine);
    m_divider2->setFrameShadow(QFrame::Sunken);
    m_divider2->hide();
    m_guideTips = makeButton(QStringLiteral("&Tipy"), "GuideTips");
    m_guideOptions = makeButton(QStringLiteral("&Nastavení"), "GuideOptions");
    m_guideClose = makeButton(QStringLiteral("Zavřít"), "GuideClose");
    connect(m_guideTips, &QPushButton::clicked, this, &TAssistantBalloon::guideTipsClicked);
    connect(m_guideOptions, &QPushButton::clicked, this, &TAssistantBalloon::guideOptionsClicked);
    connect(m_guideClose, &QPushButton::clicked, this, &TAssistantBalloon::hideBalloon);

    m_autoClose.setSingleShot(true);
    connect(&m_autoClose, &QTimer::timeout, this, &TAssistantBalloon::hideBalloon);

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

QPushButton* TAssistantBalloon::makeButton(const QString& caption, const char* name)
{
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    b->hide();
    return b;
}

QAbstractButton* TAssistantBalloon::topicButton(int index)
{
    while (m_topics.size() <= size_t(index)) {
        const int i = int(m_topics.size());
        auto* b = new TopicButton(true, this);
        b->setObjectName(QStringLiteral("GuideTopic%1").arg(i));
        b->hide();
        connect(b, &QAbstractButton::clicked, this, [this, i] { emit guideTopicClicked(i); });
        // Keep the zoom panel above every part of the balloon.
        b->stackUnder(m_zoomPanel);
        m_topics.push_back(b);
    }
    return m_topics[size_t(index)];
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

    QPalette pal = palette();
    pal.setColor(QPalette::Window, m_options->Color());
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    QPalette panel = m_zoomPanel->palette();
    panel.setColor(QPalette::Window, m_options->BorderColor());
    m_zoomPanel->setPalette(panel);
    // The request box keeps a white field of its own.
    QPalette field = m_request->palette();
    field.setColor(QPalette::Base, Qt::white);
    field.setColor(QPalette::Text, Qt::black);
    m_request->setPalette(field);

    QSize body;
    switch (m_content.mode) {
    case bmTips: body = layoutTipsMode(font); break;
    case bmGuide: body = layoutGuideMode(font); break;
    default: body = layoutMessageMode(font); break;
    }

    std::optional<QRect> anchorRect;
    if (m_anchor && m_anchor->isVisible())
        anchorRect = QRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    m_placement = balloon::place({anchorRect, desktopRect(), body, m_content.kind, isRightToLeft()});
    placeChildren(m_placement.body.topLeft());

    setGeometry(m_placement.window);
    m_zoomPanel->setGeometry(rect());
    m_zoomPanel->raise();
    buildShape();
    if (m_zoomStage == 0 || m_zoomStage == 3)
        applyMask(m_shape);
    update();
    updateAccessibility();
}

QSize TAssistantBalloon::layoutMessageMode(const QFont& font)
{
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font);
    const QFontMetrics fmBold(bold);

    const bool hasIcon = !m_content.icon.isNull();
    QSize iconSize;
    if (hasIcon) {
        iconSize = QSize(32, 32);
        m_icon->setPixmap(m_content.icon.pixmap(iconSize));
    }
    m_title->setFont(bold);
    m_title->setText(m_content.title);
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
    return m_layout.size;
}

QSize TAssistantBalloon::layoutTipsMode(const QFont& font)
{
    const QFontMetrics fm(font);
    const QSize iconSize(32, 32);
    m_icon->setPixmap(m_tipIcon.pixmap(iconSize));
    // Every line of the tip stands in as far as the spaces that cover the
    // icon and its inset: a line that wraps does not run under the icon.
    const int space = std::max(1, fm.horizontalAdvance(QLatin1Char(' ')));
    const int spaces = (iconSize.width() + balloon::kTipIconInset + space - 1) / space;
    const int indent = fm.horizontalAdvance(QString(spaces, QLatin1Char(' ')));
    // Each tip measured on one line as the wrapping measures it, so that
    // the widest one fits the width made for it.
    auto oneLine = [&](const QString& t) {
        return fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), kTextFlags, displayText(t)).width() + 1;
    };
    int widest = 0;
    for (const QString& t : m_content.tipSet)
        widest = std::max(widest, indent + oneLine(t));
    m_text->setFont(font);
    m_text->setText(m_content.text);
    const QString text = displayText(m_content.text);

    std::vector<int> widths;
    for (QPushButton* b : {m_tipsClose, m_tipsNext, m_tipsBack})
        widths.push_back(fm.horizontalAdvance(balloon::stripMnemonic(b->text())));
    m_buttonWidth = balloon::buttonWidth(widths);
    int count = 0;
    for (int flag : {tbClose, tbNext, tbBack})
        count += (m_content.tipsButtons & flag) ? 1 : 0;

    balloon::TipsLayoutInput in;
    in.icon = iconSize;
    in.indent = indent;
    in.widestTip = widest;
    in.buttonCount = count;
    in.buttonWidth = m_buttonWidth;
    in.buttonHeight = balloon::buttonHeight(fm.height());
    in.rtl = isRightToLeft();
    in.measureText = [&](int wrap) { return fm.boundingRect(QRect(0, 0, wrap, 1 << 20), kTextFlags, text).size(); };
    m_tipsLayout = balloon::layoutTips(in);
    return m_tipsLayout.size;
}

QSize TAssistantBalloon::layoutGuideMode(const QFont& font)
{
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics fm(font);
    const QFontMetrics fmBold(bold);

    m_title->setFont(bold);
    m_title->setText(m_content.title);
    m_text->setFont(font);
    m_text->setText(m_content.text);
    const QString text = displayText(m_content.text);

    const int topicCount = int(m_content.topics.size());
    if (guidePageStart() >= topicCount)
        resetGuidePage();
    for (int i = 0; i < topicCount; ++i) {
        QAbstractButton* b = topicButton(i);
        b->setFont(font);
        b->setText(m_content.topics[i]);
    }
    for (QAbstractButton* link : {m_backPage, m_nextPage})
        link->setFont(font);

    std::vector<int> widths;
    for (QPushButton* b : {m_guideTips, m_guideOptions, m_guideClose, m_search})
        widths.push_back(fm.horizontalAdvance(balloon::stripMnemonic(b->text())));
    m_buttonWidth = balloon::buttonWidth(widths);
    int commands = 0;
    for (int flag : {gbTips, gbOptions, gbClose})
        commands += (m_content.guideButtons & flag) ? 1 : 0;

    balloon::GuideLayoutInput in;
    if (!m_content.title.isEmpty())
        in.title = QSize(fmBold.horizontalAdvance(m_content.title), fmBold.height());
    in.measureText = [&](int wrap) {
        if (text.isEmpty())
            return QSize(0, 0);
        return fm.boundingRect(QRect(0, 0, wrap, 1 << 20), kTextFlags, text).size();
    };
    in.topicCount = topicCount;
    in.pageStart = guidePageStart();
    in.topicHeight = [&](int i, int width) {
        return TopicButton::heightFor(fm, m_content.topics[i], width, true);
    };
    in.link = QSize(std::max(fm.horizontalAdvance(m_backPage->text()), fm.horizontalAdvance(m_nextPage->text())),
                    fm.height());
    in.requestBox = m_content.requestBox;
    in.requestHeight = 2 * fm.lineSpacing() + 4;
    in.search = m_content.guideButtons & gbSearch;
    in.searchWidth = m_buttonWidth;
    in.commandCount = commands;
    in.buttonWidth = m_buttonWidth;
    in.buttonHeight = balloon::buttonHeight(fm.height());
    in.rtl = isRightToLeft();
    m_guideLayout = balloon::layoutGuide(in);
    return m_guideLayout.size;
}

void TAssistantBalloon::placeChildren(QPoint off)
{
    const int mode = m_content.mode;
    const bool tips = mode == bmTips;
    const bool guide = mode == bmGuide;
    const bool message = !tips && !guide;
    const QFont font = m_options->Font();

    // Parts every mode may use.
    if (message) {
        m_icon->setVisible(!m_content.icon.isNull());
        if (m_icon->isVisibleTo(this))
            m_icon->setGeometry(m_layout.icon.translated(off));
        m_title->setVisible(!m_content.title.isEmpty());
        m_title->setGeometry(m_layout.title.translated(off));
        m_text->setGeometry(m_layout.text.translated(off));
        m_divider->setVisible(m_content.buttons != 0);
        if (m_content.buttons)
            m_divider->setGeometry(m_layout.divider.translated(off));
    } else if (tips) {
        m_icon->setVisible(true);
        m_icon->setGeometry(m_tipsLayout.icon.translated(off));
        m_title->setVisible(false);
        m_text->setGeometry(m_tipsLayout.text.translated(off));
        m_divider->setVisible(false);
    } else {
        m_icon->setVisible(false);
        m_title->setVisible(!m_content.title.isEmpty());
        m_title->setGeometry(m_guideLayout.title.translated(off));
        m_text->setVisible(!m_guideLayout.text.isEmpty());
        m_text->setGeometry(m_guideLayout.text.translated(off));
        m_divider->setVisible(!m_guideLayout.divider1.isEmpty());
        m_divider->setGeometry(m_guideLayout.divider1.translated(off));
    }
    if (!guide)
        m_text->setVisible(true);

    // Message buttons.
    const auto& specs = balloon::messageButtons();
    size_t slot = 0;
    for (size_t i = 0; i < specs.size(); ++i) {
        QPushButton* b = m_buttons[i];
        const bool on = message && (m_content.buttons & specs[i].flag);
        b->setFont(font);
        b->setVisible(on);
        if (!on)
            continue;
        b->setGeometry(m_layout.buttons[slot++].translated(off));
        b->setEnabled(specs[i].flag != mbHelp || m_content.helpEnabled);
    }

    // Tips buttons, from the far edge inwards: close, next, back.
    slot = 0;
    const std::pair<QPushButton*, int> tipButtons[] = {{m_tipsClose, tbClose}, {m_tipsNext, tbNext}, {m_tipsBack, tbBack}};
    for (auto [b, flag] : tipButtons) {
        const bool on = tips && (m_content.tipsButtons & flag);
        b->setFont(font);
        b->setVisible(on);
        if (on)
            b->setGeometry(m_tipsLayout.buttons[slot++].translated(off));
    }
    m_tipsNext->setEnabled(m_content.nextEnabled);
    m_tipsBack->setEnabled(m_content.backEnabled);

    // Guide.
    std::vector<QWidget*> chain;
    for (size_t i = 0; i < m_topics.size(); ++i)
        m_topics[i]->hide();
    if (guide) {
        if (m_guideLayout.page.backLink)
            chain.push_back(m_backPage);
        for (const auto& [index, r] : m_guideLayout.page.topics) {
            QAbstractButton* b = m_topics[size_t(index)];
            b->setGeometry(r.translated(off));
            b->show();
            chain.push_back(b);
        }
        if (m_guideLayout.page.moreLink)
            chain.push_back(m_nextPage);
    }
    m_backPage->setVisible(guide && m_guideLayout.page.backLink);
    m_backPage->setGeometry(m_guideLayout.backLink.translated(off));
    m_nextPage->setVisible(guide && m_guideLayout.page.moreLink);
    m_nextPage->setGeometry(m_guideLayout.moreLink.translated(off));

    m_request->setVisible(guide && m_content.requestBox);
    if (guide) {
        m_request->setFont(font);
        m_request->setGeometry(m_guideLayout.request.translated(off));
        if (m_request->toPlainText() != m_content.request) {
            m_settingRequest = true;
            m_request->setPlainText(m_content.request);
            m_settingRequest = false;
        }
        if (m_content.requestBox)
            chain.push_back(m_request);
    }
    const bool search = guide && (m_content.guideButtons & gbSearch);
    m_search->setVisible(search);
    m_search->setFont(font);
    m_search->setEnabled(m_content.searchEnabled);
    if (search) {
        m_search->setGeometry(m_guideLayout.search.translated(off));
        chain.push_back(m_search);
    }
    m_divider2->setVisible(guide && !m_guideLayout.divider2.isEmpty());
    m_divider2->setGeometry(m_guideLayout.divider2.translated(off));
    slot = 0;
    const std::pair<QPushButton*, int> commands[] = {{m_guideTips, gbTips}, {m_guideOptions, gbOptions}, {m_guideClose, gbClose}};
    for (auto [b, flag] : commands) {
        const bool on = guide && (m_content.guideButtons & flag);
        b->setFont(font);
        b->setVisible(on);
        if (on) {
            b->setGeometry(m_guideLayout.commands[slot++].translated(off));
            chain.push_back(b);
        }
    }
    m_guideTips->setEnabled(m_content.tipsEnabled);
    m_guideOptions->setEnabled(m_content.optionsEnabled);
    for (size_t i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

bool TAssistantBalloon::hasSomethingToShow() const
{
    return m_placement.body.height() > 2 * balloon::kMargin;
}

void TAssistantBalloon::resetGuidePage()
{
    m_pageStarts = {0};
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
    m_autoClose.stop();
    m_dragHidden = false;
    if (QWidget* active = QApplication::activeWindow(); active && active != this)
        m_previousActive = active;
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
    // Read out before the keyboard lands on its button, which is read next.
    announce();
    takeKeyboard();
    if (m_content.timeoutMs > 0 && (m_content.mode == bmSpeech || m_content.mode == bmThought))
        m_autoClose.start(m_content.timeoutMs);
    update();
    emit balloonShown();
}

void TAssistantBalloon::takeKeyboard()
{
    // A balloon that must not take the keyboard gives it back at once
    // where a platform activates every window it shows.
    auto giveBack = [this] {
        if (isActiveWindow() && m_previousActive && m_previousActive != this)
            m_previousActive->activateWindow();
    };
    QWidget* focus = nullptr;
    switch (m_content.mode) {
    case bmTips:
        for (QPushButton* b : {m_tipsNext, m_tipsBack, m_tipsClose})
            if (b->isVisibleTo(this) && b->isEnabled()) {
                focus = b;
                break;
            }
        break;
    case bmGuide:
        if (m_request->isVisibleTo(this)) {
            m_request->selectAll();
            focus = m_request;
        } else {
            for (QWidget* w : findChildren<QWidget*>())
                if (w->isVisibleTo(this) && w->isEnabled() && w->focusPolicy() != Qt::NoFocus) {
                    focus = w;
                    break;
                }
        }
        break;
    case bmSpeech:
    case bmThought:
        // Free text never keeps the keyboard from the form in use.
        giveBack();
        return;
    default: {
        if (!m_content.buttons) {
            giveBack();
            return;
        }
        MsgDlgBtn f = balloon::focusedButton(m_content.buttons);
        QPushButton* b = f ? button(f) : nullptr;
        if (!b) {
            for (const auto& spec : balloon::buttonsOf(m_content.buttons))
                if (button(spec.flag)->isEnabled()) {
                    b = button(spec.flag);
                    break;
                }
        }
        if (b)
            b->setDefault(true);
        focus = b;
        break;
    }
    }
    activateWindow();
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
}

void TAssistantBalloon::hideBalloon()
{
    m_zoomTimer.stop();
    m_autoClose.stop();
    m_awaiting = false;
    m_dragHidden = false;
    hide();
}

void TAssistantBalloon::hideForDrag()
{
    if (!isVisible())
        return;
    m_dragHidden = true;
    m_zoomTimer.stop();
    m_autoClose.stop();
    hide();
}

void TAssistantBalloon::showAfterDrag()
{
    if (!m_dragHidden)
        return;
    m_dragHidden = false;
    m_zoomStage = 3;
    relayout();
    m_zoomPanel->hide();
    applyMask(m_shape);
    show();
    raise();
    takeKeyboard();
    if (m_content.timeoutMs > 0 && (m_content.mode == bmSpeech || m_content.mode == bmThought))
        m_autoClose.start(m_content.timeoutMs);
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
    // The keyboard goes back where it was taken from (F1 and the other
    // shortcuts of the main window work again).
    QWidget* active = QApplication::activeWindow();
    if (!m_dragHidden && m_previousActive && m_previousActive != this && m_previousActive->isVisible()
        && (active == this || !active))
        m_previousActive->activateWindow();
    if (!m_dragHidden)
        emit balloonHidden();
}

void TAssistantBalloon::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // Enter presses the button with the keyboard, as in any dialog (a
    // button of a plain window leaves Enter to its window).
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        auto* b = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        if (b && b->window() == this && b->isVisible() && b->isEnabled()) {
            b->click();
            return;
        }
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
