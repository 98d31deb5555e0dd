// Ending a test: "Ukončit test", closing the window with a test open (also
// while a balloon waits or a dialog is open), and a table without rows that
// nothing may change.
#include "SessionFixture.h"

#include "controls/Edit97.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QTest>

using namespace vedomec;
using namespace vedomec::testdata;
using namespace vedomec::testdata::sessiontest;

class TestEnding : public QObject {
    Q_OBJECT

private slots:
    void endingErasesEveryAnswer_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Ctrl+Z") << true;
        QTest::newRow("button") << false;
    }
    void endingErasesEveryAnswer()
    {
        QFETCH(bool, byKey);
        TestFile t = simpleTest("A", 10);
        t.cas2 = "30";
        Session s(t);
        THlavniDialog* w = s.w();
        for (QCheckBox* box : {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4}) {
            s.click(box);
            s.key(Qt::Key_F7);
        }
        s.click(w->RadioButton2); // on screen only
        QCOMPARE(s.stored(), QStringList({"A", "B", "C", "D"}) + empties(6));
        QCOMPARE(w->Cas1->text(), QStringLiteral("0:30:00"));

        s.f.answer({mrYes});
        const int cuesBefore = s.f.cues().size();
        if (byKey)
            s.key(Qt::Key_Z, Qt::ControlModifier);
        else
            s.click(w->ToolbarButton972);
        QCOMPARE(s.f.messageTexts(), QStringList{kEndQuestion});
        QCOMPARE(s.f.messages.back().type, int(mtConfirmation));
        QCOMPARE(s.f.messages.back().buttons, MsgDlgButtons(mbYes | mbNo));
        QCOMPARE(s.f.messages.back().title, QStringLiteral("Vedomec"));
        QCOMPARE(s.f.cues().mid(cuesBefore), QStringList{"Dotaz.wav"});
        QVERIFY(s.f.errors.isEmpty());

        QCOMPARE(s.stored(), empties(10));
        QCOMPARE(s.rows(), 10);
        QVERIFY(!s.f.dm->Table1->Active());
        QVERIFY(!w->TestA->isVisibleTo(w));
        QCOMPARE(w->OpenTable(), nullptr);
        QCOMPARE(w->K1->text(), QStringLiteral("0"));
        QCOMPARE(w->Label10->text(), QString());
        QCOMPARE(w->Cas1->text(), QString());
        QVERIFY(!w->Cislo->isVisibleTo(w));
        QVERIFY(!w->Label5->isVisibleTo(w));
        QVERIFY(w->ToolbarButton971->isEnabled());
        QVERIFY(w->ToolbarButton974->isEnabled());
        QVERIFY(!w->ToolbarButton972->isEnabled());
        QVERIFY(!w->ToolbarButton975->isEnabled());
        QVERIFY(!w->M3->isEnabled());
        s.expectButtons("0000");
        QVERIFY(!w->TimeCounter1->Counting());
        w->TimeCounter1->tick();
        QCOMPARE(w->Cas->text(), QStringLiteral("0:00:00"));

        // Navigation keys are dead again, and nothing is written.
        s.key(Qt::Key_F7);
        s.key(Qt::Key_F5);
        QCOMPARE(s.f.messages.size(), size_t(1));

        // Opening it again starts from question 1 with nothing chosen.
        s.open();
        QCOMPARE(w->Cislo->text(), QStringLiteral("1"));
        QCOMPARE(s.checkedA(), QString());
        QCOMPARE(w->Cas->text(), QStringLiteral("0:00:00"));
        QCOMPARE(w->K1->text(), QStringLiteral("1"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), empties(10));
    }

    void answeringNoChangesNothing_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("No") << int(mrNo);
        QTest::newRow("closed") << int(mrCancel);
    }
    void answeringNoChangesNothing()
    {
        QFETCH(int, result);
        Session s(simpleTest("B", 3));
        THlavniDialog* w = s.w();
        s.click(w->RadioButton6);
        s.key(Qt::Key_F7);
        s.click(w->RadioButton5);
        s.f.answer({result});
        s.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.f.messageTexts(), QStringList{kEndQuestion});
        QCOMPARE(s.stored(), (QStringList{"Ne", "", ""}));
        QVERIFY(s.f.dm->Table2->Active());
        QVERIFY(w->TestB->isVisibleTo(w));
        QCOMPARE(w->K1->text(), QStringLiteral("1"));
        QCOMPARE(w->Cislo->text(), QStringLiteral("2"));
        QVERIFY(w->Cislo->isVisibleTo(w));
        QCOMPARE(w->Label10->text(), QStringLiteral("3"));
        QCOMPARE(w->Cas1->text(), QStringLiteral("neomezeno"));
        QVERIFY(w->TimeCounter1->Counting());
        QVERIFY(w->ToolbarButton972->isEnabled());
        QVERIFY(w->ToolbarButton975->isEnabled());
        QVERIFY(!w->ToolbarButton971->isEnabled());
        s.expectButtons("1111");
        QCOMPARE(s.checkedB(), QStringLiteral("A"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"Ne", "Ano", ""}));
    }

    void closingTheWindowErasesAnswers_data()
    {
        QTest::addColumn<bool>("quitButton");
        QTest::newRow("close box") << false;
        QTest::newRow("Konec programu") << true;
    }
    void closingTheWindowErasesAnswers()
    {
        QFETCH(bool, quitButton);
        Session s(withStored(simpleTest("B", 5), {"", "", "", "", "Ne"}));
        s.click(s.w()->RadioButton5);
        s.key(Qt::Key_F7);
        s.click(s.w()->RadioButton6);
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"Ano", "Ne", "", "", ""}));
        if (quitButton)
            s.click(s.w()->ToolbarButton973);
        else
            QVERIFY(s.w()->close());
        QVERIFY(!s.w()->isVisible());
        QVERIFY(s.f.messages.empty()); // no confirmation
        QVERIFY(s.f.errors.isEmpty());
        QCOMPARE(s.stored(), empties(5));
        QCOMPARE(s.rows(), 5);
        QVERIFY(!s.f.dm->Table2->Active());
    }

    // Closing the main window while a balloon waits, or a dialog is open,
    // ends the program: the balloon's loop ends without an answer, the open
    // test's answers are erased and the window reports its end.
    void closingWhileABalloonWaitsEndsTheProgram_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("end-of-test message") << "message";
        QTest::newRow("end-test question") << "question";
        QTest::newRow("help balloon") << "help";
        QTest::newRow("results dialog asking") << "results";
        QTest::newRow("open-test dialog") << "dialog";
    }
    void closingWhileABalloonWaitsEndsTheProgram()
    {
        QFETCH(QString, what);
        Session s(simpleTest("A", 3), what != "dialog");
        THlavniDialog* w = s.w();
        TAssistant* a = w->Assistant;
        QSignalSpy ended(w, &THlavniDialog::closed);
        if (what != "dialog") {
            s.click(w->RadioButton2);
            s.key(Qt::Key_F7);
            s.click(w->RadioButton3);
            QCOMPARE(s.stored(), (QStringList{"B", "", ""}));
        }
        if (what == "results") {
            s.key(Qt::Key_F7);
            s.click(w->RadioButton1);
            s.key(Qt::Key_V, Qt::ControlModifier);
            QVERIFY(s.f.results->isVisible());
        }

        // The real balloon from here on; the window is closed as soon as a
        // message waits.  Should the close not end the wait, the guard
        // answers the message after a while so that the test fails, not hangs.
        TAssistant::setTestResponder({});
        bool closedWhileWaiting = false;
        bool guardAnswered = false;
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, [&] {
            // The guide of the help command waits for nobody; it is closed
            // over as it stands.
            const bool open = a->isMessageWaiting() || a->BalloonMode() == bmGuide;
            if (open && a->balloonWindow()->isVisible()) {
                closer.stop();
                closedWhileWaiting = true;
                w->close();
            }
        });
        QTimer guard;
        guard.setSingleShot(true);
        guard.setInterval(8000);
        connect(&guard, &QTimer::timeout, [&] {
            for (QPushButton* b : a->balloonWindow()->findChildren<QPushButton*>())
                if (b->isVisible() && a->isMessageWaiting()) {
                    guardAnswered = true;
                    b->click();
                    return;
                }
        });
        closer.start();
        guard.start();
        if (what == "message") {
            s.key(Qt::Key_F7); // onto the last question
            s.key(Qt::Key_F7); // past it
        } else if (what == "question")
            s.key(Qt::Key_Z, Qt::ControlModifier);
        else if (what == "help") {
            s.key(Qt::Key_F1);
            QTRY_VERIFY(closedWhileWaiting);
        }
        else if (what == "results")
            QTest::mouseClick(s.f.results->Tl1, Qt::LeftButton);
        else {
            s.key(Qt::Key_O, Qt::ControlModifier);
            QVERIFY(s.f.open->isVisible());
            QVERIFY(s.f.dm->Table4->Active());
            closer.stop();
            w->close();
        }
        guard.stop();
        closer.stop();
        QApplication::processEvents();

        QVERIFY(!guardAnswered);
        QCOMPARE(closedWhileWaiting, what != "dialog");
        QCOMPARE(ended.count(), 1);
        QVERIFY(!w->isVisible());
        QVERIFY(!a->isMessageWaiting());
        QVERIFY(!a->balloonWindow()->isVisible());
        for (QWidget* d : {static_cast<QWidget*>(s.f.open), static_cast<QWidget*>(s.f.import),
                           static_cast<QWidget*>(s.f.ident), static_cast<QWidget*>(s.f.results)})
            QVERIFY2(!d->isVisible(), qPrintable(d->objectName()));
        QVERIFY2(s.f.errors.isEmpty(), qPrintable(s.f.errors.join('\n')));
        QCOMPARE(s.stored(), empties(3));
        for (data::TTable* t : {s.f.dm->Table1, s.f.dm->Table4})
            QVERIFY(!t->Active());
        QCOMPARE(w->K1->text(), QStringLiteral("0"));
    }

    void closingWithoutOpenTestTouchesNoFile()
    {
        // Answers left by an abnormal stop stay until the test is next used.
        Session s(withStored(simpleTest("A", 2), {"A", "B"}), false);
        QVERIFY(s.w()->close());
        QCOMPARE(s.stored(), (QStringList{"A", "B"}));
        QVERIFY(s.f.errors.isEmpty());
    }

    // A question table without rows stays without rows, whatever is pressed.
    void tableWithoutRowsIsNeverChanged_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("A") << "A";
        QTest::newRow("B") << "B";
        QTest::newRow("C") << "C";
    }
    void tableWithoutRowsIsNeverChanged()
    {
        QFETCH(QString, type);
        auto bytes = [](const QString& p) { QFile f(p); f.open(QIODevice::ReadOnly); return f.readAll(); };
        {
            Session s(simpleTest(type, 0));
            const QByteArray before = bytes(s.path());
            QCOMPARE(s.rows(), 0);
            if (type == "A")
                s.click(s.w()->RadioButton2);
            else if (type == "B")
                s.click(s.w()->RadioButton5);
            else
                s.type(QStringLiteral("odpověď"));
            for (int k : {Qt::Key_F7, Qt::Key_F7, Qt::Key_F6, Qt::Key_F8, Qt::Key_F5, Qt::Key_F6})
                s.key(k);
            s.key(Qt::Key_Return, Qt::ControlModifier);
            s.key(Qt::Key_Return, Qt::ShiftModifier);
            QVERIFY2(s.f.errors.isEmpty(), qPrintable(s.f.errors.join('\n')));
            QCOMPARE(s.rows(), 0);
            QCOMPARE(bytes(s.path()), before);

            s.f.answer({mrYes});
            s.key(Qt::Key_Z, Qt::ControlModifier);
            QVERIFY2(s.f.errors.isEmpty(), qPrintable(s.f.errors.join('\n')));
            QVERIFY(s.f.dm->Table1->Active() == false && s.f.dm->Table2->Active() == false
                    && s.f.dm->Table3->Active() == false);
            QVERIFY(s.w()->OpenTable() == nullptr);
            QCOMPARE(bytes(s.path()), before);

            // And when the program closes with it open.
            s.open();
            QVERIFY(s.w()->close());
            QVERIFY(s.f.errors.isEmpty());
            QCOMPARE(bytes(s.path()), before);
        }
    }
};

QTEST_MAIN(TestEnding)
#include "tst_ending.moc"
