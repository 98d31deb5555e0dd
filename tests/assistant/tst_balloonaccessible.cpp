// What a screen reader hears of the assistant: every balloon is read out
// as it appears, with its role, title and text, before the keyboard lands
// on its button; the tips and the guide are read again when what they say
// changes; the context help popup is read as it pops up.
#include "AccessibleProbe.h"

#include "assistant/HelpBook.h"
#include "assistant/oaAssist.h"

#include <QLabel>
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

bool shown(TAssistant& a)
{
    return a.balloonWindow()->isVisible() && a.balloonWindow()->zoomStage() == 3;
}

template <class T = QAbstractButton>
T* part(TAssistant& a, const char* name)
{
    return a.balloonWindow()->findChild<T*>(QLatin1String(name));
}

// Runs `action` once the balloon has zoomed in.
void whenShown(TAssistant& a, std::function<void()> action)
{
    auto* poll = new QTimer(&a);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &a, action] {
        if (shown(a)) {
            poll->stop();
            poll->deleteLater();
            action();
        }
    });
    poll->start();
}

} // namespace

class TestBalloonAccessible : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qInstallMessageHandler(quiet); }
    void init() { TAssistant::setTestResponder({}); }

    void messageIsAnAlertReadBeforeItsButton()
    {
        AccessibleProbe probe;
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
        QAccessible::Role roleSeen = QAccessible::NoRole;
        QString okName;
        whenShown(a, [&] {
            roleSeen = probe.role(a.balloonWindow());
            okName = probe.name(part(a, "BalloonButtonOK"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Nebyl vybrán žádný test!"), mtError, mbOK, 0), int(mrOk));
        QCOMPARE(roleSeen, QAccessible::AlertMessage);
        QCOMPARE(okName, QStringLiteral("OK"));

        const QList<AccessibleRecord> alerts = probe.alerts();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts[0].object, a.balloonWindow());
        QCOMPARE(alerts[0].role, QAccessible::AlertMessage);
        QCOMPARE(alerts[0].name, QStringLiteral("Vedomec"));
        QCOMPARE(alerts[0].description, QStringLiteral("Nebyl vybrán žádný test!"));
        // Its button is heard after the alert.
        const int alert = probe.indexOf(QAccessible::Alert, a.balloonWindow());
        const int focus = probe.indexOf(QAccessible::Focus, part(a, "BalloonButtonOK"), alert);
        QVERIFY2(focus > alert, "the OK button takes the focus after the alert");
    }

    void questionIsReadWithItsYesButton()
    {
        AccessibleProbe probe;
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
        QStringList buttons;
        whenShown(a, [&] {
            for (const char* n : {"BalloonButtonYes", "BalloonButtonNo"}) {
                QAccessibleInterface* i = probe.iface(part(a, n));
                QCOMPARE(i->role(), QAccessible::Button);
                buttons << i->text(QAccessible::Name);
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QCOMPARE(a.MessageDlg(QStringLiteral("Opravdu chcete ukončit tento test?"), mtConfirmation, mbYes | mbNo, 0),
                 int(mrNo));
        QCOMPARE(buttons, (QStringList {"Ano", "Ne"}));
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].description, QStringLiteral("Opravdu chcete ukončit tento test?"));
        const int alert = probe.indexOf(QAccessible::Alert, a.balloonWindow());
        QVERIFY(probe.indexOf(QAccessible::Focus, part(a, "BalloonButtonYes"), alert) > alert);

        // A message without a title is named by its text.
        probe.clear();
        a.MsgDlg()->setTitle(QString());
        whenShown(a, [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); });
        a.MessageDlg(QStringLiteral("Dostal(a) jste se na konec testu."), mtInformation, mbOK, 0);
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].name, QStringLiteral("Dostal(a) jste se na konec testu."));
    }

    void guideIsReadAndSoIsTheAnswerOfASearch()
    {
        AccessibleProbe probe;
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.GuideDlg()->setTitle(QStringLiteral("Nápověda"));
        a.GuideDlg()->setDescription(QStringLiteral("Stačí si pouze vybrat,\rjakou pomoc potřebujete."));
        a.GuideDlg()->setTopics({QStringLiteral("Jak zobrazit podrobnou nápovědu.")});
        a.GuideDlg()->setRequest(QStringLiteral("Zde napište klíčové slovo."));
        connect(&a, &TAssistant::OnGuideSearchClick, &a,
                [&] { a.GuideDlg()->setDescription(QStringLiteral("Test otevřete tlačítkem Otevřít test.")); });
        a.ShowGuide();
        QTRY_VERIFY(shown(a));

        QCOMPARE(probe.role(a.balloonWindow()), QAccessible::Dialog);
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].name, QStringLiteral("Nápověda"));
        QCOMPARE(probe.alerts()[0].description, QStringLiteral("Stačí si pouze vybrat,\njakou pomoc potřebujete."));
        // Its parts: the topic, the request box and the buttons, by name.
        QVERIFY(probe.find(a.balloonWindow(), QAccessible::Button, QStringLiteral("Jak zobrazit podrobnou nápovědu.")));
        auto* box = part<QPlainTextEdit>(a, "GuideRequest");
        QCOMPARE(probe.name(box), QStringLiteral("Dotaz"));
        QCOMPARE(probe.role(box), QAccessible::EditableText);
        QCOMPARE(QApplication::focusWidget(), box);
        QVERIFY(probe.find(a.balloonWindow(), QAccessible::Button, QStringLiteral("Vyhledat")));
        QVERIFY(probe.find(a.balloonWindow(), QAccessible::Button, QStringLiteral("Zavřít")));

        probe.clear();
        QTest::keyClick(box, Qt::Key_Enter);
        QTRY_VERIFY(shown(a));
        QTRY_COMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].name, QStringLiteral("Nápověda"));
        QCOMPARE(probe.alerts()[0].description, QStringLiteral("Test otevřete tlačítkem Otevřít test."));
    }

    void everyTipIsRead()
    {
        AccessibleProbe probe;
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.TipsDlg()->setTips({QStringLiteral("První tip."), QStringLiteral("Druhý tip.")});
        a.ShowGuide();
        QTRY_VERIFY(shown(a));
        probe.clear();
        QTest::mouseClick(part(a, "GuideTips"), Qt::LeftButton);
        QTRY_VERIFY(shown(a));
        QCOMPARE(a.BalloonMode(), int(bmTips));
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].role, QAccessible::Dialog);
        QCOMPARE(probe.alerts()[0].name, QStringLiteral("Tip"));
        QCOMPARE(probe.alerts()[0].description, QStringLiteral("První tip."));
        QCOMPARE(probe.name(part<QLabel>(a, "BalloonIcon")), QStringLiteral("Tip"));

        probe.clear();
        QTest::mouseClick(part(a, "TipsNext"), Qt::LeftButton);
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].description, QStringLiteral("Druhý tip."));
        // Laid out again with nothing new to say: not read again.
        probe.clear();
        a.Balloon()->setColor(Qt::white);
        QVERIFY(probe.alerts().isEmpty());
    }

    void stageIsAWindowNamedByItsCaption()
    {
        AccessibleProbe probe;
        TAssistant a;
        a.setCaption(QStringLiteral("Pomocník"));
        QCOMPARE(probe.role(a.stage()), QAccessible::Window);
        QCOMPARE(probe.name(a.stage()), QStringLiteral("Pomocník"));
    }

    void thoughtIsANotification()
    {
        AccessibleProbe probe;
        TAssistant a;
        a.balloonWindow()->setDesktopRect(Desktop);
        a.Think(QStringLiteral("Klíčová slova nápovědy\r\rOtevřít\t\tImport"), 0);
        QTRY_VERIFY(shown(a));
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].role, QAccessible::Notification);
        QCOMPARE(probe.alerts()[0].name, QStringLiteral("Klíčová slova nápovědy\n\nOtevřít  Import"));
    }

    void contextHelpPopupIsRead()
    {
        AccessibleProbe probe;
        QWidget dialog;
        auto* control = new QPushButton(QStringLiteral("Otevřít"), &dialog);
        control->setObjectName(QStringLiteral("Button1"));
        THelpBook book(&dialog);
        THelpItem* item = book.HelpWindows()->Add();
        item->setRTF(QByteArray(R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\froman Times New Roman CE;}})"
                                R"(\pard\b\f0\fs20 Otev\'f8\'edt\b0\par\par Otev\'f8e vybran\'fd test.\par})"));
        item->setControl(control);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        control->setFocus();
        QTest::keyClick(control, Qt::Key_F1);
        THelpWin* popup = THelpWin::Current();
        QVERIFY(popup);
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].object, popup);
        QCOMPARE(probe.alerts()[0].role, QAccessible::AlertMessage);
        QCOMPARE(probe.alerts()[0].name, QStringLiteral("Otevřít"));
        QCOMPARE(probe.alerts()[0].description, QStringLiteral("Otevře vybraný test."));
        popup->close();
    }
};

QTEST_MAIN(TestBalloonAccessible)
#include "tst_balloonaccessible.moc"
