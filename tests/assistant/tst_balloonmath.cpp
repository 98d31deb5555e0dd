#include "assistant/BalloonMath.h"

#include <QTest>

using namespace vedomec;
using namespace vedomec::balloon;

Q_DECLARE_METATYPE(std::optional<QRect>)
Q_DECLARE_METATYPE(vedomec::balloon::Kind)

namespace {
// A text of a given length in pixels, wrapped into lines 15 pixels high.
std::function<QSize(int)> textOfLength(int pixels)
{
    return [pixels](int wrap) {
        const int lines = (pixels + wrap - 1) / wrap;
        return QSize(std::min(pixels, wrap), lines * 15);
    };
}
} // namespace

class TestBalloonMath : public QObject {
    Q_OBJECT
private slots:
    void buttonTableOrderCaptionsAndResults()
    {
        const auto all = buttonsOf(0x7FF);
        QStringList captions;
        QList<int> results;
        for (const auto& b : all) {
            captions << b.caption;
            results << b.result;
        }
        QCOMPARE(captions, (QStringList {"&Ano", "&Ne", "&OK", "Zpět", "&Přerušit", "Opa&kovat", "&Ignorovat", "Vše",
                                         "Nic", "Ano vše", "&Pomoc"}));
        QCOMPARE(results, (QList<int> {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0}));
        // The row order does not depend on the order of the bits.
        const auto yn = buttonsOf(mbNo | mbYes);
        QCOMPARE(yn.size(), size_t(2));
        QCOMPARE(yn[0].objectName, QStringLiteral("BalloonButtonYes"));
        QCOMPARE(yn[1].objectName, QStringLiteral("BalloonButtonNo"));
        QVERIFY(buttonsOf(0).empty());
    }

    void focusAndCancelRules()
    {
        QCOMPARE(focusedButton(mbYes | mbNo), mbYes);
        QCOMPARE(focusedButton(mbYes | mbOK), mbOK);
        QCOMPARE(focusedButton(mbRetry | mbCancel), mbRetry);
        QCOMPARE(int(focusedButton(mbNo | mbCancel)), 0);
        QCOMPARE(cancelButton(mbOK | mbCancel), mbCancel);
        QCOMPARE(cancelButton(mbYes | mbNo), mbNo);
        QCOMPARE(cancelButton(mbOK), mbOK);
        QCOMPARE(cancelButton(mbYes), mbOK); // not shown: such a balloon refuses to close
        QCOMPARE(resultOf(mbCancel), int(mrCancel));
        QCOMPARE(resultOf(mbHelp), int(mrNone));
    }

    void buttonSizes()
    {
        QCOMPARE(buttonWidth({10, 20}), 67);
        QCOMPARE(buttonWidth({41}), 67);
        QCOMPARE(buttonWidth({42}), 68);
        QCOMPARE(buttonWidth({30, 60, 12}), 86);
        QCOMPARE(buttonHeight(8), 20);
        QCOMPARE(buttonHeight(9), 20);
        QCOMPARE(buttonHeight(10), 20);
        QCOMPARE(buttonHeight(15), 25);
        QCOMPARE(stripMnemonic("&Ano"), QStringLiteral("Ano"));
        QCOMPARE(stripMnemonic("Opa&kovat"), QStringLiteral("Opakovat"));
        QCOMPARE(stripMnemonic("A && B"), QStringLiteral("A & B"));
    }

    void layoutOfAnErrorMessage()
    {
        LayoutInput in;
        in.icon = QSize(32, 32);
        in.title = QSize(60, 16);
        in.buttonCount = 1;
        in.buttonWidth = 67;
        in.buttonHeight = 25;
        in.measureText = textOfLength(300);
        const Layout l = layoutMessage(in);
        QCOMPARE(l.wrapWidth, 246);
        QCOMPARE(l.size, QSize(260, 131));
        QCOMPARE(l.icon, QRect(7, 7, 32, 32));
        QCOMPARE(l.title, QRect(46, 23, 60, 16)); // beside the icon, on its bottom line
        QCOMPARE(l.text, QRect(7, 53, 246, 30));  // 14 below the icon
        QCOMPARE(l.divider, QRect(7, 90, 246, 2));
        QCOMPARE(l.buttons.size(), size_t(1));
        QCOMPARE(l.buttons[0], QRect(96, 99, 67, 25)); // centred
    }

