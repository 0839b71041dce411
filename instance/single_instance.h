// SPDX-License-Identifier: MIT
// One Kestrun per user: a lock that the system drops when its holder ends,
// however it ends, and a local socket over which a later start asks the
// running Kestrun to show its main window.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <optional>

class QLocalSocket;

namespace kestrun::instance {

/// How the running Kestrun was started: with its window, or --headless.
enum class Role { window, headless };

/// "Kestrun is already running (process N)".
QString already_running(qint64 pid);

/// The user's runtime folder ($XDG_RUNTIME_DIR, or a private folder Qt
/// makes for the user), or the local application data folder where the
/// platform has no runtime folder of its own. "" when there is none.
QString runtime_folder();

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  /// `folder` holds the lock and the socket; one per user.
  explicit SingleInstance(Role role, const QString& folder = runtime_folder(),
                          QObject* parent = nullptr);
  ~SingleInstance() override;

  enum class Claim {
    first,      ///< this process is now the user's Kestrun and answers later starts
    taken,      ///< another process is; see other_pid()
    unguarded,  ///< the lock cannot be made (see error()); the caller runs without one
  };
  Claim claim();
  /// claim() for a start that stops when another Kestrun runs: the message
  /// to stop with, naming the other process, or std::nullopt to go on.
  /// Without a lock it warns on standard error and goes on.
  std::optional<QString> claim_or_refusal();

  /// The running Kestrun's process identifier after Claim::taken; 0 if unknown.
  qint64 other_pid() const { return other_pid_; }
  /// Why the lock cannot be made, after Claim::unguarded.
  const QString& error() const { return error_; }

  /// Asks the running Kestrun to show its main window. Its role, or
  /// std::nullopt when it does not answer within `timeout`.
  std::optional<Role> ask_to_show(std::chrono::milliseconds timeout);

 signals:
  /// A later start asked for the main window (role window only).
  void show_requested();

 private:
  void listen();
  void answer(QLocalSocket* socket);

  Role role_;
  QString folder_;
  QLockFile lock_;
  QLocalServer server_;
  qint64 other_pid_ = 0;
  QString error_;
};

}  // namespace kestrun::instance
