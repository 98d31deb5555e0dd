#include "TestPropertiesDialog.h"

#include "authoring/TestProperties.h"
#include "editor/EditorWindow.h"
#include "editor/FieldRow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace vedomec::editor {

using namespace vedomec::authoring;

namespace {
const Field kTextFields[] = {Field::Title, Field::Author, Field::Address, Field::Email, Field::Http};
}

TestPropertiesDialog::TestPropertiesDialog(const TestSource& test, const QStringList& kinds, bool isNew,
                                           QWidget* parent)
    : QDialog(parent), m_test(test), m_result(test)
{
    setObjectName(QStringLiteral("TestPropertiesDialog"));
    setWindowTitle(isNew ? QStringLiteral("Nový test") : QStringLiteral("Vlastnosti testu"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    m_kind = new QComboBox(this);
    m_kind->setEditable(true);
    m_kind->addItems(kinds);
    m_kind->setEditText(test.kind);
    m_kind->setInsertPolicy(QComboBox::NoInsert);
    nameControl(m_kind, QStringLiteral("PropertiesKind"), QStringLiteral("Druh testu (vyberte nebo napište nový)"));
    m_kind->lineEdit()->setAccessibleName(m_kind->accessibleName());
    m_counters[Field::Kind] = newSideLabel(this, QStringLiteral("PropertiesKindCounter"));
    addSideRow(form, this, QStringLiteral("&Druh testu"), m_kind, m_counters[Field::Kind]);
    connect(m_kind, &QComboBox::editTextChanged, this, [this] { updateCounter(Field::Kind); });
    const struct {
        Field field;
        const char* objectName;
        QString caption;
    } rows[] = {
        {Field::Title, "PropertiesTitle", QStringLiteral("&Název testu")},
        {Field::Author, "PropertiesAuthor", QStringLiteral("&Jméno autora")},
        {Field::Address, "PropertiesAddress", QStringLiteral("&Adresa autora")},
        {Field::Email, "PropertiesEmail", QStringLiteral("&E-mail autora")},
        {Field::Http, "PropertiesHttp", QStringLiteral("&WWW autora")},
    };
    for (const auto& r : rows) {
        const FieldRow row = addFieldRow(form, this, QLatin1String(r.objectName), r.caption);
        row.edit->setText(fieldValue(test, -1, r.field));
        m_edits[r.field] = row.edit;
        m_counters[r.field] = row.counter;
        const Field field = r.field;
        connect(row.edit, &QLineEdit::textChanged, this, [this, field] { updateCounter(field); });
    }
    m_edits[Field::Http]->setPlaceholderText(QStringLiteral("www.skola.cz"));

    // The type: one stop of Tab, the arrows choose among the three.
    auto* types = new QWidget(this);
    types->setObjectName(QStringLiteral("PropertiesType"));
    auto* typeRow = new QVBoxLayout(types);
    typeRow->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(this);
    const QString captions[3] = {QStringLiteral("A – výběr jedné ze čtyř odpovědí a) b) c) d)"),
                                 QStringLiteral("B – odpověď ano / ne"),
                                 QStringLiteral("C – odpověď, kterou žák doplní")};
    for (int i = 0; i < 3; ++i) {
        m_types[i] = new QRadioButton(captions[i], types);
        nameControl(m_types[i], QStringLiteral("PropertiesType%1").arg(QChar(u'A' + i)),
                    QStringLiteral("Typ testu ") + captions[i]);
        group->addButton(m_types[i], i);
        typeRow->addWidget(m_types[i]);
    }
    const int typeIndex = test.type == u'B' ? 1 : test.type == u'C' ? 2 : 0;
    m_types[typeIndex]->setChecked(true);
    {
        auto* label = new QLabel(QStringLiteral("&Typ testu:"), this);
        label->setBuddy(m_types[typeIndex]);
        form->addRow(label, types);
    }

    m_time = new FieldEdit(this);
    nameControl(m_time, QStringLiteral("PropertiesTimeLimit"),
                QStringLiteral("Povolený čas (hodiny:minuty:sekundy, prázdné = neomezeno)"));
    m_time->setPlaceholderText(QStringLiteral("neomezeno"));
    m_time->setText(test.hasTimeLimit() ? timeLimitText(test) : QString());
    m_timeHint = newSideLabel(this, QStringLiteral("PropertiesTimeLimitHint"));
    addSideRow(form, this, QStringLiteral("&Povolený čas"), m_time, m_timeHint);
    connect(m_time, &QLineEdit::textChanged, this, [this] { updateTime(); });

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("PropertiesProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color:#b00000"));
    m_problem->hide();
    layout->addWidget(m_problem);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("PropertiesButtons"));
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(isNew ? QStringLiteral("Vytvořit test") : QStringLiteral("Změnit"));
    nameControl(ok, QStringLiteral("PropertiesOk"), ok->text());
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("Zrušit"));
    nameControl(cancel, QStringLiteral("PropertiesCancel"), cancel->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    updateCounter(Field::Kind);
    for (Field f : kTextFields)
        updateCounter(f);
    updateTime();
    (isNew && test.kind.isEmpty() ? static_cast<QWidget*>(m_kind) : m_edits[Field::Title])->setFocus();
    resize(640, sizeHint().height());
}

