#pragma once
#include <QDateTime>
#include <QtGlobal>

namespace vedomec {

// Monotonic time for measuring durations.  The system clock counts time spent
// in suspend and does not jump when the wall clock is set.
class IClock {
public:
    virtual ~IClock() = default;
    virtual qint64 nowMs() const = 0;
};

class SystemClock final : public IClock {
public:
    qint64 nowMs() const override;
    static SystemClock& instance();
};

// For tests: time moves only when told to.
class ManualClock final : public IClock {
public:
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += ms; }
    void set(qint64 ms) { m_now = ms; }

private:
    qint64 m_now = 1'000'000;
};

// The date and time of day, for what is recorded of when something
// happened; durations come from IClock.
class IWallClock {
public:
    virtual ~IWallClock() = default;
    virtual QDateTime now() const = 0;
};

class SystemWallClock final : public IWallClock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    static SystemWallClock& instance();
};

class ManualWallClock final : public IWallClock {
public:
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now {QDate(2026, 9, 1), QTime(8, 0)};
};

// Random numbers behind an interface so tests can fix the sequence.
class IRandom {
public:
    virtual ~IRandom() = default;
    virtual int bounded(int upper) = 0; // 0 <= r < upper
};

class SystemRandom final : public IRandom {
public:
    int bounded(int upper) override;
    static SystemRandom& instance();
};

class SeededRandom final : public IRandom {
public:
    explicit SeededRandom(quint32 seed) : m_state(seed ? seed : 1) {}
    int bounded(int upper) override;

private:
    quint32 m_state;
};

} // namespace vedomec
