// The actor library: the check every library goes through and its two
// errors, what the actor says about its animations, and the sample
// character the build makes.
#include "assistant/ActorAnimation.h"
#include "assistant/oaActor.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace vedomec;

namespace {

QString testActor(const char* name)
{
    return QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_%1.so").arg(QLatin1String(name));
}

QString loadError(TAssistantActor& actor, const QString& file)
{
    try {
        actor.setLibrary(file);
    } catch (const EActorError& e) {
        return e.message();
    }
    return QStringLiteral("loaded");
}

} // namespace

class TestActor : public QObject {
    Q_OBJECT
private slots:
    void validLibrary()
    {
        TAssistantActor actor;
        QSignalSpy changed(&actor, &TAssistantActor::libraryChanged);
        QVERIFY(!actor.loaded());
        QCOMPARE(actor.animationCount(), 0);
        QCOMPARE(actor.frameSize(), QSize(0, 0));
        QCOMPARE(actor.findByName(QStringLiteral("Write")), 0);
        QCOMPARE(actor.pickByState(9, 0), 0);

        actor.setLibrary(testActor("trio"));
        QCOMPARE(changed.count(), 1);
        QVERIFY(actor.loaded());
        QCOMPARE(actor.ActorName(), QStringLiteral("Trio"));
        QCOMPARE(actor.frameSize(), QSize(32, 24));
        QCOMPARE(actor.animationCount(), 5);
        QCOMPARE(actor.animation(2)->name, QStringLiteral("Čtení"));
        QCOMPARE(actor.animation(3)->resourceId, quint16(9));
        QVERIFY(!actor.animation(0));
        QVERIFY(!actor.animation(6));
        // The module hands out its resources by number, sized by the symbol.
        QCOMPARE(actor.module().resource(7).toByteArray(), QByteArray("ZVA1!"));
        QVERIFY(actor.module().resource(8).isEmpty());
        QVERIFY(actor.module().resource(12).isEmpty()); // a function, not data
    }

