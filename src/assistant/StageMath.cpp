#include "StageMath.h"

namespace vedomec::stage {

QRect fitFrame(QSize area, QSize frame, bool stretch)
{
    if (frame.isEmpty() || area.isEmpty())
        return QRect(centred(area, frame), frame);
    int w = frame.width();
    int h = frame.height();
    if (stretch || w > area.width() || h > area.height()) {
        // Compare area.w / frame.w with area.h / frame.h without division.
        if (qint64(area.width()) * frame.height() <= qint64(area.height()) * frame.width()) {
            w = area.width();
            h = int(qint64(frame.height()) * area.width() / frame.width());
        } else {
            h = area.height();
            w = int(qint64(frame.width()) * area.height() / frame.height());
        }
    }
    return QRect(centred(area, QSize(w, h)), QSize(w, h));
}

QPoint centred(QSize area, QSize picture)
{
    return QPoint((area.width() - picture.width()) / 2, (area.height() - picture.height()) / 2);
}

std::vector<QRect> outlineRuns(const quint32* pixels, int width, int height, qsizetype stride, quint32 background)
{
    std::vector<QRect> runs;
    background &= 0xFFFFFF;
    for (int y = 0; y < height; ++y) {
        const quint32* row = pixels + y * stride;
        int x = 0;
        while (x < width) {
            while (x < width && (row[x] & 0xFFFFFF) == background)
                ++x;
            const int start = x;
            while (x < width && (row[x] & 0xFFFFFF) != background)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    return runs;
}

} // namespace vedomec::stage
