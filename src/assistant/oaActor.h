#pragma once
// TAssistantActor: the loaded actor library and what it says about its
// animations.
//
// An actor library exports `GetActorInfo` (C linkage, no arguments), which
// returns the information block (little-endian, strings Windows-1250 with a
// length byte in a 256-byte field):
//   0  version word, 110          264 actor name        520 frame width
//   521 frame height              522 animation count N (at least 1)
//   524 N animation records of 272 bytes:
//     0 name, 256 resource ID (16-bit), 258 state set (64-bit, bit s = state s),
//     266 attribute, 268 kind (1 = return animation follows, 2 = leave
//     through the exits even when finished), 270 return animation number.
// Animations are numbered from 1; 0 means none.  Each animation is an RCDATA
// resource of the library (platform/DynamicLibrary.h).
#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/Errors.h"

#include <QObject>
#include <QSize>

#include <array>
#include <vector>

namespace vedomec {

class EActorError : public EVedomecError {
public:
    using EVedomecError::EVedomecError;
};

constexpr int ActorInfoVersion = 110;
constexpr qsizetype ActorInfoHeaderSize = 524;
constexpr qsizetype AnimationRecordSize = 272;
constexpr int AnimationStates = 62; // states 0..61

enum TAnimationKind : quint8 {
    akPlain = 0,
    akReturn = 1,     // the return animation follows when this one finishes
    akExitAlways = 2, // leave through the exit branches even when finished
};

struct TAnimationRecord {
    QString name;
    QByteArray rawName;     // as stored, Windows-1250
    quint16 resourceId = 0;
    quint64 states = 0;     // bit s: serves state s (bits 62 and 63 mean nothing)
    quint8 attribute = 0;
    quint8 kind = 0;
    quint16 returnAnimation = 0;

    bool servesState(int state) const { return state >= 0 && state < AnimationStates && (states >> state) & 1; }
};

// The answer of GetRequestInfo: all empty for an unknown request.
struct TRequestInfo {
    QString name;
    quint32 states[2] = {0, 0}; // low word first
    quint8 attribute = 0;
    quint8 kind = 0;
    QString returnName;
};

struct ActorInfo {
    QString name;
    int frameWidth = 0;
    int frameHeight = 0;
    std::vector<TAnimationRecord> animations;
};

// The block a library returns, for `available` readable bytes at `block`.
// nullopt when the version is not 110, there are no animations, or the
// records reach past the readable bytes.
std::optional<ActorInfo> parseActorInfo(const uchar* block, qsizetype available);
// Builds a block (for the library builder).  Names longer than 255 bytes in
// Windows-1250 are cut.
QByteArray buildActorInfo(const ActorInfo& info);

class TAssistantActor : public QObject {
    Q_OBJECT

public:
    explicit TAssistantActor(QObject* parent = nullptr);
    ~TAssistantActor() override;

    QString Library() const { return m_library; }
    // Loads, replaces or unloads the library.  The same name without regard
    // to ASCII case does nothing; an empty name unloads.  Throws EActorError
    // "<name>\r\nActor library file not found" or "<name>\r\nFile is not a
    // valid actor library"; the library loaded before then stays.
    void setLibrary(const QString& fileName);

    bool loaded() const { return m_lib.isLoaded(); }
    QString ActorName() const { return m_info.name; }
    QSize frameSize() const { return QSize(m_info.frameWidth, m_info.frameHeight); }
    int animationCount() const { return int(m_info.animations.size()); }
    // nullptr for 0 or a number above the count.
    const TAnimationRecord* animation(int number) const;
    // The first animation of that name, ASCII case ignored; 0 for none.
    int findByName(const QString& name) const;
    // The n-th animation serving the state (n = 0: a random one); 0 for none.
    int pickByState(int state, int n) const;
    // How many animations serve the state.
    int stateCount(int state) const;
    // The low 16 bits of the request ID are the animation's number.
    TRequestInfo GetRequestInfo(quint32 requestId) const;

    // Every animation read once as the engine reads it when it plays (the
    // filmstrip checked, not drawn): the number of the first that cannot be
    // played, 0 when all can.  A library is only as good as its worst
    // animation, and one found damaged while the character plays would
    // interrupt the user at a moment nobody chose.
    int firstDamagedAnimation() const;

    // The library's module, from which the engine reads animations.
    const DynamicLibrary& module() const { return m_lib; }

    // nullptr restores the system's random numbers.
    void setRandom(IRandom* random);

signals:
    // A library was loaded, replaced or unloaded.
    void libraryChanged();

private:
    DynamicLibrary m_lib;
    QString m_library;
    ActorInfo m_info;
    std::array<int, AnimationStates> m_stateCounts {};
    IRandom* m_random;
};

} // namespace vedomec
