#include "controls/GradMath.h"

#include <cmath>
#include <cstdlib>

namespace vedomec::controls {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const qint64 p = qint64(a) * qint64(b);
    const bool negative = (p < 0) != (c < 0);
    const qint64 ap = p < 0 ? -p : p;
    const qint64 ac = c < 0 ? -qint64(c) : qint64(c);
    const qint64 r = (ap + ac / 2) / ac;
    return int(negative ? -r : r);
}

namespace {
int rampChannel(int from, int to, int i)
{
    // The division comes first and the sum is truncated toward zero, in the
    // 80-bit arithmetic the stored forms were drawn with.
    const long double v = static_cast<long double>(from)
        + static_cast<long double>(to - from) / 100.0L * static_cast<long double>(i);
    return int(std::trunc(v));
}
} // namespace

Ramp ColorRamp(TColor from, TColor to)
{
    Ramp ramp{};
    for (int i = 0; i < 100; ++i) {
        ramp[i] = RGBColor(rampChannel(GetRValue(from), GetRValue(to), i),
                           rampChannel(GetGValue(from), GetGValue(to), i),
                           rampChannel(GetBValue(from), GetBValue(to), i));
    }
    return ramp;
}

bool IsGradient(TDirection d)
{
    return d >= bdUp && d <= bdVertOut;
}

bool IsHorizontalBands(TDirection d)
{
    return d == bdUp || d == bdDown || d == bdHorzIn || d == bdHorzOut;
}

bool IsReversed(TDirection d)
{
    return d == bdDown || d == bdRight || d == bdHorzOut || d == bdVertOut;
}

std::vector<Band> GradientBands(TDirection d, int extent)
{
    std::vector<Band> bands;
    if (!IsGradient(d))
        return bands;
    const bool mirrored = d == bdHorzIn || d == bdHorzOut || d == bdVertIn || d == bdVertOut;
    bands.reserve(100);
    for (int k = 0; k < 100; ++k) {
        Band b;
        b.begin = MulDiv(k, extent, 100);
        b.end = MulDiv(k + 1, extent, 100);
        if (!mirrored)
            b.entry = k;
        else
            b.entry = k < 50 ? 2 * k + 1 : 2 * (99 - k);
        bands.push_back(b);
    }
    return bands;
}

namespace {
// The four sides of one bevel over the rectangle at (o, o) of size w x h.
void addBevel(std::vector<BevelLine>& out, int o, int w, int h, TBevelCut cut, int bevelWidth)
{
    const bool raised = cut == bvRaised;
    auto add = [&out](int x1, int y1, int x2, int y2, bool light) {
        if (x2 >= x1 && y2 >= y1)
            out.push_back({x1, y1, x2, y2, light});
    };
    for (int i = 0; i < bevelWidth; ++i) {
        // A line stops one pixel short of its end point.
        add(o + i, o + i, o + w - 1, o + i, raised);
        add(o + i, o + i, o + i, o + h - 1, raised);
        add(o + i, o + h - i - 1, o + w - i - 1, o + h - i - 1, !raised);
        add(o + w - i - 1, o + i + 1, o + w - i - 1, o + h - i - 1, !raised);
    }
}
} // namespace

std::vector<BevelLine> BevelLines(int w, int h, TBevelCut outer, TBevelCut inner,
                                  int bevelWidth, int borderWidth)
{
    std::vector<BevelLine> lines;
    if (outer != bvNone)
        addBevel(lines, 0, w, h, outer, bevelWidth);
    if (inner != bvNone) {
        const int d = borderWidth + (outer != bvNone ? bevelWidth : 1);
        addBevel(lines, d, w - 2 * d, h - 2 * d, inner, bevelWidth);
    }
    return lines;
}

int ImageInset(bool ctl3d, int bevelWidth, int borderWidth)
{
    return ctl3d ? 2 * bevelWidth + borderWidth : 0;
}

CaptionPlace CaptionLayout(TAlignment align, TVertAlign valign, TTextRotation rot,
                           int w, int h, int borderWidth, int bevelWidth, int t)
{
    const int b = borderWidth + bevelWidth;
    CaptionPlace p;
    switch (rot) {
    case trNone:
        switch (align) {
        case taLeftJustify: p.x = b + 2; p.anchor = TextAnchor::Left; break;
        case taRightJustify: p.x = w - b - 2; p.anchor = TextAnchor::Right; break;
        case taCenter: p.x = w / 2; p.anchor = TextAnchor::Center; break;
        }
        switch (valign) {
        case vlTop: p.y = b + 2; break;
        case vlCenter: p.y = h / 2 - t / 2; break;
        case VlBottom: p.y = h - b - t - 1; break;
        }
        break;
    case TrUp:
        switch (align) {
        case taLeftJustify: p.x = b + 2; break;
        case taRightJustify: p.x = w - b - t - 1; break;
        case taCenter: p.x = w / 2 - t / 2; break;
        }
        switch (valign) {
        case vlTop: p.y = b + 2; p.anchor = TextAnchor::Right; break;
        case vlCenter: p.y = h / 2 - t / 2; p.anchor = TextAnchor::Center; break;
        case VlBottom: p.y = h - b - 1; p.anchor = TextAnchor::Left; break;
        }
        break;
    case TrDown:
        switch (align) {
        case taLeftJustify: p.x = t + b + 1; break;
        case taRightJustify: p.x = w - b - 2; break;
        case taCenter: p.x = t / 2 + w / 2; break;
        }
        switch (valign) {
        case vlTop: p.y = b + 1; p.anchor = TextAnchor::Left; break;
        case vlCenter: p.y = h / 2 - t / 2; p.anchor = TextAnchor::Center; break;
        case VlBottom: p.y = h - b - 2; p.anchor = TextAnchor::Right; break;
        }
        break;
    }
    return p;
}

std::vector<TextLayer> TextEffectLayers(TTextEffect e)
{
    using L = LayerColor;
    switch (e) {
    case tenone:
        return {{0, 0, L::Font}};
    case teShadow:
        return {{1, 1, L::Shadow}, {0, 0, L::Font}};
    case teRaised:
        return {{-1, 0, L::Shadow}, {0, -1, L::Shadow}, {1, 0, L::Black}, {0, 1, L::Black}, {0, 0, L::Font}};
    case teLowered:
        return {{1, 0, L::Shadow}, {0, 1, L::Shadow}, {-1, 0, L::Black}, {0, -1, L::Black}, {0, 0, L::Font}};
    case teEmbossed:
        return {{-1, 0, L::Shadow}, {1, 0, L::Shadow}, {0, -1, L::Shadow}, {0, 1, L::Shadow}, {0, 0, L::Font}};
    }
    return {{0, 0, L::Font}};
}

HitCode PanelHitTest(bool moveable, int marge, int w, int h, int x, int y)
{
    if (!moveable)
        return HTNOWHERE;
    const bool left = x < marge;
    const bool right = w - x < marge;
    const bool top = y < marge;
    const bool bottom = h - y < marge;
    if (left && top)
        return HTTOPLEFT;
    if (left && bottom)
        return HTBOTTOMLEFT;
    if (right && top)
        return HTTOPRIGHT;
    if (right && bottom)
        return HTBOTTOMRIGHT;
    if (left)
        return HTLEFT;
    if (right)
        return HTRIGHT;
    if (top)
        return HTTOP;
    if (bottom)
        return HTBOTTOM;
    return HTCAPTION;
}

} // namespace vedomec::controls
