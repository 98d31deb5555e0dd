#pragma once
// Every question the editor asks and every message it shows goes through
// one object, so that a test answers them without a modal loop of its own.
#include <QString>
#include <QStringList>

#include "authoring/TestRules.h"

#include <optional>

class QPrinter;
class QWidget;

namespace vedomec::editor {

class EditorPrompts {
public:
    virtual ~EditorPrompts() = default;

    virtual void message(QWidget* parent, const QString& text, bool error);
    // A message with a list beside it the teacher may unfold (what an
    // import or export could not carry, line by line).
    virtual void report(QWidget* parent, const QString& text, const QStringList& details);
    virtual bool confirm(QWidget* parent, const QString& text);
    enum class Unsaved { Save, Discard, Cancel };
    virtual Unsaved unsaved(QWidget* parent, const QString& text);
    // A line of text; nullopt when cancelled.
    virtual std::optional<QString> text(QWidget* parent, const QString& title, const QString& label,
                                        const QString& value, bool password = false);
    // One of `items` (or, when `editable`, any text); nullopt when cancelled.
    virtual std::optional<QString> item(QWidget* parent, const QString& title, const QString& label,
                                        const QStringList& items, const QString& current, bool editable);
    // A file to read; empty when cancelled.
    virtual QString openFile(QWidget* parent, const QString& title, const QString& filter);
    // A folder to write into; empty when cancelled.
    virtual QString folder(QWidget* parent, const QString& title);
    // A PDF file to write; empty when cancelled.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter);
    // The test's kind, title, author, type and time (TestPropertiesDialog);
    // nullopt when cancelled.
    virtual std::optional<authoring::TestSource> testProperties(QWidget* parent, const authoring::TestSource& test,
                                                                const QStringList& kinds, bool isNew);
    // Where paper goes: a printer or a PDF file, set up on `printer`; false
    // when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer, const QString& title);
};

} // namespace vedomec::editor
