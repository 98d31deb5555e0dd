// The actor library builder: a description with its pictures and sounds
// becomes an information block and animation resources that read back as
// described, every fault names its line, and the tool never replaces a file
// it did not make.
#include "ActorSource.h"
#include "assistant/ActorAnimation.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace vedomec;
using namespace vedomec::tools;

namespace {

QByteArray wav()
{
    QByteArray b("RIFF");
    auto put = [&b](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    put(36 + 4, 4);
    b.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(8000, 4);
    put(8000, 4);
    put(1, 2);
    put(8, 2);
    b.append("data");
    put(4, 4);
    b.append("\x80\x90\x80\x70", 4);
    return b;
}

// Three frames of 6 x 4; the first frame has a transparent (alpha) corner.
void writeAssets(const QDir& dir)
{
    QImage strip(18, 4, QImage::Format_ARGB32);
    strip.fill(qRgb(10, 20, 30));
    strip.setPixel(0, 0, qRgba(255, 255, 255, 0));
    strip.setPixel(7, 1, qRgb(200, 100, 0));
    QVERIFY(strip.save(dir.filePath(QStringLiteral("walk.png"))));
    QImage one(6, 4, QImage::Format_RGB32);
    one.fill(qRgb(1, 2, 3));
    QVERIFY(one.save(dir.filePath(QStringLiteral("Back.PNG"))));
    QFile f(dir.filePath(QStringLiteral("hoot.wav")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(wav());
}

const char* const Good = "# a test actor\n"
                         "Herec: Malá sova\n"
                         "Snímek: 6 x 4\n"
                         "\n"
                         "Animace: Walk\n"
                         "Stavy: 5, 61\n"
                         "Druh: návrat\n"
                         "Návrat: back\n"
                         "Atribut: 3\n"
                         "Pás: walk.png\n"
                         "Doby: 10 0 25\n"
                         "Větev 0: 30 -> 2, 70 -> 0\n"
                         "VYCHOD 2: 0\n"
                         "zvuk 1: hoot.wav\n"
                         "\n"
                         "Animace: Back\n"
                         "Zdroj: 7\n"
                         "Pas: back.png\n"
                         "Průhledná: #010203\n"
                         "Doby: 5\n";

QString faultOf(const QByteArray& description, const QString& assets)
{
    try {
        buildActor(description, assets);
    } catch (const ActorSourceError& e) {
        return QStringLiteral("%1: %2").arg(e.line()).arg(e.detail());
    }
    return QStringLiteral("built");
}

} // namespace

class TestActorSource : public QObject {
    Q_OBJECT
private slots:
    void buildsWhatIsDescribed()
    {
        QTemporaryDir dir;
        writeAssets(QDir(dir.path()));
        const BuiltActor actor = buildActor(Good, dir.path());
        QCOMPARE(actor.info.name, QStringLiteral("Malá sova"));
        QCOMPARE(actor.info.frameWidth, 6);
        QCOMPARE(int(actor.info.animations.size()), 2);
        const TAnimationRecord& walk = actor.info.animations[0];
        QCOMPARE(walk.states, (quint64(1) << 5) | (quint64(1) << 61));
        QCOMPARE(walk.kind, quint8(akReturn));
        QCOMPARE(walk.returnAnimation, quint16(2));
        QCOMPARE(walk.attribute, quint8(3));
        QCOMPARE(walk.resourceId, quint16(101));
        QCOMPARE(actor.info.animations[1].resourceId, quint16(7));
        QVERIFY(parseActorInfo(reinterpret_cast<const uchar*>(actor.infoBlock.constData()), actor.infoBlock.size()));

        const AnimationData a = readAnimationResource(actor.resources[0].second);
        QCOMPARE(a.frameCount, 3);
        QCOMPARE(a.durations[1], quint8(0));
        QCOMPARE(a.branches[0][0].probability, quint8(30));
        QCOMPARE(a.branches[0][1].target, quint8(0));
        QCOMPARE(a.exits[2].flag, quint8(1));
        QCOMPARE(a.exits[0].flag, quint8(0));
        QCOMPARE(a.sounds[1], wav());
        QCOMPARE(a.transparentColor, 0x00FF00FFu);
        // Three colours: a bitmap with a palette; the see-through pixel took
        // the transparent colour.
        QVERIFY(qFromLittleEndian<quint16>(a.bitmap.constData() + 28) <= 8);
        const QImage strip = QImage::fromData(a.bitmap, "BMP");
        QCOMPARE(strip.size(), QSize(18, 4));
        QCOMPARE(strip.pixel(0, 0), qRgb(255, 0, 255));
        QCOMPARE(strip.pixel(7, 1), qRgb(200, 100, 0));
        QCOMPARE(readAnimationResource(actor.resources[1].second).transparentColor, 0x00030201u);

        const QByteArray source = actorLibrarySource(actor, QStringLiteral("malá.txt"));
        QVERIFY(source.startsWith(ActorSourceMarker));
        QVERIFY(source.contains("GetActorInfo(void)"));
        QVERIFY(source.contains("rcdata_7[" + QByteArray::number(actor.resources[1].second.size()) + "] ="));
        QVERIFY(source.contains("actor_info[" + QByteArray::number(524 + 2 * 272) + "]"));
    }

    void faultsNameTheirLine_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("fault");
        const QByteArray head = "Herec: X\nSnímek: 6 x 4\nAnimace: A\nPás: walk.png\n";
        QTest::newRow("unknown key") << head + "Barva: modrá\nDoby: 1 1 1\n" << QStringLiteral("5: neznámý klíč „Barva“");
        QTest::newRow("no actor name") << QByteArray("Snímek: 6 x 4\n") << QStringLiteral("0: chybí „Herec: jméno“");
        QTest::newRow("frame too wide") << QByteArray("Herec: X\nSnímek: 300 x 4\n")
                                        << QStringLiteral("2: šířka snímku musí být celé číslo od 1 do 255, ne „300“");
        QTest::newRow("key before any animation") << QByteArray("Herec: X\nSnímek: 6 x 4\nDoby: 1\n")
                                                  << QStringLiteral("3: „Doby“ patří k animaci: napište nejdřív „Animace: jméno“");
        QTest::newRow("branches above 100") << head + "Doby: 1 1 1\nVětev 0: 60 -> 1, 50 -> 2\n"
                                            << QStringLiteral("6: pravděpodobnosti větví dávají dohromady víc než 100");
        QTest::newRow("branch to no frame") << head + "Doby: 1 1 1\nVětev 0: 60 -> 3\n"
                                            << QStringLiteral("6: cílový snímek musí být celé číslo od 0 do 2, ne „3“");
        QTest::newRow("five branches") << head + "Doby: 1 1 1\nVětev 0: 1->0, 1->0, 1->0, 1->0, 1->0\n"
                                       << QStringLiteral("6: snímek má nejvýš čtyři větve");
        QTest::newRow("sound on no frame") << head + "Doby: 1 1 1\nZvuk 3: hoot.wav\n"
                                           << QStringLiteral("6: animace má jen 3 snímků (0 až 2)");
        QTest::newRow("frame key without frame") << head + "Doby: 1 1 1\nVýchod: 2\n"
                                                 << QStringLiteral("6: u „Východ“ chybí číslo snímku");
        QTest::newRow("filmstrip of another size") << head + "Doby: 1 1\n"
                                                   << QStringLiteral("4: pás „walk.png“ má 18 x 4 bodů, 2 snímků po 6 x 4 potřebuje 12 x 4");
        QTest::newRow("missing picture") << QByteArray("Herec: X\nSnímek: 6 x 4\nAnimace: A\nPás: none.png\nDoby: 1\n")
                                         << QStringLiteral("4: soubor „none.png“ nelze přečíst");
        QTest::newRow("sound that is no WAV") << head + "Doby: 1 1 1\nZvuk 0: walk.png\n"
                                              << QStringLiteral("6: „walk.png“ není přehratelný soubor WAV (PCM)");
        QTest::newRow("unknown return animation") << head + "Doby: 1 1 1\nDruh: návrat\nNávrat: Nic\n"
                                                  << QStringLiteral("7: animace „Nic“ neexistuje");
        QTest::newRow("return kind without return") << head + "Doby: 1 1 1\nDruh: návrat\n"
                                                    << QStringLiteral("3: animace „A“ druhu návrat potřebuje „Návrat:“");
        QTest::newRow("two of a name") << head + "Doby: 1 1 1\nAnimace: a\n" << QStringLiteral("6: animace „a“ už je na řádku 3");
        QTest::newRow("two of a resource") << head + "Doby: 1 1 1\nZdroj: 9\nAnimace: B\nZdroj: 9\nPás: walk.png\nDoby: 1 1 1\n"
                                           << QStringLiteral("8: zdroj 9 už má jiná animace");
        QTest::newRow("no durations") << head << QStringLiteral("3: animace „A“ nemá „Doby:“");
    }
    void faultsNameTheirLine()
    {
        QFETCH(QByteArray, description);
        QFETCH(QString, fault);
        QTemporaryDir dir;
        writeAssets(QDir(dir.path()));
        QCOMPARE(faultOf(description, dir.path()), fault);
    }

    void toolNeverReplacesAForeignFile()
    {
        QTemporaryDir dir;
        writeAssets(QDir(dir.path()));
        const QString description = dir.filePath(QStringLiteral("actor.txt"));
        QFile d(description);
        QVERIFY(d.open(QIODevice::WriteOnly));
        d.write(Good);
        d.close();
        const QString tool = qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral("/vedomec-mkactor");
        const QString output = dir.filePath(QStringLiteral("actor.c"));
        QFile mine(output);
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("int my_own_code;\n");
        mine.close();

        QProcess p;
        p.start(tool, {description, output});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("int my_own_code;\n"));
        mine.close();

        QVERIFY(QFile::remove(output));
        p.start(tool, {description, output});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        // Its own output it replaces.
        p.start(tool, {description, output});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QVERIFY(mine.readLine().startsWith(ActorSourceMarker));
        mine.close();

        // A fault: file and line, nothing written.
        QVERIFY(d.open(QIODevice::WriteOnly));
        d.write("Herec: X\nSnímek: 6 x 0\n");
        d.close();
        p.start(tool, {description, dir.filePath(QStringLiteral("other.c"))});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).startsWith(description + QStringLiteral(":2: ")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("other.c"))));
    }
};

QTEST_GUILESS_MAIN(TestActorSource)
#include "tst_actorsource.moc"
