#include "EditorWindow.h"

#include "authoring/TestProperties.h"
#include "editor/FieldRow.h"
#include "platform/Errors.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vedomec::editor {

using namespace vedomec::authoring;

namespace {

std::unique_ptr<EditorPrompts>& promptsSlot()
{
    static std::unique_ptr<EditorPrompts> p = std::make_unique<EditorPrompts>();
    return p;
}

const QString kAppTitle = QStringLiteral("Vedomec – editor testů");

QString typeCaption(const QString& type)
{
    if (type == QLatin1String("A"))
        return QStringLiteral("a) b) c) d)");
    if (type == QLatin1String("B"))
        return QStringLiteral("ano / ne");
    if (type == QLatin1String("C"))
        return QStringLiteral("doplňte");
    return type;
}

} // namespace

void EditorWindow::setPrompts(std::unique_ptr<EditorPrompts> prompts)
{
    promptsSlot() = prompts ? std::move(prompts) : std::make_unique<EditorPrompts>();
}

EditorPrompts& EditorWindow::prompts()
{
    return *promptsSlot();
}

EditorWindow::EditorWindow(const QString& appFolder, QWidget* parent) : QMainWindow(parent), m_folder(appFolder)
{
    setObjectName(QStringLiteral("EditorWindow"));
    buildWidgets();
    buildActions();

    connect(&m_editor, &TestEditor::fieldChanged, this, [this](int question, Field field) {
        if (isTestWide(field)) {
            if (!m_showing)
                showTest();
        } else {
            updateQuestionItem(question);
            if (question == m_question && !m_showing)
                showQuestion();
        }
        updateTitle();
    });
    connect(&m_editor, &TestEditor::questionsChanged, this, [this](int current) { showQuestionList(current); });
    connect(&m_editor, &TestEditor::timeLimitChanged, this, [this] {
        if (!m_showing)
            m_time->setText(m_editor.test().hasTimeLimit() ? timeLimitText(m_editor.test()) : QString());
    });
    connect(m_editor.undoStack(), &QUndoStack::cleanChanged, this, [this] { updateTitle(); });
    connect(m_editor.undoStack(), &QUndoStack::canUndoChanged, this, [this] { updateEnabled(); });
    connect(m_editor.undoStack(), &QUndoStack::canRedoChanged, this, [this] { updateEnabled(); });

    guarded([this] { m_folder.recover(); });
    refreshTree();
    updateTitle();
    updateEnabled();
    resize(1150, 700);
}

EditorWindow::~EditorWindow()
{
    // The undo stack outlives the widgets and tells of its clearing.
    m_editor.undoStack()->disconnect(this);
    m_editor.disconnect(this);
}

QAction* EditorWindow::action(const QString& objectName) const
{
    return m_actions.value(objectName);
}

bool EditorWindow::guarded(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        prompts().message(this, exceptionMessage(e), true);
        return false;
    }
}

