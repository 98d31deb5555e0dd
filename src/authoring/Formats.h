#pragma once
// The forms a test is carried in outside the data folder, as the editor's
// import and export offer them: the question table itself, the text form
// vedomec-mktest reads, and the quiz formats other systems exchange (GIFT,
// Aiken, Moodle XML).  Another form is one more entry of the list, with its
// reader and writer; the editor's dialogs follow the list.
#include "authoring/TestRules.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace vedomec::authoring {

struct TestFormat {
    QString id;           // "dbf", "text", "gift", "aiken", "moodle"
    QString name;         // what the file dialog shows ("Tabulka testu (*.dbf)")
    QStringList suffixes; // without the dot, lower case
    // Reads the tests of a file: one, or one per type of question when a
    // quiz file of another system mixes them.  The test-wide values such a
    // file does not hold stay empty for the caller to ask for.  `notes`
    // collects what was changed or left out on the way, each with its line
    // ("řádek 12: …", Czech).  Throws EVedomecError with a Czech message.
    std::function<QList<TestSource>(const QString& path, QStringList* notes)> read;
    // Writes the test to `path`, which must not exist; `notes` collects what
    // the form cannot hold ("otázka 3: …").  Empty: import only.
    std::function<void(const TestSource& test, const QString& path, QStringList* notes)> write;
    // Whether a file of a suffix several forms share is of this form, by its
    // beginning.  Empty: the form taken when no other claims the file.
    std::function<bool(const QString& path, const QByteArray& head)> claims;
    // Another system's quiz file: it holds no author, and a kind only in
    // its category, so the editor asks for them.
    bool otherSystem = false;
};

// The forms known, the question table first.
QList<TestFormat>& testFormats();
void registerTestFormat(const TestFormat& format);
// The form of a file by its name ending and, where several forms share it
// (".txt"), by its beginning; nullptr when none.
const TestFormat* formatOfFile(const QString& path);
const TestFormat* formatById(const QString& id);
// "Tabulka testu (*.dbf);;Text testu (*.txt)" for a file dialog.
QString fileDialogFilter(bool forWriting);

// Reads the tests of a file in any known form.
QList<TestSource> readTestFile(const QString& path, QStringList* notes = nullptr);

} // namespace vedomec::authoring
