#pragma once
// Hands a built kind tree to the tree view in one piece: the view receives
// its top-level items in a single insertion, each with its children already
// attached, so a large catalogue costs one model update, not one per row.
#include "catalogue/CatalogueTree.h"

#include <Qt>

class QTreeWidget;
class QTreeWidgetItem;

namespace vedomec::catalogue {

// Item data roles of the tree view's nodes.
constexpr int kBookmarkRole = Qt::UserRole;     // qint64 bookmark of a test node
constexpr int kHasDataRole = Qt::UserRole + 1;  // true on test nodes

// Appends the tree's nodes to `view` in caption order.
void FillTreeWidget(QTreeWidget* view, const TCatalogueTree& tree);

bool NodeHasData(const QTreeWidgetItem* item);
qint64 NodeData(const QTreeWidgetItem* item);

} // namespace vedomec::catalogue
