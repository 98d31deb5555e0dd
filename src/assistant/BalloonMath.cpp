#include "BalloonMath.h"

#include <algorithm>

namespace vedomec::balloon {

const std::array<ButtonSpec, 11>& messageButtons()
{
    static const std::array<ButtonSpec, 11> table {{
        {mbYes, QStringLiteral("&Ano"), mrYes, QStringLiteral("BalloonButtonYes")},
        {mbNo, QStringLiteral("&Ne"), mrNo, QStringLiteral("BalloonButtonNo")},
        {mbOK, QStringLiteral("&OK"), mrOk, QStringLiteral("BalloonButtonOK")},
        {mbCancel, QStringLiteral("Zpět"), mrCancel, QStringLiteral("BalloonButtonCancel")},
        {mbAbort, QStringLiteral("&Přerušit"), mrAbort, QStringLiteral("BalloonButtonAbort")},
        {mbRetry, QStringLiteral("Opa&kovat"), mrRetry, QStringLiteral("BalloonButtonRetry")},
        {mbIgnore, QStringLiteral("&Ignorovat"), mrIgnore, QStringLiteral("BalloonButtonIgnore")},
        {mbAll, QStringLiteral("Vše"), mrAll, QStringLiteral("BalloonButtonAll")},
        {mbNoToAll, QStringLiteral("Nic"), mrNoToAll, QStringLiteral("BalloonButtonNoToAll")},
        {mbYesToAll, QStringLiteral("Ano vše"), mrYesToAll, QStringLiteral("BalloonButtonYesToAll")},
        {mbHelp, QStringLiteral("&Pomoc"), mrNone, QStringLiteral("BalloonButtonHelp")},
    }};
    return table;
}

std::vector<ButtonSpec> buttonsOf(MsgDlgButtons set)
{
    std::vector<ButtonSpec> out;
    for (const ButtonSpec& b : messageButtons())
        if (set & b.flag)
            out.push_back(b);
    return out;
}

MsgDlgBtn focusedButton(MsgDlgButtons set)
{
    for (MsgDlgBtn b : {mbOK, mbYes, mbRetry})
        if (set & b)
            return b;
    return MsgDlgBtn(0);
}

MsgDlgBtn cancelButton(MsgDlgButtons set)
{
    if (set & mbCancel)
        return mbCancel;
    if (set & mbNo)
        return mbNo;
    return mbOK;
}

int resultOf(MsgDlgBtn button)
{
    for (const ButtonSpec& b : messageButtons())
        if (b.flag == button)
            return b.result;
    return mrNone;
}

int buttonWidth(const std::vector<int>& captionWidths)
{
    int widest = 0;
    for (int w : captionWidths)
        widest = std::max(widest, w);
    return std::max(kMinButtonWidth, widest + kButtonExtra);
}

int buttonHeight(int textHeight)
{
    return textHeight < 10 ? 20 : textHeight + 10;
}

QString stripMnemonic(const QString& caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
                out += QLatin1Char('&'), ++i;
            continue;
        }
        out += caption[i];
    }
    return out;
}

Layout layoutMessage(const LayoutInput& in)
{
    Layout l;
    const bool hasIcon = !in.icon.isEmpty();
    const bool hasTitle = !in.title.isEmpty();
    const int n = std::max(0, in.buttonCount);
    const int rowWidth = n > 0 ? n * in.buttonWidth + (n - 1) * kButtonGap : 0;
    int headWidth = 0;
    if (hasIcon)
        headWidth = in.icon.width() + (hasTitle ? kMargin + in.title.width() : 0);
    else if (hasTitle)
        headWidth = in.title.width();

    l.wrapWidth = std::max({kWrapWidth, rowWidth, headWidth});
    QSize text = in.measureText ? in.measureText(l.wrapWidth) : QSize();
    if (text.width() > l.wrapWidth) {
        // A word longer than a line (a file's or a folder's name) widens the
        // balloon: it would otherwise run out of it, cut.
        l.wrapWidth = text.width();
        text = in.measureText(l.wrapWidth);
    }
    l.contentWidth = std::max({std::min(text.width(), l.wrapWidth), rowWidth, headWidth, kMinContentWidth});
    // The text is drawn at the content width: its lines are counted there.
    if (in.measureText && l.contentWidth != l.wrapWidth)
        text.setHeight(std::max(text.height(), in.measureText(l.contentWidth).height()));
    const int width = l.contentWidth + 2 * kMargin;

    // Head: the icon at the top corner, the bold title beside it, sharing
    // its bottom line.
    int textTop = kMargin;
    if (hasIcon) {
        const int x = in.rtl ? width - kMargin - in.icon.width() : kMargin;
        l.icon = QRect(QPoint(x, kMargin), in.icon);
        textTop = l.icon.bottom() + 1 + 2 * kMargin;
        if (hasTitle) {
            const int tx = in.rtl ? x - kMargin - in.title.width() : l.icon.right() + 1 + kMargin;
            const int ty = std::max(kMargin, l.icon.bottom() + 1 - in.title.height());
            l.title = QRect(QPoint(tx, ty), in.title);
            textTop = std::max(textTop, l.title.bottom() + 1 + 2 * kMargin);
        }
    } else if (hasTitle) {
        const int tx = in.rtl ? width - kMargin - in.title.width() : kMargin;
        l.title = QRect(QPoint(tx, kMargin), in.title);
        textTop = l.title.bottom() + 1 + kMargin;
    }

    l.text = QRect(kMargin, textTop, l.contentWidth, std::max(0, text.height()));
    int bottom = l.text.bottom() + 1;
    if (n > 0) {
        l.divider = QRect(kMargin, bottom + kMargin, l.contentWidth, kDividerHeight);
        const int top = l.divider.bottom() + 1 + kMargin;
        const int left = kMargin + (l.contentWidth - rowWidth) / 2;
        for (int i = 0; i < n; ++i) {
            const int slot = in.rtl ? n - 1 - i : i;
            l.buttons.emplace_back(left + slot * (in.buttonWidth + kButtonGap), top, in.buttonWidth, in.buttonHeight);
        }
        bottom = top + in.buttonHeight;
    }
    l.size = QSize(width, bottom + kMargin);
    return l;
}

