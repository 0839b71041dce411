// SPDX-License-Identifier: MIT
// Entries pinned to volumes: which identities a "volume:" line may hold, and
// which of the drives carrying an entry's label it may act on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/drive_api.h"

namespace modGeneral {

/// Unlike the other keys, counts only at the start of a line.
inline constexpr std::string_view kVolumeKey = "volume:";

/// Whether an entry can be pinned to `identity`: "uuid:" and a filesystem's
/// UUID or serial as the drive listing writes it, hex digits in groups joined
/// by single dashes ("uuid:2F1C-9A7B"). A volume known only by its label, its
/// share or its pool has nothing a stranger's stick could not copy.
bool is_pinnable_identity(std::string_view identity);

/// Whether `identity` is one of `pins`. Hex digits match in either case.
bool pins_trust(const std::vector<std::string>& pins, std::string_view identity);

/// Why the "volume:" line starting at `position` (1-based, at its key) holds
/// no pinnable identity, naming the line; `value` is the line's value.
std::string volume_line_error(std::string_view script, std::size_t position,
                              std::string_view value);

/// A drive that carries a pinned entry's label but none of its volumes.
struct StrangerVolume {
  std::string label;     ///< the entry's, as written in the script
  std::string root;      ///< "F:\"
  std::string identity;  ///< the drive's, as the platform gives it: not to be trusted
  std::vector<std::string> pins;
};

/// "is volume uuid:1111-2222, not the pinned uuid:2F1C-9A7B", with the drive's
/// identity escaped.
std::string not_pinned_text(const StrangerVolume& stranger);

/// "not run: LABEL on F:\ " and not_pinned_text(), with the label as the
/// caller quotes it.
std::string stranger_note(std::string_view quoted_label, const StrangerVolume& stranger);

/// The drives an entry may act on, and those it must not.
struct LabelMatch {
  /// Every snapshot drive carrying the label (and, for a pinned entry, one of
  /// its volumes), in snapshot order; the first is the one the entry acts on.
  std::vector<std::string> roots;
  /// For a pinned entry, the drives carrying the label but none of its volumes.
  std::vector<StrangerVolume> strangers;
};

/// Matches an entry against `snapshot`. Without `pins`, the drives' identities
/// are not asked for.
LabelMatch match_entry(DriveApi& drives, std::string_view snapshot, std::string_view label,
                       const std::vector<std::string>& pins);

}  // namespace modGeneral
