#include "catalogue/Otevrit.h"
#include "controls/Fonts.h"

#include "assistant/DialogHelp.h"
#include "assistant/HelpBook.h"
#include "catalogue/TreeFill.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Gradpan.h"
#include "data/Data.h"
#include "data/Table.h"
#include "platform/ErrorReport.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>

namespace vedomec {

TOtevritDialog* OtevritDialog = nullptr;

namespace {

QFont buttonFont()
{
    return TimesFont(13);
}

} // namespace

TOtevritDialog::TOtevritDialog(ITestHost* host, data::TDataModule1* dm)
    : TToolDialog(host ? host->HostWindow() : nullptr)
    , m_main(host)
    , m_dm(dm)
{
    setObjectName(QStringLiteral("OtevritDialog"));
    setCaption(QStringLiteral("Otevřít databázi"));
    setClientSize(kClientWidth, kClientHeight);
    QWidget* c = clientArea();

    GradPan1 = controls::CreateLeftStrip(c, controls::DialogIcon::Folder, QRect(0, 0, controls::LeftStripWidth, kClientHeight));

    TreeView1 = new QTreeWidget(c);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(controls::BesideLeftStrip, 8, 290 - controls::BesideLeftStrip, 190);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    TreeView1->setAllColumnsShowFocus(true);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setExpandsOnDoubleClick(true);
    // A title too long for the view ends in "…"; its tooltip has it whole.
    TreeView1->setTextElideMode(Qt::ElideRight);
    // The view receives its items already in caption order (TreeFill).
    TreeView1->setSortingEnabled(false);
    {
        // The selection stays visible while the tree has no focus.
        QPalette pal = TreeView1->palette();
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::HighlightedText));
        TreeView1->setPalette(pal);
    }

    Button1 = new QPushButton(QStringLiteral("Otevřít"), c);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(128, 207, 78, 25);
    Button1->setFont(buttonFont());
    Button1->setAutoDefault(true);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Zpět"), c);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(212, 207, 78, 25);
    Button2->setFont(buttonFont());
    Button2->setAutoDefault(true);
    // Enter anywhere but on "Zpět" presses "Otevřít".
    setDefaultButton(Button1);

    TDBEdit** edits[] = {&DBEdit1, &DBEdit2, &DBEdit3, &DBEdit4, &DBEdit5, &DBEdit6};
    for (int i = 0; i < 6; ++i) {
        auto* e = new TDBEdit(c);
        e->setObjectName(QStringLiteral("DBEdit%1").arg(i + 1));
        e->setGeometry(controls::BesideLeftStrip, 8 + 22 * i, 100, 21);
        e->hide();
        if (m_dm)
            e->setDataSource(m_dm->DataSource4);
        *edits[i] = e;
    }

    CaptionButton2 = controls::CreateHelpCaptionButton(this);

    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { guarded([&] { TreeView1Change(current); }); });
    connect(Button1, &QPushButton::clicked, this, &TOtevritDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TOtevritDialog::Button2Click);
    connect(CaptionButton2, &controls::TCaptionButton::OnClick, this, &TOtevritDialog::CaptionButton2Click);
    HelpBook1 = CreateDialogHelp(this, OtevritHelpTexts());
    for (QWidget* w : {static_cast<QWidget*>(TreeView1), static_cast<QWidget*>(Button1),
                       static_cast<QWidget*>(Button2)})
        w->installEventFilter(this);
    TreeView1->viewport()->installEventFilter(this);
    setUpAccessibility();

    OtevritDialog = this;
}

TOtevritDialog::~TOtevritDialog()
{
    if (OtevritDialog == this)
        OtevritDialog = nullptr;
}

QStringList& TOtevritDialog::GetFieldList1()
{
    m_fieldList.clear();
    if (m_dm) {
        m_fieldList << m_dm->Table4->FieldAsString(QStringLiteral("DRUH"))
                    << m_dm->Table4->FieldAsString(QStringLiteral("JMENO"));
    }
    return m_fieldList;
}

catalogue::TCatalogueTree::NodeId TOtevritDialog::AddTreePath(QTreeWidget* tree, const QStringList& path,
                                                              qint64 data, bool sort)
{
    Q_UNUSED(tree); // nodes reach the view in one piece when the build ends
    return m_tree.AddTreePath(path, data, sort);
}

QTreeWidgetItem* TOtevritDialog::FindTreeChild(QTreeWidget* tree, QTreeWidgetItem* parent,
                                               const QString& caption) const
{
    const int n = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : tree->topLevelItem(i);
        if (item->text(0) == caption)
            return item;
    }
    return nullptr;
}

