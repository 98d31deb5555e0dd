#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

namespace vedomec {

class IClock;

// Elapsed time of the open test, shown in the main window's `Cas`.
//
// A timer component: its one-second tick (`OnTimer`) keeps arriving whether
// the counter counts or not.  The elapsed time is measured on a monotonic
// clock that includes suspend (the platform's SystemClock by default), so
// neither a change of summer time nor a clock set by hand or by NTP moves it.
//
// Tests pass a ManualClock and call tick() instead of waiting for the timer.
class TTimeCounter : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Counting READ Counting WRITE setCounting)
    Q_PROPERTY(QString Elapsed READ Elapsed WRITE setElapsed)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(int Interval READ Interval WRITE setInterval)

public:
    // A new counter counts from zero at once.  The clock must outlive the
    // counter; nullptr means the system's monotonic clock.
    explicit TTimeCounter(QObject* parent = nullptr, IClock* clock = nullptr);
    ~TTimeCounter() override;

    bool Counting() const { return m_counting; }
    // false freezes the elapsed time in whole seconds; true resumes from the
    // frozen value.
    void setCounting(bool value);

    // "H:MM:SS", hours without a leading zero.  Only the part beyond whole
    // days is shown (24 h 5 s reads "0:00:05"); ElapsedSeconds() has the
    // real total.
    QString Elapsed() const;
    // Stores the text only (the form's design value); it is not read back.
    void setElapsed(const QString& text) { m_elapsedText = text; }
    QString storedElapsedText() const { return m_elapsedText; }

    // Whole seconds elapsed, days included.
    qint64 ElapsedSeconds() const { return ElapsedMs() / 1000; }
    qint64 ElapsedMs() const;

    void Start() { setCounting(true); }
    void Stop() { setCounting(false); }
    void Reset();

    bool Enabled() const { return m_timer.isActive(); }
    void setEnabled(bool on);
    int Interval() const { return m_timer.interval(); }
    void setInterval(int ms);

    // Raises OnTimer as the timer does; lets tests tick without waiting.
    void tick();

    // The text of a duration, as Elapsed() shows it.
    static QString formatElapsed(qint64 ms);

signals:
    void OnTimer(vedomec::TTimeCounter* sender);

private:
    IClock& m_clock;
    QTimer m_timer;
    bool m_counting = false;
    QString m_elapsedText;
    qint64 m_startMs = 0;   // clock reading that counts as elapsed zero
    qint64 m_stoppedMs = 0; // elapsed time frozen at the last stop
};

} // namespace vedomec
