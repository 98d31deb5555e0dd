// What a screen reader is told about the kit: roles of our windows and
// panels, labels and what they label, the caption buttons of a dialog's
// title bar, menu entries read by their full names, and alerts.
#include "AccessibleProbe.h"

#include "controls/Accessible.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Gradpan.h"
#include "controls/ToolDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace vedomec;
using namespace vedomec::controls;

class TestAccessible : public QObject {
    Q_OBJECT
private slots:
    void dialogTitleBarListsItsCaptionButtons()
    {
        AccessibleProbe probe;
        QWidget main;
        TToolDialog dialog(&main);
        dialog.setCaption(QStringLiteral("Otevřít databázi"));
        TCaptionButton* help = CreateHelpCaptionButton(&dialog);
        QSignalSpy clicks(help, &TCaptionButton::OnClick);
        main.show();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(probe.role(&dialog), QAccessible::Dialog);
        QCOMPARE(probe.name(&dialog), QStringLiteral("Otevřít databázi"));
        QAccessibleInterface* bar = probe.iface(dialog.titleBar());
        QCOMPARE(bar->role(), QAccessible::TitleBar);
        QCOMPARE(bar->text(QAccessible::Name), QStringLiteral("Otevřít databázi"));
        QCOMPARE(bar->childCount(), 2);
        QStringList names;
        for (int i = 0; i < bar->childCount(); ++i) {
            QAccessibleInterface* b = bar->child(i);
            QCOMPARE(b->role(), QAccessible::Button);
            QCOMPARE(b->parent()->object(), dialog.titleBar());
            QCOMPARE(bar->indexOfChild(b), i);
            // Where it is drawn, on the bar.
            QVERIFY(bar->rect().contains(b->rect()));
            names << b->text(QAccessible::Name);
        }
        names.sort();
        QCOMPARE(names, (QStringList {"Nápověda", "Zavřít"}));

        // The "?" says what it does and presses like a click.
        QAccessibleInterface* helpIface = probe.find(&dialog, QAccessible::Button, QStringLiteral("Nápověda"));
        QVERIFY(helpIface);
        QCOMPARE(helpIface->object(), help);
        QVERIFY(helpIface->text(QAccessible::Description).contains(QStringLiteral("F1")));
        QCOMPARE(helpIface->actionInterface()->actionNames(), QStringList {QAccessibleActionInterface::pressAction()});
        helpIface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks.count(), 1);
        QVERIFY(!help->Down());

        // The close box closes the dialog and gives the main window back.
        QVERIFY(!main.isEnabled());
        probe.find(&dialog, QAccessible::Button, QStringLiteral("Zavřít"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!dialog.isVisible());
        QVERIFY(main.isEnabled());
    }

    void panelsAndWindowsTakeTheirRoles()
    {
        AccessibleProbe probe;
        QWidget window;
        // A plain panel is a panel, not a frame a reader takes for a window.
        auto* panel = new QFrame(&window);
        panel->setFrameShape(QFrame::Box);
        auto* line = new QFrame(&window);
        line->setFrameShape(QFrame::HLine);
        QCOMPARE(probe.role(panel), QAccessible::Pane);
        QCOMPARE(probe.role(line), QAccessible::Separator);

        // A role given later (after the interface was made) is the one read.
        auto* group = new QFrame(&window);
        QCOMPARE(probe.role(group), QAccessible::Pane);
        SetAccessibleRole(group, QAccessible::Grouping);
        QCOMPARE(probe.role(group), QAccessible::Grouping);
        // Also for a window whose interface Qt made before ours were asked.
        SetAccessibleRole(&window, QAccessible::Window);
        QCOMPARE(probe.role(&window), QAccessible::Window);

        // The gradient strip is a panel named by its caption; its icon a
        // graphic with a name.
        auto* strip = CreateLeftStrip(&window, DialogIcon::Chart, QRect(0, 0, 46, 200));
        QCOMPARE(probe.role(strip), QAccessible::Pane);
        strip->setCaption(QStringLiteral("Pruh"));
        QCOMPARE(probe.name(strip), QStringLiteral("Pruh"));
        auto* image = strip->findChild<QLabel*>(QStringLiteral("Image1"));
        QCOMPARE(probe.role(image), QAccessible::Graphic);
        QCOMPARE(probe.name(image), QStringLiteral("Graf"));
    }

