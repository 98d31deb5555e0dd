#include "oaEngine.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <pthread.h>
#include <time.h>

namespace vedomec {

namespace {

// An animation whose frames all last 0 (or that keeps landing on the frame
// it just showed while exiting) would otherwise spin without ever sleeping.
constexpr int MaxStepsWithoutFrame = 1 << 16;

QRgb rgbOf(quint32 tcolor)
{
    return qRgb(int(tcolor & 0xFF), int((tcolor >> 8) & 0xFF), int((tcolor >> 16) & 0xFF));
}

} // namespace

TAssistantEngine::TAssistantEngine(QObject* parent) : TAssistantEngine(Services {}, parent) {}

TAssistantEngine::TAssistantEngine(const Services& services, QObject* parent)
    : QObject(parent),
      m_clock(services.clock ? services.clock : &SystemClock::instance()),
      m_sleeper(services.sleeper ? services.sleeper : &m_ownSleeper),
      m_random(services.random ? services.random : &SystemRandom::instance()),
      m_sound(services.sound ? services.sound : qtWavePlayer())
{
    m_thread = QThread::create([this] { threadLoop(); });
    m_thread->setObjectName(QStringLiteral("AssistantEngine"));
    m_thread->start();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_parked; });
}

TAssistantEngine::~TAssistantEngine()
{
    {
        std::lock_guard lock(m_mutex);
        m_terminating = true;
    }
    m_changed.notify_all();
    m_sleeper->interrupt();
    m_thread->wait();
    delete m_thread;
    m_sound->stopWave();
}

void TAssistantEngine::park(std::unique_lock<std::mutex>& lock)
{
    m_parked = true;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_playing || m_terminating; });
    m_parked = false;
}

void TAssistantEngine::threadLoop()
{
    clockid_t cpu;
    if (pthread_getcpuclockid(pthread_self(), &cpu) == 0) {
        m_cpuClock = qint64(cpu);
        m_cpuClockKnown = true;
    }
    {
        std::unique_lock lock(m_mutex);
        park(lock);
    }
    int stepsWithoutFrame = 0;
    while (!m_terminating) {
        const quint64 epoch = m_sleeper->epoch();
        const int generation = m_generation;
        if (!m_playing) {
            runOnMain([this] {
                // Played again before this end got through (the main thread
                // saw the engine stopped and started the next animation): the
                // end belongs to the animation before and would be taken for
                // the end of the new one.
                if (!m_terminating && !m_playing)
                    emit animationEnded();
            });
            std::unique_lock lock(m_mutex);
            if (!m_playing && !m_terminating)
                park(lock);
            stepsWithoutFrame = 0;
            continue;
        }

        const int frame = m_current;
        const int duration = m_tables.durations[size_t(frame)];
        if (duration != 0 && (!m_exiting || frame != m_lastShown)) {
            stepsWithoutFrame = 0;
            runOnMain([this] { handOver(); });
            if (m_terminating)
                break;
            // Stopped and given another animation from inside the hand-over:
            // that one starts where it was put, not a step further.
            if (generation != m_generation)
                continue;
            m_lastShown = frame;
            const int drawn = m_drawTime;
            if (drawn < duration)
                m_sleeper->sleepMs(frameSleepMs(duration, drawn, m_speed), epoch);
        } else if (++stepsWithoutFrame > MaxStepsWithoutFrame) {
            m_atEnd = true;
        }

        if (!m_atEnd) {
            const FrameStep step = nextFrame(m_tables, m_current, m_exiting, *m_random);
            m_current = step.frame;
            if (step.atEnd)
                m_atEnd = true;
        }
        if (m_atEnd) {
            if (m_tables.durations[size_t(m_current.load())] == 0)
                m_current = m_lastShown.load();
            m_playing = false;
        }
    }
}

void TAssistantEngine::runOnMain(const std::function<void()>& call)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_terminating)
            return;
        m_call = &call;
        m_callState = Call::Queued;
    }
    // A main thread waiting in play(false) runs the call itself.
    m_changed.notify_all();
    QMetaObject::invokeMethod(this, [this] { serviceCall(); }, Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_callState == Call::Done || (m_terminating && m_callState == Call::Queued); });
    m_callState = Call::None;
    m_call = nullptr;
}

void TAssistantEngine::serviceCall()
{
    const std::function<void()>* call;
    {
        std::lock_guard lock(m_mutex);
        if (m_callState != Call::Queued)
            return;
        m_callState = Call::Running;
        call = m_call;
    }
    auto done = qScopeGuard([this] {
        {
            std::lock_guard lock(m_mutex);
            m_callState = Call::Done;
        }
        m_changed.notify_all();
    });
    (*call)();
}

