#pragma once
// Builds dBASE files byte by byte, so tests can make the odd and the damaged
// ones no program of ours would write.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <cstring>

namespace dbftest {

struct RawField {
    QByteArray name;
    char type = 'C';
    int length = 1;
    int decimals = 0;
};

inline void put16(QByteArray& b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}
inline void put32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}
inline quint32 get32(const QByteArray& b, int at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(quint8(b[at + i])) << (8 * i);
    return v;
}

// A record: deletion flag then each value left-aligned (numbers
// right-aligned) in its field.
inline QByteArray record(const QList<RawField>& fields, const QList<QByteArray>& values, bool deleted = false)
{
    QByteArray r(1, deleted ? '*' : ' ');
    for (int i = 0; i < fields.size(); ++i) {
        QByteArray v = i < values.size() ? values[i] : QByteArray();
        v = v.left(fields[i].length);
        const QByteArray pad(fields[i].length - v.size(), ' ');
        r += (fields[i].type == 'N' || fields[i].type == 'F') ? pad + v : v + pad;
    }
    return r;
}

inline QByteArray image(const QList<RawField>& fields, const QList<QByteArray>& records, quint8 version = 0x03,
                        bool mdxFlag = false)
{
    QByteArray h(32, '\0');
    h[0] = char(version);
    h[1] = char(124);
    h[2] = 1;
    h[3] = 2;
    int recLen = 1;
    for (const RawField& f : fields)
        recLen += f.length;
    put32(h, 4, quint32(records.size()));
    put16(h, 8, 32 + 32 * int(fields.size()) + 1);
    put16(h, 10, recLen);
    h[28] = mdxFlag ? 1 : 0;
    h[29] = char(0xC8);
    for (const RawField& f : fields) {
        QByteArray d(32, '\0');
        std::memcpy(d.data(), f.name.constData(), size_t(std::min<qsizetype>(f.name.size(), 10)));
        d[11] = f.type;
        d[16] = char(f.length);
        d[17] = char(f.decimals);
        h += d;
    }
    h += char(0x0D);
    for (const QByteArray& r : records)
        h += r;
    h += char(0x1A);
    return h;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace dbftest
