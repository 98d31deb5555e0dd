// The assistant component as its owner sees it: published properties and
// events, the tips and the guide balloon driven through their widgets,
// thoughts, the idle level, and a component without an actor library.
#include "assistant/oaAssist.h"
#include "assistant/oaDirect.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace vedomec;

namespace {

const QRect Desktop(0, 0, 1000, 700);

void quiet(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (!msg.startsWith(QLatin1String("This plugin does not support")))
        qt_message_output(type, ctx, msg);
}

template <class T = QAbstractButton>
T* part(TAssistant& a, const QString& name)
{
    T* w = a.balloonWindow()->findChild<T*>(name);
    if (!w)
        qFatal("no %s in the balloon", qPrintable(name));
    return w;
}

QString balloonText(TAssistant& a)
{
    return part<QLabel>(a, QStringLiteral("BalloonText"))->text();
}

bool shown(TAssistant& a)
{
    return a.balloonWindow()->isVisible() && a.balloonWindow()->zoomStage() == 3;
}

// The topic buttons on the page, top to bottom, as their indexes.
QList<int> topicsOnPage(TAssistant& a)
{
    QList<QAbstractButton*> on;
    for (QAbstractButton* b : a.balloonWindow()->findChildren<QAbstractButton*>())
        if (b->objectName().startsWith(QLatin1String("GuideTopic")) && b->isVisible())
            on << b;
    std::sort(on.begin(), on.end(), [](QWidget* x, QWidget* y) { return x->y() < y->y(); });
    QList<int> out;
    for (QAbstractButton* b : on)
        out << b->objectName().mid(10).toInt();
    return out;
}

// Types text as a keyboard would, accented letters included (keyClicks
// takes ASCII only).
void type(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QAbstractButton* topic(TAssistant& a, int index)
{
    return part(a, QStringLiteral("GuideTopic%1").arg(index));
}

} // namespace

class TestAssistant : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qInstallMessageHandler(quiet); }

    void publishedPropertiesInOrderWithDefaults()
    {
        TAssistant a;
        const QMetaObject* mo = a.metaObject();
        QStringList names;
        for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
            names << QString::fromLatin1(mo->property(i).name());
        QCOMPARE(names, (QStringList {"ActorLibrary", "AutoIdle", "AutoSize", "BgMode", "BgPicture", "BiDiMode",
                                      "Caption", "ClientHeight", "ClientWidth", "Color", "FastShowHide", "FormLeft",
                                      "FormTop", "Height", "Width", "PopupMenu", "Priority", "MoveStep", "Mute",
                                      "Speed", "StayOnTop", "Stretch", "Transparent", "Balloon", "MsgDlg",
                                      "TipsDlg", "GuideDlg"}));
        QVERIFY(!mo->property(mo->indexOfProperty("Height")).isStored());
        QVERIFY(!mo->property(mo->indexOfProperty("Width")).isStored());

        QVERIFY(a.ActorLibrary().isEmpty());
        QVERIFY(a.AutoIdle());
        QVERIFY(a.AutoSize());
        QCOMPARE(a.BgMode(), bmTiled);
        QVERIFY(a.BgPicture().isNull());
        QCOMPARE(a.BiDiMode(), TAssistant::bdLeftToRight);
        QVERIFY(a.Caption().isEmpty());
        QCOMPARE(a.ClientHeight(), 150);
        QCOMPARE(a.ClientWidth(), 150);
        QCOMPARE(a.Color(), QApplication::palette().color(QPalette::Button));
        QVERIFY(!a.FastShowHide());
        QCOMPARE(a.FormLeft(), 0);
        QCOMPARE(a.FormTop(), 0);
        QVERIFY(!a.PopupMenu());
        QCOMPARE(a.Priority(), TAssistant::tpNormal);
        QCOMPARE(a.MoveStep(), 8);
        QVERIFY(!a.Mute());
        QCOMPARE(a.Speed(), 100);
        QVERIFY(a.StayOnTop());
        QVERIFY(!a.Stretch());
        QVERIFY(a.Transparent());
        QCOMPARE(tcolorFromColor(a.Balloon()->Color()), 12648447u);
        QVERIFY(a.MsgDlg()->Title().isEmpty());
        QCOMPARE(a.TipsDlg()->VisibleButtons(), int(tbClose | tbNext | tbBack));
        QCOMPARE(a.TipsDlg()->TipIndex(), -1);
        QCOMPARE(a.GuideDlg()->VisibleButtons(), int(gbClose | gbOptions | gbTips | gbSearch));
        QVERIFY(a.GuideDlg()->RequestBox());
        QVERIFY(a.GuideDlg()->Topics().isEmpty() && a.GuideDlg()->Title().isEmpty()
                && a.GuideDlg()->Request().isEmpty() && a.GuideDlg()->Description().isEmpty());
        // The director starts switched off, idling by itself once it runs.
        QVERIFY(!a.director()->Enabled());
        QVERIFY(a.director()->AutoIdle());

        // Refused values leave the property as it was.
        a.setMoveStep(0);
        QCOMPARE(a.MoveStep(), 8);
        a.setMoveStep(16);
        QCOMPARE(a.MoveStep(), 16);
        a.setSpeed(0);
        QCOMPARE(a.Speed(), 100);
        a.setSpeed(200);
        QCOMPARE(a.Speed(), 200);

        // Forwarded to the stage.
        a.setCaption(QStringLiteral("Pomocník"));
        a.setClientWidth(242);
        a.setFormLeft(30);
        a.setFormTop(40);
        QCOMPARE(a.stage()->windowTitle(), QStringLiteral("Pomocník"));
        QCOMPARE(a.stage()->geometry(), QRect(30, 40, 242, 150));
        a.setStayOnTop(false);
        QVERIFY(!(a.stage()->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(!(a.balloonWindow()->windowFlags() & Qt::WindowStaysOnTopHint));
    }

    void eventsInOrderWithTheirArguments()
    {
        TAssistant a;
        const QMetaObject* mo = a.metaObject();
        QStringList signatures;
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            if (mo->method(i).methodType() == QMetaMethod::Signal)
                signatures << QString::fromLatin1(mo->method(i).methodSignature());
        const QString s = QStringLiteral("vedomec::TAssistant*");
        QCOMPARE(signatures, (QStringList {
                                 "OnBalloonShow(" + s + ")", "OnBalloonHide(" + s + ")",
                                 "OnCanResize(" + s + ",int*,int*,bool*)", "OnChange(" + s + ")",
                                 "OnClick(" + s + ")", "OnCloseQuery(" + s + ",bool*)", "OnDblClick(" + s + ")",
                                 "OnDragging(" + s + ")", "OnDragStart(" + s + ")", "OnDragStop(" + s + ")",
                                 "OnHide(" + s + ")", "OnIdle(" + s + ",int,bool*)", "OnPlayStart(" + s + ",uint)",
                                 "OnPlayStop(" + s + ",uint)", "OnShow(" + s + ")", "OnTipsTipChange(" + s + ")",
                                 "OnGuideRequestChange(" + s + ")", "OnGuideTopicClick(" + s + ",int)",
                                 "OnGuideSearchClick(" + s + ")", "OnGuideOptionsClick(" + s + ")",
                                 "OnHelp(" + s + ",int)",
                                 // Ours: a damaged animation is the owner's to tell, once.
                                 "OnAnimationDamaged(" + s + ",QString,QString)"}));
    }

    void tipIndexAlwaysNamesATip()
    {
        TTipsDlgOptions t;
        t.setTipIndex(3);
        QCOMPARE(t.TipIndex(), -1); // nothing to name
        QStringList ten;
        for (int i = 1; i <= 10; ++i)
            ten << QString::number(i);
        t.setTips(ten);
        QCOMPARE(t.TipIndex(), 0);
        t.setTipIndex(99);
        QCOMPARE(t.TipIndex(), 9);
        t.setTipIndex(-5);
        QCOMPARE(t.TipIndex(), 0);
        t.setTipIndex(7);
        t.setTips(ten.mid(0, 4));
        QCOMPARE(t.TipIndex(), 3);
        t.setTips({});
        QCOMPARE(t.TipIndex(), -1);
    }

    void withoutAnActorRequestsAreRefusedAndBalloonsStandCentred()
    {
        TAssistant a;
        QSignalSpy starts(&a, &TAssistant::OnPlayStart);
        QCOMPARE(a.PlayAnimation(QStringLiteral("Write")), 0u);
        QCOMPARE(a.PlayState(6), 0u);
        QVERIFY(!a.IsRequestPending(0));
        QVERIFY(a.GetRequestInfo(0).name.isEmpty());
        QVERIFY(a.ActorName().isEmpty());
        QCOMPARE(starts.count(), 0);

        TAssistantBalloon* b = a.balloonWindow();
        b->setDesktopRect(Desktop);
        a.TipsDlg()->setTips({QStringLiteral("Tip.")});
        a.GuideDlg()->setTopics({QStringLiteral("Téma")});
        auto centred = [&] {
            const QRect g = b->geometry();
            return a.BalloonPosition() == 0 && g.x() == (Desktop.width() - g.width()) / 2
                && g.y() == (Desktop.height() - g.height()) / 2 && b->placement().side == balloon::TailSide::None;
        };
        a.MessageDlg(QStringLiteral("Zpráva"), mtInformation, 0, 0);
        QTRY_VERIFY(shown(a));
        QVERIFY(centred());
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        QCOMPARE(a.BalloonMode(), int(bmGuide));
        QVERIFY(centred());
        QTest::mouseClick(part(a, QStringLiteral("GuideTips")), Qt::LeftButton);
        QTRY_VERIFY(shown(a));
        QCOMPARE(a.BalloonMode(), int(bmTips));
        QVERIFY(centred());
        a.Think(QStringLiteral("Myšlenka"), 0);
        QTRY_VERIFY(shown(a));
        QCOMPARE(a.BalloonMode(), int(bmThought));
        QVERIFY(centred());
    }

    void tipsBalloonPagesThroughTheTips()
    {
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        QSignalSpy changes(&a, &TAssistant::OnTipsTipChange);
        QSignalSpy shows(&a, &TAssistant::OnBalloonShow);
        a.ShowGuide();
        QVERIFY(!part(a, QStringLiteral("GuideTips"))->isEnabled()); // no tips yet
        a.TipsDlg()->setTips({QStringLiteral("První tip."), QStringLiteral("Druhý tip."), QStringLiteral("Třetí tip.")});
        QVERIFY(part(a, QStringLiteral("GuideTips"))->isEnabled());
        QTRY_VERIFY(shown(a));
        QTest::mouseClick(part(a, QStringLiteral("GuideTips")), Qt::LeftButton);
        QCOMPARE(a.BalloonMode(), int(bmTips));
        QCOMPARE(changes.count(), 1); // laid out as it opens
        QTRY_VERIFY(shown(a));

        QAbstractButton* back = part(a, QStringLiteral("TipsBack"));
        QAbstractButton* next = part(a, QStringLiteral("TipsNext"));
        QAbstractButton* close = part(a, QStringLiteral("TipsClose"));
        QCOMPARE(back->text(), QStringLiteral("&Předchozí"));
        QCOMPARE(next->text(), QStringLiteral("&Další"));
        QCOMPARE(close->text(), QStringLiteral("Zavřít"));
        // The tip stands in, clear of the icon, by the spaces that cover it.
        QCOMPARE(balloonText(a), QStringLiteral("První tip."));
        auto* icon = part<QLabel>(a, QStringLiteral("BalloonIcon"));
        auto* text = part<QLabel>(a, QStringLiteral("BalloonText"));
        QVERIFY(icon->isVisible());
        const QRect body = a.balloonWindow()->placement().body;
        QCOMPARE(icon->x() - body.x(), 14);
        const QFontMetrics fm(a.Balloon()->Font());
        const int space = fm.horizontalAdvance(QLatin1Char(' '));
        const QString spaces((icon->width() + 14 + space - 1) / space, QLatin1Char(' '));
        QCOMPARE(text->x() - body.x() - 7, fm.horizontalAdvance(spaces));
        QVERIFY(fm.horizontalAdvance(spaces) >= icon->width() + 14);
        // Right-aligned: "&Předchozí", "&Další", "Zavřít", 7 pixels below the text.
        QVERIFY(back->geometry().right() < next->x() && next->geometry().right() < close->x());
        QCOMPARE(close->geometry().right(), body.right() - 7);
        QCOMPARE(close->y(), std::max(icon->geometry().bottom(), part<QLabel>(a, "BalloonText")->geometry().bottom()) + 1 + 7);
        QVERIFY(!back->isEnabled() && next->isEnabled());

        const int width = a.balloonWindow()->width();
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(a.TipsDlg()->TipIndex(), 1);
        QCOMPARE(balloonText(a), QStringLiteral("Druhý tip."));
        QVERIFY(back->isEnabled() && next->isEnabled());
        QCOMPARE(a.balloonWindow()->width(), width); // one width for every tip
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(balloonText(a), QStringLiteral("Třetí tip."));
        QVERIFY(back->isEnabled() && !next->isEnabled());
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(a.TipsDlg()->TipIndex(), 1);
        QCOMPARE(changes.count(), 4);
        a.TipsDlg()->setTipIndex(99);
        QCOMPARE(balloonText(a), QStringLiteral("Třetí tip."));
        QCOMPARE(changes.count(), 5);

        a.TipsDlg()->setVisibleButtons(tbClose);
        QVERIFY(!back->isVisible() && !next->isVisible() && close->isVisible());
        QCOMPARE(shows.count(), 2); // guide, tips
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(a.BalloonMode(), 0);
    }

    void guidePagesItsTopicsWithin133Pixels()
    {
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        QStringList topics;
        for (int i = 0; i < 12; ++i)
            topics << QStringLiteral("Téma %1").arg(i);
        a.GuideDlg()->setTopics(topics);
        QSignalSpy clicked(&a, &TAssistant::OnGuideTopicClick);
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        QAbstractButton* more = part(a, QStringLiteral("GuideNextPage"));
        QAbstractButton* back = part(a, QStringLiteral("GuideBackPage"));
        QCOMPARE(more->text(), QStringLiteral("Ukázat více..."));
        QCOMPARE(back->text(), QStringLiteral("Ukázat předchozí..."));

        // One-line topics of height h, 7 apart: as many as end 7 pixels
        // within 133 of the first one's top.
        const int h = topic(a, 0)->height();
        const int top = topic(a, 0)->y();
        const int fit = 133 / (h + 7);
        QList<int> page1;
        for (int i = 0; i < fit; ++i)
            page1 << i;
        QCOMPARE(topicsOnPage(a), page1);
        QVERIFY(topic(a, fit - 1)->geometry().bottom() + 1 + 7 - top <= 133);
        QVERIFY(!back->isVisible());
        QVERIFY(more->isVisible());
        QVERIFY(more->y() > topic(a, fit - 1)->y());
        for (int i = 0; i < fit; ++i)
            QCOMPARE(topic(a, i)->width(), a.balloonWindow()->placement().body.width() - 14);

        // The next page starts below "Ukázat předchozí...", which counts.
        QTest::mouseClick(more, Qt::LeftButton);
        QVERIFY(back->isVisible());
        QCOMPARE(back->y(), top);
        const QList<int> page2 = topicsOnPage(a);
        QCOMPARE(page2.first(), fit);
        QVERIFY(topic(a, page2.last())->geometry().bottom() + 1 + 7 - top <= 133);
        QCOMPARE(page2.size(), (133 - (back->height() + 7)) / (h + 7));
        QTest::mouseClick(topic(a, page2.first()), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked[0][1].toInt(), fit); // the index in the topics
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(topicsOnPage(a), page1);

        // The first topic of a page is placed however tall it is.
        a.GuideDlg()->setTopics({QStringLiteral("Dlouhé téma ").repeated(60), QStringLiteral("Krátké")});
        QCOMPARE(topicsOnPage(a), QList<int> {0});
        QVERIFY(topic(a, 0)->height() > 133);
        QVERIFY(more->isVisible());
        QTest::mouseClick(more, Qt::LeftButton);
        QCOMPARE(topicsOnPage(a), QList<int> {1});
        QVERIFY(back->isVisible() && !more->isVisible());
        // Fewer topics than the page started with: back to the first page.
        a.GuideDlg()->setTopics({QStringLiteral("Jediné")});
        QCOMPARE(topicsOnPage(a), QList<int> {0});
        QVERIFY(!back->isVisible() && !more->isVisible());
    }

    void guideButtonsAndRequestBox()
    {
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.GuideDlg()->setTitle(QStringLiteral("Nápověda"));
        a.GuideDlg()->setDescription(QStringLiteral("Popis."));
        a.GuideDlg()->setRequest(QStringLiteral("Zde napište slovo."));
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        QCOMPARE(part<QLabel>(a, "BalloonTitle")->text(), QStringLiteral("Nápověda"));
        QCOMPARE(part<QLabel>(a, "BalloonTitle")->font().bold(), true);
        QCOMPARE(balloonText(a), QStringLiteral("Popis."));
        auto* box = part<QPlainTextEdit>(a, QStringLiteral("GuideRequest"));
        QCOMPARE(box->toPlainText(), QStringLiteral("Zde napište slovo."));
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->textCursor().selectedText(), box->toPlainText());
        QAbstractButton* search = part(a, QStringLiteral("GuideSearch"));
        QAbstractButton* tips = part(a, QStringLiteral("GuideTips"));
        QAbstractButton* options = part(a, QStringLiteral("GuideOptions"));
        QAbstractButton* close = part(a, QStringLiteral("GuideClose"));
        QCOMPARE(search->text(), QStringLiteral("&Vyhledat"));
        QCOMPARE(options->text(), QStringLiteral("&Nastavení"));
        // "&Vyhledat" centred 5 pixels below the box; the command row left
        // to right; nothing bound, nothing enabled.
        QCOMPARE(search->y(), box->geometry().bottom() + 1 + 5);
        QCOMPARE(search->geometry().center().x(), box->geometry().center().x());
        QVERIFY(tips->x() < options->x() && options->x() < close->x());
        QVERIFY(!search->isEnabled() && !options->isEnabled() && !tips->isEnabled());
        const QFontMetrics fm(a.Balloon()->Font());
        QCOMPARE(box->height(), 2 * fm.lineSpacing() + 4);

        // Typing stores the request and tells the owner, key by key; Enter
        // does nothing while nobody searches.
        QSignalSpy typed(&a, &TAssistant::OnGuideRequestChange);
        QSignalSpy hides(&a, &TAssistant::OnBalloonHide);
        QTest::keyClicks(box, QStringLiteral("abc"));
        QCOMPARE(typed.count(), 3);
        QCOMPARE(a.GuideDlg()->Request(), QStringLiteral("abc"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->toPlainText(), QStringLiteral("abc")); // no line break either
        QCOMPARE(hides.count(), 0);

        // Bound events enable their buttons.
        QSignalSpy optionClicks(&a, &TAssistant::OnGuideOptionsClick);
        QSignalSpy searches(&a, &TAssistant::OnGuideSearchClick);
        a.ShowGuide();
        QVERIFY(options->isEnabled() && search->isEnabled());
        QTRY_VERIFY(shown(a));
        QTest::mouseClick(options, Qt::LeftButton);
        QCOMPARE(optionClicks.count(), 1);
        QCOMPARE(a.BalloonMode(), 0);

        // An empty request searches nothing.
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QVERIFY(a.GuideDlg()->Request().isEmpty());
        QTest::mouseClick(search, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(searches.count(), 0);
        QVERIFY(a.balloonWindow()->isVisible());
        QTest::keyClick(box, Qt::Key_Escape);
        QCOMPARE(a.BalloonMode(), 0);
        a.ShowGuide();
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(a.BalloonMode(), 0);
    }

    void searchHidesTheGuideAndShowsItsAnswer()
    {
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        QStringList topics;
        for (int i = 0; i < 12; ++i)
            topics << QStringLiteral("Téma %1").arg(i);
        a.GuideDlg()->setTopics(topics);
        int layoutsDuringSearch = 0;
        bool hiddenDuringSearch = false;
        QString requestSeen;
        connect(&a, &TAssistant::OnGuideSearchClick, &a, [&] {
            hiddenDuringSearch = !a.balloonWindow()->isVisible() && a.BalloonMode() == 0;
            requestSeen = a.GuideDlg()->Request();
            const auto c = connect(a.GuideDlg(), &TGuideDlgOptions::changed, &a, [&] { ++layoutsDuringSearch; });
            a.GuideDlg()->setDescription(QStringLiteral("Odpověď"));
            a.GuideDlg()->clearTopics();
            a.GuideDlg()->addTopic(QStringLiteral("Jedna. "));
            a.GuideDlg()->addTopic(QStringLiteral("Dvě. "));
            disconnect(c);
        });
        QSignalSpy hides(&a, &TAssistant::OnBalloonHide);
        QSignalSpy shows(&a, &TAssistant::OnBalloonShow);
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        QTest::mouseClick(part(a, QStringLiteral("GuideNextPage")), Qt::LeftButton);
        auto* box = part<QPlainTextEdit>(a, QStringLiteral("GuideRequest"));
        type(box, QStringLiteral("klíč"));
        QTest::keyClick(box, Qt::Key_Enter);
        QVERIFY(hiddenDuringSearch);
        QCOMPARE(requestSeen, QStringLiteral("klíč"));
        // Only the description relaid the (hidden) guide; the topics waited.
        QCOMPARE(layoutsDuringSearch, 1);
        QCOMPARE(hides.count(), 1);
        QCOMPARE(a.BalloonMode(), int(bmGuide));
        QTRY_VERIFY(shown(a));
        QCOMPARE(shows.count(), 2);
        QCOMPARE(balloonText(a), QStringLiteral("Odpověď"));
        QCOMPARE(topicsOnPage(a), (QList<int> {0, 1}));
        QCOMPARE(topic(a, 1)->text(), QStringLiteral("Dvě. "));
        QCOMPARE(box->toPlainText(), QStringLiteral("klíč")); // kept, selected again
        QCOMPARE(box->textCursor().selectedText(), QStringLiteral("klíč"));
    }

    void thoughtClosesByItselfWithoutTakingTheKeyboard()
    {
        TAssistant a;
        QWidget front;
        front.show();
        front.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&front));
        QSignalSpy hides(&a, &TAssistant::OnBalloonHide);
        a.Think(QStringLiteral("Myšlenka\rna dva řádky"), 150);
        QCOMPARE(a.BalloonMode(), int(bmThought));
        QTRY_VERIFY(shown(a));
        QCOMPARE(balloonText(a), QStringLiteral("Myšlenka\rna dva řádky"));
        QVERIFY(!a.balloonWindow()->isActiveWindow());
        QCOMPARE(QApplication::activeWindow(), &front);
        QVERIFY(!part<QLabel>(a, "BalloonTitle")->isVisible() && !part<QLabel>(a, "BalloonIcon")->isVisible());
        QTRY_COMPARE(a.BalloonMode(), 0);
        QCOMPARE(hides.count(), 1);

        a.Think(QStringLiteral("Zůstanu"), 0);
        QTRY_VERIFY(shown(a));
        QTest::qWait(300);
        QCOMPARE(a.BalloonMode(), int(bmThought));
    }

    void everyActionBringsTheIdleLevelBack()
    {
        TAssistant a;
        TAssistantDirector* d = a.director();
        a.TipsDlg()->setTips({QStringLiteral("A"), QStringLiteral("B")});
        a.GuideDlg()->setTopics({QStringLiteral("Téma")});
        connect(&a, &TAssistant::OnGuideSearchClick, &a, [] {});
        connect(&a, &TAssistant::OnGuideOptionsClick, &a, [] {});
        auto resets = [&](const std::function<void()>& action) {
            d->setIdleLevel(27);
            action();
            return d->idleLevel() == 25;
        };
        QVERIFY(resets([&] {
            a.ShowGuide();
            QTRY_VERIFY(shown(a));
        }));
        auto* box = part<QPlainTextEdit>(a, QStringLiteral("GuideRequest"));
        QVERIFY(resets([&] { QTest::keyClicks(box, QStringLiteral("x")); }));
        QVERIFY(resets([&] { QTest::mouseClick(topic(a, 0), Qt::LeftButton); }));
        QVERIFY(resets([&] { QTest::keyClick(box, Qt::Key_Return); }));
        QTRY_VERIFY(shown(a));
        QVERIFY(resets([&] { QTest::mouseClick(part(a, QStringLiteral("GuideOptions")), Qt::LeftButton); }));
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        QTest::mouseClick(part(a, QStringLiteral("GuideTips")), Qt::LeftButton);
        QTRY_VERIFY(shown(a));
        QVERIFY(resets([&] { QTest::mouseClick(part(a, QStringLiteral("TipsNext")), Qt::LeftButton); }));
    }

    // Nothing takes the balloon from a message that waits for its answer.
    void aWaitingMessageKeepsItsBalloon()
    {
        TAssistant a;
        a.GuideDlg()->setTopics({QStringLiteral("Téma")});
        a.TipsDlg()->setTips({QStringLiteral("Tip")});
        int modeMeanwhile = -1;
        QTimer::singleShot(50, &a, [&] {
            a.ShowGuide();
            a.Think(QStringLiteral("Myšlenka"), 0);
            modeMeanwhile = a.BalloonMode();
            QTRY_VERIFY(shown(a));
            QTest::mouseClick(part(a, QStringLiteral("BalloonButtonOK")), Qt::LeftButton);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Zpráva"), mtInformation, mbOK, 0), int(mrOk));
        QCOMPARE(modeMeanwhile, int(bmMessage));
    }

    void draggingTheCharacterMovesTheBalloonAlong()
    {
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.setAutoSize(false);
        a.setFormLeft(600);
        a.setFormTop(400);
        QSignalSpy shows(&a, &TAssistant::OnShow);
        a.ShowAssistant(true);
        QCOMPARE(shows.count(), 1);
        QVERIFY(QTest::qWaitForWindowExposed(a.stage()));
        a.Think(QStringLiteral("Myšlenka"), 0);
        QTRY_VERIFY(shown(a));
        QVERIFY(a.BalloonPosition() != 0); // beside its character now
        const QPoint before = a.balloonWindow()->pos();

        QSignalSpy hides(&a, &TAssistant::OnBalloonHide);
        QSignalSpy dragStart(&a, &TAssistant::OnDragStart);
        QSignalSpy dragStop(&a, &TAssistant::OnDragStop);
        TAssistantStage* s = a.stage();
        const QPoint at = s->pos();
        auto mouse = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
            QMouseEvent e(type, QPointF(global - at), QPointF(global), button, held, Qt::NoModifier);
            QApplication::sendEvent(s, &e);
        };
        a.director()->setIdleLevel(27);
        mouse(QEvent::MouseButtonPress, at + QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, at + QPoint(-90, -40), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(dragStart.count(), 1);
        QCOMPARE(a.director()->idleLevel(), 25);
        QVERIFY(!a.balloonWindow()->isVisible());
        QCOMPARE(a.BalloonMode(), int(bmThought)); // out of the way, not closed
        QCOMPARE(hides.count(), 0);
        mouse(QEvent::MouseButtonRelease, at + QPoint(-90, -40), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(dragStop.count(), 1);
        QVERIFY(a.balloonWindow()->isVisible());
        QCOMPARE(a.balloonWindow()->pos(), before - QPoint(100, 50));
    }

    // The character's close box asks the owner; yes hides the character.
    void closingTheStageAsksFirst()
    {
        TAssistant a;
        bool answer = false;
        int asked = 0;
        connect(&a, &TAssistant::OnCloseQuery, &a, [&](TAssistant*, bool* canClose) {
            ++asked;
            *canClose = answer;
        });
        QSignalSpy hidden(&a, &TAssistant::OnHide);
        a.ShowAssistant(true);
        QVERIFY(QTest::qWaitForWindowExposed(a.stage()));
        QVERIFY(!a.stage()->close());
        QCOMPARE(asked, 1);
        QVERIFY(a.stage()->isVisible());
        answer = true;
        a.stage()->close();
        QCOMPARE(asked, 2);
        QVERIFY(!a.stage()->isVisible());
        QVERIFY(!a.director()->Enabled());
        QCOMPARE(hidden.count(), 1);
    }

    void noOwnerEventsWhileDestroyed()
    {
        int events = 0;
        {
            auto* a = new TAssistant;
            a->TipsDlg()->setTips({QStringLiteral("Tip")});
            a->GuideDlg()->setTopics({QStringLiteral("Téma")});
            a->ShowAssistant(true);
            a->ShowGuide();
            QTRY_VERIFY(shown(*a));
            QTest::mouseClick(part(*a, QStringLiteral("GuideTips")), Qt::LeftButton);
            QCOMPARE(a->BalloonMode(), int(bmTips));
            for (auto signal : {&TAssistant::OnHide, &TAssistant::OnBalloonHide, &TAssistant::OnTipsTipChange})
                connect(a, signal, a, [&] { ++events; });
            connect(a, &TAssistant::OnPlayStop, a, [&] { ++events; });
            connect(a, &TAssistant::OnCloseQuery, a, [&] { ++events; });
            delete a;
        }
        QCOMPARE(events, 0);
    }
};

QTEST_MAIN(TestAssistant)
#include "tst_assistant.moc"
