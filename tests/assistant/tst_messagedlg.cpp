#include "assistant/oaAssist.h"
#include "assistant/BalloonParts.h"
#include "platform/Clock.h"
#include "results/TimeCounter.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace vedomec;

namespace {

// Runs `action` once the balloon has zoomed in completely (the user can
// only press what they can see).
void whenShown(TAssistant& a, std::function<void(TAssistantBalloon*)> action)
{
    auto* poll = new QTimer(&a);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &a, action] {
        TAssistantBalloon* b = a.balloonWindow();
        if (b->isVisible() && b->zoomStage() == 3) {
            poll->stop();
            poll->deleteLater();
            action(b);
        }
    });
    poll->start();
}

void clickWhenShown(TAssistant& a, const char* name)
{
    whenShown(a, [name](TAssistantBalloon* b) {
        auto* button = b->findChild<QPushButton*>(QLatin1String(name));
        QVERIFY(button && button->isVisible() && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    });
}

QStringList visibleButtons(TAssistantBalloon* b)
{
    QStringList names;
    for (QPushButton* p : b->findChildren<QPushButton*>())
        if (p->isVisibleTo(b))
            names << p->objectName();
    names.sort();
    return names;
}

} // namespace

// The offscreen platform cannot shape or raise windows; it keeps the mask,
// which is what the tests read, so these two notices are noise.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    previousHandler(type, ctx, msg);
}

class TestMessageDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(quietHandler); }
    void init() { TAssistant::setTestResponder({}); }

    void errorWithOk()
    {
        TAssistant a;
        a.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
        QStringList seen;
        whenShown(a, [&](TAssistantBalloon* b) {
            seen = visibleButtons(b);
            QCOMPARE(b->findChild<QLabel*>("BalloonText")->text(), QStringLiteral("Nebyl vybrán žádný test!"));
            QCOMPARE(b->findChild<QLabel*>("BalloonTitle")->text(), QStringLiteral("Vedomec"));
            QVERIFY(b->findChild<QLabel*>("BalloonIcon")->isVisible());
            QCOMPARE(a.BalloonMode(), 1);
            QCOMPARE(a.BalloonPosition(), 0);
            QVERIFY(a.isMessageWaiting());
            // OK has the keyboard.
            QCOMPARE(QApplication::focusWidget(), b->findChild<QPushButton*>("BalloonButtonOK"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Nebyl vybrán žádný test!"), mtError, mbOK, 0), int(mrOk));
        QCOMPARE(seen, QStringList {"BalloonButtonOK"});
        QVERIFY(!a.balloonWindow()->isVisible());
        QCOMPARE(a.BalloonMode(), 0);
        QVERIFY(!a.isMessageWaiting());
    }

    void informationWithOk()
    {
        TAssistant a;
        clickWhenShown(a, "BalloonButtonOK");
        QCOMPARE(a.MessageDlg(QStringLiteral("Váš čas na vyplnění testu vypršel. Nyní budou zobrazeny výsledky."),
                              mtInformation, mbOK, 0),
                 int(mrOk));
    }

    void confirmationYesAndNo()
    {
        TAssistant a;
        QWidget* focused = nullptr;
        whenShown(a, [&](TAssistantBalloon* b) {
            focused = QApplication::focusWidget();
            QCOMPARE(visibleButtons(b), (QStringList {"BalloonButtonNo", "BalloonButtonYes"}));
            QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonYes"), Qt::LeftButton);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Opravdu chcete ukončit tento test?"), mtConfirmation, mbYes | mbNo, 0),
                 int(mrYes));
        QCOMPARE(focused, a.balloonWindow()->findChild<QPushButton*>("BalloonButtonYes"));

        clickWhenShown(a, "BalloonButtonNo");
        QCOMPARE(a.MessageDlg(QStringLiteral("Opravdu chcete vidět všechny správné odpovědi?"), mtConfirmation,
                              mbYes | mbNo, 0),
                 int(mrNo));
    }

    void customYesNoUsesTheCustomIcon()
    {
        TAssistant a;
        QPixmap pm(32, 32);
        pm.fill(Qt::red);
        a.MsgDlg()->setCustomIcon(QIcon(pm));
        a.MsgDlg()->setTitle(QString());
        bool iconShown = false, titleShown = true;
        whenShown(a, [&](TAssistantBalloon* b) {
            auto* icon = b->findChild<QLabel*>("BalloonIcon");
            iconShown = icon->isVisible() && icon->pixmap().toImage().pixelColor(16, 16) == QColor(Qt::red);
            titleShown = b->findChild<QLabel*>("BalloonTitle")->isVisible();
            QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonYes"), Qt::LeftButton);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Opravdu chcete uzavřít pomocníka?"), mtCustom, mbYes | mbNo, 0),
                 int(mrYes));
        QVERIFY(iconShown);
        QVERIFY(!titleShown);
    }

    void escapeGivesTheCancelButtonsResult()
    {
        TAssistant a;
        whenShown(a, [](TAssistantBalloon* b) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
        QCOMPARE(a.MessageDlg(QStringLiteral("Otázka?"), mtConfirmation, mbYes | mbNo, 0), int(mrNo));

        whenShown(a, [](TAssistantBalloon* b) { QTest::keyClick(b, Qt::Key_Escape); });
        QCOMPARE(a.MessageDlg(QStringLiteral("Oznámení."), mtInformation, mbOK, 0), int(mrOk));

        whenShown(a, [](TAssistantBalloon* b) { QTest::keyClick(b, Qt::Key_Escape); });
        QCOMPARE(a.MessageDlg(QStringLiteral("Zpět?"), mtWarning, mbOK | mbCancel, 0), int(mrCancel));

        // Closing the window (as the window manager would) is the same as Esc.
        whenShown(a, [](TAssistantBalloon* b) { b->close(); });
        QCOMPARE(a.MessageDlg(QStringLiteral("Otázka?"), mtConfirmation, mbYes | mbNo, 0), int(mrNo));
    }

    void refusesToCloseWithoutACancelButton()
    {
        TAssistant a;
        bool stillOpen = false;
        whenShown(a, [&](TAssistantBalloon* b) {
            QTest::keyClick(b, Qt::Key_Escape);
            QVERIFY(!b->close());
            a.CloseBalloon();
            QTimer::singleShot(20, b, [&, b] {
                stillOpen = b->isVisible() && a.isMessageWaiting();
                QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonYes"), Qt::LeftButton);
            });
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Jen ano."), mtConfirmation, mbYes, 0), int(mrYes));
        QVERIFY(stillOpen);
    }

    // A window of the program that becomes active while the message waits
    // loses the foreground to the balloon again; the answer is still the
    // user's to give.
    void waitingMessageTakesTheForegroundBack()
    {
        TAssistant a;
        QWidget other;
        other.setObjectName("OtherWindow");
        other.resize(200, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QWidget* activeAfter = nullptr;
        bool stillWaiting = false;
        whenShown(a, [&](TAssistantBalloon* b) {
            QTRY_VERIFY(QApplication::activeWindow() == b);
            other.activateWindow();
            // Activation is asynchronous: look once it has settled, and
            // answer in any case so that a failure cannot hang the test.
            QTimer::singleShot(100, b, [&, b] {
                activeAfter = QApplication::activeWindow();
                stillWaiting = a.isMessageWaiting();
                QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonNo"), Qt::LeftButton);
            });
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Opravdu?"), mtConfirmation, mbYes | mbNo, 0), int(mrNo));
        QCOMPARE(activeAfter, static_cast<QWidget*>(a.balloonWindow()));
        QVERIFY(stillWaiting);
        // Once answered, the other window may be active as it likes.
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
    }

    void emptyButtonSetReturnsAtOnceAndStaysOpen()
    {
        TAssistant a;
        QSignalSpy shown(&a, &TAssistant::OnBalloonShow);
        QSignalSpy hidden(&a, &TAssistant::OnBalloonHide);
        QCOMPARE(a.MessageDlg(QStringLiteral("Bez tlačítek"), mtInformation, 0, 0), int(mrNone));
        QVERIFY(a.balloonWindow()->isVisible());
        QVERIFY(!a.isMessageWaiting());
        QCOMPARE(a.BalloonMode(), 1);
        QVERIFY(visibleButtons(a.balloonWindow()).isEmpty());
        QVERIFY(!a.balloonWindow()->findChild<QWidget*>("BalloonDivider")->isVisibleTo(a.balloonWindow()));
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0).at(0).value<TAssistant*>(), &a);
        // Esc closes any balloon.
        QTest::keyClick(a.balloonWindow(), Qt::Key_Escape);
        QVERIFY(!a.balloonWindow()->isVisible());
        QCOMPARE(a.BalloonMode(), 0);
        QCOMPARE(hidden.count(), 1);
        // CloseBalloon closes it as well.
        a.MessageDlg(QStringLiteral("Znovu"), mtInformation, 0, 0);
        QVERIFY(a.balloonWindow()->isVisible());
        a.CloseBalloon();
        QVERIFY(!a.balloonWindow()->isVisible());
    }

    void helpButtonIsDisabledWithoutContextAndNeverCloses()
    {
        TAssistant a;
        QSignalSpy help(&a, &TAssistant::OnHelp);
        bool enabled = true;
        whenShown(a, [&](TAssistantBalloon* b) {
            auto* h = b->findChild<QPushButton*>("BalloonButtonHelp");
            QVERIFY(h->isVisible());
            QCOMPARE(h->text(), QStringLiteral("&Pomoc"));
            enabled = h->isEnabled();
            QTest::mouseClick(h, Qt::LeftButton); // disabled: nothing
            QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonOK"), Qt::LeftButton);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("S nápovědou"), mtInformation, mbOK | mbHelp, 0), int(mrOk));
        QVERIFY(!enabled);
        QCOMPARE(help.count(), 0);

        bool openAfterHelp = false;
        whenShown(a, [&](TAssistantBalloon* b) {
            auto* h = b->findChild<QPushButton*>("BalloonButtonHelp");
            enabled = h->isEnabled();
            QTest::mouseClick(h, Qt::LeftButton);
            QTimer::singleShot(10, b, [&, b] {
                openAfterHelp = b->isVisible() && a.isMessageWaiting();
                QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonOK"), Qt::LeftButton);
            });
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("S nápovědou"), mtInformation, mbOK | mbHelp, 42), int(mrOk));
        QVERIFY(enabled);
        QVERIFY(openAfterHelp);
        QCOMPARE(help.count(), 1);
        QCOMPARE(help.at(0).at(1).toInt(), 42);
    }

    void timersKeepTickingWhileAMessageWaits()
    {
        // The time counter's tick (shortened here, so no real second passes)
        // keeps arriving inside the wait.
        ManualClock clock;
        TTimeCounter counter(nullptr, &clock);
        counter.setInterval(10);
        TAssistant a;
        int ticks = 0;
        connect(&counter, &TTimeCounter::OnTimer, this, [&] {
            clock.advance(1000);
            if (++ticks == 5)
                QTest::mouseClick(a.balloonWindow()->findChild<QPushButton*>("BalloonButtonOK"), Qt::LeftButton);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Čekám"), mtInformation, mbOK, 0), int(mrOk));
        QCOMPARE(ticks, 5);
        QCOMPARE(counter.Elapsed(), QStringLiteral("0:00:05"));
    }

    // Long texts, long words (a folder's path) and short last words: the
    // text drawn in the balloon needs no more room than its label has, in
    // height (no last line cut off) or in width (no word running out of
    // the balloon), whatever the balloon's font.
    void noTextIsEverCut()
    {
        const QStringList texts {
            QStringLiteral("Složka s daty „/srv/vedomec“ byla prázdná, a tak do ní Vedomec nakopíroval ukázkové testy."),
            QStringLiteral("Složka s daty „/home/ucitel/Dokumenty/skola/vedomec-slozka-tridy-4b“ byla prázdná, a tak do ní "
                           "Vedomec nakopíroval ukázkové testy."),
            QStringLiteral("Vedomec nemůže vytvořit složku „/home/zak/.local/state/vedomec/work“: chybí vám k tomu "
                           "oprávnění. Uvolněte prosím místo ve své domovské složce, nebo požádejte správce počítače, "
                           "aby to napravil, a zkuste to znovu."),
            QStringLiteral("Nebyl vybrán žádný test!"),
            QStringLiteral("Soubor „Zkouska_ze_zemepisu_pro_ctvrtou_tridu_druhe_pololeti.dbf“ se nepodařilo otevřít."),
            QStringLiteral("Řádek\rdalší řádek s koncem\ra ještě jeden, delší, který se zalomí přes okraj bubliny a končí "
                           "krátkým slovem a."),
        };
        TAssistant a;
        a.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
        for (int size : {8, 10, 13}) {
            QFont font = a.Balloon()->Font();
            font.setPointSize(size);
            a.Balloon()->setFont(font);
            for (const QString& text : texts) {
                QRect label, needed;
                QRegion shown;
                whenShown(a, [&](TAssistantBalloon* b) {
                    const QLabel* l = b->findChild<QLabel*>("BalloonText");
                    label = l->geometry();
                    shown = b->mask().isEmpty() ? QRegion(b->rect()) : b->mask();
                    // Laid out as the label paints it: on its screen's pixels.
                    QImage canvas(l->size() * l->devicePixelRatio(), QImage::Format_ARGB32);
                    canvas.setDevicePixelRatio(l->devicePixelRatio());
                    QPainter p(&canvas);
                    p.setFont(l->font());
                    needed = p.boundingRect(QRect(0, 0, l->width(), 1 << 20), balloon::kTextFlags | Qt::AlignLeft | Qt::AlignTop,
                                            balloon::displayText(text));
                    QTest::mouseClick(b->findChild<QPushButton*>("BalloonButtonOK"), Qt::LeftButton);
                });
                a.MessageDlg(text, mtInformation, mbOK, 0);
                QVERIFY2(needed.height() <= label.height() && needed.width() <= label.width(),
                         qPrintable(QStringLiteral("%1 pt: %2x%3 in %4x%5: %6")
                                        .arg(size)
                                        .arg(needed.width())
                                        .arg(needed.height())
                                        .arg(label.width())
                                        .arg(label.height())
                                        .arg(text)));
                // Not a pixel of the text's room lies outside the balloon's shape.
                const QRect used(label.topLeft(), QSize(label.width(), needed.height()));
                QVERIFY2((QRegion(used) - shown).isEmpty(),
                         qPrintable(QStringLiteral("%1 pt: %2 outside the shape: %3").arg(size).arg(
                             QString::number((QRegion(used) - shown).boundingRect().x()) + QLatin1Char(',')
                             + QString::number((QRegion(used) - shown).boundingRect().y()), text)));
            }
        }
    }

    void buttonsShareOneWidthAndShowMnemonics()
    {
        TAssistant a;
        QList<int> widths;
        QString yesText;
        int expected = 0;
        whenShown(a, [&](TAssistantBalloon* b) {
            const QFontMetrics fm(a.Balloon()->Font());
            int widest = 0;
            for (const auto& spec : balloon::messageButtons())
                widest = std::max(widest, fm.horizontalAdvance(balloon::stripMnemonic(spec.caption)));
            expected = std::max(67, widest + 26);
            for (QPushButton* p : b->findChildren<QPushButton*>())
                if (p->objectName().startsWith(QLatin1String("BalloonButton")))
                    widths << p->width();
            yesText = b->findChild<QPushButton*>("BalloonButtonYes")->text();
            // Alt+A presses "&Ano".
            QTest::keyClick(b, Qt::Key_A, Qt::AltModifier);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Všechna tlačítka"), mtWarning, 0x7FF, 1), int(mrYes));
        QCOMPARE(widths.size(), 11);
        for (int w : widths)
            QCOMPARE(w, expected);
        QCOMPARE(yesText, QStringLiteral("&Ano"));

        // Two short captions: the minimum of 67.
        whenShown(a, [&](TAssistantBalloon* b) {
            widths = {b->findChild<QPushButton*>("BalloonButtonYes")->width(),
                      b->findChild<QPushButton*>("BalloonButtonNo")->width()};
            QTest::keyClick(b, Qt::Key_N, Qt::AltModifier);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("?"), mtConfirmation, mbYes | mbNo, 0), int(mrNo));
        QCOMPARE(widths, (QList<int> {67, 67}));
    }

    void shapeZoomAndPlacement()
    {
        TAssistant a;
        TAssistantBalloon* b = a.balloonWindow();
        b->setDesktopRect(QRect(0, 0, 800, 800));
        a.MessageDlg(QStringLiteral("Tvar"), mtInformation, 0, 0);
        // Zooming in: a one-pixel outline at 20 % of the balloon.
        QCOMPARE(b->zoomStage(), 1);
        const QRect outline = balloon::zoomOutline(b->placement().body, 20);
        QCOMPARE(b->mask().boundingRect(), outline);
        QVERIFY(!b->mask().contains(outline.center()));
        QTRY_COMPARE(b->zoomStage(), 3);
        QCOMPARE(b->mask(), b->shapeRegion());
        // Centred, no tail, rounded corners cut away.
        const QRect g = b->geometry();
        QCOMPARE(g.x(), (800 - g.width()) / 2);
        QCOMPARE(g.y(), (800 - g.height()) / 2);
        QVERIFY(!b->mask().contains(QPoint(0, 0)));
        QVERIFY(b->mask().contains(QPoint(g.width() / 2, 0)));
        QVERIFY(b->mask().contains(QPoint(g.width() / 2, g.height() / 2)));
        // The border is drawn inside the mask: the outermost ring is black,
        // the inside light yellow.
        const QImage img = b->grab().toImage();
        QCOMPARE(img.pixelColor(g.width() / 2, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(g.width() / 2, 1), QColor(255, 255, 192));
        QCOMPARE(a.Balloon()->Color(), QColor(255, 255, 192));
        QCOMPARE(tcolorFromColor(a.Balloon()->Color()), 12648447u);

        // An anchor puts it beside the anchor with a tail; a hidden one centres it.
        QWidget anchor;
        anchor.setGeometry(300, 600, 100, 100);
        anchor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&anchor));
        a.SetBalloonAnchor(&anchor);
        QVERIFY(a.BalloonPosition() >= 1 && a.BalloonPosition() <= 8);
        QCOMPARE(b->placement().side, balloon::TailSide::Bottom);
        const QPoint tip = b->placement().triangle[2];
        QVERIFY(b->mask().contains(tip));
        QVERIFY(b->mask().contains(tip - QPoint(0, 2)));
        anchor.hide();
        QCOMPARE(a.BalloonPosition(), 0);
        a.SetBalloonAnchor(nullptr);
        a.CloseBalloon();
        QCOMPARE(a.BalloonPosition(), 0);
    }

    void optionChangesLayTheBalloonOutAgain()
    {
        TAssistant a;
        a.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
        a.MessageDlg(QStringLiteral("Dlouhý text, který se musí zalomit do několika řádků, protože je delší než "
                                    "dvě stě čtyřicet šest bodů, a ještě kousek navíc."),
                     mtError, 0, 0);
        TAssistantBalloon* b = a.balloonWindow();
        const QSize before = b->size();
        auto* text = b->findChild<QLabel*>("BalloonText");
        const QFontMetrics fm(a.Balloon()->Font());
        QVERIFY(text->height() >= 2 * fm.height()); // wrapped, and the label holds all lines
        QFont big = a.Balloon()->Font();
        big.setPixelSize(20);
        a.Balloon()->setFont(big);
        QVERIFY(b->size().height() > before.height());
        QVERIFY(a.Balloon()->fontChanged());
        a.Balloon()->setBorderColor(Qt::blue);
        QTRY_COMPARE(b->zoomStage(), 3);
        const QImage img = b->grab().toImage();
        QCOMPARE(img.pixelColor(b->width() / 2, 0), QColor(Qt::blue));
        a.CloseBalloon();
    }

    void aNewerMessageTakesTheBalloonOver()
    {
        TAssistant a;
        int inner = -1;
        QTimer::singleShot(30, &a, [&] {
            clickWhenShown(a, "BalloonButtonOK");
            inner = a.MessageDlg(QStringLiteral("Váš čas vypršel."), mtInformation, mbOK, 0);
        });
        const int outer = a.MessageDlg(QStringLiteral("Opravdu?"), mtConfirmation, mbYes | mbNo, 0);
        QCOMPARE(inner, int(mrOk));
        QCOMPARE(outer, int(mrNone)); // not a yes
        QVERIFY(!a.balloonWindow()->isVisible());
    }

    void testResponderAnswersWithoutShowing()
    {
        TAssistant a;
        a.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
        QList<BalloonMessage> seen;
        {
            ScopedTestResponder r([&](const BalloonMessage& m) {
                seen << m;
                return m.type == mtConfirmation ? int(mrYes) : int(mrOk);
            });
            QCOMPARE(a.MessageDlg(QStringLiteral("Otázka?"), mtConfirmation, mbYes | mbNo, 0), int(mrYes));
            QCOMPARE(a.MessageDlg(QStringLiteral("Chyba!"), mtError, mbOK, 7), int(mrOk));
            QVERIFY(!a.balloonWindow()->isVisible());
            QVERIFY(TAssistant::hasTestResponder());
        }
        QVERIFY(!TAssistant::hasTestResponder());
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].text, QStringLiteral("Otázka?"));
        QCOMPARE(seen[0].buttons, MsgDlgButtons(mbYes | mbNo));
        QCOMPARE(seen[0].title, QStringLiteral("Vedomec"));
        QCOMPARE(seen[1].type, int(mtError));
        QCOMPARE(seen[1].helpContext, 7);
    }
};

QTEST_MAIN(TestMessageDlg)
#include "tst_messagedlg.moc"
