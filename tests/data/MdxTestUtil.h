#pragma once
// Writes production indexes byte by byte after docs/mdx-format.md, with the
// features other dBASE programs use and the store's own writer never
// produces on its own: entries in any order the test gives (equal keys
// newest first), FOR clauses, unique and descending flags, numeric and date
// keys, blocks of one page.  Nothing of the store's code is used, so the
// fixtures test the reader against the description, not against itself.
#include <QByteArray>
#include <QDate>
#include <QList>

#include <bit>
#include <cstring>

namespace mdxtest {

struct Entry {
    QByteArray key;  // padded (blanks) or cut to the tag's key length
    quint32 recno;
};

struct Tag {
    QByteArray name;
    QByteArray expression;
    QByteArray forClause;   // empty: none
    char type = 'C';
    int keyLength = 10;
    bool unique = false;
    bool descending = false;
    QList<Entry> entries;   // in leaf order, exactly as given
    int keysPerLeaf = 0;    // 0: as many as a block holds
    int keysPerInterior = 0;
};

inline void put16(QByteArray& b, qsizetype at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

inline void put32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// A numeric key from decimal text: 0x34 + exponent, sign and digit count,
// then the digits two a byte (docs/mdx-format.md).
inline QByteArray numberKey(const QByteArray& decimal)
{
    QByteArray text = decimal.trimmed();
    bool negative = false;
    if (text.startsWith('-')) {
        negative = true;
        text = text.mid(1);
    }
    const qsizetype point = text.indexOf('.');
    int intDigits = int(point < 0 ? text.size() : point);
    QByteArray digits = text;
    digits.replace(".", "");
    while (!digits.isEmpty() && digits.front() == '0') {
        digits.remove(0, 1);
        --intDigits;
    }
    while (!digits.isEmpty() && digits.back() == '0')
        digits.chop(1);
    QByteArray key(12, '\0');
    if (digits.isEmpty()) {
        key[0] = char(0x34);
        key[1] = char(0x01);
        return key;
    }
    key[0] = char(0x34 + intDigits);
    key[1] = char((negative ? 0x80 : 0) | (int(digits.size()) << 2) | 0x01);
    for (int i = 0; i < digits.size(); ++i) {
        const int d = digits[i] - '0';
        key[2 + i / 2] = char(uchar(key[2 + i / 2]) | (i % 2 == 0 ? d << 4 : d));
    }
    return key;
}

// A date key: the Julian day number as a little-endian double.
inline QByteArray dateKey(const QDate& date)
{
    const quint64 bits = std::bit_cast<quint64>(double(date.toJulianDay()));
    QByteArray key(8, '\0');
    for (int i = 0; i < 8; ++i)
        key[i] = char((bits >> (8 * i)) & 0xFF);
    return key;
}

inline QByteArray image(const QByteArray& tableName, const QList<Tag>& tags, int pagesPerBlock = 2)
{
    constexpr int page = 512;
    const int blockBytes = pagesPerBlock * page;
    QByteArray out(4 * page, '\0');
    quint32 next = 4;
    const auto allocate = [&]() {
        const quint32 at = next;
        next += quint32(pagesPerBlock);
        out.resize(qsizetype(next) * page, '\0');
        return at;
    };

    for (int t = 0; t < tags.size(); ++t) {
        const Tag& tag = tags[t];
        const int itemLen = 4 + (tag.keyLength + 3) / 4 * 4;
        const int fit = (blockBytes - 12) / itemLen;
        const int perLeaf = tag.keysPerLeaf > 0 ? tag.keysPerLeaf : fit;
        const int perInterior = tag.keysPerInterior > 0 ? tag.keysPerInterior : fit;
        const quint32 header = allocate();
        const auto keyOf = [&](int e) {
            QByteArray k = tag.entries[e].key.left(tag.keyLength);
            k.append(QByteArray(tag.keyLength - k.size(), tag.type == 'C' ? ' ' : '\0'));
            return k;
        };

        struct Built {
            quint32 page;
            int last; // entry index of the subtree's last key
        };
        QList<Built> level;
        const int n = int(tag.entries.size());
        for (int from = 0; from < n || level.isEmpty(); from += perLeaf) {
            const int to = std::min(n, from + perLeaf);
            const quint32 at = allocate();
            const qsizetype b = qsizetype(at) * page;
            put32(out, b, quint32(to - from));
            for (int e = from; e < to; ++e) {
                const qsizetype item = b + 8 + qsizetype(e - from) * itemLen;
                put32(out, item, tag.entries[e].recno);
                out.replace(item + 4, tag.keyLength, keyOf(e));
            }
            level.append({at, to - 1});
            if (n == 0)
                break;
        }
        while (level.size() > 1) {
            QList<Built> up;
            for (int from = 0; from < level.size(); from += perInterior + 1) {
                const int to = std::min(int(level.size()), from + perInterior + 1);
                const quint32 at = allocate();
                const qsizetype b = qsizetype(at) * page;
                put32(out, b, quint32(to - from - 1));
                for (int c = from; c < to; ++c) {
                    const qsizetype item = b + 8 + qsizetype(c - from) * itemLen;
                    put32(out, item, level[c].page);
                    if (c + 1 < to)
                        out.replace(item + 4, tag.keyLength, keyOf(level[c].last));
                }
                up.append({at, level[to - 1].last});
            }
            level = up;
        }

        const qsizetype th = qsizetype(header) * page;
        put32(out, th, level.front().page);
        out[th + 8] = char(0x10 | (tag.descending ? 0x08 : 0) | (tag.unique ? 0x40 : 0));
        out[th + 9] = tag.type;
        put16(out, th + 12, tag.keyLength);
        put16(out, th + 14, fit);
        put16(out, th + 16, tag.type == 'D' ? 1 : 0);
        put16(out, th + 18, itemLen);
        out[th + 20] = 1;
        out[th + 23] = tag.unique ? 1 : 0;
        out.replace(th + 24, tag.expression.size(), tag.expression);
        out[th + 246] = tag.entries.isEmpty() ? 0 : 1;
        if (!tag.forClause.isEmpty()) {
            out[th + 245] = 1;
            out.replace(th + 762, tag.forClause.size(), tag.forClause);
        }

        const qsizetype entry = 544 + qsizetype(t) * 32;
        put32(out, entry, header);
        out.replace(entry + 4, tag.name.size(), tag.name);
        out[entry + 15] = 0x10;
        out[entry + 20] = tag.type;
    }
    for (int t = 0; t < tags.size(); ++t) {
        const qsizetype entry = 544 + qsizetype(t) * 32;
        const quint32 header = quint32(uchar(out[entry])) | (quint32(uchar(out[entry + 1])) << 8)
            | (quint32(uchar(out[entry + 2])) << 16) | (quint32(uchar(out[entry + 3])) << 24);
        put32(out, qsizetype(header) * page + 4, next);
    }

    out[0] = 2;
    out[1] = char(124);
    out[2] = 5;
    out[3] = 17;
    out.replace(4, std::min<qsizetype>(tableName.size(), 16), tableName.left(16));
    put16(out, 20, pagesPerBlock);
    put16(out, 22, blockBytes);
    out[24] = 1;
    out[25] = 48;
    out[26] = 32;
    put16(out, 28, int(tags.size()));
    put32(out, 32, next);
    out[44] = char(124);
    out[45] = 5;
    out[46] = 17;
    return out;
}

} // namespace mdxtest
