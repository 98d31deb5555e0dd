// What a pupil with a screen reader hears, through Qt's accessibility
// interfaces in-process: the dialogs' controls by name and role, the
// catalogue tree, the identification and the results read as a whole.
#include "AccessibleProbe.h"
#include "AppFixture.h"

#include "assistant/oaAssist.h"
#include "catalogue/Otevrit.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "import/Identifikace.h"
#include "import/Import.h"
#include "results/Vysledek.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
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

// The program with one test, opened through the open-test dialog.
struct OpenTest {
    explicit OpenTest(const TestFile& t)
        : f([&](AppFolder& a) { a.addTest(QStringLiteral("t.dbf"), t); })
    {
        f.showMain();
        f.main->activateWindow();
        QApplication::setActiveWindow(f.main);
        f.open->show();
        QApplication::processEvents();
        QTreeWidget* tree = f.open->TreeView1;
        QTreeWidgetItem* kind = f.open->FindTreeChild(tree, nullptr, t.druh);
        tree->setCurrentItem(f.open->FindTreeChild(tree, kind, t.nazev));
        QTest::mouseClick(f.open->Button1, Qt::LeftButton);
        QApplication::processEvents();
    }
    THlavniDialog* w() const { return f.main; }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : f.main, Qt::Key(k), mods);
        QApplication::processEvents();
    }
    AppFixture f;
};

TestFile withLimit(TestFile t, const QString& minutes)
{
    t.cas2 = minutes;
    return t;
}

