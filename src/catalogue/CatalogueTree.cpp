#include "catalogue/CatalogueTree.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace vedomec::catalogue {

namespace {

const QCollator& captionCollator()
{
    // The users' catalogue is Czech; its kinds and titles are sorted as a
    // Czech reader expects them.
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Czech, QLocale::CzechRepublic));
        c.setCaseSensitivity(Qt::CaseSensitive);
        c.setNumericMode(false);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

} // namespace

int CompareCaptions(const QString& a, const QString& b)
{
    const int c = captionCollator().compare(a, b);
    if (c != 0)
        return c;
    // The collator may call different texts equal; keep an order anyway.
    return a.compare(b, Qt::CaseSensitive);
}

TCatalogueTree::TCatalogueTree()
{
    Clear();
}

TCatalogueTree::~TCatalogueTree() = default;

void TCatalogueTree::Clear()
{
    m_nodes.clear();
    m_roots.clear();
    m_lookup.clear();
    m_lookup.emplace_back(); // the top level
}

TCatalogueTree::NodeId TCatalogueTree::FindTreeChild(NodeId parent, const QString& caption) const
{
    const size_t slot = parent == None ? 0 : size_t(parent) + 1;
    if (slot >= m_lookup.size())
        return None;
    return m_lookup[slot].value(caption, None);
}

TCatalogueTree::NodeId TCatalogueTree::AddTreePath(const QStringList& path, qint64 data, bool sort)
{
    Q_UNUSED(sort);
    if (path.isEmpty())
        return None;
    NodeId parent = None;
    const int n = int(path.size());
    for (int i = 0; i < n; ++i) {
        NodeId node = FindTreeChild(parent, path[i]);
        if (node == None) {
            node = NodeId(m_nodes.size());
            Node created;
            created.caption = path[i];
            created.parent = parent;
            if (i == n - 1) {
                created.hasData = true;
                created.data = data;
            }
            m_nodes.push_back(std::move(created));
            m_lookup.emplace_back();
            if (parent == None)
                m_roots.push_back(node);
            else
                m_nodes[size_t(parent)].children.push_back(node);
            const size_t slot = parent == None ? 0 : size_t(parent) + 1;
            m_lookup[slot].insert(path[i], node);
        }
        parent = node;
    }
    return parent;
}

std::vector<TCatalogueTree::NodeId> TCatalogueTree::Children(NodeId parent) const
{
    return parent == None ? m_roots : m_nodes[size_t(parent)].children;
}

std::vector<TCatalogueTree::NodeId> TCatalogueTree::SortedChildren(NodeId parent) const
{
    std::vector<NodeId> ids = Children(parent);
    if (ids.size() < 2)
        return ids;
    // Sort keys once per node: far cheaper than collating each comparison.
    const QCollator& collator = captionCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(ids.size());
    for (NodeId id : ids)
        keys.push_back(collator.sortKey(m_nodes[size_t(id)].caption));
    std::vector<size_t> order(ids.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = keys[a].compare(keys[b]);
        if (c != 0)
            return c < 0;
        return m_nodes[size_t(ids[a])].caption.compare(m_nodes[size_t(ids[b])].caption) < 0;
    });
    std::vector<NodeId> sorted;
    sorted.reserve(ids.size());
    for (size_t i : order)
        sorted.push_back(ids[i]);
    return sorted;
}

} // namespace vedomec::catalogue