namespace {

// Exclusive right and bottom edges keep the arithmetic free of the
// off-by-one of QRect::right().
int rightOf(const QRect& r) { return r.x() + r.width(); }
int bottomOf(const QRect& r) { return r.y() + r.height(); }

void clampInto(QRect& w, const QRect& desktop)
{
    if (w.x() <= desktop.x())
        w.moveLeft(desktop.x() + 1);
    if (w.y() <= desktop.y())
        w.moveTop(desktop.y() + 1);
    if (rightOf(w) > rightOf(desktop))
        w.moveLeft(rightOf(desktop) - w.width());
    if (bottomOf(w) > bottomOf(desktop))
        w.moveTop(bottomOf(desktop) - w.height());
}

std::vector<Circle> thoughtCircles(QPoint bodyEdge, QPoint direction)
{
    // From the body towards the anchor: radius 9, 7, 5 with small gaps,
    // all clear of the strip that overlaps the anchor.
    std::vector<Circle> out;
    int d = 9 + 1;
    out.push_back({bodyEdge + direction * d, 9});
    d += 9 + 2 + 7;
    out.push_back({bodyEdge + direction * d, 7});
    d += 7 + 2 + 5;
    out.push_back({bodyEdge + direction * d, 5});
    return out;
}

} // namespace

