// The main window's help conversation, driven as the user drives it: F1,
// typing a keyword into the guide, "&Vyhledat" or Enter, the tips, the
// topics.  What the character is asked to play is read from the
// assistant's queue with the sample owl loaded (the character is never
// shown, so nothing plays and the requests stay queued).
#include "AppFixture.h"

#include "assistant/oaDirect.h"
#include "controls/ToolbarButton.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

void quiet(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (!msg.startsWith(QLatin1String("This plugin does not support")))
        qt_message_output(type, ctx, msg);
}

const QString Apology = QStringLiteral("Bohužel jsem nemohl najít Vámi zadané klíčové slovo. Zkuste zadat slovo znovu, "
                                       "nebo si vyberte jinou nápovědu.");
const QString Prompt = QStringLiteral("Zde napišt klíčové slovo pro podrobnější nápovědu.");
const QString Shortcuts = QStringLiteral(
    "Klávesové zkratky\r\rCtrl+O\t\t\t- Otevřít test\rCtrl+I\t\t\t- Import testu\rCtrl+Z\t\t\t- Uzavřít test\r"
    "F1\t\t\t- Nápověda\rF5\t\t\t- První otázka testu\rF6 nebo Shift+Enter\t- Předchozí otázka testu\r"
    "F7 nebo Ctrl+Enter\t- Následující otázka testu\rF8\t\t\t- Poslední otázka testu\rCtrl+V\t\t\t- Výsledky testu");

