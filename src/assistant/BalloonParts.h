#pragma once
// The widgets a balloon is made of, besides plain labels and buttons: the
// text, the guide's topic buttons and request box, and the tip icon.
#include <QAbstractButton>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>
#include <functional>

namespace vedomec::balloon {

// The balloon's texts break lines at carriage returns.
QString displayText(QString text);

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

// A flat button in the radio-button style whose caption wraps: the guide's
// topics, and (without the circle) its two page links.
class TopicButton final : public QAbstractButton {
public:
    static constexpr int Indicator = 11;
    static constexpr int Gap = 5;

    TopicButton(bool circle, QWidget* parent) : QAbstractButton(parent), m_circle(circle)
    {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
    }

    // As tall as the caption wrapped at the given button width.
    static int heightFor(const QFontMetrics& fm, const QString& caption, int width, bool circle)
    {
        const int w = std::max(1, circle ? width - Indicator - Gap : width);
        const int h = fm.boundingRect(QRect(0, 0, w, 1 << 20), Qt::TextWordWrap, caption).height();
        return std::max(h, circle ? Indicator : 0);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool hot = isEnabled() && (underMouse() || isDown());
        const QColor ink = !isEnabled() ? palette().color(QPalette::Disabled, QPalette::WindowText)
            : hot                       ? QColor(0, 0, 160)
                                        : palette().color(QPalette::WindowText);
        const bool rtl = isRightToLeft();
        QRect textRect = rect();
        if (m_circle) {
            const int top = (fontMetrics().height() - Indicator) / 2;
            const int x = rtl ? width() - Indicator : 0;
            const QRectF circle(x + 0.5, top + 0.5, Indicator - 1, Indicator - 1);
            p.setPen(QPen(ink, 1));
            p.setBrush(Qt::white);
            p.drawEllipse(circle);
            if (hot) {
                p.setPen(Qt::NoPen);
                p.setBrush(ink);
                p.drawEllipse(circle.adjusted(3, 3, -3, -3));
            }
            textRect.adjust(rtl ? 0 : Indicator + Gap, 0, rtl ? -(Indicator + Gap) : 0, 0);
        }
        QFont f = font();
        f.setUnderline(hot || !m_circle);
        p.setFont(f);
        p.setPen(ink);
        // Topics wrap; a page link is one line.
        const int flags = (m_circle ? Qt::TextWordWrap : Qt::TextSingleLine) | Qt::AlignTop
            | (rtl ? Qt::AlignRight : Qt::AlignLeft);
        p.drawText(textRect, flags, text());
        if (hasFocus()) {
            p.setRenderHint(QPainter::Antialiasing, false);
            QPen dots(ink, 1, Qt::DotLine);
            p.setPen(dots);
            p.setBrush(Qt::NoBrush);
            const QRect used = p.boundingRect(textRect, flags, text()) & rect();
            p.drawRect(used.adjusted(0, 0, -1, -1));
        }
    }
    void enterEvent(QEnterEvent* e) override
    {
        QAbstractButton::enterEvent(e);
        update();
    }
    void leaveEvent(QEvent* e) override
    {
        QAbstractButton::leaveEvent(e);
        update();
    }

private:
    bool m_circle;
};

// The one-line memo of the guide: Enter searches instead of breaking the
// line, Tab moves on.
class RequestBox final : public QPlainTextEdit {
public:
    explicit RequestBox(QWidget* parent) : QPlainTextEdit(parent)
    {
        setTabChangesFocus(true);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setFrameShape(QFrame::Box);
        setLineWidth(1);
        document()->setDocumentMargin(1);
    }
    std::function<void()> onEnter;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            if (onEnter)
                onEnter();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        // One line: pasted line breaks become spaces.
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        insertPlainText(text);
    }
};

// The light bulb of the tips balloon.
QIcon drawTipIcon();

} // namespace vedomec::balloon