    void layoutWidthRules()
    {
        // A short text without anything else: at least 126 wide, margins 7.
        LayoutInput bare;
        bare.measureText = textOfLength(100);
        Layout l = layoutMessage(bare);
        QCOMPARE(l.size, QSize(140, 29));
        QCOMPARE(l.text, QRect(7, 7, 126, 15));
        QVERIFY(l.divider.isEmpty());

        // A row of buttons wider than 246 widens the wrap.
        LayoutInput many;
        many.buttonCount = 5;
        many.buttonWidth = 90;
        many.buttonHeight = 25;
        int askedWrap = 0;
        many.measureText = [&](int wrap) {
            askedWrap = wrap;
            return QSize(std::min(1000, wrap), 45);
        };
        l = layoutMessage(many);
        QCOMPARE(askedWrap, 5 * 90 + 4 * 7);
        QCOMPARE(l.size.width(), 478 + 14);
        QCOMPARE(l.buttons.front().x(), 7);
        QCOMPARE(l.buttons.back().x(), 7 + 4 * 97);

        // So does a long title beside the icon.
        LayoutInput titled;
        titled.icon = QSize(32, 32);
        titled.title = QSize(300, 16);
        titled.measureText = textOfLength(50);
        l = layoutMessage(titled);
        QCOMPARE(l.wrapWidth, 32 + 7 + 300);
        QCOMPARE(l.size.width(), 339 + 14);

        // A title without an icon: the text follows the title.
        LayoutInput titleOnly;
        titleOnly.title = QSize(60, 16);
        titleOnly.measureText = textOfLength(50);
        l = layoutMessage(titleOnly);
        QCOMPARE(l.title, QRect(7, 7, 60, 16));
        QCOMPARE(l.text.top(), 30);
    }

    void rightToLeftMirrors()
    {
        LayoutInput in;
        in.icon = QSize(32, 32);
        in.title = QSize(60, 16);
        in.buttonCount = 2;
        in.buttonWidth = 67;
        in.buttonHeight = 25;
        in.measureText = textOfLength(300);
        const Layout ltr = layoutMessage(in);
        in.rtl = true;
        const Layout rtl = layoutMessage(in);
        QCOMPARE(rtl.size, ltr.size);
        QCOMPARE(ltr.buttons[0].x(), 59);
        QCOMPARE(ltr.buttons[1].x(), 133);
        QCOMPARE(rtl.buttons[0].x(), 133); // Yes stands at the right
        QCOMPARE(rtl.buttons[1].x(), 59);
        QCOMPARE(rtl.icon, QRect(221, 7, 32, 32));
        QCOMPARE(rtl.title, QRect(154, 23, 60, 16));
        QCOMPARE(rtl.text, ltr.text);
    }

