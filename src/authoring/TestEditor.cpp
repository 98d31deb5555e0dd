#include "TestEditor.h"

#include <QUndoCommand>

namespace vedomec::authoring {

namespace {

QString stepName(Field field)
{
    return QStringLiteral("Změna: %1").arg(fieldName(field));
}

class SetFieldCommand : public QUndoCommand {
public:
    SetFieldCommand(TestEditor* editor, int question, Field field, const QString& before, const QString& after)
        : QUndoCommand(stepName(field)), m_editor(editor), m_question(question), m_field(field), m_before(before),
          m_after(after)
    {
    }
    void undo() override { m_editor->applyField(m_question, m_field, m_before); }
    void redo() override { m_editor->applyField(m_question, m_field, m_after); }
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* o = static_cast<const SetFieldCommand*>(other);
        if (o->m_question != m_question || o->m_field != m_field)
            return false;
        m_after = o->m_after;
        return true;
    }

private:
    TestEditor* m_editor;
    int m_question;
    Field m_field;
    QString m_before, m_after;
};

class TimeCommand : public QUndoCommand {
public:
    TimeCommand(TestEditor* editor, const int before[3], const int after[3])
        : QUndoCommand(QStringLiteral("Změna: časový limit")), m_editor(editor)
    {
        std::copy(before, before + 3, m_before);
        std::copy(after, after + 3, m_after);
    }
    void undo() override { m_editor->applyTime(m_before[0], m_before[1], m_before[2]); }
    void redo() override { m_editor->applyTime(m_after[0], m_after[1], m_after[2]); }

private:
    TestEditor* m_editor;
    int m_before[3], m_after[3];
};

class InsertCommand : public QUndoCommand {
public:
    InsertCommand(TestEditor* editor, int at, const SourceQuestion& q, const QString& name)
        : QUndoCommand(name), m_editor(editor), m_at(at), m_question(q)
    {
    }
    void undo() override { m_editor->applyRemove(m_at); }
    void redo() override { m_editor->applyInsert(m_at, m_question); }

private:
    TestEditor* m_editor;
    int m_at;
    SourceQuestion m_question;
};

class RemoveCommand : public QUndoCommand {
public:
    RemoveCommand(TestEditor* editor, int at, const SourceQuestion& q)
        : QUndoCommand(QStringLiteral("Smazání otázky")), m_editor(editor), m_at(at), m_question(q)
    {
    }
    void undo() override { m_editor->applyInsert(m_at, m_question); }
    void redo() override { m_editor->applyRemove(m_at); }

private:
    TestEditor* m_editor;
    int m_at;
    SourceQuestion m_question;
};

class MoveCommand : public QUndoCommand {
public:
    MoveCommand(TestEditor* editor, int from, int to)
        : QUndoCommand(QStringLiteral("Přesun otázky")), m_editor(editor), m_from(from), m_to(to)
    {
    }
    void undo() override { m_editor->applyMove(m_to, m_from); }
    void redo() override { m_editor->applyMove(m_from, m_to); }

private:
    TestEditor* m_editor;
    int m_from, m_to;
};

class ReplaceCommand : public QUndoCommand {
public:
    ReplaceCommand(TestEditor* editor, const TestSource& before, const TestSource& after, const QString& name)
        : QUndoCommand(name), m_editor(editor), m_before(before), m_after(after)
    {
    }
    void undo() override { m_editor->applyTest(m_before); }
    void redo() override { m_editor->applyTest(m_after); }

private:
    TestEditor* m_editor;
    TestSource m_before, m_after;
};

} // namespace

TestEditor::TestEditor(QObject* parent) : QObject(parent)
{
    m_test.type = u'A';
}

void TestEditor::reset(const TestSource& test)
{
    m_undo.clear();
    m_test = test;
    m_undo.setClean();
    emit questionsChanged(m_test.questions.isEmpty() ? -1 : 0);
    emit fieldChanged(-1, Field::Title);
    emit timeLimitChanged();
}

void TestEditor::setField(int question, Field field, const QString& value)
{
    if (m_readOnly)
        return;
    const int q = isTestWide(field) ? -1 : question;
    if (q >= m_test.questions.size() || (q < 0 && !isTestWide(field)))
        return;
    const QString before = fieldValue(m_test, q, field);
    if (before == value)
        return;
    m_undo.push(new SetFieldCommand(this, q, field, before, value));
}

void TestEditor::setTimeLimit(int hours, int minutes, int seconds)
{
    if (m_readOnly)
        return;
    const int before[3] = {m_test.hours, m_test.minutes, m_test.seconds};
    const int after[3] = {hours, minutes, seconds};
    if (std::equal(before, before + 3, after))
        return;
    m_undo.push(new TimeCommand(this, before, after));
}

void TestEditor::insertQuestion(int at, const SourceQuestion& question)
{
    if (m_readOnly || at < 0 || at > m_test.questions.size())
        return;
    m_undo.push(new InsertCommand(this, at, question, QStringLiteral("Nová otázka")));
}

void TestEditor::removeQuestion(int at)
{
    if (m_readOnly || at < 0 || at >= m_test.questions.size())
        return;
    m_undo.push(new RemoveCommand(this, at, m_test.questions[at]));
}

void TestEditor::moveQuestion(int from, int to)
{
    if (m_readOnly || from == to || from < 0 || to < 0 || from >= m_test.questions.size()
        || to >= m_test.questions.size())
        return;
    m_undo.push(new MoveCommand(this, from, to));
}

void TestEditor::duplicateQuestion(int at)
{
    if (m_readOnly || at < 0 || at >= m_test.questions.size())
        return;
    m_undo.push(new InsertCommand(this, at + 1, m_test.questions[at], QStringLiteral("Kopie otázky")));
}

void TestEditor::replaceTest(const TestSource& test, const QString& stepName)
{
    if (m_readOnly || exchange::sameContent(test, m_test))
        return;
    m_undo.push(new ReplaceCommand(this, m_test, test, stepName));
}

void TestEditor::applyTest(const TestSource& test)
{
    m_test = test;
    emit fieldChanged(-1, Field::Title);
    emit timeLimitChanged();
    emit questionsChanged(m_test.questions.isEmpty() ? -1 : 0);
}

void TestEditor::applyField(int question, Field field, const QString& value)
{
    setFieldValue(m_test, question, field, value);
    emit fieldChanged(question, field);
}

void TestEditor::applyTime(int hours, int minutes, int seconds)
{
    m_test.hours = hours;
    m_test.minutes = minutes;
    m_test.seconds = seconds;
    emit timeLimitChanged();
}

void TestEditor::applyInsert(int at, const SourceQuestion& question)
{
    m_test.questions.insert(at, question);
    emit questionsChanged(at);
}

void TestEditor::applyRemove(int at)
{
    m_test.questions.removeAt(at);
    emit questionsChanged(std::min<int>(at, int(m_test.questions.size()) - 1));
}

void TestEditor::applyMove(int from, int to)
{
    m_test.questions.move(from, to);
    emit questionsChanged(to);
}

} // namespace vedomec::authoring
