#pragma once
// Sleeping behind an interface: the animation thread sleeps between frames,
// and tests replace the sleep with one that only moves a manual clock.
#include "platform/Clock.h"

#include <QList>

#include <condition_variable>
#include <mutex>

namespace vedomec {

class ISleeper {
public:
    virtual ~ISleeper() = default;
    // A count that interrupt() advances.  Read it before deciding to sleep:
    // an interrupt that comes between that decision and the sleep is not lost.
    virtual quint64 epoch() const = 0;
    // Sleeps `ms` milliseconds, or until interrupt() is called; returns at
    // once when interrupt() was called since epoch() returned `since`.
    virtual void sleepMs(qint64 ms, quint64 since) = 0;
    virtual void interrupt() = 0;
};

class SystemSleeper final : public ISleeper {
public:
    quint64 epoch() const override;
    void sleepMs(qint64 ms, quint64 since) override;
    void interrupt() override;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    quint64 m_epoch = 0;
};

// For tests: records every sleep and moves the manual clock on by it,
// without waiting.  Safe to use from the animation thread.
class ManualSleeper final : public ISleeper {
public:
    explicit ManualSleeper(ManualClock* clock = nullptr) : m_clock(clock) {}
    quint64 epoch() const override;
    void sleepMs(qint64 ms, quint64 since) override;
    void interrupt() override;
    QList<qint64> sleeps() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    ManualClock* m_clock;
    QList<qint64> m_sleeps;
    quint64 m_epoch = 0;
};

} // namespace vedomec
