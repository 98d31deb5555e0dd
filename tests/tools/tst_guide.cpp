// The Czech guide for teachers and pupils (docs/navod.md) is only as good
// as its examples: every test written in it is made into a table with the
// guide's own command and imported through the program's dialogs, every
// command block runs, in order, on a pupil's account in a sandbox, and the
// keys and buttons it names are the program's.
#include "AppFixture.h"

#include "exchange/Exchange.h"
#include "exchange/TestSource.h"
#include "config/DataFolder.h"
#include "config/Settings.h"
#include "platform/AppPath.h"
#include "data/Table.h"

#include <QAbstractButton>
#include <QAction>
#include <QDirIterator>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

struct Block {
    QString kind;   // "text" or "sh"
    QString name;   // the file a text example is saved as
    QString body;
    int line = 0;
};

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString guide() { return readText(qEnvironmentVariable("VEDOMEC_SOURCE_DIR") + QStringLiteral("/docs/navod.md")); }

QList<Block> fencedBlocks(const QString& markdown)
{
    QList<Block> out;
    const QStringList lines = markdown.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(QLatin1String("```")))
            continue;
        const QStringList info = lines[i].mid(3).split(u' ', Qt::SkipEmptyParts);
        Block b;
        b.kind = info.value(0);
        b.name = info.value(1);
        b.line = i + 1;
        for (++i; i < lines.size() && !lines[i].startsWith(QLatin1String("```")); ++i)
            b.body += lines[i] + u'\n';
        out << b;
    }
    return out;
}

QList<Block> blocksOf(const QString& kind)
{
    QList<Block> out;
    for (const Block& b : fencedBlocks(guide()))
        if (b.kind == kind)
            out << b;
    return out;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QDir().mkpath(to);
    while (it.hasNext()) {
        const QString p = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(p);
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(p, target);
    }
}

template <class T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

} // namespace

