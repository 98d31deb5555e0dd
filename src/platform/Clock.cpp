#include "Clock.h"

#include <QRandomGenerator>
#include <time.h>

namespace vedomec {

qint64 SystemClock::nowMs() const
{
    timespec ts {};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

SystemClock& SystemClock::instance()
{
    static SystemClock c;
    return c;
}

SystemWallClock& SystemWallClock::instance()
{
    static SystemWallClock c;
    return c;
}

int SystemRandom::bounded(int upper)
{
    return upper <= 0 ? 0 : int(QRandomGenerator::global()->bounded(upper));
}

SystemRandom& SystemRandom::instance()
{
    static SystemRandom r;
    return r;
}

int SeededRandom::bounded(int upper)
{
    // xorshift32: reproducible across platforms, which is all tests need.
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return upper <= 0 ? 0 : int(m_state % quint32(upper));
}

} // namespace vedomec