void EditorWindow::buildWidgets()
{
    auto* split = new QSplitter(this);
    split->setObjectName(QStringLiteral("Splitter"));
    setCentralWidget(split);

    m_tree = new QTreeWidget(split);
    nameControl(m_tree, QStringLiteral("TestTree"), QStringLiteral("Testy podle druhu"));
    m_tree->setHeaderLabels({QStringLiteral("Druh / název"), QStringLiteral("Typ"), QStringLiteral("Otázek"),
                             QStringLiteral("Chráněno"), QStringLiteral("Autor")});
    m_tree->setRootIsDecorated(true);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->header()->setStretchLastSection(true);
    connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString file = item->data(0, Qt::UserRole).toString();
        if (!file.isEmpty())
            openTest(file);
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { updateEnabled(); });

    m_testPanel = new QWidget(split);
    m_testPanel->setObjectName(QStringLiteral("TestPanel"));
    auto* right = new QVBoxLayout(m_testPanel);

    auto* testBox = new QGroupBox(QStringLiteral("Test"), m_testPanel);
    testBox->setObjectName(QStringLiteral("TestBox"));
    auto* form = new QFormLayout(testBox);
    // A field of the test, or of the current question, typed into as one
    // step of the undo stack per field.
    auto addField = [this](QWidget* box, QFormLayout* layout, Field field, const QString& objectName,
                           const QString& caption) {
        const FieldRow row = addFieldRow(layout, box, objectName, caption);
        m_edits[field] = row.edit;
        m_counters[field] = row.counter;
        connect(row.edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            m_showing = true;
            m_editor.setField(isTestWide(field) ? -1 : m_question, field, text);
            m_showing = false;
            updateCounter(field);
        });
    };
    m_kind = new QComboBox(testBox);
    m_kind->setEditable(true);
    nameControl(m_kind, QStringLiteral("KindEdit"), QStringLiteral("Druh testu"));
    {
        m_counters[Field::Kind] = newSideLabel(testBox, QStringLiteral("KindEditCounter"));
        addSideRow(form, testBox, QStringLiteral("&Druh testu"), m_kind, m_counters[Field::Kind]);
        connect(m_kind, &QComboBox::editTextChanged, this, [this](const QString& text) {
            if (m_showing || !m_hasTest)
                return;
            m_showing = true;
            m_editor.setField(-1, Field::Kind, text);
            m_showing = false;
            updateCounter(Field::Kind);
        });
    }
    addField(testBox, form, Field::Title, QStringLiteral("TitleEdit"), QStringLiteral("&Název testu"));
    addField(testBox, form, Field::Author, QStringLiteral("AuthorEdit"), QStringLiteral("&Jméno autora"));
    addField(testBox, form, Field::Address, QStringLiteral("AddressEdit"), QStringLiteral("&Adresa autora"));
    addField(testBox, form, Field::Email, QStringLiteral("EmailEdit"), QStringLiteral("&E-mail autora"));
    addField(testBox, form, Field::Http, QStringLiteral("HttpEdit"), QStringLiteral("&WWW autora"));
    m_time = new FieldEdit(testBox);
    nameControl(m_time, QStringLiteral("TimeLimitEdit"), QStringLiteral("Povolený čas (h:mm:ss, prázdné = neomezeno)"));
    m_time->setPlaceholderText(QStringLiteral("neomezeno"));
    connect(m_time, &QLineEdit::editingFinished, this, [this] { applyTimeText(); });
    auto* timeHint = newSideLabel(testBox, QStringLiteral("TimeLimitHint"));
    timeHint->setText(QStringLiteral("h:mm:ss"));
    addSideRow(form, testBox, QStringLiteral("&Povolený čas"), m_time, timeHint);
    m_typeLabel = new QLabel(testBox);
    nameControl(m_typeLabel, QStringLiteral("TypeLabel"), QStringLiteral("Typ testu"));
    {
        // The type changes with the other test-wide fields, as one step.
        auto* row = new QHBoxLayout;
        row->addWidget(m_typeLabel, 1);
        auto* properties = new QPushButton(QStringLiteral("Vlastnosti testu…"), testBox);
        nameControl(properties, QStringLiteral("TestPropertiesButton"),
                    QStringLiteral("Vlastnosti testu, typ a povolený čas (Ctrl+T)"));
        connect(properties, &QPushButton::clicked, this, [this] { editProperties(); });
        row->addWidget(properties);
        form->addRow(QStringLiteral("Typ testu:"), row);
    }
    m_protection = new QLabel(testBox);
    nameControl(m_protection, QStringLiteral("ProtectionLabel"), QStringLiteral("Chráněno pro editaci"));
    form->addRow(QStringLiteral("Chráněno pro editaci ?"), m_protection);
    right->addWidget(testBox);

    auto* questions = new QSplitter(Qt::Horizontal, m_testPanel);
    questions->setObjectName(QStringLiteral("QuestionSplitter"));
    auto* listBox = new QWidget(questions);
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->setContentsMargins(0, 0, 0, 0);
    auto* listLabel = new QLabel(QStringLiteral("&Otázky:"), listBox);
    m_list = new QListWidget(listBox);
    nameControl(m_list, QStringLiteral("QuestionList"), QStringLiteral("Otázky"));
    // One line each: a changed question does not lay out the whole list again.
    m_list->setUniformItemSizes(true);
    // Wide enough to tell the questions apart beside the question's fields.
    m_list->setMinimumWidth(m_list->fontMetrics().horizontalAdvance(QStringLiteral("10. Které město je hlavní")));
    listLabel->setBuddy(m_list);
    listLayout->addWidget(listLabel);
    listLayout->addWidget(m_list, 1);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_showing && row != m_question)
            selectQuestion(row);
    });

    auto* qBox = new QGroupBox(QStringLiteral("Otázka"), questions);
    qBox->setObjectName(QStringLiteral("QuestionBox"));
    auto* qForm = new QFormLayout(qBox);
    addField(qBox, qForm, Field::Question, QStringLiteral("QuestionEdit"), QStringLiteral("&Text otázky"));

    m_answersA = new QWidget(qBox);
    m_answersA->setObjectName(QStringLiteral("AnswersA"));
    auto* aForm = new QFormLayout(m_answersA);
    aForm->setContentsMargins(0, 0, 0, 0);
    const Field answers[4] = {Field::AnswerA, Field::AnswerB, Field::AnswerC, Field::AnswerD};
    for (int i = 0; i < 4; ++i)
        addField(m_answersA, aForm, answers[i], QStringLiteral("Answer%1").arg(QChar(u'A' + i)),
                         QStringLiteral("Odpověď &%1)").arg(QChar(u'a' + i)));
    auto* correctRow = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        m_correct[i] = new QRadioButton(QStringLiteral("%1)").arg(QChar(u'a' + i)), m_answersA);
        nameControl(m_correct[i], QStringLiteral("Correct%1").arg(QChar(u'A' + i)),
             QStringLiteral("Správná odpověď %1)").arg(QChar(u'a' + i)));
        group->addButton(m_correct[i], i);
        correctRow->addWidget(m_correct[i]);
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int id) {
        m_editor.setField(m_question, Field::Correct, QString(QChar(u'A' + id)));
    });
    aForm->addRow(QStringLiteral("Správná odpověď:"), correctRow);
    qForm->addRow(m_answersA);

    m_answersB = new QWidget(qBox);
    m_answersB->setObjectName(QStringLiteral("AnswersB"));
    auto* bRow = new QHBoxLayout(m_answersB);
    bRow->setContentsMargins(0, 0, 0, 0);
    bRow->addWidget(new QLabel(QStringLiteral("Správná odpověď:"), m_answersB));
    m_yes = new QRadioButton(QStringLiteral("ANO"), m_answersB);
    nameControl(m_yes, QStringLiteral("CorrectAno"), QStringLiteral("Správná odpověď ANO"));
    m_no = new QRadioButton(QStringLiteral("NE"), m_answersB);
    nameControl(m_no, QStringLiteral("CorrectNe"), QStringLiteral("Správná odpověď NE"));
    bRow->addWidget(m_yes);
    bRow->addWidget(m_no);
    bRow->addStretch();
    connect(m_yes, &QRadioButton::clicked, this, [this] { m_editor.setField(m_question, Field::Correct, QStringLiteral("ANO")); });
    connect(m_no, &QRadioButton::clicked, this, [this] { m_editor.setField(m_question, Field::Correct, QStringLiteral("NE")); });
    qForm->addRow(m_answersB);

    m_answersC = new QWidget(qBox);
    m_answersC->setObjectName(QStringLiteral("AnswersC"));
    auto* cForm = new QFormLayout(m_answersC);
    cForm->setContentsMargins(0, 0, 0, 0);
    addField(m_answersC, cForm, Field::Correct, QStringLiteral("CorrectEdit"), QStringLiteral("&Správná odpověď"));
    qForm->addRow(m_answersC);

    auto* buttons = new QHBoxLayout;
    auto addButton = [this, buttons, qBox](const QString& objectName, const QString& caption) {
        auto* b = new QPushButton(caption, qBox);
        nameControl(b, objectName + QStringLiteral("Button"), QString(caption).remove(u'&'));
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, objectName] {
            if (QAction* a = action(objectName))
                a->trigger();
        });
        return b;
    };
    addButton(QStringLiteral("AddQuestion"), QStringLiteral("Přidat"));
    addButton(QStringLiteral("InsertQuestion"), QStringLiteral("Vložit"));
    addButton(QStringLiteral("DuplicateQuestion"), QStringLiteral("Zdvojit"));
    addButton(QStringLiteral("DeleteQuestion"), QStringLiteral("Smazat"));
    addButton(QStringLiteral("MoveQuestionUp"), QStringLiteral("Nahoru"));
    addButton(QStringLiteral("MoveQuestionDown"), QStringLiteral("Dolů"));
    qForm->addRow(buttons);
    // The answers' forms sit inside the question's: one label column for all.
    int labelWidth = 0;
    QList<QWidget*> labels;
    for (QFormLayout* f : {qForm, aForm, cForm})
        for (int r = 0; r < f->rowCount(); ++r)
            if (QLayoutItem* item = f->itemAt(r, QFormLayout::LabelRole); item && item->widget()) {
                labels << item->widget();
                labelWidth = std::max(labelWidth, item->widget()->sizeHint().width());
            }
    for (QWidget* label : std::as_const(labels))
        label->setMinimumWidth(labelWidth);

    questions->addWidget(listBox);
    questions->addWidget(qBox);
    questions->setStretchFactor(1, 2);
    questions->setSizes({340, 560});
    right->addWidget(questions, 1);

    split->addWidget(m_tree);
    split->addWidget(m_testPanel);
    split->setStretchFactor(1, 2);
    split->setSizes({330, 820});
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
}

