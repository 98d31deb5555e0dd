#pragma once
// The kind tree of the open-test dialog, built without widgets: kinds at the
// top, tests below them.  A path of captions is inserted node by node; an
// existing node of the same caption (compared exactly, letter case
// significant) is reused unchanged, so of two rows with the same kind and
// title only the first one inserted owns the test node.  Each parent keeps a
// hash from caption to its first child of that caption, so a catalogue of
// any size is built without a linear search per row.
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace vedomec::catalogue {

// The order of captions in the tree: alphabetical under the Czech rules
// ("ch" after "h", "č" after "c"), letter case significant.  Negative,
// zero or positive like strcmp.
int CompareCaptions(const QString& a, const QString& b);

class TCatalogueTree {
public:
    using NodeId = int;
    static constexpr NodeId None = -1;

    struct Node {
        QString caption;
        NodeId parent = None;
        bool hasData = false;
        qint64 data = 0; // the leaf's data (a catalogue bookmark)
        std::vector<NodeId> children; // in insertion order
    };

    TCatalogueTree();
    ~TCatalogueTree();

    void Clear();
    bool IsEmpty() const { return m_nodes.empty(); }
    int Count() const { return int(m_nodes.size()); }
    const Node& node(NodeId id) const { return m_nodes[size_t(id)]; }

    // The first child of `parent` (the top-level nodes for None) whose
    // caption equals `caption` exactly; None when there is none.
    NodeId FindTreeChild(NodeId parent, const QString& caption) const;

    // Inserts the path: existing nodes are reused unchanged, missing ones are
    // created, the last one carrying `data`.  Returns the last node, or None
    // for an empty path.  The children of every node are always presented
    // in caption order (SortedChildren), so `sort` asks for nothing more;
    // it is kept for callers that pass it.
    NodeId AddTreePath(const QStringList& path, qint64 data, bool sort = false);

    // The children of `parent` (top-level nodes for None) in caption order;
    // captions that compare equal keep their insertion order.
    std::vector<NodeId> SortedChildren(NodeId parent) const;
    std::vector<NodeId> Children(NodeId parent) const;

private:
    std::vector<Node> m_nodes;
    std::vector<NodeId> m_roots;
    // Per parent (index 0 for the top level, id + 1 otherwise): caption ->
    // first child with it.
    std::vector<QHash<QString, NodeId>> m_lookup;
};

} // namespace vedomec::catalogue
