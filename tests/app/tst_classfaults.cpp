// A class on one shared folder under faults from outside: a full disk, in
// the pupil's own folder or in the shared one, is a failed write that loses
// nothing and never ends a copy of the program; a logout or a shutdown
// (SIGTERM, SIGHUP) ends a copy as closing its window does.
//
// The full disks are small tmpfs file systems mounted in a mount namespace
// of the test's own, which needs root; elsewhere those checks are skipped.
#include "PupilCopy.h"
#include "StoreFaults.h"
#include "TestData.h"
#include "platform/ErrorText.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

const QString kTest = QStringLiteral("Zeměpis|Mapa");

// Why small file systems cannot be made here; empty when they can.
QString& noMountsWhy()
{
    static QString why;
    return why;
}

// Called before anything starts a thread: unsharing the mounts needs a
// process of one thread.
void enterOwnMountNamespace()
{
    if (::geteuid() != 0)
        noMountsWhy() = QStringLiteral("a small full file system needs root to be mounted");
    else if (::unshare(CLONE_NEWNS) != 0)
        noMountsWhy() = QStringLiteral("no mount namespace of our own: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        noMountsWhy() = QStringLiteral("the mounts cannot be made private: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

// A tmpfs of `kib` KiB over the folder, for the life of the object.
class SmallDisk {
public:
    SmallDisk(const QString& folder, int kib) : m_folder(folder)
    {
        const QByteArray options = QByteArray("size=") + QByteArray::number(kib) + "k,mode=0755";
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0)
            m_why = QStringLiteral("tmpfs cannot be mounted: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    ~SmallDisk()
    {
        if (m_why.isEmpty())
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    QString why() const { return m_why; }

    // Fills the disk but for `pages` pages of 4 KiB.
    bool fillBut(int pages)
    {
        const QByteArray path = QFile::encodeName(m_folder + QStringLiteral("/.filler"));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        static const QByteArray page(4096, 'x');
        qint64 size = ::lseek(fd, 0, SEEK_END);
        while (::pwrite(fd, page.constData(), size_t(page.size()), off_t(size)) == page.size())
            size += page.size();
        const bool ok = errno == ENOSPC && ::ftruncate(fd, off_t(std::max<qint64>(0, size - qint64(pages) * 4096))) == 0;
        ::close(fd);
        return ok;
    }

private:
    QString m_folder;
    QString m_why;
};

// A class folder with one test of `questions` questions of type A.
struct Classroom {
    explicit Classroom(int questions)
    {
        TestFile t = simpleTest(QStringLiteral("A"), questions);
        t.druh = QStringLiteral("Zeměpis");
        t.nazev = QStringLiteral("Mapa");
        folder.addTest(QStringLiteral("mapa.dbf"), t);
    }
    std::unique_ptr<PupilProcess> pupil(const QString& stateHome)
    {
        static int desktop = 0;
        auto p = std::make_unique<PupilProcess>(QCoreApplication::applicationFilePath(), folder.path(),
                                                QStringLiteral(":6%1%2").arg(QCoreApplication::applicationPid()).arg(++desktop),
                                                stateHome);
        const QString ready = p->next();
        if (ready != QLatin1String("ready"))
            qWarning("a copy did not start: %s", qPrintable(ready));
        return p;
    }
    QString table() const { return folder.testy() + QStringLiteral("mapa.dbf"); }
    QStringList stored() const { return readColumn(table(), QStringLiteral("ODPOVED")); }
    QStringList sharedFiles() const { return QDir(folder.testy()).entryList(QDir::Files); }

    AppFolder folder;
};

QStringList workingCopies(const QString& stateHome)
{
    return QDir(stateHome + QStringLiteral("/vedomec/work")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

// Ends a copy with a signal: true when it went as a closed window lets it go.
bool endsOn(PupilProcess& p, int signal)
{
    ::kill(pid_t(p.pid()), signal);
    return p.process().waitForFinished(20000) && p.process().exitStatus() == QProcess::NormalExit
        && p.process().exitCode() == 0;
}

} // namespace

class TestClassFaults : public QObject {
    Q_OBJECT

private slots:
    // The pupil's own folder is full, by every page around what his working
    // copy needs: either the opening is refused with the Czech message about
    // space and leaves nothing behind, or every answer he gives is stored and
    // scored; the copy never dies and the shared table is never touched.
    void fullOwnFolderIsAFailedWrite()
    {
        if (!noMountsWhy().isEmpty())
            QSKIP(qPrintable(noMountsWhy()));
        Classroom c(3);
        QTemporaryDir state;
        auto holder = c.pupil(state.path());
        QVERIFY(holder->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(holder->ask(QStringLiteral("answer A")).startsWith(QLatin1String("answered")));
        const QByteArray shared = bytesOf(c.table());
        const int tablePages = int((shared.size() + 4095) / 4096);

        QTemporaryDir home;
        SmallDisk disk(home.path(), 256);
        if (!disk.why().isEmpty())
            QSKIP(qPrintable(disk.why()));
        bool opened = false;
        for (int pages = 0; pages <= tablePages + 3; ++pages) {
            const QString at = QStringLiteral("%1 pages free").arg(pages);
            auto pupil = c.pupil(home.path());
            QVERIFY2(disk.fillBut(pages), qPrintable(at));
            const QString open = pupil->ask(QStringLiteral("open ") + kTest);
            if (open.startsWith(QLatin1String("opened"))) {
                opened = true;
                QVERIFY2(open.endsWith(QLatin1String("copy")), qPrintable(open));
                const QString answer = pupil->ask(QStringLiteral("answer ABC"));
                QVERIFY2(answer.startsWith(QLatin1String("answered")), qPrintable(at + QStringLiteral(": ") + answer));
                QCOMPARE(pupil->ask(QStringLiteral("results")), QStringLiteral("score 3 0"));
                QCOMPARE(pupil->ask(QStringLiteral("close")), QStringLiteral("closed"));
            } else {
                QVERIFY2(open.startsWith(QLatin1String("error ")), qPrintable(at + QStringLiteral(": ") + open));
                const QString told = czechErrorText(open.mid(6));
                QVERIFY2(told.startsWith(QStringLiteral("Vedomec nemůže zapsat")) && told.contains(QStringLiteral("na disku už není místo")),
                         qPrintable(at + QStringLiteral(": ") + told));
                QCOMPARE(workingCopies(home.path()), QStringList());
            }
            QVERIFY2(pupil->quit(), qPrintable(at));
            QCOMPARE(bytesOf(c.table()), shared);
            QCOMPARE(workingCopies(home.path()), QStringList());
        }
        QVERIFY(opened);
        QVERIFY(holder->quit());
        QCOMPARE(c.stored(), (QStringList {"", "", ""}));
    }

    // The shared folder is full: every copy starts and takes the test on a
    // working copy in the pupil's own folder, where his answers are stored;
    // vedomec-table cannot insert a row.  Nothing of the folder changes.
    void fullSharedFolderIsAFailedWrite()
    {
        if (!noMountsWhy().isEmpty())
            QSKIP(qPrintable(noMountsWhy()));
        QTemporaryDir base;
        SmallDisk disk(base.path(), 512);
        if (!disk.why().isEmpty())
            QSKIP(qPrintable(disk.why()));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(base.path()));
        Classroom c(3);
        qputenv("TMPDIR", tmp);
        QVERIFY(c.folder.path().startsWith(base.path()));
        QVERIFY(disk.fillBut(0));
        const QString catalogue = c.folder.path() + QStringLiteral("Data/Testy.DBF");
        const QByteArray table = bytesOf(c.table()), before = bytesOf(catalogue);

        QTemporaryDir state;
        auto first = c.pupil(state.path());
        auto second = c.pupil(state.path());
        QVERIFY(first->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("copy")));
        QVERIFY(second->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("copy")));
        const QString answer = first->ask(QStringLiteral("answer AB")); // a) stored at F7
        QVERIFY2(answer.startsWith(QLatin1String("answered")), qPrintable(answer));
        QVERIFY(second->ask(QStringLiteral("answer AB")).startsWith(QLatin1String("answered")));
        QVERIFY(first->quit());
        QVERIFY(second->quit());
        QCOMPARE(bytesOf(c.table()), table);

        QProcess tool;
        tool.start(QStringLiteral(VEDOMEC_TABLE_TOOL),
                   {QStringLiteral("insert"), catalogue, QStringLiteral("NAZEV=novy.dbf"), QStringLiteral("DRUH=Dějepis")});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(!tool.readAllStandardError().isEmpty());
        QCOMPARE(bytesOf(catalogue), before);
    }

    // SIGTERM and SIGHUP end a copy as closing its window does: the answers
    // in the shared table are erased, a working copy goes, and so do the
    // journals; also while a message waits for its answer.
    void signalsEndACopyAsClosingItsWindow()
    {
        Classroom c(3);
        QTemporaryDir state;
        auto holder = c.pupil(state.path());
        QVERIFY(holder->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(holder->ask(QStringLiteral("answer AB")).startsWith(QLatin1String("answered")));
        auto copy = c.pupil(state.path());
        QVERIFY(copy->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("copy")));
        QVERIFY(copy->ask(QStringLiteral("answer CD")).startsWith(QLatin1String("answered")));
        QCOMPARE(workingCopies(state.path()).size(), 1);

        QVERIFY(endsOn(*copy, SIGHUP));
        QCOMPARE(workingCopies(state.path()), QStringList());
        QCOMPARE(c.stored(), (QStringList {"A", "", ""}));
        QVERIFY(endsOn(*holder, SIGTERM));
        QCOMPARE(c.stored(), (QStringList {"", "", ""}));
        QCOMPARE(c.sharedFiles(), QStringList {"mapa.dbf"});

        auto waiting = c.pupil(state.path());
        QVERIFY(waiting->ask(QStringLiteral("open ") + kTest).endsWith(QLatin1String("shared")));
        QVERIFY(waiting->ask(QStringLiteral("answer BB")).startsWith(QLatin1String("answered")));
        QCOMPARE(c.stored(), (QStringList {"B", "", ""}));
        QCOMPARE(waiting->ask(QStringLiteral("end-waiting")), QStringLiteral("waiting"));
        QVERIFY(endsOn(*waiting, SIGTERM));
        QCOMPARE(c.stored(), (QStringList {"", "", ""}));
        QCOMPARE(c.sharedFiles(), QStringList {"mapa.dbf"});
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--pupil") == 0)
        return runPupil(argc, argv, QString::fromLocal8Bit(argv[2]));
    enterOwnMountNamespace();
    QCoreApplication app(argc, argv);
    TestClassFaults t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_classfaults.moc"
