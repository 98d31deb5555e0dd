#pragma once
// What the authoring and administration tools do to tables, built on the
// store's own operations (DbfFile::create, MdxFile::create, TTable).  Every
// function either finishes or leaves no new file behind, and none of them
// ever replaces an existing file.  Failures throw EVedomecError/EDatabaseError.
#include "exchange/TestSource.h"

#include <QString>

namespace vedomec::tools {

using exchange::SourceError;
using exchange::SourceQuestion;
using exchange::TestSource;

// Writes the question table of `test` to `path` (layout A, B or C by its
// type).  The table is built under a temporary name in the same folder and
// renamed into place only when complete; an existing `path` is refused.
void writeQuestionTable(const TestSource& test, const QString& path);

// Creates the empty catalogue Testy.DBF + Testy.MDX (tag DRUHJMENO on
// DRUH+JMENO) and kind table TestD.DBF + TestD.MDX (tag DRUH on DRUH) in
// `dataFolder`, which must exist and hold none of them (in any letter case).
void createCatalogue(const QString& dataFolder);

struct AddedTest {
    QString fileName;   // catalogue NAZEV
    QString kind;
    QString title;      // catalogue JMENO
    QChar type;
    bool newKind = false;
};

// Registers the question table `testFile` in the catalogue of `dataFolder`
// through the program's own import transaction, with the file left where it
// lies: a catalogue row (NAZEV = the file's name, DRUH, JMENO = the table's
// title, TEST, HESLO, OTEVRENO empty, AUTOR) and a kind row when the kind is
// new.  The question table must open with the layout of its type; a file
// name already in the catalogue, or one NAZEV cannot hold, is refused.
// After a failure or a crash, running it again completes the registration.
AddedTest addTestToCatalogue(const QString& dataFolder, const QString& testFile);

// Reads the question table at `path` back into a test source, for editing
// it as text.  What the text keeps only in another form is changed and told
// in `notes` (a value that differs from the first question's where the text
// has one value for the whole test, answers left in ODPOVED, blanks at the
// start of a value, a lower-case correct letter, an empty or overlong time
// field).  What the text cannot hold at all (a line break in a value, an
// empty question or answer) throws EVedomecError naming the question.
// With `emptyAnswersAllowed`, an empty answer of type A is read as it is:
// the other quiz formats hold questions of two or three choices, the text
// form always four.
TestSource readQuestionTable(const QString& path, QStringList* notes, bool emptyAnswersAllowed = false);

// The text of the question table at `path`, checked to read back as the same
// test, so that making a table of it gives this table again.
QByteArray questionTableAsText(const QString& path, QStringList* notes);

// A temporary name for `path` in the same folder that does not exist yet.
QString temporarySibling(const QString& path);

} // namespace vedomec::tools
