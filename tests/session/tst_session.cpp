// A test session driven as the user drives it: real keys on the focused
// widget, real clicks on the boxes and buttons, and after every step the
// answers read back from the question table on disk.
#include "AppFixture.h"

#include "catalogue/Otevrit.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
#include "data/Table.h"
#include "results/TimeCounter.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>
#include <QTreeWidget>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

const QString kEndOfTest = QStringLiteral(
    "Dostal(a) jste se na konec testu. Pokud máte vyplněny všechny otázky, stiskněte prosím tlačítko "
    "\"Výsledky testu\" nebo klávesy \"Ctrl+V\" pro zobrazení úspěšnosti Vašich odpovědí.");
const QString kEndQuestion = QStringLiteral("Opravdu chcete ukončit tento test?");
const QString kFile = QStringLiteral("test.dbf");

TestFile withStored(TestFile t, const QStringList& stored)
{
    for (int i = 0; i < stored.size() && i < t.questions.size(); ++i)
        t.questions[i].odpoved = stored[i];
    return t;
}

// The program on a folder holding one test, opened through the open-test
// dialog as the user opens it.
class Session {
public:
    explicit Session(const TestFile& t, bool openIt = true)
        : f([&](AppFolder& a) { a.addTest(kFile, t); }), kind(t.druh), title(t.nazev)
    {
        f.showMain();
        f.main->activateWindow();
        QApplication::setActiveWindow(f.main);
        if (openIt)
            open();
    }

    void open()
    {
        f.open->show();
        QApplication::processEvents();
        QTreeWidget* tree = f.open->TreeView1;
        QTreeWidgetItem* k = f.open->FindTreeChild(tree, nullptr, kind);
        QTreeWidgetItem* it = k ? f.open->FindTreeChild(tree, k, title) : nullptr;
        QVERIFY(it);
        tree->setCurrentItem(it);
        QTest::mouseClick(f.open->Button1, Qt::LeftButton);
        QApplication::processEvents();
        QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join('\n')));
        QVERIFY(!f.open->isVisible());
    }

    THlavniDialog* w() const { return f.main; }
    QString path() const { return f.folder.testy() + kFile; }
    QStringList stored() const { return readColumn(path(), QStringLiteral("ODPOVED")); }
    int rows() const { return data::DbfFile::open(path())->recordCount(); }

    // A key as the keyboard delivers it: to the focused widget.
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : f.main, Qt::Key(k), mods);
        QApplication::processEvents();
    }
    // The box's own toggle runs first, the release handler after it.
    void click(QWidget* w, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(w, b);
        QApplication::processEvents();
    }
    // Typed key by key; letters beyond ASCII arrive as text, as from a
    // Czech keyboard layout.
    void type(const QString& text)
    {
        QWidget* target = QApplication::focusWidget();
        for (QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClick(target, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QApplication::processEvents();
    }

    QString checkedA() const { return checked({w()->RadioButton1, w()->RadioButton2, w()->RadioButton3, w()->RadioButton4}, "abcd"); }
    QString checkedB() const { return checked({w()->RadioButton5, w()->RadioButton6}, "AN"); }
    QString buttons() const
    {
        QString s;
        for (TToolbarButton97* b : {w()->T1, w()->T2, w()->T3, w()->T4})
            s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    QString entries() const
    {
        QString s;
        for (QAction* a : {w()->M5, w()->M6, w()->M7, w()->M8, w()->M10, w()->M11})
            s += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    // The four buttons and their six shortcut entries agree.
    void expectButtons(const QString& t1t4)
    {
        QCOMPARE(buttons(), t1t4);
        const QString mirror = t1t4 + t1t4.mid(2, 1) + t1t4.mid(1, 1);
        QCOMPARE(entries(), mirror);
    }

    AppFixture f;
    QString kind, title;

private:
    static QString checked(std::initializer_list<QCheckBox*> boxes, const char* names)
    {
        QString s;
        int i = 0;
        for (QCheckBox* b : boxes) {
            if (b->isChecked())
                s += QLatin1Char(names[i]);
            ++i;
        }
        return s;
    }
};

QStringList empties(int n) { return QStringList(n, QString()); }

} // namespace

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

QTEST_MAIN(TestSession)
#include "tst_session.moc"
