// SPDX-License-Identifier: MIT
// Following started processes until they end (Windows).
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>

#include "engine/launcher.h"

namespace kestrun::platform {

/// Waits on process handles from the Qt event loop and reports each end.
/// Never waits on the caller's thread and never terminates a process; those
/// still running when this goes keep running, unreported. The engine-only
/// build has no event loop: there each handle is closed at once, unreported.
class ProcessWatch {
 public:
  using Clock = std::chrono::steady_clock;

  ProcessWatch();
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  void set_finished(modGeneral::Launcher::Finished finished);
  /// Takes over `process`, a handle with SYNCHRONIZE and query access.
  void follow(HANDLE process, modGeneral::LaunchRequest request, Clock::time_point started);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kestrun::platform
