// The stage: its picture and outline from a known frame, the background
// modes, the border that comes with Transparent off, and the mouse.
#include "assistant/oaStage.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace vedomec;

namespace {

const QRgb Blue = qRgb(0, 0, 255);
const QRgb Red = qRgb(255, 0, 0);

// 4 x 3: '.' transparent, 'r' red, 'b' the stage's own blue.
QImage frameOf(const char* rows)
{
    QImage img(4, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const char c = rows[y * 4 + x];
            img.setPixel(x, y, c == '.' ? 0 : c == 'r' ? Red : Blue);
        }
    return img;
}

QRegion rows(std::initializer_list<QRect> rects)
{
    QRegion r;
    for (const QRect& rect : rects)
        r += rect;
    return r;
}

// The same pixels, however the rectangles are cut.
bool samePixels(const QRegion& a, const QRegion& b)
{
    return (a ^ b).isEmpty();
}

void send(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint local, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// The outline the offscreen platform keeps but cannot apply.
void quiet(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (!msg.startsWith(QLatin1String("This plugin does not support")))
        qt_message_output(type, ctx, msg);
}

struct Stage : TAssistantStage {
    Stage()
    {
        setColor(QColor(Blue));
        setAutoSize(false);
        resize(8, 6);
    }
};

} // namespace

class TestStage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qInstallMessageHandler(quiet); }

    void outlineOfAKnownFrame()
    {
        Stage stage;
        QVERIFY(stage.Transparent());
        stage.setFramePicture(frameOf(".rr."
                                      "r.rr"
                                      "rrrb"));
        // Centred at (2, 1) on 8 x 6; the transparent pixels show the
        // stage's colour and leave the outline, and so does a pixel of the
        // stage's own colour.
        const QRegion expected = rows({QRect(3, 1, 2, 1), QRect(2, 2, 1, 1), QRect(4, 2, 2, 1), QRect(2, 3, 3, 1)});
        QCOMPARE(stage.shapeRegion(), expected);
        QCOMPARE(stage.mask(), expected);
        const QImage& picture = stage.composed();
        QCOMPARE(picture.size(), QSize(8, 6));
        QCOMPARE(picture.pixel(2, 1), Blue | 0xFF000000);
        QCOMPARE(picture.pixel(3, 1), Red | 0xFF000000);
        QCOMPARE(picture.pixel(0, 0), Blue | 0xFF000000);
    }

    void stretchedFrame()
    {
        Stage stage;
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        stage.setStretch(true);
        stage.setFramePicture(frameOf("r..."
                                      "...."
                                      "...r"));
        // Twice the size, filling the 8 x 6 stage.
        QVERIFY(samePixels(stage.shapeRegion(), rows({QRect(0, 0, 2, 2), QRect(6, 4, 2, 2)})));
        // Larger than the stage is scaled down even without Stretch.
        stage.setStretch(false);
        stage.setAutoSize(false);
        stage.resize(2, 6);
        stage.setFramePicture(frameOf("rrrr"
                                      "rrrr"
                                      "rrrr"));
        QCOMPARE(stage.shapeRegion(), rows({QRect(0, 2, 2, 1)}));
    }

    void nothingButColourLeavesNoOutline()
    {
        Stage stage;
        stage.setFramePicture(frameOf("...."
                                      ".bb."
                                      "...."));
        QVERIFY(stage.shapeRegion().isEmpty());
        // Qt takes an empty mask for none at all: the window keeps one pixel
        // outside itself, so nothing of it shows.
        QVERIFY(!stage.mask().intersects(stage.rect()));
        stage.setFramePicture(QImage());
        QVERIFY(stage.shapeRegion().isEmpty());
    }

    void backgroundModes()
    {
        Stage stage;
        QImage bg(3, 2, QImage::Format_RGB32);
        bg.fill(Qt::green);
        bg.setPixel(0, 0, Red);
        stage.setBgPicture(bg);
        // Transparent: the background is not drawn.
        QCOMPARE(stage.composed().pixel(3, 0), Blue | 0xFF000000);
        stage.setTransparent(false);
        QVERIFY(stage.shapeRegion().isEmpty());
        QVERIFY(stage.mask().isEmpty());
        const QImage& tiled = stage.composed();
        QCOMPARE(tiled.pixel(3, 0), Red | 0xFF000000);
        QCOMPARE(tiled.pixel(6, 4), Red | 0xFF000000);
        QCOMPARE(tiled.pixel(7, 5), qRgb(0, 255, 0));
        stage.setBgMode(bmCentered); // at ((8 - 3) / 2, (6 - 2) / 2)
        QCOMPARE(stage.composed().pixel(2, 2), Red | 0xFF000000);
        QCOMPARE(stage.composed().pixel(0, 0), Blue | 0xFF000000);
        QCOMPARE(stage.composed().pixel(4, 3), qRgb(0, 255, 0));
        QCOMPARE(stage.composed().pixel(5, 3), Blue | 0xFF000000);
        stage.setBgMode(bmStretched);
        QCOMPARE(stage.composed().pixel(0, 0), Red | 0xFF000000);
        QCOMPARE(stage.composed().pixel(7, 5), qRgb(0, 255, 0));
        stage.setBgMode(bmNone);
        QCOMPARE(stage.composed().pixel(0, 0), Blue | 0xFF000000);
        // The frame goes over the background; its transparent pixels show it.
        stage.setBgMode(bmStretched);
        stage.setFramePicture(frameOf("...."
                                      ".r.."
                                      "...."));
        QCOMPARE(stage.composed().pixel(3, 2), Red | 0xFF000000);
        QCOMPARE(stage.composed().pixel(4, 2), qRgb(0, 255, 0));
    }

    void borderComesAndGoesWithTransparent()
    {
        Stage stage;
        stage.setFramePicture(frameOf("rrrr"
                                      "r..r"
                                      "rrrr"));
        stage.move(40, 30);
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        QSignalSpy changed(&stage, &TAssistantStage::stageBorderChanged);
        QVERIFY(stage.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(stage.windowFlags() & Qt::WindowStaysOnTopHint);
        stage.setTransparent(false);
        QCOMPARE(changed.count(), 1);
        QVERIFY(stage.isVisible());
        QVERIFY(!(stage.windowFlags() & Qt::FramelessWindowHint));
        QCOMPARE(stage.size(), QSize(8, 6));
        QVERIFY(stage.mask().isEmpty());
        stage.setTransparent(true);
        QCOMPARE(changed.count(), 2);
        QVERIFY(stage.isVisible());
        QVERIFY(stage.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(stage.size(), QSize(8, 6));
        QVERIFY(!stage.mask().isEmpty());
        stage.setStayOnTop(false);
        QVERIFY(!(stage.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(stage.isVisible());
    }

    void dragMovesTheStage()
    {
        TAssistantStage stage;
        QVERIFY(!stage.isEnabled());
        stage.setEnabled(true);
        stage.setAutoSize(true);
        stage.setActorFrameSize(QSize(60, 50));
        QCOMPARE(stage.size(), QSize(60, 50));
        stage.move(100, 100);
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        QSignalSpy start(&stage, &TAssistantStage::stageDragStart);
        QSignalSpy dragging(&stage, &TAssistantStage::stageDragging);
        QSignalSpy stop(&stage, &TAssistantStage::stageDragStop);
        QSignalSpy clicks(&stage, &TAssistantStage::stageClick);
        QSignalSpy ups(&stage, &TAssistantStage::stageMouseUp);
        const QPoint before = stage.pos();
        send(&stage, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(10, 10), Qt::LeftButton);
        // Events carry global positions; the stage follows the pointer.
        QMouseEvent move1(QEvent::MouseMove, QPointF(15, 12), QPointF(before + QPoint(15, 12)), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&stage, &move1);
        QCOMPARE(stage.pos(), before + QPoint(5, 2));
        QMouseEvent move2(QEvent::MouseMove, QPointF(10, 10), QPointF(before + QPoint(40, 30)), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&stage, &move2);
        QCOMPARE(stage.pos(), before + QPoint(30, 20));
        QCOMPARE(start.count(), 1);
        QCOMPARE(dragging.count(), 1);
        QCOMPARE(stop.count(), 0);
        send(&stage, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(10, 10), Qt::NoButton);
        QCOMPARE(stop.count(), 1);
        QCOMPARE(ups.count(), 1);
        QCOMPARE(ups[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
        // Released over the stage: a click as well.
        QCOMPARE(clicks.count(), 1);
        // A press and release that do not move: a click, no drag.
        send(&stage, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(5, 5), Qt::LeftButton);
        send(&stage, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(5, 5), Qt::NoButton);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(start.count(), 1);
        // Released outside the stage: no click.
        send(&stage, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(5, 5), Qt::LeftButton);
        send(&stage, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(-3, 5), Qt::NoButton);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(ups.count(), 3);
    }

    void doubleClickAndPopupMenu()
    {
        TAssistantStage stage;
        stage.setEnabled(true);
        QMenu menu;
        menu.addAction(QStringLiteral("Skrýt"));
        stage.setPopupMenu(&menu);
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        QSignalSpy doubles(&stage, &TAssistantStage::stageDblClick);
        QSignalSpy clicks(&stage, &TAssistantStage::stageClick);
        QSignalSpy ups(&stage, &TAssistantStage::stageMouseUp);
        send(&stage, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(5, 5), Qt::LeftButton);
        send(&stage, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(5, 5), Qt::NoButton);
        send(&stage, QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(5, 5), Qt::LeftButton);
        send(&stage, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(5, 5), Qt::NoButton);
        QCOMPARE(doubles.count(), 1);
        QCOMPARE(clicks.count(), 1); // the second release is no click
        QCOMPARE(ups.count(), 2);
        send(&stage, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(7, 8), Qt::NoButton);
        QCOMPARE(ups.count(), 3);
        QCOMPARE(ups[2][0].value<Qt::MouseButton>(), Qt::RightButton);
        QCOMPARE(ups[2][1].toPoint(), QPoint(7, 8));
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.pos(), stage.mapToGlobal(QPoint(7, 8)));
        menu.close();
        // The menu follows the reading direction.
        stage.setLayoutDirection(Qt::RightToLeft);
        QCOMPARE(menu.layoutDirection(), Qt::RightToLeft);
    }

    void disabledStageIgnoresTheMouse()
    {
        TAssistantStage stage;
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        QSignalSpy clicks(&stage, &TAssistantStage::stageClick);
        QSignalSpy start(&stage, &TAssistantStage::stageDragStart);
        const QPoint before = stage.pos();
        QTest::mousePress(&stage, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(&stage, QPoint(30, 30));
        QTest::mouseRelease(&stage, Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(start.count(), 0);
        QCOMPARE(stage.pos(), before);
    }

    void closeQueryDecides()
    {
        TAssistantStage stage;
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        bool allow = false;
        int asked = 0;
        connect(&stage, &TAssistantStage::stageCloseQuery, &stage, [&](bool* canClose) {
            ++asked;
            *canClose = allow;
        });
        QVERIFY(!stage.close());
        QVERIFY(stage.isVisible());
        allow = true;
        QVERIFY(stage.close());
        QVERIFY(!stage.isVisible());
        QCOMPARE(asked, 2);
    }

    void sizeRules()
    {
        TAssistantStage stage;
        // AutoSize: the actor's frame size, whatever is asked for.
        stage.setActorFrameSize(QSize(120, 128));
        QCOMPARE(stage.size(), QSize(120, 128));
        stage.resize(200, 200);
        QCOMPARE(stage.size(), QSize(120, 128));
        // Without: the owner decides.
        stage.setAutoSize(false);
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        int asks = 0;
        connect(&stage, &TAssistantStage::stageCanResize, &stage, [&](int* w, int* h, bool* resize) {
            ++asks;
            if (*w > 300)
                *resize = false;
            else if (*w < 50)
                *w = 50;
            Q_UNUSED(h);
        });
        stage.resize(200, 180);
        QCOMPARE(stage.size(), QSize(200, 180));
        stage.resize(400, 100);
        QCOMPARE(stage.size(), QSize(200, 180));
        stage.resize(10, 100);
        QCOMPARE(stage.size(), QSize(50, 100));
        QVERIFY(asks >= 3);
    }

    void keysAndActivation()
    {
        TAssistantStage stage;
        stage.setEnabled(true);
        QSignalSpy keys(&stage, &TAssistantStage::stageKeyPress);
        QSignalSpy shows(&stage, &TAssistantStage::stageShow);
        QSignalSpy hides(&stage, &TAssistantStage::stageHide);
        stage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        QTest::keyClick(&stage, Qt::Key_A);
        QCOMPARE(keys.count(), 1);
        QCOMPARE(keys[0][0].toInt(), int(Qt::Key_A));
        stage.hide();
        QCOMPARE(shows.count(), 1);
        QCOMPARE(hides.count(), 1);
    }
};

QTEST_MAIN(TestStage)
#include "tst_stage.moc"
