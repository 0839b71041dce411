// SPDX-License-Identifier: MIT
// Reading the detection script. Positions are 1-based; 0 means "not found".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/launcher.h"

namespace modGeneral {

inline constexpr std::string_view kLabelKey = "label:";
inline constexpr std::string_view kExecKey = "exec:";
inline constexpr std::string_view kMenuRunKey = "menurun:";
inline constexpr std::string_view kIgnoreKey = "ignore:";

inline constexpr std::string_view kExecMissingError =
    "'exec' doesn't exist for one of your entries";
inline constexpr std::string_view kBlankError =
    "'label' or 'exec' are blank, please check your script";

/// Position of the first `key` at or after `from`, or 0.
std::size_t find_key(std::string_view script, std::string_view key, std::size_t from);

/// The value starting at `start`: up to the next CR LF or the end, trimmed of
/// spaces (character 32 only).
std::string read_line_value(std::string_view script, std::size_t start);

/// The number of the line that `position` (1-based) lies on, lines ending in CR LF.
std::size_t line_number(std::string_view script, std::size_t position);

/// The value after the first "ignore:", or "" when there is none.
std::string get_ignore_list(std::string_view script);

/// %1 by the root, then %2 by the label, then %3 by the root's first character.
std::string substitute_placeholders(std::string_view command, std::string_view root,
                                    std::string_view label);

/// One entry as every pass reads it: from its "label:" to the next.
struct ScriptEntry {
  std::string label;
  std::string exec;  ///< read even when it lies beyond the next "label:"
  std::optional<std::string> menu;
  /// kExecMissingError or kBlankError when the entry breaks a rule, else empty.
  std::string_view check_error;
  /// The values of its "volume:" lines up to the first that holds no
  /// pinnable identity; empty when it has none.
  std::vector<std::string> pins;
  /// Why that line was not read, naming it; empty when every line was.
  std::string volume_error;
  /// What its "eject:" lines ask for; never when it has none.
  EjectWhen eject = EjectWhen::never;
  /// Why one of them was not read, naming it; empty when every one was.
  std::string eject_error;
};

/// The error a pass stops at for `entry`, in the order a pass checks them;
/// "" when it breaks no rule.
std::string first_error(const ScriptEntry& entry);

/// Reads a script's entries in order. A pass stops at the first entry with a
/// check error; the walker itself reads on.
class EntryWalker {
 public:
  explicit EntryWalker(std::string_view script);
  /// The next entry into `entry`; false after the last.
  bool next(ScriptEntry* entry);

 private:
  void read_pins(std::size_t next_label_at, ScriptEntry* entry);
  void read_eject(std::size_t next_label_at, ScriptEntry* entry);

  // Finds a key at or after a position, remembering its last answer: the walk
  // asks for "exec:" and "menurun:" at or after every entry, and without the
  // memory a script with no "menurun:" at all is searched to its end per entry.
  class KeyFinder {
   public:
    KeyFinder(std::string_view script, std::string_view key) : script_(script), key_(key) {}
    std::size_t at_or_after(std::size_t from);

   private:
    std::string_view script_;
    std::string_view key_;
    bool searched_ = false;
    std::size_t from_ = 0;
    std::size_t found_ = 0;
  };

  std::string_view script_;
  KeyFinder labels_;
  KeyFinder execs_;
  KeyFinder menus_;
  KeyFinder volume_lines_;
  KeyFinder eject_lines_;
  std::size_t label_at_;
};

}  // namespace modGeneral
