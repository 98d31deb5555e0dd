// The gradient panel as it appears on screen: colours read back from the
// rendered pixels, caption placement, bevels and the moveable panel.
#include "controls/Gradpan.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

using namespace vedomec::controls;

namespace {

QImage render(TGradPan& p)
{
    return p.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString rgbAt(const QImage& img, int x, int y)
{
    const QColor c = img.pixelColor(x, y);
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

QString rgb(TColor c)
{
    return QStringLiteral("%1,%2,%3").arg(GetRValue(c)).arg(GetGValue(c)).arg(GetBValue(c));
}

// A plain panel with no bevel, so every pixel is background.
void plain(TGradPan& p, int w, int h, TDirection d, TColor from, TColor to)
{
    p.resize(w, h);
    p.setBevelOuter(bvNone);
    p.setBackGroundEffect(d);
    p.setColorStart(toQColor(from));
    p.setColorEnd(toQColor(to));
}

// Bounding box of the pixels that differ from `background`.
QRect inkBox(const QImage& img, const QColor& background)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != background)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

} // namespace

class TestGradPan : public QObject {
    Q_OBJECT
private slots:
    void defaults()
    {
        TGradPan p;
        QCOMPARE(p.BackGroundEffect(), bdVertIn);
        QCOMPARE(p.ColorStart(), QColor(0, 128, 128));
        QCOMPARE(p.ColorEnd(), QColor(255, 255, 255));
        QCOMPARE(p.ColorShadow(), QColor(128, 128, 128));
        QCOMPARE(p.Ctl3D(), false);
        QCOMPARE(p.TextEffect(), teShadow);
        QCOMPARE(p.TextRotation(), trNone);
        QCOMPARE(p.VertAlign(), vlCenter);
        QCOMPARE(p.Marge(), 6);
        QCOMPARE(p.Moveable(), false);
        // The default picture: a white 50 x 50 square with a black frame.
        const QImage b = p.Bitmap().toImage();
        QCOMPARE(b.size(), QSize(50, 50));
        QCOMPARE(b.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(b.pixelColor(49, 25), QColor(Qt::black));
        QCOMPARE(b.pixelColor(25, 25), QColor(Qt::white));
        // Forms name the effects.
        QVERIFY(p.setProperty("BackGroundEffect", QStringLiteral("bdUp")));
        QCOMPARE(p.BackGroundEffect(), bdUp);
    }

    void aquaToWhiteUp()
    {
        TGradPan p;
        plain(p, 46, 200, bdUp, clAqua, clWhite);
        const QImage img = render(p);
        QCOMPARE(rgbAt(img, 0, 0), QStringLiteral("0,255,255"));
        QCOMPARE(rgbAt(img, 45, 1), QStringLiteral("0,255,255"));
        // Entry 99 is 252.45 truncated: never pure white.
        QCOMPARE(rgbAt(img, 0, 199), QStringLiteral("252,255,255"));
        QCOMPARE(rgbAt(img, 45, 198), QStringLiteral("252,255,255"));
        // Rows grow lighter downwards, and every row is one colour.
        for (int y = 1; y < 200; ++y) {
            QVERIFY(img.pixelColor(0, y).red() >= img.pixelColor(0, y - 1).red());
            QCOMPARE(img.pixelColor(45, y), img.pixelColor(0, y));
        }
    }

    void fiftyPixelPanelSkipsBands()
    {
        TGradPan p;
        plain(p, 20, 50, bdUp, clAqua, clWhite);
        const QImage img = render(p);
        const Ramp ramp = ColorRamp(clAqua, clWhite);
        // Only every other band has a row of its own.
        for (int y = 0; y < 50; ++y)
            QCOMPARE(rgbAt(img, 10, y), rgb(ramp[2 * y]));
        QCOMPARE(rgbAt(img, 10, 49), QStringLiteral("249,255,255")); // entry 98
    }

    void otherDirections()
    {
        const Ramp ramp = ColorRamp(clBlack, clWhite);
        const Ramp back = ColorRamp(clWhite, clBlack);
        TGradPan p;

        plain(p, 100, 100, bdDown, clBlack, clWhite);
        QImage img = render(p);
        QCOMPARE(rgbAt(img, 50, 0), rgb(back[0]));
        QCOMPARE(rgbAt(img, 50, 99), rgb(back[99]));

        plain(p, 100, 100, bdLeft, clBlack, clWhite);
        img = render(p);
        QCOMPARE(rgbAt(img, 0, 50), rgb(ramp[0]));
        QCOMPARE(rgbAt(img, 99, 50), rgb(ramp[99]));
        QCOMPARE(img.pixelColor(37, 0), img.pixelColor(37, 99)); // stripes run the full height

        plain(p, 100, 100, bdRight, clBlack, clWhite);
        img = render(p);
        QCOMPARE(rgbAt(img, 0, 50), rgb(back[0]));
        QCOMPARE(rgbAt(img, 99, 50), rgb(back[99]));

        // "In": the edges near the first colour, the middle near the second.
        plain(p, 100, 100, bdHorzIn, clBlack, clWhite);
        img = render(p);
        QCOMPARE(rgbAt(img, 50, 0), rgb(ramp[1]));
        QCOMPARE(rgbAt(img, 50, 49), rgb(ramp[99]));
        QCOMPARE(rgbAt(img, 50, 50), rgb(ramp[98]));
        QCOMPARE(rgbAt(img, 50, 99), rgb(ramp[0]));

        plain(p, 100, 100, bdHorzOut, clBlack, clWhite);
        img = render(p);
        QCOMPARE(rgbAt(img, 50, 0), rgb(back[1]));
        QCOMPARE(rgbAt(img, 50, 99), rgb(back[0]));

        plain(p, 100, 100, bdVertIn, clBlack, clWhite);
        img = render(p);
        QCOMPARE(rgbAt(img, 0, 50), rgb(ramp[1]));
        QCOMPARE(rgbAt(img, 49, 50), rgb(ramp[99]));
        QCOMPARE(rgbAt(img, 99, 50), rgb(ramp[0]));

        plain(p, 100, 100, bdVertOut, clBlack, clWhite);
        img = render(p);
        QCOMPARE(rgbAt(img, 0, 50), rgb(back[1]));
        QCOMPARE(rgbAt(img, 99, 50), rgb(back[0]));
    }

    void flatAndPictures()
    {
        TGradPan p;
        plain(p, 60, 40, bdFlat, clRed, clWhite);
        QImage img = render(p);
        QCOMPARE(inkBox(img, QColor(255, 0, 0)), QRect());

        // No picture: the image modes fall back to the flat fill.
        p.setBitmap(QPixmap());
        for (TDirection d : {bdStretchImage, bdTileImage}) {
            p.setBackGroundEffect(d);
            img = render(p);
            QCOMPARE(inkBox(img, QColor(255, 0, 0)), QRect());
        }

        // Tiles: the default picture repeats every 50 pixels from (0, 0).
        TGradPan t;
        plain(t, 120, 60, bdTileImage, clRed, clWhite);
        img = render(t);
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(50, 10), QColor(Qt::black));
        QCOMPARE(img.pixelColor(100, 55), QColor(Qt::black));
        QCOMPARE(img.pixelColor(25, 25), QColor(Qt::white));

        // Stretched into (0,0)-(W-1,H-1): the last column and row keep the panel colour.
        TGradPan s;
        plain(s, 100, 80, bdStretchImage, clRed, clWhite);
        s.setColor(QColor(0, 0, 255));
        img = render(s);
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(50, 40), QColor(Qt::white));
        QCOMPARE(img.pixelColor(99, 40), QColor(0, 0, 255));
        QCOMPARE(img.pixelColor(50, 79), QColor(0, 0, 255));
        QCOMPARE(img.pixelColor(98, 40), QColor(Qt::black));
    }

