#include "oaDirect.h"

#include "platform/ErrorReport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QScopedValueRollback>

#include <algorithm>

namespace vedomec {

bool TRequestQueue::remove(quint32 id)
{
    const auto it = std::find(m_items.begin(), m_items.end(), id);
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    return true;
}

bool TRequestQueue::contains(quint32 id) const
{
    return std::find(m_items.begin(), m_items.end(), id) != m_items.end();
}

quint32 TRequestQueue::takeFirst()
{
    if (m_items.empty())
        return 0;
    const quint32 id = m_items.front();
    m_items.pop_front();
    return id;
}

TAssistantDirector::TAssistantDirector(const TAssistantEngine::Services& services, QObject* parent)
    : QObject(parent),
      m_engine(new TAssistantEngine(services, this)),
      m_random(services.random ? services.random : &SystemRandom::instance())
{
    m_actor.setRandom(m_random);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &TAssistantDirector::idleTimerTick);
    connect(m_engine, &TAssistantEngine::animationEnded, this, &TAssistantDirector::engineEnded);
    setIdleLevel(IdleLevelFirst);
}

TAssistantDirector::~TAssistantDirector()
{
    m_idleTimer.stop();
    if (m_waitLoop)
        m_waitLoop->quit();
    // The engine's notifications must not reach a director half gone.
    disconnect(m_engine, nullptr, this, nullptr);
    delete m_engine;
    m_engine = nullptr;
}

bool TAssistantDirector::setLibrary(const QString& fileName)
{
    bool changed = false;
    QMetaObject::Connection c = connect(&m_actor, &TAssistantActor::libraryChanged, this, [&] { changed = true; });
    try {
        m_actor.setLibrary(fileName);
    } catch (...) {
        disconnect(c);
        throw;
    }
    disconnect(c);
    if (!changed)
        return false;
    // Numbers of the old actor mean nothing to the new one.
    m_queue.clear();
    if (m_engine->isPlaying())
        stopEngine();
    m_engine->reset();
    m_engine->setExiting(false);
    m_current = 0;
    m_currentIndex = 0;
    m_cutShort = false;
    m_loaded = 0;
    m_afterIndex = 0;
    m_returnPending = false;
    m_idleRequest = 0;
    m_damaged.clear();
    ++m_libraryGeneration;
    armIdle();
    emit stateChanged();
    emit libraryChanged();
    return true;
}

void TAssistantDirector::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (on)
        play();
    else
        armIdle();
    emit stateChanged();
}

void TAssistantDirector::setAutoIdle(bool on)
{
    m_autoIdle = on;
    armIdle();
}

quint32 TAssistantDirector::nextId(int index)
{
    ++m_sequence;
    return (quint32(m_sequence) << 16) | quint32(quint16(index));
}

quint32 TAssistantDirector::PlayAnimation(const QString& name)
{
    return queueRequest(m_actor.findByName(name));
}

quint32 TAssistantDirector::PlayState(int state)
{
    return queueRequest(pickState(state));
}

int TAssistantDirector::pickState(int state) const
{
    if (m_damaged.isEmpty())
        return m_actor.pickByState(state, 0);
    QList<int> usable;
    for (int n = 1; n <= m_actor.stateCount(state); ++n)
        if (const int index = m_actor.pickByState(state, n); !m_damaged.contains(index))
            usable.append(index);
    return usable.isEmpty() ? 0 : usable[m_random->bounded(int(usable.size()))];
}

void TAssistantDirector::damaged(int index, const std::exception& e)
{
    if (m_damaged.contains(index))
        return;
    m_damaged.insert(index);
    const QString reason = exceptionMessage(e);
    // The owner may talk to the user or put the character away: neither
    // belongs inside the engine's notification this may run in.
    const int generation = m_libraryGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, index, reason, generation] {
            // Of a library that has gone meanwhile: nothing to tell.
            if (generation == m_libraryGeneration)
                emit animationDamaged(index, reason);
        },
        Qt::QueuedConnection);
}

quint32 TAssistantDirector::queueRequest(int index)
{
    if (index <= 0 || index > m_actor.animationCount() || index > 0xFFFF || m_damaged.contains(index))
        return 0;
    setIdleLevel(IdleLevelFirst);
    if (m_current && m_current == m_idleRequest && m_engine->isPlaying())
        CutShort(m_current);
    const quint32 id = nextId(index);
    m_queue.append(id);
    play();
    emit stateChanged();
    return id;
}

bool TAssistantDirector::IsRequestPending(quint32 id) const
{
    if (id == 0)
        return false;
    return m_queue.contains(id) || m_current == id;
}

void TAssistantDirector::load(int index)
{
    const TAnimationRecord* a = m_actor.animation(index);
    m_loaded = 0;
    if (!a)
        throw EInvalidAnimationData();
    m_engine->loadAnimation(m_actor.module(), a->resourceId);
    m_loaded = index;
}

void TAssistantDirector::startEngine()
{
    m_idleTimer.stop();
    m_engine->play(true);
}

void TAssistantDirector::play()
{
    if (!m_enabled || !m_actor.loaded() || m_engine->isPlaying() || m_stopping || m_inPlay)
        return;
    QScopedValueRollback guard(m_inPlay, true);

    // How the animation before is left.
    if (m_afterIndex) {
        const TAnimationRecord* before = m_actor.animation(m_afterIndex);
        const bool cut = m_afterCutShort;
        const bool stillLoaded = m_afterIndex == m_loaded;
        m_afterIndex = 0;
        m_afterCutShort = false;
        if (before && stillLoaded && m_engine->hasExitBranches() && (cut || before->kind == akExitAlways)) {
            m_returnPending = true;
            m_engine->setExiting(true);
            startEngine();
            return;
        }
        if (before && !cut && before->kind == akReturn && m_actor.animation(before->returnAnimation)
            && !m_damaged.contains(before->returnAnimation)) {
            try {
                load(before->returnAnimation);
                m_engine->setExiting(false);
                m_returnPending = true;
                startEngine();
                return;
            } catch (const std::exception& e) {
                // A damaged return animation is skipped.
                damaged(before->returnAnimation, e);
            }
        }
    }
    while (!startNext()) {
    }
}

