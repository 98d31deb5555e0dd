// The program with a character chosen, started as a user starts it (the
// configuration files, the option, the installed characters of the build)
// and driven as he drives it: Sova beside the main window, the guide
// pointing at her, what she plays for the conversation, closing her,
// dragging her, and the settings that choose her, or nobody, for good.
#include "StoreFaults.h"
#include "TestData.h"

#include "config/Characters.h"
#include "app/Hlavni.h"
#include "app/Nastaveni.h"
#include "app/Startup.h"
#include "assistant/oaAssist.h"
#include "assistant/oaDirect.h"
#include "platform/AppPath.h"
#include "platform/ErrorReport.h"
#include "platform/SingleInstance.h"
#include "platform/Sound.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

void quiet(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (!msg.startsWith(QLatin1String("This plugin does not support")))
        qt_message_output(type, ctx, msg);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

// One machine and one user: his configuration and data homes, the
// machine's configuration folder, a data folder to run on.  Messages are
// answered by the test, sounds recorded.
struct Machine {
    QTemporaryDir root;
    QString user = root.filePath(QStringLiteral("home/.config/vedomec/vedomec.conf"));
    QString system = root.filePath(QStringLiteral("etc/xdg/vedomec/vedomec.conf"));
    AppFolder folder;
    RecordingSoundPlayer sound;
    std::vector<BalloonMessage> messages;
    std::deque<int> answers;
    QStringList errors;

    Machine()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("home/.config"))));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath(QStringLiteral("etc/xdg"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("home/.local/share"))));
        setSoundPlayer(&sound);
        setErrorReportHook([this](const QString& text) { errors << text; });
        TAssistant::setTestResponder([this](const BalloonMessage& m) {
            messages.push_back(m);
            if (!answers.empty()) {
                const int r = answers.front();
                answers.pop_front();
                return r;
            }
            return int(m.buttons & mbOK ? mrOk : mrNo);
        });
    }
    ~Machine()
    {
        TAssistant::setTestResponder({});
        setErrorReportHook({});
        setSoundPlayer(nullptr);
        TAppPath::setOverride(QString());
    }

    // One start of the program, as main() makes it; `body` runs once the
    // main window is shown, and the window closes after it.
    int run(const QStringList& args, const std::function<void(THlavniDialog*)>& body)
    {
        TStartSettings start;
        start.problems = start.settings.readFiles(configurationFiles());
        start.settings.apply(TCommandLine::parse(QStringList {QStringLiteral("--data-folder"), folder.path()} + args));
        bool ran = false;
        const int rc = RunVedomec(
            *qApp,
            [&](THlavniDialog* w) {
                ran = true;
                const QPointer<THlavniDialog> window = w;
                body(w);
                if (window)
                    window->close();
            },
            start);
        if (!ran)
            qWarning("the main window was never shown");
        return rc;
    }
};

// What the character is asked to play, as the component reports it (taken
// when it starts: her library may be gone by the time the test looks).
struct Plays {
    QList<TRequestInfo> started;
    TAssistant* a;
    QMetaObject::Connection connection;
    explicit Plays(TAssistant* assistant) : a(assistant)
    {
        connection = QObject::connect(a, &TAssistant::OnPlayStart, a,
                                      [this](TAssistant*, quint32 id) { started << a->GetRequestInfo(id); });
    }
    ~Plays() { QObject::disconnect(connection); }
    Plays(const Plays&) = delete;
    Plays& operator=(const Plays&) = delete;
    static bool servesState(const TRequestInfo& info, int state)
    {
        return state < 32 ? (info.states[0] >> state) & 1 : (info.states[1] >> (state - 32)) & 1;
    }
    // Waits until an animation of the state starts after the `from`th one.
    bool waitForState(int state, qsizetype from = 0, int ms = 8000)
    {
        return QTest::qWaitFor([&] {
            for (qsizetype i = from; i < started.size(); ++i)
                if (servesState(started[i], state))
                    return true;
            return false;
        }, ms);
    }
};

TAssistantBalloon* balloon(THlavniDialog* w)
{
    return w->Assistant->balloonWindow();
}
bool balloonShown(THlavniDialog* w)
{
    return balloon(w)->isVisible() && balloon(w)->zoomStage() == 3;
}
template <class T = QAbstractButton>
T* part(THlavniDialog* w, const QString& name)
{
    T* p = balloon(w)->findChild<T*>(name);
    if (!p)
        qFatal("no %s in the balloon", qPrintable(name));
    return p;
}

