#pragma once
// Taking a question table from the import folder into the catalogue, free of
// any window so that the whole transaction can be driven and checked from a
// test.  The dialogs only gather the user's choice and show the outcome.
#include <QString>

#include <cstdint>
#include <functional>

namespace vedomec::data {
class TTable;
}

namespace vedomec::importing {

// Texts the user sees.
QString noSelectionMessage();   // "Nebyl vybrán žádný test pro import!"
QString nameTakenMessage();     // "Soubor s tímto názvem již existuje. ..."

// "Test typu a) b) c) d)", "Test typu ano / ne", "Test typu doplňte" for the
// letters A, B, C (exact, upper case); "Neznámý typ testu" for anything else.
QString typeText(const QString& testType);
// "ANO" when the test carries an edit password, "NE" when it does not.  The
// password itself is never shown.
QString protectionText(const QString& password);

// Whether a file or folder of this name, in any letter case, already lies in
// the tests folder.  Only that folder is asked: neither the current folder nor
// the import folder takes part, and the user's file is never renamed.
bool nameTaken(const QString& testsFolder, const QString& fileName);
// The same, except that a file with exactly the import file's bytes does not
// count: an earlier import that stopped half way left it, and importing
// again completes that import.
bool nameTakenByAnother(const QString& testsFolder, const QString& importFolder, const QString& fileName);

// Why the catalogue's NAZEV (50 characters of Windows-1250, trailing blanks
// dropped) cannot hold this file name exactly, as a Czech message for the
// user; empty when it can.  A name it cannot hold would make the catalogue
// point at a file that does not exist.
QString catalogueNameProblem(const QString& fileName);

// The test-wide values of an import file's first row that the catalogue needs.
struct ImportedTest {
    QString fileName; // the name as listed in the import folder
    QString kind;     // DRUH
    QString title;    // NAZEV (up to 100 characters)
    QString type;     // TEST
    QString password; // HESLO
    QString author;   // written to the catalogue's AUTOR; the dialog leaves it empty
};

// Reads the current table's first row (the table is open with at least the
// test-wide fields).  Moves the cursor to the first row.
ImportedTest readImportedTest(data::TTable& table, const QString& fileName);

// The copy into the tests folder: `to` must not exist; true only when the copy
// is complete and flushed; on failure nothing is left at `to` and `error`
// says what failed.  fs::copyNew is the real one; tests inject failures.
using CopyFunction = std::function<bool(const QString& from, const QString& to, QString* error)>;

// Where the file comes from and where it goes.  When both are one folder the
// file is registered where it lies: nothing is copied or deleted.
struct ImportFolders {
    QString importFolder; // application folder + "Testy/Import"
    QString testsFolder;  // application folder + "Testy"
};

struct ImportResult {
    bool kindAdded = false;
    uint32_t catalogueRecNo = 0;
    uint32_t kindRecNo = 0;   // 0 when no kind row was added
    bool sourceRemoved = true; // false: imported, but the import file could not be deleted
    bool finishedEarlier = false; // an earlier attempt had registered it; only its import file was left
    QString copiedTo;
};

// The acceptance of an imported test, the one way a test enters the
// catalogue (the identification dialog and `vedomec-table add-test`):
//   0. a name the catalogue cannot hold exactly is refused, and so is a name
//      taken in the tests folder by another file; the whole import then runs
//      under the catalogue's import lock, so two programs sharing the folder
//      import one after the other;
//   1. the kind row goes in when no row of exactly that kind exists (found on
//      the kind table's index, then compared with letter case);
//   2. the file is copied into the tests folder under a temporary name,
//      flushed, and renamed into place, never replacing a file there;
//   3. the catalogue row (title cut to the catalogue's 50 characters) goes in
//      through the catalogue's index: from now on the test can be opened;
//   4. only then is the import file deleted.
// Each step is one change of its table or folder.  When a step fails, what
// this attempt added is taken back (the kind row through the kind table's
// journal, to the bytes before it) and the import file stays where it was;
// the error is rethrown for the standard error report.  After a failure or
// a crash at any point, importing again completes the import: a kind row is
// not added twice, a complete copy left in the tests folder is used, and a
// test already in the catalogue only has its import file removed.  When the
// file is registered where it lies (see ImportFolders) a name already in the
// catalogue is refused instead.  Both tables are closed on return.
// `catalogue` and `kinds` come configured (folder, file, layout, index).
ImportResult acceptImport(data::TTable& catalogue, data::TTable& kinds, const ImportedTest& test,
                          const ImportFolders& folders, const CopyFunction& copy = {});

} // namespace vedomec::importing