// Takes the next request from the queue; false when it could not be loaded
// and the one after should be tried.
bool TAssistantDirector::startNext()
{
    if (m_queue.isEmpty()) {
        // Re-armed with the interval in hand.
        m_idleTimer.stop();
        armIdle();
        return true;
    }
    const quint32 id = m_queue.takeFirst();
    const int index = int(id & 0xFFFF);
    try {
        if (m_damaged.contains(index))
            throw EInvalidAnimationData(); // queued before it was found damaged
        m_engine->setExiting(false);
        if (index == m_loaded)
            m_engine->setFrame(0);
        else
            load(index);
    } catch (const std::exception& e) {
        damaged(index, e);
        if (id != m_idleRequest)
            emit playStop(id);
        emit stateChanged();
        return false;
    }
    m_current = id;
    m_currentIndex = index;
    m_cutShort = false;
    const bool idle = id == m_idleRequest;
    startEngine();
    if (!idle)
        emit playStart(id);
    emit stateChanged();
    return true;
}

void TAssistantDirector::engineEnded()
{
    if (m_returnPending) {
        m_returnPending = false;
    } else if (m_current) {
        const quint32 ended = m_current;
        m_afterIndex = m_currentIndex;
        m_afterCutShort = m_cutShort;
        m_current = 0;
        m_currentIndex = 0;
        m_cutShort = false;
        if (ended != m_idleRequest)
            emit playStop(ended);
    }
    emit stateChanged();
    play();
}

void TAssistantDirector::stopEngine()
{
    const quint32 was = m_current;
    const bool wasReturn = m_returnPending;
    if (was)
        m_cutShort = true;
    {
        QScopedValueRollback guard(m_stopping, m_stopping + 1);
        m_engine->play(false);
        // Stopped from inside one of the engine's own notifications: its end
        // comes only after that returns, so it is taken here instead.
        if ((was && m_current == was) || (wasReturn && m_returnPending))
            engineEnded();
    }
    // The frame on screen stays; an exit path starts from it.
    m_engine->setFrame(m_engine->lastShownFrame());
}

void TAssistantDirector::CutShort(quint32 id)
{
    if (id == 0)
        return;
    if (m_queue.remove(id)) {
        emit stateChanged();
        return;
    }
    if (id == m_current && m_engine->isPlaying()) {
        stopEngine();
        play();
    }
}

void TAssistantDirector::Clear()
{
    m_queue.clear();
    if (m_engine->isPlaying())
        stopEngine();
    emit stateChanged();
    play();
}

bool TAssistantDirector::WaitForRequest(quint32 id)
{
    // An exit path is on its way out; anything else that loops never ends.
    if (m_engine->isPlaying() && !m_engine->exiting() && m_engine->loopsForever())
        return false;
    QPointer<TAssistantDirector> self(this);
    int playingWaits = 0;
    while (IsRequestPending(id)) {
        if (!m_enabled || !m_actor.loaded())
            return false; // nothing would ever play it
        if (m_current == id) {
            if (m_engine->loopsForever())
                return false;
            if (++playingWaits > 2)
                break;
        }
        QEventLoop loop;
        QEventLoop* outer = std::exchange(m_waitLoop, &loop);
        connect(this, &TAssistantDirector::stateChanged, &loop, &QEventLoop::quit);
        // Quitting the application ends this loop as well.
        const int r = loop.exec();
        if (!self)
            return false;
        m_waitLoop = outer;
        if (r != 0 || QCoreApplication::closingDown())
            return false;
    }
    return true;
}

void TAssistantDirector::setIdleLevel(int level)
{
    if (level < IdleLevelFirst || level > IdleLevelLast)
        return;
    m_idleLevel = level;
    m_idleCountdown = 112 - 4 * level + random(10);
    if (level == IdleLevelFirst && m_current && m_current == m_idleRequest && m_engine->isPlaying()
        && m_engine->loopsForever())
        CutShort(m_current);
}

void TAssistantDirector::armIdle()
{
    const bool run = m_autoIdle && m_enabled && m_actor.loaded() && !m_engine->isPlaying() && m_queue.isEmpty()
        && !m_inIdle && !m_returnPending && !m_current;
    if (!run)
        m_idleTimer.stop();
    else if (!m_idleTimer.isActive())
        m_idleTimer.start(m_idleInterval);
}

void TAssistantDirector::idleTimerTick()
{
    m_idleTimer.stop();
    if (m_inIdle)
        return;
    QPointer<TAssistantDirector> self(this);
    {
        QScopedValueRollback guard(m_inIdle, true);
        bool handled = false;
        emit idle(m_idleLevel - 24, &handled);
        if (!self)
            return;
        if (handled) {
            m_idleRequest = m_queue.isEmpty() ? m_current : m_queue.last();
        } else if (const int index = pickState(m_idleLevel)) {
            m_idleRequest = nextId(index);
            m_queue.append(m_idleRequest);
            play();
        }
        if (--m_idleCountdown <= 0)
            setIdleLevel(std::min(m_idleLevel + 1, IdleLevelLast));
        m_idleInterval = IdleIntervalMs + random(1000) - random(1000);
    }
    armIdle();
    emit stateChanged();
}

} // namespace vedomec
