// vedomec-mkicon: draws the program's SVG icon into a square PNG of the
// given size, so that the build makes every size the icon theme needs from
// the one drawing.
//
//   vedomec-mkicon ICON.svg SIZE OUTPUT.png
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vedomec-mkicon ICON.svg SIZE OUTPUT.png\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int size = QByteArray(argv[2]).toInt();
    if (!svg.isValid() || size < 16 || size > 1024) {
        std::fprintf(stderr, "vedomec-mkicon: cannot draw %s at size %s\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p, QRectF(0, 0, size, size));
    }
    // Written under a temporary name first: a failed run leaves no half PNG
    // for the next build to take as done.
    const QString out = QString::fromLocal8Bit(argv[3]);
    const QString tmp = out + QStringLiteral(".tmp");
    QFile::remove(tmp);
    if (!image.save(tmp, "PNG") || !(QFile::remove(out) || !QFile::exists(out)) || !QFile::rename(tmp, out)) {
        QFile::remove(tmp);
        std::fprintf(stderr, "vedomec-mkicon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
