#pragma once
// What a screen reader learns of our windows.  Qt serves every widget
// through QAccessible; the kit adds interfaces where Qt's own would say too
// little or the wrong thing:
//   - our own windows and panels take the role they are set to (the main
//     window is a window, a dialog a dialog, a balloon an alert), plain
//     panels are panels rather than frames of their own;
//   - every label reads as static text and knows the control it labels
//     (Label / Labelled relations), including labels whose text is data;
//   - the title bar of our dialogs lists its caption buttons ("Zavřít",
//     the "?" of the context help), which are no widgets of their own;
//   - an entry of a menu may be spoken by a fuller name than its caption.
// Roles, names and relations are read when asked for, so they may change
// at any time; changes of text a reader must hear at once go out as an
// alert (Announce).
#include <QAccessible>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <initializer_list>

class QAction;
class QObject;
class QWidget;

namespace vedomec::controls {

// Installs the kit's interfaces once the application exists.  Our windows
// and the kit's widgets call it when they are made, before any of their
// children are; calling it again does nothing.
void InstallAccessibility();

// The role a window or a container is exposed with, read whenever asked.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// `label` says what `target` is: the label reports Labelled(target) and,
// where the target's interface is ours, the target reports Label(label).
void SetAccessibleLabel(QWidget* label, QWidget* target);
QList<QWidget*> AccessibleLabelsOf(const QWidget* target);
QList<QWidget*> AccessibleTargetsOf(const QWidget* label);

// Links caption labels to what they name, both found under `parent` by
// object name: {caption, value}.
using CaptionPairs = QList<QPair<QString, QString>>;
void LinkCaptions(QWidget* parent, const CaptionPairs& pairs);
// The visible pairs as one text to be heard at once:
// "Druh testu : Přírodověda. Název testu : Zvířata."
QString CaptionedText(QWidget* parent, const CaptionPairs& pairs);

// Keeps the accessible description of `widget` as `describe` says it,
// asked again each time the widget gets the focus (before the reader is
// told of the focus) and whenever RefreshDescription is called.
void DescribeOnFocus(QWidget* widget, std::function<QString()> describe);
void RefreshDescription(QWidget* widget);

// Sets the name or the description a reader hears only when it differs:
// Qt tells a reader of every setting as a change, and it would be read out
// again although nothing changed.
void KeepAccessibleName(QWidget* widget, const QString& name);
void KeepAccessibleDescription(QWidget* widget, const QString& description);

// The name a menu entry is read by (with its shortcut), where its caption
// is a short form.
void SetAccessibleName(QAction* action, const QString& name);

// Tells assistive technology to read `source` now: its name and its
// description.  For whatever appears without taking the keyboard, or
// changes under it.  Orca (43, over Qt 6.4) hears no alert event, and a
// changed name or description reaches it as an object it cannot read: a
// notification is therefore shown to it anew, and where the keyboard is
// inside `source`, the control with the keyboard is told as newly focused,
// read with `source` around it.
void Announce(QObject* source);

// Has readers hear `name` and `text` now as a notification shown inside
// `within` (an invisible child), for a change they would not hear
// otherwise: the next tip, the answer of a search.
void Notify(QWidget* within, const QString& name, const QString& text);

// The control with the keyboard, inside `context` (or `context` itself),
// told to readers as newly focused, read with what lies between it and
// `context`; false when the keyboard is elsewhere.
bool AnnounceFocus(QWidget* context);

// While one lives, a change of the checked state of these boxes is kept
// from screen readers: for a change the reader learns right after, with the
// box announced as focused.  Orca reads the state of such an event off the
// object it knew, as it was before, and so said "checked" of an answer just
// cleared.
class QuietChecks {
public:
    explicit QuietChecks(std::initializer_list<QWidget*> boxes);
    ~QuietChecks();
    QuietChecks(const QuietChecks&) = delete;
    QuietChecks& operator=(const QuietChecks&) = delete;

private:
    QList<QWidget*> m_boxes;
};

// Gives `widget` a new accessible interface: readers keep what they learnt
// of an object (its role, whether it shows) as long as it lives, so an
// object that changed must reach them as a new one.
void RenewAccessible(QWidget* widget);

} // namespace vedomec::controls
