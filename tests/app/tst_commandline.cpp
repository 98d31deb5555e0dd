// The command-line manners of the three programs: --help and --version print
// and succeed without a display, anything unknown is refused with a usage
// line and exit status 2, before anything else happens.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// Started with nothing that names a display and no platform chosen: a
// program that tried to open a window would abort.
Run runAt(const QString& path, const QStringList& args, const QString& home, const QStringList& extra);

Run run(const QString& program, const QStringList& args, const QString& home = QString(),
        const QStringList& extra = {})
{
    return runAt(qEnvironmentVariable("VEDOMEC_BIN_DIR") + u'/' + program, args, home, extra);
}

Run runAt(const QString& path, const QStringList& args, const QString& home, const QStringList& extra)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(v));
    for (const QString& v : extra)
        env.insert(v.section(u'=', 0, 0), v.section(u'=', 1));
    if (!home.isEmpty()) {
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    }
    p.setProcessEnvironment(env);
    p.start(path, args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void manners_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("usage"); // how its usage line begins
        QTest::newRow("vedomec") << "vedomec" << "Použití: vedomec [--data-folder SLOŽKA]";
        QTest::newRow("vedomec-editor") << "vedomec-editor" << "Použití: vedomec-editor [--data-folder SLOŽKA]";
        QTest::newRow("vedomec-mktest") << "vedomec-mktest" << "Použití: vedomec-mktest [--check]";
        QTest::newRow("vedomec-table") << "vedomec-table" << "Použití: vedomec-table PŘÍKAZ";
    }
    void manners()
    {
        QFETCH(QString, program);
        QFETCH(QString, usage);
        // A home of its own: nothing may be made in it.
        QTemporaryDir home;

        for (const QString& help : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const Run h = run(program, {help}, home.path());
            QCOMPARE(h.code, 0);
            QVERIFY2(h.out.startsWith(usage), qPrintable(h.out));
            QVERIFY2(h.out.contains(QStringLiteral("--version")), qPrintable(h.out));
            QVERIFY2(h.out.contains(QStringLiteral("man ") + program), qPrintable(h.out));
            QVERIFY2(h.err.isEmpty(), qPrintable(h.err));
        }

        const Run v = run(program, {QStringLiteral("--version")}, home.path());
        QCOMPARE(v.code, 0);
        QCOMPARE(v.out, QStringLiteral("%1 %2\n").arg(program, QStringLiteral(VEDOMEC_VERSION)));
        QVERIFY2(v.err.isEmpty(), qPrintable(v.err));

        for (const QString& bad : {QStringLiteral("--bogus"), QStringLiteral("-q")}) {
            const Run u = run(program, {bad}, home.path());
            QCOMPARE(u.code, 2);
            QVERIFY2(u.err.contains(bad), qPrintable(u.err));
            QVERIFY2(u.err.contains(usage), qPrintable(u.err));
            QVERIFY2(u.out.isEmpty(), qPrintable(u.out));
        }
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void programRefusesWhatItDoesNotTake()
    {
        QTemporaryDir home;
        const QList<QStringList> refused = {
            {QStringLiteral("Testy.DBF")},
            {QStringLiteral("--data-folder")},
            {QStringLiteral("--data-folder="), QStringLiteral("--help")},
            {QStringLiteral("-platform")},
        };
        for (const QStringList& args : refused) {
            const Run r = run(QStringLiteral("vedomec"), args, home.path());
            QVERIFY2(r.code == 2, qPrintable(args.join(u' ') + QStringLiteral(": ") + r.err));
            QVERIFY2(r.err.startsWith(QStringLiteral("vedomec: ")), qPrintable(r.err));
            QVERIFY2(r.err.contains(QStringLiteral("Použití: vedomec")), qPrintable(r.err));
        }
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // A message's sound is often the last thing before the window closes
    // (here: the word that an empty folder was filled, then the start-up
    // check closes the window).  The program must end at once and cleanly
    // every time, whatever the sound device is still doing.
    void programEndsCleanlyRightAfterAMessage()
    {
        // The program as installed: its sample beside it, where an empty
        // folder is filled from.
        QTemporaryDir home;
        const QString program = home.filePath(QStringLiteral("usr/bin/vedomec"));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("usr/bin"))));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("usr/share/vedomec"))));
        QVERIFY(QFile::copy(qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral("/vedomec"), program));
        QVERIFY(QFile::link(qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral("/../pristine-sample"),
                            home.filePath(QStringLiteral("usr/share/vedomec/sample"))));
        const QString runtime = home.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (int start = 0; start < 30; ++start) {
            const QString folder = home.filePath(QStringLiteral("empty%1").arg(start));
            QVERIFY(QDir().mkpath(folder));
            const Run r = runAt(program, {QStringLiteral("--data-folder=") + folder}, home.path(),
                              {QStringLiteral("QT_QPA_PLATFORM=offscreen"), QStringLiteral("VEDOMEC_STARTUP_CHECK=1"),
                               QStringLiteral("XDG_RUNTIME_DIR=") + runtime,
                               QStringLiteral("XDG_CONFIG_DIRS=") + home.filePath(QStringLiteral("no-etc"))});
            QVERIFY2(r.code == 0, qPrintable(QStringLiteral("start %1 ended with %2: %3").arg(start).arg(r.code).arg(r.err)));
            QVERIFY2(r.err.contains(QStringLiteral("byla prázdná")), qPrintable(r.err));
        }
    }

    void toolsTakeFileNamesAfterDoubleDash()
    {
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("-zvirata.txt")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("Druh: Přírodověda\nNázev: Zvířata\nTyp: B\n\nOtázka: Netopýr je savec.\nSprávně: ANO\n");
        source.close();
        const Run check = run(QStringLiteral("vedomec-mktest"), {QStringLiteral("--check"), QStringLiteral("--"), source.fileName()});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        const Run refused = run(QStringLiteral("vedomec-mktest"), {QStringLiteral("--check"), QStringLiteral("-zvirata.txt")});
        QCOMPARE(refused.code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