// --- showing ---------------------------------------------------------------

void EditorWindow::refreshTree()
{
    const QString keep = m_tree->currentItem() ? m_tree->currentItem()->data(0, Qt::UserRole).toString() : QString();
    m_tree->clear();
    QList<TestEntry> entries;
    QStringList kinds;
    guarded([&] {
        entries = m_folder.tests();
        kinds = m_folder.kinds();
    });
    QMap<QString, QTreeWidgetItem*> kindItems;
    for (const QString& k : std::as_const(kinds)) {
        auto* item = new QTreeWidgetItem(m_tree, {k});
        item->setData(0, Qt::UserRole + 1, k);
        kindItems[k] = item;
    }
    QTreeWidgetItem* current = nullptr;
    for (const TestEntry& e : std::as_const(entries)) {
        if (e.kind.isEmpty())
            continue;
        QTreeWidgetItem* parent = kindItems.value(e.kind);
        if (!parent) {
            parent = new QTreeWidgetItem(m_tree, {e.kind});
            parent->setData(0, Qt::UserRole + 1, e.kind);
            kindItems[e.kind] = parent;
        }
        auto* item = new QTreeWidgetItem(parent, {e.title, typeCaption(e.type),
                                                   e.questions < 0 ? QStringLiteral("?") : QString::number(e.questions),
                                                   e.isProtected() ? QStringLiteral("ANO") : QStringLiteral("NE"),
                                                   e.author});
        item->setData(0, Qt::UserRole, e.fileName);
        item->setData(0, Qt::UserRole + 1, e.kind);
        if (e.openMark == QLatin1String("A"))
            item->setToolTip(0, QStringLiteral("Test je otevřen v editoru."));
        if (e.fileName == keep)
            current = item;
    }
    m_tree->expandAll();
    for (int c = 0; c < m_tree->columnCount(); ++c)
        m_tree->resizeColumnToContents(c);
    if (current)
        m_tree->setCurrentItem(current);
    if (m_kind) {
        m_showing = true;
        const QString text = m_kind->currentText();
        m_kind->clear();
        m_kind->addItems(kinds);
        m_kind->setEditText(text);
        m_showing = false;
    }
    updateEnabled();
}

