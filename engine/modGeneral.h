// SPDX-License-Identifier: MIT
// The detection engine: reading the script, listing drives, the detection pass,
// validation and the action log's rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drive_api.h"
#include "engine/drive_list.h"
#include "engine/events.h"
#include "engine/launcher.h"
#include "engine/run_item.h"
#include "engine/settings_store.h"
#include "engine/text_pane.h"

namespace modGeneral {

// ---- Script reading. Positions are 1-based; 0 means "not found". -----------

inline constexpr std::string_view kLabelKey = "label:";
inline constexpr std::string_view kExecKey = "exec:";
inline constexpr std::string_view kMenuRunKey = "menurun:";
inline constexpr std::string_view kIgnoreKey = "ignore:";

/// Position of the first `key` at or after `from`, or 0.
std::size_t find_key(std::string_view script, std::string_view key, std::size_t from);

/// The value starting at `start`: up to the next CR LF or the end, trimmed of
/// spaces (character 32 only).
std::string read_line_value(std::string_view script, std::size_t start);

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
};

/// Reads a script's entries in order. A pass stops at the first entry with a
/// check error; the walker itself reads on.
class EntryWalker {
 public:
  explicit EntryWalker(std::string_view script);
  /// The next entry into `entry`; false after the last.
  bool next(ScriptEntry* entry);

 private:
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
  std::size_t label_at_;
};

// ---- Drives ------------------------------------------------------------------

inline constexpr std::string_view kNoLabel = "(no label)";
inline constexpr std::string_view kAnyLabel = "(any)";
/// What get_volume_info() gives for a volume that cannot be read: the blank
/// buffer the label was to be read into.
inline constexpr std::string_view kBlankLabel = "              ";

/// "removable", "fixed", "remote", "optical", "ramdisk", "no root" or "unknown".
std::string_view drive_type_name(DriveType type);

/// The drive root list: 4-byte records and a final NUL; "" when listing fails.
std::string get_drive_strings(DriveApi& drives);

/// The label behind `root`, untrimmed; "(no label)" for an empty or all-space
/// label; blank (spaces only) when the volume cannot be read.
std::string get_volume_info(DriveApi& drives, std::string_view root);

/// The drive snapshot: "E:\ LABEL\0" records of the readable removable and
/// fixed drives, in the order of `roots`.
std::string get_labelled_drives(DriveApi& drives, std::string_view roots);

/// Refills `list` with one "LABEL (E:\)" row per labelled drive.
void fill_drive_list(DriveApi& drives, std::string_view roots, DriveList& list);

/// The first snapshot record matching `label` as "E:\ LABEL", or "".
std::string find_drive_for_label(std::string_view snapshot, std::string_view label);

/// The roots of every snapshot record that `label` matches, in snapshot order;
/// the first is the one an entry acts on. "(any)" matches the first only.
std::vector<std::string> drives_labelled(std::string_view snapshot, std::string_view label);

/// "note: N drives are labelled LABEL (E:\, G:\); this entry acts on E:\ only"
/// for two or more `roots`, with the label as the caller quotes it.
std::string shared_label_note(std::string_view quoted_label, const std::vector<std::string>& roots);

/// Removes from `roots` every record named by the comma-separated `ignore_list`.
std::string remove_ignored_roots(std::string_view roots, std::string_view ignore_list);

/// The item of the comma-separated `ignore_list` that removes `root`, as written.
std::optional<std::string> ignoring_item(std::string_view ignore_list, std::string_view root);

// ---- Action log ----------------------------------------------------------------

inline constexpr std::size_t kLogCap = 60000;
inline constexpr std::string_view kStartedLine = "Started...";
inline constexpr std::string_view kStoppedLine = "Stopped.";
inline constexpr std::string_view kLogClearedLine =
    "Output cleared due to it's size getting too big!";
inline constexpr std::string_view kExecutingPrefix = "  executing script...";
inline constexpr std::string_view kIgnoringLine =
    "  now ignoring the device until it's reinserted (or app is restarted)";
inline constexpr std::string_view kErrorPrefix = "  error: ";
/// Starts a line about a problem the platform met that did not stop the pass.
inline constexpr std::string_view kWarningPrefix = "Warning: ";

/// Adds `line` and a CR LF after everything already in the log.
void log_append(TextPane& log, std::string_view line);
/// Makes `line` and a CR LF the log's whole text.
void log_replace(TextPane& log, std::string_view line);
/// Cuts the log back to the size cap line when it holds more than kLogCap.
void log_size_check(TextPane& log);
/// Selects the log's last character so the newest line is in view.
void log_keep_end_in_view(TextPane& log);

// ---- The detection pass ----------------------------------------------------------

enum class Mode { poll, menu, validate };

inline constexpr std::string_view kExecMissingError =
    "'exec' doesn't exist for one of your entries";
inline constexpr std::string_view kBlankError =
    "'label' or 'exec' are blank, please check your script";

/// What a pass works with. `last_drive_snapshot` is the engine's only memory
/// between passes; only poll passes read or change it. `events`, when set,
/// hears of commands that could not start or have ended.
struct Context {
  DriveApi& drives;
  Launcher& launcher;
  SettingsStore& settings;
  TextPane& action_log;
  RunItem& run_item;
  std::string last_drive_snapshot;
  EngineEvents* events = nullptr;
};

/// One detection pass. `text` is the script for a validate pass; poll and
/// menu passes read the stored script. Returns the validation report.
std::string run_detection(Context& context, Mode mode, std::string_view text = {});

/// The launch requests a first poll pass over `drives` would make for
/// `script`, in the order it would make them, without starting, logging or
/// remembering anything.
std::vector<LaunchRequest> dry_poll_pass(DriveApi& drives, std::string_view script);

/// The launch request for `command` on the drive at `root`, found for the entry
/// labelled `label`: placeholders substituted, drive fields filled in.
LaunchRequest make_launch_request(DriveApi& drives, std::string_view command, std::string_view root,
                                  std::string_view label);

/// Logs "  executing script..." and the command, then starts it; a launch that
/// fails adds "  error: " and the platform's words. Returns the error, or "".
std::string execute_logged(Context& context, const LaunchRequest& request);

// ---- Outcomes of started commands ------------------------------------------------

/// Seconds with one decimal, whatever the locale: "2.5".
std::string format_seconds(double seconds);

/// "  finished: 'LABEL' on E:\ with exit code N after T s", or "... ended by
/// signal N (NAME) after T s".
std::string finished_line(const LaunchRequest& request, const CommandOutcome& outcome);

/// Logs a command's end like a detection (size check, line, end in view) and
/// tells the context's events.
void command_finished(Context& context, const LaunchRequest& request,
                      const CommandOutcome& outcome);

/// A desktop notification: a title and one line under it.
struct Notice {
  std::string title;
  std::string text;
};
/// Successes shorter than this are left to the log: every change of the
/// drives runs the entries again, and would flood the desktop.
inline constexpr double kNoticeSeconds = 10.0;
Notice not_started_notice(const LaunchRequest& request, const std::string& reason);
/// For a failure, or a success of kNoticeSeconds or more; nothing otherwise.
std::optional<Notice> finished_notice(const LaunchRequest& request, const CommandOutcome& outcome);

}  // namespace modGeneral
