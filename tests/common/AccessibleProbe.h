#pragma once
// Listens to what a screen reader would be told, in-process: switches
// accessibility on, records every event with what its source said at that
// moment, and walks the tree of interfaces.  One probe at a time.
//
// Accessibility is switched on as a screen reader switches it on, through
// the platform's accessibility (QAccessible::setActive only tells whoever
// listens); a test that uses the probe links Qt6::GuiPrivate.
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

struct AccessibleRecord {
    QAccessible::Event type = QAccessible::InvalidEvent;
    QPointer<QObject> object;
    int child = -1;
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    QString description;
    QAccessible::State changed; // for StateChanged
    QAccessible::State state;   // of the source, as it was
};

class AccessibleProbe {
public:
    AccessibleProbe()
    {
        current() = this;
        setActive(true);
        m_previous = QAccessible::installUpdateHandler(&AccessibleProbe::handle);
    }
    ~AccessibleProbe()
    {
        QAccessible::installUpdateHandler(m_previous);
        setActive(false);
        current() = nullptr;
    }
    AccessibleProbe(const AccessibleProbe&) = delete;
    AccessibleProbe& operator=(const AccessibleProbe&) = delete;

    QList<AccessibleRecord> events;
    void clear() { events.clear(); }

    QList<AccessibleRecord> of(QAccessible::Event type) const
    {
        QList<AccessibleRecord> out;
        for (const AccessibleRecord& r : events)
            if (r.type == type)
                out.append(r);
        return out;
    }
    QList<AccessibleRecord> alerts() const { return of(QAccessible::Alert); }
    // Index of the first event of `type` from `object` at or after `from`;
    // -1 when there is none.
    int indexOf(QAccessible::Event type, const QObject* object, int from = 0) const
    {
        for (int i = from; i < events.size(); ++i)
            if (events[i].type == type && events[i].object == object)
                return i;
        return -1;
    }

    static QAccessibleInterface* iface(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
    static QString name(QObject* o) { return iface(o) ? iface(o)->text(QAccessible::Name) : QString(); }
    static QString description(QObject* o)
    {
        return iface(o) ? iface(o)->text(QAccessible::Description) : QString();
    }
    static QAccessible::Role role(QObject* o) { return iface(o) ? iface(o)->role() : QAccessible::NoRole; }

    // The interfaces related to `o` by `relation`, as their objects.
    static QList<QObject*> related(QObject* o, QAccessible::Relation relation)
    {
        QList<QObject*> out;
        if (QAccessibleInterface* i = iface(o))
            for (const auto& [other, rel] : i->relations(relation))
                if (rel & relation)
                    out.append(other->object());
        return out;
    }

    // Depth first through the tree under `root`: the first interface that
    // matches.
    static QAccessibleInterface* find(QAccessibleInterface* root,
                                      const std::function<bool(QAccessibleInterface*)>& match, int depth = 0)
    {
        if (!root || depth > 40)
            return nullptr;
        if (match(root))
            return root;
        for (int i = 0; i < root->childCount(); ++i)
            if (QAccessibleInterface* hit = find(root->child(i), match, depth + 1))
                return hit;
        return nullptr;
    }
    static QAccessibleInterface* find(QObject* root, QAccessible::Role role, const QString& name)
    {
        return find(iface(root), [&](QAccessibleInterface* i) {
            return i->role() == role && i->text(QAccessible::Name) == name;
        });
    }
    // The names of every interface under `root` with that role, in tree order.
    static QStringList names(QObject* root, QAccessible::Role role)
    {
        QStringList out;
        find(iface(root), [&](QAccessibleInterface* i) {
            if (i->role() == role)
                out << i->text(QAccessible::Name);
            return false;
        });
        return out;
    }
    // A tree for failure messages.
    static QString dump(QAccessibleInterface* i, int depth = 0)
    {
        if (!i || depth > 40)
            return QString();
        QString s = QString(depth * 2, QLatin1Char(' ')) + QString::number(int(i->role()), 16) + QLatin1Char(' ')
            + i->text(QAccessible::Name) + QLatin1String(" | ") + i->text(QAccessible::Description)
            + QLatin1Char('\n');
        for (int c = 0; c < i->childCount(); ++c)
            s += dump(i->child(c), depth + 1);
        return s;
    }

private:
    static void setActive(bool on)
    {
        if (QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration())
            if (QPlatformAccessibility* a = platform->accessibility())
                a->setActive(on);
    }
    static AccessibleProbe*& current()
    {
        static AccessibleProbe* probe = nullptr;
        return probe;
    }
    static void handle(QAccessibleEvent* e)
    {
        AccessibleProbe* p = current();
        if (!p)
            return;
        AccessibleRecord r;
        r.type = e->type();
        r.object = e->object();
        r.child = e->child();
        if (QAccessibleInterface* i = e->accessibleInterface()) {
            r.role = i->role();
            r.name = i->text(QAccessible::Name);
            r.description = i->text(QAccessible::Description);
            r.state = i->state();
        }
        if (e->type() == QAccessible::StateChanged)
            r.changed = static_cast<QAccessibleStateChangeEvent*>(e)->changedStates();
        p->events.append(r);
    }

    QAccessible::UpdateHandler m_previous = nullptr;
};
