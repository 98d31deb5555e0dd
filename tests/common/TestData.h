#pragma once
// Builds application folders for tests with the store's own operations:
// question tables of the three layouts, the catalogue and the kind table
// with their production indexes, the sound folder.
#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace vedomec::testdata {

struct Question {
    QString otazka;
    QString a, b, c, d; // answers of type A
    QString spravne;
    QString odpoved;    // normally empty
};

struct TestFile {
    QString type = QStringLiteral("A"); // "A", "B" or "C"
    QString druh = QStringLiteral("Zeměpis");
    QString nazev = QStringLiteral("Hlavní města");
    QString jmeno = QStringLiteral("Jana Nováková");
    QString adresa = QStringLiteral("ZŠ Komenského 12, Brno");
    QString email = QStringLiteral("novakova@zs.cz");
    QString http = QStringLiteral("www.zs.cz");
    QString heslo;
    QString cas1 = QStringLiteral("0"), cas2 = QStringLiteral("0"), cas3 = QStringLiteral("0");
    QList<Question> questions;
    int spravneWidth = 0; // 0: the layout's own width
};

inline std::vector<data::DbfFieldSpec> questionFields(const TestFile& t)
{
    std::vector<data::DbfFieldSpec> f = {
        {QStringLiteral("DRUH"), 'C', 50, 0},   {QStringLiteral("NAZEV"), 'C', 100, 0},
        {QStringLiteral("JMENO"), 'C', 50, 0},  {QStringLiteral("ADRESA"), 'C', 100, 0},
        {QStringLiteral("EMAIL"), 'C', 50, 0},  {QStringLiteral("HTTP"), 'C', 50, 0},
        {QStringLiteral("HESLO"), 'C', 100, 0}, {QStringLiteral("OTAZKA"), 'C', 254, 0},
    };
    int spravne = 254;
    if (t.type == QLatin1String("A")) {
        for (const char* n : {"ODPOVEDA", "ODPOVEDB", "ODPOVEDC", "ODPOVEDD"})
            f.push_back({QLatin1String(n), 'C', 254, 0});
        spravne = 1;
    } else {
        f.push_back({QStringLiteral("ODPOVEDANO"), 'C', 254, 0});
        f.push_back({QStringLiteral("ODPOVEDNE"), 'C', 254, 0});
        spravne = t.type == QLatin1String("B") ? 3 : 254;
    }
    if (t.spravneWidth)
        spravne = t.spravneWidth;
    f.push_back({QStringLiteral("SPRAVNE"), 'C', spravne, 0});
    f.push_back({QStringLiteral("TEST"), 'C', 1, 0});
    f.push_back({QStringLiteral("ODPOVED"), 'C', 254, 0});
    f.push_back({QStringLiteral("CAS1"), 'N', 4, 0});
    f.push_back({QStringLiteral("CAS2"), 'N', 4, 0});
    f.push_back({QStringLiteral("CAS3"), 'N', 4, 0});
    return f;
}

// Inserts rows through a cursor over every field of the file.
inline void insertRows(const QString& path, const QList<QList<QPair<QString, QString>>>& rows)
{
    auto file = data::DbfFile::open(path);
    QList<data::FieldDef> defs;
    for (const auto& f : file->fields())
        defs.append({f.name, f.type == 'C' ? data::FieldKind::Text : data::FieldKind::Number, f.length});
    file.reset();
    data::TTable t;
    const QFileInfo fi(path);
    t.SetDatabaseName(fi.absolutePath());
    t.SetTableName(fi.fileName());
    t.SetFieldDefs(defs);
    t.Open();
    for (const auto& row : rows) {
        t.Insert();
        for (const auto& [name, value] : row)
            t.SetFieldAsString(name, value);
        t.Post();
    }
    t.Close();
}

// With `tags`, the table gets a production index of them, as another dBASE
// program may leave a question table.
inline void writeQuestionTable(const QString& path, const TestFile& t, const std::vector<data::MdxTagSpec>& tags = {})
{
    data::DbfFile::create(path, questionFields(t), !tags.empty());
    if (!tags.empty()) {
        auto file = data::DbfFile::open(path);
        data::MdxFile::create(QFileInfo(path).path() + QLatin1Char('/') + QFileInfo(path).completeBaseName()
                                  + QStringLiteral(".mdx"),
                              QFileInfo(path).completeBaseName(), tags, file->mdxFields(), {});
    }
    QList<QList<QPair<QString, QString>>> rows;
    for (const Question& q : t.questions) {
        QList<QPair<QString, QString>> r = {
            {QStringLiteral("DRUH"), t.druh},     {QStringLiteral("NAZEV"), t.nazev},
            {QStringLiteral("JMENO"), t.jmeno},   {QStringLiteral("ADRESA"), t.adresa},
            {QStringLiteral("EMAIL"), t.email},   {QStringLiteral("HTTP"), t.http},
            {QStringLiteral("HESLO"), t.heslo},   {QStringLiteral("OTAZKA"), q.otazka},
            {QStringLiteral("SPRAVNE"), q.spravne}, {QStringLiteral("TEST"), t.type},
            {QStringLiteral("ODPOVED"), q.odpoved}, {QStringLiteral("CAS1"), t.cas1},
            {QStringLiteral("CAS2"), t.cas2},     {QStringLiteral("CAS3"), t.cas3},
        };
        if (t.type == QLatin1String("A")) {
            r.append({QStringLiteral("ODPOVEDA"), q.a});
            r.append({QStringLiteral("ODPOVEDB"), q.b});
            r.append({QStringLiteral("ODPOVEDC"), q.c});
            r.append({QStringLiteral("ODPOVEDD"), q.d});
        }
        rows.append(r);
    }
    insertRows(path, rows);
}

