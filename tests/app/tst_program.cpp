// The real program, started as a user starts it: one copy per desktop, and
// closing its window ends the process whatever waits on the screen.  The
// window checks run on a private Xvfb display and talk to the program the
// way a window manager and a keyboard do (X events), so they need Xvfb.
#include "StoreFaults.h"
#include "TestData.h"
#include "platform/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#ifdef VEDOMEC_HAVE_XCB
#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#endif

using namespace vedomec;

namespace {

QString programPath()
{
    return qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral("/vedomec");
}

template <class Cond>
bool waitUntil(Cond cond, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

// The environment of a start: what this test runs with, minus anything that
// names a desktop, plus the given names.
QProcessEnvironment desktopEnv(const QString& platform, const QStringList& names)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_ID"})
        env.remove(QLatin1String(v));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    for (const QString& n : names) {
        const qsizetype eq = n.indexOf(QLatin1Char('='));
        env.insert(n.left(eq), n.mid(eq + 1));
    }
    return env;
}

class Copies {
public:
    ~Copies()
    {
        for (auto& p : procs) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    QProcess* start(const QProcessEnvironment& env, const QString& program = programPath())
    {
        procs.push_back(std::make_unique<QProcess>());
        QProcess* p = procs.back().get();
        p->setProgram(program);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start();
        p->waitForStarted();
        return p;
    }
    std::vector<std::unique_ptr<QProcess>> procs;
};

bool runsOn(const QProcessEnvironment& env)
{
    return SingleInstance(QStringLiteral("THlavniDialog"), QStringLiteral("Vedomec 2001"), SessionScope(env))
        .otherRunning();
}

#ifdef VEDOMEC_HAVE_XCB

// A private X server and the few requests a window manager and a keyboard
// would send.
class XServer {
public:
    ~XServer()
    {
        if (c)
            xcb_disconnect(c);
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            if (!xvfb.waitForFinished(5000)) {
                xvfb.kill();
                xvfb.waitForFinished(5000);
            }
        }
    }

