// SPDX-License-Identifier: MIT
// The letters volumes are remembered by, the rules that give them out, and
// their text form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::platform {

/// A volume mounted now, as the letter rules see it.
struct PresentVolume {
  std::string identity;  ///< what the volume is known by across mounts and reboots
  std::string where;     ///< its mount point
  bool root = false;     ///< the filesystem at `/`, which is always C:
};

/// A volume that holds a letter, mounted or not.
struct RememberedVolume {
  char letter = 'D';
  /// When it was last seen, as a count that grows each time volumes go away;
  /// none while it was mounted at the last look.
  std::optional<std::uint64_t> last_seen;
  std::string identity;
  std::string where;  ///< where it was mounted last

  bool operator==(const RememberedVolume&) const = default;
};

/// At most one volume per letter, in letter order.
using LetterTable = std::vector<RememberedVolume>;

/// Gives each of `volumes` its letter, in their order, and records them in
/// `table`. A volume takes back the letter remembered for it when that letter
/// is free; otherwise it takes the lowest letter from D: that is neither in use
/// nor remembered, and when every free letter is remembered, the one whose
/// volume was seen longest ago, which then forgets it. Volumes beyond Z: get
/// none. The same table and volumes always give the same letters.
std::vector<std::optional<char>> assign_letters(LetterTable& table,
                                                const std::vector<PresentVolume>& volumes);

/// The table as text, one volume per line. Identities and mount points are
/// escaped, so whatever bytes a drive brings stay inside their own field.
std::string format_letter_table(const LetterTable& table);

/// The table in `text`, or std::nullopt with the reason in `error` when the
/// text is not one that format_letter_table wrote.
std::optional<LetterTable> parse_letter_table(std::string_view text, std::string* error);

}  // namespace kestrun::platform