// A test of `n` questions: type A answers "A".."D" cycling, B "ANO"/"NE", C "Praha 1".."Praha n".
inline TestFile simpleTest(const QString& type, int n)
{
    TestFile t;
    t.type = type;
    for (int i = 1; i <= n; ++i) {
        Question q;
        q.otazka = QStringLiteral("Otázka číslo %1?").arg(i);
        if (type == QLatin1String("A")) {
            q.a = QStringLiteral("odpověď a%1").arg(i);
            q.b = QStringLiteral("odpověď b%1").arg(i);
            q.c = QStringLiteral("odpověď c%1").arg(i);
            q.d = QStringLiteral("odpověď d%1").arg(i);
            q.spravne = QString(QChar(u'A' + (i - 1) % 4));
        } else if (type == QLatin1String("B")) {
            q.spravne = i % 2 ? QStringLiteral("ANO") : QStringLiteral("NE");
        } else {
            q.spravne = QStringLiteral("Praha %1").arg(i);
        }
        t.questions.append(q);
    }
    return t;
}

struct CatalogueRow {
    QString nazev, druh, jmeno, test, heslo, otevreno, autor;
};

// An application folder in a temporary directory.
class AppFolder {
public:
    AppFolder()
    {
        QDir d(m_dir.path());
        d.mkpath(QStringLiteral("Data"));
        d.mkpath(QStringLiteral("Testy/Import"));
        d.mkpath(QStringLiteral("Zvuky"));
        const QString data = path() + QStringLiteral("Data/");
        data::DbfFile::create(data + QStringLiteral("Testy.DBF"),
                              {{QStringLiteral("NAZEV"), 'C', 50, 0},
                               {QStringLiteral("DRUH"), 'C', 50, 0},
                               {QStringLiteral("JMENO"), 'C', 50, 0},
                               {QStringLiteral("TEST"), 'C', 1, 0},
                               {QStringLiteral("HESLO"), 'C', 254, 0},
                               {QStringLiteral("OTEVRENO"), 'C', 1, 0},
                               {QStringLiteral("AUTOR"), 'C', 50, 0}},
                              true);
        createIndex(data + QStringLiteral("Testy.DBF"), data + QStringLiteral("Testy.MDX"),
                    {{QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")}});
        data::DbfFile::create(data + QStringLiteral("TestD.DBF"), {{QStringLiteral("DRUH"), 'C', 100, 0}}, true);
        createIndex(data + QStringLiteral("TestD.DBF"), data + QStringLiteral("TestD.MDX"),
                    {{QStringLiteral("DRUH"), QStringLiteral("DRUH")}});
        for (const char* n : {"Dialog.wav", "Info.wav", "Chyba.wav", "Dotaz.wav"}) {
            QFile f(path() + QStringLiteral("Zvuky/") + QLatin1String(n));
            f.open(QIODevice::WriteOnly);
            f.write("RIFF");
        }
    }

    // Ends in "/".
    QString path() const { return m_dir.path() + QLatin1Char('/'); }
    QString testy() const { return path() + QStringLiteral("Testy/"); }
    QString import() const { return path() + QStringLiteral("Testy/Import/"); }

    static void createIndex(const QString& dbf, const QString& mdx, const std::vector<data::MdxTagSpec>& tags)
    {
        auto file = data::DbfFile::open(dbf);
        std::vector<const char*> records;
        for (uint32_t r = 1; r <= file->recordCount(); ++r)
            records.push_back(file->record(r));
        data::MdxFile::create(mdx, QFileInfo(dbf).completeBaseName(), tags, file->mdxFields(), records);
    }

    void addCatalogueRow(const CatalogueRow& r)
    {
        insertRows(path() + QStringLiteral("Data/Testy.DBF"),
                   {{{QStringLiteral("NAZEV"), r.nazev}, {QStringLiteral("DRUH"), r.druh},
                     {QStringLiteral("JMENO"), r.jmeno}, {QStringLiteral("TEST"), r.test},
                     {QStringLiteral("HESLO"), r.heslo}, {QStringLiteral("OTEVRENO"), r.otevreno},
                     {QStringLiteral("AUTOR"), r.autor}}});
    }

    void addKind(const QString& druh)
    {
        insertRows(path() + QStringLiteral("Data/TestD.DBF"), {{{QStringLiteral("DRUH"), druh}}});
    }

    // Writes Testy/<file> and registers it in the catalogue under its kind and title.
    void addTest(const QString& file, const TestFile& t)
    {
        writeQuestionTable(testy() + file, t);
        addCatalogueRow({file, t.druh, t.nazev.left(50), t.type, t.heslo, QString(), QString()});
    }

    void addImport(const QString& file, const TestFile& t) { writeQuestionTable(import() + file, t); }

private:
    QTemporaryDir m_dir;
};

// Reads one field of every row, in physical order, straight from the file.
inline QStringList readColumn(const QString& path, const QString& field)
{
    auto file = data::DbfFile::open(path);
    const int i = file->fieldIndex(field);
    QStringList out;
    for (uint32_t r = 1; r <= file->recordCount(); ++r)
        if (!file->isDeleted(r))
            out << data::DbfFile::readField(file->fields()[size_t(i)], file->record(r));
    return out;
}

} // namespace vedomec::testdata
