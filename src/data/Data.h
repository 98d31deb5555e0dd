#pragma once
// The data module: the five table objects of the program and their data
// sources, with the declared layouts of the test data files.
#include "data/Dbf.h"
#include "data/Table.h"

#include <QList>
#include <QObject>
#include <QString>

#include <vector>

namespace vedomec::data {

// Question table of a type A test (answers a) to d)).
QList<FieldDef> layoutA();
// Question table of a type B test (yes/no; SPRAVNE 3 wide).
QList<FieldDef> layoutB();
// Question table of a type C test (fill-in; SPRAVNE 254 wide).
QList<FieldDef> layoutC();
// Test catalogue Testy.DBF.
QList<FieldDef> catalogueLayout();
// Kind table TestD.DBF.
QList<FieldDef> kindLayout();
// The test-wide fields only: opens a question table of any type.
QList<FieldDef> identificationLayout();
// The tags of the catalogue's and the kind table's production indexes.
std::vector<MdxTagSpec> catalogueTags();
std::vector<MdxTagSpec> kindTags();

// Field specifications for creating a file with a declared layout, fields in
// layout order; number fields become dBASE numbers without decimals of
// `numberWidth` digits.
std::vector<DbfFieldSpec> dbfFieldsOf(const QList<FieldDef>& layout, int numberWidth = 6);

class TDataModule1 : public QObject {
    Q_OBJECT
public:
    // `appFolder` is the application folder, ending in '/'.  The caller runs
    // DataModule1Create() next and reports its error.
    explicit TDataModule1(const QString& appFolder, QObject* parent = nullptr);
    ~TDataModule1() override;

    // Opens and closes the catalogue, then the kind table, to prove at start
    // that both and their index files can be read.  An index that is
    // missing, damaged or out of step with its table is rebuilt from the
    // table (the old file kept beside it) and start-up goes on.  Throws
    // EDatabaseError.
    void DataModule1Create();

    QString AppFolder() const { return m_appFolder; }

    TTable* Table1;
    TTable* Table2;
    TTable* Table3;
    TTable* Table4;
    TTable* Table5;
    TDataSource* DataSource1;
    TDataSource* DataSource2;
    TDataSource* DataSource3;
    TDataSource* DataSource4;
    TDataSource* DataSource5;

private:
    QString m_appFolder;
};

// The program's one data module; set by its constructor.
extern TDataModule1* DataModule1;

} // namespace vedomec::data
