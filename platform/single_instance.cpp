#include "platform/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace ringmere {

namespace {

constexpr char kMarker[] = "MyApplicationSign";
constexpr char kShowLine[] = "show\n";
constexpr char kDoneLine[] = "ok\n";
// A peer that connected but never asked for anything is dropped after this.
constexpr int kIdlePeerMs = 5000;
constexpr int kProbeMs = 1000;
// Far more than any message of ours; a peer that sends more is not one of us.
constexpr qint64 kMaxMessage = 4096;

// The process at the other end runs as this user. The socket's folder keeps
// others out; this also holds where it does not.
bool PeerIsUs(const QLocalSocket& socket) {
    ucred cred{};
    socklen_t size = sizeof cred;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    return fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 &&
           cred.uid == getuid();
}

// A folder only this user can write to: a directory (not a link), the user's,
// with no permission for anyone else.
QString CheckPrivate(const QString& dir) {
    struct stat st {};
    if (lstat(QFile::encodeName(dir).constData(), &st) != 0)
        return QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("%1 is not a folder").arg(dir);
    if (st.st_uid != getuid()) return QStringLiteral("%1 belongs to another user").arg(dir);
    if ((st.st_mode & 077) != 0)
        return QStringLiteral("%1 is open to other users (mode %2)")
            .arg(dir)
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    name_ = DefaultServerName(&error_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), name_(std::move(serverName)) {
    // Only this user may connect, so another user cannot raise our window.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();  // removes the socket file
}

QString SingleInstance::DefaultServerName(QString* error) {
    const QString name = QStringLiteral("%1-%2").arg(QLatin1String(kMarker)).arg(getuid());
    // Anyone can make files in /tmp: a name there could be squatted by another
    // user, whose socket would make us end without a word.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && CheckPrivate(runtime).isEmpty()) return QDir(runtime).filePath(name);
    const QString own =
        QDir(QDir::tempPath()).filePath(QStringLiteral("ringmere-%1").arg(getuid()));
    (void)mkdir(QFile::encodeName(own).constData(), 0700);
    const QString problem = CheckPrivate(own);
    if (problem.isEmpty()) return QDir(own).filePath(name);
    if (error)
        *error = QStringLiteral("Not using %1 for the single-instance check: %2").arg(own, problem);
    return {};
}

bool SingleInstance::AnotherCopyRunning(int timeoutMs) {
    if (name_.isEmpty()) return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.setReadBufferSize(kMaxMessage);
    socket.connectToServer(name_);
    if (!socket.waitForConnected(deadline.remainingTime())) return false;
    if (!PeerIsUs(socket)) {
        socket.abort();
        return false;
    }
    socket.write(kShowLine);
    socket.waitForBytesWritten(deadline.remainingTime());
    // The answer only tells that the request arrived; a copy that is busy
    // still runs, so this copy must end either way.
    while (!socket.canReadLine() && socket.bytesAvailable() < kMaxMessage &&
           !deadline.hasExpired() && socket.waitForReadyRead(deadline.remainingTime())) {
    }
    socket.abort();
    return true;
}

bool SingleInstance::SomeoneAnswers(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    const bool answered = socket.waitForConnected(timeoutMs) && PeerIsUs(socket);
    socket.abort();
    return answered;
}

bool SingleInstance::Listen(int lockWaitMs) {
    if (name_.isEmpty()) return false;  // error_ says why
    error_.clear();
    if (server_.isListening()) return true;
    // Two copies started together must not both think they are first: the
    // look and the claim happen under one lock. A lock that stays taken
    // (planted, or its holder hangs) must not turn the check off: the claim
    // goes on without it.
    const QString path = QDir::isAbsolutePath(name_) ? name_ : QDir::temp().filePath(name_);
    QLockFile lock(path + QStringLiteral(".lock"));
    (void)lock.tryLock(lockWaitMs);
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
        if (!PeerIsUs(*socket)) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(kMaxMessage + 1);
                if (!line.endsWith('\n')) {  // longer than anything of ours
                    socket->abort();
                    return;
                }
                if (line != kShowLine) continue;
                socket->write(kDoneLine);
                socket->flush();
                emit showRequested();
            }
            // A line that never ends must not fill memory.
            if (socket->bytesAvailable() > kMaxMessage) socket->abort();
        });
        // A probe or a stuck peer must not keep a socket open for ever.
        QTimer::singleShot(kIdlePeerMs, socket, [socket] { socket->abort(); });
    }
}

}  // namespace ringmere
