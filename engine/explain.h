// SPDX-License-Identifier: MIT
// Why a poll pass would or would not act: the drives it sees and each entry's
// fate, worked out without launching anything or touching any state.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drive_api.h"
#include "engine/launcher.h"
#include "engine/mount_targets.h"
#include "engine/volume_pins.h"

namespace modGeneral {

struct DriveVerdict {
  enum class Fate { matched, ignored, unreadable, wrong_type };

  std::string root;  ///< upper case, "E:\"
  DriveType type = kDriveUnknown;
  std::optional<std::string> label;  ///< as matched ("(no label)" when empty); none if unreadable
  DriveLocation location;
  Fate fate = Fate::matched;  ///< matched: in the snapshot that entries are matched against
  std::string ignore_item;    ///< for Fate::ignored, the item of the ignore line, as written
};

/// A drive whose label is close to an entry's without matching it: for the
/// special labels, a drive that would match were it not left out.
struct NearMiss {
  std::string root;
  std::string label;
  bool case_differs = false;
  bool spaces_differ = false;  ///< outer spaces
  bool left_out = false;       ///< the drive is not in the snapshot at all
  bool ignored = false;        ///< left out by the ignore line
};

struct EntryVerdict {
  /// only_strangers: drives carry the label, but none a pinned volume.
  enum class Fate { runs, no_drive, only_strangers, stops, not_reached };

  std::size_t number = 0;  ///< from 1, in script order
  std::string label;
  Fate fate = Fate::runs;
  /// runs: every root carrying the label, the first being the one acted on.
  std::vector<std::string> roots;
  LaunchRequest request;              ///< runs: the command, substituted, and its drive
  std::vector<std::string> words;     ///< runs: the program and arguments
  std::vector<NearMiss> near_misses;  ///< no_drive
  /// no_drive: the device of a filesystem the entry names that is present but
  /// not mounted; "" when there is none.
  std::string unmounted_device;
  /// no_drive: the special label that the entry's differs from only in case;
  /// the entry's is then an ordinary label.
  std::string_view special_label;
  /// runs: why the command would fail to start, in the launcher's words.
  std::string start_problem;
  /// runs, only_strangers: the drives with the label that are not pinned.
  std::vector<StrangerVolume> strangers;
  std::string check_error;  ///< stops
};

struct Explanation {
  std::vector<DriveVerdict> drives;
  std::vector<EntryVerdict> entries;
  /// Items of the ignore line that are no drive root ("d:", " e:\"), as
  /// written: they ignore nothing.
  std::vector<std::string> idle_ignore_items;
  bool script_empty = false;
  /// An entry broke a rule, so the walk ends there as every pass's does.
  bool stopped = false;
};

/// Every drive root and what a poll pass over `script` makes of it, in the
/// order the roots are listed.
std::vector<DriveVerdict> explain_drives(DriveApi& drives, std::string_view script);

/// What a poll pass over `script` would do on the drives present now, as if
/// the drives had just changed. The words of the entries that run are left
/// empty.
Explanation explain(DriveApi& drives, std::string_view script);

/// Names, for each entry that finds no drive, a filesystem in `unmounted`
/// that it would run on were it mounted.
void note_unmounted(Explanation& explanation, std::string_view script,
                    const std::vector<UnmountedVolume>& unmounted);

/// As above, with the words `launcher` would start each command with and
/// what would keep it from starting.
Explanation explain(DriveApi& drives, const Launcher& launcher, std::string_view script);

}  // namespace modGeneral
