// The director over the sample character Sova: what plays in which order,
// return animations and exit paths, cutting short, waiting, and the idle
// levels.  The engine runs on a manual clock whose sleeps take no time, and
// random numbers come from a fixed seed.
#include "assistant/oaDirect.h"
#include "platform/ErrorReport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace vedomec;

namespace {

struct Rig {
    explicit Rig(quint32 seed = 7, bool enabled = true) : random(seed)
    {
        d.setLibrary(QStringLiteral(VEDOMEC_SAMPLE_ACTOR));
        d.setAutoIdle(false);
        d.setEnabled(enabled);
        QObject::connect(&d, &TAssistantDirector::playStart, &d, [this](quint32 id) {
            log << QStringLiteral("start ") + name(id);
            starts << id;
        });
        QObject::connect(&d, &TAssistantDirector::playStop, &d, [this](quint32 id) {
            log << QStringLiteral("stop ") + name(id);
            stops << id;
        });
        QObject::connect(d.engine(), &TAssistantEngine::frameChanged, &d, [this] {
            const TAnimationRecord* a = d.actor()->animation(d.loadedAnimation());
            log << QStringLiteral("%1 %2%3").arg(a ? a->name : QStringLiteral("?")).arg(d.engine()->currentFrame())
                       .arg(d.returnPending() ? QStringLiteral(" back") : QString());
        });
    }
    QString name(quint32 id) const { return d.GetRequestInfo(id).name; }
    int number(const char* animation) const { return d.actor()->findByName(QLatin1String(animation)); }
    bool quiet() const
    {
        return !d.engine()->isPlaying() && d.queued().isEmpty() && !d.currentRequest() && !d.returnPending();
    }
    // The frames of an animation as the log shows them.
    static QStringList frames(const QString& animation, int from, int to, bool back = false)
    {
        QStringList out;
        for (int f = from; f <= to; ++f)
            out << QStringLiteral("%1 %2%3").arg(animation).arg(f).arg(back ? QStringLiteral(" back") : QString());
        return out;
    }

    ManualClock clock;
    ManualSleeper sleeper {&clock};
    SeededRandom random;
    RecordingWavePlayer sound;
    TAssistantDirector d {{&clock, &sleeper, &random, &sound}};
    QStringList log;
    QList<quint32> starts;
    QList<quint32> stops;
};

} // namespace

class TestDirector : public QObject {
    Q_OBJECT
private slots:
    void requestIdsAndRefusals()
    {
        TAssistantDirector none;
        QCOMPARE(none.PlayAnimation(QStringLiteral("Write")), 0u);
        QCOMPARE(none.PlayState(6), 0u);
        QVERIFY(!none.IsRequestPending(0));
        QVERIFY(none.GetRequestInfo(0).name.isEmpty());

        // Switched off: requests wait in the queue.
        Rig r(1, false);
        const quint32 write = r.d.PlayAnimation(QStringLiteral("write")); // ASCII case ignored
        QCOMPARE(write, (1u << 16) | quint32(r.number("Write")));
        QCOMPARE(r.d.PlayAnimation(QStringLiteral("NoSuchAnimation")), 0u);
        QCOMPARE(r.d.PlayState(0), 0u);
        QCOMPARE(r.d.PlayState(1), 0u);  // no animation serves it
        QCOMPARE(r.d.PlayState(62), 0u); // beyond the states
        // Refusals take no sequence number.
        const quint32 confused = r.d.PlayState(5);
        QCOMPARE(confused, (2u << 16) | quint32(r.number("Confused")));
        QCOMPARE(r.d.queued(), (QList<quint32> {write, confused}));
        QVERIFY(r.d.IsRequestPending(write));
        QVERIFY(!r.d.IsRequestPending(0));
        const TRequestInfo info = r.d.GetRequestInfo(confused);
        QCOMPARE(info.name, QStringLiteral("Confused"));
        QCOMPARE(info.states[0], 1u << 5);
        QCOMPARE(info.kind, quint8(akReturn));
        QCOMPARE(info.returnName, QStringLiteral("ConfusedReturn"));
        QVERIFY(r.log.isEmpty());

        // A queued request cut short leaves the queue; clearing empties it.
        const quint32 idea = r.d.PlayState(53);
        r.d.CutShort(write);
        QCOMPARE(r.d.queued(), (QList<quint32> {confused, idea}));
        QVERIFY(!r.d.IsRequestPending(write));
        r.d.Clear();
        QVERIFY(r.d.queued().isEmpty());

        // Another library: what was queued is gone, and so is every answer.
        r.d.PlayState(6);
        QVERIFY(r.d.setLibrary(QString()));
        QVERIFY(r.d.queued().isEmpty());
        QCOMPARE(r.d.PlayState(6), 0u);
        QVERIFY(!r.d.setLibrary(QString()));
    }

