#pragma once
// A small table with a production index as other dBASE programs leave them:
// tags with FOR clauses, an empty tag, numeric and date keys, a unique and a
// descending tag, equal keys stored newest first.  The key order of every
// tag is worked out here from the rows, independently of the store.
#include "DbfTestUtil.h"
#include "MdxTestUtil.h"

#include <QDate>
#include <QDir>
#include <QTest>

#include <algorithm>
#include <functional>

namespace foreignfixture {

// DRUH C(10), JMENO C(8), POCET N(7,2), DATUM D, TEST C(1)
inline QList<dbftest::RawField> fields()
{
    return {{"DRUH", 'C', 10, 0}, {"JMENO", 'C', 8, 0}, {"POCET", 'N', 7, 2}, {"DATUM", 'D', 8, 0}, {"TEST", 'C', 1, 0}};
}

struct Row {
    QByteArray druh, jmeno, pocet, datum, test;
    bool deleted = false;
};

inline QList<Row> rows()
{
    return {
        {"Hory", "Ana", "11", "20010305", "A"},
        {"Auta", "Bob", "20", "19991231", "B"},
        {"hory", "Cyril", "2", "20000101", "A"},
        {"Zvirata", "Dana", "-5", "", "C"},
        {"Auta", "Eva", "12.5", "20200229", "A", true},
        {"Hory", "Filip", "0", "19800615", "B"},
        {"Auta", "Gita", "-0.25", "20000101", "A"},
    };
}

inline QByteArray dbfImage(const QList<Row>& rs, const QList<dbftest::RawField>& fs = fields())
{
    QList<QByteArray> records;
    for (const Row& r : rs)
        records << dbftest::record(fs, {r.druh, r.jmeno, r.pocet, r.datum, r.test}, r.deleted);
    return dbftest::image(fs, records, 0x03, true);
}

inline QByteArray padded(const QByteArray& s, int n)
{
    QByteArray out = s.left(n);
    out.append(QByteArray(n - out.size(), ' '));
    return out;
}

inline QByteArray upper(QByteArray s)
{
    return s.toUpper();
}

inline double number(const QByteArray& s) { return s.trimmed().isEmpty() ? 0 : s.trimmed().toDouble(); }

// Entries of a tag in the order the tag keeps them: the rows `admit` lets
// in, by `before` (a strict order on rows), equal keys by record number or,
// with newestFirst, the other way round; a unique tag keeps the first row of
// each key.
inline QList<mdxtest::Entry> entries(const QList<Row>& rs, const std::function<bool(const Row&)>& admit,
                                     const std::function<QByteArray(const Row&)>& key,
                                     const std::function<bool(const Row&, const Row&)>& before,
                                     bool newestFirst = false, bool unique = false)
{
    QList<int> order;
    for (int i = 0; i < rs.size(); ++i)
        if (admit(rs[i]))
            order << i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (before(rs[a], rs[b]))
            return true;
        if (before(rs[b], rs[a]))
            return false;
        return newestFirst ? a > b : a < b;
    });
    QList<mdxtest::Entry> out;
    for (int i = 0; i < order.size(); ++i) {
        const Row& r = rs[order[i]];
        if (unique && !out.isEmpty() && !before(rs[order[i - 1]], r) && !before(r, rs[order[i - 1]]))
            continue;
        out.append({key(r), quint32(order[i] + 1)});
    }
    return out;
}

inline bool always(const Row&) { return true; }

inline mdxtest::Tag tag(const QByteArray& name, const QByteArray& expression, const QByteArray& forClause, char type,
                        int keyLength)
{
    mdxtest::Tag t;
    t.name = name;
    t.expression = expression;
    t.forClause = forClause;
    t.type = type;
    t.keyLength = keyLength;
    return t;
}