    void labelsKnowWhatTheyLabel()
    {
        AccessibleProbe probe;
        QWidget window;
        auto* caption = new QLabel(QStringLiteral("Celkový počet otázek :"), &window);
        auto* figure = new QLabel(QStringLiteral("12"), &window);
        SetAccessibleLabel(caption, figure);
        QCOMPARE(probe.role(caption), QAccessible::StaticText);
        QCOMPARE(probe.related(caption, QAccessible::Labelled), QList<QObject*> {figure});
        QCOMPARE(probe.related(figure, QAccessible::Label), QList<QObject*> {caption});

        // A label whose text is data keeps its ampersands and names a check
        // box; the box itself keeps Qt's interface, with its check state.
        auto* answer = new TDBText(&window);
        answer->setText(QStringLiteral("Tom & Jerry"));
        auto* box = new QCheckBox(QStringLiteral("a)"), &window);
        SetAccessibleLabel(answer, box);
        QCOMPARE(probe.name(answer), QStringLiteral("Tom & Jerry"));
        QCOMPARE(probe.related(answer, QAccessible::Labelled), QList<QObject*> {box});
        QCOMPARE(probe.role(box), QAccessible::CheckBox);
        box->setChecked(true);
        QVERIFY(probe.iface(box)->state().checked);

        // Rich text is read as plain words; a buddy's mnemonic mark is dropped.
        auto* rich = new QLabel(QStringLiteral("<b>Hodnocení</b> :"), &window);
        QCOMPARE(probe.name(rich), QStringLiteral("Hodnocení :"));
        auto* withBuddy = new QLabel(QStringLiteral("&Název"), &window);
        auto* edit = new QPushButton(&window);
        withBuddy->setBuddy(edit);
        QCOMPARE(probe.name(withBuddy), QStringLiteral("Název"));
        QCOMPARE(probe.related(withBuddy, QAccessible::Labelled), QList<QObject*> {edit});

        // A link ends with either end.
        delete figure;
        QVERIFY(AccessibleTargetsOf(caption).isEmpty());
        QVERIFY(probe.related(caption, QAccessible::Labelled).isEmpty());
    }

    void menuEntriesAreReadByTheirFullNames()
    {
        AccessibleProbe probe;
        QWidget window;
        QMenu menu(QStringLiteral("Soubor"), &window);
        QAction* next = menu.addAction(QStringLiteral("Dalse"));
        next->setShortcuts({QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::Key_Return)});
        SetAccessibleName(next, QStringLiteral("Další otázka"));
        QAction* plain = menu.addAction(QStringLiteral("Prvni"));
        QSignalSpy triggered(next, &QAction::triggered);
        window.show();
        menu.popup(window.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));

        QAccessibleInterface* m = probe.iface(&menu);
        QCOMPARE(m->childCount(), 2);
        QAccessibleInterface* entry = m->child(0);
        QCOMPARE(entry->object(), next);
        QCOMPARE(entry->role(), QAccessible::MenuItem);
        QCOMPARE(entry->text(QAccessible::Name), QStringLiteral("Další otázka"));
        QCOMPARE(entry->text(QAccessible::Accelerator),
                 QKeySequence(Qt::Key_F7).toString(QKeySequence::NativeText) + QStringLiteral(" / ")
                     + QKeySequence(Qt::CTRL | Qt::Key_Return).toString(QKeySequence::NativeText));
        QCOMPARE(entry->parent()->object(), &menu);
        QCOMPARE(m->indexOfChild(entry), 0);
        QVERIFY(menu.geometry().contains(entry->rect()));
        // An entry without a fuller name keeps Qt's reading of its caption.
        QCOMPARE(m->child(1)->object(), plain);
        QCOMPARE(m->child(1)->text(QAccessible::Name), QStringLiteral("Prvni"));

        // Moving in the menu moves the reader's focus onto the entry.
        probe.clear();
        menu.setActiveAction(next);
        QVERIFY(entry->state().focused);

        // A disabled entry is read with its key, but does not run.
        next->setEnabled(false);
        QVERIFY(entry->state().disabled);
        // In the form Orca parses, "mnemonic;path;accelerator".
        QCOMPARE(entry->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                 QStringList {QStringLiteral(";;") + entry->text(QAccessible::Accelerator)});
        entry->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(triggered.count(), 0);
        QVERIFY(menu.isVisible());
        next->setEnabled(true);
        entry->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(triggered.count(), 1);
        QVERIFY(!menu.isVisible());
    }

    void announceSaysNameAndDescription()
    {
        AccessibleProbe probe;
        QWidget window;
        auto* panel = new QFrame(&window);
        SetAccessibleRole(panel, QAccessible::Grouping);
        panel->setAccessibleName(QStringLiteral("Otázka 2 z 5"));
        panel->setAccessibleDescription(QStringLiteral("Kolik nohou má pavouk?"));
        probe.clear();
        Announce(panel);
        QCOMPARE(probe.alerts().size(), 1);
        const AccessibleRecord& r = probe.alerts().front();
        QCOMPARE(r.object, panel);
        QCOMPARE(r.role, QAccessible::Grouping);
        QCOMPARE(r.name, QStringLiteral("Otázka 2 z 5"));
        QCOMPARE(r.description, QStringLiteral("Kolik nohou má pavouk?"));
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