// F1 as the user presses it, into the active main window.
bool f1(THlavniDialog* w)
{
    w->activateWindow();
    if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == w; }, 3000))
        qWarning("the main window is not active");
    QTest::keyClick(w, Qt::Key_F1);
    return QTest::qWaitFor([&] { return balloonShown(w) && w->Assistant->BalloonMode() == bmGuide; });
}

// A keyword typed into the guide and searched for with Enter.
bool search(THlavniDialog* w, const QString& request)
{
    if (w->Assistant->BalloonMode() != bmGuide && !f1(w))
        return false;
    auto* box = part<QPlainTextEdit>(w, QStringLiteral("GuideRequest"));
    box->selectAll();
    for (QChar c : request) {
        QTest::sendKeyEvent(QTest::Press, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QTest::keyClick(box, Qt::Key_Return);
    return QTest::qWaitFor([&] { return balloonShown(w); });
}

// Her rectangle on the screen, clear of the main window and within the screen.
bool besideTheWindow(THlavniDialog* w)
{
    const QRect her = w->Assistant->stage()->frameGeometry();
    const QRect screen = w->screen()->availableGeometry();
    if (her.intersects(w->frameGeometry()) || !screen.contains(her)) {
        qWarning("she stands at %d,%d %dx%d, the window at %d,%d %dx%d", her.x(), her.y(), her.width(),
                 her.height(), w->frameGeometry().x(), w->frameGeometry().y(), w->frameGeometry().width(),
                 w->frameGeometry().height());
        return false;
    }
    return true;
}

// The settings opened from the guide's "&Nastavení", as the user opens them.
TNastaveniDialog* openSettings(THlavniDialog* w)
{
    if (!f1(w))
        return nullptr;
    auto* options = part(w, QStringLiteral("GuideOptions"));
    if (!options->isEnabled())
        return nullptr;
    QTest::mouseClick(options, Qt::LeftButton);
    if (!QTest::qWaitFor([] { return NastaveniDialog && NastaveniDialog->isVisible(); }))
        return nullptr;
    return NastaveniDialog;
}

// Sova's library with one part damaged, as a copy broken on the way is:
// a row's name says which part ("cut", "information block", or the name
// of an animation, whose resource loses its signature).
QByteArray damagedSova(const QString& part)
{
    const QString path = findCharacter(QStringLiteral("Sova")).path;
    QByteArray file = testdata::bytesOf(path);
    if (part == QLatin1String("cut")) {
        file.truncate(file.size() / 2);
        return file;
    }
    if (part == QLatin1String("information block")) {
        // The version word stands 264 bytes before the actor's name.
        const qsizetype name = file.indexOf(QByteArray("\x04Sova", 5));
        if (name < 264 || file.indexOf(QByteArray("\x04Sova", 5), name + 1) >= 0 || file[name - 264] != char(110))
            qFatal("Sova's information block not found");
        file[name - 264] = char(111);
        return file;
    }
    TAssistantActor sova;
    sova.setLibrary(path);
    const int number = sova.findByName(part);
    const QByteArrayView resource = number ? sova.module().resource(sova.animation(number)->resourceId) : QByteArrayView();
    const qsizetype at = resource.isEmpty() ? -1 : file.indexOf(resource);
    if (at < 0 || file.indexOf(resource, at + 1) >= 0 || file.mid(at, 4) != "ZVA1")
        qFatal("Sova's animation %s not found once", qPrintable(part));
    file[at + 3] = '!';
    return file;
}

bool otherCopyRunning()
{
    return SingleInstance(QStringLiteral("THlavniDialog"), QStringLiteral("Vedomec 2001")).otherRunning();
}

} // namespace

class TestCharacter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qInstallMessageHandler(quiet);
        // The characters of the build, where the program finds installed ones.
        if (findCharacter(QStringLiteral("Sova")).path.isEmpty())
            QFAIL(qPrintable(QStringLiteral("Sova is not in %1").arg(installedCharacterFolder())));
    }

    void init()
    {
        if (otherCopyRunning())
            QSKIP("a copy of the program is running on this machine");
    }

    // Nothing chosen anywhere: the program as it ever was.
    void withoutAChoiceNothingOfHer()
    {
        Machine m;
        m.run({}, [&](THlavniDialog* w) {
            QVERIFY(w->CharacterLibrary().isEmpty());
            QVERIFY(!w->Assistant->stage()->isVisible());
            QVERIFY(f1(w));
            QCOMPARE(w->Assistant->BalloonPosition(), 0);
            // "&Nastavení" opens the settings now.
            QVERIFY(part(w, QStringLiteral("GuideOptions"))->isEnabled());
        });
        QVERIFY(m.messages.empty());
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }

    // An administrator names her once for every user; a new user meets
    // her beside the window, and every balloon points at her.
    void theMachinesChoiceGreetsANewUser()
    {
        Machine m;
        writeFile(m.system, "[General]\nCharacter=Sova\n");
        m.run({}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            Plays plays(a);
            QVERIFY(a->stage()->isVisible());
            QCOMPARE(a->ActorName(), QStringLiteral("Sova"));
            QCOMPARE(a->stage()->size(), QSize(120, 128));
            QVERIFY(besideTheWindow(w));
            // She came with her show animation.
            QCOMPARE(a->GetRequestInfo(a->director()->currentRequest()).name, QStringLiteral("Show"));
            QCOMPARE(a->balloonWindow()->anchor(), a->stage());

            // F1: the guide beside her, its tail pointing at her.
            QVERIFY(f1(w));
            const int position = a->BalloonPosition();
            QVERIFY2(position >= 1 && position <= 8, qPrintable(QString::number(position)));
            const balloon::Placement& placed = a->balloonWindow()->placement();
            QVERIFY(placed.side != balloon::TailSide::None);
            const QPoint tip = placed.window.topLeft() + placed.triangle[2];
            const QRect her = a->stage()->frameGeometry();
            QVERIFY2(her.adjusted(-2, -2, 2, 2).contains(tip), "the tail does not reach her");

            // A search that finds nothing: state 5, and asked again, state 7.
            qsizetype from = plays.started.size();
            QVERIFY(search(w, QStringLiteral("žirafa")));
            QVERIFY(plays.waitForState(5, from));
            from = plays.started.size();
            QVERIFY(search(w, QStringLiteral("žirafa")));
            QVERIFY(plays.waitForState(7, from));
            QVERIFY(!plays.waitForState(5, from, 300));
            // A message points at her too.
            a->CloseBalloon();
            TAssistant::setTestResponder({});
            a->MessageDlg(QStringLiteral("Zpráva"), mtInformation, 0, 0);
            QTRY_VERIFY(balloonShown(w));
            QVERIFY(a->BalloonPosition() != 0);
            a->CloseBalloon();
        });
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
        // Nothing of the user's was written.
        QVERIFY(!QFileInfo::exists(m.user));
    }

    // Every state the main window asks for is served, and she idles through
    // the three idle levels while nothing happens.
    void sheAnimatesForEveryStateAndIdles()
    {
        Machine m;
        m.run({QStringLiteral("--character"), QStringLiteral("sova")}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            TAssistantDirector* d = a->director();
            a->setSpeed(1000); // the test does not wait for every wing beat
            Plays plays(a);
            for (int state : {5, 6, 7, 11, 12, 13, 14, 17, 18, 19, 20, 38, 53}) {
                const qsizetype from = plays.started.size();
                const quint32 id = a->PlayState(state);
                QVERIFY2(id != 0, qPrintable(QString::number(state)));
                QVERIFY2(plays.waitForState(state, from), qPrintable(QString::number(state)));
            }
            for (const char* name : {"Write", "WriteContinued", "WriteReturn", "GetAttention", "GetAttentionContinued",
                                     "GetAttentionReturn"})
                QVERIFY2(a->PlayAnimation(QLatin1String(name)) != 0, name);
            QTRY_VERIFY_WITH_TIMEOUT(!d->engine()->isPlaying() && d->queued().isEmpty(), 15000);

            for (int level : {25, 26, 27}) {
                d->setIdleLevel(level);
                QTRY_VERIFY_WITH_TIMEOUT(!d->engine()->isPlaying() && d->queued().isEmpty(), 15000);
                d->idleTimerTick();
                const TRequestInfo info = a->GetRequestInfo(d->idleRequest());
                QVERIFY2((info.states[0] >> level) & 1, qPrintable(info.name));
                QVERIFY(d->engine()->isPlaying() || d->currentRequest() == d->idleRequest());
            }
            // Left alone, the level rises by itself.
            d->setIdleLevel(25);
            for (int i = 0; i < 60 && d->idleLevel() < 27; ++i) {
                QTRY_VERIFY_WITH_TIMEOUT(!d->engine()->isPlaying() && d->queued().isEmpty(), 15000);
                d->idleTimerTick();
            }
            QCOMPARE(d->idleLevel(), 27);
        });
        QVERIFY(m.messages.empty());
    }

    // Closing her asks under her name; yes hides her at once.
    void closingHerAsksFirst()
    {
        Machine m;
        writeFile(m.user, "Character=Sova\n");
        m.run({}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            Plays plays(a);
            QVERIFY(QTest::qWaitForWindowExposed(a->stage()));
            m.answers = {mrNo};
            a->stage()->close();
            QCOMPARE(int(m.messages.size()), 1);
            QCOMPARE(m.messages.back().text, QStringLiteral("Opravdu chcete uzavřít pomocníka?"));
            QCOMPARE(m.messages.back().title, QStringLiteral("Sova"));
            QCOMPARE(m.messages.back().type, int(mtCustom));
            QCOMPARE(m.messages.back().buttons, MsgDlgButtons(mbYes | mbNo));
            QVERIFY(a->stage()->isVisible());

            // The menu of a right click closes her the same way.
            m.answers = {mrYes};
            const qsizetype from = plays.started.size();
            QVERIFY(w->P2->isEnabled());
            w->P2->trigger();
            QCOMPARE(int(m.messages.size()), 2);
            QVERIFY(!a->stage()->isVisible());
            QVERIFY(!plays.waitForState(24, from, 200)); // no goodbye to wait for
            // Messages point at the main window from now on.
            QCOMPARE(a->balloonWindow()->anchor(), w);
            // Closed for now, chosen still: "Ok" in the settings brings her back.
            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            QCOMPARE(s->ComboBox1->currentText(), QStringLiteral("Sova"));
            QTest::mouseClick(s->Button1, Qt::LeftButton);
            QTRY_VERIFY(a->stage()->isVisible());
            QVERIFY(besideTheWindow(w));
        });
        QCOMPARE(m.messages.size(), size_t(2));
        QCOMPARE(QFile(m.user).size(), qint64(QByteArray("Character=Sova\n").size()));
    }

    // Dragged by the mouse she goes where she is put, the open balloon
    // steps aside meanwhile and points at her from her new place.
    void draggingHer()
    {
        Machine m;
        m.run({QStringLiteral("--character=Sova")}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            TAssistantStage* s = a->stage();
            QVERIFY(QTest::qWaitForWindowExposed(s));
            QVERIFY(f1(w));
            const QPoint balloonBefore = a->balloonWindow()->pos();
            QSignalSpy starts(a, &TAssistant::OnDragStart);
            QSignalSpy stops(a, &TAssistant::OnDragStop);
            const QPoint at = s->pos();
            auto mouse = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
                QMouseEvent e(type, QPointF(global - s->pos()), QPointF(global), button, held, Qt::NoModifier);
                QApplication::sendEvent(s, &e);
            };
            const QPoint grab = at + QPoint(60, 64);
            mouse(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
            mouse(QEvent::MouseMove, grab + QPoint(-20, -30), Qt::NoButton, Qt::LeftButton);
            QCOMPARE(starts.count(), 1);
            QVERIFY(!a->balloonWindow()->isVisible());
            QCOMPARE(a->BalloonMode(), int(bmGuide)); // out of the way, not closed
            mouse(QEvent::MouseMove, grab + QPoint(-40, -60), Qt::NoButton, Qt::LeftButton);
            mouse(QEvent::MouseButtonRelease, grab + QPoint(-40, -60), Qt::LeftButton, Qt::NoButton);
            QCOMPARE(stops.count(), 1);
            QCOMPARE(s->pos(), at + QPoint(-40, -60));
            QTRY_VERIFY(balloonShown(w));
            QCOMPARE(a->BalloonMode(), int(bmGuide));
            QVERIFY(a->BalloonPosition() != 0);
            QCOMPARE(a->balloonWindow()->pos(), balloonBefore + QPoint(-40, -60));
        });
        QVERIFY(m.messages.empty());
    }

    // "Žádný" in the settings: her hide animation, then balloons in the
    // middle of the screen, and so at the next start too; the sounds go
    // silent the same way.  Then she is chosen again.
    void theSettingsChooseForGood()
    {
        Machine m;
        writeFile(m.system, "Character=Sova\n");
        writeFile(m.user, "; moje nastavení\n");
        m.run({}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            Plays plays(a);
            QVERIFY(a->stage()->isVisible());
            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            QVERIFY(!w->isEnabled());
            QCOMPARE(s->ComboBox1->count(), 2);
            QCOMPARE(s->ComboBox1->itemText(0), QStringLiteral("žádný (bubliny uprostřed obrazovky)"));
            QCOMPARE(s->ComboBox1->itemText(1), QStringLiteral("Sova"));
            QCOMPARE(s->ComboBox1->currentIndex(), 1);
            QVERIFY(s->CheckBox1->isChecked());
            QVERIFY(s->Label2->text().contains(QStringLiteral("/vedomec/characters")));
            // Zpět changes nothing.
            QTest::mouseClick(s->Button2, Qt::LeftButton);
            QVERIFY(!s->isVisible());
            QVERIFY(w->isEnabled());
            QVERIFY(a->stage()->isVisible());

            s = openSettings(w);
            QVERIFY(s);
            s->ComboBox1->setCurrentIndex(0);
            s->CheckBox1->setChecked(false);
            const qsizetype from = plays.started.size();
            QTest::mouseClick(s->Button1, Qt::LeftButton);
            QVERIFY(!s->isVisible());
            QVERIFY(plays.waitForState(24, from, 1));
            QVERIFY(!a->stage()->isVisible());
            QVERIFY(w->CharacterLibrary().isEmpty());
            QVERIFY(!w->SoundOn());
            QVERIFY(a->Mute());
            QVERIFY(f1(w));
            QCOMPARE(a->BalloonPosition(), 0);
            a->CloseBalloon();
            // Silent: no cue plays with a message.
            m.sound.played.clear();
            w->UserMessage(QStringLiteral("Nebyl vybrán žádný test!"), mtError, mbOK);
            QVERIFY(m.sound.played.isEmpty());
        });
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("; moje nastavení\nSound=off\nCharacter=\n"));

        // The next start: no character over the machine's choice, no sounds.
        m.run({}, [&](THlavniDialog* w) {
            QVERIFY(!w->Assistant->stage()->isVisible());
            QVERIFY(w->CharacterLibrary().isEmpty());
            QVERIFY(!w->SoundOn());
            m.sound.played.clear();
            w->UserMessage(QStringLiteral("Nebyl vybrán žádný test!"), mtError, mbOK);
            QVERIFY(m.sound.played.isEmpty());

            // Chosen again, with the sounds: she comes at once.
            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            QCOMPARE(s->ComboBox1->currentIndex(), 0);
            QVERIFY(!s->CheckBox1->isChecked());
            s->ComboBox1->setCurrentIndex(1);
            s->CheckBox1->setChecked(true);
            QTest::mouseClick(s->Button1, Qt::LeftButton);
            QTRY_VERIFY(w->Assistant->stage()->isVisible());
            QVERIFY(besideTheWindow(w));
            QCOMPARE(w->Assistant->balloonWindow()->anchor(), w->Assistant->stage());
            QVERIFY(w->SoundOn());
            QVERIFY(!w->Assistant->Mute());
        });
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("; moje nastavení\nSound=on\nCharacter=Sova\n"));
        m.run({}, [&](THlavniDialog* w) {
            QVERIFY(w->Assistant->stage()->isVisible());
            QVERIFY(w->SoundOn());
            // The option is for one run: chosen in the settings unchanged, it
            // is not stored.
        });
        m.run({QStringLiteral("--character=")}, [&](THlavniDialog* w) {
            QVERIFY(!w->Assistant->stage()->isVisible());
            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            QTest::mouseClick(s->Button1, Qt::LeftButton);
        });
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("; moje nastavení\nSound=on\nCharacter=Sova\n"));
        // Only the messages the test itself showed.
        for (const BalloonMessage& msg : m.messages)
            QCOMPARE(msg.text, QStringLiteral("Nebyl vybrán žádný test!"));
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }

    // Closing the main window ends the program whatever the settings are
    // doing: open, or waiting for her goodbye after "Ok", which is stored.
    void theProgramEndsWhateverTheSettingsDo()
    {
        Machine m;
        writeFile(m.user, "Character=Sova\n");
        int rc = m.run({}, [&](THlavniDialog* w) {
            QVERIFY(openSettings(w));
            w->close();
            QVERIFY(!NastaveniDialog || !NastaveniDialog->isVisible());
        });
        QCOMPARE(rc, 0);
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("Character=Sova\n"));

        rc = m.run({}, [&](THlavniDialog* w) {
            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            s->ComboBox1->setCurrentIndex(0);
            bool closedMidway = false;
            QTimer::singleShot(20, w, [&, w] {
                closedMidway = w->Assistant->stage()->isVisible();
                w->close();
            });
            s->Button1->click(); // returns once she has gone; s may be gone too
            QVERIFY(closedMidway);
        });
        QCOMPARE(rc, 0);
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("Character=\n"));
        QVERIFY(m.messages.empty());
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }

    // A character the user added takes her place while she is shown: the
    // new library's size, its show animation, beside the window still, the
    // balloons pointing at the newcomer; and so at the next start.
    void anotherCharacterTakesHerPlace()
    {
        Machine m;
        const QString own = m.root.filePath(QStringLiteral("home/.local/share/vedomec/characters/Kos.so"));
        QDir().mkpath(QFileInfo(own).path());
        QVERIFY(QFile::copy(QStringLiteral(VEDOMEC_TEST_KOS), own));
        writeFile(m.user, "Character=Sova\n");
        m.run({}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            QVERIFY(QTest::qWaitForWindowExposed(a->stage()));
            QCOMPARE(a->stage()->size(), QSize(120, 128));
            Plays plays(a);
            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            QCOMPARE(s->ComboBox1->count(), 3);
            QCOMPARE(s->ComboBox1->itemText(1), QStringLiteral("Kos"));
            QCOMPARE(s->ComboBox1->currentText(), QStringLiteral("Sova"));
            s->ComboBox1->setCurrentIndex(1);
            const qsizetype from = plays.started.size();
            QTest::mouseClick(s->Button1, Qt::LeftButton);
            QCOMPARE(a->ActorName(), QStringLiteral("Kos"));
            QCOMPARE(w->CharacterLibrary(), own);
            QVERIFY(a->stage()->isVisible());
            QCOMPARE(a->stage()->size(), QSize(48, 40));
            QVERIFY(plays.waitForState(44, from));
            QVERIFY(besideTheWindow(w));
            QVERIFY(f1(w));
            const balloon::Placement& placed = a->balloonWindow()->placement();
            QVERIFY(placed.side != balloon::TailSide::None);
            const QPoint tip = placed.window.topLeft() + placed.triangle[2];
            QVERIFY2(a->stage()->frameGeometry().adjusted(-2, -2, 2, 2).contains(tip), "the tail does not reach him");
        });
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("Character=Kos\n"));
        m.run({}, [&](THlavniDialog* w) {
            QVERIFY(w->Assistant->stage()->isVisible());
            QCOMPARE(w->Assistant->ActorName(), QStringLiteral("Kos"));
            QVERIFY(besideTheWindow(w));
        });
        QVERIFY(m.messages.empty());
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }

    // Sova damaged in every way a copy can be: cut short, her information
    // block, and each of her animations in turn.  Each is told once, in
    // Czech, at the start; the program goes on without her and never shows
    // a report box; the settings offer her greyed with the reason, and
    // choosing her there tells why again and stores nothing.
    void everyDamageOfSovaIsToldOnce_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("said");
        QTest::newRow("cut") << "cut" << "File is not a valid actor library";
        QTest::newRow("information block") << "information block" << "File is not a valid actor library";
        TAssistantActor sova;
        sova.setLibrary(findCharacter(QStringLiteral("Sova")).path);
        for (int i = 1; i <= sova.animationCount(); ++i) {
            const QString name = sova.animation(i)->name;
            QTest::newRow(qPrintable(name)) << name << QStringLiteral("Animace „%1“ v souboru").arg(name);
        }
        QVERIFY(sova.animationCount() > 20);
    }
    void everyDamageOfSovaIsToldOnce()
    {
        QFETCH(QString, part);
        QFETCH(QString, said);
        Machine m;
        const QString own = m.root.filePath(QStringLiteral("home/.local/share/vedomec/characters/Sova.so"));
        writeFile(own, damagedSova(part));
        writeFile(m.user, "Character=sova\n");
        const int rc = m.run({}, [&](THlavniDialog* w) {
            QVERIFY(!w->Assistant->stage()->isVisible());
            QVERIFY(w->CharacterLibrary().isEmpty());
            QCOMPARE(int(m.messages.size()), 1);
            QVERIFY(f1(w));
            QCOMPARE(w->Assistant->BalloonPosition(), 0);
            w->Assistant->CloseBalloon();

            TNastaveniDialog* s = openSettings(w);
            QVERIFY(s);
            QCOMPARE(s->ComboBox1->count(), 2);
            QVERIFY2(s->ComboBox1->itemText(1).startsWith(QStringLiteral("Sova (nelze zobrazit: ")),
                     qPrintable(s->ComboBox1->itemText(1)));
            auto* model = qobject_cast<QStandardItemModel*>(s->ComboBox1->model());
            QVERIFY(model && !model->item(1)->isEnabled());
            s->ComboBox1->setCurrentIndex(1); // as if it could be picked
            QTest::mouseClick(s->Button1, Qt::LeftButton);
            QVERIFY(!w->Assistant->stage()->isVisible());
            QVERIFY(w->isEnabled());
        });
        QCOMPARE(rc, 0);
        QCOMPARE(int(m.messages.size()), 2);
        QVERIFY2(m.messages[0].text.startsWith(QStringLiteral("Pomocníka ze souboru „%1“ nelze zobrazit:").arg(own)),
                 qPrintable(m.messages[0].text));
        QVERIFY2(m.messages[0].text.contains(said), qPrintable(m.messages[0].text));
        QVERIFY2(m.messages[1].text.startsWith(QStringLiteral("Pomocníka Sova nelze zobrazit:")),
                 qPrintable(m.messages[1].text));
        for (const BalloonMessage& msg : m.messages)
            QCOMPARE(msg.type, int(mtError));
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
        QCOMPARE(testdata::bytesOf(m.user), QByteArray("Character=sova\n"));
    }

    // A library given to the component without the check, whose idle
    // animation turns out damaged when she first blinks: one Czech balloon,
    // no report box, she is put away, and nothing more comes of it.
    void aDamagedAnimationMetWhilePlayingPutsHerAway()
    {
        Machine m;
        const QString blinkless = m.root.filePath(QStringLiteral("Sova-blink.so"));
        writeFile(blinkless, damagedSova(QStringLiteral("Blink")));
        m.run({QStringLiteral("--character=Sova")}, [&](THlavniDialog* w) {
            TAssistant* a = w->Assistant;
            TAssistantDirector* d = a->director();
            a->setSpeed(1000);
            a->setActorLibrary(blinkless);
            QCOMPARE(a->ActorName(), QStringLiteral("Sova"));
            for (int i = 0; i < 100 && m.messages.empty(); ++i) {
                QTRY_VERIFY_WITH_TIMEOUT(!d->engine()->isPlaying() && d->queued().isEmpty(), 15000);
                d->setIdleLevel(25);
                d->idleTimerTick();
                QTest::qWait(10);
            }
            QCOMPARE(int(m.messages.size()), 1);
            QVERIFY(!a->stage()->isVisible());
            QVERIFY(w->CharacterLibrary().isEmpty());
            QVERIFY(f1(w));
            QCOMPARE(a->BalloonPosition(), 0);
            QTest::qWait(100);
        });
        QCOMPARE(int(m.messages.size()), 1);
        QCOMPARE(m.messages[0].text, QStringLiteral("Pomocníka Sova nelze zobrazit:\rAnimace „Blink“ v souboru „%1“ je "
                                                    "poškozená a nelze ji přehrát. Vedomec proto běží bez pomocníka "
                                                    "na ploše.")
                                         .arg(blinkless));
        QCOMPARE(m.messages[0].type, int(mtError));
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }

    // She goes with the window: moved, she keeps her place beside it;
    // resized over her, she steps aside.  Dragged away by the user she
    // stays where he put her, until the window is moved over her.
    void sheFollowsTheWindow()
    {
        Machine m;
        m.run({QStringLiteral("--character=Sova")}, [&](THlavniDialog* w) {
            TAssistantStage* s = w->Assistant->stage();
            QVERIFY(QTest::qWaitForWindowExposed(s));
            QVERIFY(besideTheWindow(w));
            const QPoint offset = s->pos() - w->pos();
            w->move(w->pos() + QPoint(-60, -40));
            QTRY_COMPARE(s->pos() - w->pos(), offset);
            QVERIFY(besideTheWindow(w));
            w->resize(w->width() + 100, w->height());
            QTRY_VERIFY(besideTheWindow(w));

            // Put somewhere else by the user.
            const QPoint put = w->frameGeometry().topLeft() + QPoint(w->frameGeometry().width() + 40, 0);
            auto mouse = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
                QMouseEvent e(type, QPointF(global - s->pos()), QPointF(global), button, held, Qt::NoModifier);
                QApplication::sendEvent(s, &e);
            };
            const QPoint grab = s->pos() + QPoint(60, 64);
            const QPoint to = put + QPoint(60, 64);
            mouse(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
            mouse(QEvent::MouseMove, grab + (to - grab) / 2, Qt::NoButton, Qt::LeftButton);
            mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            QCOMPARE(s->pos(), put);
            w->move(w->pos() + QPoint(0, 10));
            QTest::qWait(50);
            QCOMPARE(s->pos(), put); // where he put her
            // The window over her: she steps aside.
            w->move(w->pos() + QPoint(80, 0));
            QTRY_VERIFY(besideTheWindow(w));
        });
        QVERIFY(m.messages.empty());
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }

    // A character that cannot be shown is told once; the program goes on
    // without her, balloons in the middle.
    void aCharacterThatCannotBeShownIsToldOnce_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("file"); // what the user's configuration says
        QTest::addColumn<QString>("said");
        QTest::newRow("damaged library") << "BROKEN" << QByteArray() << "File is not a valid actor library";
        QTest::newRow("missing library") << "/nikde/Kos.so" << QByteArray() << "Actor library file not found";
        QTest::newRow("name nobody installed") << "Puštík" << QByteArray() << "„Puštík“ není nainstalován";
        QTest::newRow("relative path in a file") << "" << QByteArray("Character=moje/Kos.so\n") << "celou cestou";
        QTest::newRow("sound nobody knows") << "" << QByteArray("Sound=potichu\nCharacter=Sova\n") << "„potichu“";
    }
    void aCharacterThatCannotBeShownIsToldOnce()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, file);
        QFETCH(QString, said);
        Machine m;
        const QString broken = m.root.filePath(QStringLiteral("Rozbita.so"));
        writeFile(broken, QByteArray("\x7f" "ELF") + QByteArray(2000, '\x01'));
        if (!file.isEmpty())
            writeFile(m.user, file);
        QStringList args;
        if (!option.isEmpty())
            args << QStringLiteral("--character") << (option == QLatin1String("BROKEN") ? broken : option);
        const bool sheComes = QString::fromUtf8(file).contains(QStringLiteral("Sova"));
        const int rc = m.run(args, [&](THlavniDialog* w) {
            QCOMPARE(w->Assistant->stage()->isVisible(), sheComes);
            QVERIFY(f1(w));
            QCOMPARE(w->Assistant->BalloonPosition() != 0, sheComes);
        });
        QCOMPARE(rc, 0);
        QCOMPARE(int(m.messages.size()), 1);
        QVERIFY2(m.messages[0].text.contains(said), qPrintable(m.messages[0].text));
        QCOMPARE(m.messages[0].title, QStringLiteral("Vedomec"));
        QCOMPARE(m.messages[0].type, int(mtError));
        QVERIFY2(m.errors.isEmpty(), qPrintable(m.errors.join(u'\n')));
    }
};

QTEST_MAIN(TestCharacter)
#include "tst_character.moc"