struct Help {
    Help()
    {
        app.showMain();
        a = app.main->Assistant;
    }
    TAssistantBalloon* balloon() const { return a->balloonWindow(); }
    template <class T = QAbstractButton>
    T* part(const QString& name) const
    {
        T* w = balloon()->findChild<T*>(name);
        if (!w)
            qFatal("no %s in the balloon", qPrintable(name));
        return w;
    }
    QString text() const { return part<QLabel>(QStringLiteral("BalloonText"))->text(); }
    bool shown() const { return balloon()->isVisible() && balloon()->zoomStage() == 3; }
    QPlainTextEdit* box() const { return part<QPlainTextEdit>(QStringLiteral("GuideRequest")); }
    // F1 as the user presses it, into the active main window.
    void f1()
    {
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == app.main; }, 2000))
            qWarning("the main window is not active");
        QTest::keyClick(app.main, Qt::Key_F1);
    }
    // Replaces the selected request with the text, as typed.
    void type(const QString& s)
    {
        for (QChar c : s) {
            QTest::sendKeyEvent(QTest::Press, box(), Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, box(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    // F1, the request typed over the selected one, then Enter or "&Vyhledat".
    bool search(const QString& request, bool enter = true)
    {
        if (a->BalloonMode() != bmGuide)
            f1();
        if (!QTest::qWaitFor([&] { return shown(); }))
            return false;
        box()->selectAll();
        type(request);
        if (enter)
            QTest::keyClick(box(), Qt::Key_Return);
        else
            QTest::mouseClick(part(QStringLiteral("GuideSearch")), Qt::LeftButton);
        return QTest::qWaitFor([&] { return shown(); });
    }
    void loadOwl() { a->setActorLibrary(QStringLiteral(VEDOMEC_SAMPLE_ACTOR)); }
    // Names of the animations asked for since `from` requests were queued.
    QStringList asked(qsizetype from = 0) const
    {
        QStringList names;
        for (quint32 id : a->director()->queued().mid(from))
            names << a->GetRequestInfo(id).name;
        return names;
    }
    qsizetype queued() const { return a->director()->queued().size(); }

    AppFixture app;
    TAssistant* a = nullptr;
};

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qInstallMessageHandler(quiet); }

    void theMainWindowSetsItsAssistantUp()
    {
        Help h;
        TAssistant* a = h.a;
        QCOMPARE(a->Caption(), QStringLiteral("Pomocník"));
        QCOMPARE(a->ClientWidth(), 242);
        QVERIFY(a->FastShowHide()); // closed by the user, she goes at once
        QCOMPARE(a->MoveStep(), 16);
        QVERIFY(!a->StayOnTop());
        QVERIFY(!a->BgPicture().isNull());
        QCOMPARE(a->MsgDlg()->CustomIcon().pixmap(32, 32).size(), QSize(32, 32));
        QVERIFY(a->ActorLibrary().isEmpty());
        const QStringList tips = a->TipsDlg()->Tips();
        QCOMPARE(tips.size(), 10);
        QCOMPARE(tips.first(), QStringLiteral("Program test umožňuje vytvořit tři různé typy testů."));
        QCOMPARE(tips[5], QStringLiteral("Můžete opatřit Vámi vytvořený test heslem pro editaci, aby nebylo možné "
                                         "měnit jeho obsah."));
        QCOMPARE(tips.last(), QStringLiteral("Pokud vlastníte skupinu programů Korvalo2001, bude program Vedomec "
                                             "2001 s Korvalo2001 propojen."));
        QCOMPARE(a->TipsDlg()->TipIndex(), 0);
        QCOMPARE(a->GuideDlg()->Topics(), (QStringList {QStringLiteral("Jak zobrazit podrobnou nápovědu."),
                                                        QStringLiteral("Klíčová slova nápovědy")}));
        QCOMPARE(a->GuideDlg()->Title(), QStringLiteral("Nápověda"));
        QCOMPARE(a->GuideDlg()->Request(), Prompt);
        QCOMPARE(a->GuideDlg()->Description(), QStringLiteral("Stačí si pouze vybrat, jakou pomoc potřebujete."));

        // F1 opens the guide centred, with nothing of the character.
        h.f1();
        QTRY_VERIFY(h.shown());
        QCOMPARE(a->BalloonMode(), int(bmGuide));
        QCOMPARE(a->BalloonPosition(), 0);
        QVERIFY(!a->stage()->isVisible());
        QCOMPARE(h.text(), QStringLiteral("Stačí si pouze vybrat, jakou pomoc potřebujete."));
        QCOMPARE(h.box()->toPlainText(), Prompt);
        QVERIFY(h.part(QStringLiteral("GuideOptions"))->isEnabled()); // the settings
        QVERIFY(h.part(QStringLiteral("GuideSearch"))->isEnabled());
        QVERIFY(h.part(QStringLiteral("GuideTips"))->isEnabled());
        QCOMPARE(h.part(QStringLiteral("GuideTopic1"))->text(), QStringLiteral("Klíčová slova nápovědy"));
        QVERIFY(h.app.messages.empty());
        QVERIFY(h.app.errors.isEmpty());
    }

    void keywordSearch_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer"); // the whole text, or its heading
        QTest::addColumn<bool>("enter");
        const QString opening = QStringLiteral("Otevření testu");
        const QString import = QStringLiteral("Import testu");
        const QString results = QStringLiteral("Výsledky testu");
        const QString tests = QStringLiteral("Práce s testy");
        QTest::newRow("otevřít") << "otevřít" << opening << true;
        QTest::newRow("Otevřít test") << "Otevřít test" << opening << false;
        QTest::newRow("OTEVřít") << "OTEVřít" << opening << true;
        QTest::newRow("OTEVŘÍT: Ř and Í stay capitals") << "OTEVŘÍT" << Apology << false;
        QTest::newRow("otevrit without accents") << "otevrit" << Apology << true;
        QTest::newRow("import") << "IMPORT" << import << true;
        QTest::newRow("import testu: import comes first") << "import testu" << import << false;
        QTest::newRow("ukončit") << "Ukončit"
                                 << QStringLiteral("Ukončit test\r\rPomocí tohoto Tlačítka můžete ukončit aktuální "
                                                   "test bez zobrazení výsledků.")
                                 << true;
        QTest::newRow("výsledky") << "výsledky" << results << false;
        QTest::newRow("Výsledky testu: výsledky comes first") << "Výsledky testu" << results << true;
        QTest::newRow("VÝSLEDKY: Ý stays a capital") << "VÝSLEDKY" << Apology << true;
        QTest::newRow("test") << "Test" << tests << false;
        QTest::newRow("testy") << "testy" << tests << true;
        QTest::newRow("zkratky") << "zkratky" << Shortcuts << false;
        QTest::newRow("zkratky with blanks: nothing trimmed") << " Zkratky " << Shortcuts << true;
        QTest::newRow("ZKRATKY: A and Z are lowered too") << "ZKRATKY" << Shortcuts << false;
        QTest::newRow("zpět") << "zpět" << Prompt << true;
        QTest::newRow("Zpět") << "Zpět" << Prompt << false;
        QTest::newRow("unknown") << "nápověda" << Apology << true;
    }
    void keywordSearch()
    {
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(bool, enter);
        Help h;
        QVERIFY(h.search(request, enter));
        QCOMPARE(h.a->BalloonMode(), int(bmGuide));
        QCOMPARE(h.a->GuideDlg()->Request(), request);
        const QString text = h.text();
        if (answer.contains(QLatin1Char('\r')) || answer == Prompt || answer == Apology)
            QCOMPARE(text, answer);
        else
            QVERIFY2(text.startsWith(answer + QStringLiteral("\r\r")), qPrintable(text));
        QCOMPARE(h.a->GuideDlg()->Description(), text);
        // The topics from now on, with their full stops and blanks.
        const QStringList topics {QStringLiteral("Jak zobrazit podrobnou nápovědu. "),
                                  QStringLiteral("Klíčová slova nápovědy. ")};
        QCOMPARE(h.a->GuideDlg()->Topics(), topics);
        QCOMPARE(h.part(QStringLiteral("GuideTopic0"))->text(), topics[0]);
        QCOMPARE(h.part(QStringLiteral("GuideTopic1"))->text(), topics[1]);
        QCOMPARE(h.app.main->LastSearch, request);
        // Closed and opened again, the guide keeps answer and request.
        h.a->CloseBalloon();
        // The keyboard is back with the main window, where F1 works.
        QTRY_COMPARE(QApplication::activeWindow(), h.app.main);
        h.f1();
        QTRY_VERIFY(h.shown());
        QCOMPARE(h.text(), text);
        QCOMPARE(h.box()->toPlainText(), request);
    }

    void theLongHelpTextsInFull()
    {
        Help h;
        QVERIFY(h.search(QStringLiteral("otevřít")));
        QCOMPARE(h.text(),
                 QStringLiteral("Otevření testu\r\rTest otevřete klepnutím na tlačítko \"Otevřít test\", nebo "
                                "kombinací kláves \"Ctrl+O\". Po této operaci se zobrazí dialogové okno pro otevření "
                                "testu. V tomto okně je zobrazen seznam druhů testů, pod kterými se skrývají "
                                "jednotlivé testy. Vyberte si druh testu (dvakrát na něj klikněte) a poté si vyberte "
                                "test. Stiskněte tlačítko \"Otevřít\" a Vámi vybraný test bude připraven pro "
                                "vyplnění."));
        QVERIFY(h.search(QStringLiteral("import")));
        QCOMPARE(h.text(),
                 QStringLiteral("Import testu\r\rPomocí tohoto příkazu můžete přidat do programu libovolný test "
                                "vytvořený jiným uživatelem. Dialogové okno pro výběr importovaného testu zobrazíte "
                                "klepnutím na tlačítko \"Import testu\", nebo kombinací kláves \"Ctrl+I\". Po této "
                                "operaci se zobrazí dialogové okno, ve kterém si vyberte jeden ze zobrazených testů a "
                                "stiskněte tlačítko \"Import\". Bude zobrazena informace o importovaném testu a po "
                                "stisknutí tlačítka \"Ok\" bude test přidán do seznamu testů k otevření."));
        QVERIFY(h.search(QStringLiteral("výsledky")));
        QCOMPARE(h.text(),
                 QStringLiteral("Výsledky testu\r\rPomocí tohoto tlačítka zobrazíte výsledek aktuálního testu. Test "
                                "musí být zcela vyplněn, jinak nebudou výsledky zobrazeny a program Vás vyzve k "
                                "doplnění chybějících odpovědí. V dialogovém okně s výsledky jsou zobrazeny "
                                "následující údaje : počet otázek testu, počet správných odpovědí, počet chybných "
                                "odpovědí a procento úspěšnosti vyplňovaného testu."));
        QVERIFY(h.search(QStringLiteral("test")));
        QCOMPARE(h.text(),
                 QStringLiteral("Práce s testy\r\rPo otevření požadovaného testu bude zobrazena první otázka. Pohyb "
                                "po jednotlivých otázkách je následující: pokud chcete zobrazit otázku následující "
                                "stiskněte kombinaci kláves \"Ctrl+Enter\" nebo klávesu \"F7\", pro pohyb na otázku "
                                "předchozí stiskněte \"Shift+Enter\" nebo klávesu \"F6\". Pro posun na první "
                                "respektive poslední otázku testu použijte klávesy \"F5 a F8\". Jednotlivé odpovědi "
                                "zadávejte pomocí myši, nebo z klávesnice za použití kláves pro pohyb (šipky a "
                                "tabelátor). U testu typu doplňte je nutné napsat odpověď včetne velkých a malých "
                                "písmen (toto je důležité při zkoušce z vlastních jmen a názvů)."));
    }

    // New requests ask for 6 (found) or 5 (not found), repeated ones for 38
    // or 7; the writing ends with the search.
    void searchAsksTheCharacterAccordingly()
    {
        Help h;
        h.loadOwl();
        h.f1();
        QTRY_VERIFY(h.shown());
        qsizetype from = h.queued();
        QVERIFY(h.search(QStringLiteral("zkratky")));
        QCOMPARE(h.asked(from), (QStringList {"Write", "WriteReturn", "Explain"}));
        QVERIFY(!h.app.main->Writing);
        struct Step {
            const char* request;
            const char* animation;
        };
        const Step steps[] = {{"zkratky", "ExplainAgain"}, {"xyz", "Confused"},     {"xyz", "ConfusedAgain"},
                              {"zkratky", "Explain"},      {"Zkratky", "Explain"}, {"Zkratky", "ExplainAgain"},
                              {"zpět", "Explain"}};
        for (const Step& s : steps) {
            from = h.queued();
            QVERIFY(h.search(QString::fromUtf8(s.request)));
            QCOMPARE(h.asked(from).last(), QString::fromLatin1(s.animation));
            QCOMPARE(h.app.main->LastSearch, QString::fromUtf8(s.request));
        }
        // Enter with an empty request searches and asks for nothing.
        h.box()->selectAll();
        QTest::keyClick(h.box(), Qt::Key_Delete);
        QVERIFY(h.app.main->Writing);
        from = h.queued();
        QTest::keyClick(h.box(), Qt::Key_Return);
        QVERIFY(h.asked(from).isEmpty());
        QCOMPARE(h.app.main->LastSearch, QStringLiteral("zpět"));
        QVERIFY(h.shown());
    }

    void writingFollowsTheTyping()
    {
        Help h;
        h.loadOwl();
        TAssistantDirector* d = h.a->director();
        h.a->setMute(true);
        d->setAutoIdle(false);
        d->setEnabled(true); // the owl plays, unseen
        QStringList started;
        connect(h.a, &TAssistant::OnPlayStart, h.a,
                [&](TAssistant*, quint32 id) { started << h.a->GetRequestInfo(id).name; });
        h.f1();
        QTRY_VERIFY(h.shown());
        h.box()->selectAll();
        h.type(QStringLiteral("o"));
        QVERIFY(h.app.main->Writing);
        const quint32 write = h.app.main->WriteRequest;
        QCOMPARE(h.a->GetRequestInfo(write).name, QStringLiteral("Write"));
        h.type(QStringLiteral("t"));
        QCOMPARE(h.app.main->WriteRequest, write); // still writing: nothing piles up
        QTRY_VERIFY(!h.a->IsRequestPending(write));
        h.type(QStringLiteral("e"));
        const quint32 more = h.app.main->WriteRequest;
        QCOMPARE(h.a->GetRequestInfo(more).name, QStringLiteral("WriteContinued"));
        h.type(QStringLiteral("v"));
        QCOMPARE(h.app.main->WriteRequest, more);
        QVERIFY(d->queued().size() <= 1);
        // Closing the balloon ends the writing.
        QTest::keyClick(h.box(), Qt::Key_Escape);
        QCOMPARE(h.a->BalloonMode(), 0);
        QVERIFY(!h.app.main->Writing);
        QTRY_VERIFY(!d->engine()->isPlaying() && d->queued().isEmpty());
        QCOMPARE(started, (QStringList {"Write", "WriteContinued", "WriteReturn"}));

        // So does the next idle tick (the character must be visible for it).
        h.f1();
        QTRY_VERIFY(h.shown());
        h.type(QStringLiteral("x"));
        QVERIFY(h.app.main->Writing);
        h.a->ShowAssistant(true);
        QTRY_VERIFY(!d->engine()->isPlaying() && d->queued().isEmpty());
        started.clear();
        d->idleTimerTick();
        QVERIFY(!h.app.main->Writing);
        QCOMPARE(started, QStringList {"WriteReturn"});
    }

    void topicsAreAnsweredWithThoughts()
    {
        Help h;
        h.f1();
        QTRY_VERIFY(h.shown());
        QTest::mouseClick(h.part(QStringLiteral("GuideTopic0")), Qt::LeftButton);
        QCOMPARE(h.a->BalloonMode(), int(bmThought));
        QCOMPARE(h.text(), QStringLiteral("Pro podrobnější nápovědu stačí zadat klíčové slovo a stisknout tlačítko "
                                          "Vyhledat. Pokud se budete chtít kdykoliv vrátit do této obrazovky, napište "
                                          "slovo Zpět."));
        QCOMPARE(h.balloon()->content().timeoutMs, 10000);
        QVERIFY(h.search(QStringLiteral("zkratky")));
        QTest::mouseClick(h.part(QStringLiteral("GuideTopic1")), Qt::LeftButton);
        QCOMPARE(h.a->BalloonMode(), int(bmThought));
        QCOMPARE(h.text(), QStringLiteral("Klíčová slova nápovědy\r\rOtevřít\t\tImport\rUkončit\t\tVýsledky\rTest\t\t"
                                          "Zkratky\rZpět"));
        QCOMPARE(h.balloon()->content().timeoutMs, 10000);
        // Any other topic says nothing.
        h.a->CloseBalloon();
        h.app.main->AssistantGuideTopicClick(h.a, 2);
        QCOMPARE(h.a->BalloonMode(), 0);
    }

    void helpWaitsWhileTheTipsAreOpen()
    {
        Help h;
        h.loadOwl();
        h.f1();
        QTRY_VERIFY(h.shown());
        qsizetype from = h.queued();
        QTest::mouseClick(h.part(QStringLiteral("GuideTips")), Qt::LeftButton);
        QCOMPARE(h.a->BalloonMode(), int(bmTips));
        QTRY_VERIFY(h.shown());
        QCOMPARE(h.asked(from), QStringList {"Idea"}); // state 53 as the tips show
        const QString tip = h.text().trimmed();
        QCOMPARE(tip, QStringLiteral("Program test umožňuje vytvořit tři různé typy testů."));
        // Back in the main window with the tips still open, F1 does nothing.
        h.app.main->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), h.app.main);
        h.f1();
        h.app.main->ToolbarButton978->click();
        QCOMPARE(h.a->BalloonMode(), int(bmTips));
        QCOMPARE(h.text().trimmed(), tip);
        QTest::mouseClick(h.part(QStringLiteral("TipsNext")), Qt::LeftButton);
        QCOMPARE(h.text().trimmed(), QStringLiteral("Je možné vytvořit neomezené množství testů pro každý typ."));
        QTest::mouseClick(h.part(QStringLiteral("TipsClose")), Qt::LeftButton);
        QCOMPARE(h.a->BalloonMode(), 0);
        h.app.main->ToolbarButton978->click();
        QCOMPARE(h.a->BalloonMode(), int(bmGuide));

        // A click on the character closes the guide, a double click leaves it.
        QTRY_VERIFY(h.shown());
        h.app.main->AssistantDblClick(h.a);
        QVERIFY(h.shown());
        h.app.main->AssistantClick(h.a);
        QCOMPARE(h.a->BalloonMode(), 0);
        h.app.main->AssistantClick(h.a);
        QCOMPARE(h.a->BalloonMode(), 0);
        h.app.main->AssistantDblClick(h.a);
        QCOMPARE(h.a->BalloonMode(), int(bmGuide));
    }

    // Each of the ten tips stands clear of the bulb on every line: the text
    // begins as far in as the spaces that cover the icon and its inset, and
    // every line it wraps into lies within it.
    void everyTipStandsClearOfTheBulb()
    {
        Help h;
        h.f1();
        QTRY_VERIFY(h.shown());
        QTest::mouseClick(h.part(QStringLiteral("GuideTips")), Qt::LeftButton);
        QTRY_VERIFY(h.shown());
        auto* icon = h.part<QLabel>(QStringLiteral("BalloonIcon"));
        auto* label = h.part<QLabel>(QStringLiteral("BalloonText"));
        const QStringList tips = h.a->TipsDlg()->Tips();
        QCOMPARE(tips.size(), 10);
        int wrapped = 0;
        for (int i = 0; i < tips.size(); ++i) {
            QCOMPARE(h.a->TipsDlg()->TipIndex(), i);
            QCOMPARE(label->text(), tips[i]);
            const QRect body = h.balloon()->placement().body;
            const QRect text = label->geometry();
            QVERIFY2(text.left() - body.left() - 7 >= icon->width() + 14, qPrintable(tips[i]));
            QVERIFY(text.left() > icon->geometry().right());
            const QFontMetrics fm(label->font());
            const QRect lines = fm.boundingRect(QRect(0, 0, text.width(), 1 << 20), Qt::TextWordWrap, tips[i]);
            QVERIFY2(lines.width() <= text.width() && lines.height() <= text.height(), qPrintable(tips[i]));
            QVERIFY(text.right() <= body.right());
            wrapped += lines.height() > fm.height() ? 1 : 0;
            if (i + 1 < tips.size())
                QTest::mouseClick(h.part(QStringLiteral("TipsNext")), Qt::LeftButton);
        }
        // The widest tip sets the wrapping width: none wraps unless it is
        // longer than the widest line a tips balloon allows.
        if (h.balloon()->placement().body.width() - 14 < 640)
            QCOMPARE(wrapped, 0);
    }

    // Once the character has hidden, balloons point at the main window, and
    // the character turns towards them.
    void balloonsBesideTheMainWindowAskForTheirDirection()
    {
        Help h;
        h.loadOwl();
        h.a->ShowAssistant(true);
        h.a->HideAssistant(true);
        QCOMPARE(h.a->balloonWindow()->anchor(), h.app.main);
        h.app.main->activateWindow();
        TAssistant::setTestResponder({});
        qsizetype from = h.queued();
        h.a->MessageDlg(QStringLiteral("Zpráva"), mtInformation, 0, 0);
        QTRY_VERIFY(h.shown());
        const int position = h.a->BalloonPosition();
        QVERIFY(position >= 1 && position <= 8);
        const char* pointing[] = {"PointUp", "PointUp", "PointRight", "PointRight", "PointDown", "PointDown",
                                  "PointLeft", "PointLeft"};
        QCOMPARE(h.asked(from), QStringList {QString::fromLatin1(pointing[position - 1])});

        h.f1();
        QCOMPARE(h.a->BalloonMode(), int(bmGuide));
        QTRY_VERIFY(h.shown());
        QTest::mouseClick(h.part(QStringLiteral("GuideTips")), Qt::LeftButton);
        QTRY_VERIFY(h.shown());
        from = h.queued();
        QCOMPARE(h.a->BalloonMode(), int(bmTips));
        QTest::mouseClick(h.part(QStringLiteral("TipsNext")), Qt::LeftButton);
        QCOMPARE(h.a->TipsDlg()->TipIndex(), 1);
        const int tipsAt = h.a->BalloonPosition();
        const char* tipping[] = {"TipUp", "TipUp", "TipRight", "TipRight", "TipDown", "TipDown", "TipLeft", "TipLeft"};
        QVERIFY(tipsAt >= 1 && tipsAt <= 8);
        QCOMPARE(h.asked(from), QStringList {QString::fromLatin1(tipping[tipsAt - 1])});
        h.a->CloseBalloon();

        // Shown again, the character takes the balloons back to herself.
        h.a->ShowAssistant(true);
        QCOMPARE(h.a->balloonWindow()->anchor(), h.a->stage());
    }

    void closingTheCharacterAsksUnderItsName()
    {
        Help h;
        h.loadOwl();
        h.a->ShowAssistant(true);
        QVERIFY(QTest::qWaitForWindowExposed(h.a->stage()));
        h.app.answer({mrNo});
        h.a->stage()->close();
        QCOMPARE(int(h.app.messages.size()), 1);
        const BalloonMessage& m = h.app.messages.back();
        QCOMPARE(m.text, QStringLiteral("Opravdu chcete uzavřít pomocníka?"));
        QCOMPARE(m.title, QStringLiteral("Sova"));
        QCOMPARE(m.type, int(mtCustom));
        QCOMPARE(m.buttons, MsgDlgButtons(mbYes | mbNo));
        QVERIFY(h.a->stage()->isVisible());
        QCOMPARE(h.a->MsgDlg()->Title(), QStringLiteral("Sova")); // not set back
        h.app.answer({mrYes});
        h.a->stage()->close();
        QVERIFY(!h.a->stage()->isVisible());
        QCOMPARE(h.a->balloonWindow()->anchor(), h.app.main);
        // The next message of the program carries its own title again.
        h.app.main->UserMessage(QStringLiteral("Nebyl vybrán žádný test!"), mtError, mbOK);
        QCOMPARE(h.app.messages.back().title, QStringLiteral("Vedomec"));

        // No actor, no name.
        bool canClose = false;
        h.a->setActorLibrary(QString());
        h.app.answer({mrYes});
        h.app.main->AssistantCloseQuery(h.a, &canClose);
        QVERIFY(canClose);
        QCOMPARE(h.app.messages.back().title, QString());
    }

    void aWaitingMessageGetsAttentionNowAndThen()
    {
        Help h;
        h.loadOwl();
        TAssistant::setTestResponder({});
        h.a->MessageDlg(QStringLiteral("Čekám"), mtInformation, 0, 0);
        QCOMPARE(h.a->BalloonMode(), int(bmMessage));
        // Seeds whose first draws are: below 10 not 0; 0 and then below 5 not
        // 0; 0 and 0.
        auto draws = [](quint32 seed) {
            SeededRandom r(seed);
            const int first = r.bounded(10);
            return std::pair(first, r.bounded(5));
        };
        quint32 never = 0, once = 0, twice = 0;
        for (quint32 seed = 1; !(never && once && twice); ++seed) {
            const auto [ten, five] = draws(seed);
            if (ten != 0 && !never)
                never = seed;
            else if (ten == 0 && five != 0 && !once)
                once = seed;
            else if (ten == 0 && five == 0 && !twice)
                twice = seed;
        }
        auto idle = [&](quint32 seed, int level, QStringList* asked) {
            SeededRandom r(seed);
            h.app.main->setRandom(&r);
            const qsizetype from = h.queued();
            bool handled = false;
            h.app.main->AssistantIdle(h.a, level, &handled);
            h.app.main->setRandom(nullptr);
            *asked = h.asked(from);
            return handled;
        };
        QStringList asked;
        QVERIFY(!idle(never, 2, &asked));
        QVERIFY(asked.isEmpty());
        QVERIFY(idle(once, 2, &asked));
        QCOMPARE(asked, (QStringList {"GetAttention", "GetAttentionReturn"}));
        QVERIFY(idle(twice, 2, &asked));
        QCOMPARE(asked, (QStringList {"GetAttention", "GetAttentionContinued", "GetAttentionReturn"}));
        QVERIFY(!idle(twice, 1, &asked));
        QVERIFY(!idle(twice, 3, &asked));
        QVERIFY(asked.isEmpty());
        h.a->CloseBalloon();
        QVERIFY(!idle(twice, 2, &asked)); // no message waits
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