void EditorWindow::showTest()
{
    m_showing = true;
    const TestSource& t = m_editor.test();
    m_kind->setEditText(t.kind);
    for (Field f : {Field::Title, Field::Author, Field::Address, Field::Email, Field::Http})
        showField(m_edits[f], f, -1);
    for (Field f : {Field::Kind, Field::Title, Field::Author, Field::Address, Field::Email, Field::Http})
        updateCounter(f);
    m_time->setText(t.hasTimeLimit() ? timeLimitText(t) : QString());
    m_typeLabel->setText(m_hasTest ? QStringLiteral("Test typu %1").arg(typeCaption(QString(t.type))) : QString());
    m_protection->setText(m_hasTest ? (t.password.isEmpty() ? QStringLiteral("NE") : QStringLiteral("ANO")) : QString());
    m_answersA->setVisible(t.type == u'A');
    m_answersB->setVisible(t.type == u'B');
    m_answersC->setVisible(t.type == u'C');
    m_showing = false;
}

void EditorWindow::showField(QLineEdit* edit, Field field, int question)
{
    const QString v = fieldValue(m_editor.test(), question, field);
    if (edit->text() != v)
        edit->setText(v);
}

void EditorWindow::updateCounter(Field field)
{
    QLabel* counter = m_counters.value(field);
    if (!counter)
        return;
    const TestSource& t = m_editor.test();
    if (!m_hasTest || (!isTestWide(field) && (m_question < 0 || m_question >= t.questions.size()))) {
        counter->clear();
        return;
    }
    const QString value = fieldValue(t, isTestWide(field) ? -1 : m_question, field);
    QWidget* edit = field == Field::Kind ? static_cast<QWidget*>(m_kind) : m_edits.value(field);
    showCounter(counter, edit, value, fieldWidth(field, t.type));
}

