#pragma once
// TAssistantDirector: decides what the character plays and when.
//
// Requests wait in a first-in, first-out queue and play one after another
// on the engine.  An animation that was cut short and has exit branches is
// first left through them; one that finished and names a return animation
// is followed by it; neither of these is a request of its own.  With an
// empty queue an idle timer (about three seconds, never quite the same)
// asks the owner whether it wants to do something itself, and otherwise
// plays an idle animation of the current idle level; the level rises from
// 25 to 27 the longer nothing else happens, and every request brings it
// back to 25.
//
// A request ID carries a sequence number in its high 16 bits (1 for the
// first request, counting every queued request, idle ones included) and the
// animation's number in its low 16 bits; 0 means the request was refused.
//
// Everything runs on the main thread; the engine reports the end of an
// animation there.
#include "assistant/oaActor.h"
#include "assistant/oaEngine.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <deque>

class QEventLoop;

namespace vedomec {

class TRequestQueue {
public:
    void append(quint32 id) { m_items.push_back(id); }
    // False when the request was not queued.
    bool remove(quint32 id);
    bool contains(quint32 id) const;
    quint32 takeFirst();
    quint32 last() const { return m_items.empty() ? 0 : m_items.back(); }
    bool isEmpty() const { return m_items.empty(); }
    int count() const { return int(m_items.size()); }
    void clear() { m_items.clear(); }
    QList<quint32> items() const { return QList<quint32>(m_items.begin(), m_items.end()); }

private:
    std::deque<quint32> m_items;
};

class TAssistantDirector : public QObject {
    Q_OBJECT

public:
    static constexpr int IdleLevelFirst = 25;
    static constexpr int IdleLevelLast = 27;
    static constexpr int IdleIntervalMs = 3000;

    // The services are handed to the engine; the random numbers also pick
    // animations and idle intervals.
    explicit TAssistantDirector(const TAssistantEngine::Services& services = {}, QObject* parent = nullptr);
    // Stops the engine thread and waits for it; ends a wait for a request.
    ~TAssistantDirector() override;

    TAssistantActor* actor() { return &m_actor; }
    const TAssistantActor* actor() const { return &m_actor; }
    TAssistantEngine* engine() { return m_engine; }
    const TAssistantEngine* engine() const { return m_engine; }

    // Loads, replaces or unloads the actor library (EActorError on failure,
    // the previous actor staying).  A change clears the queue and the
    // animation in hand; returns whether anything changed.
    bool setLibrary(const QString& fileName);

    bool Enabled() const { return m_enabled; }
    // Switched on, the director plays what is queued.
    void setEnabled(bool on);
    bool AutoIdle() const { return m_autoIdle; }
    void setAutoIdle(bool on);

    // 0 when the actor has no such animation (or there is no actor), or
    // when the animation was found damaged.
    quint32 PlayAnimation(const QString& name);
    quint32 PlayState(int state);
    // Queued, or playing (not its return animation).
    bool IsRequestPending(quint32 id) const;
    TRequestInfo GetRequestInfo(quint32 id) const { return m_actor.GetRequestInfo(id); }

    // A queued request leaves the queue; the playing one stops, showing the
    // frame it was showing, and will leave through its exit branches.
    void CutShort(quint32 id);
    // Empties the queue and stops the engine.
    void Clear();
    // Runs the event loop until the request is neither queued nor playing.
    // False at once when the animation playing loops for ever, or when the
    // request cannot start because the director is switched off.
    bool WaitForRequest(quint32 id);

    // 25, 26 or 27; other values are ignored.  Restarts the countdown to
    // the next level; 25 also ends an idle animation that loops for ever.
    void setIdleLevel(int level);
    int idleLevel() const { return m_idleLevel; }
    int idleCountdown() const { return m_idleCountdown; }
    // The request the last idle tick queued or adopted.
    quint32 idleRequest() const { return m_idleRequest; }
    quint32 currentRequest() const { return m_current; }
    // A return animation or an exit path is playing.
    bool returnPending() const { return m_returnPending; }
    QList<quint32> queued() const { return m_queue.items(); }
    // The animation the engine holds (0 for none).
    int loadedAnimation() const { return m_loaded; }
    // Whether the animation could not be read when it was to play; such an
    // animation is never tried again while the library stays.
    bool isDamaged(int animation) const { return m_damaged.contains(animation); }

    bool idleTimerActive() const { return m_idleTimer.isActive(); }
    int idleInterval() const { return m_idleInterval; }
    // What the idle timer runs when it fires; for tests, which do not wait
    // three seconds for it.
    void idleTimerTick();

signals:
    void playStart(quint32 requestId);
    void playStop(quint32 requestId);
    // An idle tick; level is 1, 2 or 3.  A receiver that sets *handled
    // keeps the director from playing an idle animation of its own.
    void idle(int level, bool* handled);
    // A library was loaded, replaced or unloaded.
    void libraryChanged();
    // An animation could not be read when it was to play (`reason` is the
    // reader's); sent once per animation and library, after the director
    // has gone on without it and out of the engine's notifications.
    void animationDamaged(int animation, const QString& reason);
    // Something a waiting caller may want to look at again.
    void stateChanged();

private:
    quint32 queueRequest(int index);
    quint32 nextId(int index);
    void play();
    bool startNext();
    void load(int index);
    // Marks the animation damaged and tells it once.
    void damaged(int index, const std::exception& e);
    // A random animation of the state, leaving out damaged ones.
    int pickState(int state) const;
    void startEngine();
    void engineEnded();
    void stopEngine();
    void armIdle();
    int random(int upper) { return m_random->bounded(upper); }

    TAssistantActor m_actor;
    TAssistantEngine* m_engine;
    IRandom* m_random;
    TRequestQueue m_queue;
    QTimer m_idleTimer;

    bool m_enabled = true;
    bool m_autoIdle = true;
    quint16 m_sequence = 0;
    quint32 m_current = 0;
    int m_currentIndex = 0;
    bool m_cutShort = false;
    int m_loaded = 0;          // the animation the engine holds
    // The animation that ended last, until play() has decided whether it
    // is left through its exits or followed by its return animation.
    int m_afterIndex = 0;
    bool m_afterCutShort = false;
    bool m_returnPending = false;
    quint32 m_idleRequest = 0;
    int m_idleLevel = IdleLevelFirst;
    int m_idleCountdown = 0;
    int m_idleInterval = IdleIntervalMs;
    bool m_inIdle = false;
    int m_stopping = 0;
    bool m_inPlay = false;
    QEventLoop* m_waitLoop = nullptr;
    QSet<int> m_damaged;
    int m_libraryGeneration = 0;
};

} // namespace vedomec
