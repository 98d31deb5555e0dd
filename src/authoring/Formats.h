#pragma once
// The forms a test is carried in outside the data folder, as the editor's
// import and export offer them: the question table itself and the text form
// vedomec-mktest reads.  Another form is one more entry of the list, with
// its reader and writer; the editor's dialogs follow the list.
#include "authoring/TestRules.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace vedomec::authoring {

struct TestFormat {
    QString id;           // "dbf", "text", ...
    QString name;         // what the file dialog shows ("Tabulka testu (*.dbf)")
    QStringList suffixes; // without the dot, lower case
    // Reads a test; `notes` collects what was changed on the way (Czech).
    // Throws EVedomecError with a Czech message.
    std::function<TestSource(const QString& path, QStringList* notes)> read;
    // Writes the test to `path`, which must not exist.  Empty: import only.
    std::function<void(const TestSource& test, const QString& path)> write;
};

// The forms known, the question table first.
QList<TestFormat>& testFormats();
void registerTestFormat(const TestFormat& format);
// The form a file's name ending names; nullptr when none.
const TestFormat* formatOfFile(const QString& path);
const TestFormat* formatById(const QString& id);
// "Tabulka testu (*.dbf);;Text testu (*.txt)" for a file dialog.
QString fileDialogFilter(bool forWriting);

// Reads a test from a file in any known form.
TestSource readTestFile(const QString& path, QStringList* notes = nullptr);

} // namespace vedomec::authoring
