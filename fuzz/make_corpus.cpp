// Writes the seed corpus of fuzz_table: small, sound tables with and
// without a production index, in the input format of FuzzTable.h.
#include "../tests/data/ForeignIndexFixture.h"

#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Table.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace vedomec::data;

namespace {

QByteArray slurp(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void save(const QString& out, const QByteArray& dbf, const QByteArray& mdx)
{
    QByteArray bytes;
    if (!mdx.isEmpty()) {
        const quint32 n = quint32(dbf.size());
        for (int i = 0; i < 4; ++i)
            bytes.append(char((n >> (8 * i)) & 0xFF));
    }
    bytes += dbf;
    bytes += mdx;
    QFile f(out);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

void seed(const QString& dir, const QString& outDir, const QString& name, const std::vector<DbfFieldSpec>& fields,
          const std::vector<MdxTagSpec>& tags, int rows)
{
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".DBF");
    createTable(path, fields, tags);
    TTable t;
    t.SetDatabaseName(dir);
    t.SetTableName(name + QStringLiteral(".DBF"));
    t.Open();
    for (int i = 0; i < rows; ++i) {
        t.Insert();
        for (const DbfFieldSpec& f : fields)
            t.SetFieldAsString(f.name, f.type == 'N' ? QString::number((i * 7) % 60)
                                                      : QStringLiteral("Čeština %1").arg((i * 37) % 101));
        t.Post();
    }
    t.Close();
    save(outDir + QLatin1Char('/') + name, slurp(path),
         tags.empty() ? QByteArray() : slurp(dir + QLatin1Char('/') + name + QStringLiteral(".MDX")));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_corpus <folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    const std::vector<DbfFieldSpec> small = {{QStringLiteral("DRUH"), 'C', 8}, {QStringLiteral("JMENO"), 'C', 6},
                                             {QStringLiteral("CAS1"), 'N', 3}};
    seed(dir.path(), out, QStringLiteral("plain"), small, {}, 5);
    seed(dir.path(), out, QStringLiteral("onetag"), small, {{QStringLiteral("DRUH"), QStringLiteral("DRUH")}}, 12);
    seed(dir.path(), out, QStringLiteral("twotags"), small,
         {{QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")}, {QStringLiteral("JMENO"), QStringLiteral("UPPER(JMENO)")}},
         120);
    seed(dir.path(), out, QStringLiteral("empty"), small, {{QStringLiteral("DRUH"), QStringLiteral("DRUH")}}, 0);
    seed(dir.path(), out, QStringLiteral("kinds"), dbfFieldsOf(kindLayout()), {{QStringLiteral("DRUH"), QStringLiteral("DRUH")}}, 3);
    // The tag header's other fields, as the store writes them...
    seed(dir.path(), out, QStringLiteral("features"), small,
         {{QStringLiteral("ZIVE"), QStringLiteral("DRUH+JMENO"), QStringLiteral(".NOT. DELETED()")},
          {QStringLiteral("NIC"), QStringLiteral("JMENO"), QStringLiteral(".F.")},
          {QStringLiteral("VYBER"), QStringLiteral("UPPER(JMENO)"), QStringLiteral("CAS1 > 20 .AND. DRUH = \"Č\"")},
          {QStringLiteral("DRUHY"), QStringLiteral("UPPER(DRUH)"), QString(), true},
          {QStringLiteral("JMENA"), QStringLiteral("JMENO"), QString(), false, true},
          {QStringLiteral("CAS"), QStringLiteral("CAS1")}},
         40);
    // ...and as other programs do: date keys, equal keys newest first,
    // blocks of one page.
    namespace ff = foreignfixture;
    save(out + QStringLiteral("/foreign"), ff::dbfImage(ff::rows()), mdxtest::image("FOREIGN", ff::tags()));
    QList<mdxtest::Tag> smallBlocks = ff::tags();
    smallBlocks.removeIf([](const mdxtest::Tag& t) { return !t.forClause.isEmpty(); });
    save(out + QStringLiteral("/foreign-small-blocks"), ff::dbfImage(ff::rows()), mdxtest::image("FOREIGN", smallBlocks, 1));
    return 0;
}
