#pragma once
// A test being written: its values and every change to them as a command on
// an undo stack, so that each change can be taken back and done again until
// the test is saved.  Free of widgets; the editor's window only shows it.
#include "authoring/TestRules.h"

#include <QObject>
#include <QUndoStack>

namespace vedomec::authoring {

class TestEditor : public QObject {
    Q_OBJECT
public:
    explicit TestEditor(QObject* parent = nullptr);

    // Starts over with `test`: nothing to undo, nothing unsaved.
    void reset(const TestSource& test);
    const TestSource& test() const { return m_test; }
    QUndoStack* undoStack() { return &m_undo; }
    // Changed since reset() or the last markSaved().
    bool modified() const { return !m_undo.isClean(); }
    void markSaved() { m_undo.setClean(); }
    // A test opened for viewing only refuses every change.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool readOnly() const { return m_readOnly; }

    // Each is one step of the undo stack.  Typing into one field makes one
    // step of consecutive keys.  Out-of-range questions are ignored.
    void setField(int question, Field field, const QString& value);
    void setTimeLimit(int hours, int minutes, int seconds);
    void insertQuestion(int at, const SourceQuestion& question);
    void addQuestion() { insertQuestion(int(m_test.questions.size()), emptyQuestion(m_test.type)); }
    void removeQuestion(int at);
    void moveQuestion(int from, int to);
    void duplicateQuestion(int at);
    // The whole test at once (its test-wide fields, type, time and the
    // questions a change of type rewrote), one step named `stepName`.
    void replaceTest(const TestSource& test, const QString& stepName);

    void undo() { m_undo.undo(); }
    void redo() { m_undo.redo(); }

    // Used by the commands.
    void applyField(int question, Field field, const QString& value);
    void applyTime(int hours, int minutes, int seconds);
    void applyInsert(int at, const SourceQuestion& question);
    void applyRemove(int at);
    void applyMove(int from, int to);
    void applyTest(const TestSource& test);

signals:
    // A value changed (question -1: a test-wide one or the time limit).
    void fieldChanged(int question, vedomec::authoring::Field field);
    // Questions were added, removed or moved; `current` is the one to show.
    void questionsChanged(int current);
    void timeLimitChanged();

private:
    TestSource m_test;
    QUndoStack m_undo;
    bool m_readOnly = false;
};

} // namespace vedomec::authoring
