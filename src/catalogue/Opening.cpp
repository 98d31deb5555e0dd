// The open action of the open-test dialog: checks the chosen catalogue row,
// opens its test as a session and hands it to the main window.
#include "assistant/oaAssist.h"
#include "catalogue/AllowedTime.h"
#include "catalogue/OpenMark.h"
#include "catalogue/Otevrit.h"
#include "controls/DBControls.h"
#include "data/Data.h"
#include "data/Table.h"
#include "platform/AppPath.h"
#include "platform/ErrorReport.h"
#include "platform/FileSystem.h"
#include "session/TestSession.h"

namespace vedomec {

void TOtevritDialog::message(const QString& text, int type)
{
    if (m_main)
        m_main->UserMessage(text, type, mbOK);
    else
        ShowErrorReport(text);
}

void TOtevritDialog::OpenSelectedTest(bool doubleClick)
{
    const QString nazev = DBEdit1->Text();
    if (doubleClick && nazev.isEmpty())
        return;
    if (nazev.isEmpty()) {
        message(QStringLiteral("Nebyl vybrán žádný test!"), mtError);
        return;
    }
    // Only a plain file inside Testy is ever opened: a name with a path in it
    // or naming a folder counts as missing, like a deleted file.
    const QString testsFolder = fs::locate(TAppPath::Path(), QStringLiteral("Testy"));
    const QString file = fs::isPlainFileName(nazev) ? fs::resolve(fs::join(testsFolder, nazev)) : QString();
    // The mark of an editor that was killed is seen by its missing hold and
    // passed over; it stays in the catalogue for the next editor to clear,
    // as the pupil never writes the shared folder.
    if (catalogue::openMarkShuts(DBEdit2->Text(), file)) {
        message(QStringLiteral("Tento test je již otevřen!"), mtError);
        return;
    }
    if (file.isEmpty() || !fs::isFile(file)) {
        message(QStringLiteral("Soubor s tímto testem byl smazán nebo přesunut! Odstraňte prosím tento test "
                               "ze seznamu testů."),
                mtInformation);
        return;
    }

    ITestHost* host = m_main;
    if (!host || !m_dm)
        return;
    const QString type = DBEdit3->Text();
    data::TTable* table = nullptr;
    results::TestType testType = results::TestType::A;
    if (type == QLatin1String("A")) {
        table = m_dm->Table1;
    } else if (type == QLatin1String("B")) {
        table = m_dm->Table2;
        testType = results::TestType::B;
    } else if (type == QLatin1String("C")) {
        table = m_dm->Table3;
        testType = results::TestType::C;
    } else {
        // No table object serves such a row; refuse it before anything changes.
        message(QStringLiteral("Neznámý typ testu!"), mtError);
        return;
    }

    // The test is opened and read first: a damaged file or a wrong layout
    // ends the action here, with the main window as it was and this dialog
    // still open.  A test another copy of the program has open is taken on a
    // working copy of this pupil's own.
    auto test = std::make_unique<session::TTestSession>(table, testType);
    test->Open(file);
    const QString notice = test->TakeNotice();
    const OpenedTest shown {DBEdit4->Text() + QStringLiteral(" - ") + DBEdit5->Text(),
                            AllowedTimeText(table->FieldAsString(QStringLiteral("CAS1")),
                                            table->FieldAsString(QStringLiteral("CAS2")),
                                            table->FieldAsString(QStringLiteral("CAS3"))),
                            DBEdit4->Text(), DBEdit5->Text()};
    host->TestOpened(std::move(test), shown);

    // Closing runs the close handler at once: the catalogue is closed and the
    // main window enabled, so it can take the focus next.
    close();
    host->TestStarted();
    if (!notice.isEmpty())
        message(notice, mtInformation);
}

} // namespace vedomec
