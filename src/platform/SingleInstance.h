#pragma once
#include <QObject>
#include <QString>

class QLocalServer;

namespace vedomec {

// One copy of the program per user session.  The running copy listens on a
// local socket in the abstract namespace, named from the main window's class
// and title, so a copy that was killed leaves nothing behind that could block
// the next start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& windowClass, const QString& title, QObject* parent = nullptr);
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
