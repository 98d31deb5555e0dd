#include "TimeCounter.h"

#include "platform/Clock.h"

namespace vedomec {

TTimeCounter::TTimeCounter(QObject* parent, IClock* clock)
    : QObject(parent), m_clock(clock ? *clock : SystemClock::instance())
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TTimeCounter::tick);
    m_timer.start();
    m_startMs = m_clock.nowMs();
    m_elapsedText = formatElapsed(0);
    setCounting(true);
}

TTimeCounter::~TTimeCounter() = default;

void TTimeCounter::setCounting(bool value)
{
    if (m_counting && !value) {
        // Frozen in whole seconds, as the shown text has no fractions.  Whole
        // days are kept: the text drops them, the time limit must not.
        m_stoppedMs = (m_clock.nowMs() - m_startMs) / 1000 * 1000;
    }
    if (value && !m_counting)
        m_startMs = m_clock.nowMs() - m_stoppedMs;
    m_counting = value;
}

qint64 TTimeCounter::ElapsedMs() const
{
    if (!m_counting)
        return m_stoppedMs;
    const qint64 ms = m_clock.nowMs() - m_startMs;
    return ms < 0 ? 0 : ms;
}

QString TTimeCounter::Elapsed() const
{
    return formatElapsed(ElapsedMs());
}

void TTimeCounter::Reset()
{
    m_startMs = m_clock.nowMs();
    m_stoppedMs = 0;
}

void TTimeCounter::setEnabled(bool on)
{
    if (on)
        m_timer.start();
    else
        m_timer.stop();
}

void TTimeCounter::setInterval(int ms)
{
    m_timer.setInterval(ms);
}

void TTimeCounter::tick()
{
    emit OnTimer(this);
}

QString TTimeCounter::formatElapsed(qint64 ms)
{
    if (ms < 0)
        ms = 0;
    const qint64 secs = ms / 1000;
    const qint64 ofDay = secs % 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(ofDay / 3600)
        .arg(ofDay / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(ofDay % 60, 2, 10, QLatin1Char('0'));
}

} // namespace vedomec