    void requestsPlayInTurnAndAReturnAnimationFollows()
    {
        Rig r(1, false);
        const quint32 explain = r.d.PlayState(6);
        const quint32 idea = r.d.PlayAnimation(QStringLiteral("Idea"));
        const quint32 confused = r.d.PlayState(5);
        r.d.setEnabled(true);
        bool pendingDuringReturn = true;
        connect(r.d.engine(), &TAssistantEngine::frameChanged, &r.d, [&] {
            if (r.d.returnPending())
                pendingDuringReturn = pendingDuringReturn && r.d.IsRequestPending(confused);
        });
        QTRY_VERIFY(r.quiet());
        QStringList expected;
        expected << "start Explain" << Rig::frames("Explain", 0, 8) << "stop Explain";
        expected << "start Idea" << Rig::frames("Idea", 0, 5) << "stop Idea";
        // The return animation is no request: no start, no stop of its own,
        // and the request counts as done while it plays.
        expected << "start Confused" << Rig::frames("Confused", 0, 3) << "stop Confused";
        expected << Rig::frames("ConfusedReturn", 0, 2, true);
        QCOMPARE(r.log, expected);
        QCOMPARE(r.starts, (QList<quint32> {explain, idea, confused}));
        QCOMPARE(r.stops, r.starts);
        QVERIFY(!pendingDuringReturn);

        // Queued while the return plays: waits for it.
        r.log.clear();
        const quint32 again = r.d.PlayState(5);
        QTRY_VERIFY(r.quiet());
        QCOMPARE(r.log.first(), QStringLiteral("start Confused"));
        QCOMPARE(r.stops.last(), again);
    }

    void theSameAnimationRestartsWithoutLoadingAgain()
    {
        Rig r;
        const quint32 first = r.d.PlayState(6);
        QTRY_VERIFY(r.quiet());
        const qint64 strip = r.d.engine()->filmstrip().cacheKey();
        const quint32 second = r.d.PlayState(6);
        QTRY_VERIFY(r.quiet());
        QCOMPARE(r.d.engine()->filmstrip().cacheKey(), strip);
        QCOMPARE(r.stops, (QList<quint32> {first, second}));
        QCOMPARE(r.log.count(QStringLiteral("Explain 8")), 2);
    }

    // Sleep loops for ever through frames 3 to 5, each of which leaves
    // through its exit to 6; 6 to 8 wake the owl up.
    void aCutShortAnimationLeavesThroughItsExits()
    {
        Rig r;
        const quint32 sleep = r.d.PlayAnimation(QStringLiteral("Sleep"));
        QTRY_VERIFY(r.log.size() > 20);
        QVERIFY(!r.d.WaitForRequest(sleep)); // it would never end
        QVERIFY(r.d.IsRequestPending(sleep));

        const qsizetype cutAt = r.log.size();
        r.d.CutShort(sleep);
        QCOMPARE(r.stops, QList<quint32> {sleep});
        QVERIFY(!r.d.IsRequestPending(sleep));
        QTRY_VERIFY(r.quiet());
        QStringList after = r.log.mid(cutAt);
        // A frame already on its way may still arrive, and the frame on
        // screen may be handed over once more; then the exits.
        QCOMPARE(after.removeAll(QStringLiteral("stop Sleep")), 1);
        QCOMPARE(after.mid(after.size() - 3), Rig::frames("Sleep", 6, 8, true));
        for (const QString& line : after.mid(0, after.size() - 3))
            QVERIFY2(QRegularExpression(QStringLiteral("^Sleep [345]$")).match(line).hasMatch(), qPrintable(line));
        for (const QString& line : r.log.mid(0, cutAt))
            QVERIFY2(!line.contains(QLatin1String("Sleep 6")), qPrintable(line));

        // Finished (not cut short), an animation with exits just ends.
        r.log.clear();
        r.d.PlayState(6);
        QTRY_VERIFY(r.quiet());
        QVERIFY(!r.log.join(' ').contains(QLatin1String("back")));
    }

