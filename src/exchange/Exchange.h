#pragma once
// Tests to and from the quiz formats other systems exchange: GIFT, Aiken and
// Moodle XML.  No window and no file access: every function takes the file's
// bytes or gives them, so that vedomec-mktest and the editor's import and
// export call the same code.
//
// Reading.  One function per format takes the whole file (UTF-8, with or
// without a byte-order mark) and gives the tests it holds: the questions of
// each of the three types go into a test of their own (A: one correct of up
// to four choices; B: true/false; C: short answer, its first fully accepted
// answer), in the order A, B, C, each only when the file has such questions.
// Whatever a question holds that a question table cannot carry (more than
// four choices, several right answers, weights, feedback, pictures, HTML
// markup, numeric, matching and other kinds of question) is told in a
// Diagnostic with the line of the question; a question that cannot be
// carried is left out, never changed silently.  Every text is checked as
// the text form checks it (field width, Windows-1250).  A file that cannot
// be read at all (not UTF-8, not XML, too big) throws SourceError with the
// line of the fault.
//
//     ImportNames names;
//     names.fileName = QFileInfo(path).completeBaseName();
//     const ImportResult r = readGift(bytes, names);
//     for (const Diagnostic& d : r.diagnostics) ...;   // show "řádek N: text"
//     for (TestSource t : r.tests) { ask for t.kind/t.title if empty; ... }
//
// Test-wide values come from `names` first, then from the file: the last
// two parts of a category path "…/Druh/Název" give the kind and the title,
// a single part gives the kind; a title still missing is the file's name.
// What is still empty after that (Aiken has no category) is for the caller
// to ask for; testWideProblem() says what the table cannot take.
//
// Writing.  One function per format takes a test and gives the file,
// written as the platform's own import reads it, with a Diagnostic for
// everything the format cannot hold (line = the question's number, 0 for
// the test as a whole).  Reading the written file back with the same names
// gives the same test, except what those diagnostics name.
#include "exchange/TestSource.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vedomec::exchange {

enum class Format { Gift, Aiken, MoodleXml };

struct Diagnostic {
    int line = 0;          // reading: 1-based line of the file; writing: question number; 0: the whole
    QString text;          // Czech, complete sentence part without the line ("otázka vynechána: …")
    bool omitted = false;  // the question was left out (otherwise a part of it was)
};

struct ImportNames {
    QString kind;      // DRUH; empty: from the file's category
    QString title;     // NAZEV; empty: from the category, else fileName
    QString author;    // JMENO; none of the formats holds it
    QString fileName;  // the file's name without folder and extension
};

struct ImportResult {
    QList<TestSource> tests;        // A, B, C; several when the file mixes types
    QList<Diagnostic> diagnostics;  // in the order of the file
    int questionsFound = 0;         // questions of the file, carried or not
};

struct ExportResult {
    QByteArray file;                // UTF-8
    QList<Diagnostic> diagnostics;  // what the format does not hold
};

// The readers.  Files larger than MaxFileSize are refused.
constexpr qsizetype MaxFileSize = 16 * 1024 * 1024;
ImportResult readGift(const QByteArray& file, const ImportNames& names = {});
ImportResult readAiken(const QByteArray& file, const ImportNames& names = {});
ImportResult readMoodleXml(const QByteArray& file, const ImportNames& names = {});
ImportResult readExchange(Format format, const QByteArray& file, const ImportNames& names = {});

// The writers.  Aiken holds only multiple-choice questions: a test of type
// B or C throws SourceError.
ExportResult writeGift(const TestSource& test);
ExportResult writeAiken(const TestSource& test);
ExportResult writeMoodleXml(const TestSource& test);
ExportResult writeExchange(Format format, const TestSource& test);

// "GIFT", "Aiken", "Moodle XML".
QString formatName(Format format);
// The format named on a command line: "gift", "aiken", "moodle" (or "xml").
std::optional<Format> formatFromOption(const QString& name);
// The usual file ending: "gift", "txt", "xml".
QString formatSuffix(Format format);

// What a file is by its name and beginning: a .gift file is GIFT, a .xml
// file Moodle XML; a .txt file is Aiken or GIFT when it reads like one, and
// otherwise (nullopt) the program's own text form.
std::optional<Format> guessFormat(const QString& fileName, const QByteArray& file);

// Why a question table cannot take the test-wide values of `test` (an empty
// kind or title, a value too wide or outside Windows-1250), or empty.
QString testWideProblem(const TestSource& test);

} // namespace vedomec::exchange
