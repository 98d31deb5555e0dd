// The "?" of the three dialogs and the help of their controls, in the whole
// program on a temporary application folder.
#include "AppFixture.h"

#include "assistant/HelpBook.h"
#include "assistant/Rtf.h"
#include "catalogue/Otevrit.h"
#include "controls/CaptionButton.h"
#include "data/Table.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QToolTip>
#include <QTreeWidget>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

THelpItem* itemFor(THelpBook* book, const QString& control)
{
    for (int i = 0; i < book->HelpWindows()->Count(); ++i) {
        THelpItem* item = book->HelpWindows()->Items(i);
        if (item->Control() && item->Control()->objectName() == control)
            return item;
    }
    return nullptr;
}

void clickCaption(controls::TCaptionButton* b)
{
    QTest::mouseClick(b->Surface(), Qt::LeftButton, {}, b->SurfaceRect().center());
}

void closePopup()
{
    if (THelpWin* w = THelpWin::Current())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void oneTest(AppFolder& a)
{
    TestFile t = simpleTest("A", 2);
    t.druh = QStringLiteral("Zeměpis");
    t.nazev = QStringLiteral("Evropa");
    a.addTest("evropa.dbf", t);
    a.addImport("novy.dbf", simpleTest("B", 1));
}

} // namespace