    // Confused has a return animation and no exits.  Cut short, it stops
    // where it is: the return animation follows only an animation that
    // finished.
    void aCutShortAnimationSkipsItsReturnAnimation()
    {
        Rig r;
        const quint32 confused = r.d.PlayState(5);
        QCOMPARE(r.name(confused), QStringLiteral("Confused"));
        QVERIFY(!r.d.engine()->hasExitBranches());
        bool cut = false;
        connect(r.d.engine(), &TAssistantEngine::frameChanged, &r.d, [&] {
            if (!cut && r.d.currentRequest() == confused && r.d.engine()->currentFrame() == 1) {
                cut = true;
                QMetaObject::invokeMethod(&r.d, [&] { r.d.CutShort(confused); }, Qt::QueuedConnection);
            }
        });
        QTRY_VERIFY(cut && r.quiet());
        QCOMPARE(r.stops, QList<quint32> {confused});
        const QString played = r.log.join(QLatin1Char('\n'));
        QVERIFY2(!played.contains(QLatin1String("Confused 3")), qPrintable(played)); // it did not finish
        QVERIFY2(!played.contains(QLatin1String("ConfusedReturn")) && !played.contains(QLatin1String("back")),
                 qPrintable(played));

        // Finished, the same animation is followed by its return.
        r.log.clear();
        r.d.PlayAnimation(QStringLiteral("Confused"));
        QTRY_VERIFY(r.quiet());
        QCOMPARE(r.log.mid(r.log.size() - 3), Rig::frames("ConfusedReturn", 0, 2, true));
    }

    void waitingForARequest()
    {
        Rig r(1, false);
        const quint32 idea = r.d.PlayState(53);
        // Switched off, nothing would ever play it: no endless wait.
        QVERIFY(!r.d.WaitForRequest(idea));
        r.d.setEnabled(true);
        const quint32 explain = r.d.PlayState(6);
        QVERIFY(r.d.WaitForRequest(explain));
        QVERIFY(!r.d.IsRequestPending(explain));
        QVERIFY(r.stops.contains(idea));
        QCOMPARE(r.stops.last(), explain);
        QVERIFY(r.d.WaitForRequest(explain)); // long done
    }

    void idleTimerRunsOnlyWhenNothingElseDoes()
    {
        Rig r(3, false);
        r.d.setAutoIdle(true);
        QVERIFY(!r.d.idleTimerActive()); // switched off
        r.d.setEnabled(true);
        QVERIFY(r.d.idleTimerActive());
        QCOMPARE(r.d.idleInterval(), 3000);
        r.d.setAutoIdle(false);
        QVERIFY(!r.d.idleTimerActive());
        r.d.setAutoIdle(true);
        r.d.PlayState(6);
        QVERIFY(!r.d.idleTimerActive()); // playing
        QTRY_VERIFY(r.quiet());
        QVERIFY(r.d.idleTimerActive());
        r.d.setLibrary(QString());
        QVERIFY(!r.d.idleTimerActive()); // no actor
    }