void TAssistantEngine::handOver()
{
    const qint64 started = m_clock->nowMs();
    const int frame = m_current;
    m_frameBitmap = m_filmstrip.copy(QRect(QPoint(m_frameSize.width() * frame, 0), m_frameSize));
    if (!m_terminating)
        emit frameChanged(m_frameBitmap);
    if (!m_terminating && m_playing && !m_mute) {
        const QByteArray& sound = frameSound(frame);
        if (!sound.isEmpty())
            m_sound->playWave(sound);
    }
    m_drawTime = int((m_clock->nowMs() - started) / 10);
}

const QByteArray& TAssistantEngine::frameSound(int frame) const
{
    static const QByteArray none;
    return frame >= 0 && size_t(frame) < m_sounds.size() ? m_sounds[size_t(frame)] : none;
}

void TAssistantEngine::play(bool on)
{
    if (on == m_playing)
        return;
    if (on) {
        m_atEnd = false;
        {
            std::lock_guard lock(m_mutex);
            m_playing = true;
        }
        m_changed.notify_all();
        return;
    }

    {
        std::lock_guard lock(m_mutex);
        m_playing = false;
    }
    m_sound->stopWave();
    // The thread stops at once instead of sleeping out the frame.
    m_sleeper->interrupt();
    std::unique_lock lock(m_mutex);
    while (!(m_parked || m_terminating || m_playing)) {
        // Stopped from inside a notification (say, a message box opened by
        // a frame handler): the thread waits for that very call and parks
        // once it returns.
        if (m_callState == Call::Running)
            break;
        if (m_callState == Call::Queued) {
            lock.unlock();
            serviceCall();
            lock.lock();
            continue;
        }
        m_changed.wait(lock);
    }
}

void TAssistantEngine::setFrame(int n)
{
    const int count = m_tables.frameCount;
    if (count == 0)
        return;
    n = qBound(0, n, count - 1);
    if (n == m_current)
        return;
    m_current = n;
    handOver();
}

void TAssistantEngine::setSpeed(int percent)
{
    if (percent > 0 && percent <= 0xFFFF)
        m_speed = percent;
}

void TAssistantEngine::setPriority(QThread::Priority priority)
{
    m_priority = priority;
    m_thread->setPriority(priority);
}

QColor TAssistantEngine::transparentColor() const
{
    return QColor(rgbOf(m_transparent));
}

bool TAssistantEngine::isParked() const
{
    std::lock_guard lock(m_mutex);
    return m_parked;
}

qint64 TAssistantEngine::threadCpuTimeNs() const
{
    if (!m_cpuClockKnown)
        return 0;
    timespec ts {};
    if (clock_gettime(clockid_t(m_cpuClock.load()), &ts) != 0)
        return 0;
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void TAssistantEngine::reset()
{
    play(false);
    ++m_generation;
    m_tables.clear();
    m_sounds.clear();
    m_transparent = 0;
    m_filmstrip = QImage();
    m_frameSize = QSize();
    m_frameBitmap = QImage();
    m_current = 0;
    m_lastShown = 0;
    m_atEnd = false;
}

void TAssistantEngine::loadAnimation(const DynamicLibrary& module, quint16 resourceId)
{
    reset();
    const QByteArrayView resource = module.resource(resourceId);
    if (resource.isEmpty())
        throw EInvalidAnimationData();
    loadAnimation(resource);
}

void TAssistantEngine::loadAnimation(QByteArrayView resource)
{
    reset();
    m_loading = true;
    auto done = qScopeGuard([this] { m_loading = false; });

    AnimationData data = readAnimationResource(resource);
    QImage strip = QImage::fromData(data.bitmap, "BMP");
    const int frames = data.frameCount;
    if (strip.isNull() || strip.width() < frames)
        throw EInvalidAnimationData();

    // Frames are cut from a copy in which the transparent colour is
    // transparent, so the stage draws them over its own colour.
    strip = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = rgbOf(data.transparentColor) & 0xFFFFFF;
    for (int y = 0; y < strip.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x)
            line[x] = (line[x] & 0xFFFFFF) == key ? 0 : (line[x] | 0xFF000000);
    }
    strip.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);

    static_cast<AnimationTables&>(m_tables) = static_cast<const AnimationTables&>(data);
    m_sounds = std::move(data.sounds);
    m_transparent = data.transparentColor;
    m_frameSize = QSize(strip.width() / frames, strip.height());
    m_filmstrip = std::move(strip);
    m_frameBitmap = QImage(m_frameSize, QImage::Format_ARGB32_Premultiplied);
    m_frameBitmap.fill(Qt::transparent);
}

} // namespace vedomec
