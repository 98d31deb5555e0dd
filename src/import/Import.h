#pragma once
// The import dialog: lists the test files waiting in Testy/Import, refuses a
// file whose name is taken in Testy, and hands the chosen file over to the
// identification dialog.
#include "controls/DialogHost.h"
#include "controls/ToolDialog.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vedomec {

class THelpBook;
namespace data {
class TDataModule1;
}
namespace controls {
class TCaptionButton;
class TGradPan;
} // namespace controls

class TImportDialog : public controls::TToolDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 296;
    static constexpr int kClientHeight = 241;

    TImportDialog(controls::IDialogHost* host, data::TDataModule1* dm);
    ~TImportDialog() override;

    QLabel* Label1 = nullptr;
    QListWidget* FileListBox1 = nullptr;
    QPushButton* Button1 = nullptr; // "Import", the default button
    QPushButton* Button2 = nullptr; // "Zpět"
    QLabel* Label2 = nullptr;       // hidden: the selected file's name
    controls::TCaptionButton* CaptionButton2 = nullptr;
    THelpBook* HelpBook1 = nullptr;
    controls::TGradPan* GradPan1 = nullptr;

    // The folder the list shows (application folder + Testy/Import).
    QString ListFolder() const { return m_folder; }
    // Re-reads the folder's "*.dbf" files (any letter case), sorted by name.
    void UpdateFileList();
    // Whether context-help mode is on (switched by the help caption button).
    bool HelpMode() const;

public slots:
    void Button1Click();
    void Button2Click();
    void FileListBox1DblClick();
    void CaptionButton2Click();

protected:
    void FormShow() override;
    void FormClose() override;

private:
    void FileListBox1Change(QListWidgetItem* current);
    // What a screen reader hears (ImportAccessible.cpp).
    void setUpAccessibility();
    void importSelected();
    void showError(const QString& text);

    controls::IDialogHost* m_main;
    data::TDataModule1* m_dm;
    QString m_folder;
};

extern TImportDialog* ImportDialog;

} // namespace vedomec
