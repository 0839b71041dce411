// SPDX-License-Identifier: MIT
// Following started commands until they end, on the Qt event loop (Linux).
#pragma once

#include <sys/types.h>

#include <QObject>
#include <chrono>
#include <map>

#include "engine/launcher.h"

class QSocketNotifier;
class QTimer;

namespace kestrun::platform {

/// Reaps the children it is given as they end and reports each end. A pidfd
/// tells when a child ends; where the kernel has none, the children are looked
/// at every 100 ms. Only the given children are ever waited for, never any
/// other (Qt reaps its own), and none is waited for on the caller's thread or
/// signalled. Children still running when this goes keep running, unreported.
class ProcessWatch : public QObject {
 public:
  enum class Method { pidfd, polling };
  using Clock = std::chrono::steady_clock;

  explicit ProcessWatch(Method method = Method::pidfd);
  ~ProcessWatch() override;

  void set_finished(modGeneral::Launcher::Finished finished) { finished_ = std::move(finished); }
  /// Follows `pid`, a child of this process started at `started` for `request`.
  void follow(pid_t pid, modGeneral::LaunchRequest request, Clock::time_point started);

 private:
  struct Child {
    modGeneral::LaunchRequest request;
    Clock::time_point started;
    int pidfd = -1;
    QSocketNotifier* notifier = nullptr;
  };

  /// Reaps `pid` if it has ended and reports it; false while it runs.
  bool reap(pid_t pid);
  void poll_children();

  Method method_;
  std::map<pid_t, Child> children_;
  QTimer* poll_timer_ = nullptr;
  modGeneral::Launcher::Finished finished_;
};

}  // namespace kestrun::platform
