// What a screen reader hears in the open-test dialog: the tree is named by
// its help heading (assistant/DialogHelp), each kind says how many tests it
// holds, and expanding or collapsing a kind is told as the change of its
// state.
#include "catalogue/Otevrit.h"

#include "catalogue/TreeFill.h"

#include <QAccessible>
#include <QTreeWidget>

namespace vedomec {

namespace {

QString testCount(int n)
{
    if (n == 1)
        return QStringLiteral("1 test");
    if (n >= 2 && n <= 4)
        return QStringLiteral("%1 testy").arg(n);
    return QStringLiteral("%1 testů").arg(n);
}

// The row of `index` among the rows the tree shows, as the tree's
// interface counts its items.
int shownRow(const QTreeView* tree, const QModelIndex& index)
{
    int row = 0;
    for (QModelIndex i = tree->model()->index(0, 0); i.isValid(); i = tree->indexBelow(i), ++row)
        if (i == index)
            return row;
    return -1;
}

void tellExpansion(QTreeView* tree, const QModelIndex& index)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(tree);
    const int row = shownRow(tree, index);
    if (!view || row < 0)
        return;
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface* item = view->child(i);
        QAccessibleTableCellInterface* cell = item ? item->tableCellInterface() : nullptr;
        if (!cell || item->role() != QAccessible::TreeItem || cell->rowIndex() != row || cell->columnIndex() != 0)
            continue;
        QAccessible::State changed;
        changed.expanded = true;
        changed.collapsed = true;
        QAccessibleStateChangeEvent event(tree, changed);
        event.setChild(i);
        QAccessible::updateAccessibility(&event);
        return;
    }
}

} // namespace

void TOtevritDialog::setUpAccessibility()
{
    // A kind says how many tests it holds, as soon as the tree gets it.
    connect(TreeView1->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (parent.isValid())
                    return;
                for (int r = first; r <= last; ++r)
                    if (QTreeWidgetItem* kind = TreeView1->topLevelItem(r))
                        kind->setData(0, Qt::AccessibleDescriptionRole, testCount(kind->childCount()));
            });
    connect(TreeView1, &QTreeView::expanded, this, [this](const QModelIndex& i) { tellExpansion(TreeView1, i); });
    connect(TreeView1, &QTreeView::collapsed, this, [this](const QModelIndex& i) { tellExpansion(TreeView1, i); });
}

} // namespace vedomec
