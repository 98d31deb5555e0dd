// What a pupil with a screen reader hears, through Qt's accessibility
// interfaces in-process: the dialogs' controls by name and role, the
// catalogue tree, the identification and the results read as a whole.
#include "AccessibleProbe.h"
#include "AppFixture.h"

#include "catalogue/Otevrit.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "import/Identifikace.h"
#include "import/Import.h"
#include "results/Vysledek.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

TestFile named(const QString& type, int questions, const QString& druh, const QString& nazev)
{
    TestFile t = simpleTest(type, questions);
    t.druh = druh;
    t.nazev = nazev;
    return t;
}

// The program with a catalogue of three tests in two kinds.
struct Program {
    Program()
        : f([](AppFolder& a) {
            a.addTest(QStringLiteral("a.dbf"), named(QStringLiteral("A"), 3, QStringLiteral("Zeměpis"),
                                                     QStringLiteral("Hlavní města")));
            a.addTest(QStringLiteral("b.dbf"), named(QStringLiteral("B"), 2, QStringLiteral("Zeměpis"),
                                                     QStringLiteral("Řeky")));
            a.addTest(QStringLiteral("c.dbf"), named(QStringLiteral("C"), 2, QStringLiteral("Přírodověda"),
                                                     QStringLiteral("Zvířata")));
            a.addImport(QStringLiteral("Novy.dbf"), named(QStringLiteral("B"), 4, QStringLiteral("Dějepis"),
                                                          QStringLiteral("Husité")));
        })
    {
        f.showMain();
        f.main->activateWindow();
        QApplication::setActiveWindow(f.main);
    }
    AppFixture f;
};

