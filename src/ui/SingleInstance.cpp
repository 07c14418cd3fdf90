#include "ui/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tarnwick::ui {
namespace {

QString InstanceFolder(const QString& folder) {
  if (!folder.isEmpty()) return folder;
  // Per user: the runtime folder belongs to the user (Qt makes one in the temporary folder when
  // the session has none).
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QByteArray Message() { return QByteArray(kAreYouMeMessage) + '\n'; }

}  // namespace

CSingleInstance::CSingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      socketPath_(QDir(InstanceFolder(folder)).filePath(QLatin1String(kInstanceMutexName))),
      lock_(socketPath_ + QStringLiteral(".lock")) {
  // Only a lock whose process is gone is stale, however old it is.
  lock_.setStaleLockTime(0);
}

CSingleInstance::~CSingleInstance() {
  if (server_) server_->close();
}

bool CSingleInstance::Acquire() {
  if (!lock_.tryLock(0)) return false;
  // The lock is ours: a socket file left by a crashed copy is in the way.
  QLocalServer::removeServer(socketPath_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_.get(), &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
  // Without the socket this copy still runs; later copies then end without raising it.
  server_->listen(socketPath_);
  return true;
}

void CSingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      if (socket->readLine() != Message()) {
        socket->disconnectFromServer();
        return;
      }
      socket->write(Message());
      socket->flush();
      Q_EMIT raiseRequested();
    });
  }
}

bool CSingleInstance::AskFirstCopyToRaise(int timeoutMs) const {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return false;
  socket.write(Message());
  socket.flush();
  while (!socket.canReadLine()) {
    const auto left = deadline.remainingTime();
    if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left))) return false;
  }
  return socket.readLine() == Message();
}

}  // namespace tarnwick::ui
