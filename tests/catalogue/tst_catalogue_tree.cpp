#include "catalogue/CatalogueTree.h"

#include <QTest>

using namespace vedomec::catalogue;
using Tree = TCatalogueTree;

namespace {

QStringList captions(const Tree& t, Tree::NodeId parent)
{
    QStringList out;
    for (Tree::NodeId id : t.SortedChildren(parent))
        out << t.node(id).caption;
    return out;
}

} // namespace

class TestCatalogueTree : public QObject {
    Q_OBJECT
private slots:
    void emptyPathAddsNothing()
    {
        Tree t;
        QCOMPARE(t.AddTreePath({}, 5, false), Tree::None);
        QVERIFY(t.IsEmpty());
        QCOMPARE(t.FindTreeChild(Tree::None, QString()), Tree::None);
    }

    void twoLevelsWithDataOnTheLeafOnly()
    {
        Tree t;
        const Tree::NodeId leaf = t.AddTreePath({"Matematika", "Zlomky"}, 42, false);
        QCOMPARE(t.Count(), 2);
        const Tree::NodeId kind = t.FindTreeChild(Tree::None, "Matematika");
        QVERIFY(kind != Tree::None);
        QVERIFY(!t.node(kind).hasData);
        QCOMPARE(t.FindTreeChild(kind, "Zlomky"), leaf);
        QVERIFY(t.node(leaf).hasData);
        QCOMPARE(t.node(leaf).data, qint64(42));
        QCOMPARE(t.node(leaf).parent, kind);
        // A test title is not a kind.
        QCOMPARE(t.FindTreeChild(Tree::None, "Zlomky"), Tree::None);
    }

    void duplicatePathKeepsTheFirstData()
    {
        Tree t;
        const Tree::NodeId first = t.AddTreePath({"Fyzika", "Optika"}, 1, false);
        const Tree::NodeId second = t.AddTreePath({"Fyzika", "Optika"}, 2, true);
        QCOMPARE(second, first);
        QCOMPARE(t.node(first).data, qint64(1));
        QCOMPARE(t.Count(), 2);
    }

    void captionsCompareWithLetterCase()
    {
        Tree t;
        t.AddTreePath({"fyzika", "A"}, 1, false);
        t.AddTreePath({"Fyzika", "A"}, 2, false);
        t.AddTreePath({"Fyzika", "a"}, 3, false);
        QCOMPARE(t.SortedChildren(Tree::None).size(), size_t(2));
        const Tree::NodeId upper = t.FindTreeChild(Tree::None, "Fyzika");
        QCOMPARE(captions(t, upper).size(), 2);
        QCOMPARE(t.node(t.FindTreeChild(upper, "a")).data, qint64(3));
        QCOMPARE(t.node(t.FindTreeChild(t.FindTreeChild(Tree::None, "fyzika"), "A")).data, qint64(1));
    }

    void emptyCaptionIsAnOrdinaryNode()
    {
        Tree t;
        const Tree::NodeId leaf = t.AddTreePath({"Dějepis", ""}, 7, false);
        QVERIFY(leaf != Tree::None);
        QCOMPARE(t.FindTreeChild(t.FindTreeChild(Tree::None, "Dějepis"), ""), leaf);
        QCOMPARE(t.node(leaf).data, qint64(7));
    }

    void childrenInCzechAlphabeticalOrder()
    {
        Tree t;
        const QStringList titles{"chemie", "hudba", "Čeština", "cesta", "Abeceda", "zeměpis", "ábc", "abc", ""};
        qint64 n = 0;
        for (const QString& s : titles)
            t.AddTreePath({"Druh", s}, ++n, false);
        const QStringList sorted = captions(t, t.FindTreeChild(Tree::None, "Druh"));
        QCOMPARE(sorted, (QStringList{"", "abc", "ábc", "Abeceda", "cesta", "Čeština", "hudba", "chemie", "zeměpis"}));
    }

    void kindsSortedAndLookupSurvivesMany()
    {
        Tree t;
        for (int k = 99; k >= 0; --k)
            for (int j = 0; j < 20; ++j)
                t.AddTreePath({QString("Druh %1").arg(k, 3, 10, QChar('0')), QString("Test %1").arg(j)}, k * 100 + j, false);
        QCOMPARE(t.Count(), 100 + 100 * 20);
        const QStringList kinds = captions(t, Tree::None);
        QCOMPARE(kinds.first(), QString("Druh 000"));
        QCOMPARE(kinds.last(), QString("Druh 099"));
        const Tree::NodeId k42 = t.FindTreeChild(Tree::None, "Druh 042");
        QCOMPARE(t.node(t.FindTreeChild(k42, "Test 7")).data, qint64(4207));
        t.Clear();
        QVERIFY(t.IsEmpty());
        QCOMPARE(t.FindTreeChild(Tree::None, "Druh 042"), Tree::None);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueTree)
#include "tst_catalogue_tree.moc"
