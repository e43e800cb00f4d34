#include "platform/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace ringmere {

namespace {

constexpr char kMarker[] = "MyApplicationSign";
constexpr char kShowLine[] = "show\n";
constexpr char kDoneLine[] = "ok\n";
// A peer that connected but never asked for anything is dropped after this.
constexpr int kIdlePeerMs = 5000;
constexpr int kLockWaitMs = 3000;
constexpr int kProbeMs = 1000;

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : SingleInstance(DefaultServerName(), parent) {}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), name_(std::move(serverName)) {
    // Only this user may connect, so another user cannot raise our window.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();  // removes the socket file
}

QString SingleInstance::DefaultServerName() {
    const QString name = QStringLiteral("%1-%2").arg(QLatin1String(kMarker)).arg(getuid());
    // The runtime folder belongs to the user alone; /tmp is open to anyone, who
    // could otherwise squat the name and stop us from starting.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(name);
    return name;
}

bool SingleInstance::AnotherCopyRunning(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kShowLine);
    socket.waitForBytesWritten(timeoutMs);
    // The answer only tells that the request arrived; a copy that is busy
    // still runs, so this copy must end either way.
    while (!socket.canReadLine() && socket.waitForReadyRead(timeoutMs)) {
    }
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::SomeoneAnswers(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    const bool answered = socket.waitForConnected(timeoutMs);
    socket.abort();
    return answered;
}

bool SingleInstance::Listen() {
    error_.clear();
    if (server_.isListening()) return true;
    // Two copies started together must not both think they are first: the
    // look and the claim happen under one lock.
    const QString path = QDir::isAbsolutePath(name_) ? name_ : QDir::temp().filePath(name_);
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        error_ = QStringLiteral("Cannot lock %1.lock").arg(path);
        return false;
    }
    // Qt puts its socket in place by renaming, which would replace a live
    // copy's socket as readily as the one a crashed copy left behind.
    if (SomeoneAnswers(kProbeMs)) {
        error_ = QStringLiteral("Another copy is already listening on %1.").arg(name_);
        return false;
    }
    QLocalServer::removeServer(name_);
    if (server_.listen(name_)) return true;
    error_ = server_.errorString();
    return false;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() != kShowLine) continue;
                socket->write(kDoneLine);
                socket->flush();
                emit showRequested();
            }
        });
        // A probe or a stuck peer must not keep a socket open for ever.
        QTimer::singleShot(kIdlePeerMs, socket, [socket] { socket->abort(); });
    }
}

}  // namespace ringmere