void EditorWindow::showQuestionList(int current)
{
    m_showing = true;
    const TestSource& t = m_editor.test();
    m_list->setUpdatesEnabled(false);
    while (m_list->count() > t.questions.size())
        delete m_list->takeItem(m_list->count() - 1);
    while (m_list->count() < t.questions.size())
        m_list->addItem(QString());
    for (int i = 0; i < t.questions.size(); ++i)
        updateQuestionItem(i);
    m_list->setUpdatesEnabled(true);
    m_showing = false;
    selectQuestion(current < 0 && !t.questions.isEmpty() ? 0 : current);
}

void EditorWindow::updateQuestionItem(int index)
{
    const TestSource& t = m_editor.test();
    if (index < 0 || index >= t.questions.size() || index >= m_list->count())
        return;
    const SourceQuestion& q = t.questions[index];
    QString correct = q.correct;
    if (t.type == u'A' && correct.size() == 1)
        correct = correct.toLower() + u')';
    m_list->item(index)->setText(QStringLiteral("%1. %2 – %3").arg(index + 1).arg(q.text.left(60), correct));
}

void EditorWindow::selectQuestion(int index)
{
    const TestSource& t = m_editor.test();
    if (index >= t.questions.size())
        index = int(t.questions.size()) - 1;
    m_question = index;
    m_showing = true;
    if (m_list->currentRow() != index)
        m_list->setCurrentRow(index);
    m_showing = false;
    showQuestion();
    updateEnabled();
}

void EditorWindow::showQuestion()
{
    m_showing = true;
    const TestSource& t = m_editor.test();
    const bool has = m_question >= 0 && m_question < t.questions.size();
    for (Field f : {Field::Question, Field::AnswerA, Field::AnswerB, Field::AnswerC, Field::AnswerD, Field::Correct}) {
        if (QLineEdit* e = m_edits.value(f))
            has ? showField(e, f, m_question) : e->clear();
        updateCounter(f);
    }
    const QString correct = has ? t.questions[m_question].correct.trimmed().toUpper() : QString();
    for (int i = 0; i < 4; ++i) {
        m_correct[i]->setAutoExclusive(false);
        m_correct[i]->setChecked(correct == QString(QChar(u'A' + i)));
        m_correct[i]->setAutoExclusive(true);
    }
    m_yes->setAutoExclusive(false);
    m_no->setAutoExclusive(false);
    m_yes->setChecked(correct == QLatin1String("ANO"));
    m_no->setChecked(correct == QLatin1String("NE"));
    m_yes->setAutoExclusive(true);
    m_no->setAutoExclusive(true);
    m_showing = false;
}

