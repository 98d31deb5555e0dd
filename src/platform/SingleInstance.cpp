#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace vedomec {

SingleInstance::SingleInstance(const QString& windowClass, const QString& title, QObject* parent)
    : QObject(parent)
{
    // Both parts count, as with a window found by class and title; the user id
    // keeps two users of one machine apart.
    const QByteArray key = (windowClass + QLatin1Char('\n') + title).toUtf8();
    m_name = QStringLiteral("vedomec-%1-%2")
                 .arg(QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16)))
                 .arg(::getuid());
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::otherRunning() const
{
    QLocalSocket socket;
    socket.setServerName(m_name);
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(QIODevice::ReadWrite);
    const bool up = socket.waitForConnected(500);
    socket.abort();
    return up;
}

bool SingleInstance::claim()
{
    if (m_server)
        return true;
    if (otherRunning())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!m_server->listen(m_name)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    // Callers that connect only ask whether we run; drop them at once.
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            s->abort();
            s->deleteLater();
        }
    });
    return true;
}

} // namespace vedomec
