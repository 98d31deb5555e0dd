// The context help component on a form of its own: linking, help mode, the
// popup and its ways out.
#include "assistant/HelpBook.h"
#include "assistant/HelpMath.h"
#include "platform/Errors.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolTip>

using namespace vedomec;

namespace {

const char* const kOtevrit = R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\froman\fcharset238 Times New Roman CE;}}
\pard\b\f0\fs20 Otev\'f8\'edt\b0\par
\par
Otev\'f8e vybran\'fd test.\par
})";

const char* const kSeznam = R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\froman\fcharset238 Times New Roman CE;}}
\pard\b\f0\fs20 Seznam\b0\par
\par
Zobrazuje seznam.\par
})";

// The popups that are showing; there must never be more than one.
QList<THelpWin*> shownPopups()
{
    QList<THelpWin*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* h = qobject_cast<THelpWin*>(w); h && h->isVisible())
            out << h;
    return out;
}

Qt::CursorShape cursorShape()
{
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
}

// A form with two buttons, a list and an edit box; Button1 and the list
// are linked.
struct Form {
    QWidget w;
    QPushButton* button1 = new QPushButton(QStringLiteral("Otevřít"), &w);
    QPushButton* button2 = new QPushButton(QStringLiteral("Zpět"), &w);
    QListWidget* list = new QListWidget(&w);
    QLineEdit* edit = new QLineEdit(&w);
    THelpBook* book = new THelpBook(&w);
    THelpItem* item1 = nullptr;
    THelpItem* itemList = nullptr;

    Form()
    {
        w.setObjectName(QStringLiteral("Form"));
        button1->setObjectName(QStringLiteral("Button1"));
        button2->setObjectName(QStringLiteral("Button2"));
        list->setObjectName(QStringLiteral("FileListBox1"));
        edit->setObjectName(QStringLiteral("Edit1"));
        w.setGeometry(100, 100, 400, 300);
        button1->setGeometry(10, 250, 80, 25);
        button2->setGeometry(100, 250, 80, 25);
        list->setGeometry(10, 10, 200, 200);
        edit->setGeometry(220, 10, 150, 21);
        list->addItems({QStringLiteral("a.dbf"), QStringLiteral("b.dbf")});
        item1 = add(button1, kOtevrit, 266, 60);
        itemList = add(list, kSeznam, 266, 75);
        w.show();
        w.activateWindow();
    }

    ~Form()
    {
        for (THelpWin* h : shownPopups())
            h->close();
        QApplication::processEvents();
    }

    THelpItem* add(QWidget* control, const char* rtf, int width, int height)
    {
        THelpItem* item = book->HelpWindows()->Add();
        item->setBorderWidth(1);
        item->setWidth(width);
        item->setHeight(height);
        item->setRTF(QByteArray(rtf));
        item->setControl(control);
        return item;
    }
};

} // namespace

