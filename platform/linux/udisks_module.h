// SPDX-License-Identifier: MIT
// What the udisks2 module gives the program. It is loaded on first use, so
// that the command-line modes that never eject, mount or look for unmounted
// filesystems do not load D-Bus and what it pulls in.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/eject.h"
#include "engine/mount_targets.h"

namespace kestrun::platform {

struct UdisksModule {
  std::unique_ptr<modGeneral::Ejector> (*make_ejector)();
  /// nullopt when udisks2 does not answer.
  std::optional<std::vector<modGeneral::UnmountedVolume>> (*unmounted_volumes)();
  std::unique_ptr<QObject> (*mount_named_volumes)(std::function<std::string()> read_script,
                                                  std::function<void(const std::string&)> log);
};

/// The module, loaded once from beside the running program or from the
/// folder it is installed in; nullptr, and why in `error`, when it cannot be.
const UdisksModule* udisks_module(std::string* error);

}  // namespace kestrun::platform

/// The module's one exported symbol.
extern "C" const kestrun::platform::UdisksModule* kestrun_udisks_module();