void EditorWindow::updateTitle()
{
    QString title = kAppTitle;
    if (m_hasTest) {
        title += QStringLiteral(" – ") + (m_editor.test().title.isEmpty() ? QStringLiteral("nový test") : m_editor.test().title);
        if (m_editor.modified())
            title += QStringLiteral(" *");
        if (m_viewOnly)
            title += QStringLiteral(" (pouze pro prohlížení)");
    }
    setWindowTitle(title);
}

void EditorWindow::updateEnabled()
{
    const bool edit = m_hasTest && !m_viewOnly;
    const bool hasQuestion = m_hasTest && m_question >= 0 && m_question < m_editor.test().questions.size();
    const int n = int(m_editor.test().questions.size());
    m_testPanel->setEnabled(m_hasTest);
    for (QLineEdit* e : std::as_const(m_edits))
        e->setReadOnly(!edit);
    m_time->setReadOnly(!edit);
    m_kind->setEnabled(edit);
    for (QRadioButton* r : {m_correct[0], m_correct[1], m_correct[2], m_correct[3], m_yes, m_no})
        r->setEnabled(edit && hasQuestion);
    auto set = [this](const char* name, bool on) {
        if (QAction* a = action(QLatin1String(name)))
            a->setEnabled(on);
        if (auto* b = findChild<QPushButton*>(QLatin1String(name) + QStringLiteral("Button")))
            b->setEnabled(on);
    };
    set("Save", edit);
    set("CloseTest", m_hasTest);
    set("Export", m_hasTest && !m_file.isEmpty());
    set("TryOut", m_hasTest);
    set("PrintTest", m_hasTest);
    set("PrintKey", m_hasTest && !m_viewOnly);
    set("Password", edit);
    set("TestProperties", edit);
    set("Undo", edit && m_editor.undoStack()->canUndo());
    set("Redo", edit && m_editor.undoStack()->canRedo());
    set("AddQuestion", edit);
    set("InsertQuestion", edit);
    set("DuplicateQuestion", edit && hasQuestion);
    set("DeleteQuestion", edit && hasQuestion && n > 1);
    set("MoveQuestionUp", edit && hasQuestion && m_question > 0);
    set("MoveQuestionDown", edit && hasQuestion && m_question < n - 1);
    const bool testSelected = !selectedFile().isEmpty();
    set("DuplicateTest", testSelected);
    set("RenameTest", testSelected);
    set("MoveTest", testSelected);
    set("DeleteTest", testSelected);
    set("OpenSelected", testSelected);
    set("RenameKind", !selectedKind().isEmpty());
    set("DeleteKind", !selectedKind().isEmpty());
}

QString EditorWindow::selectedFile() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

QString EditorWindow::selectedKind() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item ? item->data(0, Qt::UserRole + 1).toString() : QString();
}

void EditorWindow::applyTimeText()
{
    if (!m_hasTest || m_viewOnly || m_showing)
        return;
    int h = 0, m = 0, s = 0;
    if (!parseTimeLimit(m_time->text(), h, m, s)) {
        prompts().message(this, QStringLiteral("Povolený čas pište jako hodiny:minuty:sekundy (například 0:30:00); "
                                               "prázdné pole znamená čas neomezený."), true);
        m_time->setText(m_editor.test().hasTimeLimit() ? timeLimitText(m_editor.test()) : QString());
        return;
    }
    m_showing = true;
    m_editor.setTimeLimit(h, m, s);
    m_showing = false;
}

void EditorWindow::closeEvent(QCloseEvent* event)
{
    if (!closeTest()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace vedomec::editor
