#include "catalogue/CatalogueTables.h"

#include "data/Data.h"
#include "data/Table.h"

namespace vedomec::catalogue {

void configureCatalogue(data::TTable& t, const QString& dataFolder, bool indexed, bool sync)
{
    t.SetDatabaseName(dataFolder);
    t.SetTableName(QStringLiteral("Testy.DBF"));
    t.SetFieldDefs(data::catalogueLayout());
    if (indexed)
        t.SetIndexName(QStringLiteral("DRUHJMENO"));
    t.SetSyncWrites(sync);
}

void configureKinds(data::TTable& t, const QString& dataFolder)
{
    t.SetDatabaseName(dataFolder);
    t.SetTableName(QStringLiteral("TestD.DBF"));
    t.SetFieldDefs(data::kindLayout());
    t.SetIndexName(QStringLiteral("DRUH"));
    t.SetSyncWrites(true);
}

bool findCatalogueRow(data::TTable& catalogue, const QString& fileName)
{
    if (catalogue.IsEmpty())
        return false;
    for (catalogue.First(); !catalogue.Eof(); catalogue.Next())
        if (catalogue.FieldAsString(QStringLiteral("NAZEV")).compare(fileName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace vedomec::catalogue
