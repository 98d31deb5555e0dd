#include "controls/Accessible.h"

#include "controls/CaptionButton.h"
#include "controls/Gradpan.h"
#include "controls/ToolDialog.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QTextDocumentFragment>
#include <QVersionNumber>

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace vedomec::controls {

namespace {

const char* const kRoleProperty = "vedomecAccessibleRole";
const char* const kActionNameProperty = "vedomecAccessibleName";

using Relations = QList<QPair<QAccessibleInterface*, QAccessible::Relation>>;

// --- Label links -------------------------------------------------------------

// Kept outside the objects so a link never outlives either end: an object
// made later at the same address starts with none.
struct LinkTable {
    QHash<const QObject*, QList<QPointer<QWidget>>> labelsOf;  // target -> its labels
    QHash<const QObject*, QList<QPointer<QWidget>>> targetsOf; // label -> what it labels
    QSet<const QObject*> watched;
};

LinkTable& links()
{
    static LinkTable table;
    return table;
}

void forgetOnDestruction(QWidget* w)
{
    LinkTable& t = links();
    if (t.watched.contains(w))
        return;
    t.watched.insert(w);
    QObject::connect(w, &QObject::destroyed, [](QObject* o) {
        LinkTable& t = links();
        t.labelsOf.remove(o);
        t.targetsOf.remove(o);
        t.watched.remove(o);
    });
}

QList<QWidget*> alive(const QList<QPointer<QWidget>>& list)
{
    QList<QWidget*> out;
    for (const QPointer<QWidget>& p : list)
        if (p)
            out.append(p);
    return out;
}

void appendRelated(Relations& rels, const QList<QWidget*>& widgets, QAccessible::Relation relation)
{
    for (QWidget* w : widgets)
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w))
            rels.append({iface, relation});
}

// --- Our windows and panels --------------------------------------------------

bool isDialogTitleBar(const QWidget* w)
{
    return w->objectName() == QLatin1String("TitleBar") && qobject_cast<TToolDialog*>(w->parentWidget());
}

QList<TCaptionButton*> captionButtonsOn(const QWidget* surface)
{
    QList<TCaptionButton*> out;
    if (QWidget* owner = surface->window())
        for (TCaptionButton* b : owner->findChildren<TCaptionButton*>(Qt::FindDirectChildrenOnly))
            if (b->Surface() == surface)
                out.append(b);
    return out;
}

// A widget of ours, or a plain panel: its role is the one it was given, and
// its relations include the label links.  Our dialogs' title bars list
// their caption buttons as their children.
class TWidgetAccessible : public QAccessibleWidget {
public:
    TWidgetAccessible(QWidget* w, QAccessible::Role fallback) : QAccessibleWidget(w, fallback) {}

    QAccessible::Role role() const override
    {
        const QVariant r = widget()->property(kRoleProperty);
        if (r.isValid())
            return QAccessible::Role(r.toInt());
        if (isDialogTitleBar(widget()))
            return QAccessible::TitleBar;
        return QAccessibleWidget::role();
    }

    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty()) {
            if (isDialogTitleBar(widget()))
                s = widget()->window()->windowTitle();
            else
                s = widget()->property("Caption").toString(); // a gradient panel's caption
        }
        return s;
    }

    Relations relations(QAccessible::Relation match) const override
    {
        Relations rels = QAccessibleWidget::relations(match);
        if (match & QAccessible::Label)
            appendRelated(rels, AccessibleLabelsOf(widget()), QAccessible::Label);
        if (match & QAccessible::Labelled)
            appendRelated(rels, AccessibleTargetsOf(widget()), QAccessible::Labelled);
        return rels;
    }

    int childCount() const override
    {
        if (isDialogTitleBar(widget()))
            return int(captionButtonsOn(widget()).size());
        return QAccessibleWidget::childCount();
    }

    QAccessibleInterface* child(int index) const override
    {
        if (isDialogTitleBar(widget())) {
            const QList<TCaptionButton*> buttons = captionButtonsOn(widget());
            return index >= 0 && index < buttons.size() ? QAccessible::queryAccessibleInterface(buttons[index])
                                                        : nullptr;
        }
        return QAccessibleWidget::child(index);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (isDialogTitleBar(widget())) {
            auto* b = child ? qobject_cast<TCaptionButton*>(child->object()) : nullptr;
            return int(captionButtonsOn(widget()).indexOf(b));
        }
        return QAccessibleWidget::indexOfChild(child);
    }
};

