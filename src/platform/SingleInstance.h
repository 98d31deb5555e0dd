#pragma once
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

class QLocalServer;

namespace vedomec {

// The desktop a process shows its windows on, as its environment names it:
// the Wayland socket, else the X display (without the screen number), else
// the login session id; empty when none is known.
QString SessionScope(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// One copy of the program per user and desktop.  The running copy listens on
// a local socket in the abstract namespace, named from the main window's
// class and title, the user id and the graphical session, so a copy that was
// killed leaves nothing behind that could block the next start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // scope: the graphical session the rule is about (SessionScope()).
    SingleInstance(const QString& windowClass, const QString& title, const QString& scope = SessionScope(),
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another copy already runs.
    bool otherRunning() const;
    // Claims the name for this copy; false when another copy holds it.
    bool claim();
    QString serverName() const { return m_name; }

private:
    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace vedomec
