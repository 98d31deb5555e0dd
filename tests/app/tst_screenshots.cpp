// The README's pictures show what the program shows today: taken again from
// the real program, each must match the one in docs/screenshots but for a
// few pixels (a clock's digit).  When the look changes on purpose, run
// `bash scripts/screenshots.sh` and commit the new pictures.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestScreenshots : public QObject {
    Q_OBJECT
private slots:
    void picturesAreCurrent()
    {
        QTemporaryDir out;
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(VEDOMEC_SCREENSHOTS), {out.path()});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);

        const QDir committed(qEnvironmentVariable("VEDOMEC_SOURCE_DIR") + QStringLiteral("/docs/screenshots"));
        const QStringList names{QStringLiteral("guide.png"), QStringLiteral("test.png"), QStringLiteral("results.png")};
        QCOMPARE(QDir(out.path()).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name),
                 QStringList({names[0], names[2], names[1]}));
        const QString hint = QStringLiteral(" differs from what the program shows: run bash scripts/screenshots.sh "
                                            "and commit docs/screenshots");
        for (const QString& name : names) {
            const QImage now(QDir(out.path()).filePath(name));
            const QImage then(committed.filePath(name));
            QVERIFY2(!now.isNull(), qPrintable(name));
            QVERIFY2(now.size() == then.size(), qPrintable(name + hint));
            const QImage a = now.convertToFormat(QImage::Format_RGB32);
            const QImage b = then.convertToFormat(QImage::Format_RGB32);
            qint64 differing = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x)
                    differing += a.pixel(x, y) != b.pixel(x, y);
            QVERIFY2(differing * 1000 <= qint64(a.width()) * a.height(),
                     qPrintable(QStringLiteral("%1 (%2 pixels)").arg(name + hint).arg(differing)));
        }
    }
};

QTEST_GUILESS_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
