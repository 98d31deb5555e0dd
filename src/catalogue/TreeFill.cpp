#include "catalogue/TreeFill.h"

#include <QTreeWidget>

namespace vedomec::catalogue {

namespace {

QTreeWidgetItem* makeItem(const TCatalogueTree& tree, TCatalogueTree::NodeId id)
{
    const TCatalogueTree::Node& n = tree.node(id);
    auto* item = new QTreeWidgetItem(QStringList{n.caption});
    if (n.hasData) {
        item->setData(0, kBookmarkRole, n.data);
        item->setData(0, kHasDataRole, true);
    }
    const std::vector<TCatalogueTree::NodeId> children = tree.SortedChildren(id);
    if (!children.empty()) {
        QList<QTreeWidgetItem*> items;
        items.reserve(qsizetype(children.size()));
        for (TCatalogueTree::NodeId c : children)
            items.append(makeItem(tree, c));
        item->addChildren(items);
    }
    return item;
}

} // namespace

void FillTreeWidget(QTreeWidget* view, const TCatalogueTree& tree)
{
    QList<QTreeWidgetItem*> top;
    const std::vector<TCatalogueTree::NodeId> roots = tree.SortedChildren(TCatalogueTree::None);
    top.reserve(qsizetype(roots.size()));
    for (TCatalogueTree::NodeId id : roots)
        top.append(makeItem(tree, id));
    view->addTopLevelItems(top);
}

bool NodeHasData(const QTreeWidgetItem* item)
{
    return item && item->data(0, kHasDataRole).toBool();
}

qint64 NodeData(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kBookmarkRole).toLongLong() : 0;
}

} // namespace vedomec::catalogue
