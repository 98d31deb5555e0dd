#pragma once
// One fuzz case for the table store: the input is a table file and,
// optionally, its production index, as
//   [4 bytes: length N of the table, little endian][N bytes .DBF][rest .MDX]
// (input shorter than 4 bytes, or N beyond the input, is the table alone).
// Opens the table, scans every field of every row, walks and seeks every
// tag (by text, number and date, whatever its key type), then inserts and
// edits a row, and checks the index against the table: so the tag header's
// fields (key type, unique and descending flags, the FOR clause) and the
// expression and clause parsers all meet the fuzzer.  Any failure must be
// an EVedomecError; everything else (crash, hang, sanitizer report) is a bug.
#include "data/Dbf.h"
#include "data/TagCheck.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace vedomec::fuzz {

inline bool writeWhole(const QString& path, const char* data, qsizetype size)
{
    QFile::remove(path);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data, size) == size;
}

// Walks must end: a cursor that keeps going longer than any table or tag
// that fits the input (at most 64 KiB) could be has met a cycle.
inline void bounded(long& steps)
{
    if (++steps > 100'000)
        std::abort();
}

inline void runTableCase(const QString& folder, const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    qsizetype dbfSize = qsizetype(size);
    bool withIndex = false;
    if (size >= 4) {
        const uint32_t n = uint32_t(data[0]) | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24);
        if (n <= size - 4) {
            bytes += 4;
            dbfSize = qsizetype(n);
            withIndex = true;
        }
    }
    const QString dbf = folder + QStringLiteral("/F.DBF");
    const QString mdx = folder + QStringLiteral("/F.MDX");
    QFile::remove(mdx);
    if (!writeWhole(dbf, bytes, dbfSize))
        return;
    if (withIndex && !writeWhole(mdx, bytes + dbfSize, qsizetype(size) - 4 - dbfSize))
        return;

    data::TTable t;
    using data::Bookmark;
    t.SetDatabaseName(folder);
    t.SetTableName(QStringLiteral("f.dbf"));
    try {
        t.Open();
    } catch (const EVedomecError&) {
        return;
    }
    long steps = 0;
    try {
        const QStringList names = t.FieldNames();
        const auto readRow = [&] {
            for (const QString& n : names)
                (void)t.FieldAsString(n);
        };
        t.First();
        while (!t.Eof()) {
            bounded(steps);
            readRow();
            (void)t.RecNo();
            t.Next();
        }
        for (const QString& tag : t.IndexTagNames()) {
            try {
                t.SetIndexName(tag);
                steps = 0;
                t.First();
                while (!t.Eof()) {
                    bounded(steps);
                    readRow();
                    const Bookmark b = t.GetBookmark();
                    t.GotoBookmark(b);
                    t.Next();
                }
                steps = 0;
                t.Last();
                while (!t.Bof()) {
                    bounded(steps);
                    t.Prior();
                }
                for (const QString& key : {QStringLiteral("A"), QStringLiteral("-12.5"), QStringLiteral("2000-01-01")}) {
                    try {
                        t.FindKey({key});
                    } catch (const EVedomecError&) {
                    }
                }
                t.FindKey({QStringLiteral("A"), QStringLiteral("B")});
            } catch (const EVedomecError&) {
            }
        }
    } catch (const EVedomecError&) {
    }
    // Writes go to the scratch copy only.
    try {
        t.SetIndexName(QString());
        t.Insert();
        for (const QString& n : t.FieldNames()) {
            try {
                t.SetFieldAsString(n, QStringLiteral("Žluťoučký 12"));
            } catch (const EVedomecError&) {
                t.SetFieldAsString(n, QStringLiteral("12"));
            }
        }
        t.Post();
        t.First();
        t.Edit();
        if (!t.FieldNames().isEmpty())
            t.SetFieldAsString(t.FieldNames().constFirst(), QString());
        t.Post();
    } catch (const EVedomecError&) {
    }
    t.Close();
    if (withIndex) {
        try {
            const auto index = data::MdxFile::open(mdx, false);
            (void)index->check();
            for (int tag = 0; tag < index->tagCount(); ++tag)
                (void)(index->tagForClause(tag).size() + index->tagUnique(tag) + index->tagDescending(tag));
            (void)data::checkTagsAgainstTable(*data::DbfFile::open(dbf), *index);
        } catch (const EVedomecError&) {
        }
    }
}

} // namespace vedomec::fuzz
