#pragma once
// The identification of an imported test: shows who made the chosen file and
// what kind of test it is, and on "Ok" takes it into the catalogue.
#include "controls/DialogHost.h"
#include "controls/ToolDialog.h"
#include "import/ImportLogic.h"

class QFrame;
class QLabel;
class QPushButton;

namespace vedomec {

class THelpBook;
namespace data {
class TDataModule1;
class TTable;
class TDataSource;
} // namespace data
class TDBText;
namespace controls {
class TCaptionButton;
class TGradPan;
} // namespace controls

class TIdentifikaceDialog : public controls::TToolDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 366;
    static constexpr int kClientHeight = 223;

    TIdentifikaceDialog(controls::IDialogHost* host, data::TDataModule1* dm);
    ~TIdentifikaceDialog() override;

    // The dialog's own table over the import file (test-wide fields only)
    // and its data source.
    data::TTable* Table1 = nullptr;
    data::TDataSource* DataSource1 = nullptr;

    TDBText* DBText1 = nullptr; // DRUH
    TDBText* DBText2 = nullptr; // NAZEV
    TDBText* DBText3 = nullptr; // JMENO
    TDBText* DBText4 = nullptr; // ADRESA
    TDBText* DBText5 = nullptr; // EMAIL
    TDBText* DBText6 = nullptr; // HTTP
    QLabel* Label9 = nullptr;  // type text
    QLabel* Label10 = nullptr; // "ANO" / "NE"
    QLabel* Cas1 = nullptr;    // allowed time
    QFrame* Bevel1 = nullptr;
    QPushButton* Button1 = nullptr; // "Ok", the default button
    QPushButton* Button2 = nullptr; // "Zpět"
    controls::TCaptionButton* CaptionButton2 = nullptr;
    THelpBook* HelpBook1 = nullptr;
    controls::TGradPan* GradPan1 = nullptr;

    // The import dialog's hand-over: opens `fileName` of `folder` in Table1
    // (throws the table store's error when it cannot) and sets the type and
    // protection texts from its first row.
    void Prepare(const QString& folder, const QString& fileName);

    // The copy into Testy; tests put a failing one here.  Empty: the real one.
    void setCopyFunction(importing::CopyFunction copy) { m_copy = std::move(copy); }
    bool HelpMode() const;

public slots:
    void Button1Click();
    void Button2Click();
    void CaptionButton2Click();

protected:
    void FormShow() override;
    void FormClose() override;

private:
    void accept();
    // What a screen reader hears (ImportAccessible.cpp).
    void setUpAccessibility();

    controls::IDialogHost* m_main;
    data::TDataModule1* m_dm;
    importing::CopyFunction m_copy;
};

extern TIdentifikaceDialog* IdentifikaceDialog;

} // namespace vedomec
