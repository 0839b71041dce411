// SPDX-License-Identifier: MIT
// What the engine tells a front end besides the action log.
#pragma once

#include <string>

#include "engine/eject.h"
#include "engine/launcher.h"
#include "engine/volume_pins.h"

namespace modGeneral {

/// One sink for the engine's outward events. Each has a default that ignores
/// it, so a front end overrides only what it shows.
class EngineEvents {
 public:
  virtual ~EngineEvents() = default;

  /// A command could not be started; `reason` is the platform's words.
  virtual void command_not_started(const LaunchRequest& request, const std::string& reason) {
    static_cast<void>(request);
    static_cast<void>(reason);
  }
  /// A poll or menu pass read the stored script, which it acts on.
  virtual void script_read(const std::string& script) { static_cast<void>(script); }
  /// A started command ended.
  virtual void command_finished(const LaunchRequest& request, const CommandOutcome& outcome) {
    static_cast<void>(request);
    static_cast<void>(outcome);
  }
  /// A drive carries a pinned entry's label but none of its volumes; the
  /// entry did not run on it.
  virtual void stranger_volume(const StrangerVolume& stranger) { static_cast<void>(stranger); }
  /// An entry's drive was ejected after its command, or could not be.
  virtual void volume_ejected(const LaunchRequest& request, const EjectResult& result) {
    static_cast<void>(request);
    static_cast<void>(result);
  }
};

}  // namespace modGeneral
