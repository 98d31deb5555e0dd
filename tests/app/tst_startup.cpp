// The program's start on the data folder an option or a setting names: it
// runs on that folder, and on one it cannot use it says why in the balloon,
// opens nothing and ends, on no other folder.
#include "TestData.h"

#include "app/Hlavni.h"
#include "app/Startup.h"
#include "assistant/oaAssist.h"
#include "data/Data.h"
#include "data/Table.h"
#include "platform/AppPath.h"
#include "platform/ErrorReport.h"
#include "platform/SingleInstance.h"
#include "platform/Sound.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

// Messages and error reports collected, sounds recorded; everything put back
// at the end.
struct Start {
    RecordingSoundPlayer sound;
    std::vector<BalloonMessage> messages;
    QStringList errors;
    bool windowShownDuringMessage = false;

    Start()
    {
        setSoundPlayer(&sound);
        setErrorReportHook([this](const QString& text) { errors << text; });
        TAssistant::setTestResponder([this](const BalloonMessage& m) {
            messages.push_back(m);
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<THlavniDialog*>(w) && w->isVisible())
                    windowShownDuringMessage = true;
            return int(mrOk);
        });
    }
    ~Start()
    {
        TAssistant::setTestResponder({});
        setErrorReportHook({});
        setSoundPlayer(nullptr);
        TAppPath::setOverride(QString());
    }

    int run(const QStringList& args, const std::function<void(THlavniDialog*)>& shown = {})
    {
        TStartSettings start;
        start.settings.apply(TCommandLine::parse(args));
        return RunVedomec(*qApp, shown, start);
    }
};

bool otherCopyRunning()
{
    return SingleInstance(QStringLiteral("THlavniDialog"), QStringLiteral("Vedomec 2001")).otherRunning();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path())); }

    void init()
    {
        if (otherCopyRunning())
            QSKIP("a copy of the program is running on this machine");
    }

    void namedFolderIsUsed()
    {
        AppFolder folder;
        Start s;
        QString used;
        bool catalogueOpen = false;
        const int rc = s.run({QStringLiteral("--data-folder"), folder.path()}, [&](THlavniDialog* w) {
            used = TAppPath::Path();
            catalogueOpen = w->DataModule()->Table4->DatabaseName().startsWith(folder.path());
            w->close();
        });
        QCOMPARE(rc, 0);
        QCOMPARE(used, folder.path());
        QVERIFY(catalogueOpen);
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join(u'\n')));
        QVERIFY(s.messages.empty());
    }

    void unusableFolderIsToldInTheBalloonAndNothingElseRuns()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("srv/vedomec"));
        Start s;
        bool shown = false;
        const int rc = s.run({QStringLiteral("--data-folder=") + missing}, [&](THlavniDialog* w) {
            shown = true;
            w->close();
        });
        QCOMPARE(rc, 1);
        QVERIFY(!shown);
        QCOMPARE(int(s.messages.size()), 1);
        const BalloonMessage& m = s.messages.front();
        QCOMPARE(m.type, int(mtError));
        QCOMPARE(m.buttons, MsgDlgButtons(mbOK));
        QCOMPARE(m.title, QStringLiteral("Vedomec"));
        QVERIFY2(m.text.contains(QStringLiteral("„%1“ neexistuje").arg(missing)), qPrintable(m.text));
        QVERIFY2(m.text.contains(QStringLiteral("--data-folder")), qPrintable(m.text));
        QVERIFY(s.windowShownDuringMessage);
        // The catalogue of a folder that is not there is not opened, so no
        // error report comes before the message, and nothing is made.
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join(u'\n')));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("srv"))));
        QCOMPARE(QDir(m_dataHome.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

private:
    // The default place of the user's own folder, watched for anything made.
    QTemporaryDir m_dataHome;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
