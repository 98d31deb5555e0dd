#pragma once
// The arithmetic behind the gradient panel and the caption button: colour
// ramp, band geometry, bevel lines, caption placement and mouse hit codes.
// Kept free of widgets so it can be checked on its own.
#include <QObject>
#include <QtGlobal>

#include <array>
#include <vector>

namespace vedomec::controls {
Q_NAMESPACE

// A colour as the form files store it: 0x00BBGGRR.
using TColor = quint32;

constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clAqua = 0x00FFFF00;   // RGB(0, 255, 255)
constexpr TColor clTeal = 0x00808000;   // RGB(0, 128, 128)
constexpr TColor clGray = 0x00808080;   // RGB(128, 128, 128)
constexpr TColor clBlue = 0x00FF0000;   // RGB(0, 0, 255)
constexpr TColor clRed = 0x000000FF;    // RGB(255, 0, 0)
constexpr TColor clBtnFaceRGB = 0x00C8D0D4; // the classic button face, RGB(212, 208, 200)

enum TDirection {
    bdFlat, bdStretchImage, bdTileImage, bdUp, bdDown, bdLeft, bdRight,
    bdHorzIn, bdHorzOut, bdVertIn, bdVertOut
};
enum TTextEffect { tenone, teShadow, teRaised, teLowered, teEmbossed };
enum TTextRotation { trNone, TrUp, TrDown };
enum TVertAlign { vlTop, vlCenter, VlBottom };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBevelCut { bvNone, bvLowered, bvRaised };
// Forms store these by name.
Q_ENUM_NS(TDirection)
Q_ENUM_NS(TTextEffect)
Q_ENUM_NS(TTextRotation)
Q_ENUM_NS(TVertAlign)
Q_ENUM_NS(TAlignment)
Q_ENUM_NS(TBevelCut)

// Multiply then divide, rounding half away from zero; -1 when c is 0
// (the platform's MulDiv).
int MulDiv(int a, int b, int c);

// 100 colours from `from` toward `to`: entry i = trunc(from + (to-from)/100*i)
// per channel, in extended precision like the original arithmetic, so `to`
// itself is never reached.
using Ramp = std::array<TColor, 100>;
Ramp ColorRamp(TColor from, TColor to);

// One band of a gradient fill: the half-open range [begin, end) of rows
// (horizontal bands) or columns (vertical stripes) painted in ramp[entry].
struct Band {
    int begin = 0;
    int end = 0;
    int entry = 0;
};

bool IsGradient(TDirection d);
// True when the bands run across the height (rows), false for stripes.
bool IsHorizontalBands(TDirection d);
// True when the ramp goes from ColorEnd to ColorStart.
bool IsReversed(TDirection d);
// The 100 bands of a gradient effect over a panel `extent` pixels high
// (horizontal bands) or wide (stripes).  Bands may be empty.
std::vector<Band> GradientBands(TDirection d, int extent);

// A one-pixel line of the bevel, end points inclusive, and whether it is
// drawn in the light (white) or the dark (grey) colour.
struct BevelLine {
    int x1, y1, x2, y2;
    bool light;
};
// Lines of the outer and inner bevels over a W x H panel, in drawing order.
std::vector<BevelLine> BevelLines(int w, int h, TBevelCut outer, TBevelCut inner,
                                  int bevelWidth, int borderWidth);
// Inset of the picture modes: 2 x bevel width + border width with Ctl3D.
int ImageInset(bool ctl3d, int bevelWidth, int borderWidth);

// Where the caption goes: reference point and which end of the text it marks
// (the reference is always the top of the text cell).
enum class TextAnchor { Left, Right, Center };
struct CaptionPlace {
    int x = 0;
    int y = 0;
    TextAnchor anchor = TextAnchor::Center;
};
// t is the text height of "^_" in the panel's font.
CaptionPlace CaptionLayout(TAlignment align, TVertAlign valign, TTextRotation rot,
                           int w, int h, int borderWidth, int bevelWidth, int t);

// Layers of the caption for a text effect, drawn in order.
enum class LayerColor { Shadow, Black, Font };
struct TextLayer {
    int dx, dy;
    LayerColor color;
};
std::vector<TextLayer> TextEffectLayers(TTextEffect e);

// Mouse hit codes, with the platform's values.
enum HitCode {
    HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTLEFT = 10, HTRIGHT = 11,
    HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15,
    HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17, HTBORDER = 18
};
// Hit test of a panel w x h at client point (x, y); a panel that is not
// moveable answers HTNOWHERE.
HitCode PanelHitTest(bool moveable, int marge, int w, int h, int x, int y);

} // namespace vedomec::controls
