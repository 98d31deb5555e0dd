// Every seed and every input the fuzzer once tripped over runs through the
// fuzz case again, here under the ordinary build and the sanitizers.
#include "../../fuzz/FuzzTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFuzzCases : public QObject {
    Q_OBJECT
private slots:
    void casesRunClean_data()
    {
        QTest::addColumn<QString>("path");
        const QString root = qEnvironmentVariable("VEDOMEC_SOURCE_DIR") + QStringLiteral("/fuzz");
        for (const QString& sub : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            const QDir dir(root + QLatin1Char('/') + sub);
            for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
                QTest::newRow(qPrintable(sub + QLatin1Char('/') + name)) << dir.filePath(name);
        }
    }
    void casesRunClean()
    {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QTemporaryDir dir;
        vedomec::fuzz::runTableCase(dir.path(), reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
};

QTEST_GUILESS_MAIN(TestFuzzCases)
#include "tst_fuzzcases.moc"
