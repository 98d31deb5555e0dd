#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace vedomec {

SingleInstance::SingleInstance(const QString& windowClass, const QString& title, const QString& scope,
                               QObject* parent)
    : QObject(parent)
{
    // Both parts count, as with a window found by class and title; the user
    // id keeps two users of one machine apart, the session two desktops of
    // one user (a shared account on a terminal server, a second X session).
    auto hash = [](const QString& text) {
        return QString::fromLatin1(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    };
    m_name = QStringLiteral("vedomec-%1-%2-%3")
                 .arg(hash(windowClass + QLatin1Char('\n') + title))
                 .arg(::getuid())
                 .arg(hash(scope));
}

QString SessionScope(const QProcessEnvironment& env)
{
    // The display is the desktop itself: a login session may reach several
    // (a nested or virtual X server), and one desktop keeps its display
    // whatever session a start comes from.
    const QString wayland = env.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (!wayland.isEmpty()) {
        // A bare socket name lies in the user's runtime folder.
        if (wayland.startsWith(QLatin1Char('/')))
            return QStringLiteral("wayland:") + wayland;
        return QStringLiteral("wayland:") + env.value(QStringLiteral("XDG_RUNTIME_DIR")) + QLatin1Char('/')
            + wayland;
    }
    QString display = env.value(QStringLiteral("DISPLAY"));
    if (!display.isEmpty()) {
        // ":0", ":0.0" and "unix:0" name one display; the screen number
        // after the dot is one screen of it.
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            QString host = display.left(colon);
            QString number = display.mid(colon + 1);
            const qsizetype dot = number.indexOf(QLatin1Char('.'));
            if (dot >= 0)
                number.truncate(dot);
            if (host == QLatin1String("unix"))
                host.clear();
            display = host + QLatin1Char(':') + number;
        }
        return QStringLiteral("x11:") + display;
    }
    const QString session = env.value(QStringLiteral("XDG_SESSION_ID"));
    if (!session.isEmpty())
        return QStringLiteral("session:") + session;
    return QString();
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