Placement place(const PlacementInput& in)
{
    Placement p;
    const int w = in.size.width();
    const int h = in.size.height();
    const QRect& d = in.desktop;
    const int tail = in.kind == Kind::Thought ? kThoughtTail : kSpeechTail;

    if (!in.anchor) {
        p.window = QRect(d.x() + (d.width() - w) / 2, d.y() + (d.height() - h) / 2, w, h);
        clampInto(p.window, d);
        p.body = QRect(0, 0, w, h);
        return p;
    }

    const QRect a = *in.anchor;
    const int aLeft = a.x(), aTop = a.y(), aRight = rightOf(a), aBottom = bottomOf(a);
    const int above = aTop - d.y();
    const int below = bottomOf(d) - aBottom;
    const int left = aLeft - d.x();
    const int right = rightOf(d) - aRight;

    const bool beside = ((in.kind == Kind::Tips || above < h + tail) && std::max(left, right) >= w + tail)
        || (above < h + tail && below < h + tail);

    if (beside) {
        const bool toRight = in.rtl ? (left < right && left < w + tail)
                                    : !(right < left && right < w + tail);
        const int topToAnchorBottom = aBottom - d.y();
        const bool bottomAligned = (topToAnchorBottom > bottomOf(d) - aTop && topToAnchorBottom < h) || aTop < d.y();
        const int y = bottomAligned ? aBottom - h : aTop;
        if (toRight) {
            p.window = QRect(aRight - kAnchorOverlap, y, w + tail, h);
            p.body = QRect(tail, 0, w, h);
            p.side = TailSide::Left;
            p.position = bottomAligned ? 4 : 3;
        } else {
            p.window = QRect(aLeft + kAnchorOverlap - (w + tail), y, w + tail, h);
            p.body = QRect(0, 0, w, h);
            p.side = TailSide::Right;
            p.position = bottomAligned ? 7 : 8;
        }
    } else {
        const bool isBelow = above < below && above < h + tail;
        bool alignRight;
        if (!in.rtl) {
            const int room = rightOf(d) - aLeft;
            alignRight = room < aRight - d.x() && room < w;
        } else {
            const int room = aRight - d.x();
            alignRight = !(room < rightOf(d) - aLeft && room < w);
        }
        const int x = alignRight ? aRight - w : aLeft;
        if (isBelow) {
            p.window = QRect(x, aBottom - kAnchorOverlap, w, h + tail);
            p.body = QRect(0, tail, w, h);
            p.side = TailSide::Top;
            p.position = alignRight ? 5 : 6;
        } else {
            p.window = QRect(x, aTop + kAnchorOverlap - (h + tail), w, h + tail);
            p.body = QRect(0, 0, w, h);
            p.side = TailSide::Bottom;
            p.position = alignRight ? 2 : 1;
        }
    }
    clampInto(p.window, d);

    // The tail, in window coordinates.
    const int half = kTailBase / 2;
    if (p.side == TailSide::Top || p.side == TailSide::Bottom) {
        const int ax0 = aLeft - p.window.x();
        const int ax1 = aRight - p.window.x();
        int x = ax0 + (ax1 - ax0) * 2 / 3;
        x = std::min(x, w * 3 / 4);
        x = std::max(x, kCornerDiameter + half);
        x = std::min(x, w - kCornerDiameter - half);
        // Keep the tip over the part of the anchor that the window covers.
        const int vis0 = std::max(ax0, 0), vis1 = std::min(ax1, w) - 1;
        if (vis0 <= vis1)
            x = std::clamp(x, vis0, vis1);
        if (p.side == TailSide::Bottom) {
            const int edge = p.body.bottom();
            p.triangle = {QPoint(x - half, edge), QPoint(x + half, edge), QPoint(x, p.window.height() - 1)};
            if (in.kind == Kind::Thought)
                p.circles = thoughtCircles(QPoint(x, edge), QPoint(0, 1));
        } else {
            const int edge = p.body.top();
            p.triangle = {QPoint(x - half, edge), QPoint(x + half, edge), QPoint(x, 0)};
            if (in.kind == Kind::Thought)
                p.circles = thoughtCircles(QPoint(x, edge), QPoint(0, -1));
        }
    } else {
        int y = kSideTailTop + half;
        if (h < 2 * (kSideTailTop + half))
            y = h / 2;
        if (p.side == TailSide::Left) {
            const int edge = p.body.left();
            p.triangle = {QPoint(edge, y - half), QPoint(edge, y + half), QPoint(0, y)};
            if (in.kind == Kind::Thought)
                p.circles = thoughtCircles(QPoint(edge, y), QPoint(-1, 0));
        } else {
            const int edge = p.body.right();
            p.triangle = {QPoint(edge, y - half), QPoint(edge, y + half), QPoint(p.window.width() - 1, y)};
            if (in.kind == Kind::Thought)
                p.circles = thoughtCircles(QPoint(edge, y), QPoint(1, 0));
        }
    }
    if (in.kind == Kind::Thought)
        p.triangle = {};
    return p;
}

TipsLayout layoutTips(const TipsLayoutInput& in)
{
    TipsLayout l;
    const int n = std::max(0, in.buttonCount);
    const int rowWidth = n > 0 ? n * in.buttonWidth + (n - 1) * kButtonGap : 0;
    const int wrap = std::max({kTipsWrapWidth, rowWidth, std::min(in.widestTip, kTipsMaxWrapWidth)});
    const int indent = std::clamp(in.indent, 0, wrap - 1);
    const QSize text = in.measureText ? in.measureText(wrap - indent) : QSize();
    const int iconReach = in.icon.isEmpty() ? 0 : kTipIconInset + in.icon.width() - kMargin;
    l.contentWidth = std::max({std::min(indent + text.width(), wrap), rowWidth, iconReach, kMinContentWidth});
    const int width = l.contentWidth + 2 * kMargin;

    int bottom = kMargin;
    if (!in.icon.isEmpty()) {
        const int x = in.rtl ? width - kTipIconInset - in.icon.width() : kTipIconInset;
        l.icon = QRect(QPoint(x, kMargin), in.icon);
        bottom = l.icon.y() + l.icon.height();
    }
    l.text = QRect(in.rtl ? kMargin : kMargin + indent, kMargin, l.contentWidth - indent, std::max(0, text.height()));
    bottom = std::max(bottom, l.text.y() + l.text.height());
    if (n > 0) {
        const int top = bottom + kMargin;
        for (int i = 0; i < n; ++i) {
            const int step = i * (in.buttonWidth + kButtonGap);
            const int x = in.rtl ? kMargin + step : width - kMargin - in.buttonWidth - step;
            l.buttons.emplace_back(x, top, in.buttonWidth, in.buttonHeight);
        }
        bottom = top + in.buttonHeight;
    }
    l.size = QSize(width, bottom + kMargin);
    return l;
}