class Guide : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!guide().isEmpty(), "docs/navod.md not found");
        QVERIFY(!qEnvironmentVariable("VEDOMEC_SAMPLE_DIR").isEmpty());
    }

    // Only kinds of example this test knows how to run: nothing goes unrun.
    void everyExampleIsOfAKindThatRuns()
    {
        const QList<Block> blocks = fencedBlocks(guide());
        for (const Block& b : blocks) {
            const bool file = b.name.endsWith(QLatin1String(".txt")) || b.name.endsWith(QLatin1String(".gift"))
                           || b.name.endsWith(QLatin1String(".xml"));
            QVERIFY2(b.kind == QLatin1String("sh") || (b.kind == QLatin1String("text") && file),
                     qPrintable(QStringLiteral("navod.md:%1: a block of kind '%2'").arg(b.line).arg(b.kind)));
        }
        QVERIFY(blocksOf(QStringLiteral("text")).size() >= 3);
        QVERIFY(blocksOf(QStringLiteral("sh")).size() >= 4);
    }

    // Each test of the guide: made into a table by vedomec-mktest, imported
    // through "Import testu" and "Ok", and opened from the catalogue.
    void textExamplesImportAndOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("body");
        for (const Block& b : blocksOf(QStringLiteral("text")))
            QTest::newRow(qPrintable(b.name)) << b.name << b.body;
    }
    void textExamplesImportAndOpen()
    {
        QFETCH(QString, name);
        QFETCH(QString, body);
        QTemporaryDir work;
        const QString source = work.filePath(name);
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(body.toUtf8());
        }
        const QString table = QFileInfo(name).completeBaseName() + QStringLiteral(".dbf");
        QStringList args = {source, work.filePath(table)};
        // A file of another quiz system: one test, its kind given where
        // the format has none, as the guide tells.
        exchange::TestSource src;
        if (const auto format = exchange::guessFormat(name, body.toUtf8())) {
            exchange::ImportNames names;
            names.fileName = QFileInfo(name).completeBaseName();
            const exchange::ImportResult r = exchange::readExchange(*format, body.toUtf8(), names);
            QCOMPARE(r.tests.size(), 1);
            for (const exchange::Diagnostic& d : r.diagnostics)
                QFAIL(qPrintable(QStringLiteral("%1:%2: %3").arg(name).arg(d.line).arg(d.text)));
            src = r.tests.first();
            if (src.kind.isEmpty()) {
                src.kind = QStringLiteral("Příklad");
                args.prepend(QStringLiteral("--kind=") + src.kind);
            }
        } else {
            src = exchange::readTestSourceFile(source);
        }
        QProcess p;
        p.start(qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral("/vedomec-mktest"), args);
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        AppFixture app([&](AppFolder& f) { QFile::copy(work.filePath(table), f.import() + table); });
        app.showMain();

        QTest::keyClick(app.main, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(app.import->isVisible());
        auto* list = child<QListWidget>(app.import, "FileListBox1");
        const auto items = list->findItems(table, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        list->setCurrentItem(items.first());
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QVERIFY(app.ident->isVisible());
        QTest::mouseClick(child<QPushButton>(app.ident, "Button1"), Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join(u'\n')));
        QVERIFY(app.messages.empty());
        QVERIFY(QFile::exists(app.folder.testy() + table));

        QTest::keyClick(app.main, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(app.open->isVisible());
        auto* tree = child<QTreeWidget>(app.open, "TreeView1");
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), src.kind);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        QCOMPARE(tree->currentItem()->text(0), src.title.left(50));
        QTest::mouseClick(child<QPushButton>(app.open, "Button1"), Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join(u'\n')));
        QVERIFY(app.main->OpenTable());
        QCOMPARE(app.main->OpenTable()->RecordCount(), src.questions.size());
    }

    // The command blocks, in order, on a pupil's account that has started
    // the installed program once: the sandbox stands in for the machine's
    // /usr/share/vedomec, /srv and /etc/xdg, and "sudo" runs the command as
    // it is.  A block that names another place outside the sandbox is not
    // run.
    void commandsRunInOrder()
    {
        // The teacher's account and the groups of the guide do not exist on
        // the machine that runs the tests: the account running them stands
        // in for them, and a group the guide adds is that account's group.
        static const QString Accounts = QStringLiteral(
            "chown() { local a=(); for x in \"$@\"; do [[ $x == ucitel:trida ]] && x=\"$(id -un):$(id -gn)\"; a+=(\"$x\"); done; "
            "command chown \"${a[@]}\"; }\n"
            "groupadd() { :; }\n"
            "install() { local a=(); for x in \"$@\"; do [[ $x == teachers ]] && x=\"$(id -gn)\"; a+=(\"$x\"); done; "
            "command install \"${a[@]}\"; }\n");
        QTemporaryDir root;
        const QString home = root.filePath(QStringLiteral("home"));
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString sample = root.filePath(QStringLiteral("usr/share/vedomec/sample"));
        const QString work = root.filePath(QStringLiteral("work"));
        QDir().mkpath(bin);
        QDir().mkpath(work);
        QDir().mkpath(root.filePath(QStringLiteral("srv")));
        copyTree(qEnvironmentVariable("VEDOMEC_SAMPLE_DIR"), sample);
        const QString own = home + QStringLiteral("/.local/share/vedomec");
        QString error;
        QCOMPARE(TAppPath::resolve(bin, sample, own, &error), own + u'/');
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const Block& b : blocksOf(QStringLiteral("text"))) {
            QFile f(work + u'/' + b.name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(b.body.toUtf8());
        }

        static const QRegularExpression machinePath(QStringLiteral("(^|[\\s=])(/srv/|/usr/share/vedomec|/etc/xdg/)"));
        static const QRegularExpression anyPath(QStringLiteral("(^|[\\s=])/"));
        for (const Block& b : blocksOf(QStringLiteral("sh"))) {
            QString script = b.body;
            script.replace(machinePath, QStringLiteral("\\1") + root.path() + QStringLiteral("\\2"));
            QVERIFY2(!QString(script).replace(root.path(), QStringLiteral("SANDBOX")).contains(anyPath),
                     qPrintable(QStringLiteral("navod.md:%1 names a place outside the sandbox:\n%2").arg(b.line).arg(script)));
            QProcess p;
            QProcessEnvironment env;
            env.insert(QStringLiteral("HOME"), home);
            env.insert(QStringLiteral("PATH"), qEnvironmentVariable("VEDOMEC_BIN_DIR") + QStringLiteral(":/usr/bin:/bin"));
            env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(work);
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(QStringLiteral("bash"), {QStringLiteral("-euo"), QStringLiteral("pipefail"), QStringLiteral("-c"),
                                             QStringLiteral("sudo() { \"$@\"; }\n") + Accounts + script});
            QVERIFY(p.waitForFinished(60000));
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                     qPrintable(QStringLiteral("navod.md:%1:\n%2\n%3").arg(b.line).arg(script, QString::fromUtf8(p.readAll()))));
        }

        // The tables made on the pupil's own folder wait there for the import.
        for (const char* t : {"Zvirata.dbf", "Savci.dbf", "Mesta.dbf", "ZemepisCR2.dbf", "Ptaci.dbf", "Reky.dbf", "Kuchyne.dbf"})
            QVERIFY2(QFile::exists(own + QStringLiteral("/Testy/Import/") + QLatin1String(t)), t);
        // An unedited test made again is the same table, but for its date.
        QByteArray before = fileBytes(own + QStringLiteral("/Testy/ZemepisCR.dbf"));
        QByteArray after = fileBytes(own + QStringLiteral("/Testy/Import/ZemepisCR2.dbf"));
        QVERIFY(before.size() > 32);
        before.replace(1, 3, QByteArray(3, '\0'));
        after.replace(1, 3, QByteArray(3, '\0'));
        QCOMPARE(after, before);

        // The system-wide setting names the class's folder, and the program
        // runs on it, whatever the pupil's own folder holds.
        const QString classFolder = root.filePath(QStringLiteral("srv/vedomec"));
        TSettings settings;
        QVERIFY(settings.readFiles({root.filePath(QStringLiteral("etc/xdg/vedomec/vedomec.conf"))}).isEmpty());
        const TDataFolderChoice choice = chooseDataFolder(settings.value(Setting::DataFolder), {}, sample);
        QVERIFY2(choice.problem.isEmpty() && choice.notice.isEmpty(), qPrintable(choice.problem + choice.notice));
        QCOMPARE(choice.folder, classFolder);
        data::TTable catalogue;
        catalogue.SetDatabaseName(classFolder + QStringLiteral("/Data"));
        catalogue.SetTableName(QStringLiteral("Testy.DBF"));
        catalogue.SetFieldDefs(data::catalogueLayout());
        catalogue.SetIndexName(QStringLiteral("DRUHJMENO"));
        catalogue.Open();
        QVERIFY(catalogue.RecordCount() > 0);
        catalogue.Close();
    }

    // The keys and buttons the guide names are the program's own.
    void keysAndButtonsAreTheProgramsOwn()
    {
        AppFixture app;
        QList<QKeySequence> shortcuts;
        for (QAction* a : app.main->findChildren<QAction*>())
            shortcuts << a->shortcuts();
        static const QRegularExpression keyRow(QStringLiteral("^\\s*\\| ([^|]*[A-Z0-9][^|]*) \\| [^|]+ \\|$"),
                                               QRegularExpression::MultilineOption);
        int keys = 0;
        for (auto it = keyRow.globalMatch(guide()); it.hasNext();) {
            const QString cell = it.next().captured(1).trimmed();
            if (cell == QStringLiteral("Klávesa"))
                continue;
            for (const QString& key : cell.split(QStringLiteral(" nebo "))) {
                QVERIFY2(shortcuts.contains(QKeySequence::fromString(key)), qPrintable(key));
                ++keys;
            }
        }
        QCOMPARE(keys, 11);
        for (const QString& key : {QStringLiteral("Ctrl+O"), QStringLiteral("Ctrl+I")})
            QVERIFY2(shortcuts.contains(QKeySequence::fromString(key)) && guide().contains(u'(' + key + u')'), qPrintable(key));

        QStringList captions;
        for (QWidget* w : QList<QWidget*>{app.main, app.open, app.import, app.ident, app.results})
            for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                captions << b->text();
        static const QRegularExpression bold(QStringLiteral("\\*\\*([^*]+)\\*\\*"));
        int named = 0;
        for (auto it = bold.globalMatch(guide()); it.hasNext(); ++named) {
            const QString caption = it.next().captured(1);
            QVERIFY2(captions.contains(caption), qPrintable(caption));
        }
        QVERIFY(named >= 6);
    }

    // The package the guide installs is the one the build makes, by name.
    void packageNameIsTheBuilds()
    {
        static const QRegularExpression deb(QStringLiteral("\\./(vedomec_([0-9.]+)_[a-z0-9]+\\.deb)"));
        const QRegularExpressionMatch m = deb.match(guide());
        QVERIFY(m.hasMatch());
        QCOMPARE(m.captured(2), qEnvironmentVariable("VEDOMEC_VERSION"));
        QVERIFY2(readText(qEnvironmentVariable("VEDOMEC_SOURCE_DIR") + QStringLiteral("/README.md")).contains(m.captured(1)),
                 "the README names another package file");
    }
};

QTEST_MAIN(Guide)
#include "tst_guide.moc"
