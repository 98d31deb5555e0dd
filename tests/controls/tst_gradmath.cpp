// The arithmetic of the gradient panel and its neighbours, without widgets.
#include "controls/GradMath.h"

#include <QTest>

using namespace vedomec::controls;

namespace {
QString rgb(TColor c)
{
    return QStringLiteral("%1,%2,%3").arg(GetRValue(c)).arg(GetGValue(c)).arg(GetBValue(c));
}
} // namespace

class TestGradMath : public QObject {
    Q_OBJECT
private slots:
    void colourNumbers()
    {
        // Form numbers are 0x00BBGGRR.
        QCOMPARE(clAqua, RGBColor(0, 255, 255));
        QCOMPARE(clTeal, RGBColor(0, 128, 128));
        QCOMPARE(GetRValue(clAqua), 0);
        QCOMPARE(GetGValue(clAqua), 255);
        QCOMPARE(GetBValue(clAqua), 255);
        QCOMPARE(GetRValue(clRed), 255);
        QCOMPARE(GetBValue(clBlue), 255);
    }

    void mulDiv_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("result");
        QTest::newRow("exact") << 10 << 50 << 100 << 5;
        QTest::newRow("half rounds up") << 1 << 50 << 100 << 1;       // 0.5 -> 1
        QTest::newRow("below half") << 1 << 49 << 100 << 0;           // 0.49 -> 0
        QTest::newRow("99 of 50") << 99 << 50 << 100 << 50;           // 49.5 -> 50
        QTest::newRow("negative half away from zero") << -1 << 50 << 100 << -1;
        QTest::newRow("negative divisor") << 3 << 10 << -4 << -8;      // -7.5 -> -8
        QTest::newRow("both negative") << -3 << 10 << -4 << 8;
        QTest::newRow("large product") << 2000000000 << 3 << 4 << 1500000000;
        QTest::newRow("zero divisor") << 5 << 5 << 0 << -1;
    }
    void mulDiv()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, c);
        QFETCH(int, result);
        QCOMPARE(MulDiv(a, b, c), result);
    }

    void rampEnds_data()
    {
        QTest::addColumn<quint32>("from");
        QTest::addColumn<quint32>("to");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("aqua to white") << clAqua << clWhite << "0,255,255" << "252,255,255";
        QTest::newRow("white to aqua") << clWhite << clAqua << "255,255,255" << "2,255,255";
        QTest::newRow("teal to white") << clTeal << clWhite << "0,128,128" << "252,253,253";
        QTest::newRow("black to white") << clBlack << clWhite << "0,0,0" << "252,252,252";
        QTest::newRow("white to black") << clWhite << clBlack << "255,255,255" << "2,2,2";
        QTest::newRow("same colour") << clGray << clGray << "128,128,128" << "128,128,128";
        QTest::newRow("red to blue") << clRed << clBlue << "255,0,0" << "2,0,252";
    }
    void rampEnds()
    {
        QFETCH(quint32, from);
        QFETCH(quint32, to);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const Ramp r = ColorRamp(from, to);
        QCOMPARE(rgb(r[0]), first);
        QCOMPARE(rgb(r[99]), last);
    }

    void rampMiddleTruncates()
    {
        const Ramp r = ColorRamp(clAqua, clWhite);
        QCOMPARE(GetRValue(r[1]), 2);   // 2.55
        QCOMPARE(GetRValue(r[20]), 51); // exactly 51: no loss at whole values
        QCOMPARE(GetRValue(r[50]), 127); // 127.5
        // Falling channels truncate toward zero of the sum: 255 - 2.55 = 252.45.
        const Ramp down = ColorRamp(clWhite, clAqua);
        QCOMPARE(GetRValue(down[1]), 252);
        QCOMPARE(GetRValue(down[40]), 153);
        for (int i = 1; i < 100; ++i)
            QVERIFY(GetRValue(r[i]) >= GetRValue(r[i - 1]));
    }

    void bandsCoverTheExtent()
    {
        for (int extent : {1, 37, 50, 100, 240, 425, 1000}) {
            const auto bands = GradientBands(bdUp, extent);
            QCOMPARE(int(bands.size()), 100);
            QCOMPARE(bands.front().begin, 0);
            QCOMPARE(bands.back().end, extent);
            for (size_t k = 1; k < bands.size(); ++k)
                QCOMPARE(bands[k].begin, bands[k - 1].end);
        }
    }

    void fiftyPixelsLeaveEmptyBands()
    {
        const auto bands = GradientBands(bdUp, 50);
        int empty = 0;
        for (const Band& b : bands)
            empty += b.end == b.begin;
        QCOMPARE(empty, 50);
        // Band 2r paints row r: the last row shows entry 98, band 99 is empty.
        QCOMPARE(bands[0].begin, 0);
        QCOMPARE(bands[0].end, 1);
        QCOMPARE(bands[1].begin, bands[1].end);
        QCOMPARE(bands[98].begin, 49);
        QCOMPARE(bands[98].end, 50);
        QCOMPARE(bands[99].begin, 50);
        QCOMPARE(bands[99].end, 50);
    }

    void mirroredBandsTakeOddThenEvenEntries()
    {
        for (TDirection d : {bdHorzIn, bdHorzOut, bdVertIn, bdVertOut}) {
            const auto bands = GradientBands(d, 100);
            QCOMPARE(bands[0].entry, 1);
            QCOMPARE(bands[1].entry, 3);
            QCOMPARE(bands[49].entry, 99);
            QCOMPARE(bands[50].entry, 98);
            QCOMPARE(bands[51].entry, 96);
            QCOMPARE(bands[99].entry, 0);
        }
        QVERIFY(GradientBands(bdFlat, 100).empty());
        QVERIFY(GradientBands(bdTileImage, 100).empty());
    }

    void effectDirections()
    {
        QVERIFY(IsHorizontalBands(bdUp) && IsHorizontalBands(bdDown) && IsHorizontalBands(bdHorzIn)
                && IsHorizontalBands(bdHorzOut));
        QVERIFY(!IsHorizontalBands(bdLeft) && !IsHorizontalBands(bdRight) && !IsHorizontalBands(bdVertIn)
                && !IsHorizontalBands(bdVertOut));
        QVERIFY(!IsReversed(bdUp) && !IsReversed(bdLeft) && !IsReversed(bdHorzIn) && !IsReversed(bdVertIn));
        QVERIFY(IsReversed(bdDown) && IsReversed(bdRight) && IsReversed(bdHorzOut) && IsReversed(bdVertOut));
    }

    void outerRaisedBevelOfWidthTwo()
    {
        const auto lines = BevelLines(10, 8, bvRaised, bvNone, 2, 0);
        QCOMPARE(int(lines.size()), 8);
        // Ring 0: top and left light, bottom and right dark.
        QCOMPARE(lines[0].x1, 0); QCOMPARE(lines[0].x2, 9); QCOMPARE(lines[0].y1, 0); QVERIFY(lines[0].light);
        QCOMPARE(lines[1].y2, 7); QVERIFY(lines[1].light);
        QCOMPARE(lines[2].y1, 7); QCOMPARE(lines[2].x2, 9); QVERIFY(!lines[2].light);
        QCOMPARE(lines[3].x1, 9); QCOMPARE(lines[3].y1, 1); QCOMPARE(lines[3].y2, 7); QVERIFY(!lines[3].light);
        // Ring 1 starts one pixel in.
        QCOMPARE(lines[4].x1, 1); QCOMPARE(lines[4].y1, 1);
        QCOMPARE(lines[6].y1, 6); QCOMPARE(lines[6].x2, 8);
        QCOMPARE(lines[7].x1, 8);
    }

    void innerBevelMovesInward()
    {
        // Without an outer bevel the inner one sits border width + 1 in.
        auto lines = BevelLines(20, 20, bvNone, bvLowered, 1, 2);
        QCOMPARE(int(lines.size()), 4);
        QCOMPARE(lines[0].x1, 3);
        QCOMPARE(lines[0].y1, 3);
        QVERIFY(!lines[0].light);
        QCOMPARE(lines[2].y1, 16);
        QVERIFY(lines[2].light);
        // With one, by border width + bevel width.
        lines = BevelLines(20, 20, bvRaised, bvLowered, 1, 2);
        QCOMPARE(int(lines.size()), 8);
        QCOMPARE(lines[4].x1, 3);
        QCOMPARE(ImageInset(true, 2, 3), 7);
        QCOMPARE(ImageInset(false, 2, 3), 0);
    }

    void captionLayout_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("valign");
        QTest::addColumn<int>("rot");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("anchor");
        // W = 200, H = 100, border 1 + bevel 2 = B 3, T = 15.
        const int L = int(TextAnchor::Left), R = int(TextAnchor::Right), C = int(TextAnchor::Center);
        QTest::newRow("none left top") << int(taLeftJustify) << int(vlTop) << int(trNone) << 5 << 5 << L;
        QTest::newRow("none right bottom") << int(taRightJustify) << int(VlBottom) << int(trNone) << 195 << 81 << R;
        QTest::newRow("none centre centre") << int(taCenter) << int(vlCenter) << int(trNone) << 100 << 43 << C;
        QTest::newRow("up left top") << int(taLeftJustify) << int(vlTop) << int(TrUp) << 5 << 5 << R;
        QTest::newRow("up right bottom") << int(taRightJustify) << int(VlBottom) << int(TrUp) << 181 << 96 << L;
        QTest::newRow("up centre centre") << int(taCenter) << int(vlCenter) << int(TrUp) << 93 << 43 << C;
        QTest::newRow("down left top") << int(taLeftJustify) << int(vlTop) << int(TrDown) << 19 << 4 << L;
        QTest::newRow("down right bottom") << int(taRightJustify) << int(VlBottom) << int(TrDown) << 195 << 95 << R;
        QTest::newRow("down centre centre") << int(taCenter) << int(vlCenter) << int(TrDown) << 107 << 43 << C;
    }
    void captionLayout()
    {
        QFETCH(int, align);
        QFETCH(int, valign);
        QFETCH(int, rot);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, anchor);
        const CaptionPlace p = CaptionLayout(TAlignment(align), TVertAlign(valign), TTextRotation(rot), 200, 100, 1, 2, 15);
        QCOMPARE(p.x, x);
        QCOMPARE(p.y, y);
        QCOMPARE(int(p.anchor), anchor);
    }

    void textEffects()
    {
        QCOMPARE(int(TextEffectLayers(tenone).size()), 1);
        const auto shadow = TextEffectLayers(teShadow);
        QCOMPARE(int(shadow.size()), 2);
        QCOMPARE(shadow[0].dx, 1);
        QCOMPARE(shadow[0].dy, 1);
        QVERIFY(shadow[0].color == LayerColor::Shadow);
        for (TTextEffect e : {teRaised, teLowered, teEmbossed}) {
            const auto layers = TextEffectLayers(e);
            QCOMPARE(int(layers.size()), 5);
            // The font's own colour always goes last, on the reference point.
            QVERIFY(layers.back().color == LayerColor::Font);
            QCOMPARE(layers.back().dx, 0);
            QCOMPARE(layers.back().dy, 0);
        }
        QVERIFY(TextEffectLayers(teRaised)[2].color == LayerColor::Black);
        QCOMPARE(TextEffectLayers(teRaised)[2].dx, 1);
        QCOMPARE(TextEffectLayers(teLowered)[2].dx, -1);
    }

    void hitCodes_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("code");
        QTest::newRow("top left") << 100 << 80 << 0 << 0 << int(HTTOPLEFT);
        QTest::newRow("bottom left") << 100 << 80 << 5 << 79 << int(HTBOTTOMLEFT);
        QTest::newRow("top right") << 100 << 80 << 95 << 5 << int(HTTOPRIGHT);
        QTest::newRow("bottom right") << 100 << 80 << 99 << 79 << int(HTBOTTOMRIGHT);
        QTest::newRow("left edge") << 100 << 80 << 5 << 40 << int(HTLEFT);
        QTest::newRow("right edge") << 100 << 80 << 95 << 40 << int(HTRIGHT);
        QTest::newRow("top edge") << 100 << 80 << 50 << 5 << int(HTTOP);
        QTest::newRow("bottom edge") << 100 << 80 << 50 << 75 << int(HTBOTTOM);
        QTest::newRow("just outside the margin") << 100 << 80 << 6 << 6 << int(HTCAPTION);
        QTest::newRow("right at distance 6") << 100 << 80 << 94 << 40 << int(HTCAPTION);
        QTest::newRow("middle") << 100 << 80 << 50 << 40 << int(HTCAPTION);
        // Ten pixels wide: every point is near the left or the right edge.
        QTest::newRow("narrow left") << 10 << 80 << 4 << 40 << int(HTLEFT);
        QTest::newRow("narrow right") << 10 << 80 << 6 << 40 << int(HTRIGHT);
    }
    void hitCodes()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, code);
        QCOMPARE(int(PanelHitTest(true, 6, w, h, x, y)), code);
    }

    void narrowPanelCannotBeDragged()
    {
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 40; ++y)
                QVERIFY(PanelHitTest(true, 6, 10, 40, x, y) != HTCAPTION);
    }

    void fixedPanelAnswersNowhere()
    {
        QCOMPARE(int(PanelHitTest(false, 6, 100, 80, 50, 40)), int(HTNOWHERE));
        QCOMPARE(int(PanelHitTest(false, 6, 100, 80, 0, 0)), int(HTNOWHERE));
    }
};

QTEST_APPLESS_MAIN(TestGradMath)
#include "tst_gradmath.moc"