TopicPage pageTopics(const std::vector<int>& heights, int first, int linkHeight)
{
    TopicPage p;
    const int n = int(heights.size());
    if (n == 0)
        return p;
    first = std::clamp(first, 0, n - 1);
    int y = 0;
    if (first > 0) {
        p.backLink = true;
        p.backTop = 0;
        y = linkHeight + kTopicGap;
    }
    int i = first;
    for (; i < n; ++i) {
        const int h = std::max(0, heights[size_t(i)]);
        if (i > first && y + h + kTopicGap > kTopicsAreaHeight)
            break;
        p.topics.emplace_back(i, QRect(0, y, 0, h));
        y += h + kTopicGap;
    }
    p.next = i;
    if (i < n) {
        p.moreLink = true;
        p.moreTop = y;
        y += linkHeight + kTopicGap;
    }
    p.height = y - kTopicGap;
    return p;
}

GuideLayout layoutGuide(const GuideLayoutInput& in)
{
    GuideLayout l;
    const int n = std::max(0, in.commandCount);
    const int rowWidth = n > 0 ? n * in.buttonWidth + (n - 1) * kButtonGap : 0;
    // The description wraps at the width everything else needs anyway, so
    // that it is drawn as it was measured.
    const int others = std::max({in.title.width(), rowWidth, in.search ? in.searchWidth : 0,
                                 in.topicCount > 0 ? in.link.width() : 0, kMinContentWidth});
    const int wrap = std::max(kGuideWrapWidth, others);
    const QSize text = in.measureText ? in.measureText(wrap) : QSize();
    l.contentWidth = std::max(std::min(text.width(), wrap), others);
    const int cw = l.contentWidth;
    const int width = cw + 2 * kMargin;
    auto leading = [&](int w) { return in.rtl ? width - kMargin - w : kMargin; };

    // `top` is where the next part starts; every part ends 7 pixels above it.
    int top = kMargin;
    bool head = false;
    if (!in.title.isEmpty()) {
        l.title = QRect(QPoint(leading(in.title.width()), top), in.title);
        top += in.title.height() + kMargin;
        head = true;
    }
    if (!text.isEmpty() && text.height() > 0) {
        l.text = QRect(kMargin, top, cw, text.height());
        top += text.height() + kMargin;
        head = true;
    }
    if (in.topicCount > 0) {
        std::vector<int> heights;
        heights.reserve(size_t(in.topicCount));
        for (int i = 0; i < in.topicCount; ++i)
            heights.push_back(in.topicHeight ? in.topicHeight(i, cw) : 0);
        l.page = pageTopics(heights, in.pageStart, in.link.height());
        for (auto& [index, r] : l.page.topics)
            r = QRect(kMargin, top + r.y(), cw, r.height());
        if (l.page.backLink)
            l.backLink = QRect(QPoint(leading(in.link.width()), top + l.page.backTop), in.link);
        if (l.page.moreLink)
            l.moreLink = QRect(QPoint(leading(in.link.width()), top + l.page.moreTop), in.link);
        top += l.page.height + kMargin;
        head = true;
    }
    bool above = head;
    if (in.requestBox || in.search) {
        if (above) {
            l.divider1 = QRect(kMargin, top, cw, kDividerHeight);
            top += kDividerHeight + kMargin;
        }
        if (in.requestBox) {
            l.request = QRect(kMargin, top, cw, in.requestHeight);
            top += in.requestHeight + (in.search ? kSearchGap : kMargin);
        }
        if (in.search) {
            l.search = QRect(kMargin + (cw - in.searchWidth) / 2, top, in.searchWidth, in.buttonHeight);
            top += in.buttonHeight + kMargin;
        }
        above = true;
    }
    if (n > 0) {
        if (above) {
            l.divider2 = QRect(kMargin, top, cw, kDividerHeight);
            top += kDividerHeight + kMargin;
        }
        const int left = kMargin + (cw - rowWidth) / 2;
        for (int i = 0; i < n; ++i) {
            const int slot = in.rtl ? n - 1 - i : i;
            l.commands.emplace_back(left + slot * (in.buttonWidth + kButtonGap), top, in.buttonWidth, in.buttonHeight);
        }
        top += in.buttonHeight + kMargin;
    }
    l.size = QSize(width, std::max(top, 2 * kMargin));
    return l;
}

QRect zoomOutline(const QRect& body, int percent)
{
    const int w = body.width() * percent / 100;
    const int h = body.height() * percent / 100;
    return QRect(body.x() + (body.width() - w) / 2, body.y() + (body.height() - h) / 2, std::max(w, 1), std::max(h, 1));
}

} // namespace vedomec::balloon