    bool start()
    {
        // Xvfb picks a free display and writes its number to stdout.
        xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                            QStringLiteral("-screen"), QStringLiteral("0"),
                                            QStringLiteral("1024x768x24")});
        if (!xvfb.waitForStarted(10000))
            return false;
        QByteArray out;
        if (!waitUntil([&] {
                out += xvfb.readAllStandardOutput();
                return out.contains('\n') || xvfb.state() == QProcess::NotRunning;
            }))
            return false;
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (!ok)
            return false;
        display = QStringLiteral(":%1").arg(number);
        c = xcb_connect(display.toLatin1().constData(), nullptr);
        if (!c || xcb_connection_has_error(c))
            return false;
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        wmProtocols = atom("WM_PROTOCOLS");
        wmDelete = atom("WM_DELETE_WINDOW");
        netWmName = atom("_NET_WM_NAME");
        utf8 = atom("UTF8_STRING");
        return true;
    }

    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }

    struct Window {
        xcb_window_t id;
        QString name; // as a task bar shows it
    };

    // The mapped top-level windows, each with its name.
    QList<Window> windows()
    {
        QList<Window> out;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
        if (!tree)
            return out;
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, kids[i]), nullptr);
            const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(a);
            if (!viewable)
                continue;
            QString name;
            xcb_get_property_reply_t* p = xcb_get_property_reply(
                c, xcb_get_property(c, 0, kids[i], netWmName, utf8, 0, 1024), nullptr);
            if (p)
                name = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(p)),
                                         xcb_get_property_value_length(p));
            std::free(p);
            out.append({kids[i], name});
        }
        std::free(tree);
        return out;
    }

    QSize size(xcb_window_t w)
    {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
        const QSize s = g ? QSize(g->width, g->height) : QSize();
        std::free(g);
        return s;
    }

    xcb_window_t find(const QString& name)
    {
        for (const Window& w : windows())
            if (w.name == name)
                return w.id;
        return XCB_WINDOW_NONE;
    }

    xcb_keycode_t keycode(xcb_keysym_t sym)
    {
        const xcb_setup_t* setup = xcb_get_setup(c);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* r = xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
        xcb_keycode_t code = 0;
        if (r) {
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
            for (int k = 0; k < count && !code; ++k)
                for (int j = 0; j < r->keysyms_per_keycode; ++j)
                    if (syms[k * r->keysyms_per_keycode + j] == sym) {
                        code = xcb_keycode_t(setup->min_keycode + k);
                        break;
                    }
        }
        std::free(r);
        return code;
    }

    xcb_window_t focus()
    {
        xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
        const xcb_window_t f = r ? r->focus : xcb_window_t(XCB_WINDOW_NONE);
        std::free(r);
        return f;
    }

    // A key pressed and released, delivered to the window as the keyboard
    // would deliver it.  A keyboard types into the window that has the focus
    // and the program reads its keys so: a window that has just appeared may
    // not have been given the focus yet on a busy machine, so the key waits
    // for it.
    void key(xcb_window_t w, xcb_keysym_t sym, uint16_t state = 0)
    {
        waitUntil([&] { return focus() == w; }, 10000);
        for (uint8_t type : {uint8_t(XCB_KEY_PRESS), uint8_t(XCB_KEY_RELEASE)}) {
            xcb_key_press_event_t e;
            std::memset(&e, 0, sizeof e);
            e.response_type = type;
            e.detail = keycode(sym);
            e.time = XCB_CURRENT_TIME;
            e.root = root;
            e.event = w;
            e.child = XCB_WINDOW_NONE;
            e.state = state;
            e.same_screen = 1;
            xcb_send_event(c, 0, w, type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                           reinterpret_cast<const char*>(&e));
        }
        xcb_flush(c);
    }

    // A click of the first mouse button at x, y inside the window.
    void click(xcb_window_t w, int x, int y)
    {
        for (uint8_t type : {uint8_t(XCB_BUTTON_PRESS), uint8_t(XCB_BUTTON_RELEASE)}) {
            xcb_button_press_event_t e;
            std::memset(&e, 0, sizeof e);
            e.response_type = type;
            e.detail = 1;
            e.time = XCB_CURRENT_TIME;
            e.root = root;
            e.event = w;
            e.child = XCB_WINDOW_NONE;
            e.event_x = int16_t(x);
            e.event_y = int16_t(y);
            e.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
            e.same_screen = 1;
            xcb_send_event(c, 0, w,
                           type == XCB_BUTTON_PRESS ? XCB_EVENT_MASK_BUTTON_PRESS : XCB_EVENT_MASK_BUTTON_RELEASE,
                           reinterpret_cast<const char*>(&e));
        }
        xcb_flush(c);
    }

    // What a window manager sends when the user clicks the close box.
    void closeBox(xcb_window_t w)
    {
        xcb_client_message_event_t e;
        std::memset(&e, 0, sizeof e);
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = w;
        e.type = wmProtocols;
        e.data.data32[0] = wmDelete;
        e.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
        xcb_flush(c);
    }

    QProcess xvfb;
    QString display;
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t wmProtocols = 0, wmDelete = 0, netWmName = 0, utf8 = 0;
};

constexpr xcb_keysym_t kF1 = 0xffbe;
constexpr xcb_keysym_t kTab = 0xff09;
constexpr xcb_keysym_t kSpace = 0x0020;
constexpr xcb_keysym_t kLetterT = 0x0074;
constexpr xcb_keysym_t kEscape = 0xff1b;
constexpr xcb_keysym_t kLetterO = 0x006f;
constexpr xcb_keysym_t kReturn = 0xff0d;
constexpr xcb_keysym_t kDown = 0xff54;
constexpr xcb_keysym_t kRight = 0xff53;