// Every label: static text named by its text as plain words (a picture
// alone makes it a graphic), with the control it names.
class TLabelAccessible : public TWidgetAccessible {
public:
    explicit TLabelAccessible(QLabel* l) : TWidgetAccessible(l, QAccessible::StaticText) {}

    QLabel* label() const { return static_cast<QLabel*>(widget()); }

    QAccessible::Role role() const override
    {
        const QVariant r = widget()->property(kRoleProperty);
        if (r.isValid())
            return QAccessible::Role(r.toInt());
        if (label()->text().isEmpty() && !label()->pixmap().isNull())
            return QAccessible::Graphic;
        return QAccessible::StaticText;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return TWidgetAccessible::text(t);
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        QString s = label()->text();
        const Qt::TextFormat format = label()->textFormat();
        if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(s)))
            s = QTextDocumentFragment::fromHtml(s).toPlainText();
        else if (format == Qt::MarkdownText)
            s = QTextDocumentFragment::fromMarkdown(s).toPlainText();
        if (label()->buddy()) {
            // A label with a buddy draws '&' as the mark of its mnemonic.
            s.replace(QLatin1String("&&"), QLatin1String("\x01"));
            s.remove(QLatin1Char('&'));
            s.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        }
        return s;
    }

    Relations relations(QAccessible::Relation match) const override
    {
        Relations rels = TWidgetAccessible::relations(match);
        if ((match & QAccessible::Labelled) && label()->buddy())
            appendRelated(rels, {label()->buddy()}, QAccessible::Labelled);
        return rels;
    }
};

// --- Caption buttons -----------------------------------------------------------

QString captionButtonName(const TCaptionButton* b)
{
    const QString own = b->property("accessibleName").toString();
    if (!own.isEmpty())
        return own;
    if (!b->Caption().isEmpty())
        return b->Caption();
    switch (b->Standard()) {
    case tsbClose: return QStringLiteral("Zavřít");
    case tsbHelp: return QStringLiteral("Nápověda");
    case tsbMax: return QStringLiteral("Maximalizovat");
    case tsbMin: return QStringLiteral("Minimalizovat");
    case tsbRestore: return QStringLiteral("Obnovit");
    case tsbNone: break;
    }
    return b->objectName();
}

QString captionButtonDescription(const TCaptionButton* b)
{
    const QString own = b->property("accessibleDescription").toString();
    if (!own.isEmpty() || b->Standard() != tsbHelp)
        return own;
    return QStringLiteral("Zapne nebo vypne režim nápovědy: klepnutí na prvek okna pak ukáže jeho nápovědu. "
                          "Klávesa F1 ukáže nápovědu k prvku, který má fokus.");
}

// A button drawn into a title bar: no widget, so it is described from the
// component itself and placed on the bar that carries it.
class TCaptionButtonAccessible : public QAccessibleObject, public QAccessibleActionInterface {
public:
    explicit TCaptionButtonAccessible(TCaptionButton* b) : QAccessibleObject(b) {}

    TCaptionButton* button() const { return static_cast<TCaptionButton*>(object()); }

    bool isValid() const override { return QAccessibleObject::isValid() && button()->Surface(); }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(button()->Surface());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: return captionButtonName(button());
        case QAccessible::Description: return captionButtonDescription(button());
        default: return QString();
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        QWidget* surface = button()->Surface();
        s.invisible = !surface || !surface->isVisible();
        s.disabled = surface && !surface->isEnabled();
        s.pressed = button()->Down();
        s.checkable = button()->Toggle();
        s.checked = button()->Toggle() && button()->Down();
        return s;
    }

    QRect rect() const override
    {
        QWidget* surface = button()->Surface();
        if (!surface)
            return QRect();
        const QRect r = button()->SurfaceRect();
        return QRect(surface->mapToGlobal(r.topLeft()), r.size());
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && !state().disabled)
            button()->Click();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

// --- Menu entries --------------------------------------------------------------

QMenu* menuOf(const QAction* a)
{
    for (QObject* o : a->associatedObjects())
        if (auto* m = qobject_cast<QMenu*>(o))
            return m;
    return nullptr;
}

