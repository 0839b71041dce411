// SPDX-License-Identifier: MIT
#include "instance/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace kestrun::instance {
namespace {

constexpr auto kRequest = "show\n";
constexpr auto kWindowAnswer = "window";
constexpr auto kHeadlessAnswer = "headless";
// A request is one short line; anything longer is not from Kestrun.
constexpr qint64 kLongestLine = 64;
// A client that connects and says nothing is dropped after this long.
constexpr int kClientPatienceMs = 5000;

QString lock_path(const QString& folder) { return QDir(folder).filePath("kestrun.lock"); }

QString socket_path(const QString& folder) { return QDir(folder).filePath("kestrun.socket"); }

}  // namespace

QString already_running(qint64 pid) {
  return QStringLiteral("Kestrun is already running (process %1)").arg(pid);
}

QString runtime_folder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  // Where the platform has no runtime folder Qt answers with the home folder,
  // which may be shared between machines; the local data folder is not.
  if (folder.isEmpty() || QDir(folder) == QDir::home()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!folder.isEmpty()) QDir().mkpath(folder);
  }
  return folder;
}

SingleInstance::SingleInstance(Role role, const QString& folder, QObject* parent)
    : QObject(parent), role_(role), folder_(folder), lock_(lock_path(folder)) {
  // The lock is never taken for being old: only a holder that has ended, or
  // whose process identifier another program now has, gives it up.
  lock_.setStaleLockTime(0);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) answer(socket);
  });
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim() {
  if (folder_.isEmpty()) {
    error_ = QStringLiteral("there is no runtime folder to keep the lock in");
    return Claim::unguarded;
  }
  if (lock_.tryLock(0)) {
    listen();
    return Claim::first;
  }
  switch (lock_.error()) {
    case QLockFile::LockFailedError: {
      QString host;
      QString application;
      if (!lock_.getLockInfo(&other_pid_, &host, &application)) other_pid_ = 0;
      return Claim::taken;
    }
    case QLockFile::PermissionError:
      error_ = QStringLiteral("cannot create '%1': permission denied").arg(lock_.fileName());
      return Claim::unguarded;
    default:
      error_ = QStringLiteral("cannot create '%1'").arg(lock_.fileName());
      return Claim::unguarded;
  }
}

std::optional<QString> SingleInstance::claim_or_refusal() {
  switch (claim()) {
    case Claim::taken:
      return already_running(other_pid_);
    case Claim::unguarded:
      qWarning("Kestrun: running without the one-instance lock: %s", qPrintable(error_));
      return std::nullopt;
    case Claim::first:
      break;
  }
  return std::nullopt;
}

void SingleInstance::listen() {
  // A socket file left by a holder that was killed answers nobody; holding
  // the lock makes it ours to replace.
  const QString path = socket_path(folder_);
  QLocalServer::removeServer(path);
  if (!server_.listen(path)) {
    qWarning("Kestrun: later starts cannot reach this one: %s", qPrintable(server_.errorString()));
  }
}

void SingleInstance::answer(QLocalSocket* socket) {
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kClientPatienceMs, socket, [socket] { socket->abort(); });
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() > kLongestLine) socket->abort();
      return;
    }
    const QByteArray line = socket->readLine(kLongestLine + 1);
    if (line != kRequest) {
      socket->abort();
      return;
    }
    socket->write(role_ == Role::window ? kWindowAnswer : kHeadlessAnswer);
    socket->write("\n");
    socket->flush();
    socket->disconnectFromServer();
    if (role_ == Role::window) emit show_requested();
  });
}

std::optional<Role> SingleInstance::ask_to_show(std::chrono::milliseconds timeout) {
  const QDeadlineTimer deadline(timeout);
  QLocalSocket socket;
  // The running Kestrun listens just after it takes the lock: a start in
  // between finds no socket yet, so try again until the time is up.
  while (true) {
    socket.connectToServer(socket_path(folder_));
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
    if (deadline.hasExpired()) return std::nullopt;
    QThread::msleep(50);
  }
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    return std::nullopt;
  }
  while (!socket.canReadLine()) {
    if (deadline.hasExpired() || socket.bytesAvailable() > kLongestLine ||
        !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      return std::nullopt;
    }
  }
  const QByteArray answer = socket.readLine(kLongestLine + 1).trimmed();
  if (answer == kWindowAnswer) return Role::window;
  if (answer == kHeadlessAnswer) return Role::headless;
  return std::nullopt;
}

}  // namespace kestrun::instance
