#pragma once
// The program on a folder holding one test, opened through the open-test
// dialog as the user opens it, and driven as the user drives it: real keys
// on the focused widget, real clicks on the boxes and buttons, the answers
// read back from the question table on disk.
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

namespace vedomec::testdata::sessiontest {

using namespace vedomec;
using namespace vedomec::testdata;

const QString kEndOfTest = QStringLiteral(
    "Dostal(a) jste se na konec testu. Pokud máte vyplněny všechny otázky, stiskněte prosím tlačítko "
    "\"Výsledky testu\" nebo klávesy \"Ctrl+V\" pro zobrazení úspěšnosti Vašich odpovědí.");
const QString kEndQuestion = QStringLiteral("Opravdu chcete ukončit tento test?");
const QString kFile = QStringLiteral("test.dbf");

inline TestFile withStored(TestFile t, const QStringList& stored)
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

inline QStringList empties(int n) { return QStringList(n, QString()); }


} // namespace vedomec::testdata::sessiontest