QString TestPropertiesDialog::value(Field field) const
{
    return field == Field::Kind ? m_kind->currentText() : m_edits.value(field)->text();
}

QChar TestPropertiesDialog::chosenType() const
{
    for (int i = 0; i < 3; ++i)
        if (m_types[i]->isChecked())
            return QChar(u'A' + i);
    return m_test.type;
}

void TestPropertiesDialog::updateCounter(Field field)
{
    QWidget* edit = field == Field::Kind ? static_cast<QWidget*>(m_kind) : m_edits.value(field);
    showCounter(m_counters.value(field), edit, value(field), fieldWidth(field, chosenType()));
}

void TestPropertiesDialog::updateTime()
{
    int h = 0, m = 0, s = 0;
    if (parseTimeLimit(m_time->text(), h, m, s)) {
        m_timeHint->setText(h || m || s ? QStringLiteral("h:mm:ss") : QStringLiteral("neomezeno"));
        m_time->setStyleSheet(QString());
    } else {
        m_timeHint->setText(QStringLiteral("<span style=\"color:#b00000\">pište h:mm:ss</span>"));
        m_time->setStyleSheet(QStringLiteral("background:#ffe0e0"));
    }
    m_timeHint->setAccessibleName(QString(m_timeHint->text()).remove(QRegularExpression(QStringLiteral("<[^>]*>"))));
}

QString TestPropertiesDialog::problem(QWidget** where)
{
    TestSource t = m_test;
    for (Field f : {Field::Kind, Field::Title, Field::Author, Field::Address, Field::Email, Field::Http})
        setFieldValue(t, -1, f, value(f).trimmed());
    const bool timeWritten = parseTimeLimit(m_time->text(), t.hours, t.minutes, t.seconds);
    // Only the test-wide fields are this dialog's: the questions are
    // checked when the test is saved.
    for (const RuleBreak& b : checkTest(t)) {
        if (b.question >= 0 || b.field == Field::Question)
            continue;
        if (where)
            *where = b.field == Field::Kind ? static_cast<QWidget*>(m_kind) : m_edits.value(b.field);
        return b.message;
    }
    if (!timeWritten) {
        if (where)
            *where = m_time;
        return QStringLiteral("Povolený čas pište jako hodiny:minuty:sekundy (například 0:30:00), minuty a sekundy "
                              "od 0 do 59; prázdné pole znamená čas neomezený.");
    }
    QString why;
    const std::optional<TestSource> typed = withType(t, chosenType(), &why);
    if (!typed) {
        if (where)
            *where = m_types[chosenType().unicode() - u'A'];
        return QStringLiteral("Typ testu nelze změnit na %1: %2").arg(chosenType()).arg(why);
    }
    m_result = *typed;
    return {};
}

void TestPropertiesDialog::accept()
{
    QWidget* where = nullptr;
    const QString why = problem(&where);
    if (!why.isEmpty()) {
        m_problem->setText(why);
        m_problem->setAccessibleName(why);
        m_problem->show();
        EditorWindow::prompts().message(this, why, true);
        if (where)
            where->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace vedomec::editor
