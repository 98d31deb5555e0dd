// Where the stage puts its frame and background, and the outline it takes.
#include "assistant/StageMath.h"

#include <QTest>

using namespace vedomec;

class TestStageMath : public QObject {
    Q_OBJECT
private slots:
    void fitFrame_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<bool>("stretch");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("same size") << QSize(120, 128) << QSize(120, 128) << false << QRect(0, 0, 120, 128);
        QTest::newRow("smaller: centred") << QSize(150, 150) << QSize(120, 128) << false << QRect(15, 11, 120, 128);
        QTest::newRow("odd gap rounds toward zero") << QSize(151, 150) << QSize(120, 129) << false << QRect(15, 10, 120, 129);
        QTest::newRow("smaller, stretched by height") << QSize(150, 150) << QSize(120, 128) << true << QRect(5, 0, 140, 150);
        QTest::newRow("smaller, stretched by width") << QSize(240, 400) << QSize(120, 128) << true << QRect(0, 72, 240, 256);
        QTest::newRow("too wide: scaled down") << QSize(60, 200) << QSize(120, 128) << false << QRect(0, 68, 60, 64);
        QTest::newRow("too tall: scaled down") << QSize(200, 64) << QSize(120, 128) << false << QRect(70, 0, 60, 64);
        QTest::newRow("empty area") << QSize(0, 0) << QSize(10, 10) << false << QRect(-5, -5, 10, 10);
    }
    void fitFrame()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, frame);
        QFETCH(bool, stretch);
        QFETCH(QRect, expected);
        QCOMPARE(stage::fitFrame(area, frame, stretch), expected);
    }

    void centred()
    {
        QCOMPARE(stage::centred(QSize(100, 50), QSize(31, 20)), QPoint(34, 15));
        // Larger than the area: halves toward zero on the negative side too.
        QCOMPARE(stage::centred(QSize(100, 50), QSize(103, 55)), QPoint(-1, -2));
    }

    void outlineRuns()
    {
        const quint32 B = 0xFF102030; // the stage's colour
        const quint32 X = 0xFFFFFFFF;
        // Two rows of 6 in a buffer 8 pixels wide; the top byte is ignored.
        const quint32 pixels[] = {
            B, X, X, B, X, B, 0, 0,
            0x00102030, B, B, B, B, X, 0, 0,
        };
        const std::vector<QRect> runs = stage::outlineRuns(pixels, 6, 2, 8, 0x102030);
        const std::vector<QRect> expected {QRect(1, 0, 2, 1), QRect(4, 0, 1, 1), QRect(5, 1, 1, 1)};
        QCOMPARE(runs, expected);
        QVERIFY(stage::outlineRuns(pixels + 8, 5, 1, 8, 0x102030).empty());
    }
};

QTEST_GUILESS_MAIN(TestStageMath)
#include "tst_stagemath.moc"
