#pragma once
// The test as a whole: its kind (one of the folder's or a new one), title,
// author's name, address, e-mail and web, type A/B/C and allowed time.
// Asked for a new test and for the open one ("Vlastnosti testu"); every
// field shows what it may still hold, and the dialog is left only with
// values the question table can store and a type every question can take.
#include "authoring/TestRules.h"

#include <QDialog>
#include <QMap>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace vedomec::editor {

class TestPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // `isNew`: asking for a new test (the questions are made after).
    TestPropertiesDialog(const authoring::TestSource& test, const QStringList& kinds, bool isNew,
                         QWidget* parent = nullptr);

    // The test with the dialog's values; for an existing test the questions
    // carry their correct answers over to the chosen type.  Meaningful once
    // the dialog was accepted.
    const authoring::TestSource& test() const { return m_result; }
    // Why the values cannot be taken (the first reason); empty when they can.
    QString problem(QWidget** where = nullptr);

    void accept() override;

private:
    QString value(authoring::Field field) const;
    QChar chosenType() const;
    void updateCounter(authoring::Field field);
    void updateTime();

    authoring::TestSource m_test;
    authoring::TestSource m_result;
    QComboBox* m_kind = nullptr;
    QMap<authoring::Field, QLineEdit*> m_edits;
    QMap<authoring::Field, QLabel*> m_counters;
    QRadioButton* m_types[3] = {};
    QLineEdit* m_time = nullptr;
    QLabel* m_timeHint = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace vedomec::editor
