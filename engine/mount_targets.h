// SPDX-License-Identifier: MIT
// Filesystems present but not mounted, and which of them Kestrun may mount:
// only those an entry names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace modGeneral {

/// A filesystem that is present but not mounted. Every field comes from the
/// device: not to be trusted.
struct UnmountedVolume {
  std::string device;    ///< "/dev/sdb1"
  std::string label;     ///< as the drive listing cleans labels
  std::string identity;  ///< "uuid:..." as the drive listing writes it, or ""
};

/// An entry's label and the volumes it is pinned to, if any.
struct MountTarget {
  std::string label;
  std::vector<std::string> pins;
};

/// The entries a pass would reach in `script`, up to the first that breaks a
/// rule, with the special labels left out: they name no label of their own.
std::vector<MountTarget> mount_targets(std::string_view script);

/// Whether a filesystem labelled `label` with `identity` ("uuid:...", or ""
/// when unknown) is one an entry names: the label exactly, and for a pinned
/// entry one of its volumes.
bool names_volume(const std::vector<MountTarget>& targets, std::string_view label,
                  std::string_view identity);

}  // namespace modGeneral