class TestDialogHelp : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        closePopup();
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void helpItemsOfTheDialogs_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("sentence");
        const QString back = QStringLiteral("Uzavře dialogové okno bez provedení operace.");
        QTest::newRow("open, tree") << "OtevritDialog" << "TreeView1" << QSize(266, 75) << "Seznam dostupných testů"
                                    << "Zobrazuje seznam vytvořených testů, které je možné otevřít.";
        QTest::newRow("open, Button1") << "OtevritDialog" << "Button1" << QSize(266, 60) << "Otevřít"
                                       << "Otevře vybraný test.";
        QTest::newRow("open, Button2") << "OtevritDialog" << "Button2" << QSize(266, 60) << "Zpět" << back;
        QTest::newRow("import, list") << "ImportDialog" << "FileListBox1" << QSize(266, 75)
                                      << "Seznam dostupných testů"
                                      << "Zobrazuje seznam vytvořených testů, které je možné importovat.";
        QTest::newRow("import, Button1") << "ImportDialog" << "Button1" << QSize(266, 60) << "Importovat"
                                         << "Zobrazí informace o importovaném testu.";
        QTest::newRow("import, Button2") << "ImportDialog" << "Button2" << QSize(266, 60) << "Zpět" << back;
        QTest::newRow("identification, Button1") << "IdentifikaceDialog" << "Button1" << QSize(266, 60) << "Ok"
                                                 << "Importuje vybraný test.";
        QTest::newRow("identification, Button2") << "IdentifikaceDialog" << "Button2" << QSize(266, 60) << "Zpět"
                                                 << back;
    }

    void helpItemsOfTheDialogs()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, control);
        QFETCH(QSize, size);
        QFETCH(QString, heading);
        QFETCH(QString, sentence);
        AppFixture app;
        QWidget* d = nullptr;
        for (QWidget* w : {static_cast<QWidget*>(app.open), static_cast<QWidget*>(app.import),
                           static_cast<QWidget*>(app.ident)})
            if (w->objectName() == dialog)
                d = w;
        QVERIFY(d);
        auto* book = d->findChild<THelpBook*>(QStringLiteral("HelpBook1"));
        QVERIFY(book);
        QCOMPARE(book->HelpWindows()->Count(), dialog == QLatin1String("IdentifikaceDialog") ? 2 : 3);
        THelpItem* item = itemFor(book, control);
        QVERIFY(item);
        QCOMPARE(item->Control()->window(), d);
        QCOMPARE(QSize(item->Width(), item->Height()), size);
        QCOMPARE(item->BorderWidth(), 1);
        QCOMPARE(item->BorderColor(), QColor(Qt::black));
        QCOMPARE(item->BackColor(), QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase));

        // The text as stored: a bold heading, an empty line and a sentence,
        // Times New Roman CE at 10 points.
        QVERIFY(item->RTF().startsWith("{\\rtf1"));
        const rtf::Document doc = rtf::Parse(item->RTF());
        QCOMPARE(doc.plainText(), heading + "\n\n" + sentence);
        QCOMPARE(doc.paragraphs[0].runs.size(), 1);
        QVERIFY(doc.paragraphs[0].runs[0].format.bold);
        QCOMPARE(doc.paragraphs[2].runs.size(), 1);
        QVERIFY(!doc.paragraphs[2].runs[0].format.bold);
        for (const rtf::CharFormat& f : {doc.paragraphs[0].runs[0].format, doc.paragraphs[2].runs[0].format}) {
            QCOMPARE(f.halfPoints, 20);
            QCOMPARE(doc.fontOf(f)->name, QStringLiteral("Times New Roman CE"));
        }

        // Shown, it fits its popup without scrolling.
        item->ShowHelp();
        THelpWin* win = THelpWin::Current();
        QVERIFY(win);
        QCOMPARE(win->size(), size);
        QCOMPARE(win->RichEdit->toPlainText(), heading + "\n\n" + sentence);
        QVERIFY(win->RichEdit->document()->size().height() <= win->RichEdit->viewport()->height());
    }

    void helpButtonOfEachDialog()
    {
        AppFixture app(oneTest);
        app.showMain();
        app.ident->Prepare(app.folder.import(), QStringLiteral("novy.dbf"));
        for (controls::TToolDialog* d : {static_cast<controls::TToolDialog*>(app.open),
                                         static_cast<controls::TToolDialog*>(app.import),
                                         static_cast<controls::TToolDialog*>(app.ident)}) {
            d->show();
            QVERIFY(QTest::qWaitForWindowExposed(d));
            auto* help = d->findChild<controls::TCaptionButton*>(QStringLiteral("CaptionButton2"));
            auto* book = d->findChild<THelpBook*>(QStringLiteral("HelpBook1"));
            QVERIFY(help && book);
            QCOMPARE(help->Standard(), controls::tsbHelp);
            QVERIFY(!help->Toggle());
            QCOMPARE(help->ButtonRect(), QRect(d->width() - 30, 5, 12, 11));
            QCOMPARE(help->Surface(), d->titleBar());

            // Each click switches help mode; the button comes up after each.
            clickCaption(help);
            QVERIFY(book->HelpMode());
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WhatsThisCursor);
            QVERIFY(!help->Down());
            clickCaption(help);
            QVERIFY(!book->HelpMode());
            QVERIFY(!QGuiApplication::overrideCursor());
            clickCaption(help);
            QVERIFY(book->HelpMode());
            // Closing the dialog in help mode leaves no help cursor behind.
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
            QVERIFY(!book->HelpMode());
            QVERIFY(!QGuiApplication::overrideCursor());
            QVERIFY(app.main->isEnabled());
        }
        QVERIFY(app.errors.isEmpty());
    }

    void helpModeClickOnOpenShowsHelpThenOpens()
    {
        AppFixture app(oneTest);
        app.showMain();
        TOtevritDialog* d = app.open;
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QTreeWidgetItem* kind = d->FindTreeChild(d->TreeView1, nullptr, QStringLiteral("Zeměpis"));
        QVERIFY(kind);
        d->TreeView1->setCurrentItem(d->FindTreeChild(d->TreeView1, kind, QStringLiteral("Evropa")));
        QSignalSpy opened(d->HelpBook1, &THelpBook::OnHelpOpen);
        QSignalSpy closed(d->HelpBook1, &THelpBook::OnHelpClose);

        clickCaption(d->CaptionButton2);
        QVERIFY(d->HelpMode());
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        // Help, and no test.
        QCOMPARE(opened.count(), 1);
        QVERIFY(THelpWin::Current());
        QCOMPARE(THelpWin::Current()->Control(), d->Button1);
        QCOMPARE(THelpWin::Current()->RichEdit->toPlainText(), QStringLiteral("Otevřít\n\nOtevře vybraný test."));
        QVERIFY(!d->HelpMode());
        QVERIFY(d->isVisible());
        QVERIFY(!app.main->Cislo->isVisibleTo(app.main));
        QVERIFY(app.messages.empty());

        // The next click opens the test, and the popup goes with the dialog.
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
        QVERIFY(!d->isVisible());
        QVERIFY(app.main->Cislo->isVisibleTo(app.main));
        QCOMPARE(app.main->Cislo->text(), QStringLiteral("1"));
        QTRY_VERIFY(!THelpWin::Current());
        QCOMPARE(closed.count(), 1);
    }

    void f1OnTheTreeAndTheList()
    {
        AppFixture app(oneTest);
        app.showMain();
        app.open->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.open));
        app.open->TreeView1->setFocus();
        QTest::keyClick(app.open->TreeView1, Qt::Key_F1);
        QVERIFY(THelpWin::Current());
        QCOMPARE(THelpWin::Current()->Control(), app.open->TreeView1);
        QCOMPARE(THelpWin::Current()->size(), QSize(266, 75));
        QVERIFY(app.open->isVisible()); // F1 is no key of the dialog's own
        app.open->close();
        QVERIFY(!THelpWin::Current());

        app.import->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.import));
        auto* list = app.import->findChild<QListWidget*>(QStringLiteral("FileListBox1"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F1);
        QVERIFY(THelpWin::Current());
        QCOMPARE(THelpWin::Current()->Control(), list);
        // In help mode a click on the list shows its help and selects nothing.
        closePopup();
        clickCaption(app.import->CaptionButton2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QVERIFY(THelpWin::Current());
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(app.import->Label2->text().isEmpty());
        app.import->close();
        QVERIFY(app.errors.isEmpty());
    }
};

QTEST_MAIN(TestDialogHelp)
#include "tst_dialoghelp.moc"