    void bevelsOnTop()
    {
        TGradPan p;
        plain(p, 40, 30, bdFlat, clAqua, clWhite);
        p.setBevelOuter(bvRaised);
        p.setBevelWidth(2);
        QImage img = render(p);
        const QColor white(255, 255, 255), grey(128, 128, 128), aqua(0, 255, 255);
        QCOMPARE(img.pixelColor(10, 0), white);
        QCOMPARE(img.pixelColor(10, 1), white);
        QCOMPARE(img.pixelColor(0, 10), white);
        QCOMPARE(img.pixelColor(10, 29), grey);
        QCOMPARE(img.pixelColor(10, 28), grey);
        QCOMPARE(img.pixelColor(39, 10), grey);
        QCOMPARE(img.pixelColor(10, 2), aqua);
        p.setBevelOuter(bvLowered);
        img = render(p);
        QCOMPARE(img.pixelColor(10, 0), grey);
        QCOMPARE(img.pixelColor(39, 10), white);
        // The dialogs' strip: no outer bevel, so the gradient reaches the edge.
        p.setBevelOuter(bvNone);
        img = render(p);
        QCOMPARE(inkBox(img, aqua), QRect());
    }

    void captionDrawnWithShadow()
    {
        TGradPan p;
        plain(p, 200, 60, bdFlat, clWhite, clWhite);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(20);
        p.setFont(f);
        p.setFontColor(QColor(255, 0, 0));
        p.setColorShadow(QColor(0, 0, 255));
        p.setCaption(QStringLiteral("Ahoj"));
        const QImage img = render(p);
        const QRect box = inkBox(img, Qt::white);
        QVERIFY(!box.isEmpty());
        // Centred around x = 100.
        QVERIFY(qAbs(box.center().x() - 100) <= 2);
        bool red = false, blue = false;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                red |= c == QColor(255, 0, 0);
                blue |= c == QColor(0, 0, 255);
            }
        QVERIFY(red);
        QVERIFY(blue);
    }

    void rotatedCaption()
    {
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(16);
        const QString text = QStringLiteral("Vedomec");
        for (TTextRotation r : {TrUp, TrDown}) {
            TGradPan p;
            plain(p, 60, 200, bdFlat, clWhite, clWhite);
            p.setFont(f);
            p.setTextEffect(tenone);
            p.setTextRotation(r);
            p.setAlignment(taLeftJustify);
            p.setVertAlign(vlTop);
            p.setCaption(text);
            const QRect box = inkBox(render(p), Qt::white);
            QVERIFY2(box.height() > 2 * box.width(), "rotated text runs down the panel");
            const int t = QFontMetrics(f).ascent() + QFontMetrics(f).descent();
            if (r == TrUp) {
                // Left: the text column starts at B + 2 = 3 and ends at the top reference.
                QVERIFY(box.left() >= 3 && box.right() <= 3 + t);
                QVERIFY(box.top() >= 3 - QFontMetrics(f).horizontalAdvance(text) - 1);
            } else {
                // Left: the column ends at T + B + 1; the text starts at B + 1 = 2.
                QVERIFY(box.right() <= t + 2 && box.left() >= 2);
                QVERIFY(box.top() >= 2 && box.top() <= 6);
            }
        }
    }

    void noCaptionDrawsOnlyBackground()
    {
        TGradPan p;
        plain(p, 80, 40, bdFlat, clAqua, clWhite);
        p.setCaption(QString());
        p.setTextEffect(teEmbossed);
        QCOMPARE(inkBox(render(p), QColor(0, 255, 255)), QRect());
    }

    void moveablePanel()
    {
        QWidget host;
        host.resize(300, 300);
        auto* p = new TGradPan(&host);
        p->setGeometry(50, 50, 100, 80);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        // Not moveable: no hit anywhere, a drag does nothing.
        QCOMPARE(int(p->HitTest(QPoint(50, 40))), int(HTNOWHERE));
        QTest::mousePress(p, Qt::LeftButton, {}, QPoint(50, 40));
        QTest::mouseMove(p, QPoint(70, 60));
        QTest::mouseRelease(p, Qt::LeftButton, {}, QPoint(70, 60));
        QCOMPARE(p->geometry(), QRect(50, 50, 100, 80));

        p->setMoveable(true);
        QCOMPARE(int(p->HitTest(QPoint(50, 40))), int(HTCAPTION));
        QCOMPARE(int(p->HitTest(QPoint(2, 2))), int(HTTOPLEFT));
        QCOMPARE(int(p->HitTest(QPoint(97, 40))), int(HTRIGHT));

        QSignalSpy moved(p, &TGradPan::OnPanelMove);
        // Drag from the middle moves it.
        QTest::mousePress(p, Qt::LeftButton, {}, QPoint(50, 40));
        QMouseEvent move(QEvent::MouseMove, QPointF(60, 45), p->mapToGlobal(QPointF(60, 45)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(p, &move);
        QTest::mouseRelease(p, Qt::LeftButton, {}, QPoint(60, 45));
        QCOMPARE(p->geometry(), QRect(60, 55, 100, 80));
        QVERIFY(moved.count() >= 1);
        QCOMPARE(moved.first().first().value<QObject*>(), p);

        // Drag from the right edge resizes it.
        QTest::mousePress(p, Qt::LeftButton, {}, QPoint(98, 40));
        QMouseEvent grow(QEvent::MouseMove, QPointF(118, 40), p->mapToGlobal(QPointF(118, 40)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(p, &grow);
        QTest::mouseRelease(p, Qt::LeftButton, {}, QPoint(118, 40));
        QCOMPARE(p->geometry(), QRect(60, 55, 120, 80));
    }

    void panelMoveSignal()
    {
        TGradPan p;
        QSignalSpy spy(&p, &TGradPan::OnPanelMove);
        p.move(10, 10);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        spy.clear();
        p.move(30, 40);
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestGradPan)
#include "tst_gradpan.moc"