    void idleAnimationsAndLevels()
    {
        Rig r(11);
        r.d.setAutoIdle(true);
        QList<int> levels;
        bool handle = false;
        connect(&r.d, &TAssistantDirector::idle, &r.d, [&](int level, bool* handled) {
            levels << level;
            *handled = handle;
        });
        QCOMPARE(r.d.idleLevel(), 25);
        QVERIFY(r.d.idleCountdown() >= 12 && r.d.idleCountdown() <= 21);

        // Not handled: an idle animation of the level plays, without start
        // and stop; the next tick comes 3000 ms +- 999 ms later.
        r.d.idleTimerTick();
        QCOMPARE(levels, QList<int> {1});
        const quint32 idle = r.d.idleRequest();
        QVERIFY(r.d.GetRequestInfo(idle).states[0] & (1u << 25));
        QVERIFY(!r.d.idleTimerActive());
        QTRY_VERIFY(r.quiet());
        QVERIFY(r.starts.isEmpty() && r.stops.isEmpty());
        QVERIFY(r.d.idleTimerActive());
        QVERIFY(r.d.idleInterval() >= 2001 && r.d.idleInterval() <= 3999);
        QVERIFY(r.d.idleInterval() != 3000 || r.d.idleRequest() != idle);

        // Handled by the owner: the level still rises as the ticks count
        // down, after exactly as many ticks as the countdown drawn.
        handle = true;
        r.log.clear();
        levels.clear();
        auto ticksToRise = [&] {
            const int level = r.d.idleLevel();
            int ticks = 0;
            while (r.d.idleLevel() == level && ticks < 100) {
                r.d.idleTimerTick();
                ++ticks;
            }
            return ticks;
        };
        const int left = r.d.idleCountdown(); // one tick of level 25 is gone
        QCOMPARE(ticksToRise(), left);
        QCOMPARE(r.d.idleLevel(), 26);
        QCOMPARE(levels.last(), 1);
        const int drawn26 = r.d.idleCountdown();
        QVERIFY(drawn26 >= 8 && drawn26 <= 17);
        QCOMPARE(ticksToRise(), drawn26);
        QCOMPARE(levels.first(), 1);
        QCOMPARE(levels.last(), 2);
        QCOMPARE(r.d.idleLevel(), 27);
        QVERIFY(r.d.idleCountdown() >= 4 && r.d.idleCountdown() <= 13);
        for (int i = 0; i < 30; ++i)
            r.d.idleTimerTick();
        QCOMPARE(r.d.idleLevel(), 27); // the highest
        QCOMPARE(levels.last(), 3);
        QVERIFY(r.log.isEmpty());
        r.d.setIdleLevel(30);
        QCOMPARE(r.d.idleLevel(), 27);

        // Level 3 plays Sleep, which loops for ever; a request brings the
        // level back to 25, and the owl wakes up before it plays.
        handle = false;
        r.d.idleTimerTick();
        QCOMPARE(r.name(r.d.idleRequest()), QStringLiteral("Sleep"));
        QTRY_VERIFY(r.log.size() > 10);
        const quint32 explain = r.d.PlayState(6);
        QCOMPARE(r.d.idleLevel(), 25);
        QTRY_VERIFY(r.quiet());
        const qsizetype woke = r.log.indexOf(QStringLiteral("Sleep 8 back"));
        QVERIFY(woke > 0);
        QCOMPARE(r.log.mid(woke + 1, 2), (QStringList {"start Explain", "Explain 0"}));
        QCOMPARE(r.stops, QList<quint32> {explain}); // the idle Sleep stopped silently

        // A handler that plays something itself makes that the idle request.
        connect(&r.d, &TAssistantDirector::idle, &r.d, [&](int, bool* handled) {
            if (!*handled)
                return;
            r.d.PlayAnimation(QStringLiteral("GetAttention"));
            r.d.PlayAnimation(QStringLiteral("GetAttentionReturn"));
        });
        handle = true;
        r.d.idleTimerTick();
        QCOMPARE(r.name(r.d.idleRequest()), QStringLiteral("GetAttentionReturn"));
        QTRY_VERIFY(r.quiet());
    }

