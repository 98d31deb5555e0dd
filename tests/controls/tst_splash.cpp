// The splash window: its layout and the progress block of start-up.
#include "app/TestSplash.h"
#include "controls/Gradpan.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

using namespace vedomec;
using namespace vedomec::controls;

class TestSplash : public QObject {
    Q_OBJECT
private slots:
    void layout()
    {
        TSplashDialog s;
        QCOMPARE(s.objectName(), QStringLiteral("SplashDialog"));
        QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(s.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(s.size(), QSize(446, 242));

        auto* gp1 = s.findChild<TGradPan*>(QStringLiteral("GradPan1"));
        auto* gp2 = s.findChild<TGradPan*>(QStringLiteral("GradPan2"));
        auto* strip = s.findChild<QWidget*>(QStringLiteral("Panel3"));
        QVERIFY(gp1 && gp2 && strip);
        QCOMPARE(gp1->mapTo(&s, QPoint(0, 0)), QPoint(2, 2));
        QCOMPARE(gp1->size(), QSize(73, 238));
        QCOMPARE(gp1->ColorStart(), QColor(0, 255, 255));
        QCOMPARE(strip->height(), 8);
        QCOMPARE(strip->mapTo(&s, QPoint(0, strip->height())).y(), 240); // on the white panel's bottom
        QCOMPARE(gp2->size(), QSize(49, 8));
        QCOMPARE(gp2->parentWidget(), strip);

        auto label = [&s](const char* name) { return s.findChild<QLabel*>(QLatin1String(name)); };
        QCOMPARE(label("Label1")->text(), QStringLiteral("Nivella"));
        QCOMPARE(label("Label2")->text(), QStringLiteral("Vedomec"));
        QCOMPARE(label("Label3")->text(), QStringLiteral("Korvalo 2001"));
        QCOMPARE(label("Label1")->pos(), QPoint(80, 8));
        QCOMPARE(label("Label2")->pos(), QPoint(78, 16));
        QCOMPARE(label("Label3")->pos(), QPoint(296, 72));
        QCOMPARE(label("Label2")->font().pixelSize(), 49);
        QVERIFY(label("Label2")->font().bold());
        QCOMPARE(label("Label1")->font().pixelSize(), 13);
        QCOMPARE(label("Label2")->palette().color(QPalette::WindowText), QColor(0, 255, 255));
    }

    void pixels()
    {
        TSplashDialog s;
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        const QImage img = s.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // A two-pixel black frame round a white panel.
        QCOMPARE(img.pixelColor(0, 100), QColor(Qt::black));
        QCOMPARE(img.pixelColor(1, 100), QColor(Qt::black));
        QCOMPARE(img.pixelColor(445, 100), QColor(Qt::black));
        QCOMPARE(img.pixelColor(300, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(300, 241), QColor(Qt::black));
        QCOMPARE(img.pixelColor(300, 150), QColor(Qt::white));
        // The strip is aqua where the block is not.
        QCOMPARE(img.pixelColor(300, 236), QColor(0, 255, 255));
    }

    void centred()
    {
        TSplashDialog s;
        const QRect sg = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(s.pos(), QPoint(sg.x() + (sg.width() - 446) / 2, sg.y() + (sg.height() - 242) / 2));
    }

    void progressSteps()
    {
        TSplashDialog s;
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        auto* gp2 = s.findChild<TGradPan*>(QStringLiteral("GradPan2"));
        for (int left : {0, 59, 118, 177, 236, 295, 352}) {
            s.setProgress(left);
            QCOMPARE(s.progress(), left);
            QCOMPARE(gp2->geometry(), QRect(left, 0, 49, 8));
            // Painted at once: the block is visible where it now stands.
            const QImage img = s.grab().toImage().convertToFormat(QImage::Format_RGB32);
            const int y = 2 + 230 + 4;
            QVERIFY(img.pixelColor(2 + left + 3, y) != QColor(0, 255, 255));
            if (left > 0)
                QCOMPARE(img.pixelColor(2 + left - 1, y), QColor(0, 255, 255));
        }
        // The last step ends inside the strip.
        QVERIFY(gp2->geometry().right() < gp2->parentWidget()->width());
    }
};

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