    void libraryErrors_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        const QString notFound = QStringLiteral("%1\r\nActor library file not found");
        const QString invalid = QStringLiteral("%1\r\nFile is not a valid actor library");
        const QString missing = QStringLiteral(VEDOMEC_TEST_ACTORS "/nothing.so");
        QTest::newRow("missing file") << missing << notFound.arg(missing);
        QTest::newRow("a folder") << QStringLiteral(VEDOMEC_TEST_ACTORS) << notFound.arg(QStringLiteral(VEDOMEC_TEST_ACTORS));
        for (const char* name :
             {"badversion", "nocount", "nullinfo", "noexport", "dataexport", "throwing", "oversized", "wildinfo"})
            QTest::newRow(name) << testActor(name) << invalid.arg(testActor(name));
    }
    void libraryErrors()
    {
        QFETCH(QString, file);
        QFETCH(QString, error);
        TAssistantActor actor;
        actor.setLibrary(testActor("trio"));
        QSignalSpy changed(&actor, &TAssistantActor::libraryChanged);
        QCOMPARE(loadError(actor, file), error);
        // The library loaded before stays, name and all.
        QCOMPARE(changed.count(), 0);
        QCOMPARE(actor.Library(), testActor("trio"));
        QCOMPARE(actor.ActorName(), QStringLiteral("Trio"));
        QCOMPARE(actor.findByName(QStringLiteral("Third")), 3);
        QCOMPARE(actor.module().resource(7).size(), 5);
    }

    // The library may keep its block in memory it allocated: only what the
    // block says is checked.
    void blockFromTheLibrarysHeap()
    {
        TAssistantActor actor;
        actor.setLibrary(testActor("heapinfo"));
        QVERIFY(actor.loaded());
        QCOMPARE(actor.ActorName(), QStringLiteral("Trio"));
        QCOMPARE(actor.frameSize(), QSize(32, 24));
        QCOMPARE(actor.animationCount(), 5);
        QCOMPARE(actor.findByName(QStringLiteral("ČTENí")), 2);
        QCOMPARE(actor.GetRequestInfo(3).returnName, QStringLiteral("Back"));
        QCOMPARE(actor.pickByState(9, 2), 2);
    }

    // A library file cut short (as a copy broken off half way leaves it)
    // or with one bit flipped in its headers is refused before the system
    // loader maps it; the library loaded before stays.
    void damagedLibraryFiles()
    {
        const QByteArray whole = [] {
            QFile f(testActor("trio"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(whole.size() > 8000);
        QList<QByteArray> damaged;
        // 3000, 8000 and 12000 of 15192 bytes, and more cuts between.
        for (qsizetype n : {qsizetype(0), qsizetype(100), whole.size() * 3000 / 15192, whole.size() * 8000 / 15192,
                            whole.size() * 12000 / 15192, whole.size() - 1})
            damaged << whole.left(n);
        for (qsizetype n = 64; n < whole.size(); n += 509)
            damaged << whole.left(n);
        // The machine, the type, a segment's size in the file, the start of
        // the program headers.
        for (qsizetype bit : {18 * 8 + 1, 16 * 8 + 2, (64 + 56 * 3 + 32 + 2) * 8, 32 * 8 + 5}) {
            QByteArray b = whole;
            b[bit / 8] = char(b[bit / 8] ^ (1 << (bit % 8)));
            damaged << b;
        }
        QTemporaryDir dir;
        TAssistantActor actor;
        actor.setLibrary(testActor("heapinfo"));
        QSignalSpy changed(&actor, &TAssistantActor::libraryChanged);
        for (int i = 0; i < damaged.size(); ++i) {
            const QString file = dir.filePath(QStringLiteral("Damaged%1.so").arg(i));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(damaged[i]) == damaged[i].size());
            f.close();
            QCOMPARE(loadError(actor, file), file + QStringLiteral("\r\nFile is not a valid actor library"));
            QCOMPARE(actor.Library(), testActor("heapinfo"));
            QCOMPARE(actor.findByName(QStringLiteral("Third")), 3);
        }
        QCOMPARE(changed.count(), 0);
    }

    void fileThatIsNoLibrary()
    {
        QTemporaryDir dir;
        const QString fake = dir.filePath(QStringLiteral("Fake.so"));
        QFile f(fake);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x7F" "ELF this is not really a shared object");
        f.close();
        TAssistantActor actor;
        QCOMPARE(loadError(actor, fake), fake + QStringLiteral("\r\nFile is not a valid actor library"));
        QVERIFY(!actor.loaded());
        QVERIFY(actor.Library().isEmpty());
    }

    void namesAndCase()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(testActor("trio"), dir.filePath(QStringLiteral("Trio.so"))));
        TAssistantActor actor;
        QSignalSpy changed(&actor, &TAssistantActor::libraryChanged);
        // The file is found without regard to the case of its name.
        actor.setLibrary(dir.filePath(QStringLiteral("TRIO.SO")));
        QCOMPARE(changed.count(), 1);
        // The same name in other ASCII case does nothing at all.
        actor.setLibrary(dir.filePath(QStringLiteral("trio.so")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(actor.Library(), dir.filePath(QStringLiteral("TRIO.SO")));
        // An empty name unloads.
        actor.setLibrary(QString());
        QCOMPARE(changed.count(), 2);
        QVERIFY(!actor.loaded());
        QCOMPARE(actor.ActorName(), QString());
        QCOMPARE(actor.animationCount(), 0);
        QCOMPARE(actor.pickByState(9, 1), 0);
        actor.setLibrary(QString());
        QCOMPARE(changed.count(), 2);
    }

    void findByName()
    {
        TAssistantActor actor;
        actor.setLibrary(testActor("trio"));
        QCOMPARE(actor.findByName(QStringLiteral("write")), 1);
        QCOMPARE(actor.findByName(QStringLiteral("WRITE")), 1);
        QCOMPARE(actor.findByName(QString()), 0);
        QCOMPARE(actor.findByName(QStringLiteral("Writ")), 0);
        // Only ASCII letters are matched without regard to case.
        QCOMPARE(actor.findByName(QStringLiteral("ČTENÍ")), 0);
        QCOMPARE(actor.findByName(QStringLiteral("ČTENí")), 2);
    }

    void pickByState()
    {
        TAssistantActor actor;
        actor.setLibrary(testActor("trio"));
        // Animations 1, 2 and 3 serve state 9.
        QCOMPARE(actor.stateCount(9), 3);
        QCOMPARE(actor.pickByState(9, 1), 1);
        QCOMPARE(actor.pickByState(9, 3), 3);
        QCOMPARE(actor.pickByState(9, 5), 2); // 5 mod 3
        QCOMPARE(actor.pickByState(9, 4), 1);
        QCOMPARE(actor.pickByState(9, 6), 3); // a multiple of the count is the last
        QCOMPARE(actor.pickByState(3, 2), 4);
        QCOMPARE(actor.pickByState(0, 1), 0);
        QCOMPARE(actor.pickByState(4, 0), 0);
        // Bit 61 is a state; bits 62 and 63 are not.
        QCOMPARE(actor.pickByState(61, 1), 3);
        QCOMPARE(actor.stateCount(62), 0);
        QCOMPARE(actor.pickByState(62, 1), 0);
        QCOMPARE(actor.pickByState(200, 0), 0);

        SeededRandom random(44);
        actor.setRandom(&random);
        int counts[6] = {};
        for (int i = 0; i < 3000; ++i)
            ++counts[actor.pickByState(9, 0)];
        QCOMPARE(counts[0] + counts[4] + counts[5], 0);
        for (int n = 1; n <= 3; ++n)
            QVERIFY2(counts[n] > 880 && counts[n] < 1120, qPrintable(QStringLiteral("%1: %2").arg(n).arg(counts[n])));
        // The same seed, the same picks.
        SeededRandom again(44);
        actor.setRandom(&again);
        int first[6] = {};
        for (int i = 0; i < 3000; ++i)
            ++first[actor.pickByState(9, 0)];
        QCOMPARE(std::vector<int>(first, first + 6), std::vector<int>(counts, counts + 6));
        actor.setRandom(nullptr);
    }

    void requestInformation()
    {
        TAssistantActor actor;
        QCOMPARE(actor.GetRequestInfo(0x00010001).name, QString());
        actor.setLibrary(testActor("trio"));
        // The high word is the request's sequence number.
        const TRequestInfo third = actor.GetRequestInfo(0x00070003);
        QCOMPARE(third.name, QStringLiteral("Third"));
        QCOMPARE(third.states[0], 1u << 9);
        QCOMPARE(third.states[1], 1u << 29);
        QCOMPARE(third.attribute, quint8(0x7F));
        QCOMPARE(third.kind, quint8(akReturn));
        QCOMPARE(third.returnName, QStringLiteral("Back"));
        const TRequestInfo second = actor.GetRequestInfo(2);
        QCOMPARE(second.states[1], 1u << 30); // stored as it is, bit 62 and all
        QCOMPARE(second.attribute, quint8(5));
        // A return number beyond the count names nothing; nor does kind 2.
        QCOMPARE(actor.GetRequestInfo(5).returnName, QString());
        QCOMPARE(actor.GetRequestInfo(4).kind, quint8(akExitAlways));
        for (quint32 id : {0u, 0x00010000u, 0x00010006u, 0xFFFFFFFFu}) {
            const TRequestInfo none = actor.GetRequestInfo(id);
            QVERIFY(none.name.isEmpty() && none.returnName.isEmpty());
            QVERIFY(!none.states[0] && !none.states[1] && !none.attribute && !none.kind);
        }
    }

    void infoBlockRoundTrip()
    {
        ActorInfo info;
        info.name = QStringLiteral("Žluťoučký");
        info.frameWidth = 255;
        info.frameHeight = 1;
        TAnimationRecord r;
        r.name = QStringLiteral("Pozdrav");
        r.resourceId = 65535;
        r.states = 0xC000000000000021ull;
        r.kind = akReturn;
        r.returnAnimation = 1;
        info.animations = {r};
        const QByteArray block = buildActorInfo(info);
        QCOMPARE(block.size(), 524 + 272);
        const auto* bytes = reinterpret_cast<const uchar*>(block.constData());
        const std::optional<ActorInfo> back = parseActorInfo(bytes, block.size());
        QVERIFY(back);
        QCOMPARE(back->name, info.name);
        QCOMPARE(back->frameWidth, 255);
        QCOMPARE(back->animations[0].resourceId, quint16(65535));
        QCOMPARE(back->animations[0].states, r.states);
        QVERIFY(back->animations[0].servesState(5) && !back->animations[0].servesState(62));
        QVERIFY(!parseActorInfo(bytes, block.size() - 1));
    }

    // The sample character serves everything the program asks for.
    void sampleCharacter()
    {
        TAssistantActor actor;
        actor.setLibrary(QStringLiteral(VEDOMEC_SAMPLE_ACTOR));
        QCOMPARE(actor.ActorName(), QStringLiteral("Sova"));
        QCOMPARE(actor.frameSize(), QSize(120, 128));
        for (int state : {5, 6, 7, 11, 12, 13, 14, 17, 18, 19, 20, 24, 25, 26, 27, 38, 44, 53})
            QVERIFY2(actor.pickByState(state, 0) > 0, qPrintable(QString::number(state)));
        for (const char* name : {"Write", "WriteContinued", "WriteReturn", "GetAttention", "GetAttentionContinued",
                                 "GetAttentionReturn"})
            QVERIFY2(actor.findByName(QLatin1String(name)) > 0, name);
        QCOMPARE(actor.GetRequestInfo(actor.findByName(QStringLiteral("confused"))).returnName,
                 QStringLiteral("ConfusedReturn"));
        // Every animation's resource reads back with a filmstrip of whole frames.
        for (int n = 1; n <= actor.animationCount(); ++n) {
            const QByteArrayView resource = actor.module().resource(actor.animation(n)->resourceId);
            QVERIFY(!resource.isEmpty());
            const AnimationData data = readAnimationResource(resource);
            QVERIFY(data.frameCount >= 1);
            const qint32 width = qFromLittleEndian<qint32>(data.bitmap.constData() + 18);
            QCOMPARE(width, 120 * data.frameCount);
        }
        const AnimationData sleep = readAnimationResource(
            actor.module().resource(actor.animation(actor.findByName(QStringLiteral("Sleep")))->resourceId));
        QVERIFY(loopsForever(sleep) && hasExitBranches(sleep));
    }
};

QTEST_GUILESS_MAIN(TestActor)
#include "tst_actor.moc"
