#include "data/Data.h"

#include "data/Reindex.h"
#include "platform/FileSystem.h"

#include <QFileInfo>

namespace vedomec::data {

TDataModule1* DataModule1 = nullptr;

namespace {

FieldDef text(const char* name, int width)
{
    return FieldDef{QString::fromLatin1(name), FieldKind::Text, width};
}
FieldDef number(const char* name)
{
    return FieldDef{QString::fromLatin1(name), FieldKind::Number, 0};
}

QList<FieldDef> questionLayout(char type)
{
    QList<FieldDef> l{text("DRUH", 50),   text("NAZEV", 100), text("JMENO", 50), text("ADRESA", 100),
                      text("EMAIL", 50),  text("HTTP", 50),   text("HESLO", 100), text("OTAZKA", 254)};
    if (type == 'A') {
        l << text("ODPOVEDA", 254) << text("ODPOVEDB", 254) << text("ODPOVEDC", 254) << text("ODPOVEDD", 254)
          << text("SPRAVNE", 1);
    } else {
        l << text("ODPOVEDANO", 254) << text("ODPOVEDNE", 254) << text("SPRAVNE", type == 'B' ? 3 : 254);
    }
    l << text("TEST", 1) << text("ODPOVED", 254) << number("CAS1") << number("CAS2") << number("CAS3");
    return l;
}

} // namespace

QList<FieldDef> layoutA() { return questionLayout('A'); }
QList<FieldDef> layoutB() { return questionLayout('B'); }
QList<FieldDef> layoutC() { return questionLayout('C'); }

QList<FieldDef> catalogueLayout()
{
    return {text("NAZEV", 50), text("DRUH", 50),     text("JMENO", 50), text("TEST", 1),
            text("HESLO", 254), text("OTEVRENO", 1), text("AUTOR", 50)};
}

QList<FieldDef> kindLayout()
{
    return {text("DRUH", 100)};
}

QList<FieldDef> identificationLayout()
{
    return {text("DRUH", 50),  text("NAZEV", 100), text("JMENO", 50), text("ADRESA", 100),
            text("EMAIL", 50), text("HTTP", 50),   text("HESLO", 100), text("TEST", 1),
            number("CAS1"),    number("CAS2"),     number("CAS3")};
}

std::vector<DbfFieldSpec> dbfFieldsOf(const QList<FieldDef>& layout, int numberWidth)
{
    std::vector<DbfFieldSpec> out;
    for (const FieldDef& f : layout) {
        if (f.kind == FieldKind::Text)
            out.push_back(DbfFieldSpec{f.name, 'C', f.width, 0});
        else
            out.push_back(DbfFieldSpec{f.name, 'N', numberWidth, 0});
    }
    return out;
}

TDataModule1::TDataModule1(const QString& appFolder, QObject* parent)
    : QObject(parent), m_appFolder(appFolder)
{
    setObjectName(QStringLiteral("DataModule1"));
    TTable** tables[] = {&Table1, &Table2, &Table3, &Table4, &Table5};
    TDataSource** sources[] = {&DataSource1, &DataSource2, &DataSource3, &DataSource4, &DataSource5};
    for (int i = 0; i < 5; ++i) {
        *tables[i] = new TTable(this);
        (*tables[i])->setObjectName(QStringLiteral("Table%1").arg(i + 1));
        *sources[i] = new TDataSource(this);
        (*sources[i])->setObjectName(QStringLiteral("DataSource%1").arg(i + 1));
        (*sources[i])->SetDataSet(*tables[i]);
    }
    Table1->SetFieldDefs(layoutA());
    Table2->SetFieldDefs(layoutB());
    Table3->SetFieldDefs(layoutC());
    // The question table of the running test belongs to this program until
    // the test ends: another copy sharing the folder takes that test on a
    // working copy of its own.
    for (TTable* t : {Table1, Table2, Table3})
        t->SetHeld(true);
    // What a teacher imported is flushed to the disk before it counts.
    for (TTable* t : {Table4, Table5})
        t->SetSyncWrites(true);
    Table4->SetFieldDefs(catalogueLayout());
    Table4->SetTableName(QStringLiteral("Testy.DBF"));
    Table4->SetIndexName(QStringLiteral("DRUHJMENO"));
    Table5->SetFieldDefs(kindLayout());
    Table5->SetTableName(QStringLiteral("TestD.DBF"));
    Table5->SetIndexName(QStringLiteral("DRUH"));
    DataModule1 = this;
}

TDataModule1::~TDataModule1()
{
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

namespace {

// Opens and closes the table; a production index that is missing, damaged
// or out of step with the table is rebuilt from the table first.
void openRebuildingIndex(TTable* t, const std::vector<MdxTagSpec>& tags)
{
    const auto rebuild = [&] {
        QString path = fs::resolve(fs::join(t->DatabaseName(), t->TableName()));
        if (path.isEmpty())
            path = fs::join(t->DatabaseName(), t->TableName());
        rebuildProductionIndex(path, tags);
    };
    try {
        t->Open();
    } catch (const EIndexDamaged&) {
        rebuild();
        t->Open();
    }
    if (!t->IndexDamage().isEmpty()) {
        t->Close();
        rebuild();
        t->Open();
    }
    t->Close();
}

} // namespace

std::vector<MdxTagSpec> catalogueTags()
{
    return {{QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")}};
}

std::vector<MdxTagSpec> kindTags()
{
    return {{QStringLiteral("DRUH"), QStringLiteral("DRUH")}};
}

void TDataModule1::DataModule1Create()
{
    Table4->SetDatabaseName(m_appFolder + QStringLiteral("Data"));
    openRebuildingIndex(Table4, catalogueTags());
    Table5->SetDatabaseName(m_appFolder + QStringLiteral("Data"));
    openRebuildingIndex(Table5, kindTags());
}

} // namespace vedomec::data