    void placement_data()
    {
        QTest::addColumn<std::optional<QRect>>("anchor");
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("rtl");
        QTest::addColumn<int>("position");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("body");

        const QRect desk(0, 0, 1024, 768);
        const QSize sz(200, 100);
        const auto sp = Kind::Speech;
        QTest::newRow("0 no anchor: centred") << std::optional<QRect>() << desk << sz << sp << false << 0
                                              << QRect(412, 334, 200, 100) << QRect(0, 0, 200, 100);
        QTest::newRow("1 above, left edges") << std::optional<QRect>(QRect(400, 500, 100, 100)) << desk << sz << sp
                                             << false << 1 << QRect(400, 395, 200, 117) << QRect(0, 0, 200, 100);
        QTest::newRow("2 above, right edges") << std::optional<QRect>(QRect(900, 500, 100, 100)) << desk << sz << sp
                                              << false << 2 << QRect(800, 395, 200, 117) << QRect(0, 0, 200, 100);
        QTest::newRow("3 right, top edges") << std::optional<QRect>(QRect(100, 50, 100, 100)) << desk << sz << sp
                                            << false << 3 << QRect(188, 50, 217, 100) << QRect(17, 0, 200, 100);
        QTest::newRow("4 right, bottom edges (anchor above the screen)")
            << std::optional<QRect>(QRect(100, -20, 100, 100)) << desk << sz << sp << false << 4
            << QRect(188, 1, 217, 100) << QRect(17, 0, 200, 100);
        QTest::newRow("4 right, bottom edges (low anchor, tall balloon)")
            << std::optional<QRect>(QRect(100, 150, 100, 80)) << QRect(0, 0, 1024, 300) << QSize(200, 250) << sp
            << false << 4 << QRect(188, 1, 217, 250) << QRect(17, 0, 200, 250);
        QTest::newRow("5 below, right edges") << std::optional<QRect>(QRect(500, 50, 510, 100)) << desk
                                              << QSize(600, 100) << sp << false << 5 << QRect(410, 138, 600, 117)
                                              << QRect(0, 17, 600, 100);
        QTest::newRow("6 below, left edges") << std::optional<QRect>(QRect(100, 50, 850, 100)) << desk << sz << sp
                                             << false << 6 << QRect(100, 138, 200, 117) << QRect(0, 17, 200, 100);
        QTest::newRow("7 left, bottom edges") << std::optional<QRect>(QRect(800, -20, 100, 100)) << desk << sz << sp
                                              << false << 7 << QRect(595, 1, 217, 100) << QRect(0, 0, 200, 100);
        QTest::newRow("8 left, top edges") << std::optional<QRect>(QRect(800, 50, 100, 100)) << desk << sz << sp
                                           << false << 8 << QRect(595, 50, 217, 100) << QRect(0, 0, 200, 100);
        QTest::newRow("rtl prefers the left") << std::optional<QRect>(QRect(500, 50, 100, 100)) << desk << sz << sp
                                              << true << 8 << QRect(295, 50, 217, 100) << QRect(0, 0, 200, 100);
        QTest::newRow("rtl goes right when the left is short")
            << std::optional<QRect>(QRect(100, 50, 100, 100)) << desk << sz << sp << true << 3
            << QRect(188, 50, 217, 100) << QRect(17, 0, 200, 100);
        QTest::newRow("rtl above aligns right edges") << std::optional<QRect>(QRect(400, 500, 100, 100)) << desk
                                                      << sz << sp << true << 2 << QRect(300, 395, 200, 117)
                                                      << QRect(0, 0, 200, 100);
        QTest::newRow("tips go beside though above is free")
            << std::optional<QRect>(QRect(400, 500, 100, 100)) << desk << sz << Kind::Tips << false << 3
            << QRect(488, 500, 217, 100) << QRect(17, 0, 200, 100);
        QTest::newRow("thought tail is 60") << std::optional<QRect>(QRect(400, 500, 100, 100)) << desk << sz
                                            << Kind::Thought << false << 1 << QRect(400, 352, 200, 160)
                                            << QRect(0, 0, 200, 100);
        QTest::newRow("clamped off the left edge") << std::optional<QRect>(QRect(-30, 500, 100, 100)) << desk << sz
                                                   << sp << false << 1 << QRect(1, 395, 200, 117)
                                                   << QRect(0, 0, 200, 100);
        QTest::newRow("wider than the desktop: right edge wins")
            << std::optional<QRect>() << desk << QSize(1100, 100) << sp << false << 0 << QRect(-76, 334, 1100, 100)
            << QRect(0, 0, 1100, 100);
        QTest::newRow("desktop not at the origin") << std::optional<QRect>() << QRect(1024, 0, 800, 600) << sz << sp
                                                   << false << 0 << QRect(1324, 250, 200, 100)
                                                   << QRect(0, 0, 200, 100);
    }

    void placement()
    {
        QFETCH(std::optional<QRect>, anchor);
        QFETCH(QRect, desktop);
        QFETCH(QSize, size);
        QFETCH(Kind, kind);
        QFETCH(bool, rtl);
        QFETCH(int, position);
        QFETCH(QRect, window);
        QFETCH(QRect, body);
        const Placement p = place({anchor, desktop, size, kind, rtl});
        QCOMPARE(p.position, position);
        QCOMPARE(p.window, window);
        QCOMPARE(p.body, body);
        QVERIFY(QRect(QPoint(0, 0), p.window.size()).contains(p.body));
        if (position == 0) {
            QCOMPARE(p.side, TailSide::None);
            QVERIFY(p.circles.empty());
        }
    }

