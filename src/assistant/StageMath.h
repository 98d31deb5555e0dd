#pragma once
// Where the stage draws its picture, and which of its pixels make up the
// character's outline.  Pure geometry, tested alone.
#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace vedomec::stage {

// The rectangle a frame is drawn into on an area: its own size, or - with
// `stretch`, or when it is wider or taller than the area - scaled by the
// smaller of the two ratios keeping its proportions; centred, halves
// rounded toward zero.
QRect fitFrame(QSize area, QSize frame, bool stretch);

// Top left corner of a picture centred on an area (halves toward zero, so a
// picture larger than the area starts left of and above it).
QPoint centred(QSize area, QSize picture);

// One rectangle, one pixel high, per run of pixels whose colour (0xRRGGBB,
// the top byte ignored) is not `background`, scanline by scanline from the
// top, left to right.  `pixels` holds `height` rows of `width` 32-bit
// pixels, `stride` pixels apart.
std::vector<QRect> outlineRuns(const quint32* pixels, int width, int height, qsizetype stride, quint32 background);

} // namespace vedomec::stage