class TestHelpBook : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        QVERIFY(!QGuiApplication::overrideCursor()); // every test leaves the cursor as it found it
        QVERIFY(!THelpWin::Current());
    }

    void itemDefaults()
    {
        THelpBook book(nullptr);
        QVERIFY(book.Enabled());
        QVERIFY(!book.HelpMode());
        QCOMPARE(book.HelpWindows()->Owner(), &book);
        THelpItem* item = book.HelpWindows()->Add();
        QCOMPARE(item->Collection(), book.HelpWindows());
        QCOMPARE(item->Book(), &book);
        QCOMPARE(item->Control(), nullptr);
        QCOMPARE(item->BorderColor(), QColor(Qt::black));
        QCOMPARE(item->BorderWidth(), 2);
        QCOMPARE(item->BackColor(), QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(item->Width(), screen.width() / 3);
        QCOMPARE(item->Height(), screen.height() / 3);
        QVERIFY(item->RTF().isEmpty());
    }

    void linkingRefusesANameTwice()
    {
        QWidget form;
        QPushButton b1(&form);
        b1.setObjectName(QStringLiteral("Button1"));
        QPushButton b2(&form);
        b2.setObjectName(QStringLiteral("Button2"));
        // Another form's control of the same name.
        QPushButton elsewhere;
        elsewhere.setObjectName(QStringLiteral("Button1"));
        THelpBook book(&form);
        THelpItem* a = book.HelpWindows()->Add();
        THelpItem* b = book.HelpWindows()->Add();
        a->setControl(&b1);
        QCOMPARE(a->Control(), &b1);

        b->setControl(&b2);
        try {
            b->setControl(&elsewhere);
            QFAIL("linked twice");
        } catch (const EVedomecError& e) {
            QCOMPARE(e.message(), QStringLiteral("Control already linked!"));
        }
        QCOMPARE(b->Control(), nullptr);
        // The item itself counts: linking its own control again is refused too.
        try {
            a->setControl(&b1);
            QFAIL("linked twice");
        } catch (const EVedomecError& e) {
            QCOMPARE(e.message(), QStringLiteral("Control already linked!"));
        }
        QCOMPARE(a->Control(), nullptr);
        // Nothing is left hooked: F1 on the buttons shows nothing.
        QTest::keyClick(&b1, Qt::Key_F1);
        QTest::keyClick(&b2, Qt::Key_F1);
        QVERIFY(!THelpWin::Current());
        // Both can be linked again, and a relink moves the hook.
        a->setControl(&b1);
        b->setControl(&b2);
        b->setControl(nullptr);
        QCOMPARE(b->Control(), nullptr);
        b->setControl(&b2);
        QCOMPARE(b->Control(), &b2);
    }

    void helpModeNeedsItems()
    {
        QWidget form;
        THelpBook empty(&form);
        empty.setHelpMode(true);
        QVERIFY(!empty.HelpMode());
        QVERIFY(!QGuiApplication::overrideCursor());

        Form f;
        f.book->setHelpMode(true);
        QVERIFY(f.book->HelpMode());
        QCOMPARE(cursorShape(), Qt::WhatsThisCursor);
        f.book->setHelpMode(true); // once is enough to undo
        f.book->setHelpMode(false);
        QVERIFY(!f.book->HelpMode());
        QVERIFY(!QGuiApplication::overrideCursor());
        f.book->setHelpMode(false);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void clickInHelpModeShowsHelpInsteadOfActing()
    {
        Form f;
        QVERIFY(QTest::qWaitForWindowActive(&f.w));
        f.edit->setFocus();
        QSignalSpy clicked(f.button1, &QPushButton::clicked);
        QSignalSpy opened(f.book, &THelpBook::OnHelpOpen);
        QSignalSpy closed(f.book, &THelpBook::OnHelpClose);

        f.book->setHelpMode(true);
        QTest::mouseClick(f.button1, Qt::LeftButton);
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(f.w.focusWidget(), f.edit); // the button never got the press, nor the focus
        QVERIFY(!f.book->HelpMode());
        QVERIFY(!QGuiApplication::overrideCursor());
        THelpWin* win = THelpWin::Current();
        QVERIFY(win);
        QVERIFY(win->isVisible());
        QCOMPARE(win->Control(), f.button1);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().value<QWidget*>(), f.button1);
        QCOMPARE(closed.count(), 0);

        // The popup: its size, its frame, its text.
        QCOMPARE(win->size(), QSize(266, 60));
        QCOMPARE(win->pos(), PlaceHelpWindow(f.button1->mapToGlobal(QPoint(0, 0)), f.button1->height(),
                                             QSize(266, 60), f.button1->screen()->geometry()));
        QCOMPARE(win->RichEdit->geometry(), QRect(1, 1, 264, 58));
        QTextDocument* doc = win->RichEdit->document();
        QCOMPARE(doc->toPlainText(), QStringLiteral("Otevřít\n\nOtevře vybraný test."));
        const QTextCharFormat heading = doc->begin().begin().fragment().charFormat();
        QCOMPARE(heading.fontWeight(), int(QFont::Bold));
        QCOMPARE(heading.fontPointSize(), 10.0);
        QCOMPARE(heading.fontFamilies().toStringList(), QStringList {"Times New Roman"});
        const QTextCharFormat sentence = doc->lastBlock().begin().fragment().charFormat();
        QCOMPARE(sentence.fontWeight(), int(QFont::Normal));
        QVERIFY(win->RichEdit->isReadOnly());
        const QImage img = win->grab().toImage();
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(265, 59), QColor(Qt::black));
        QCOMPARE(img.pixelColor(2, 57), f.item1->BackColor());
        // Everything the text needs fits; nothing scrolls.
        QVERIFY(doc->size().height() <= win->RichEdit->viewport()->height());

        // Help mode is over: the next click reaches the button.
        QTest::mouseClick(f.button1, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(f.w.focusWidget(), f.button1);
    }

    void clickOnAnUnlinkedControlInHelpMode()
    {
        Form f;
        QSignalSpy clicked(f.button2, &QPushButton::clicked);
        f.book->setHelpMode(true);
        QTest::mouseClick(f.button2, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(f.book->HelpMode());
        QVERIFY(!THelpWin::Current());
        // A click inside a linked control's own parts counts as a click on it.
        QTest::mouseClick(f.list->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
        QVERIFY(THelpWin::Current());
        QCOMPARE(THelpWin::Current()->Control(), f.list);
        QCOMPARE(f.list->currentRow(), -1); // the list never saw the press
        QVERIFY(!f.book->HelpMode());
    }

    void f1ShowsHelpInAnyMode()
    {
        Form f;
        QSignalSpy opened(f.book, &THelpBook::OnHelpOpen);
        f.list->setFocus();
        QTest::keyClick(f.list, Qt::Key_F1);
        QVERIFY(THelpWin::Current());
        QCOMPARE(THelpWin::Current()->Control(), f.list);
        QCOMPARE(THelpWin::Current()->size(), QSize(266, 75));
        QCOMPARE(opened.count(), 1);
        QVERIFY(!f.book->HelpMode());
        // F1 on an unlinked control shows nothing new.
        QTest::keyClick(f.edit, Qt::Key_F1);
        QCOMPARE(opened.count(), 1);
        // With help mode on, F1 also ends it.
        f.book->setHelpMode(true);
        QTest::keyClick(f.button1, Qt::Key_F1);
        QCOMPARE(opened.count(), 2);
        QVERIFY(!f.book->HelpMode());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void aSecondPopupReplacesTheFirst()
    {
        Form f;
        QSignalSpy opened(f.book, &THelpBook::OnHelpOpen);
        QSignalSpy closed(f.book, &THelpBook::OnHelpClose);
        f.item1->ShowHelp();
        QPointer<THelpWin> first = THelpWin::Current();
        QVERIFY(first);
        QTest::keyClick(f.list, Qt::Key_F1);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.first().first().value<QWidget*>(), f.button1);
        QCOMPARE(opened.count(), 2);
        QVERIFY(THelpWin::Current() != first);
        QCOMPARE(THelpWin::Current()->Control(), f.list);
        QCOMPARE(shownPopups().size(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first); // freed once closed

        // Across books too: one popup in the whole program.
        Form g;
        g.item1->setTest(true);
        QCOMPARE(closed.count(), 2);
        QCOMPARE(shownPopups().size(), 1);
        QCOMPARE(THelpWin::Current()->Book(), g.book);
    }

    void waysOut()
    {
        Form f;
        QSignalSpy closed(f.book, &THelpBook::OnHelpClose);

        // Esc, and the key goes no further.
        f.item1->ShowHelp();
        THelpWin* win = THelpWin::Current();
        QTest::keyClick(win, Qt::Key_Escape);
        QVERIFY(!THelpWin::Current());
        QCOMPARE(closed.count(), 1);
        QVERIFY(f.w.isVisible());

        // A right-button release on it.
        f.item1->ShowHelp();
        win = THelpWin::Current();
        QTest::mousePress(win->RichEdit, Qt::RightButton, {}, QPoint(50, 20));
        QVERIFY(THelpWin::Current());
        QTest::mouseRelease(win->RichEdit, Qt::RightButton, {}, QPoint(50, 20));
        QVERIFY(!THelpWin::Current());
        QCOMPARE(closed.count(), 2);

        // Losing activation to another window.
        f.item1->ShowHelp();
        win = THelpWin::Current();
        QVERIFY(QTest::qWaitForWindowActive(win));
        f.w.activateWindow();
        QTRY_VERIFY(!THelpWin::Current());
        QCOMPARE(closed.count(), 3);
        QCOMPARE(closed.last().first().value<QWidget*>(), f.button1);

        // The dialog going away takes the popup and help mode with it.
        f.item1->ShowHelp();
        f.book->setHelpMode(true);
        f.w.hide();
        QVERIFY(!THelpWin::Current());
        QVERIFY(!f.book->HelpMode());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void draggingMovesIt()
    {
        Form f;
        f.item1->ShowHelp();
        THelpWin* win = THelpWin::Current();
        QVERIFY(QTest::qWaitForWindowExposed(win));
        const QPoint before = win->pos();
        // A drag that starts on the text moves the window.
        QTest::mousePress(win->RichEdit, Qt::LeftButton, {}, QPoint(40, 20));
        const QPointF to = QPointF(win->RichEdit->pos() + QPoint(40, 20)) + QPointF(30, 20);
        QMouseEvent move(QEvent::MouseMove, to, win->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(win, &move);
        QTest::mouseRelease(win, Qt::LeftButton, {}, to.toPoint());
        // The window system may move it itself; otherwise we did.
        if (win->pos() != before)
            QCOMPARE(win->pos(), before + QPoint(30, 20));
        QVERIFY(THelpWin::Current()); // a left click does not close it
    }

    void disabledBookShowsNothing()
    {
        Form f;
        QSignalSpy clicked(f.button1, &QPushButton::clicked);
        QSignalSpy opened(f.book, &THelpBook::OnHelpOpen);
        f.item1->ShowHelp();
        f.book->setEnabled(false);
        f.book->setHelpMode(true);
        QTest::mouseClick(f.button1, Qt::LeftButton);
        // The click still belongs to help, the open popup goes, none comes.
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!f.book->HelpMode());
        QVERIFY(!THelpWin::Current());
        QCOMPARE(opened.count(), 1);
    }

    void pasteTakesRichTextFromTheClipboard()
    {
        Form f;
        const QByteArray before = f.item1->RTF();
        QClipboard* cb = QGuiApplication::clipboard();
        cb->setText(QStringLiteral("jen text"));
        f.item1->setPaste(true);
        QCOMPARE(f.item1->RTF(), before);
        QVERIFY(!f.item1->Paste());

        auto* data = new QMimeData;
        const QByteArray rtf = R"({\rtf1 Nov\'fd text})";
        data->setData(QStringLiteral("text/rtf"), rtf);
        data->setText(QStringLiteral("Nový text"));
        cb->setMimeData(data);
        f.item1->setPaste(true);
        QCOMPARE(f.item1->RTF(), rtf);
        f.item1->setTest(true);
        QCOMPARE(THelpWin::Current()->RichEdit->toPlainText(), QStringLiteral("Nový text"));
        QVERIFY(!f.item1->Test());
        cb->clear();
    }

    void removedItemsGiveTheControlBack()
    {
        Form f;
        QSignalSpy clicked(f.button1, &QPushButton::clicked);
        f.book->HelpWindows()->Delete(0);
        QCOMPARE(f.book->HelpWindows()->Count(), 1);
        f.book->setHelpMode(true);
        QTest::mouseClick(f.button1, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(!THelpWin::Current());
        f.book->HelpWindows()->Clear();
        QCOMPARE(f.book->HelpWindows()->Count(), 0);
        f.book->setHelpMode(false);
        // A control destroyed while linked is simply forgotten.
        Form g;
        delete g.button1;
        QCOMPARE(g.item1->Control(), nullptr);
        g.item1->setTest(true); // no control: the popup shows anyway, centred
        QVERIFY(THelpWin::Current());
    }
};

QTEST_MAIN(TestHelpBook)
#include "tst_helpbook.moc"
