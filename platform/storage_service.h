// SPDX-License-Identifier: MIT
// The system's storage service: ejecting a drive once its command is done,
// mounting the filesystems that entries name on machines without an
// automounter, and the labelled filesystems present but not mounted.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/eject.h"
#include "engine/mount_targets.h"

namespace kestrun::platform {

/// Ejects through the system: on Linux udisks2's Unmount, then PowerOff of the
/// drive; on Windows the volume is locked, dismounted and its medium ejected.
/// Answers still pending when it goes are dropped.
std::unique_ptr<modGeneral::Ejector> make_ejector();

/// The labelled filesystems present and not mounted, from udisks2 when it runs,
/// else from udev's database; none where the system mounts every volume itself.
std::vector<modGeneral::UnmountedVolume> unmounted_volumes();

/// Whether mount_named_volumes() does anything here.
bool can_mount_volumes();

/// Mounts, as the user, each filesystem that appears or is present unmounted
/// whose label an entry of `read_script()` names (and, for a pinned entry,
/// whose identity it names): never any other. Reacts to the service's own
/// word of a new filesystem. Lines for the action log go to `log`; a failure
/// is said once per filesystem. Keep the object alive while it should mount;
/// nullptr where the system mounts every volume itself.
std::unique_ptr<QObject> mount_named_volumes(std::function<std::string()> read_script,
                                             std::function<void(const std::string&)> log);

}  // namespace kestrun::platform
