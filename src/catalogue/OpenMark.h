#pragma once
// OTEVRENO = "A" in a catalogue row: the teacher's editor has the test open,
// and no pupil starts it while it changes.  The editor also holds a lock on
// the question table for as long as it has the test open, which the system
// lets go when the editor ends however it ends; a mark without that hold is
// what a killed editor left behind.  Both programs look at the hold the same
// way, and looking writes nothing.
#include <QString>

namespace vedomec::catalogue {

enum class EditorHold {
    None,    // nobody holds the table (or it is missing)
    Held,    // an editor has it open
    Unknown, // the file system keeps no locks: the hold cannot be seen
};

// Whether an editor holds the question table at `tablePath`, looked at
// without taking the hold.
EditorHold editorHold(const QString& tablePath);

// Whether a catalogue row's mark shuts its test: "A" while an editor holds
// the table, or where nobody can tell (no locks); a mark an editor left
// behind when it was killed does not.
bool openMarkShuts(const QString& otevreno, const QString& tablePath);

} // namespace vedomec::catalogue
