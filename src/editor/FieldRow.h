#pragma once
// A field of the test as a row of a form: its label, the line to type in,
// and beside it what the field may still hold (the characters left, or the
// character Windows-1250 cannot store, marked where it stands).  The
// window's fields and the test's properties dialog are built of these.
#include "editor/FieldEdit.h"

#include <QString>

class QFormLayout;
class QLabel;
class QWidget;

namespace vedomec::editor {

struct FieldRow {
    FieldEdit* edit = nullptr;
    QLabel* counter = nullptr;
};

// The label beside a control that says what it may still hold.
QLabel* newSideLabel(QWidget* parent, const QString& objectName);
// `control` with `side` beside it, under a label of `caption` (with its '&'
// key) whose buddy it is.
void addSideRow(QFormLayout* form, QWidget* parent, const QString& caption, QWidget* control, QLabel* side);

// Adds the row to `form`; `caption` carries the label's '&' key, the
// accessible name is the caption without it.
FieldRow addFieldRow(QFormLayout* form, QWidget* parent, const QString& objectName, const QString& caption);

// Object name and accessible name in one go, as every control gets both.
void nameControl(QWidget* w, const QString& objectName, const QString& accessible);

// Shows in `counter` what `value` leaves of a field `width` characters wide
// and marks `edit` when the value cannot be stored.  Returns false then.
bool showCounter(QLabel* counter, QWidget* edit, const QString& value, int width);

} // namespace vedomec::editor