// An entry of a menu read by its full name and its shortcut.
class TMenuEntryAccessible : public QAccessibleObject, public QAccessibleActionInterface {
public:
    explicit TMenuEntryAccessible(QAction* a) : QAccessibleObject(a) {}

    QAction* action() const { return static_cast<QAction*>(object()); }
    QMenu* menu() const { return menuOf(action()); }

    bool isValid() const override { return QAccessibleObject::isValid() && menu(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override
    {
        return action()->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: return action()->property(kActionNameProperty).toString();
        case QAccessible::Accelerator: {
            QStringList keys;
            for (const QKeySequence& k : action()->shortcuts())
                keys << k.toString(QKeySequence::NativeText);
            return keys.join(QLatin1String(" / "));
        }
        case QAccessible::Description: return action()->statusTip();
        default: return QString();
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        QMenu* m = menu();
        s.disabled = !action()->isEnabled();
        s.invisible = !action()->isVisible() || !m || !m->isVisible();
        s.focusable = true;
        s.focused = s.active = s.hotTracked = m && m->activeAction() == action();
        s.checkable = action()->isCheckable();
        s.checked = action()->isChecked();
        return s;
    }

    QRect rect() const override
    {
        QMenu* m = menu();
        if (!m)
            return QRect();
        const QRect r = m->actionGeometry(action());
        return QRect(m->mapToGlobal(r.topLeft()), r.size());
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    // Listed also while disabled: its shortcut is read with it.
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name != pressAction() || !action()->isEnabled())
            return;
        if (QMenu* m = menu())
            m->hide();
        action()->activate(QAction::Trigger);
    }
    // "mnemonic;path;accelerator", the form readers parse: a bare
    // shortcut would be taken for the path and not read with the entry.
    QStringList keyBindingsForAction(const QString& name) const override
    {
        const QString keys = text(QAccessible::Accelerator);
        if (name != pressAction() || keys.isEmpty())
            return {};
        return {QStringLiteral(";;") + keys};
    }
};

// --- The factory ---------------------------------------------------------------

// The first class of Qt's own that `mo` derives from (itself when it is Qt's).
QByteArray qtBaseClass(const QMetaObject* mo)
{
    while (mo && QByteArray(mo->className()).startsWith("vedomec::"))
        mo = mo->superClass();
    return mo ? QByteArray(mo->className()) : QByteArray();
}

QAccessible::Role fallbackRole(QWidget* w)
{
    if (w->isWindow())
        return qobject_cast<TToolDialog*>(w) ? QAccessible::Dialog : QAccessible::Window;
    if (auto* f = qobject_cast<QFrame*>(w)) {
        const QFrame::Shape shape = f->frameShape();
        if (shape == QFrame::HLine || shape == QFrame::VLine)
            return QAccessible::Separator;
        return QAccessible::Pane;
    }
    if (qobject_cast<TGradPan*>(w))
        return QAccessible::Pane;
    return QAccessible::Client;
}

QAccessibleInterface* kitFactory(const QString& className, QObject* object)
{
    // Decided once, for the object's own class: it comes before any base
    // class, so before Qt's interfaces of the bases.
    if (!object || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (auto* b = qobject_cast<TCaptionButton*>(object))
        return new TCaptionButtonAccessible(b);
    if (auto* a = qobject_cast<QAction*>(object))
        return a->property(kActionNameProperty).isValid() && menuOf(a) ? new TMenuEntryAccessible(a) : nullptr;
    if (!object->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (auto* l = qobject_cast<QLabel*>(w))
        return new TLabelAccessible(l);
    // Buttons, edits, lists and trees keep Qt's interfaces.
    const QByteArray base = qtBaseClass(w->metaObject());
    if (base != "QWidget" && base != "QFrame")
        return nullptr;
    const bool ours = className.startsWith(QLatin1String("vedomec::"));
    const bool dialogPart = qobject_cast<TToolDialog*>(w->parentWidget()) != nullptr;
    if (!ours && base != "QFrame" && !dialogPart && !w->property(kRoleProperty).isValid())
        return nullptr;
    return new TWidgetAccessible(w, fallbackRole(w));
}

// An interface made before ours were installed, or before the widget was
// given what ours read, is made again.
void makeOurs(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (iface && !dynamic_cast<TWidgetAccessible*>(iface)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
        QAccessible::queryAccessibleInterface(w);
    }
}

} // namespace

namespace {

// Qt 6.4's bridge to AT-SPI sends a changed name or description with the
// object in place of the new text; Orca then logs "bad content sent to
// speak()" and says nothing.  There such changes are kept from the bridge
// (what must be heard goes out as a focus or a showing, see Announce); the
// name and the description are read by whoever asks.
bool bridgeSendsChangesAsObjects()
{
    const QVersionNumber qt = QVersionNumber::fromString(QLatin1String(qVersion()));
    return qt.majorVersion() == 6 && qt.minorVersion() == 4;
}

// Boxes whose checked state changes quietly (see QuietChecks), with how many
// guards hold each.
QHash<QObject*, int>& quietBoxes()
{
    static QHash<QObject*, int> boxes;
    return boxes;
}

void passUpdate(QAccessibleEvent* event)
{
    static const bool changesAsObjects = bridgeSendsChangesAsObjects();
    if (changesAsObjects
        && (event->type() == QAccessible::NameChanged || event->type() == QAccessible::DescriptionChanged))
        return;
    if (event->type() == QAccessible::StateChanged && quietBoxes().contains(event->object())
        && static_cast<QAccessibleStateChangeEvent*>(event)->changedStates().checked)
        return;
    if (QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration())
        if (QPlatformAccessibility* a = platform->accessibility())
            a->notifyAccessibilityUpdate(event);
}

} // namespace

void InstallAccessibility()
{
    static bool installed = false;
    // Qt's own interfaces for its widgets come with the application; ours
    // go in after them and so are asked first.
    if (installed || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    installed = true;
    QAccessible::installFactory(&kitFactory);
    // One who listens already (an in-process probe) keeps listening.
    if (QAccessible::UpdateHandler listening = QAccessible::installUpdateHandler(&passUpdate))
        QAccessible::installUpdateHandler(listening);
}

QuietChecks::QuietChecks(std::initializer_list<QWidget*> boxes)
{
    for (QWidget* box : boxes)
        if (box) {
            m_boxes.append(box);
            ++quietBoxes()[box];
        }
}

QuietChecks::~QuietChecks()
{
    for (QWidget* box : std::as_const(m_boxes)) {
        auto at = quietBoxes().find(box);
        if (at != quietBoxes().end() && --*at <= 0)
            quietBoxes().erase(at);
    }
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    InstallAccessibility();
    // A reader learns an object's role once: another role is another object.
    QAccessibleInterface* iface = QAccessible::isActive() ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    const bool renew = iface && dynamic_cast<TWidgetAccessible*>(iface) && iface->role() != role;
    widget->setProperty(kRoleProperty, int(role));
    if (renew) {
        RenewAccessible(widget);
        return;
    }
    const QByteArray base = qtBaseClass(widget->metaObject());
    if (base == "QWidget" || base == "QFrame" || qobject_cast<QLabel*>(widget))
        makeOurs(widget);
}

void SetAccessibleLabel(QWidget* label, QWidget* target)
{
    InstallAccessibility();
    LinkTable& t = links();
    forgetOnDestruction(label);
    forgetOnDestruction(target);
    if (!t.targetsOf[label].contains(target))
        t.targetsOf[label].append(target);
    if (!t.labelsOf[target].contains(label))
        t.labelsOf[target].append(label);
    if (qobject_cast<QLabel*>(label))
        makeOurs(label);
}

QList<QWidget*> AccessibleLabelsOf(const QWidget* target)
{
    return alive(links().labelsOf.value(target));
}

QList<QWidget*> AccessibleTargetsOf(const QWidget* label)
{
    return alive(links().targetsOf.value(label));
}

void LinkCaptions(QWidget* parent, const CaptionPairs& pairs)
{
    for (const auto& [caption, value] : pairs) {
        auto* c = parent->findChild<QWidget*>(caption);
        auto* v = parent->findChild<QWidget*>(value);
        if (c && v)
            SetAccessibleLabel(c, v);
    }
}

QString CaptionedText(QWidget* parent, const CaptionPairs& pairs)
{
    QStringList parts;
    for (const auto& [caption, value] : pairs) {
        auto* c = parent->findChild<QLabel*>(caption);
        auto* v = parent->findChild<QLabel*>(value);
        if (!c || !v || !v->isVisibleTo(parent))
            continue;
        // "... otázek  :" is read "... otázek:", a caption without a colon
        // gets one.
        QString part = c->text().simplified();
        if (part.endsWith(QLatin1String(" :")) || part.endsWith(QLatin1String(" ?")))
            part.remove(part.size() - 2, 1);
        if (!part.endsWith(QLatin1Char(':')) && !part.endsWith(QLatin1Char('?')))
            part += QLatin1Char(':');
        const QString shown = v->text().simplified();
        if (!shown.isEmpty())
            part += QLatin1Char(' ') + shown;
        parts << part;
    }
    return parts.join(QLatin1String(". "));
}

namespace {

class FocusDescriber : public QObject {
public:
    FocusDescriber(QWidget* w, std::function<QString()> describe) : QObject(w), m_describe(std::move(describe))
    {
        w->installEventFilter(this);
    }
    void refresh()
    {
        auto* w = static_cast<QWidget*>(parent());
        const QString d = m_describe();
        if (w->accessibleDescription() != d)
            w->setAccessibleDescription(d);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::FocusIn)
            refresh();
        return false;
    }

private:
    std::function<QString()> m_describe;
};

FocusDescriber* describerOf(QWidget* widget)
{
    for (QObject* o : widget->children())
        if (auto* d = dynamic_cast<FocusDescriber*>(o))
            return d;
    return nullptr;
}

} // namespace

void DescribeOnFocus(QWidget* widget, std::function<QString()> describe)
{
    delete describerOf(widget);
    (new FocusDescriber(widget, std::move(describe)))->refresh();
}

void RefreshDescription(QWidget* widget)
{
    if (FocusDescriber* d = describerOf(widget))
        d->refresh();
}

void KeepAccessibleName(QWidget* widget, const QString& name)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

void KeepAccessibleDescription(QWidget* widget, const QString& description)
{
    if (widget->accessibleDescription() != description)
        widget->setAccessibleDescription(description);
}

void SetAccessibleName(QAction* action, const QString& name)
{
    InstallAccessibility();
    action->setProperty(kActionNameProperty, name);
}

void RenewAccessible(QWidget* widget)
{
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    QAccessible::queryAccessibleInterface(widget);
}

bool AnnounceFocus(QWidget* context)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !context || !context->isVisible() || !focus->isVisible()
        || (focus != context && !context->isAncestorOf(focus)))
        return false;
    // Windows stay: a reader follows the window it knows as active.
    for (QWidget* w = focus; w && !w->isWindow(); w = w->parentWidget()) {
        RenewAccessible(w);
        if (w == context)
            break;
    }
    QAccessibleEvent event(focus, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
    return true;
}

void Notify(QWidget* within, const QString& name, const QString& text)
{
    InstallAccessibility();
    const QString objectName = QStringLiteral("AccessibleNotice");
    QWidget* notice = within->findChild<QWidget*>(objectName, Qt::FindDirectChildrenOnly);
    if (!notice) {
        // Nothing to see: no size, under everything.
        notice = new QWidget(within);
        notice->setObjectName(objectName);
        notice->setFocusPolicy(Qt::NoFocus);
        notice->setGeometry(0, 0, 0, 0);
        SetAccessibleRole(notice, QAccessible::Notification);
    }
    notice->hide();
    notice->setAccessibleName(name);
    notice->setAccessibleDescription(text);
    notice->lower();
    RenewAccessible(notice);
    notice->show();
}

void Announce(QObject* source)
{
    // Kept for whoever listens to alerts; Qt 6.4's bridge to AT-SPI passes
    // none on, so what must be heard also goes out as an event Orca reads.
    QAccessibleEvent event(source, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
    auto* widget = qobject_cast<QWidget*>(source);
    if (!widget || !widget->isVisible())
        return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (iface && iface->role() == QAccessible::Notification) {
        // A notification is read as it is shown.
        RenewAccessible(widget);
        QAccessibleEvent shown(widget, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
        return;
    }
    AnnounceFocus(widget);
}

} // namespace vedomec::controls
