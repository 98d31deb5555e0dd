// A test session driven as the user drives it: real keys on the focused
// widget, real clicks on the boxes and buttons, and after every step the
// answers read back from the question table on disk.
#include "SessionFixture.h"
#include "StoreFaults.h"

#include "controls/Edit97.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QTest>

using namespace vedomec;
using namespace vedomec::testdata;
using namespace vedomec::testdata::sessiontest;

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void idleWindowIgnoresNavigationKeys()
    {
        Session s(withStored(simpleTest("A", 3), {"B", "", ""}), false);
        const QByteArray before = [&] { QFile f(s.path()); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        for (int k : {Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8})
            s.key(k);
        s.key(Qt::Key_Return, Qt::ControlModifier);
        s.key(Qt::Key_Return, Qt::ShiftModifier);
        s.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(s.f.messages.empty());
        QVERIFY(s.f.errors.isEmpty());
        QVERIFY(s.f.cues().isEmpty());
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("0"));
        QVERIFY(!s.w()->Cislo->isVisibleTo(s.w()));
        s.expectButtons("0000");
        QFile f(s.path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    // a), c) and no answer, walked with F7 past the end and back with F5.
    void threeAnswersOfTypeA()
    {
        Session s(simpleTest("A", 3));
        QCOMPARE(s.checkedA(), QString());
        s.click(s.w()->RadioButton1);
        QCOMPARE(s.checkedA(), QStringLiteral("a"));
        QCOMPARE(s.stored(), empties(3)); // nothing reaches the file before a move
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"A", "", ""}));
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
        QCOMPARE(s.w()->DBText1->text(), QStringLiteral("Otázka číslo 2?"));
        QCOMPARE(s.checkedA(), QString());
        s.click(s.w()->RadioButton3);
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"A", "C", ""}));
        QCOMPARE(s.checkedA(), QString());
        QVERIFY(s.f.messages.empty());
        s.key(Qt::Key_F7);
        QCOMPARE(s.f.messageTexts(), QStringList{kEndOfTest});
        QCOMPARE(s.f.messages.back().type, int(mtInformation));
        QCOMPARE(s.f.messages.back().buttons, MsgDlgButtons(mbOK));
        QCOMPARE(s.f.messages.back().title, QStringLiteral("Vedomec"));
        QCOMPARE(s.f.cues().last(), QStringLiteral("Info.wav"));
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("3"));
        s.expectButtons("1100");
        QCOMPARE(s.w()->DBText1->text(), QStringLiteral("Otázka číslo 3?"));
        QCOMPARE(s.stored(), (QStringList{"A", "C", ""}));
        s.key(Qt::Key_F5);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        QCOMPARE(s.checkedA(), QStringLiteral("a"));
        s.expectButtons("0011");
        QCOMPARE(s.stored(), (QStringList{"A", "C", ""}));
        QVERIFY(s.f.errors.isEmpty());
    }

    void yesNoAnswersAreStoredInMixedCase()
    {
        Session s(simpleTest("B", 3));
        s.click(s.w()->RadioButton5);
        s.key(Qt::Key_F7);
        s.click(s.w()->RadioButton6);
        s.key(Qt::Key_F7);
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"Ano", "Ne", ""}));
        s.key(Qt::Key_F6);
        QCOMPARE(s.checkedB(), QStringLiteral("N"));
        s.key(Qt::Key_F6);
        QCOMPARE(s.checkedB(), QStringLiteral("A"));
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
    }

    // The buttons follow the table of states, by clicks and by keys, and the
    // cursor stays on the question shown.
    void buttonStatesFollowEveryStep()
    {
        Session s(simpleTest("A", 4));
        data::TTable* t = s.f.dm->Table1;
        s.expectButtons("0011");
        struct Step { std::function<void()> act; QString cislo, buttons; };
        const QList<Step> steps = {
            {[&] { s.click(s.w()->T3); }, "2", "1111"},
            {[&] { s.key(Qt::Key_F6); }, "1", "1111"}, // 2 to 1 by previous leaves first and previous on
            {[&] { s.click(s.w()->T2); }, "1", "0011"},
            {[&] { s.click(s.w()->T4); }, "4", "1100"},
            {[&] { s.key(Qt::Key_Return, Qt::ShiftModifier); }, "3", "1111"},
            {[&] { s.key(Qt::Key_Return, Qt::ControlModifier); }, "4", "1111"}, // onto the last by next
            {[&] { s.key(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier); }, "4", "1100"},
            {[&] { s.click(s.w()->T1); }, "1", "0011"},
            {[&] { s.key(Qt::Key_F8); }, "4", "1100"},
            {[&] { s.key(Qt::Key_F5); }, "1", "0011"},
        };
        int i = 0;
        for (const Step& st : steps) {
            st.act();
            const QByteArray where = QByteArray::number(++i);
            QVERIFY2(s.w()->Cislo->text() == st.cislo, where);
            QVERIFY2(s.buttons() == st.buttons, where + " " + s.buttons().toLatin1());
            s.expectButtons(st.buttons);
            QVERIFY2(t->RecNo() == st.cislo.toInt(), where);
        }
        QCOMPARE(s.f.messageTexts(), QStringList{kEndOfTest});
        QVERIFY(s.f.errors.isEmpty());
    }

    void uncheckingBySpaceKeepsTheStoredAnswer()
    {
        Session s(simpleTest("A", 3));
        s.key(Qt::Key_F7);
        s.click(s.w()->RadioButton2);
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"", "B", ""}));
        s.key(Qt::Key_F6);
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton2));
        s.key(Qt::Key_Space);
        QCOMPARE(s.checkedA(), QString());
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"", "B", ""}));
        s.key(Qt::Key_F6);
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        s.click(s.w()->RadioButton4);
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"", "D", ""}));

        // The focus on a), checked by arriving there, then taken back by space.
        s.key(Qt::Key_F5);
        s.key(Qt::Key_Backtab, Qt::ShiftModifier); // d) to c)
        s.key(Qt::Key_Backtab, Qt::ShiftModifier);
        s.key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton1));
        QCOMPARE(s.checkedA(), QStringLiteral("a"));
        s.key(Qt::Key_Space);
        QCOMPARE(s.checkedA(), QString());
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"", "D", ""}));
        QVERIFY(s.f.errors.isEmpty());
    }

    void boundaryPressStoresAndShowsAgain_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("A") << "A";
        QTest::newRow("B") << "B";
        QTest::newRow("C") << "C";
    }
    void boundaryPressStoresAndShowsAgain()
    {
        QFETCH(QString, type);
        Session s(simpleTest(type, 2));
        auto answer = [&](int n) {
            if (type == "A")
                s.click(n == 1 ? s.w()->RadioButton3 : s.w()->RadioButton2);
            else if (type == "B")
                s.click(n == 1 ? s.w()->RadioButton6 : s.w()->RadioButton5);
            else
                s.type(n == 1 ? QStringLiteral("Labe") : QStringLiteral("Vltava"));
        };
        auto change = [&] {
            if (type == "A")
                s.click(s.w()->RadioButton1);
            else if (type == "B")
                s.click(s.w()->RadioButton5);
            else
                s.type(QStringLiteral("X"));
        };
        auto shown = [&] {
            return type == "A" ? s.checkedA() : type == "B" ? s.checkedB() : s.w()->Edit971->text();
        };
        const QString first = type == "A" ? "C" : type == "B" ? "Ne" : "Labe";
        const QString changed = type == "A" ? "A" : type == "B" ? "Ano" : "LabeX";
        const QString second = type == "A" ? "B" : type == "B" ? "Ano" : "Vltava";

        // Right after opening previous is off, and so is its key.
        answer(1);
        s.key(Qt::Key_F6);
        QCOMPARE(s.stored(), empties(2));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{first, ""}));
        // Arriving on question 1 by previous leaves previous on; pressing it
        // again stores the answer shown and shows it again.
        s.key(Qt::Key_F6);
        s.expectButtons("1111");
        change();
        const QString onFirst = shown();
        s.key(Qt::Key_F6);
        QCOMPARE(s.stored(), (QStringList{changed, ""}));
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        QCOMPARE(s.w()->OpenTable()->RecNo(), 1);
        QCOMPARE(shown(), onFirst);
        s.expectButtons("0011");

        // Arriving on the last question by next leaves next on.
        s.key(Qt::Key_F7);
        QCOMPARE(shown(), QString());
        answer(2);
        const QString onLast = shown();
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{changed, second}));
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
        QCOMPARE(s.w()->OpenTable()->RecNo(), 2);
        QCOMPARE(shown(), onLast);
        s.expectButtons("1100");
        QCOMPARE(s.f.messageTexts(), QStringList{kEndOfTest});
        QVERIFY(s.f.errors.isEmpty());
    }

    // A type C answer lives in the edit only until the move; every move shows
    // the stored text of the question reached.
    void fillInAnswersSurviveMoves_data()
    {
        QTest::addColumn<QString>("lastStored");
        QTest::newRow("last unanswered") << "";
        QTest::newRow("last answered before") << "Ostrava";
    }
    void fillInAnswersSurviveMoves()
    {
        QFETCH(QString, lastStored);
        Session s(simpleTest("C", 3));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->Edit971));
        if (!lastStored.isEmpty()) {
            s.key(Qt::Key_F8);
            s.type(lastStored);
            s.key(Qt::Key_F5);
        }
        QCOMPARE(s.w()->Edit971->text(), QString());
        s.type(QStringLiteral("Praha"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"Praha", "", lastStored}));
        QCOMPARE(s.w()->Edit971->text(), QString());
        s.type(QStringLiteral("Brno"));
        s.key(Qt::Key_F6);
        QCOMPARE(s.w()->Edit971->text(), QStringLiteral("Praha"));
        QCOMPARE(s.stored(), (QStringList{"Praha", "Brno", lastStored}));
        s.key(Qt::Key_F8);
        QCOMPARE(s.w()->Edit971->text(), lastStored);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("3"));
        // Emptying the edit stores the empty text.
        s.w()->Edit971->selectAll();
        s.key(Qt::Key_Delete);
        s.key(Qt::Key_F5);
        QCOMPARE(s.stored(), (QStringList{"Praha", "Brno", ""}));
        QCOMPARE(s.w()->Edit971->text(), QStringLiteral("Praha"));
        QVERIFY(s.f.errors.isEmpty());
    }

    void longAndCzechFillInAnswers()
    {
        Session s(simpleTest("C", 2));
        QString longText;
        for (int i = 0; i < 30; ++i)
            longText += QStringLiteral("Žluťoučký%1").arg(i % 10);
        QCOMPARE(longText.size(), 300);
        s.type(longText);
        QCOMPARE(s.w()->Edit971->text(), longText); // the edit itself takes any length
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored().first(), longText.left(254));
        s.type(QStringLiteral("Čáslav, Říčany  "));
        s.key(Qt::Key_F6);
        QCOMPARE(s.stored().last(), QStringLiteral("Čáslav, Říčany")); // blanks at the end are padding
        QCOMPARE(s.w()->Edit971->text(), longText.left(254));
    }

    // Answers left in the file (a test that was killed, or written outside
    // the program) belong to nobody: they are gone before the first
    // question shows, and no box shows them.
    void answersLeftInTheFileAreErasedAtOpening()
    {
        {
        Session s(withStored(simpleTest("A", 4), {"", "b", "D", "x"}));
        QCOMPARE(s.stored(), empties(4));
        s.click(s.w()->RadioButton1);
        s.key(Qt::Key_F7);
        QCOMPARE(s.checkedA(), QString());
        s.key(Qt::Key_F7);
        QCOMPARE(s.checkedA(), QString());
        QCOMPARE(s.stored(), (QStringList{"A", "", "", ""}));
        }
        Session b(withStored(simpleTest("B", 3), {"", "ano", "Ne"}));
        QCOMPARE(b.stored(), empties(3));
        b.click(b.w()->RadioButton5);
        b.key(Qt::Key_F8);
        QCOMPARE(b.checkedB(), QString());
        QCOMPARE(b.stored(), (QStringList{"Ano", "", ""}));
    }

    void oneQuestionTest()
    {
        Session s(simpleTest("A", 1));
        s.expectButtons("0011");
        s.click(s.w()->RadioButton2);
        s.key(Qt::Key_F7);
        QCOMPARE(s.f.messageTexts(), QStringList{kEndOfTest});
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        s.expectButtons("1100");
        QCOMPARE(s.stored(), QStringList{"B"});
        QCOMPARE(s.checkedA(), QStringLiteral("b"));

        s.key(Qt::Key_F5);
        s.expectButtons("0011");
        s.key(Qt::Key_F8);
        s.expectButtons("1100");
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        s.key(Qt::Key_F6);
        s.expectButtons("0011");
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        QCOMPARE(s.f.messages.size(), size_t(1));
        QCOMPARE(s.stored(), QStringList{"B"});
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        QVERIFY(s.f.errors.isEmpty());
    }

    void checkBoxesActAsOneChoice()
    {
        {
        Session s(simpleTest("A", 3));
        s.click(s.w()->RadioButton2);
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        s.click(s.w()->RadioButton4);
        QCOMPARE(s.checkedA(), QStringLiteral("d"));
        s.click(s.w()->RadioButton4); // the toggle off is undone by the release
        QCOMPARE(s.checkedA(), QStringLiteral("d"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"D", "", ""}));

        s.click(s.w()->RadioButton3, Qt::RightButton);
        QCOMPARE(s.checkedA(), QStringLiteral("c"));
        s.click(s.w()->RadioButton1, Qt::MiddleButton);
        QCOMPARE(s.checkedA(), QStringLiteral("a"));
        s.click(s.w()->RadioButton3, Qt::RightButton);
        QCOMPARE(s.checkedA(), QStringLiteral("c"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"D", "C", ""}));
        }
        Session b(simpleTest("B", 2));
        b.click(b.w()->RadioButton5);
        b.click(b.w()->RadioButton6);
        QCOMPARE(b.checkedB(), QStringLiteral("N"));
        b.click(b.w()->RadioButton6);
        QCOMPARE(b.checkedB(), QStringLiteral("N"));
        b.click(b.w()->RadioButton5, Qt::RightButton);
        QCOMPARE(b.checkedB(), QStringLiteral("A"));
        b.key(Qt::Key_F7);
        QCOMPARE(b.stored(), (QStringList{"Ano", ""}));
    }

    // Arriving on a box by the keyboard chooses it; Tab walks a) to d) and
    // comes back to a), the only other focusable controls being hidden.
    void keyboardFocusChooses()
    {
        {
        Session s(simpleTest("A", 2));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton1));
        QCOMPARE(s.checkedA(), QString());
        const QList<QPair<QCheckBox*, QString>> walk = {
            {s.w()->RadioButton2, "b"}, {s.w()->RadioButton3, "c"}, {s.w()->RadioButton4, "d"},
            {s.w()->RadioButton1, "a"}, {s.w()->RadioButton2, "b"}};
        for (const auto& [box, shown] : walk) {
            s.key(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box));
            QCOMPARE(s.checkedA(), shown);
        }
        s.key(Qt::Key_Backtab, Qt::ShiftModifier);
        s.key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton4));
        QCOMPARE(s.checkedA(), QStringLiteral("d"));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.checkedA(), QStringLiteral("a"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), (QStringList{"A", ""}));
        // Arrow keys move the focus too, and the box reached is chosen.
        s.key(Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton2));
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        s.key(Qt::Key_Left);
        QCOMPARE(s.checkedA(), QStringLiteral("a"));
        s.key(Qt::Key_F6);
        QCOMPARE(s.stored(), (QStringList{"A", "A"}));
        // Navigation leaves the focus where it was.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton1));
        }
        Session b(simpleTest("B", 1));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(b.w()->RadioButton5));
        b.key(Qt::Key_Tab);
        QCOMPARE(b.checkedB(), QStringLiteral("N"));
        b.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(b.w()->RadioButton5));
        QCOMPARE(b.checkedB(), QStringLiteral("A"));
    }

    // Restoring an answer moves no focus and runs no choice handler.
    void restoringLeavesTheFocusAlone()
    {
        Session s(simpleTest("A", 3));
        // c) stored on question 2, the focus left on c).
        s.key(Qt::Key_F7);
        s.key(Qt::Key_Tab);
        s.key(Qt::Key_Tab);
        s.key(Qt::Key_F5);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton3));
        QCOMPARE(s.stored(), (QStringList{"", "C", ""}));
        s.key(Qt::Key_Backtab); // b)
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        s.key(Qt::Key_F7);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton2));
        QCOMPARE(s.checkedA(), QStringLiteral("c"));
        s.key(Qt::Key_F7);
        QCOMPARE(s.checkedA(), QString());
        QCOMPARE(s.stored(), (QStringList{"B", "C", ""}));
    }

    // Coming back to the window gives the focus back to the box that had it;
    // that is no new choice, so an answer taken back by space stays taken back.
    void windowActivationChoosesNothing()
    {
        Session s(simpleTest("A", 2));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.checkedA(), QStringLiteral("b"));
        s.key(Qt::Key_Space);
        QCOMPARE(s.checkedA(), QString());
        QWidget other;
        other.setGeometry(0, 0, 100, 100);
        other.show();
        QApplication::setActiveWindow(&other);
        QApplication::processEvents();
        QVERIFY(QApplication::focusWidget() != s.w()->RadioButton2);
        QApplication::setActiveWindow(s.w());
        QApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->RadioButton2));
        QCOMPARE(s.checkedA(), QString());
        s.key(Qt::Key_F7);
        QCOMPARE(s.stored(), empties(2));
    }

    void enterShortcutsWorkInTheEdit()
    {
        Session s(simpleTest("C", 3));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->Edit971));
        s.type(QStringLiteral("jedna"));
        s.key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.w()->Edit971));
        s.type(QStringLiteral("dva"));
        s.key(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("3"));
        s.key(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
        QCOMPARE(s.w()->Edit971->text(), QStringLiteral("dva"));
        s.key(Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
        QCOMPARE(s.w()->Edit971->text(), QStringLiteral("jedna"));
        s.key(Qt::Key_F8);
        s.key(Qt::Key_F6);
        s.key(Qt::Key_F5);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        s.key(Qt::Key_Return); // a plain Enter is the edit's own and moves nothing
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("1"));
        QCOMPARE(s.stored(), (QStringList{"jedna", "dva", ""}));
        QVERIFY(s.f.messages.empty());
        QVERIFY(s.f.errors.isEmpty());
    }

    // Ctrl+Z and Ctrl+V belong to the window even while the answer edit,
    // which has undo and paste of its own on them, has the focus.
    void windowKeysComeBeforeTheEditsOwn()
    {
        Session s(simpleTest("C", 2));
        QApplication::clipboard()->setText(QStringLiteral("ze schránky"));
        s.type(QStringLiteral("Praha"));
        s.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(s.f.messageTexts(), QStringList{QStringLiteral("Ještě nebyly zodpovězeny všechny otázky!")});
        QVERIFY(!s.w()->Edit971->text().contains(QStringLiteral("schránky")));
        s.w()->Edit971->setFocus();
        s.type(QStringLiteral("Brno"));
        s.f.answer({mrYes});
        s.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.f.messageTexts().last(), kEndQuestion);
        QVERIFY(!s.f.dm->Table3->Active());
        QVERIFY(!s.w()->TestC->isVisibleTo(s.w()));
        QCOMPARE(s.stored(), empties(2));
        QVERIFY(s.f.errors.isEmpty());
    }

    // The disk is full when the pupil moves on: each key (F7, F8, F6 from
    // the second question) is told in Czech in the assistant's balloon with
    // the error cue, and neither the table nor the question number moves
    // (the number shown is the question shown).  Once there is room again
    // the same key stores the answer and moves.
    void failedWriteIsToldInCzechAndNothingMoves()
    {
        Session s(simpleTest("A", 3));
        setErrorReportHook({}); // as the program: the window tells it
        s.click(s.w()->RadioButton2);
        s.key(Qt::Key_F7);
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
        s.click(s.w()->RadioButton3);
        WriteFaults full(1, WriteFaults::Kind::FullDisk, true);
        for (int k : {Qt::Key_F7, Qt::Key_F8, Qt::Key_F6, Qt::Key_F5}) {
            s.f.messages.clear();
            s.key(k);
            QCOMPARE(s.f.messages.size(), size_t(1));
            const BalloonMessage& m = s.f.messages.back();
            QCOMPARE(m.title, QStringLiteral("Vedomec"));
            QCOMPARE(m.type, int(mtError));
            QVERIFY2(m.text.startsWith(QStringLiteral("Vedomec nemůže zapsat")) && m.text.contains(QStringLiteral("místo")),
                     qPrintable(m.text));
            QCOMPARE(s.f.cues().last(), QStringLiteral("Chyba.wav"));
            QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
            QCOMPARE(s.w()->DBText1->text(), QStringLiteral("Otázka číslo 2?"));
            s.expectButtons("1111");
            QCOMPARE(s.checkedA(), QStringLiteral("c"));
            QCOMPARE(s.stored(), (QStringList {"B", "", ""}));
        }
        // Ending the test cannot erase the answers: it goes on running, to
        // be ended again.
        s.f.messages.clear();
        s.f.answer({mrYes});
        s.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.f.messages.size(), size_t(2));
        QCOMPARE(s.f.messages.back().type, int(mtError));
        QVERIFY(s.w()->Session() && s.w()->Session()->Active());
        QVERIFY(s.w()->ToolbarButton972->isEnabled());
        QVERIFY(s.w()->Cislo->isVisibleTo(s.w()));
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("2"));
        s.expectButtons("1111");
        QCOMPARE(s.stored(), (QStringList {"B", "", ""}));

        full.heal();
        s.f.messages.clear();
        s.key(Qt::Key_F7);
        QVERIFY(s.f.messages.empty());
        QCOMPARE(s.w()->Cislo->text(), QStringLiteral("3"));
        QCOMPARE(s.w()->DBText1->text(), QStringLiteral("Otázka číslo 3?"));
        QCOMPARE(s.stored(), (QStringList {"B", "C", ""}));
        s.f.answer({mrYes});
        s.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!s.w()->Session());
        QCOMPARE(s.stored(), empties(3));
        QVERIFY(s.f.errors.isEmpty());
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
