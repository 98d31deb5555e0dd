#include "AppFixture.h"

#include "controls/ToolDialog.h"
#include "controls/ToolbarButton.h"
#include "platform/SingleInstance.h"
#include "results/TimeCounter.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <signal.h>

using namespace vedomec;
using namespace vedomec::testdata;

class TestMainWindow : public QObject {
    Q_OBJECT

    template <class T>
    static T* child(QWidget* w, const char* name)
    {
        T* c = w->findChild<T*>(QLatin1String(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }

private slots:
    void frameAndLayout()
    {
        AppFixture app;
        app.showMain();
        THlavniDialog* w = app.main;
        QCOMPARE(w->objectName(), QStringLiteral("HlavniDialog"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Vedomec 2001"));
        QCOMPARE(w->size(), QSize(434, 528));
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));

        struct Expect { const char* name; QRect geometry; const char* caption; const char* hint; };
        const Expect buttons[] = {
            {"ToolbarButton971", {9, 90, 95, 23}, "Otevřít test", "Ctrl+O"},
            {"ToolbarButton974", {107, 90, 95, 23}, "Import testu", "Ctrl+I"},
            {"ToolbarButton972", {205, 90, 95, 23}, "Ukončit test", "Ctrl+Z"},
            {"ToolbarButton978", {335, 90, 90, 23}, "Nápověda", "F1"},
            {"T1", {8, 504, 23, 23}, "", "F5"},
            {"T2", {32, 504, 23, 23}, "", "F6 nebo Shift+Enter"},
            {"T3", {56, 504, 23, 23}, "", "F7 nebo Ctrl+Enter"},
            {"T4", {80, 504, 23, 23}, "", "F8"},
            {"ToolbarButton975", {113, 504, 112, 23}, "Výsledky testu", "Ctrl+V"},
            {"ToolbarButton973", {305, 504, 120, 23}, "Konec programu", ""},
        };
        for (const Expect& e : buttons) {
            auto* b = child<TToolbarButton97>(w, e.name);
            QCOMPARE(b->geometry(), e.geometry);
            QCOMPARE(b->text(), QString::fromUtf8(e.caption));
            QCOMPARE(b->toolTip(), QString::fromUtf8(e.hint));
            QCOMPARE(b->font().pixelSize(), 13);
            QCOMPARE(b->font().family(), QStringLiteral("Liberation Serif"));
        }
        QCOMPARE(child<QWidget>(w, "Panel1")->geometry(), QRect(8, 5, 417, 81));
        QCOMPARE(child<QWidget>(w, "Panel2")->geometry(), QRect(8, 115, 417, 309));
        QCOMPARE(child<QWidget>(w, "Panel3")->geometry(), QRect(8, 428, 417, 73));
        for (const char* p : {"TestA", "TestB", "TestC"})
            QCOMPARE(child<QWidget>(w, p)->geometry(), QRect(30, 33, 382, 248));
        QCOMPARE(child<QWidget>(w, "Panel4")->geometry(), QRect(7, 32, 401, 249));
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("Vedomec"));
        QCOMPARE(child<QLabel>(w, "Label11")->text(), QStringLiteral("Povolený čas :"));
        QCOMPARE(child<QLabel>(w, "Label12")->text(), QStringLiteral("Čas od spuštění testu :"));
        QCOMPARE(child<QCheckBox>(w, "RadioButton5")->text(), QStringLiteral("ANO"));
        QCOMPARE(child<QCheckBox>(w, "RadioButton4")->text(), QStringLiteral("d)"));

        // Nothing on the window is cut off: every visible label fits its text.
        for (QLabel* l : w->findChildren<QLabel*>()) {
            if (!l->isVisible() || l->wordWrap() || l->text().isEmpty())
                continue;
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->objectName()));
            QVERIFY2(l->geometry().right() < l->parentWidget()->width(), qPrintable(l->objectName()));
        }
    }

    void idleState()
    {
        AppFixture app;
        app.showMain();
        THlavniDialog* w = app.main;
        QVERIFY(!w->Cislo->isVisible());
        QCOMPARE(w->Cislo->text(), QStringLiteral("0"));
        QVERIFY(!w->Label5->isVisible());
        QCOMPARE(w->K1->text(), QStringLiteral("0"));
        QVERIFY(w->Cas1->text().isEmpty());
        for (QWidget* p : {static_cast<QWidget*>(w->TestA), static_cast<QWidget*>(w->TestB),
                           static_cast<QWidget*>(w->TestC), static_cast<QWidget*>(w->Panel4)})
            QVERIFY(!p->isVisible());
        QVERIFY(w->ToolbarButton971->isEnabled());
        QVERIFY(w->ToolbarButton974->isEnabled());
        QVERIFY(w->ToolbarButton978->isEnabled());
        QVERIFY(w->ToolbarButton973->isEnabled());
        QVERIFY(!w->ToolbarButton972->isEnabled());
        QVERIFY(!w->ToolbarButton975->isEnabled());
        for (auto* b : {w->T1, w->T2, w->T3, w->T4})
            QVERIFY(!b->isEnabled());
        // The menu entries follow their buttons.
        QVERIFY(w->M1->isEnabled() && w->M2->isEnabled() && w->M4->isEnabled());
        for (QAction* a : {w->M3, w->M5, w->M6, w->M7, w->M8, w->M9, w->M10, w->M11})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(w->TimeCounter1->Elapsed() == QStringLiteral("0:00:00"));
        QVERIFY(!w->TimeCounter1->Counting());
        // From the counter's next tick on, Cas shows the zero duration.
        w->TimeCounter1->tick();
        QCOMPARE(w->Cas->text(), QStringLiteral("0:00:00"));
    }

    void menuFollowsButtonsAtOnce()
    {
        AppFixture app;
        app.showMain();
        app.main->T3->setEnabled(true);
        QVERIFY(app.main->M7->isEnabled());
        QVERIFY(app.main->M10->isEnabled());
        QVERIFY(!app.main->M11->isEnabled());
        app.main->T3->setEnabled(false);
        QVERIFY(!app.main->M7->isEnabled());
    }

    void idleShortcutsDoNothing()
    {
        AppFixture app;
        app.showMain();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));
        const QKeyCombination keys[] = {
            Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8,
            QKeyCombination(Qt::ControlModifier, Qt::Key_Return), QKeyCombination(Qt::ShiftModifier, Qt::Key_Return),
            QKeyCombination(Qt::ControlModifier, Qt::Key_Z), QKeyCombination(Qt::ControlModifier, Qt::Key_V),
        };
        for (QKeyCombination k : keys)
            QTest::keyClick(app.main, k.key(), k.keyboardModifiers());
        QVERIFY(app.messages.empty());
        QVERIFY(app.errors.isEmpty());
        QCOMPARE(app.main->Cislo->text(), QStringLiteral("0"));
        QVERIFY(!app.main->T1->isEnabled());
    }

    void shortcutsOpenDialogsAndHelp()
    {
        AppFixture app;
        app.showMain();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));

        QTest::keyClick(app.main, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(app.open->isVisible());
        QVERIFY(!app.main->isEnabled());
        app.open->close();
        QVERIFY(app.main->isEnabled());

        QTest::keyClick(app.main, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(app.import->isVisible());
        QVERIFY(!app.main->isEnabled());
        app.import->close();
        QVERIFY(app.main->isEnabled());

        // F1 opens the guide balloon; it is no message.
        QTest::keyClick(app.main, Qt::Key_F1);
        QCOMPARE(app.main->Assistant->BalloonMode(), int(bmGuide));
        QVERIFY(app.messages.empty());
        QVERIFY(app.errors.isEmpty());
        app.main->Assistant->CloseBalloon();
    }

    void soundCueAndCurrentFolder()
    {
        AppFixture app;
        QDir::setCurrent(QDir::tempPath());
        app.main->PlaySoundCue(QStringLiteral("Info.wav"));
        QCOMPARE(app.cues(), QStringList {QStringLiteral("Info.wav")});
        QCOMPARE(QFileInfo(app.sound.played.back()).absolutePath(), QDir(app.folder.path() + "Zvuky").absolutePath());
        QCOMPARE(QDir::currentPath(), QDir(app.folder.path()).absolutePath());
        QVERIFY(!app.main->soundCue().lastFound().isEmpty());

        // A cue without its file plays nothing and is no error.
        app.main->PlaySoundCue(QStringLiteral("Nic.wav"));
        QCOMPARE(app.sound.played.size(), 1);
        QVERIFY(app.main->soundCue().lastFound().isEmpty());

        // Without the sound folder the program runs the same, silently.
        QVERIFY(QDir(app.folder.path() + "Zvuky").removeRecursively());
        app.main->PlaySoundCue(QStringLiteral("Dotaz.wav"));
        QCOMPARE(app.sound.played.size(), 1);

        // Names are found without regard to letter case.
        QDir().mkpath(app.folder.path() + "ZVUKY");
        QFile f(app.folder.path() + "ZVUKY/CHYBA.WAV");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        app.main->PlaySoundCue(QStringLiteral("Chyba.wav"));
        QCOMPARE(app.sound.played.size(), 2);
    }

    void messagesCarryTitleAndCue()
    {
        AppFixture app;
        app.answer({mrYes});
        QCOMPARE(app.main->UserMessage(QStringLiteral("Otázka?"), mtConfirmation, mbYes | mbNo), int(mrYes));
        QCOMPARE(app.messages.back().title, QStringLiteral("Vedomec"));
        QCOMPARE(app.cues().back(), QStringLiteral("Dotaz.wav"));
        app.main->UserMessage(QStringLiteral("Chyba!"), mtError, mbOK);
        QCOMPARE(app.cues().back(), QStringLiteral("Chyba.wav"));
        app.main->UserMessage(QStringLiteral("Info"), mtInformation, mbOK);
        QCOMPARE(app.cues().back(), QStringLiteral("Info.wav"));
    }

    void brokenCatalogueIsReportedAndStartContinues()
    {
        AppFixture app([](AppFolder& f) {
            QFile::remove(f.path() + "Data/Testy.DBF");
        });
        QCOMPARE(app.errors.size(), 1);
        QVERIFY(app.errors.front().endsWith(QLatin1Char('.')) || app.errors.front().endsWith(QLatin1Char('!')));
        QVERIFY(!app.dm->Table4->Active());
        QVERIFY(!app.dm->Table5->Active());
        app.showMain();
        QVERIFY(app.main->ToolbarButton971->isEnabled());
    }

    // One strip width in every dialog; what stands beside it keeps clear of
    // it, and in the three small dialogs starts 9 pixels to its right.
    void dialogsLeftStrip()
    {
        AppFixture app;
        const std::pair<controls::TToolDialog*, bool> dialogs[] = {
            {app.open, true}, {app.import, true}, {app.ident, true}, {app.results, false}};
        for (auto [dialog, besideAt55] : dialogs) {
            QWidget* client = dialog->clientArea();
            auto* strip = client->findChild<QWidget*>(QStringLiteral("GradPan1"));
            QVERIFY2(strip, qPrintable(dialog->objectName()));
            QCOMPARE(strip->width(), 46);
            QCOMPARE(strip->height(), besideAt55 ? client->height() : 425);
            int nearest = client->width();
            for (QObject* o : client->children()) {
                auto* w = qobject_cast<QWidget*>(o);
                if (!w || w == strip)
                    continue;
                QVERIFY2(!w->geometry().intersects(strip->geometry()), qPrintable(w->objectName()));
                nearest = qMin(nearest, w->x());
            }
            if (besideAt55)
                QCOMPARE(nearest, strip->geometry().right() + 1 + 9);
        }
    }

    void singleCopy()
    {
        const QString bin = qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral("/vedomec");
        if (!QFileInfo::exists(bin))
            QSKIP("program not built");
        SingleInstance probe(QStringLiteral("THlavniDialog"), QStringLiteral("Vedomec 2001"));
        if (probe.otherRunning())
            QSKIP("a copy of the program is running on this machine");

        auto start = [&] {
            auto* p = new QProcess(this);
            p->setProgram(bin);
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start();
            p->waitForStarted();
            return p;
        };
        auto waitUntil = [](auto cond) {
            for (int i = 0; i < 200 && !cond(); ++i)
                QTest::qWait(50);
            return cond();
        };

        QProcess* first = start();
        QVERIFY(waitUntil([&] { return probe.otherRunning(); }));

        QProcess* second = start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(first->state() == QProcess::Running);

        // A copy killed without any clean-up does not block the next start.
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(5000));
        QVERIFY(!probe.otherRunning());

        QProcess* third = start();
        QVERIFY(waitUntil([&] { return probe.otherRunning(); }));
        QVERIFY(third->state() == QProcess::Running);
        third->kill();
        third->waitForFinished(5000);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
