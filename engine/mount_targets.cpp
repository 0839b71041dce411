// SPDX-License-Identifier: MIT
// Which unmounted filesystems Kestrun may mount: only those an entry names.
#include "engine/mount_targets.h"

#include <algorithm>

#include "engine/drives.h"
#include "engine/script.h"
#include "engine/volume_pins.h"

namespace modGeneral {

std::vector<MountTarget> mount_targets(std::string_view script) {
  std::vector<MountTarget> targets;
  EntryWalker entries(script);
  for (ScriptEntry entry; entries.next(&entry);) {
    if (!first_error(entry).empty()) break;
    if (entry.label == kAnyLabel || entry.label == kNoLabel) continue;
    targets.push_back({std::move(entry.label), std::move(entry.pins)});
  }
  return targets;
}

bool names_volume(const std::vector<MountTarget>& targets, std::string_view label,
                  std::string_view identity) {
  return std::any_of(targets.begin(), targets.end(), [&](const MountTarget& target) {
    if (target.label != label) return false;
    return target.pins.empty() || (!identity.empty() && pins_trust(target.pins, identity));
  });
}

}  // namespace modGeneral
