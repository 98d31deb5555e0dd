#include "platform/Clock.h"
#include "results/TimeCounter.h"

#include <QSignalSpy>
#include <QTest>

using namespace vedomec;

class TestTimeCounter : public QObject {
    Q_OBJECT
private slots:
    void newCounterCountsFromCreation()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        QVERIFY(c.Counting());
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:00"));
        QCOMPARE(c.storedElapsedText(), QStringLiteral("0:00:00"));
        clock.advance(3400);
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:03"));
        QCOMPARE(c.ElapsedSeconds(), 3);
    }

    void stopFreezesWholeSecondsAndStartResumes()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        clock.advance(12700);
        c.Stop();
        QVERIFY(!c.Counting());
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:12"));
        clock.advance(60000); // time passes while stopped: nothing moves
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:12"));
        c.Start();
        QCOMPARE(c.ElapsedMs(), 12000);
        clock.advance(1000);
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:13"));
        // A second Start or Stop changes nothing.
        c.Start();
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:13"));
        c.Stop();
        clock.advance(5000);
        c.Stop();
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:13"));
    }

    void resetWhileStoppedReadsZeroUntilStart()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        clock.advance(95000);
        c.Stop();
        c.Reset();
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:00"));
        clock.advance(7000);
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:00"));
        c.Start();
        clock.advance(2000);
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:02"));
    }

    void resetWhileCountingStartsAgain()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        clock.advance(30000);
        c.Reset();
        QVERIFY(c.Counting());
        clock.advance(4000);
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:04"));
    }

    void hoursWithoutLeadingZero()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        clock.advance((10 * 3600 + 5 * 60 + 7) * 1000LL);
        QCOMPARE(c.Elapsed(), QStringLiteral("10:05:07"));
        QCOMPARE(c.ElapsedSeconds(), 10 * 3600 + 5 * 60 + 7);
        QCOMPARE(TTimeCounter::formatElapsed((1 * 3600 + 31 * 60 + 41) * 1000LL), QStringLiteral("1:31:41"));
        QCOMPARE(TTimeCounter::formatElapsed(5 * 60 * 1000 + 7000), QStringLiteral("0:05:07"));
    }

    void beyondADayShowsThePartBeyondWholeDaysButKeepsTheTotal()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        clock.advance((25 * 3600 + 2) * 1000LL + 900);
        QCOMPARE(c.Elapsed(), QStringLiteral("1:00:02"));
        QCOMPARE(c.ElapsedSeconds(), 25 * 3600 + 2);
        // Stopping keeps the whole days in the frozen value.
        c.Stop();
        QCOMPARE(c.ElapsedSeconds(), 25 * 3600 + 2);
        c.Start();
        QCOMPARE(c.ElapsedSeconds(), 25 * 3600 + 2);
    }

    void wallClockJumpChangesNothing()
    {
        // The reading is a function of the monotonic clock alone: while the
        // monotonic clock stands still, the reading stands still, whatever
        // the time of day does meanwhile (an hour forward for summer time,
        // a clock set back by hand).  The system clock is CLOCK_BOOTTIME,
        // which neither of those moves.
        struct ObservedClock final : IClock {
            qint64 now = 5'000'000;
            mutable int reads = 0;
            qint64 nowMs() const override { ++reads; return now; }
        } clock;
        TTimeCounter c(nullptr, &clock);
        clock.now += 10'000;
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:10"));
        const int readsBefore = clock.reads;
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:10"));
        QVERIFY(clock.reads > readsBefore); // it asks the injected clock, not the time of day
        clock.now += 3'600'000;             // one real hour passes
        QCOMPARE(c.Elapsed(), QStringLiteral("1:00:10"));
        // The default clock never goes backwards.
        TTimeCounter real;
        const qint64 a = real.ElapsedMs();
        const qint64 b = real.ElapsedMs();
        QVERIFY(a >= 0 && b >= a);
    }

    void tickKeepsArrivingWhileStopped()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        QVERIFY(c.Enabled());
        QCOMPARE(c.Interval(), 1000);
        QSignalSpy spy(&c, &TTimeCounter::OnTimer);
        c.tick();
        c.Stop();
        c.tick();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).value<TTimeCounter*>(), &c);
        // The real timer fires too (short interval so no second passes).
        c.setInterval(5);
        QVERIFY(spy.wait(2000));
        QVERIFY(c.Enabled());
    }

    void elapsedTextIsStoredOnly()
    {
        ManualClock clock;
        TTimeCounter c(nullptr, &clock);
        c.setElapsed(QStringLiteral("1:31:41"));
        QCOMPARE(c.storedElapsedText(), QStringLiteral("1:31:41"));
        QCOMPARE(c.Elapsed(), QStringLiteral("0:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestTimeCounter)
#include "tst_timecounter.moc"
