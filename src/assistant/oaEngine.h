#pragma once
// TAssistantEngine: plays the frames of one animation on a thread of its
// own.
//
// The thread is started parked and costs nothing until the first play.
// While playing it shows a frame, sleeps the frame's duration less the time
// the hand-over took (divided by the speed), and picks the next frame by the
// animation's branches; at the end it reports on the main thread and parks
// again.  Everything that touches windows, the director or sound - the frame
// hand-over and the end notification - runs on the main thread while the
// engine thread waits for it: the two threads never run that code at once,
// so no locks guard the engine's tables.
//
// All operations are called on the main thread.  The tables and the
// filmstrip are only replaced while the engine is not playing.
#include "assistant/ActorAnimation.h"
#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/Sleeper.h"
#include "platform/WaveSound.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vedomec {

class TAssistantEngine : public QObject {
    Q_OBJECT

public:
    // What the engine uses of the outside world; tests replace each part.
    // nullptr parts are the system's clock, sleep and random numbers and the
    // sound device.
    struct Services {
        IClock* clock = nullptr;
        ISleeper* sleeper = nullptr;
        IRandom* random = nullptr;
        IWavePlayer* sound = nullptr;
    };

    explicit TAssistantEngine(QObject* parent = nullptr);
    explicit TAssistantEngine(const Services& services, QObject* parent = nullptr);
    // Ends the thread (waking it where it waits) and waits for it.  Must not
    // be called from inside the engine's own notifications.
    ~TAssistantEngine() override;

    // Resets, then reads the animation resource.  Throws
    // EInvalidAnimationData ("Invalid animation data"); the engine is then
    // left empty.
    void loadAnimation(const DynamicLibrary& module, quint16 resourceId);
    void loadAnimation(QByteArrayView resource);
    // Stops playing and drops the animation.
    void reset();

    // On: from the current frame.  Off: returns once the thread has parked
    // (or playing was switched on again from a notification); the end
    // notification is delivered meanwhile.
    void play(bool on);
    bool isPlaying() const { return m_playing; }
    // Makes frame n (at most the last) current and shows it at once.
    void setFrame(int n);

    bool loopsForever() const { return vedomec::loopsForever(m_tables); }
    bool hasExitBranches() const { return vedomec::hasExitBranches(m_tables); }

    // Leave through the exit branches.
    void setExiting(bool on) { m_exiting = on; }
    bool exiting() const { return m_exiting; }
    // Percent; 0 is refused.
    void setSpeed(int percent);
    int speed() const { return m_speed; }
    void setMute(bool on) { m_mute = on; }
    bool mute() const { return m_mute; }
    void setPriority(QThread::Priority priority);
    QThread::Priority priority() const { return m_priority; }

    int frameCount() const { return m_tables.frameCount; }
    const AnimationTables& tables() const { return m_tables; }
    int currentFrame() const { return m_current; }
    int lastShownFrame() const { return m_lastShown; }
    bool atEnd() const { return m_atEnd; }
    bool loading() const { return m_loading; }
    // Duration of the last hand-over, in hundredths of a second.
    int drawTime() const { return m_drawTime; }
    QSize frameSize() const { return m_frameSize; }
    // The colour the animation's frames are transparent in.
    QColor transparentColor() const;
    // The frames side by side, the transparent colour made transparent.
    const QImage& filmstrip() const { return m_filmstrip; }
    // The frame shown last (transparent where the animation is).
    const QImage& frameBitmap() const { return m_frameBitmap; }
    const QByteArray& frameSound(int frame) const;

    // True while the thread waits to be played.
    bool isParked() const;
    // Processor time the engine thread has used (for benchmarks).
    qint64 threadCpuTimeNs() const;

signals:
    // A new frame is ready (frame notification); the engine waits until the
    // receivers return.
    void frameChanged(const QImage& frame);
    // The animation ended or was stopped (end notification).  Not sent when
    // playing was switched on again before it got through.
    void animationEnded();

private:
    void threadLoop();
    void handOver();
    // Runs `call` on the main thread and waits for it; returns at once when
    // the engine is being destroyed before the call started.
    void runOnMain(const std::function<void()>& call);
    void serviceCall();
    void park(std::unique_lock<std::mutex>& lock);

    IClock* m_clock;
    ISleeper* m_sleeper;
    IRandom* m_random;
    IWavePlayer* m_sound;
    SystemSleeper m_ownSleeper;

    AnimationTables m_tables;
    std::vector<QByteArray> m_sounds;
    quint32 m_transparent = 0;
    QImage m_filmstrip;
    QImage m_frameBitmap;
    QSize m_frameSize;

    std::atomic<int> m_current {0};
    std::atomic<int> m_lastShown {0};
    std::atomic<bool> m_playing {false};
    std::atomic<bool> m_exiting {false};
    std::atomic<bool> m_atEnd {false};
    std::atomic<bool> m_loading {false};
    std::atomic<bool> m_mute {false};
    std::atomic<int> m_speed {100};
    std::atomic<int> m_drawTime {0};
    std::atomic<int> m_generation {0}; // counts resets
    QThread::Priority m_priority = QThread::NormalPriority;

    // Shared with the thread under m_mutex.
    enum class Call { None, Queued, Running, Done };
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_terminating {false}; // written under m_mutex
    bool m_parked = false;
    Call m_callState = Call::None;
    const std::function<void()>* m_call = nullptr;
    std::atomic<bool> m_cpuClockKnown {false};
    std::atomic<qint64> m_cpuClock {0};

    QThread* m_thread;
};

} // namespace vedomec