void TOtevritDialog::FormShow()
{
    guarded([this] {
        Button1->setFocus();
        buildTree();
        if (m_main)
            m_main->PlaySoundCue(QStringLiteral("Dialog.wav"));
    });
}

void TOtevritDialog::buildTree()
{
    if (!m_dm)
        return;
    data::TTable* catalogue = m_dm->Table4;
    if (!catalogue->Active())
        catalogue->Open();
    catalogue->SetIndexName(QStringLiteral("DruhJmeno"));

    // Removing the nodes leaves nothing selected.
    TreeView1->setUpdatesEnabled(false);
    TreeView1->blockSignals(true);
    TreeView1->clear();
    TreeView1->blockSignals(false);
    TreeView1Change(nullptr);
    m_tree.Clear();

    struct Resume {
        TOtevritDialog* d;
        ~Resume()
        {
            d->m_fieldList.clear();
            d->m_tree.Clear();
            d->TreeView1->setUpdatesEnabled(true);
        }
    } resume{this};

    catalogue->First();
    while (!catalogue->Eof()) {
        if (!catalogue->FieldAsString(QStringLiteral("DRUH")).isEmpty()) {
            const data::Bookmark bookmark = catalogue->GetBookmark();
            AddTreePath(TreeView1, GetFieldList1(), bookmark, false);
        }
        catalogue->Next();
    }
    catalogue::FillTreeWidget(TreeView1, m_tree);
    // Nothing is chosen until the user picks a test.
    TreeView1->blockSignals(true);
    TreeView1->setCurrentItem(nullptr);
    TreeView1->clearSelection();
    TreeView1->blockSignals(false);
    TreeView1Change(nullptr);
}

void TOtevritDialog::FormClose()
{
    if (m_dm) {
        m_dm->Table4->Close();
        // A closed catalogue reads empty anyway; leave the source ready for
        // the next showing.
        m_dm->DataSource4->SetEnabled(true);
    }
}

void TOtevritDialog::hideEvent(QHideEvent* event)
{
    TToolDialog::hideEvent(event);
    // Hidden without closing (the program ending): the catalogue is only
    // open while the dialog shows.
    if (!event->spontaneous() && m_dm)
        m_dm->Table4->Close();
}

void TOtevritDialog::TreeView1Change(QTreeWidgetItem* node)
{
    if (!m_dm)
        return;
    const bool test = catalogue::NodeHasData(node);
    m_dm->DataSource4->SetEnabled(test);
    if (!test)
        return;
    m_dm->Table4->GotoBookmark(catalogue::NodeData(node));
    static const char* const fields[] = {"NAZEV", "OTEVRENO", "TEST", "DRUH", "JMENO", "HESLO"};
    TDBEdit* edits[] = {DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5, DBEdit6};
    for (int i = 0; i < 6; ++i)
        edits[i]->setDataField(QLatin1String(fields[i]));
}

void TOtevritDialog::Button1Click()
{
    guarded([this] { OpenSelectedTest(false); });
}

void TOtevritDialog::TreeView1DblClick()
{
    guarded([this] { OpenSelectedTest(true); });
}

void TOtevritDialog::Button2Click()
{
    close();
}

bool TOtevritDialog::HelpMode() const
{
    return HelpBook1->HelpMode();
}

void TOtevritDialog::CaptionButton2Click()
{
    HelpBook1->setHelpMode(!HelpBook1->HelpMode());
}

bool TOtevritDialog::FormKeyPress(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->text() == QChar(27)) {
        close();
        return true;
    }
    return false;
}

void TOtevritDialog::keyPressEvent(QKeyEvent* event)
{
    if (FormKeyPress(event))
        return;
    TToolDialog::keyPressEvent(event);
}

bool TOtevritDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && FormKeyPress(static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::ToolTip && watched == TreeView1->viewport()) {
        // Every node names its caption in full as its tooltip, so two long
        // titles the view shortens alike can be told apart.  Asked for here
        // rather than stored in each of a large catalogue's items.
        auto* help = static_cast<QHelpEvent*>(event);
        if (QTreeWidgetItem* item = TreeView1->itemAt(help->pos()))
            QToolTip::showText(help->globalPos(), item->text(0), TreeView1->viewport(),
                               TreeView1->visualItemRect(item));
        else
            QToolTip::hideText();
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick && watched == TreeView1->viewport()) {
        // The tree still expands or collapses a kind node itself.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            TreeView1DblClick();
        return false;
    }
    return TToolDialog::eventFilter(watched, event);
}

} // namespace vedomec
