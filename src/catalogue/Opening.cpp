// The open action of the open-test dialog: checks the chosen catalogue row,
// opens its question table and turns the main window into a running test.
#include "platform/AppPath.h"
#include "app/Hlavni.h"
#include "assistant/oaAssist.h"
#include "catalogue/AllowedTime.h"
#include "catalogue/Otevrit.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
#include "data/Data.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "platform/ErrorReport.h"
#include "platform/FileSystem.h"
#include "results/TimeCounter.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>

namespace vedomec {

namespace {

// What one test type uses in the main window.
struct TypeBinding {
    data::TTable* table = nullptr;
    data::TDataSource* source = nullptr;
    QFrame* panel = nullptr;
    QWidget* firstControl = nullptr;
    QCheckBox* firstBox = nullptr; // nullptr for the fill-in edit
};

} // namespace

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
    if (DBEdit2->Text() == QLatin1String("A")) {
        message(QStringLiteral("Tento test je již otevřen!"), mtError);
        return;
    }

    // Only a plain file inside Testy is ever opened: a name with a path in it
    // or naming a folder counts as missing, like a deleted file.
    const QString testsFolder = fs::locate(TAppPath::Path(), QStringLiteral("Testy"));
    const QString file = fs::isPlainFileName(nazev) ? fs::resolve(fs::join(testsFolder, nazev)) : QString();
    if (file.isEmpty() || !fs::isFile(file)) {
        message(QStringLiteral("Soubor s tímto testem byl smazán nebo přesunut! Odstraňte prosím tento test "
                               "ze seznamu testů."),
                mtInformation);
        return;
    }

    THlavniDialog* w = m_main;
    if (!w || !m_dm)
        return;
    const QString type = DBEdit3->Text();
    TypeBinding b;
    if (type == QLatin1String("A"))
        b = {m_dm->Table1, m_dm->DataSource1, w->TestA, w->RadioButton1, w->RadioButton1};
    else if (type == QLatin1String("B"))
        b = {m_dm->Table2, m_dm->DataSource2, w->TestB, w->RadioButton5, w->RadioButton5};
    else if (type == QLatin1String("C"))
        b = {m_dm->Table3, m_dm->DataSource3, w->TestC, w->Edit971, nullptr};
    else {
        // No table object serves such a row; refuse it before anything changes.
        message(QStringLiteral("Neznámý typ testu!"), mtError);
        return;
    }

    // Open and read the question table first: a damaged file or a wrong
    // layout ends the action here, with the main window as it was and this
    // dialog still open.
    // The table holds the test for this program until it is closed again; a
    // test another copy sharing the folder has open is refused here.
    QString cas1, cas2, cas3;
    int rows = 0;
    b.table->Close();
    try {
        b.table->SetDatabaseName(QFileInfo(file).absolutePath());
        b.table->SetTableName(QFileInfo(file).fileName());
        b.table->Open();
        b.table->First();
        cas1 = b.table->FieldAsString(QStringLiteral("CAS1"));
        cas2 = b.table->FieldAsString(QStringLiteral("CAS2"));
        cas3 = b.table->FieldAsString(QStringLiteral("CAS3"));
        rows = b.table->RecordCount();
    } catch (const data::ETableInUse&) {
        b.table->Close();
        message(QStringLiteral("Tento test má právě otevřený někdo jiný. Vyberte si prosím jiný test."), mtInformation);
        return;
    } catch (...) {
        b.table->Close();
        throw;
    }

    // The main window, common part.
    w->Cislo->setText(QStringLiteral("1"));
    w->Cislo->setVisible(true);
    w->ToolbarButton971->setEnabled(false);
    w->ToolbarButton972->setEnabled(true);
    w->ToolbarButton974->setEnabled(false);
    w->ToolbarButton975->setEnabled(true);
    w->T1->setEnabled(false);
    w->T2->setEnabled(false);
    w->T3->setEnabled(true);
    w->T4->setEnabled(true);
    w->Label5->setText(DBEdit4->Text() + QStringLiteral(" - ") + DBEdit5->Text());
    w->Label5->setVisible(true);

    // The type part.
    w->Cas1->setText(AllowedTimeText(cas1, cas2, cas3));
    if (b.firstBox) {
        QCheckBox* const boxes[] = {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4};
        QCheckBox* const yesNo[] = {w->RadioButton5, w->RadioButton6};
        if (b.panel == w->TestA)
            for (QCheckBox* box : boxes)
                box->setChecked(false);
        else
            for (QCheckBox* box : yesNo)
                box->setChecked(false);
    } else {
        w->Edit971->setText(QString());
    }
    // Exactly one answer panel is visible while a test is open.
    for (QFrame* panel : {w->TestA, w->TestB, w->TestC})
        if (panel != b.panel)
            panel->setVisible(false);
    b.panel->setVisible(true);

    // Closing runs the close handler at once: the catalogue is closed and the
    // main window enabled, so it can take the focus next.
    close();
    if (!w->isActiveWindow() && w->isVisible()) {
        w->activateWindow();
        // The focus below must arrive now, not with a later activation that
        // would mark the first answer after it was cleared.
        QApplication::setActiveWindow(w);
    }
    b.firstControl->setFocus(Qt::OtherFocusReason);
    if (b.firstBox)
        b.firstBox->setChecked(false);

    w->Label10->setText(QString::number(rows));
    w->BindAuthorLines(b.source);
    w->TimeCounter1->Reset();
    w->TimeCounter1->Start();
    w->Cas->setText(TTimeCounter::formatElapsed(0));
    w->K1->setText(QStringLiteral("1"));
    w->Panel4->setVisible(false);
}

} // namespace vedomec
