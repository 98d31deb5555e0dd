#pragma once
// The open-test dialog: the test catalogue as a tree of kinds and titles;
// choosing a test and pressing "Otevřít" (or double-clicking it) opens it in
// the main window.
#include "catalogue/CatalogueTree.h"
#include "catalogue/TestHost.h"
#include "controls/ToolDialog.h"

#include <QStringList>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vedomec {

class THelpBook;
class TDBEdit;
namespace data {
class TDataModule1;
class TTable;
class TDataSource;
} // namespace data
namespace controls {
class TCaptionButton;
class TGradPan;
} // namespace controls

class TOtevritDialog : public controls::TToolDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 298;
    static constexpr int kClientHeight = 240;

    TOtevritDialog(ITestHost* host, data::TDataModule1* dm);
    ~TOtevritDialog() override;

    QTreeWidget* TreeView1 = nullptr;
    QPushButton* Button1 = nullptr; // "Otevřít", the default button
    QPushButton* Button2 = nullptr; // "Zpět"
    // The selected catalogue row, bound to DataSource4; all hidden.
    TDBEdit* DBEdit1 = nullptr; // NAZEV
    TDBEdit* DBEdit2 = nullptr; // OTEVRENO
    TDBEdit* DBEdit3 = nullptr; // TEST
    TDBEdit* DBEdit4 = nullptr; // DRUH
    TDBEdit* DBEdit5 = nullptr; // JMENO
    TDBEdit* DBEdit6 = nullptr; // HESLO
    controls::TCaptionButton* CaptionButton2 = nullptr;
    THelpBook* HelpBook1 = nullptr;
    controls::TGradPan* GradPan1 = nullptr;

    // The shared path list: kind and title of the current catalogue row.
    QStringList& GetFieldList1();
    // Inserts a path into the tree being built (between the start and the end
    // of a build, while the view's redrawing is suspended).
    catalogue::TCatalogueTree::NodeId AddTreePath(QTreeWidget* tree, const QStringList& path, qint64 data,
                                                  bool sort);
    // The first child of `parent` (top level for nullptr) in the view whose
    // caption equals `caption` exactly.
    QTreeWidgetItem* FindTreeChild(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& caption) const;

    // Whether context-help mode is on (switched by the help caption button).
    bool HelpMode() const;

public slots:
    void Button1Click();
    void Button2Click();
    void TreeView1DblClick();
    void CaptionButton2Click();
    void TreeView1Change(QTreeWidgetItem* node);

protected:
    void FormShow() override;
    void FormClose() override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Esc (27) closes the dialog whichever of its controls has the focus.
    bool FormKeyPress(QKeyEvent* event);
    void buildTree();
    // The open action; a double click with nothing chosen does nothing.
    void OpenSelectedTest(bool doubleClick);
    void message(const QString& text, int type);
    // What a screen reader hears of the tree (OtevritAccessible.cpp).
    void setUpAccessibility();

    ITestHost* m_main;
    data::TDataModule1* m_dm;
    QStringList m_fieldList;
    catalogue::TCatalogueTree m_tree;
};

extern TOtevritDialog* OtevritDialog;

} // namespace vedomec
