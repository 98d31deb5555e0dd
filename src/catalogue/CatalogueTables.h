#pragma once
// The catalogue (Testy.DBF) and the kind table (TestD.DBF) of a data folder
// as every program that writes them opens them, and the one way a catalogue
// row is found by the file name of its question table.
#include <QString>

namespace vedomec::data {
class TTable;
}

namespace vedomec::catalogue {

// `indexed`: in the DRUHJMENO order (kind, then title).  `sync`: each change
// is flushed before it counts.
void configureCatalogue(data::TTable& t, const QString& dataFolder, bool indexed, bool sync = true);
// In the DRUH order, each change flushed.
void configureKinds(data::TTable& t, const QString& dataFolder);

// Puts the cursor of the open catalogue on the row naming `fileName`
// (letter case aside, as the file system of a copied folder may differ);
// false when no row does.
bool findCatalogueRow(data::TTable& catalogue, const QString& fileName);

} // namespace vedomec::catalogue
