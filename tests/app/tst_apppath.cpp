// Where the program finds its data: its own folder when the data are there
// (a build, a folder copied from Windows), else, installed, a folder of the
// user's own made once from the pristine sample and kept from then on.
#include "platform/AppPath.h"

#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using vedomec::testfiles::writeFile;

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every file below `folder` with its contents, by relative path.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        out.insert(QDir(folder).relativeFilePath(p), readFile(p));
    }
    return out;
}

// An installed prefix: bin/ without data and a read-only sample under share/.
struct Prefix {
    QTemporaryDir dir;
    QString bin = dir.filePath(QStringLiteral("usr/bin"));
    QString sample = dir.filePath(QStringLiteral("usr/share/vedomec/sample"));
    QString home = dir.filePath(QStringLiteral("home/.local/share"));
    QString user = dir.filePath(QStringLiteral("home/.local/share/vedomec"));

    Prefix()
    {
        QDir().mkpath(bin);
        writeFile(sample + QStringLiteral("/Data/Testy.DBF"), "catalogue");
        writeFile(sample + QStringLiteral("/Data/TestD.DBF"), "kinds");
        writeFile(sample + QStringLiteral("/Testy/Zemepis.dbf"), "test");
        writeFile(sample + QStringLiteral("/Zvuky/Info.wav"), "RIFF");
        QDir().mkpath(sample + QStringLiteral("/Testy/Import"));
        QDirIterator it(sample, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            QFile::setPermissions(p, it.fileInfo().isDir() ? QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther
                                                           : QFile::ReadOwner | QFile::ReadOther);
        }
    }
    ~Prefix()
    {
        QDirIterator it(dir.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

} // namespace

class TestAppPath : public QObject {
    Q_OBJECT
private slots:
    void ownFolderWithDataWins()
    {
        Prefix p;
        // No home to make a folder in: the program's own folder, as ever.
        QCOMPARE(TAppPath::resolve(p.bin, p.sample, QString()), p.bin + u'/');
        // A folder copied from Windows: "DATA" in capitals is the data folder too.
        QDir().mkpath(p.bin + QStringLiteral("/DATA"));
        QCOMPARE(TAppPath::resolve(p.bin, p.sample, p.user), p.bin + u'/');
        QVERIFY(!QFileInfo::exists(p.user));

        // Not installed and no data: the own folder, as ever (opening the
        // catalogue reports what is missing).
        QTemporaryDir bare;
        QCOMPARE(TAppPath::resolve(bare.path(), bare.filePath(QStringLiteral("none")), p.user), bare.path() + u'/');
        QVERIFY(!QFileInfo::exists(p.user));
    }

    void installedMakesTheUserFolderOnce()
    {
        Prefix p;
        const auto sample = tree(p.sample);
        QString error;
        QCOMPARE(TAppPath::resolve(p.bin, p.sample, p.user, &error), p.user + u'/');
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(tree(p.user), sample);
        QVERIFY(QFileInfo(p.user + QStringLiteral("/Testy/Import")).isDir());
        // Nothing else beside it: the work folder it was made in is gone.
        QCOMPARE(QDir(p.home).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("vedomec")});
        // The user can write what the sample only lets him read.
        QVERIFY(QFileInfo(p.user + QStringLiteral("/Data/Testy.DBF")).permissions() & QFile::WriteOwner);
        QVERIFY(QFileInfo(p.user + QStringLiteral("/Testy/Import")).permissions() & QFile::WriteOwner);
        QCOMPARE(tree(p.sample), sample);

        // From then on it is the user's: what he changed or removed stays so.
        writeFile(p.user + QStringLiteral("/Data/Testy.DBF"), "changed");
        QVERIFY(QFile::remove(p.user + QStringLiteral("/Testy/Zemepis.dbf")));
        QCOMPARE(TAppPath::resolve(p.bin, p.sample, p.user, &error), p.user + u'/');
        QCOMPARE(readFile(p.user + QStringLiteral("/Data/Testy.DBF")), QByteArray("changed"));
        QVERIFY(!QFile::exists(p.user + QStringLiteral("/Testy/Zemepis.dbf")));
    }

    void anExistingFolderIsNeverFilled()
    {
        // A folder that is there already (an empty one, or a link to a folder
        // the class shares) is used as it is.
        Prefix p;
        QDir().mkpath(p.user);
        QCOMPARE(TAppPath::resolve(p.bin, p.sample, p.user), p.user + u'/');
        QVERIFY(tree(p.user).isEmpty());
    }

    void failureToMakeItIsTold()
    {
        Prefix p;
        writeFile(p.dir.filePath(QStringLiteral("home/.local/share")), "a file where the folder belongs");
        QString error;
        QCOMPARE(TAppPath::resolve(p.bin, p.sample, p.user, &error), p.user + u'/');
        QVERIFY(!error.isEmpty());
        QVERIFY(error.contains(p.dir.filePath(QStringLiteral("home/.local/share"))));
    }
};

QTEST_GUILESS_MAIN(TestAppPath)
#include "tst_apppath.moc"
