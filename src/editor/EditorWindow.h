#pragma once
// The teacher's window: the tests of the data folder by kind on the left,
// the open test on the right (its test-wide fields, the list of its
// questions and the current question's fields).  Everything it changes goes
// through the authoring layer; the window only shows it.
#include "authoring/TestEditor.h"
#include "authoring/TestFolder.h"
#include "editor/EditorPrompts.h"

#include <QMainWindow>
#include <QMap>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace vedomec::editor {

class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    // `appFolder`: the data folder the editor works on.
    explicit EditorWindow(const QString& appFolder, QWidget* parent = nullptr);
    ~EditorWindow() override;

    // Tests answer the questions here; the window owns them.
    static void setPrompts(std::unique_ptr<EditorPrompts> prompts);
    static EditorPrompts& prompts();

    authoring::TestFolder& folder() { return m_folder; }
    authoring::TestEditor& editor() { return m_editor; }
    // The open test's file name in Testy; empty for a new test not yet saved
    // or when none is open.
    QString currentFile() const { return m_file; }
    bool hasTest() const { return m_hasTest; }
    bool viewOnly() const { return m_viewOnly; }
    int currentQuestion() const { return m_question; }
    QAction* action(const QString& objectName) const;

    // The command line's FILE: a test of the folder is opened, any other
    // table or text imported first.  False (a message said why) on failure.
    bool openPath(const QString& path);
    // Opens a test of the catalogue (asking for its password when it has one).
    bool openTest(const QString& fileName);
    // Saves the open test; false (a message said why) when it cannot be.
    bool save();
    // Closes the open test, asking about unsaved changes; false when the
    // user kept it open.
    bool closeTest();
    void refreshTree();
    void selectQuestion(int index);

    // The command that runs the pupil's program ("Vyzkoušet"); tests replace it.
    static void setPupilProgram(const QString& program);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildWidgets();
    void newTest();
    void editProperties();
    void importTest();
    void exportTest();
    // Imports every test of a file into the folder, asking for what it
    // does not hold; the first is opened.
    bool importFile(const QString& path);
    bool completeTestWide(QList<authoring::TestSource>& tests, const QString& fileName, bool askAuthor);
    void tryOut();
    void print(bool answerKey);
    void setPassword();
    void duplicateTest();
    void renameTest();
    void moveTest();
    void deleteTest();
    void addKind();
    void renameKind();
    void deleteKind();
    void about();

    void showTest();
    void showQuestionList(int current);
    void updateQuestionItem(int index);
    void showQuestion();
    void showField(QLineEdit* edit, authoring::Field field, int question);
    void updateCounter(authoring::Field field);
    void updateTitle();
    void updateEnabled();
    void applyTimeText();
    QString selectedFile() const;
    QString selectedKind() const;
    bool guarded(const std::function<void()>& body);

    authoring::TestFolder m_folder;
    authoring::TestEditor m_editor;
    std::unique_ptr<authoring::OpenTest> m_open;
    QString m_file;
    bool m_hasTest = false;
    bool m_viewOnly = false;
    int m_question = -1;
    bool m_showing = false;

    QTreeWidget* m_tree = nullptr;
    QWidget* m_testPanel = nullptr;
    QComboBox* m_kind = nullptr;
    QLabel* m_typeLabel = nullptr;
    QLabel* m_protection = nullptr;
    QLineEdit* m_time = nullptr;
    QListWidget* m_list = nullptr;
    QMap<authoring::Field, QLineEdit*> m_edits;
    QMap<authoring::Field, QLabel*> m_counters;
    QRadioButton* m_correct[4] = {};
    QRadioButton* m_yes = nullptr;
    QRadioButton* m_no = nullptr;
    QWidget* m_answersA = nullptr;
    QWidget* m_answersB = nullptr;
    QWidget* m_answersC = nullptr;
    QMap<QString, QAction*> m_actions;
};

} // namespace vedomec::editor
