#include "oaActor.h"

#include "ActorAnimation.h"

#include "platform/Cp1250.h"
#include "platform/FileSystem.h"

#include <QtEndian>

#include <cstring>

namespace vedomec {

namespace {

constexpr qsizetype NameField = 256;

QByteArray readName(const uchar* field)
{
    return QByteArray(reinterpret_cast<const char*>(field + 1), field[0]);
}

void writeName(uchar* field, const QString& name)
{
    const QByteArray bytes = unicodeToCp1250(name).left(255);
    field[0] = uchar(bytes.size());
    std::memcpy(field + 1, bytes.constData(), size_t(bytes.size()));
}

bool equalsIgnoringAsciiCase(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z')
            x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = char(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

using GetActorInfoFn = const void* (*)();

// The library may hand out its block from its own data or from memory it
// allocated; only what the block says is checked, never where it lies.  A
// pointer to memory that is not there makes no valid block, and a block
// that begins in the library's data must end there: records running past
// the library's memory are not the library's.
std::optional<ActorInfo> readActorInfo(const DynamicLibrary& lib, const void* block)
{
    const std::optional<QByteArray> header = DynamicLibrary::copyMemory(block, ActorInfoHeaderSize);
    if (!header)
        return std::nullopt;
    const qsizetype count = qFromLittleEndian<quint16>(header->constData() + 522);
    const qsizetype size = ActorInfoHeaderSize + count * AnimationRecordSize;
    if (lib.containsRange(block, 1) && !lib.containsRange(block, size_t(size)))
        return std::nullopt;
    const std::optional<QByteArray> whole = DynamicLibrary::copyMemory(block, size_t(size));
    if (!whole)
        return std::nullopt;
    return parseActorInfo(reinterpret_cast<const uchar*>(whole->constData()), whole->size());
}

} // namespace

std::optional<ActorInfo> parseActorInfo(const uchar* block, qsizetype available)
{
    if (!block || available < ActorInfoHeaderSize)
        return std::nullopt;
    if (qFromLittleEndian<quint16>(block) != ActorInfoVersion)
        return std::nullopt;
    const int count = qFromLittleEndian<quint16>(block + 522);
    if (count < 1 || available < ActorInfoHeaderSize + count * AnimationRecordSize)
        return std::nullopt;
    ActorInfo info;
    info.name = cp1250ToUnicode(readName(block + 264));
    info.frameWidth = block[520];
    info.frameHeight = block[521];
    info.animations.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const uchar* r = block + ActorInfoHeaderSize + i * AnimationRecordSize;
        TAnimationRecord a;
        a.rawName = readName(r);
        a.name = cp1250ToUnicode(a.rawName);
        a.resourceId = qFromLittleEndian<quint16>(r + 256);
        a.states = qFromLittleEndian<quint64>(r + 258);
        a.attribute = r[266];
        a.kind = r[268];
        a.returnAnimation = qFromLittleEndian<quint16>(r + 270);
        info.animations.push_back(std::move(a));
    }
    return info;
}

QByteArray buildActorInfo(const ActorInfo& info)
{
    const qsizetype count = qsizetype(info.animations.size());
    QByteArray block(ActorInfoHeaderSize + count * AnimationRecordSize, '\0');
    auto* b = reinterpret_cast<uchar*>(block.data());
    qToLittleEndian<quint16>(ActorInfoVersion, b);
    writeName(b + 264, info.name);
    b[520] = uchar(info.frameWidth);
    b[521] = uchar(info.frameHeight);
    qToLittleEndian<quint16>(quint16(count), b + 522);
    for (qsizetype i = 0; i < count; ++i) {
        const TAnimationRecord& a = info.animations[size_t(i)];
        uchar* r = b + ActorInfoHeaderSize + i * AnimationRecordSize;
        writeName(r, a.name);
        qToLittleEndian<quint16>(a.resourceId, r + 256);
        qToLittleEndian<quint64>(a.states, r + 258);
        r[266] = a.attribute;
        r[268] = a.kind;
        qToLittleEndian<quint16>(a.returnAnimation, r + 270);
    }
    return block;
}

TAssistantActor::TAssistantActor(QObject* parent)
    : QObject(parent), m_random(&SystemRandom::instance())
{
}

TAssistantActor::~TAssistantActor() = default;

void TAssistantActor::setRandom(IRandom* random)
{
    m_random = random ? random : &SystemRandom::instance();
}

void TAssistantActor::setLibrary(const QString& fileName)
{
    if (equalsIgnoringAsciiCase(fileName.toUtf8(), m_library.toUtf8()))
        return;
    if (fileName.isEmpty()) {
        m_lib.unload();
        m_library.clear();
        m_info = ActorInfo {};
        m_stateCounts.fill(0);
        emit libraryChanged();
        return;
    }

    const QString path = fs::resolve(fileName);
    if (path.isEmpty() || !fs::isFile(path))
        throw EActorError(QStringLiteral("%1\r\nActor library file not found").arg(fileName));
    auto invalid = [&] { return EActorError(QStringLiteral("%1\r\nFile is not a valid actor library").arg(fileName)); };

    DynamicLibrary lib;
    if (!lib.load(path))
        throw invalid();
    void* entry = lib.findExport("GetActorInfo");
    auto getInfo = reinterpret_cast<GetActorInfoFn>(entry);
    if (!getInfo || !lib.isCode(entry))
        throw invalid();
    const void* block = nullptr;
    try {
        block = getInfo();
    } catch (...) {
        throw invalid();
    }
    std::optional<ActorInfo> info = readActorInfo(lib, block);
    if (!info)
        throw invalid();

    m_lib = std::move(lib);
    m_library = fileName;
    m_info = std::move(*info);
    m_stateCounts.fill(0);
    for (const TAnimationRecord& a : m_info.animations)
        for (int s = 0; s < AnimationStates; ++s)
            if (a.servesState(s))
                ++m_stateCounts[size_t(s)];
    emit libraryChanged();
}

const TAnimationRecord* TAssistantActor::animation(int number) const
{
    if (number < 1 || number > animationCount())
        return nullptr;
    return &m_info.animations[size_t(number - 1)];
}

int TAssistantActor::findByName(const QString& name) const
{
    if (name.isEmpty())
        return 0;
    const QByteArray wanted = unicodeToCp1250(name);
    for (int i = 0; i < animationCount(); ++i)
        if (equalsIgnoringAsciiCase(m_info.animations[size_t(i)].rawName, wanted))
            return i + 1;
    return 0;
}

int TAssistantActor::stateCount(int state) const
{
    return state >= 0 && state < AnimationStates ? m_stateCounts[size_t(state)] : 0;
}

int TAssistantActor::pickByState(int state, int n) const
{
    if (state == 0 || !loaded())
        return 0;
    const int count = stateCount(state);
    if (count == 0 || n < 0)
        return 0;
    if (n == 0)
        n = 1 + m_random->bounded(count);
    else if (n > count)
        n = (n - 1) % count + 1; // 5 of 3 is the second; 6 of 3 the third
    for (int i = 0; i < animationCount(); ++i)
        if (m_info.animations[size_t(i)].servesState(state) && --n == 0)
            return i + 1;
    return 0;
}

int TAssistantActor::firstDamagedAnimation() const
{
    for (int i = 1; i <= animationCount(); ++i) {
        try {
            const QByteArrayView resource = m_lib.resource(animation(i)->resourceId);
            if (resource.isEmpty())
                return i;
            (void)readAnimationResource(resource);
        } catch (const EInvalidAnimationData&) {
            return i;
        }
    }
    return 0;
}

TRequestInfo TAssistantActor::GetRequestInfo(quint32 requestId) const
{
    TRequestInfo r;
    const TAnimationRecord* a = requestId ? animation(int(requestId & 0xFFFF)) : nullptr;
    if (!a)
        return r;
    r.name = a->name;
    r.states[0] = quint32(a->states);
    r.states[1] = quint32(a->states >> 32);
    r.attribute = a->attribute;
    r.kind = a->kind;
    if (a->kind == akReturn)
        if (const TAnimationRecord* back = animation(a->returnAnimation))
            r.returnName = back->name;
    return r;
}

} // namespace vedomec
