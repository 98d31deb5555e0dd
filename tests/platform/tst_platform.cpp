#include "platform/Clock.h"
#include "platform/Cp1250.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace vedomec;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void cp1250RoundTripsCzech()
    {
        const QString text = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy ĚŠČŘŽÝÁÍÉŮÚŤĎŇ");
        const QByteArray bytes = unicodeToCp1250(text);
        QCOMPARE(bytes.size(), text.size());
        QCOMPARE(static_cast<unsigned char>(bytes.at(1)), 0xF8); // ř
        QCOMPARE(cp1250ToUnicode(bytes), text);
    }
    void cp1250NormalisesAndReplaces()
    {
        // "c" + combining caron is one "č" on disk.
        const QString decomposed = QStringLiteral("c\u030C");
        QCOMPARE(unicodeToCp1250(decomposed), QByteArray("\xE8"));
        // Outside the code page: one '?' per character, even outside the BMP.
        QCOMPARE(unicodeToCp1250(QStringLiteral("a\u4E2Db\U0001F600c")), QByteArray("a?b?c"));
        QCOMPARE(unicodeToCp1250(QStringLiteral("€")), QByteArray("\x80"));
    }
    void errorReportFullStopRule()
    {
        QCOMPARE(errorReportText(QStringLiteral("Field 'X' not found")), QStringLiteral("Field 'X' not found."));
        QCOMPARE(errorReportText(QStringLiteral("Chyba 5")), QStringLiteral("Chyba 5."));
        QCOMPARE(errorReportText(QStringLiteral("Hotovo.")), QStringLiteral("Hotovo."));
        QCOMPARE(errorReportText(QStringLiteral("Pozor!")), QStringLiteral("Pozor!"));
        QCOMPARE(errorReportText(QStringLiteral("a)")), QStringLiteral("a)"));
        QCOMPARE(errorReportText(QString()), QString());
    }
    void caseInsensitiveLookup()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("DATA/Sub")));
        QFile f(tmp.path() + QStringLiteral("/DATA/Sub/Testy.DBF"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString found = fs::resolve(tmp.path() + QStringLiteral("/data/sub/testy.dbf"));
        QCOMPARE(found, tmp.path() + QStringLiteral("/DATA/Sub/Testy.DBF"));
        QVERIFY(fs::isFile(tmp.path() + QStringLiteral("/Data/SUB/TESTY.dbf")));
        QVERIFY(!fs::isFile(tmp.path() + QStringLiteral("/Data/SUB")));
        QVERIFY(fs::isDir(tmp.path() + QStringLiteral("/data/sub")));
        QVERIFY(fs::resolve(tmp.path() + QStringLiteral("/nothing/x")).isEmpty());
        QCOMPARE(fs::locate(tmp.path(), QStringLiteral("data/new.dbf")), tmp.path() + QStringLiteral("/DATA/new.dbf"));
    }
    void plainFileNames()
    {
        QVERIFY(fs::isPlainFileName(QStringLiteral("Zeměpis.dbf")));
        QVERIFY(!fs::isPlainFileName(QStringLiteral("../x.dbf")));
        QVERIFY(!fs::isPlainFileName(QStringLiteral("a\\b.dbf")));
        QVERIFY(!fs::isPlainFileName(QStringLiteral("..")));
        QVERIFY(!fs::isPlainFileName(QString()));
    }
    void renameNeverReplaces()
    {
        QTemporaryDir tmp;
        const QString a = tmp.path() + QStringLiteral("/a"), b = tmp.path() + QStringLiteral("/b");
        QFile fa(a); QVERIFY(fa.open(QIODevice::WriteOnly)); fa.write("A"); fa.close();
        QFile fb(b); QVERIFY(fb.open(QIODevice::WriteOnly)); fb.write("B"); fb.close();
        QVERIFY(!fs::renameNoReplace(a, b));
        QVERIFY(fb.open(QIODevice::ReadOnly)); QCOMPARE(fb.readAll(), QByteArray("B")); fb.close();
        QVERIFY(fs::renameNoReplace(a, tmp.path() + QStringLiteral("/c")));
        QVERIFY(!QFile::exists(a));
    }
    void copyNewRefusesExistingAndCleansUp()
    {
        QTemporaryDir tmp;
        const QString a = tmp.path() + QStringLiteral("/a"), b = tmp.path() + QStringLiteral("/b");
        QFile fa(a); QVERIFY(fa.open(QIODevice::WriteOnly)); fa.write(QByteArray(200000, 'x')); fa.close();
        QString err;
        QVERIFY(fs::copyNew(a, b, &err));
        QCOMPARE(QFileInfo(b).size(), 200000);
        QVERIFY(!fs::copyNew(a, b, &err));
        QVERIFY(!err.isEmpty());
        QCOMPARE(QFileInfo(b).size(), 200000);
        QVERIFY(!fs::copyNew(a, tmp.path() + QStringLiteral("/missing/x"), &err));
        QVERIFY(!QFile::exists(tmp.path() + QStringLiteral("/missing/x")));
    }
    void fileSearchOrder()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("Zvuky")));
        QFile f(tmp.path() + QStringLiteral("/Zvuky/Info.wav")); QVERIFY(f.open(QIODevice::WriteOnly)); f.close();
        const QString old = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        QCOMPARE(fs::fileSearch(QStringLiteral("info.WAV"), tmp.path() + QStringLiteral("/Zvuky")),
                 tmp.path() + QStringLiteral("/Zvuky/Info.wav"));
        QDir::setCurrent(tmp.path() + QStringLiteral("/Zvuky"));
        QCOMPARE(fs::fileSearch(QStringLiteral("Info.wav"), QStringLiteral("/nowhere")), QStringLiteral("Info.wav"));
        QVERIFY(fs::fileSearch(QStringLiteral("Nic.wav"), tmp.path()).isEmpty());
        QDir::setCurrent(old);
    }
    void monotonicClocks()
    {
        const qint64 a = SystemClock::instance().nowMs();
        QVERIFY(SystemClock::instance().nowMs() >= a);
        ManualClock m;
        const qint64 t = m.nowMs();
        m.advance(12'700);
        QCOMPARE(m.nowMs() - t, 12'700);
        SeededRandom r1(7), r2(7);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(r1.bounded(100), r2.bounded(100));
    }

    // The store's failures as the user reads them: in Czech, naming the file
    // or folder, with what he can do; the store's own text only where there
    // is nothing better to say.
    void failuresAreToldInCzechWithWhatToDo()
    {
        const auto why = [](int e) { return QString::fromLocal8Bit(std::strerror(e)); };
        const QString work = QStringLiteral("/home/zak/.local/state/vedomec/work");
        const struct {
            QString message;
            QStringList said;
        } cases[] = {
            {QStringLiteral("Cannot create folder %1: %2").arg(work, why(EACCES)),
             {QStringLiteral("Vedomec nemůže vytvořit složku „%1“: chybí vám k tomu oprávnění.").arg(work),
              QStringLiteral("správce počítače"), QStringLiteral("domovské složky")}},
            {QStringLiteral("Cannot create file %1/.lock: %2").arg(work, why(EACCES)),
             {QStringLiteral("Vedomec nemůže vytvořit soubor „%1/.lock“").arg(work), QStringLiteral("správce počítače")}},
            {QStringLiteral("Cannot write to table '/srv/vedomec/Testy/mapa.dbf': %1").arg(why(ENOSPC)),
             {QStringLiteral("Vedomec nemůže zapsat do souboru „/srv/vedomec/Testy/mapa.dbf“: na disku už není místo."),
              QStringLiteral("Nic se tím nezměnilo."), QStringLiteral("Uvolněte prosím místo")}},
            {QStringLiteral("Table '/srv/vedomec/Testy/mapa.dbf' is read-only"),
             {QStringLiteral("Vedomec nesmí zapisovat do souboru „/srv/vedomec/Testy/mapa.dbf“."),
              QStringLiteral("učitele nebo správce počítače o právo zápisu")}},
            {QStringLiteral("Cannot write to table '/srv/v/a.dbf': its journal /srv/v/a.dbf-journal cannot be written "
                            "in that folder"),
             {QStringLiteral("Vedomec nesmí zapisovat do souboru „/srv/v/a.dbf“.")}},
            {QStringLiteral("Table '/srv/v/a.dbf' is in use by another program (waited 5 s); nothing was changed"),
             {QStringLiteral("Soubor „/srv/v/a.dbf“ právě používá jiný program."), QStringLiteral("za chvíli znovu")}},
            {QStringLiteral("Something odd happened"),
             {QStringLiteral("Při práci s daty nastala chyba"), QStringLiteral("(Something odd happened)")}},
        };
        for (const auto& c : cases) {
            const QString text = czechErrorText(c.message);
            for (const QString& part : c.said)
                QVERIFY2(text.contains(part), qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
