#include "Sleeper.h"

#include <chrono>

namespace vedomec {

quint64 SystemSleeper::epoch() const
{
    std::lock_guard lock(m_mutex);
    return m_epoch;
}

void SystemSleeper::sleepMs(qint64 ms, quint64 since)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_epoch != since; });
}

void SystemSleeper::interrupt()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_epoch;
    }
    m_wake.notify_all();
}

quint64 ManualSleeper::epoch() const
{
    std::lock_guard lock(m_mutex);
    return m_epoch;
}

void ManualSleeper::sleepMs(qint64 ms, quint64 since)
{
    std::lock_guard lock(m_mutex);
    if (m_epoch != since)
        return;
    m_sleeps << ms;
    if (m_clock)
        m_clock->advance(ms);
}

void ManualSleeper::interrupt()
{
    std::lock_guard lock(m_mutex);
    ++m_epoch;
}

QList<qint64> ManualSleeper::sleeps() const
{
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

void ManualSleeper::clear()
{
    std::lock_guard lock(m_mutex);
    m_sleeps.clear();
}

} // namespace vedomec