    // A library whose animations cannot be read: each is told once, with no
    // report box, given up and never tried again; the director goes on.
    void damagedAnimationsAreToldOnceAndSkipped()
    {
        QStringList reports;
        setErrorReportHook([&](const QString& text) { reports << text; });
        TAssistantDirector d;
        d.setLibrary(QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_trio.so"));
        d.setAutoIdle(false);
        d.setEnabled(true);
        QSignalSpy stops(&d, &TAssistantDirector::playStop);
        QSignalSpy told(&d, &TAssistantDirector::animationDamaged);
        const quint32 broken = d.PlayAnimation(QStringLiteral("Write")); // a signature and nothing else
        const quint32 missing = d.PlayAnimation(QStringLiteral("Other")); // no resource at all
        QVERIFY(broken && missing);
        QCOMPARE(d.PlayAnimation(QStringLiteral("Write")), 0u); // known damaged now
        QTRY_COMPARE(told.size(), 2);
        const int write = d.actor()->findByName(QStringLiteral("Write"));
        const int other = d.actor()->findByName(QStringLiteral("Other"));
        QCOMPARE(told[0][0].toInt(), write);
        QCOMPARE(told[0][1].toString(), QStringLiteral("Invalid animation data"));
        QCOMPARE(told[1][0].toInt(), other);
        QCOMPARE(stops.count(), 2);
        QCOMPARE(stops[0][0].toUInt(), broken);
        QCOMPARE(stops[1][0].toUInt(), missing);
        QVERIFY(!d.IsRequestPending(broken) && !d.IsRequestPending(missing));
        QVERIFY(!d.engine()->isPlaying());
        QVERIFY(d.WaitForRequest(broken));
        // Refused from now on, by name and by state.
        QVERIFY(d.isDamaged(write) && d.isDamaged(other));
        QCOMPARE(d.PlayAnimation(QStringLiteral("write")), 0u);
        QCOMPARE(d.PlayState(3), 0u); // "Other" alone serves it
        QTest::qWait(20);
        QCOMPARE(told.size(), 2);
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join(u'\n')));
        setErrorReportHook({});
        // Another library starts with a clean slate.
        d.setLibrary(QString());
        d.setLibrary(QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_trio.so"));
        QVERIFY(!d.isDamaged(write));
    }

    // The countdown of each level is 112 - 4 x level plus a number below
    // 10: drawn at its least and at its most.
    void idleCountdownOfEachLevel()
    {
        struct Fixed final : IRandom {
            int value = 0;
            QList<int> bounds;
            int bounded(int upper) override
            {
                bounds << upper;
                return std::min(value, upper - 1);
            }
        } fixed;
        ManualClock clock;
        ManualSleeper sleeper {&clock};
        RecordingWavePlayer sound;
        TAssistantDirector d {{&clock, &sleeper, &fixed, &sound}};
        for (int value : {0, 9}) {
            fixed.value = value;
            for (int level : {25, 26, 27}) {
                fixed.bounds.clear();
                d.setIdleLevel(level);
                QCOMPARE(fixed.bounds, QList<int> {10});
                QCOMPARE(d.idleCountdown(), 112 - 4 * level + value);
            }
        }
        QCOMPARE(d.idleCountdown(), 13);
        fixed.bounds.clear();
        d.setIdleLevel(24);
        d.setIdleLevel(28);
        QCOMPARE(d.idleLevel(), 27);
        QCOMPARE(d.idleCountdown(), 13);
        QVERIFY(fixed.bounds.isEmpty());
    }

    void settingLevel25EndsAnIdleLoop()
    {
        Rig r(5);
        r.d.setIdleLevel(27);
        bool handled = false;
        connect(&r.d, &TAssistantDirector::idle, &r.d, [&](int, bool* h) { *h = handled; });
        r.d.idleTimerTick();
        QTRY_VERIFY(r.log.size() > 10);
        QVERIFY(r.d.IsRequestPending(r.d.idleRequest()));
        r.d.setIdleLevel(26); // not 25: it sleeps on
        QVERIFY(r.d.engine()->isPlaying());
        r.d.setIdleLevel(25);
        QTRY_VERIFY(r.quiet());
        QVERIFY(r.log.contains(QStringLiteral("Sleep 8 back")));
    }
};

QTEST_MAIN(TestDirector)
#include "tst_director.moc"