#endif

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists(programPath()))
            QSKIP("program not built");
    }

    // A second start on the same desktop ends at once; a start on another
    // desktop of the same user runs beside the first.
    void oneCopyPerDesktop_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("bothRun");
        // Names no real desktop of this machine uses, so a copy the user
        // runs meanwhile is not disturbed.
        const QString pid = QString::number(QCoreApplication::applicationPid());
        const QString d1 = QStringLiteral(":7") + pid;
        const QString d2 = QStringLiteral(":8") + pid;
        QTest::newRow("same display") << QStringList {"DISPLAY=" + d1} << QStringList {"DISPLAY=" + d1} << false;
        QTest::newRow("same display, other screen")
            << QStringList {"DISPLAY=" + d1 + ".0"} << QStringList {"DISPLAY=unix" + d1 + ".1"} << false;
        QTest::newRow("same display, started from another login")
            << QStringList {"DISPLAY=" + d1, "XDG_SESSION_ID=a" + pid}
            << QStringList {"DISPLAY=" + d1, "XDG_SESSION_ID=b" + pid} << false;
        QTest::newRow("two X displays") << QStringList {"DISPLAY=" + d1} << QStringList {"DISPLAY=" + d2} << true;
        QTest::newRow("two Wayland sessions")
            << QStringList {"WAYLAND_DISPLAY=wayland-a" + pid, "DISPLAY=" + d1}
            << QStringList {"WAYLAND_DISPLAY=wayland-b" + pid, "DISPLAY=" + d1} << true;
        QTest::newRow("two sessions without a display name")
            << QStringList {"XDG_SESSION_ID=a" + pid} << QStringList {"XDG_SESSION_ID=b" + pid} << true;
    }
    void oneCopyPerDesktop()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(bool, bothRun);
        const QProcessEnvironment env1 = desktopEnv(QStringLiteral("offscreen"), first);
        const QProcessEnvironment env2 = desktopEnv(QStringLiteral("offscreen"), second);
        QVERIFY(!runsOn(env1));
        QVERIFY(!runsOn(env2));

        Copies copies;
        QProcess* p1 = copies.start(env1);
        QVERIFY(waitUntil([&] { return runsOn(env1); }));
        QProcess* p2 = copies.start(env2);
        if (bothRun) {
            // A refused copy ends within a fraction of a second.
            QVERIFY(!p2->waitForFinished(3000));
            QVERIFY(waitUntil([&] { return runsOn(env2); }));
            QVERIFY(p1->state() == QProcess::Running);
            // Each holds its own desktop: the second stays when the first goes.
            p1->kill();
            QVERIFY(p1->waitForFinished(10000));
            QVERIFY(waitUntil([&] { return !runsOn(env1); }));
            QVERIFY(runsOn(env2));
            QVERIFY(p2->state() == QProcess::Running);
            return;
        } else {
            QVERIFY(p2->waitForFinished(10000));
            QCOMPARE(p2->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p2->exitCode(), 0);
        }
        QVERIFY(p1->state() == QProcess::Running);
    }

    // Closing the program's window while its guide balloon is open ends the
    // process, and the next start on the same display shows its window; a
    // dialog's window is named by its caption alone.
    void closingWithABalloonOpenEndsTheProcess()
    {
#ifndef VEDOMEC_HAVE_XCB
        QSKIP("built without the X client library");
#else
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            QSKIP("Xvfb is not installed");
        XServer x;
        QVERIFY2(x.start(), "Xvfb did not start");
        const QProcessEnvironment env =
            desktopEnv(QStringLiteral("xcb"), {QStringLiteral("DISPLAY=") + x.display});
        const QString title = QStringLiteral("Vedomec 2001");

        Copies copies;
        QProcess* p1 = copies.start(env);
        xcb_window_t main = XCB_WINDOW_NONE;
        QVERIFY(waitUntil([&] { return (main = x.find(title)) != XCB_WINDOW_NONE; }));

        // Ctrl+O: the open-test dialog, named as its caption says.
        x.key(main, kLetterO, XCB_MOD_MASK_CONTROL);
        xcb_window_t dialog = XCB_WINDOW_NONE;
        QVERIFY(waitUntil([&] {
            for (const XServer::Window& w : x.windows())
                if (w.name.startsWith(QStringLiteral("Otevřít databázi")))
                    dialog = w.id;
            return dialog != XCB_WINDOW_NONE;
        }));
        QStringList names;
        for (const XServer::Window& w : x.windows())
            if (w.id == dialog)
                names << w.name;
        QCOMPARE(names, QStringList {QStringLiteral("Otevřít databázi")});
        x.key(dialog, kEscape);
        QVERIFY(waitUntil([&] { return x.find(QStringLiteral("Otevřít databázi")) == XCB_WINDOW_NONE; }));

        // F1: the guide balloon; then the close box of the main window.
        const int before = int(x.windows().size());
        x.key(main, kF1);
        QVERIFY(waitUntil([&] { return x.windows().size() > before; }));
        QTest::qWait(200);
        x.closeBox(main);
        QVERIFY2(p1->waitForFinished(20000), "the program kept running after its window was closed");
        QCOMPARE(p1->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p1->exitCode(), 0);

        // The next start is not blocked; a further one on the display is.
        QProcess* p2 = copies.start(env);
        QVERIFY(waitUntil([&] { return x.find(title) != XCB_WINDOW_NONE || p2->state() != QProcess::Running; }));
        QVERIFY(p2->state() == QProcess::Running);
        QProcess* p3 = copies.start(env);
        QVERIFY(p3->waitForFinished(10000));
        QCOMPARE(p3->exitCode(), 0);
        x.closeBox(x.find(title));
        QVERIFY(p2->waitForFinished(20000));
        QCOMPARE(p2->exitCode(), 0);
#endif
    }

    // The guide's "&Tipy" (Alt+T) turns it into the tips balloon; a topic
    // chosen from the keyboard (Shift+Tab from the request box onto the
    // last topic, Space) into a thought.  Neither waits for anything, and
    // closing the main window over them ends the program.
    void closingOverTipsOrAThoughtEndsTheProcess_data()
    {
        QTest::addColumn<QString>("balloon");
        QTest::newRow("tips") << "tips";
        QTest::newRow("thought") << "thought";
    }
    void closingOverTipsOrAThoughtEndsTheProcess()
    {
#ifndef VEDOMEC_HAVE_XCB
        QSKIP("built without the X client library");
#else
        QFETCH(QString, balloon);
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            QSKIP("Xvfb is not installed");
        XServer x;
        QVERIFY2(x.start(), "Xvfb did not start");
        const QProcessEnvironment env =
            desktopEnv(QStringLiteral("xcb"), {QStringLiteral("DISPLAY=") + x.display});
        Copies copies;
        QProcess* p = copies.start(env);
        xcb_window_t main = XCB_WINDOW_NONE;
        QVERIFY(waitUntil([&] { return (main = x.find(QStringLiteral("Vedomec 2001"))) != XCB_WINDOW_NONE; }));
        QSet<xcb_window_t> before;
        for (const XServer::Window& w : x.windows())
            before << w.id;

        x.key(main, kF1);
        xcb_window_t guide = XCB_WINDOW_NONE;
        QVERIFY(waitUntil([&] {
            for (const XServer::Window& w : x.windows())
                if (!before.contains(w.id))
                    guide = w.id;
            return guide != XCB_WINDOW_NONE;
        }));
        QTest::qWait(300); // zoomed in, the request box has the keyboard
        const QSize guideSize = x.size(guide);
        if (balloon == QLatin1String("tips")) {
            x.key(guide, kLetterT, XCB_MOD_MASK_1);
        } else {
            x.key(guide, kTab, XCB_MOD_MASK_SHIFT);
            x.key(guide, kSpace);
        }
        // The same balloon window, laid out anew: the tips are wider than
        // the guide, a thought is smaller.
        QVERIFY2(waitUntil([&] {
                     const QSize s = x.size(guide);
                     return balloon == QLatin1String("tips") ? s.width() > guideSize.width()
                                                             : s.height() < guideSize.height();
                 }, 5000),
                 "the balloon did not change");
        QTest::qWait(200);
        x.closeBox(main);
        QVERIFY2(p->waitForFinished(20000), "the program kept running after its window was closed");
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
#endif
    }

    // Two copies on one data folder, as two machines of a class run them:
    // the test one pupil has open opens for the other too, on a working copy
    // in his own folder, and nothing of either stays in the shared folder.
    void oneTestTakenByTwoCopies()
    {
#ifndef VEDOMEC_HAVE_XCB
        QSKIP("built without the X client library");
#else
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            QSKIP("Xvfb is not installed");
        // The program beside its own data folder, with one test in it.
        testdata::AppFolder folder;
        testdata::TestFile test = testdata::simpleTest("A", 3);
        test.druh = QStringLiteral("Zeměpis");
        test.nazev = QStringLiteral("Mapa");
        folder.addTest(QStringLiteral("mapa.dbf"), test);
        const QString program = folder.path() + QStringLiteral("vedomec");
        QVERIFY(QFile::copy(programPath(), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray tableBytes = testdata::bytesOf(folder.testy() + "mapa.dbf");

        XServer x1, x2;
        QVERIFY2(x1.start() && x2.start(), "Xvfb did not start");
        const QString title = QStringLiteral("Vedomec 2001");
        const QString caption = QStringLiteral("Otevřít databázi");
        QTemporaryDir home1, home2; // each pupil's XDG state home
        const QString work2 = home2.path() + QStringLiteral("/vedomec/work");
        Copies copies;
        QProcess* first = copies.start(desktopEnv(QStringLiteral("xcb"), {QStringLiteral("DISPLAY=") + x1.display,
                                                                          QStringLiteral("XDG_STATE_HOME=") + home1.path()}),
                                       program);
        QProcess* second = copies.start(desktopEnv(QStringLiteral("xcb"), {QStringLiteral("DISPLAY=") + x2.display,
                                                                           QStringLiteral("XDG_STATE_HOME=") + home2.path()}),
                                        program);

        // Ctrl+O, the only test chosen by keys in the tree, Enter.
        const auto openTheTest = [&](XServer& x) -> xcb_window_t {
            xcb_window_t main = XCB_WINDOW_NONE;
            if (!waitUntil([&] { return (main = x.find(title)) != XCB_WINDOW_NONE; }))
                return XCB_WINDOW_NONE;
            x.key(main, kLetterO, XCB_MOD_MASK_CONTROL);
            xcb_window_t dialog = XCB_WINDOW_NONE;
            if (!waitUntil([&] { return (dialog = x.find(caption)) != XCB_WINDOW_NONE; }))
                return XCB_WINDOW_NONE;
            QTest::qWait(300);
            x.click(dialog, 170, 190); // into the tree, below its rows
            for (xcb_keysym_t k : {kDown, kRight, kDown, kReturn}) {
                QTest::qWait(100);
                x.key(dialog, k);
            }
            return dialog;
        };

        QVERIFY(openTheTest(x1) != XCB_WINDOW_NONE);
        QVERIFY2(waitUntil([&] { return x1.find(caption) == XCB_WINDOW_NONE; }), "the first copy did not open the test");
        QVERIFY(waitUntil([&] { return x2.find(title) != XCB_WINDOW_NONE; }));
        const xcb_window_t main2 = x2.find(title);
        const int windowsBefore = int(x2.windows().size());
        QVERIFY(openTheTest(x2) != XCB_WINDOW_NONE);
        // No balloon: the dialog goes, and the test runs on a copy of the
        // second pupil's own.
        QVERIFY2(waitUntil([&] { return x2.find(caption) == XCB_WINDOW_NONE; }), "the second copy did not open the test");
        QTest::qWait(300);
        QCOMPARE(int(x2.windows().size()), windowsBefore);
        QCOMPARE(QDir(work2).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
        QCOMPARE(testdata::bytesOf(folder.testy() + "mapa.dbf"), tableBytes);

        // The first copy goes the hard way; the second ends as usual.
        first->kill();
        QVERIFY(first->waitForFinished(10000));
        x2.closeBox(main2);
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        // Nothing of the two sessions stays behind in the folder.
        QCOMPARE(QDir(folder.testy()).entryList(QDir::Files), (QStringList{"mapa.dbf", "mapa.dbf-journal"}));
        QCOMPARE(QDir(work2).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(testdata::readColumn(folder.testy() + "mapa.dbf", "ODPOVED"), (QStringList{"", "", ""}));
#endif
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
