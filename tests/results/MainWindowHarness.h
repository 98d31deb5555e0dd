#pragma once
// The pupil's main window with its results dialog, on a folder of its own,
// with a clock the test moves and the balloons answered from a script: what
// the Results command, the time limit and the results dialog are driven
// through.
#include "TestData.h"

#include "platform/AppPath.h"
#include "app/Hlavni.h"
#include "assistant/oaAssist.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
#include "data/Data.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"
#include "platform/Sound.h"
#include "results/TimeCounter.h"
#include "results/Vysledek.h"
#include "session/TestSession.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace vedomec::testdata {

class MainWindowHarness : public QObject {
protected:
    struct Message {
        QString text;
        int type = 0;
        int buttons = 0;
    };

    std::unique_ptr<testdata::AppFolder> folder;
    std::unique_ptr<data::TDataModule1> dm;
    std::unique_ptr<THlavniDialog> main;
    std::unique_ptr<TVysledekDialog> dialog;
    RecordingSoundPlayer sound;
    ManualClock clock;
    QStringList errors;
    QList<Message> messages;
    // What the next messages answer; the default answers No / OK.
    std::function<int(const BalloonMessage&)> answer;
    QString fileName;

    THlavniDialog& h() { return *main; }
    TVysledekDialog& d() { return *dialog; }

    QLabel* panelLabel(const char* name) { return h().Panel4->findChild<QLabel*>(QLatin1String(name)); }
    // The box a list of question numbers scrolls in.
    static QScrollArea* listBox(QWidget* parent, const char* name)
    {
        return parent->findChild<QScrollArea*>(QLatin1String(name) + QStringLiteral("Box"));
    }

    // The whole list can be read: its label holds every line, and the box
    // scrolls vertically to the last one.
    static void expectReadable(QWidget* parent, const char* name, const QString& ending)
    {
        QScrollArea* box = listBox(parent, name);
        QVERIFY(box);
        auto* list = qobject_cast<QLabel*>(box->widget());
        QVERIFY(list);
        QVERIFY(list->text().endsWith(ending));
        QVERIFY(box->isVisibleTo(parent));
        QVERIFY(box->verticalScrollBar()->maximum() > 0);
        QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
        QVERIFY(list->height() >= list->heightForWidth(list->width()));
        QVERIFY(list->width() <= box->viewport()->width());
        box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
        QApplication::processEvents();
        // The end of the list stands inside the box.
        QCOMPARE(list->mapTo(box->viewport(), QPoint(0, list->height())).y(), box->viewport()->height());
    }


    // The test opened as the open action opens it (the session handed to the
    // window): its panel shown, the session state of an open test, the
    // clock from zero.
    void openTest(const TestFile& t, const QString& allowed = QStringLiteral("neomezeno"))
    {
        fileName = QStringLiteral("T%1%2.DBF").arg(t.type).arg(++opened);
        testdata::writeQuestionTable(folder->testy() + fileName, t);
        data::TTable* table = t.type == QLatin1String("A") ? dm->Table1
                            : t.type == QLatin1String("B") ? dm->Table2
                                                            : dm->Table3;
        const results::TestType type = t.type == QLatin1String("A") ? results::TestType::A
                                     : t.type == QLatin1String("B") ? results::TestType::B
                                                                     : results::TestType::C;
        auto test = std::make_unique<session::TTestSession>(table, type);
        test->Open(folder->testy() + fileName);
        h().TestOpened(std::move(test), {t.druh + QStringLiteral(" - ") + t.nazev, allowed});
        h().TestStarted();
        h().Timer1Timer();
    }

    QStringList stored() { return testdata::readColumn(folder->testy() + fileName, QStringLiteral("ODPOVED")); }

    static TestFile questionsOf(const QString& type, const QStringList& spravne)
    {
        TestFile t;
        t.type = type;
        for (const QString& s : spravne) {
            Question q;
            q.otazka = QStringLiteral("Otázka?");
            q.a = q.b = q.c = q.d = QStringLiteral("odpověď");
            q.spravne = s;
            t.questions.append(q);
        }
        return t;
    }

    void tickAt(qint64 seconds)
    {
        clock.set(startMs + seconds * 1000);
        h().TimeCounter1->tick();
    }

    qint64 startMs = 0;
    int opened = 0;

    // Enabled once the dialog gives the main window back.
    bool on(QWidget* w) { return w->isEnabledTo(main.get()); }

    QStringList messageTexts() const
    {
        QStringList out;
        for (const Message& m : messages)
            out << m.text;
        return out;
    }

    void checkIdleAfterClose()
    {
        QVERIFY(!d().isVisible());
        QVERIFY(h().isEnabled());
        for (data::TTable* t : {dm->Table1, dm->Table2, dm->Table3, dm->Table4, dm->Table5})
            QVERIFY(!t->Active());
        QVERIFY(h().TestA->isHidden() && h().TestB->isHidden() && h().TestC->isHidden());
        QVERIFY(h().Cislo->isHidden());
        QVERIFY(h().ToolbarButton971->isEnabled());
        QVERIFY(h().ToolbarButton974->isEnabled());
        QVERIFY(!h().ToolbarButton972->isEnabled());
        QVERIFY(!h().ToolbarButton975->isEnabled());
        for (auto* b : {h().T1, h().T2, h().T3, h().T4})
            QVERIFY(!b->isEnabled());
        QCOMPARE(h().K1->text(), QStringLiteral("0"));
        for (const QString& s : stored())
            QVERIFY2(s.isEmpty(), qPrintable(s));
        QVERIFY(h().Panel4->isVisibleTo(&h()));
    }

    // A window and a dialog of their own for each test function.
    void setUp()
    {
        folder = std::make_unique<testdata::AppFolder>();
        TAppPath::setOverride(folder->path());
        setSoundPlayer(&sound);
        sound.played.clear();
        errors.clear();
        messages.clear();
        answer = nullptr;
        setErrorReportHook([this](const QString& text) { errors << text; });
        TAssistant::setTestResponder([this](const BalloonMessage& m) {
            messages.append({m.text, m.type, int(m.buttons)});
            if (answer)
                return answer(m);
            return (m.buttons & mbYes) ? int(mrNo) : int(mrOk);
        });
        dm = std::make_unique<data::TDataModule1>(folder->path());
        main = std::make_unique<THlavniDialog>(dm.get());
        dialog = std::make_unique<TVysledekDialog>(main.get(), dm.get());

        // The counter of the window on a clock the test moves.
        delete main->TimeCounter1;
        main->TimeCounter1 = new TTimeCounter(main.get(), &clock);
        main->TimeCounter1->setEnabled(false);
        connect(main->TimeCounter1, &TTimeCounter::OnTimer, main.get(),
                [this] { guarded([this] { main->TimeCounter1Timer(); }); });

        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        startMs = clock.nowMs();
    }

    void tearDown()
    {
        dialog.reset();
        main.reset();
        dm.reset();
        TAssistant::setTestResponder({});
        setErrorReportHook(nullptr);
        setSoundPlayer(nullptr);
        folder.reset();
    }
};

} // namespace vedomec::testdata
