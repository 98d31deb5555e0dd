#pragma once
// The tests of one data folder as the teacher's editor changes them: the
// catalogue (Data/Testy.DBF), the kind table (Data/TestD.DBF) and the
// question tables in Testy, all through the table store.  Every operation
// is one change: a kill or a failed write at any moment leaves the tests as
// they were before it or as they are after it.
//
// A change that touches a question table and its catalogue row together
// (saving a test whose title, kind, type, password or author changed,
// creating one, renaming a kind with all its tests) keeps a small intent
// file in Data while it runs: the new table is written beside the old one,
// the intent records the catalogue row as it was, the
// row is written through the catalogue's journal, and renaming the new
// table over the old one is the moment the change happens.  An editor that
// finds an intent nobody holds (its editor was killed) takes the change
// back when the new table was never renamed, and only removes the intent
// when it was.  A change of several tables is committed by one write into
// its intent instead, and finished by recover() once committed.
#include "authoring/TestRules.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace vedomec::authoring {

// A row of the catalogue with what the tree shows of it.
struct TestEntry {
    QString fileName; // NAZEV: the question table in Testy
    QString kind;     // DRUH
    QString title;    // JMENO (the catalogue's 50 characters)
    QString type;     // TEST
    QString password; // HESLO
    QString openMark; // OTEVRENO
    QString author;   // AUTOR
    int questions = -1; // -1: the question table cannot be read
    bool isProtected() const { return !password.isEmpty(); }
};

// The test is open in another copy of the editor.
class ETestBusy : public EVedomecError {
public:
    using EVedomecError::EVedomecError;
};

// The test is marked open, and its folder keeps no locks that could tell
// whether an editor still has it: the teacher decides, and clears the mark
// with setOpenMark() when its editor is gone.
class EMarkUnproven : public ETestBusy {
public:
    using ETestBusy::ETestBusy;
};

class EditLock;

class TestFolder {
public:
    // `appFolder`: the data folder (holding Data and Testy).
    explicit TestFolder(const QString& appFolder);

    QString appFolder() const { return m_app; }
    QString dataFolder() const;
    QString testsFolder() const;
    QString testPath(const QString& fileName) const; // empty when missing

    // Takes back or finishes what an editor that was killed left half done
    // and clears the open marks no editor holds any more.  Where the folder
    // keeps no locks it clears no mark (see EMarkUnproven) and acts only on
    // what an editor of this computer that is gone left.  Returns how many
    // marks it cleared.
    int recover();

    // The catalogue in its index order (kind, then title), with question counts.
    QList<TestEntry> tests() const;
    TestEntry entry(const QString& fileName) const; // fileName empty when there is none
    // The kinds: the kind table's and any the catalogue uses, sorted.
    QStringList kinds() const;

    // The test of a catalogue row, read from its question table.
    TestSource load(const QString& fileName) const;

    // Adds a new test (its question table named after its title, or
    // `preferredName` when that is free) and its catalogue row, and its
    // kind when new.  Returns the file name.
    QString create(const TestSource& test, const QString& preferredName = QString());
    // Writes the test over its question table and catalogue row.  `lock`,
    // when given, is the editor's hold of the test and moves to the new
    // table.  Refuses a test that breaks a rule (the message names the
    // question and the field).
    void save(const QString& fileName, const TestSource& test, EditLock* lock = nullptr);
    // A copy under the title "Kopie – <title>"; returns its file name.
    QString duplicate(const QString& fileName);
    // New title or kind of a test nobody has open.
    void rename(const QString& fileName, const QString& title);
    void move(const QString& fileName, const QString& kind);
    // Removes the catalogue row and the question table.
    void remove(const QString& fileName);

    void addKind(const QString& kind);
    // Every test of the kind follows, all in one change; refused while
    // any of them is open in an editor.
    void renameKind(const QString& from, const QString& to);
    // Refused, naming how many, while tests of the kind exist.
    void removeKind(const QString& kind);

    // Sets or clears OTEVRENO of the row (used by OpenTest, and by the
    // teacher for a mark no lock can prove stale).
    void setOpenMark(const QString& fileName, bool open);

private:
    QString m_app;
};

// The editor's hold of one question table: a lock on the table file itself,
// which the system lets go when the editor ends however it ends.  Another
// editor's hold makes the test busy; a mark without a hold is stale.
class EditLock {
public:
    EditLock() = default;
    ~EditLock() { release(); }
    EditLock(const EditLock&) = delete;
    EditLock& operator=(const EditLock&) = delete;

    // False when another editor holds the file; throws when it cannot be opened.
    bool acquire(const QString& path);
    void release();
    bool held() const { return m_fd >= 0; }
    // Whether anybody holds the file (looked at without taking it).
    static bool heldByAnyone(const QString& path);

private:
    friend class TestFolder;
    int m_fd = -1;
};

// A test open in the editor: held, and marked open in the catalogue so no
// pupil starts it while it changes.  The mark is taken back on close (and
// by the next editor's recover() after a kill).
class OpenTest {
public:
    // Throws ETestBusy when another editor has it open, EMarkUnproven when
    // nobody can tell.
    OpenTest(TestFolder& folder, const QString& fileName);
    ~OpenTest();
    OpenTest(const OpenTest&) = delete;
    OpenTest& operator=(const OpenTest&) = delete;

    const QString& fileName() const { return m_file; }
    void save(const TestSource& test) { m_folder.save(m_file, test, &m_lock); }
    // Clears the mark and lets go; the destructor does it too.
    void close();

private:
    TestFolder& m_folder;
    QString m_file;
    EditLock m_lock;
    bool m_marked = false;
};

// Values as the table stores them: blanks at either end gone, the correct
// letter or word of A and B in capitals.
TestSource normalized(const TestSource& test);

// A file name for a new question table from the title: letters without
// accents, digits and '_', ".dbf", free in `testsFolder` in any letter case.
QString newFileName(const QString& testsFolder, const QString& title, const QStringList& taken = {});

} // namespace vedomec::authoring
