#include "BalloonParts.h"

#include <QPainterPath>
#include <QPixmap>

namespace vedomec::balloon {

QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QIcon drawTipIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Rays.
    p.setPen(QPen(QColor(0xe8, 0xb9, 0x23), 2, Qt::SolidLine, Qt::RoundCap));
    for (const QLineF& ray : {QLineF(16, 1, 16, 4), QLineF(4, 6, 6.5, 8.5), QLineF(28, 6, 25.5, 8.5),
                              QLineF(1, 15, 4, 15), QLineF(31, 15, 28, 15)})
        p.drawLine(ray);
    // Glass.
    QRadialGradient glass(QPointF(13, 11), 11);
    glass.setColorAt(0, QColor(0xff, 0xfd, 0xe0));
    glass.setColorAt(1, QColor(0xf5, 0xd0, 0x40));
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x10), 1.2));
    p.setBrush(glass);
    QPainterPath bulb;
    bulb.moveTo(12, 23);
    bulb.cubicTo(12, 19, 7, 17, 7, 13);
    bulb.cubicTo(7, 8, 11, 5.5, 16, 5.5);
    bulb.cubicTo(21, 5.5, 25, 8, 25, 13);
    bulb.cubicTo(25, 17, 20, 19, 20, 23);
    bulb.closeSubpath();
    p.drawPath(bulb);
    // Filament.
    p.setPen(QPen(QColor(0xc0, 0x70, 0x10), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(13.5, 22), QPointF(13.5, 15), QPointF(15, 13), QPointF(16, 15),
                              QPointF(17, 13), QPointF(18.5, 15), QPointF(18.5, 22)}));
    // Screw base.
    p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
    p.setBrush(QColor(0xb8, 0xb8, 0xc0));
    p.drawRoundedRect(QRectF(11.5, 23, 9, 6), 1.5, 1.5);
    p.drawLine(QPointF(11.5, 25), QPointF(20.5, 25));
    p.drawLine(QPointF(11.5, 27), QPointF(20.5, 27));
    p.setBrush(QColor(0x50, 0x50, 0x58));
    p.drawEllipse(QRectF(14, 29, 4, 2.5));
    p.end();
    return QIcon(pm);
}

} // namespace vedomec::balloon
