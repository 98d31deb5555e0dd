#pragma once
// What the changes of a TestFolder share: a catalogue row as the editor
// reads and writes it, the kind rows, and the intent file that makes a
// change of several files one change (see TestFolder.h).
#include "authoring/TestRules.h"

#include <QJsonObject>
#include <QString>

namespace vedomec::data {
class TTable;
}

namespace vedomec::authoring {
class TestFolder;
}

namespace vedomec::authoring::detail {

struct Row {
    QString nazev, druh, jmeno, test, heslo, otevreno, autor;
    bool operator==(const Row&) const = default;
};

// What a text field of `width` keeps of a value.
QString stored(const QString& value, int width);
Row storedRow(const Row& r);
Row readRow(const data::TTable& t);
void writeRow(data::TTable& t, const Row& r);
QJsonObject rowJson(const Row& r);
Row rowFromJson(const QJsonObject& o);

// Puts the row of the file back as `before` was, read afresh (a write the
// store reported failed may still have been completed by its journal).
void putRowBack(const QString& dataFolder, const QString& fileName, const Row& before);

// Whether the kind table has a row of exactly `kind`.
bool hasKindRow(const QString& dataFolder, const QString& kind);
void addKindRow(const QString& dataFolder, const QString& kind);
// Every row of exactly `kind` goes.
void removeKindRows(const QString& dataFolder, const QString& kind);
// Takes back a kind row a change added, unless some test has come to use it.
void removeUnusedKindRow(const QString& dataFolder, const QString& kind);

QString notInCatalogue(const QString& fileName);

bool renameOver(const QString& from, const QString& to);

// Writes the question table of `test` to the new file `path`, flushed
// before it returns (TestFolder.cpp).
void writeTestTable(const TestSource& test, const QString& path);

// What writing a table leaves when it is killed half way: its own
// temporary files beside the name it was to get.
void removeLeftovers(const QString& testsFolder, const QString& fileName);

// Finishes a kind rename whose intent is `o` when it was committed, and
// takes it back when it was not (TestKinds.cpp).
void settleKindRename(const TestFolder& folder, const QJsonObject& o);

extern const QString kIntentPrefix;

// The record of a change in flight, held locked by its editor until the
// change is over.  A change that is not undone by putting back what the
// record names (one of several files) is committed by one small write into
// the record: recover() finishes a committed change and takes back any
// other.
class Intent {
public:
    explicit Intent(const QString& dataFolder) : m_data(dataFolder) {}
    ~Intent() { finish(); }
    Intent(const Intent&) = delete;
    Intent& operator=(const Intent&) = delete;

    // The intent file of a change to the file (or other key) `key`.
    static QString pathFor(const QString& dataFolder, const QString& key);

    // Creates and holds the record of `what`, whose "file" names the key.
    // `sync`: flushed before the change goes on (needed when the intent is
    // what puts a catalogue row back after a power cut).  Throws ETestBusy
    // when another editor is changing the same thing.
    void begin(const QJsonObject& what, bool sync = true);
    // From here on recover() finishes the change instead of taking it back.
    void commit();
    // Lets go of the intent without removing it, for recover() to act on.
    void leave();
    void finish();

private:
    QString m_data;
    QString m_path;
    int m_fd = -1;
};

} // namespace vedomec::authoring::detail
