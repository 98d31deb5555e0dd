#pragma once
// The test one pupil takes, without any window: which question table it
// writes, the question shown, the answers stored after every move, the
// scoring and the end.  The main window drives it from its handlers and
// shows what it holds.
//
// A class takes one test at once from one shared folder.  The first copy of
// the program that opens a test holds its question table and answers in it,
// as a single pupil always has.  Every other copy, and every copy whose
// account may only read the table (a folder the teacher writes and the
// pupils read, a read-only medium), takes the test on a working
// copy of its own: the table copied, between two changes, into a folder of
// the pupil's own outside the shared folder (TWorkFolder), answered there
// with the same journal and locks, scored from it and removed at the end.
// Either way a test starts from no answers: what a test that was killed left
// in a free question table is erased before the pupil sees the first question.
#include "results/Scoring.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace vedomec::data {
class TTable;
}

namespace vedomec::session {

using results::TestType;
class TWorkFolder;

// The answer the capture controls hold: the check boxes a) to d) (type A) or
// ANO and NE (type B, the first two), and the fill-in text (type C).
struct ScreenAnswer {
    std::array<bool, 4> boxes {};
    QString text;
};

// What an answer on screen stores into ODPOVED: for type A the letter of the
// last box checked, for type B "Ano" or, when NE is checked, "Ne", for type
// C the text cut to the field's 254 characters.  Nothing when no box is
// checked: the row keeps what it holds, unless `emptyWhenNoneChosen` (the
// time expiry scores what the pupil saw), which stores the empty text.
std::optional<QString> AnswerToStore(TestType type, const ScreenAnswer& answer, bool emptyWhenNoneChosen = false);

// The boxes that show a stored answer ("A" to "D", "Ano", "Ne" or empty,
// compared exactly).  Nothing for any other text: the boxes stay as they are.
// Type C has no boxes; its edit shows the stored text as it is.
std::optional<std::array<bool, 4>> BoxesShowing(TestType type, const QString& stored);

enum class Move { First, Prior, Next, Last };

class TTestSession {
public:
    // A test of `type` on `table`, the data module's table object of that
    // type: its layout declared, held while open.
    TTestSession(data::TTable* table, TestType type);
    // A working copy goes with its session; a shared table is left as it
    // stands (a session that could not erase keeps its answers there).
    ~TTestSession();
    TTestSession(const TTestSession&) = delete;
    TTestSession& operator=(const TTestSession&) = delete;

    // Opens the question table at `file` and stands on its first row with no
    // answer in any row: the table itself when it is free, this account
    // may write it and its disk has room for the answers, else a working
    // copy of it, which takes that room when it is made.  Throws EDatabaseError (a damaged file, a wrong layout, a
    // folder that cannot be written) with the table closed and nothing left
    // behind.
    void Open(const QString& file);

    TestType Type() const { return m_type; }
    data::TTable* Table() const { return m_table; }
    bool Active() const;
    // Whether the answers go to a working copy, and the file they go to.
    bool OnWorkingCopy() const { return m_work != nullptr; }
    QString AnswerFile() const;
    // The shared question table the test was opened from.
    QString SourceFile() const { return m_source; }
    // What the user is to be told about the opening, once in the program's
    // run: that the shared folder keeps no locks, so the test went to a
    // working copy although nobody may hold it.  Empty otherwise.
    QString TakeNotice();

    int QuestionCount() const;
    // The row shown, 1-based; 0 on a table without rows.
    int CurrentRow() const;

    // Stores the answer on screen into the row shown (a table without rows
    // has none, and is never changed).
    void Store(const ScreenAnswer& answer, bool emptyWhenNoneChosen = false);
    // ODPOVED of the row shown.
    QString Stored() const;
    // Moves to another question; a move past either end stays.
    void Go(Move move);

    // Scores every row in table order; stops at the first unanswered one in
    // the Results command mode (complete is false then) and leaves the
    // cursor on the row shown.  `questionCount` is the count the window shows.
    results::Outcome Score(results::EvalMode mode, int questionCount);
    // Every row's correct and stored answer in table order, the cursor left
    // on the row shown.
    QList<results::AnswerRow> Answers() const;

    // Ends the test: every answer erased from the shared table (or the
    // working copy removed) and the table closed.  An error leaves the rows
    // before it erased and the session open, to be ended again.
    void End();

private:
    void openShared(const QString& file);
    void openWorkingCopy(const QString& file);
    void eraseLeftAnswers();

    data::TTable* m_table;
    TestType m_type;
    QString m_source;
    std::unique_ptr<TWorkFolder> m_work;
    QString m_workFile;
    bool m_locksNotKept = false;
};

} // namespace vedomec::session
