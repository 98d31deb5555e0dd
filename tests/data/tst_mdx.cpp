#include "data/Mdx.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <random>
#include <set>

using namespace vedomec;
using namespace vedomec::data;

namespace {

// A catalogue-like record: deletion flag, DRUH C(50), JMENO C(50), POCET N(3).
constexpr int kDruh = 1;
constexpr int kJmeno = 51;
constexpr int kRecordLength = 104;

std::vector<MdxFieldRef> catalogueFields()
{
    return {{QStringLiteral("DRUH"), 'C', kDruh, 50},
            {QStringLiteral("JMENO"), 'C', kJmeno, 50},
            {QStringLiteral("POCET"), 'N', 101, 3}};
}

QByteArray record(const QByteArray& druh, const QByteArray& jmeno)
{
    QByteArray r(kRecordLength, ' ');
    std::copy(druh.begin(), druh.begin() + std::min<qsizetype>(druh.size(), 50), r.begin() + kDruh);
    std::copy(jmeno.begin(), jmeno.begin() + std::min<qsizetype>(jmeno.size(), 50), r.begin() + kJmeno);
    return r;
}

QByteArray pad(const QByteArray& k, int len)
{
    QByteArray out = k.left(len);
    out.append(QByteArray(len - out.size(), ' '));
    return out;
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

uint32_t rd32(const QByteArray& b, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t rd16(const QByteArray& b, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return uint16_t(p[0] | (p[1] << 8));
}
void wr32(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}
void wr16(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

using Entry = std::pair<QByteArray, uint32_t>;

std::vector<Entry> walk(const MdxFile& mdx, int tag)
{
    std::vector<Entry> out;
    for (auto p = mdx.first(tag); p.valid(); p = mdx.next(tag, p))
        out.emplace_back(mdx.key(tag, p), mdx.recno(tag, p));
    return out;
}

std::vector<Entry> walkBackwards(const MdxFile& mdx, int tag)
{
    std::vector<Entry> out;
    for (auto p = mdx.last(tag); p.valid(); p = mdx.prior(tag, p))
        out.emplace_back(mdx.key(tag, p), mdx.recno(tag, p));
    std::reverse(out.begin(), out.end());
    return out;
}

// An index with one tag DRUHJMENO (key length 100, nine keys per block) over
// `count` records, empty when count is 0.
void createCatalogueIndex(const QString& path, const std::vector<QByteArray>& records)
{
    std::vector<const char*> ptrs;
    for (const QByteArray& r : records)
        ptrs.push_back(r.constData());
    MdxFile::create(path, QStringLiteral("TESTY"),
                    {{QStringLiteral("DruhJmeno"), QStringLiteral("DRUH+JMENO")},
                     {QStringLiteral("DRUH"), QStringLiteral("DRUH")}},
                    catalogueFields(), ptrs);
}

QByteArray randomName(std::mt19937& rng, int maxLen)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz \xE8\xC8\xF8\xD8\x9E\x8E";
    std::uniform_int_distribution<int> len(1, maxLen);
    std::uniform_int_distribution<int> pick(0, int(sizeof letters) - 2);
    QByteArray s;
    const int n = len(rng);
    for (int i = 0; i < n; ++i)
        s.append(letters[pick(rng)]);
    return s;
}

} // namespace

class TestMdx : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

    // An index of `n` random keys built by inserts; returns the expected order.
    std::vector<Entry> buildByInserts(const QString& path, int n, unsigned seed)
    {
        createCatalogueIndex(path, {});
        auto mdx = MdxFile::open(path, true);
        std::mt19937 rng(seed);
        std::vector<Entry> expected;
        for (int i = 0; i < n; ++i) {
            const QByteArray k = pad(randomName(rng, 8), 50) + pad(randomName(rng, 40), 50);
            const uint32_t recno = uint32_t(i + 1);
            mdx->insertKey(0, k, recno);
            mdx->insertKey(1, k.left(50), recno);
            expected.emplace_back(k, recno);
        }
        std::sort(expected.begin(), expected.end());
        return expected;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The bytes of a small file against the published dBASE IV layout.
    void byteLayoutOfSmallFile()
    {
        const QString path = file("layout.mdx");
        const std::vector<MdxFieldRef> fields{{QStringLiteral("DRUH"), 'C', 1, 10}};
        const QByteArray a = " Zvirata   ", b = " Auta      ", c = " Hory      ";
        MdxFile::create(path, QStringLiteral("TESTD"), {{QStringLiteral("druh"), QStringLiteral("DRUH")}}, fields,
                        {a.constData(), b.constData(), c.constData()});
        const QByteArray bytes = readBytes(path);
        QCOMPARE(bytes.size() % 512, 0);
        QCOMPARE(int(uchar(bytes[0])), 2);                 // version
        QCOMPARE(bytes.mid(4, 6), QByteArray("TESTD\0", 6)); // table name, no extension
        QCOMPARE(rd16(bytes, 20), uint16_t(2));            // pages per block
        QCOMPARE(rd16(bytes, 22), uint16_t(1024));         // block size in bytes
        QCOMPARE(int(bytes[24]), 1);                       // production index
        QCOMPARE(int(bytes[25]), 48);                      // tag table entries
        QCOMPARE(int(bytes[26]), 32);                      // tag entry length
        QCOMPARE(rd16(bytes, 28), uint16_t(1));            // tags in use
        QCOMPARE(rd32(bytes, 32) * 512, uint32_t(bytes.size())); // pages in the file

        // Tag table entry 1 at byte 544.
        QCOMPARE(rd32(bytes, 544), uint32_t(4));           // tag header page
        QCOMPARE(bytes.mid(548, 5), QByteArray("DRUH\0", 5));
        QCOMPARE(bytes[544 + 20], 'C');

        // Tag header at page 4.
        const int th = 4 * 512;
        const uint32_t root = rd32(bytes, th);
        QVERIFY(root >= 6);
        QCOMPARE(bytes[th + 9], 'C');
        QCOMPARE(rd16(bytes, th + 12), uint16_t(10));      // key length
        QCOMPARE(rd16(bytes, th + 14), uint16_t((1024 - 12) / 16)); // keys per block
        QCOMPARE(rd16(bytes, th + 18), uint16_t(16));      // item: 4 + key rounded to 4
        QCOMPARE(bytes.mid(th + 24, 5), QByteArray("DRUH\0", 5));

        // The root is a leaf: count, then (record number, key) items, then 0.
        const int leaf = int(root) * 512;
        QCOMPARE(rd32(bytes, leaf), uint32_t(3));
        QCOMPARE(rd32(bytes, leaf + 8), uint32_t(2));
        QCOMPARE(bytes.mid(leaf + 12, 10), QByteArray("Auta      "));
        QCOMPARE(rd32(bytes, leaf + 8 + 16), uint32_t(3));
        QCOMPARE(bytes.mid(leaf + 12 + 16, 10), QByteArray("Hory      "));
        QCOMPARE(rd32(bytes, leaf + 8 + 32), uint32_t(1));
        QCOMPARE(bytes.mid(leaf + 12 + 32, 10), QByteArray("Zvirata   "));
        QCOMPARE(rd32(bytes, leaf + 8 + 48), uint32_t(0));
    }

    void createAndOpenRoundTrip()
    {
        const QString path = file("round.mdx");
        std::vector<QByteArray> recs{record("Zeměpis", "Evropa"), record("Dějepis", "Středověk"),
                                     record("Zeměpis", "Asie"), record("Dějepis", "Antika")};
        for (QByteArray& r : recs)
            r = unicodeToCp1250(QString::fromUtf8(r));
        createCatalogueIndex(path, recs);
        auto mdx = MdxFile::open(path, false);
        QCOMPARE(mdx->tagCount(), 2);
        QCOMPARE(mdx->tagName(0), QStringLiteral("DRUHJMENO"));
        QCOMPARE(mdx->findTag(QStringLiteral("DruhJmeno")), 0);
        QCOMPARE(mdx->findTag(QStringLiteral("druh")), 1);
        QCOMPARE(mdx->findTag(QStringLiteral("JMENO")), -1);
        QCOMPARE(mdx->tagExpression(0), QStringLiteral("DRUH+JMENO"));
        QCOMPARE(mdx->keyLength(0), 100);
        QCOMPARE(mdx->keyLength(1), 50);
        QCOMPARE(mdx->keyType(0), 'C');
        QCOMPARE(mdx->entryCount(0), 4);
        std::vector<uint32_t> order;
        for (const Entry& e : walk(*mdx, 0))
            order.push_back(e.second);
        QCOMPARE(order, (std::vector<uint32_t>{4, 2, 3, 1}));
        QVERIFY(mdx->check().isEmpty());

        // Key lengths are cut to the dBASE IV maximum of 100.
        const std::vector<MdxFieldRef> wide{{QStringLiteral("A"), 'C', 1, 80}, {QStringLiteral("B"), 'C', 81, 80}};
        MdxFile::create(file("wide.mdx"), QStringLiteral("W"), {{QStringLiteral("AB"), QStringLiteral("A+B")}}, wide, {});
        QCOMPARE(MdxFile::open(file("wide.mdx"), false)->keyLength(0), 100);
    }

    void createRefusesExistingFile()
    {
        const QString path = file("exists.mdx");
        writeBytes(path, "keep me");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, createCatalogueIndex(path, {}));
        QCOMPARE(readBytes(path), QByteArray("keep me"));
        // Bad tag names and expressions fail before anything is written.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError,
            MdxFile::create(file("bad.mdx"), "T", {{"TOO LONG NAME", "DRUH"}}, catalogueFields(), {}));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError,
            MdxFile::create(file("bad.mdx"), "T", {{"A", "DRUH"}, {"a", "JMENO"}}, catalogueFields(), {}));
        QVERIFY(!QFile::exists(file("bad.mdx")));
    }

    void randomInsertsKeepOrderAcrossSplits()
    {
        // 3000 keys at nine per block need at least four levels.
        const QString path = file("random.mdx");
        const std::vector<Entry> expected = buildByInserts(path, 3000, 7);
        auto mdx = MdxFile::open(path, false);
        QCOMPARE(mdx->entryCount(0), 3000);
        QCOMPARE(walk(*mdx, 0), expected);
        QCOMPARE(walkBackwards(*mdx, 0), expected);
        QStringList problems = mdx->check();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));

        // The tree really is deep: the root is interior and so is its first child.
        const QByteArray bytes = readBytes(path);
        const uint32_t root = rd32(bytes, int(rd32(bytes, 544)) * 512);
        const int n = int(rd32(bytes, int(root) * 512));
        QVERIFY(rd32(bytes, int(root) * 512 + 8 + n * 104) != 0);
        const uint32_t child = rd32(bytes, int(root) * 512 + 8);
        const int cn = int(rd32(bytes, int(child) * 512));
        QVERIFY(rd32(bytes, int(child) * 512 + 8 + cn * 104) != 0);
        QCOMPARE(rd32(bytes, 32) * 512, uint32_t(bytes.size()));
    }

    void seekAndLocate()
    {
        const QString path = file("seek.mdx");
        const std::vector<Entry> expected = buildByInserts(path, 1500, 11);
        auto mdx = MdxFile::open(path, false);
        for (size_t i = 0; i < expected.size(); i += 37) {
            const auto p = mdx->seek(0, expected[i].first);
            QVERIFY(p.valid());
            QCOMPARE(mdx->key(0, p), expected[i].first);
            const auto q = mdx->locate(0, expected[i].first, expected[i].second);
            QCOMPARE(mdx->recno(0, q), expected[i].second);
        }
        // A short key is padded with blanks before comparing.
        const QByteArray trimmed = QByteArray(expected[5].first).trimmed();
        if (pad(trimmed, 100) == expected[5].first)
            QVERIFY(mdx->seek(0, trimmed).valid());
        QVERIFY(!mdx->seek(0, "~~~ nothing like this").valid());
        QVERIFY(!mdx->seek(0, "").valid());
        QVERIFY(!mdx->locate(0, expected[0].first, 999999).valid());
        // The DRUH tag seeks the first of its equal keys.
        const QByteArray druh = expected[10].first.left(50);
        const auto p = mdx->seek(1, druh);
        QVERIFY(p.valid());
        const auto before = mdx->prior(1, p);
        QVERIFY(!before.valid() || mdx->key(1, before) != druh);
        // Invalid positions read as nothing.
        QCOMPARE(mdx->recno(0, MdxFile::Position{}), 0u);
        QCOMPARE(mdx->recno(0, MdxFile::Position{123456, 3}), 0u);
        QVERIFY(!mdx->next(0, MdxFile::Position{1, 0}).valid());
        QVERIFY(!mdx->first(7).valid());
    }

    void equalKeysFollowRecordNumbers()
    {
        const QString path = file("dups.mdx");
        createCatalogueIndex(path, {});
        auto mdx = MdxFile::open(path, true);
        std::vector<uint32_t> recnos(120);
        std::iota(recnos.begin(), recnos.end(), 1u);
        std::shuffle(recnos.begin(), recnos.end(), std::mt19937(3));
        const QByteArray same = pad("Fyzika", 100);
        for (uint32_t r : recnos) {
            mdx->insertKey(0, same, r);
            mdx->insertKey(0, pad("Chemie", 100), r + 1000);
            mdx->insertKey(0, pad("Zoologie", 100), r + 2000);
        }
        const auto all = walk(*mdx, 0);
        QCOMPARE(int(all.size()), 360);
        std::vector<uint32_t> fyzika;
        for (const Entry& e : all)
            if (e.first == same)
                fyzika.push_back(e.second);
        QCOMPARE(int(fyzika.size()), 120);
        QVERIFY(std::is_sorted(fyzika.begin(), fyzika.end()));
        QCOMPARE(mdx->recno(0, mdx->seek(0, "Fyzika")), 1u);
        QCOMPARE(mdx->recno(0, mdx->locate(0, "Fyzika", 77)), 77u);
        // Inserting an entry that is already there changes nothing.
        mdx->insertKey(0, same, 77);
        QCOMPARE(mdx->entryCount(0), 360);
        QVERIFY(mdx->check().isEmpty());
    }

    void removeKeysThenWalk()
    {
        const QString path = file("remove.mdx");
        std::vector<Entry> expected = buildByInserts(path, 2000, 21);
        {
            auto mdx = MdxFile::open(path, true);
            std::mt19937 rng(5);
            std::vector<Entry> shuffled = expected;
            std::shuffle(shuffled.begin(), shuffled.end(), rng);
            std::set<Entry> removed;
            for (size_t i = 0; i < shuffled.size() / 2; ++i) {
                mdx->removeKey(0, shuffled[i].first, shuffled[i].second);
                removed.insert(shuffled[i]);
            }
            // Removing what is not there is harmless.
            mdx->removeKey(0, "no such key", 1);
            expected.erase(std::remove_if(expected.begin(), expected.end(),
                                          [&](const Entry& e) { return removed.count(e) > 0; }),
                           expected.end());
            QCOMPARE(walk(*mdx, 0), expected);
            QCOMPARE(walkBackwards(*mdx, 0), expected);
            const QStringList problems = mdx->check();
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        }
        // The file is the truth: a fresh open walks the same.
        {
            auto mdx = MdxFile::open(path, true);
            QCOMPARE(walk(*mdx, 0), expected);
            // Empty the tag completely, then fill it again.
            for (const Entry& e : expected)
                mdx->removeKey(0, e.first, e.second);
            QVERIFY(!mdx->first(0).valid());
            QVERIFY(!mdx->last(0).valid());
            QCOMPARE(mdx->entryCount(0), 0);
            QVERIFY(mdx->check().isEmpty());
            for (const Entry& e : expected)
                mdx->insertKey(0, e.first, e.second);
            QCOMPARE(walk(*mdx, 0), expected);
        }
        auto again = MdxFile::open(path, false);
        QCOMPARE(walk(*again, 0), expected);
        QVERIFY(again->check().isEmpty());
    }

    void reopenAfterChangesGivesSameWalk()
    {
        const QString path = file("reopen.mdx");
        const std::vector<Entry> expected = buildByInserts(path, 800, 99);
        auto a = MdxFile::open(path, false);
        auto b = MdxFile::open(path, false);
        QCOMPARE(walk(*a, 0), expected);
        QCOMPARE(walk(*b, 1).size(), expected.size());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, a->insertKey(0, "x", 1));
    }

    void czechKeysInByteOrder()
    {
        const QString path = file("czech.mdx");
        const QStringList words{QStringLiteral("Zebra"), QStringLiteral("Čáp"), QStringLiteral("Abeceda"),
                                QStringLiteral("žába"), QStringLiteral("Šíp"), QStringLiteral("řeka")};
        std::vector<QByteArray> recs;
        for (const QString& w : words)
            recs.push_back(record(unicodeToCp1250(w), "x"));
        createCatalogueIndex(path, recs);
        auto mdx = MdxFile::open(path, false);
        std::vector<QByteArray> keys;
        for (const Entry& e : walk(*mdx, 1))
            keys.push_back(e.first);
        std::vector<QByteArray> sorted = keys;
        std::sort(sorted.begin(), sorted.end(), [](const QByteArray& x, const QByteArray& y) {
            return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                                [](char p, char q) { return uchar(p) < uchar(q); });
        });
        QCOMPARE(keys, sorted);
        QCOMPARE(cp1250ToUnicode(keys.front()).trimmed(), QStringLiteral("Abeceda"));
        QCOMPARE(cp1250ToUnicode(keys[1]).trimmed(), QStringLiteral("Zebra"));
        const auto p = mdx->seek(1, unicodeToCp1250(QStringLiteral("Čáp")));
        QCOMPARE(mdx->recno(1, p), 2u);
    }

    void keyExpressions()
    {
        const auto fields = catalogueFields();
        const QByteArray rec = record(unicodeToCp1250(QStringLiteral("čeština")), unicodeToCp1250(QStringLiteral("řeč žluťoučká")));
        const auto plain = MdxKeyExpression::parse(QStringLiteral("DRUH+JMENO"), fields);
        QCOMPARE(plain.naturalLength(), 100);
        QCOMPARE(plain.evaluate(rec.constData(), 100), rec.mid(1, 100));
        QCOMPARE(plain.evaluate(rec.constData(), 10), rec.mid(1, 10));
        QCOMPARE(plain.evaluate(rec.constData(), 120), rec.mid(1, 100) + QByteArray(20, ' '));

        const auto upper = MdxKeyExpression::parse(QStringLiteral("  upper( druh + Jmeno )"), fields);
        const QByteArray key = upper.evaluate(rec.constData(), 100);
        QCOMPARE(cp1250ToUnicode(key.left(7)), QStringLiteral("ČEŠTINA"));
        QCOMPARE(cp1250ToUnicode(key.mid(50, 13)), QStringLiteral("ŘEČ ŽLUŤOUČKÁ"));

        // A numeric field alone makes a numeric key; joined to text it is
        // no key dBASE could build.
        const auto number = MdxKeyExpression::parse(QStringLiteral("pocet"), fields);
        QCOMPARE(number.type(), 'N');
        QByteArray rec12 = rec;
        rec12.replace(101, 3, " 12");
        QCOMPARE(number.evaluate(rec12.constData(), 12), QByteArray::fromHex("360912000000000000000000"));

        for (const char* bad : {"DRUH-JMENO", "SUBSTR(DRUH,1,3)", "NEZNAME", "UPPER(DRUH", "DRUH+", "POCET+DRUH",
                                "UPPER(UPPER(DRUH))", "", "DRUH JMENO", "UPPER(POCET)"}) {
            try {
                MdxKeyExpression::parse(QString::fromLatin1(bad), fields);
                QFAIL(bad);
            } catch (const EDatabaseError& e) {
                QCOMPARE(e.message(), QStringLiteral("Index expression '%1' is not supported").arg(QLatin1String(bad)));
            }
        }
    }

    void damagedFilesAreRefusedUntouched_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("truncated header") << 0;
        QTest::newRow("truncated tree") << 1;
        QTest::newRow("root past end") << 2;
        QTest::newRow("cycle between two pages") << 3;
        QTest::newRow("wrong block size") << 4;
        QTest::newRow("absurd key length") << 5;
        QTest::newRow("too many keys in a block") << 6;
        QTest::newRow("unknown version") << 7;
        QTest::newRow("child pointing at itself") << 8;
        QTest::newRow("tag header past end") << 9;
    }

    void damagedFilesAreRefusedUntouched()
    {
        QFETCH(int, kind);
        const QString good = file(QStringLiteral("good%1.mdx").arg(kind));
        buildByInserts(good, 400, 1234);
        QByteArray bytes = readBytes(good);
        const int th = int(rd32(bytes, 544)) * 512;
        const uint32_t root = rd32(bytes, th);
        const int rootAt = int(root) * 512;
        const int rootKeys = int(rd32(bytes, rootAt));
        switch (kind) {
        case 0: bytes.truncate(1000); break;
        case 1: bytes.truncate(bytes.size() / 2); break;
        case 2: wr32(bytes, th, 0x7FFFFFF0u); break;
        case 3: {
            const uint32_t child = rd32(bytes, rootAt + 8);
            wr32(bytes, int(child) * 512 + 8, root); // child leads back to the root
            break;
        }
        case 4: wr16(bytes, 22, 1000); break;
        case 5: wr16(bytes, th + 12, 500); break;
        case 6: wr32(bytes, rootAt, 5000); break;
        case 7: bytes[0] = 3; break;
        case 8: wr32(bytes, rootAt + 8 + rootKeys * 104, root); break;
        case 9: wr32(bytes, 544, 0x00FFFFFFu); break;
        }
        const QString path = file(QStringLiteral("damaged%1.mdx").arg(kind));
        writeBytes(path, bytes);
        for (bool writable : {false, true}) {
            try {
                MdxFile::open(path, writable);
                QFAIL("a damaged index opened");
            } catch (const EDatabaseError& e) {
                QVERIFY2(e.message().startsWith(QStringLiteral("Index file %1 is damaged: ").arg(path)),
                         qPrintable(e.message()));
            }
        }
        QCOMPARE(readBytes(path), bytes);
    }

    // Random byte damage: opening either fails cleanly or gives an index that
    // can be walked and checked without harm.
    void scrambledFilesNeverCrash()
    {
        const QString good = file("scramble-src.mdx");
        buildByInserts(good, 300, 77);
        const QByteArray original = readBytes(good);
        std::mt19937 rng(2024);
        std::uniform_int_distribution<int> at(0, int(original.size()) - 1);
        std::uniform_int_distribution<int> byte(0, 255);
        const QString path = file("scrambled.mdx");
        int opened = 0;
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes = original;
            for (int i = 0; i < 1 + round % 6; ++i)
                bytes[at(rng)] = char(byte(rng));
            QFile::remove(path);
            writeBytes(path, bytes);
            try {
                auto mdx = MdxFile::open(path, false);
                ++opened;
                for (int t = 0; t < mdx->tagCount(); ++t) {
                    int steps = 0;
                    for (auto p = mdx->first(t); p.valid() && steps < 100000; p = mdx->next(t, p))
                        ++steps;
                    mdx->seek(t, "Abc");
                }
                mdx->check();
            } catch (const EDatabaseError&) {
            }
            QCOMPARE(readBytes(path), bytes);
        }
        QVERIFY(opened > 0);
    }

    void checkFindsKeysOutOfOrder()
    {
        const QString path = file("order.mdx");
        std::vector<QByteArray> recs;
        for (int i = 0; i < 5; ++i)
            recs.push_back(record(QByteArray(1, char('A' + i)), "x"));
        createCatalogueIndex(path, recs);
        QByteArray bytes = readBytes(path);
        const int th = int(rd32(bytes, 544)) * 512;
        const int leaf = int(rd32(bytes, th)) * 512;
        // Swap the first two keys of the leaf.
        const QByteArray k0 = bytes.mid(leaf + 12, 100);
        bytes.replace(leaf + 12, 100, bytes.mid(leaf + 12 + 104, 100));
        bytes.replace(leaf + 12 + 104, 100, k0);
        writeBytes(path, bytes);
        auto mdx = MdxFile::open(path, false);
        const QStringList problems = mdx->check();
        QVERIFY(!problems.isEmpty());
        QVERIFY(problems.join('\n').contains(QStringLiteral("out of order")));
    }
};

QTEST_GUILESS_MAIN(TestMdx)
#include "tst_mdx.moc"
