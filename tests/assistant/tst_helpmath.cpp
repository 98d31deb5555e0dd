// Where a help popup goes next to its control.
#include "assistant/HelpMath.h"

#include <QTest>

using namespace vedomec;

class TestHelpMath : public QObject {
    Q_OBJECT
private slots:
    void placement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<int>("controlHeight");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("expected");
        const QRect s(0, 0, 1280, 1024);
        const QSize w(266, 60);
        // The quarters: below and right in the upper left, above and left in the lower right.
        QTest::newRow("upper left") << s << QPoint(100, 100) << 25 << w << QPoint(105, 130);
        QTest::newRow("upper right") << s << QPoint(1000, 100) << 25 << w << QPoint(729, 130);
        QTest::newRow("lower left") << s << QPoint(100, 800) << 25 << w << QPoint(105, 735);
        QTest::newRow("lower right") << s << QPoint(1000, 800) << 25 << w << QPoint(729, 735);
        // The halves split at the middle: the middle itself counts as the right and lower half.
        QTest::newRow("middle") << s << QPoint(640, 512) << 25 << w << QPoint(369, 447);
        QTest::newRow("just above and left of the middle") << s << QPoint(639, 511) << 25 << w << QPoint(644, 541);
        // Kept on the screen.
        QTest::newRow("wide, still fits") << s << QPoint(200, 100) << 25 << QSize(400, 60) << QPoint(205, 130);
        QTest::newRow("past the left edge") << s << QPoint(700, 100) << 25 << QSize(800, 60) << QPoint(5, 130);
        QTest::newRow("past the top") << s << QPoint(100, 520) << 25 << QSize(266, 600) << QPoint(105, 5);
        QTest::newRow("past the right edge") << s << QPoint(600, 100) << 25 << QSize(700, 60) << QPoint(575, 130);
        QTest::newRow("past the bottom") << s << QPoint(100, 500) << 300 << QSize(266, 300) << QPoint(105, 719);
        QTest::newRow("touching the right edge") << s << QPoint(600, 100) << 25 << QSize(675, 60) << QPoint(605, 130);
        QTest::newRow("control off the screen") << s << QPoint(-50, 2000) << 25 << w << QPoint(5, 959);
        QTest::newRow("larger than the screen") << s << QPoint(1000, 800) << 25 << QSize(1500, 1100) << QPoint(5, 5);
        // A second screen to the right of the first.
        const QRect right(1280, 0, 1024, 768);
        QTest::newRow("second screen, upper left") << right << QPoint(1380, 100) << 25 << w << QPoint(1385, 130);
        QTest::newRow("second screen, lower right") << right << QPoint(2200, 700) << 25 << w << QPoint(1929, 635);
        QTest::newRow("second screen, right edge") << right << QPoint(2300, 100) << 25 << w << QPoint(2029, 130);
    }

    void placement()
    {
        QFETCH(QRect, screen);
        QFETCH(QPoint, origin);
        QFETCH(int, controlHeight);
        QFETCH(QSize, window);
        QFETCH(QPoint, expected);
        QCOMPARE(PlaceHelpWindow(origin, controlHeight, window, screen), expected);
    }
};

QTEST_APPLESS_MAIN(TestHelpMath)
#include "tst_helpmath.moc"
