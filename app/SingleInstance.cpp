#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace {

const QByteArray request = "raise\n";
constexpr int answerWaitMs = 3000;

} // namespace

SingleInstance::SingleInstance(const QString &folder, const QString &catalogue, QObject *parent)
    : QObject(parent), m_path(socketPath(folder, catalogue))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath(const QString &folder, const QString &catalogue)
{
    // A hash keeps the name short (a socket's path has room for about 100 bytes) and free of
    // the catalogue's slashes and colons.
    const QByteArray hash
        = QCryptographicHash::hash(catalogue.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("/kodra-") + QString::fromLatin1(hash);
}

bool SingleInstance::handOver()
{
    // Two copies started together must not both take the socket over: one at a time looks.
    QLockFile starting(m_path + QStringLiteral(".lock"));
    starting.lock();
    QLocalSocket probe;
    probe.connectToServer(m_path);
    if (probe.waitForConnected(answerWaitMs)) {
        probe.write(request);
        probe.waitForBytesWritten(answerWaitMs);
        // The running copy closes the socket once it has read the request.
        probe.waitForDisconnected(answerWaitMs);
        return true;
    }
    QLocalServer::removeServer(m_path);
    m_server.listen(m_path);
    return false;
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == request)
                Q_EMIT activationRequested();
            socket->disconnectFromServer();
        });
    }
}