    void tailOverlapsTheAnchorByTwelve()
    {
        const QRect desk(0, 0, 1024, 768);
        const QRect above(400, 500, 100, 100), right(100, 50, 100, 100), below(100, 50, 850, 100),
            left(800, 50, 100, 100);
        Placement p = place({above, desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.window.y() + p.window.height(), above.y() + 12);
        p = place({right, desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.position, 3);
        QCOMPARE(p.window.x(), right.x() + right.width() - 12);
        p = place({below, desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.window.y(), below.y() + below.height() - 12);
        p = place({left, desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.position, 8);
        QCOMPARE(p.window.x() + p.window.width(), left.x() + 12);
    }

    void speechTailGeometry()
    {
        const QRect desk(0, 0, 1024, 768);
        // Above: the base lies on the body's bottom edge, two thirds along the anchor.
        Placement p = place({QRect(400, 500, 100, 100), desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.side, TailSide::Bottom);
        QCOMPARE(p.triangle[0], QPoint(61, 99));
        QCOMPARE(p.triangle[1], QPoint(71, 99));
        QCOMPARE(p.triangle[2], QPoint(66, 116));
        // A wide anchor: no further than three quarters of the balloon.
        p = place({QRect(100, 50, 850, 100), desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.side, TailSide::Top);
        QCOMPARE(p.triangle[2], QPoint(150, 0));
        QCOMPARE(p.triangle[0].y(), 17);
        // A narrow anchor at the balloon's corner: at least 15 pixels in.
        p = place({QRect(400, 500, 6, 100), desk, QSize(200, 100), Kind::Speech, false});
        QVERIFY(p.triangle[0].x() >= 15 || p.triangle[2].x() <= 5);
        // Beside: 40 pixels down from the top.
        p = place({QRect(100, 50, 100, 100), desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.side, TailSide::Left);
        QCOMPARE(p.triangle[0], QPoint(17, 40));
        QCOMPARE(p.triangle[1], QPoint(17, 50));
        QCOMPARE(p.triangle[2], QPoint(0, 45));
        p = place({QRect(800, 50, 100, 100), desk, QSize(200, 100), Kind::Speech, false});
        QCOMPARE(p.side, TailSide::Right);
        QCOMPARE(p.triangle[2], QPoint(216, 45));
    }

    void thoughtCirclesLeadFromTheAnchor()
    {
        const Placement p = place({QRect(400, 500, 100, 100), QRect(0, 0, 1024, 768), QSize(200, 100),
                                   Kind::Thought, false});
        QCOMPARE(p.circles.size(), size_t(3));
        QCOMPARE(p.circles[0].radius, 9);
        QCOMPARE(p.circles[1].radius, 7);
        QCOMPARE(p.circles[2].radius, 5);
        QCOMPARE(p.circles[0].centre, QPoint(66, 109));
        QCOMPARE(p.circles[1].centre, QPoint(66, 127));
        QCOMPARE(p.circles[2].centre, QPoint(66, 141));
        // All inside the window's tail strip, not touching each other.
        for (const Circle& c : p.circles) {
            QVERIFY(c.centre.y() - c.radius > p.body.bottom());
            QVERIFY(c.centre.y() + c.radius < p.window.height() - kAnchorOverlap); // not under the anchor
        }
    }

    void zoomOutlines()
    {
        QCOMPARE(zoomOutline(QRect(0, 0, 200, 100), 20), QRect(80, 40, 40, 20));
        QCOMPARE(zoomOutline(QRect(0, 17, 200, 100), 40), QRect(60, 47, 80, 40));
        QCOMPARE(zoomOutline(QRect(0, 0, 2, 2), 20).size(), QSize(1, 1));
    }

    // A topic goes in while its bottom plus 7 stays within 133 pixels of
    // the area's top; the first of a page always does.
    void topicPagesEndAt133Pixels()
    {
        TopicPage p = pageTopics({60, 59, 10}, 0, 15);
        QCOMPARE(p.topics.size(), size_t(2)); // 67 + 59 + 7 = 133
        QCOMPARE(p.topics[1].second, QRect(0, 67, 0, 59));
        QVERIFY(!p.backLink);
        QVERIFY(p.moreLink);
        QCOMPARE(p.next, 2);
        QCOMPARE(p.moreTop, 133);
        p = pageTopics({60, 60, 10}, 0, 15);
        QCOMPARE(p.topics.size(), size_t(1)); // 134 is one too many
        QCOMPARE(p.next, 1);
        // The link back takes its room at the top of the next page.
        p = pageTopics({60, 60, 10}, 1, 15);
        QVERIFY(p.backLink);
        QCOMPARE(p.topics.front(), std::make_pair(1, QRect(0, 22, 0, 60)));
        QCOMPARE(p.topics.size(), size_t(2)); // 22 + 67 + 10 + 7 = 106
        QVERIFY(!p.moreLink);
        QCOMPARE(p.height, 22 + 67 + 10);
        p = pageTopics({200, 10}, 0, 15);
        QCOMPARE(p.topics.size(), size_t(1));
        QCOMPARE(p.next, 1);
        QVERIFY(pageTopics({}, 0, 15).topics.empty());
    }

    void tipsButtonsStandAtTheFarEdgeBelowTextAndIcon()
    {
        TipsLayoutInput in;
        in.icon = QSize(32, 32);
        in.buttonCount = 3;
        in.buttonWidth = 70;
        in.buttonHeight = 25;
        int askedWrap = 0;
        in.measureText = [&](int wrap) {
            askedWrap = wrap;
            return QSize(300, 15); // one line, lower than the icon
        };
        TipsLayout l = layoutTips(in);
        QCOMPARE(askedWrap, 466);
        QCOMPARE(l.icon, QRect(14, 7, 32, 32));
        QCOMPARE(l.contentWidth, 300);
        // close, next, back from the right edge inwards, 7 below the icon
        QCOMPARE(l.buttons[0], QRect(314 - 7 - 70, 46, 70, 25));
        QCOMPARE(l.buttons[1].right() + 1 + 7, l.buttons[0].x());
        QCOMPARE(l.buttons[2].right() + 1 + 7, l.buttons[1].x());
        QCOMPARE(l.size, QSize(314, 46 + 25 + 7));
        in.rtl = true;
        l = layoutTips(in);
        QCOMPARE(l.buttons[0].x(), 7);
        QCOMPARE(l.icon.x(), 314 - 14 - 32);
        // The widest tip of the set widens the wrap, up to 640.
        in.widestTip = 520;
        layoutTips(in);
        QCOMPARE(askedWrap, 520);
        in.widestTip = 900;
        layoutTips(in);
        QCOMPARE(askedWrap, 640);
    }

    // Every line of a tip stands in by the indent: the tip wraps in what is
    // left of the width and is drawn from the indent on (from the far edge
    // for right-to-left reading, where the icon is on the right).
    void tipsStandInByTheIndent()
    {
        TipsLayoutInput in;
        in.icon = QSize(32, 32);
        in.indent = 48;
        in.widestTip = 48 + 560;
        in.buttonCount = 3;
        in.buttonWidth = 70;
        in.buttonHeight = 25;
        int askedWrap = 0;
        in.measureText = [&](int wrap) {
            askedWrap = wrap;
            return QSize(std::min(wrap, 560), wrap >= 560 ? 15 : 30);
        };
        TipsLayout l = layoutTips(in);
        QCOMPARE(askedWrap, 560);
        QCOMPARE(l.contentWidth, 48 + 560);
        QCOMPARE(l.text, QRect(7 + 48, 7, 560, 15));
        QVERIFY(l.text.left() > l.icon.right());
        // Wider than 640 with its indent: it wraps in 640 - 48.
        in.widestTip = 48 + 700;
        in.measureText = [&](int wrap) {
            askedWrap = wrap;
            return QSize(wrap - 20, 30);
        };
        l = layoutTips(in);
        QCOMPARE(askedWrap, 640 - 48);
        QCOMPARE(l.contentWidth, 640 - 20);
        QCOMPARE(l.text, QRect(7 + 48, 7, 640 - 20 - 48, 30));
        in.rtl = true;
        l = layoutTips(in);
        QCOMPARE(l.text, QRect(7, 7, 640 - 20 - 48, 30));
        QVERIFY(l.text.right() < l.icon.left());
    }

    // The description is measured at the width it is drawn in, whatever
    // else makes the guide wide.
    void guideDescriptionWrapsAtItsDrawnWidth()
    {
        GuideLayoutInput in;
        in.commandCount = 3;
        in.buttonWidth = 110;
        in.buttonHeight = 25;
        int askedWrap = 0;
        in.measureText = [&](int wrap) {
            askedWrap = wrap;
            return QSize(std::min(wrap, 1000), 15 * (1000 / wrap + 1));
        };
        GuideLayout l = layoutGuide(in);
        QCOMPARE(askedWrap, 3 * 110 + 2 * 7);
        QCOMPARE(l.contentWidth, askedWrap);
        QCOMPARE(l.text.width(), askedWrap);
        in.buttonWidth = 70;
        l = layoutGuide(in);
        QCOMPARE(askedWrap, 300);
        QCOMPARE(l.contentWidth, 300);
        // Nothing to show: 14 pixels, and the balloon stays hidden.
        QCOMPARE(layoutGuide(GuideLayoutInput {}).size.height(), 14);
    }
};

QTEST_GUILESS_MAIN(TestBalloonMath)
#include "tst_balloonmath.moc"
