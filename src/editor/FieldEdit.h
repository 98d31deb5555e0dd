#pragma once
// A one-line field whose Ctrl+Z and Ctrl+Y belong to the window: the test's
// undo stack takes back every change, not the field's own memory of keys.
#include <QKeyEvent>
#include <QLineEdit>

namespace vedomec::editor {

class FieldEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ShortcutOverride) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->matches(QKeySequence::Undo) || k->matches(QKeySequence::Redo)
                || (k->modifiers() == Qt::ControlModifier && k->key() == Qt::Key_Y)) {
                e->ignore();
                return false;
            }
        }
        return QLineEdit::event(e);
    }
};

} // namespace vedomec::editor