// The tags of the fixture.
inline QList<mdxtest::Tag> tags(const QList<Row>& rs = rows())
{
    QList<mdxtest::Tag> t;
    const auto druhJmeno = [](const Row& r) { return padded(r.druh, 10) + padded(r.jmeno, 8); };
    const auto byDruhJmeno = [&](const Row& a, const Row& b) { return druhJmeno(a) < druhJmeno(b); };

    mdxtest::Tag live = tag("ZIVE", "DRUH+JMENO", ".NOT. DELETED()", 'C', 18);
    live.entries = entries(rs, [](const Row& r) { return !r.deleted; }, druhJmeno, byDruhJmeno);
    t << live;

    mdxtest::Tag none = tag("NIC", "JMENO", ".F.", 'C', 8);
    t << none;

    mdxtest::Tag typeA = tag("TYPA", "JMENO", "TEST = \"A\" .AND. .NOT. DELETED()", 'C', 8);
    typeA.entries = entries(rs, [](const Row& r) { return r.test == "A" && !r.deleted; },
                            [](const Row& r) { return padded(r.jmeno, 8); },
                            [](const Row& a, const Row& b) { return padded(a.jmeno, 8) < padded(b.jmeno, 8); });
    t << typeA;

    mdxtest::Tag count = tag("POCET", "POCET", {}, 'N', 12);
    count.entries = entries(rs, always, [](const Row& r) { return mdxtest::numberKey(r.pocet); },
                            [](const Row& a, const Row& b) { return number(a.pocet) < number(b.pocet); });
    count.keysPerLeaf = 3; // several leaves and an interior level
    t << count;

    mdxtest::Tag date = tag("DATUM", "DATUM", {}, 'D', 8);
    const auto day = [](const Row& r) {
        const QDate d = QDate::fromString(QString::fromLatin1(r.datum), QStringLiteral("yyyyMMdd"));
        return d.isValid() ? d.toJulianDay() : 0;
    };
    date.entries = entries(rs, always,
                           [&](const Row& r) {
                               const QDate d = QDate::fromString(QString::fromLatin1(r.datum), QStringLiteral("yyyyMMdd"));
                               return d.isValid() ? mdxtest::dateKey(d) : QByteArray(8, '\0');
                           },
                           [&](const Row& a, const Row& b) { return day(a) < day(b); });
    t << date;

    mdxtest::Tag kinds = tag("DRUHY", "UPPER(DRUH)", {}, 'C', 10);
    kinds.unique = true;
    kinds.entries = entries(rs, always, [](const Row& r) { return upper(padded(r.druh, 10)); },
                            [](const Row& a, const Row& b) { return upper(padded(a.druh, 10)) < upper(padded(b.druh, 10)); },
                            false, true);
    t << kinds;

    mdxtest::Tag names = tag("JMENA", "JMENO", {}, 'C', 8);
    names.descending = true;
    names.entries = entries(rs, always, [](const Row& r) { return padded(r.jmeno, 8); },
                            [](const Row& a, const Row& b) { return padded(a.jmeno, 8) > padded(b.jmeno, 8); });
    t << names;

    // Equal keys newest first, the run crossing a leaf boundary.
    mdxtest::Tag type = tag("TEST", "TEST", {}, 'C', 1);
    type.entries = entries(rs, always, [](const Row& r) { return r.test; },
                           [](const Row& a, const Row& b) { return a.test < b.test; }, true);
    type.keysPerLeaf = 2;
    t << type;
    return t;
}

inline void write(const QString& dbfPath, const QList<Row>& rs, const QList<mdxtest::Tag>& ts, int pagesPerBlock = 2)
{
    QVERIFY(dbftest::writeFile(dbfPath, dbfImage(rs)));
    const QString mdxPath = dbfPath.left(dbfPath.size() - 4) + QStringLiteral(".MDX");
    QVERIFY(dbftest::writeFile(mdxPath, mdxtest::image("FOREIGN", ts, pagesPerBlock)));
}

// The record numbers of a tag in its stored order.
inline QList<quint32> recnos(const mdxtest::Tag& t)
{
    QList<quint32> out;
    for (const mdxtest::Entry& e : t.entries)
        out << e.recno;
    return out;
}

inline const mdxtest::Tag& tagNamed(const QList<mdxtest::Tag>& ts, const QByteArray& name)
{
    for (const mdxtest::Tag& t : ts)
        if (t.name == name)
            return t;
    static const mdxtest::Tag none;
    return none;
}

} // namespace foreignfixture