QAccessibleInterface* treeItem(QAccessibleInterface* tree, const QString& name)
{
    for (int i = 0; i < tree->childCount(); ++i)
        if (QAccessibleInterface* c = tree->child(i); c && c->role() == QAccessible::TreeItem
                                                      && c->text(QAccessible::Name) == name)
            return c;
    return nullptr;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void openTestDialogNamesItsTreeAndTellsExpansion()
    {
        AccessibleProbe probe;
        Program p;
        TOtevritDialog* d = p.f.open;
        d->show();
        QApplication::processEvents();

        QCOMPARE(probe.role(d), QAccessible::Dialog);
        QCOMPARE(probe.name(d), QStringLiteral("Otevřít databázi"));
        QAccessibleInterface* tree = probe.iface(d->TreeView1);
        QCOMPARE(tree->role(), QAccessible::Tree);
        QCOMPARE(tree->text(QAccessible::Name), QStringLiteral("Seznam dostupných testů"));
        QCOMPARE(tree->text(QAccessible::Description),
                 QStringLiteral("Zobrazuje seznam vytvořených testů, které je možné otevřít."));
        // Each kind by its caption, with how many tests it holds.
        QAccessibleInterface* zemepis = treeItem(tree, QStringLiteral("Zeměpis"));
        QAccessibleInterface* priroda = treeItem(tree, QStringLiteral("Přírodověda"));
        QVERIFY2(zemepis && priroda, qPrintable(AccessibleProbe::dump(tree)));
        QCOMPARE(zemepis->text(QAccessible::Description), QStringLiteral("2 testy"));
        QCOMPARE(priroda->text(QAccessible::Description), QStringLiteral("1 test"));
        QVERIFY(zemepis->state().expandable);
        QVERIFY(!zemepis->state().expanded);

        // Expanding a kind is told as the change of its state, and its
        // tests are then items of the tree by their titles.
        probe.clear();
        d->TreeView1->expandItem(d->FindTreeChild(d->TreeView1, nullptr, QStringLiteral("Zeměpis")));
        bool told = false;
        for (const AccessibleRecord& r : probe.of(QAccessible::StateChanged))
            if (r.object == d->TreeView1 && r.changed.expanded && r.name == QStringLiteral("Zeměpis")
                && r.state.expanded)
                told = true;
        QVERIFY(told);
        QVERIFY(treeItem(tree, QStringLiteral("Hlavní města")));
        QVERIFY(treeItem(tree, QStringLiteral("Řeky")));
        probe.clear();
        d->TreeView1->collapseItem(d->FindTreeChild(d->TreeView1, nullptr, QStringLiteral("Zeměpis")));
        told = false;
        for (const AccessibleRecord& r : probe.of(QAccessible::StateChanged))
            if (r.object == d->TreeView1 && r.changed.collapsed && r.name == QStringLiteral("Zeměpis")
                && !r.state.expanded)
                told = true;
        QVERIFY(told);

        // The buttons by their captions, described by their help; the "?"
        // in the title bar.
        QCOMPARE(probe.role(d->Button1), QAccessible::Button);
        QCOMPARE(probe.name(d->Button1), QStringLiteral("Otevřít"));
        QCOMPARE(probe.description(d->Button1), QStringLiteral("Otevře vybraný test."));
        QCOMPARE(probe.name(d->Button2), QStringLiteral("Zpět"));
        QCOMPARE(probe.description(d->Button2), QStringLiteral("Uzavře dialogové okno bez provedení operace."));
        QAccessibleInterface* help = probe.find(d, QAccessible::Button, QStringLiteral("Nápověda"));
        QVERIFY(help);
        QCOMPARE(help->object(), d->CaptionButton2);
        QVERIFY(!d->HelpMode());
        help->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(d->HelpMode());
        d->close();
    }

    void importDialogsAreReadAsAWhole()
    {
        AccessibleProbe probe;
        Program p;
        TImportDialog* d = p.f.import;
        d->show();
        QApplication::processEvents();
        QCOMPARE(probe.name(d), QStringLiteral("Import testu"));
        QCOMPARE(probe.role(d->FileListBox1), QAccessible::List);
        QCOMPARE(probe.name(d->FileListBox1), QStringLiteral("Seznam souborů pro import"));
        QCOMPARE(probe.related(d->Label1, QAccessible::Labelled), QList<QObject*> {d->FileListBox1});
        QAccessibleInterface* list = probe.iface(d->FileListBox1);
        QVERIFY(list->childCount() >= 1);
        QCOMPARE(list->child(0)->text(QAccessible::Name), QStringLiteral("Novy.dbf"));
        QCOMPARE(probe.name(d->Button1), QStringLiteral("Import"));
        QCOMPARE(probe.description(d->Button1), QStringLiteral("Zobrazí informace o importovaném testu."));

        // The identification is read out as it opens, every line of it.
        d->FileListBox1->setCurrentRow(0);
        probe.clear();
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        TIdentifikaceDialog* id = p.f.ident;
        QTRY_VERIFY(id->isVisible());
        QTRY_COMPARE(probe.alerts().size(), 1);
        const AccessibleRecord alert = probe.alerts().front();
        QCOMPARE(alert.object, id);
        QCOMPARE(alert.role, QAccessible::Dialog);
        for (const char* part : {"Druh testu: Dějepis", "Název testu: Husité", "Jméno autora: Jana Nováková",
                                 "Typ testu:", "Stanovený čas pro vyplnění testu:"})
            QVERIFY2(alert.description.contains(QString::fromUtf8(part)), qPrintable(alert.description));
        QCOMPARE(probe.related(id->DBText2, QAccessible::Label), QList<QObject*> {id->findChild<QLabel*>("Label2")});
        QCOMPARE(probe.related(id->findChild<QLabel*>("Label11"), QAccessible::Labelled), QList<QObject*> {id->Cas1});
        // "Ok", which has the keyboard, says the same and what it does.
        id->Button2->setFocus();
        id->Button1->setFocus();
        QVERIFY(probe.description(id->Button1).startsWith(QStringLiteral("Druh testu: Dějepis.")));
        QVERIFY(probe.description(id->Button1).endsWith(QStringLiteral("Importuje vybraný test.")));
        id->close();
        d->close();
    }

    void resultsAreReadAsAWhole()
    {
        AccessibleProbe probe;
        Program p;
        TOtevritDialog* d = p.f.open;
        d->show();
        QApplication::processEvents();
        QTreeWidgetItem* kind = d->FindTreeChild(d->TreeView1, nullptr, QStringLiteral("Zeměpis"));
        d->TreeView1->setCurrentItem(d->FindTreeChild(d->TreeView1, kind, QStringLiteral("Hlavní města")));
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        QApplication::processEvents();
        QVERIFY(p.f.main->TestA->isVisible());
        // a) right, b) wrong, c) right: 2 of 3.
        THlavniDialog* w = p.f.main;
        for (QCheckBox* b : {w->RadioButton1, w->RadioButton1, w->RadioButton3}) {
            QTest::mouseClick(b, Qt::LeftButton);
            QApplication::processEvents();
            QTest::keyClick(w, Qt::Key_F7);
            QApplication::processEvents();
        }
        probe.clear();
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
        TVysledekDialog* r = p.f.results;
        QTRY_VERIFY(r->isVisible());
        QTRY_COMPARE(probe.alerts().size(), 1);
        const AccessibleRecord alert = probe.alerts().front();
        QCOMPARE(alert.object, r);
        QCOMPARE(alert.name, QStringLiteral("Výsledek testu"));
        const QString expected = QStringLiteral(
            "Zeměpis - Hlavní města. Hodnocení: %1. Celkový počet otázek: 3. "
            "Počet správně zodpovězených otázek: 2. Počet chybně zodpovězených otázek: 1. "
            "Zaokrouhlené procento úspěšnosti: %2 %. Chybně zodpovězené otázky: 2. "
            "Správné odpovědi ukáže tlačítko Ukázat.")
                                     .arg(r->L6->text(), r->L4->text());
        QCOMPARE(alert.description.toUtf8().data(), expected.toUtf8().data());
        QCOMPARE(probe.description(r->Button1), expected);
        // Every figure knows its caption.
        QCOMPARE(probe.related(r->L1, QAccessible::Label), QList<QObject*> {r->Label1});
        QCOMPARE(probe.related(r->L6, QAccessible::Label), QList<QObject*> {r->Label10});
        QCOMPARE(probe.related(r->Label9, QAccessible::Labelled), QList<QObject*> {r->L5});
        QCOMPARE(probe.name(r->L5), QStringLiteral("2"));
        QCOMPARE(probe.role(r->L4), QAccessible::StaticText);

        // Seeing the correct answers reads them out.
        probe.clear();
        p.f.answer({mrYes});
        QTest::mouseClick(r->Tl1, Qt::LeftButton);
        QVERIFY(r->L7->isVisible());
        QCOMPARE(probe.alerts().size(), 1);
        QCOMPARE(probe.alerts()[0].object, r->L7);
        QCOMPARE(probe.alerts()[0].name, r->L7->text());
        QVERIFY(!probe.description(r->Button1).contains(QStringLiteral("Ukázat")));
        QVERIFY(probe.description(r->Button1).contains(QStringLiteral("Správné odpovědi: ") + r->L7->text().simplified()));
        r->close();
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