// The last alert told from `source`.
AccessibleRecord lastAlert(const AccessibleProbe& probe, const QObject* source)
{
    const QList<AccessibleRecord> alerts = probe.alerts();
    for (auto it = alerts.rbegin(); it != alerts.rend(); ++it)
        if (it->object == source)
            return *it;
    return {};
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

        // The results stay on the main window, each figure by its caption.
        QWidget* panel = p.f.main->Panel4;
        QVERIFY(panel->isVisible());
        QCOMPARE(probe.role(panel), QAccessible::Grouping);
        QCOMPARE(probe.name(panel), QStringLiteral("Výsledky posledního testu"));
        for (const auto& [caption, figure] : {std::pair {"Label14", "L1"}, std::pair {"Label19", "L6"},
                                              std::pair {"Label17", "L4"}, std::pair {"Label13", "L5"}})
            QCOMPARE(probe.related(panel->findChild<QLabel*>(QLatin1String(figure)), QAccessible::Label),
                     QList<QObject*> {panel->findChild<QLabel*>(QLatin1String(caption))});
    }

    void mainWindowCommandsAreNamed()
    {
        AccessibleProbe probe;
        Program p;
        THlavniDialog* w = p.f.main;
        QCOMPARE(probe.role(w), QAccessible::Window);
        QCOMPARE(probe.name(w), QStringLiteral("Vedomec 2001"));
        const std::pair<QWidget*, QStringList> commands[] = {
            {w->ToolbarButton971, {"Otevřít test", "Ctrl+O"}}, {w->ToolbarButton974, {"Import testu", "Ctrl+I"}},
            {w->ToolbarButton972, {"Ukončit test", "Ctrl+Z"}}, {w->ToolbarButton978, {"Nápověda", "F1"}},
            {w->T1, {"První otázka", "F5"}},                  {w->T2, {"Předchozí otázka", "F6 nebo Shift+Enter"}},
            {w->T3, {"Další otázka", "F7 nebo Ctrl+Enter"}},  {w->T4, {"Poslední otázka", "F8"}},
            {w->ToolbarButton975, {"Výsledky testu", "Ctrl+V"}}, {w->ToolbarButton973, {"Konec programu", ""}},
        };
        for (const auto& [button, says] : commands) {
            QCOMPARE(probe.role(button), QAccessible::Button);
            QCOMPARE(probe.name(button), says[0]);
            QCOMPARE(probe.description(button), says[1]);
        }
        // The time labels by their captions; panels are groups, not frames.
        QCOMPARE(probe.related(w->Cas, QAccessible::Label), QList<QObject*> {w->Label12});
        QCOMPARE(probe.related(w->Cas1, QAccessible::Label), QList<QObject*> {w->Label11});
        QCOMPARE(probe.role(w->Panel3), QAccessible::Grouping);
        QCOMPARE(probe.name(w->Panel3), QStringLiteral("Informace o testu"));
        QCOMPARE(probe.role(w->Panel2), QAccessible::Pane);
        QCOMPARE(probe.related(w->Label10, QAccessible::Label), QList<QObject*> {w->findChild<QLabel*>("Label9")});
        // The test's information: each value is read with its own caption,
        // and each caption names exactly its values.
        auto caption = [&](const char* name) { return static_cast<QObject*>(w->Panel3->findChild<QLabel*>(name)); };
        const std::pair<const char*, QList<QObject*>> captions[] = {
            {"Label6", {w->DBText8, w->DBText9}}, // "Autor testu :" the name and the address
            {"Label7", {w->DBText10}},            // "http://"
            {"Label8", {w->DBText11}},            // "E-mail :"
            {"Label9", {w->Label10}},             // "Počet otázek :"
        };
        for (const auto& [name, values] : captions) {
            QVERIFY2(caption(name), name);
            QCOMPARE(probe.related(caption(name), QAccessible::Labelled), values);
            for (QObject* value : values)
                QCOMPARE(probe.related(value, QAccessible::Label), QList<QObject*> {caption(name)});
        }
        QCOMPARE(static_cast<QLabel*>(caption("Label7"))->text(), QStringLiteral("http://"));
        QCOMPARE(static_cast<QLabel*>(caption("Label8"))->text(), QStringLiteral("E-mail :"));
        // The hidden menu bar and its entries stay out of sight.
        QVERIFY(!w->MainMenu1 || !w->MainMenu1->isVisible());
    }

    void typeAAnswersFollowTheQuestion()
    {
        AccessibleProbe probe;
        OpenTest t(simpleTest(QStringLiteral("A"), 3));
        THlavniDialog* w = t.w();
        QVERIFY(w->TestA->isVisible());

        // Opening reads the first question with its answers.
        AccessibleRecord alert = lastAlert(probe, w->TestA);
        QCOMPARE(alert.role, QAccessible::Grouping);
        QCOMPARE(alert.name, QStringLiteral("Otázka 1 z 3"));
        QCOMPARE(alert.description, QStringLiteral("Otázka číslo 1?\na) odpověď a1\nb) odpověď b1\n"
                                                   "c) odpověď c1\nd) odpověď d1"));
        const QList<QCheckBox*> boxes {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4};
        const QStringList letters {"a)", "b)", "c)", "d)"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(probe.role(boxes[i]), QAccessible::CheckBox);
            QCOMPARE(probe.name(boxes[i]), letters[i] + QStringLiteral(" odpověď ") + QChar(u'a' + i) + u'1');
            // All four answers are heard with the one that has the keyboard.
            QCOMPARE(probe.description(boxes[i]),
                     QStringLiteral("Otázka 1 z 3: Otázka číslo 1?\nOdpovědi: a) odpověď a1, b) odpověď b1, "
                                    "c) odpověď c1, d) odpověď d1"));
        }
        QCOMPARE(probe.related(w->DBText2, QAccessible::Labelled), QList<QObject*> {w->RadioButton1});
        QCOMPARE(probe.related(w->TestA, QAccessible::Label), QList<QObject*> {w->DBText1});
        QCOMPARE(probe.iface(boxes[0])->parent()->object(), w->TestA);
        // The first answer has the keyboard, unchecked.
        QCOMPARE(QApplication::focusWidget(), w->RadioButton1);
        QVERIFY(!probe.iface(w->RadioButton1)->state().checked);

        // Choosing b) is told as the change of its state.
        probe.clear();
        QTest::mouseClick(w->RadioButton2, Qt::LeftButton);
        QApplication::processEvents();
        bool told = false;
        for (const AccessibleRecord& r : probe.of(QAccessible::StateChanged))
            told = told || (r.object == w->RadioButton2 && r.changed.checked && r.state.checked);
        QVERIFY(told);
        QVERIFY(probe.iface(w->RadioButton2)->state().checked);

        // F7: the next question and its answers, the names follow the row.
        probe.clear();
        t.key(Qt::Key_F7);
        alert = lastAlert(probe, w->TestA);
        QCOMPARE(alert.name, QStringLiteral("Otázka 2 z 3"));
        QVERIFY(alert.description.startsWith(QStringLiteral("Otázka číslo 2?\na) odpověď a2")));
        QCOMPARE(probe.name(w->RadioButton2), QStringLiteral("b) odpověď b2"));
        QVERIFY(probe.indexOf(QAccessible::NameChanged, w->RadioButton2) >= 0);
        QVERIFY(probe.description(w->RadioButton4).startsWith(QStringLiteral("Otázka 2 z 3: Otázka číslo 2?\n")));
        // Back with F6: b) is shown checked again, and said so.
        probe.clear();
        t.key(Qt::Key_F6);
        QCOMPARE(lastAlert(probe, w->TestA).name, QStringLiteral("Otázka 1 z 3"));
        QCOMPARE(probe.name(w->RadioButton2), QStringLiteral("b) odpověď b1"));
        QVERIFY(probe.iface(w->RadioButton2)->state().checked);
        // F8 to the last.
        t.key(Qt::Key_F8);
        QCOMPARE(probe.name(w->TestA), QStringLiteral("Otázka 3 z 3"));
        QCOMPARE(probe.name(w->RadioButton3), QStringLiteral("c) odpověď c3"));
    }

    void typeBAnswersAreReadWithTheirQuestion()
    {
        AccessibleProbe probe;
        OpenTest t(simpleTest(QStringLiteral("B"), 2));
        THlavniDialog* w = t.w();
        AccessibleRecord alert = lastAlert(probe, w->TestB);
        QCOMPARE(alert.name, QStringLiteral("Otázka 1 z 2"));
        QCOMPARE(alert.description, QStringLiteral("Otázka číslo 1?\nANO\nNE"));
        QCOMPARE(probe.name(w->RadioButton5), QStringLiteral("ANO"));
        QCOMPARE(probe.name(w->RadioButton6), QStringLiteral("NE"));
        QCOMPARE(probe.role(w->RadioButton6), QAccessible::CheckBox);
        QCOMPARE(probe.description(w->RadioButton6), QStringLiteral("Otázka 1 z 2: Otázka číslo 1?"));
        QCOMPARE(probe.related(w->TestB, QAccessible::Label), QList<QObject*> {w->DBText6});
        t.key(Qt::Key_F7);
        QCOMPARE(lastAlert(probe, w->TestB).description, QStringLiteral("Otázka číslo 2?\nANO\nNE"));
        QCOMPARE(probe.description(w->RadioButton5), QStringLiteral("Otázka 2 z 2: Otázka číslo 2?"));
    }

    void typeCBoxIsNamedByTheQuestion()
    {
        AccessibleProbe probe;
        OpenTest t(withLimit(simpleTest(QStringLiteral("C"), 2), QStringLiteral("10")));
        THlavniDialog* w = t.w();
        QCOMPARE(lastAlert(probe, w->TestC).name, QStringLiteral("Otázka 1 z 2"));
        QCOMPARE(lastAlert(probe, w->TestC).description, QStringLiteral("Otázka číslo 1?"));
        QCOMPARE(probe.role(w->Edit971), QAccessible::EditableText);
        QCOMPARE(probe.name(w->Edit971), QStringLiteral("Otázka číslo 1?"));
        QCOMPARE(probe.description(w->Edit971), QStringLiteral("Otázka 1 z 2"));
        QCOMPARE(probe.related(w->DBText7, QAccessible::Labelled).size(), 2);
        QCOMPARE(QApplication::focusWidget(), w->Edit971);
        QTest::keyClicks(w->Edit971, QStringLiteral("Praha"));
        probe.clear();
        t.key(Qt::Key_F7);
        QCOMPARE(probe.name(w->Edit971), QStringLiteral("Otázka číslo 2?"));
        QVERIFY(probe.indexOf(QAccessible::NameChanged, w->Edit971) >= 0);
        QCOMPARE(lastAlert(probe, w->TestC).name, QStringLiteral("Otázka 2 z 2"));

        // F9 says the time left and taken, read out as a notification.
        probe.clear();
        t.key(Qt::Key_F9);
        TAssistantBalloon* b = w->Assistant->balloonWindow();
        QTRY_VERIFY(b->isVisible() && b->zoomStage() == 3);
        const AccessibleRecord said = lastAlert(probe, b);
        QCOMPARE(said.role, QAccessible::Notification);
        QVERIFY2(QRegularExpression(QStringLiteral("^Zbývá 0:(09:[0-5]\\d|10:00)\\. Od spuštění testu uplynulo "
                                                   "0:00:\\d\\d z povolených 0:10:00\\.$"))
                     .match(said.name)
                     .hasMatch(),
                 qPrintable(said.name));
        // The keyboard stays in the answer.
        QCOMPARE(QApplication::focusWidget(), w->Edit971);
        QCOMPARE(w->Edit971->text(), QString());
        w->Assistant->CloseBalloon();
    }

    void timeWithoutALimitAndWithoutATest()
    {
        Program p;
        QCOMPARE(p.f.main->TimeReportText(), QStringLiteral("Není otevřen žádný test."));
        OpenTest t(simpleTest(QStringLiteral("B"), 2));
        QVERIFY2(QRegularExpression(QStringLiteral("^Od spuštění testu uplynulo 0:00:\\d\\d\\. Čas není omezen\\.$"))
                     .match(t.w()->TimeReportText())
                     .hasMatch(),
                 qPrintable(t.w()->TimeReportText()));
    }

    void f10ShowsTheMenuWithEveryCommand()
    {
        AccessibleProbe probe;
        OpenTest t(simpleTest(QStringLiteral("A"), 3));
        THlavniDialog* w = t.w();
        QCOMPARE(QApplication::focusWidget(), w->RadioButton1);
        t.key(Qt::Key_F10);
        QVERIFY(w->MainMenu1->isVisible());
        QVERIFY(w->Soubor->isVisible());
        QAccessibleInterface* menu = probe.iface(w->Soubor);
        QStringList heard;
        for (int i = 0; i < menu->childCount(); ++i) {
            QAccessibleInterface* e = menu->child(i);
            if (e->role() == QAccessible::MenuItem)
                heard << e->text(QAccessible::Name) + QStringLiteral(" | ") + e->text(QAccessible::Accelerator)
                        + (e->state().disabled ? QStringLiteral(" | off") : QString());
        }
        QCOMPARE(heard, (QStringList {
                             "Otevřít test | Ctrl+O | off",
                             "Import testu | Ctrl+I | off",
                             "Ukončit test | Ctrl+Z",
                             "Nápověda | F1",
                             "První otázka | F5 | off",
                             "Předchozí otázka | F6 | off",
                             "Další otázka | F7",
                             "Poslední otázka | F8",
                             "Výsledky testu | Ctrl+V",
                             "Další otázka | Ctrl+Return / Ctrl+Enter",
                             "Předchozí otázka | Shift+Return / Shift+Enter | off",
                             "Čas testu | F9",
                         }));
        // The first command that can run has the reader's focus.
        QCOMPARE(w->Soubor->activeAction(), w->M3);

        // Down to "Další otázka" and Enter: it runs, and the bar goes away.
        while (w->Soubor->activeAction() != w->M7)
            QTest::keyClick(w->Soubor, Qt::Key_Down);
        QVERIFY(probe.iface(w->Soubor)->child(w->Soubor->actions().indexOf(w->M7))->state().focused);
        QTest::keyClick(w->Soubor, Qt::Key_Return);
        QTRY_VERIFY(!w->MainMenu1->isVisible());
        QCOMPARE(w->Cislo->text(), QStringLiteral("2"));
        // The answer that had the keyboard has it again, and stays unchecked.
        QTRY_COMPARE(QApplication::focusWidget(), w->RadioButton1);
        QVERIFY(!w->RadioButton1->isChecked());

        // Esc closes it without running anything; the keyboard is back on
        // the answer, which coming back does not check.
        QCOMPARE(probe.name(w->Soubor), QStringLiteral("Soubor"));
        t.key(Qt::Key_F10);
        QVERIFY(w->Soubor->isVisible());
        QTest::keyClick(w->Soubor, Qt::Key_Escape);
        QTRY_VERIFY(!w->MainMenu1->isVisible());
        QCOMPARE(w->Cislo->text(), QStringLiteral("2"));
        QTRY_COMPARE(QApplication::focusWidget(), w->RadioButton1);
        QVERIFY(!w->RadioButton1->isChecked() && !w->RadioButton2->isChecked());
        // And the window's keys work again at once.
        t.key(Qt::Key_F7);
        QCOMPARE(w->Cislo->text(), QStringLiteral("3"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
