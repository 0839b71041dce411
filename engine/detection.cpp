// SPDX-License-Identifier: MIT
// The detection pass: one walk over the script's entries shared by the poll,
// menu and validate modes.
#include "engine/detection.h"

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "engine/action_log.h"
#include "engine/drives.h"
#include "engine/eject.h"
#include "engine/script.h"
#include "engine/volume_pins.h"

namespace modGeneral {

namespace {

// Ends the walk after a check's message; the report keeps what it has so far.
struct CheckFailed {};

// The words for an exception thrown by platform or toolkit code, caught at
// the moment it happened.
std::string failure_text() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown failure";
  }
}

class Pass {
 public:
  Pass(Context& context, Mode mode) : context_(context), mode_(mode) {}

  // Platform code (the store, the drive listing) may throw before the walk:
  // without a script or a snapshot there is nothing to walk, so the failure is
  // reported and the pass ends, leaving `last_drive_snapshot` as it was so the
  // next pass does not take every drive present for a new one.
  std::string run(std::string_view given_text) {
    try {
      return run_unguarded(given_text);
    } catch (...) {
      try {
        report_error(failure_text());
      } catch (...) {
        // Out of memory even for the error's words: the pass still ends here.
      }
      return std::move(report_);
    }
  }

 private:
  std::string run_unguarded(std::string_view given_text) {
    if (mode_ == Mode::menu) {
      context_.run_item.set_caption({});
      context_.run_item.set_tag({});
    }
    const std::string script =
        mode_ == Mode::validate ? std::string(given_text) : context_.settings.read(kAdvanced);
    if (mode_ != Mode::validate && context_.events) context_.events->script_read(script);
    if (script.empty()) return {};

    report_ = "Starting validation...\r\n\r\n";
    const auto ignore_list = get_ignore_list(script);
    if (!ignore_list.empty()) report_ += "Ignoring drives: " + ignore_list + "\r\n\r\n";

    if (mode_ != Mode::validate) {
      auto roots = get_drive_strings(context_.drives);
      if (!ignore_list.empty()) roots = remove_ignored_roots(roots, ignore_list);
      snapshot_ = get_labelled_drives(context_.drives, roots);
      log_warnings(context_.drives.take_warnings());
      if (mode_ == Mode::poll) {
        if (snapshot_ == context_.last_drive_snapshot) return {};
        context_.last_drive_snapshot = snapshot_;
      }
    }

    try {
      walk(script);
      report_ += "Validation complete\r\n\r\n";
    } catch (const CheckFailed&) {
    }
    return report_;
  }

  void walk(std::string_view script) {
    // The report repeats most of the script; growing it step by step would
    // copy it over and over on long scripts.
    report_.reserve(report_.size() + 2 * script.size());
    EntryWalker entries(script);
    const std::string no_menu;
    for (ScriptEntry entry; entries.next(&entry);) {
      report_ += "Processing first entry...\r\n";
      report_.append("  label=").append(entry.label).append("\r\n");
      report_.append("  execute=").append(entry.exec).append("\r\n");
      if (!entry.check_error.empty()) fail_check(entry.check_error);
      for (const auto& pin : entry.pins) report_.append("  volume=").append(pin).append("\r\n");
      // A pin that cannot be read must not leave the entry running on any
      // drive with the label.
      if (!entry.volume_error.empty()) fail_check(entry.volume_error);
      if (!entry.eject_error.empty()) fail_check(entry.eject_error);
      if (entry.eject != EjectWhen::never) {
        report_.append("  eject=").append(eject_value_text(entry.eject)).append("\r\n");
      }

      const std::string& menu = entry.menu ? *entry.menu : no_menu;
      if (entry.menu) report_.append("  menu run=").append(menu).append("\r\n");

      if (mode_ == Mode::validate) {
        report_ += "Entry seems okay\r\n\r\n";
      } else {
        act(entry, menu);
      }
    }
  }

  // A failed operation is reported and the walk goes on with the next step.
  void act(const ScriptEntry& entry, const std::string& menu) {
    try {
      const auto match = match_entry(context_.drives, snapshot_, entry.label, entry.pins);
      if (mode_ == Mode::menu) {
        if (!match.roots.empty()) menu_actions(entry.label, menu, match.roots.front());
        return;
      }
      for (const auto& stranger : match.strangers) report_stranger(stranger);
      if (!match.roots.empty()) poll_actions(entry, match.roots);
    } catch (...) {
      report_error(failure_text());
    }
  }

  void log_detected(const std::string& label, const std::string& root) {
    log_size_check(context_.action_log);
    log_append(context_.action_log, "Detected USB device labeled '" + label + "' on " + root);
  }

  // A warning rather than a result: the user hears of it on the desktop too.
  void report_stranger(const StrangerVolume& stranger) {
    log_detected(stranger.label, stranger.root);
    log_append(context_.action_log, "  " + stranger_note("'" + stranger.label + "'", stranger));
    log_keep_end_in_view(context_.action_log);
    if (context_.events) context_.events->stranger_volume(stranger);
  }

  void poll_actions(const ScriptEntry& entry, const std::vector<std::string>& roots) {
    const std::string& label = entry.label;
    TextPane& log = context_.action_log;
    const std::string& root = roots.front();
    log_detected(label, root);
    if (roots.size() > 1) log_append(log, "  " + shared_label_note("'" + label + "'", roots));
    log_keep_end_in_view(log);
    try {
      auto request = make_launch_request(context_.drives, entry.exec, root, label);
      request.eject = entry.eject;
      const auto error = execute_logged(context_, request);
      if (!error.empty()) report_ += error + "\r\n";
    } catch (...) {
      // Without the drive's location the command would run with the wrong
      // KESTRUN_MOUNT; it is not started.
      report_error(failure_text());
    }
    log_append(log, kIgnoringLine);
  }

  // An entry without a menu command leaves the run item to an earlier entry
  // that has one, rather than hide it behind an item that does nothing.
  void menu_actions(const std::string& label, const std::string& menu, const std::string& root) {
    if (menu.empty()) return;
    auto request = make_launch_request(context_.drives, menu, root, label);
    context_.run_item.set_caption("Run script for " + label + " on " + root);
    context_.run_item.set_tag(request);
  }

  // Told even when the drives did not change, since nothing else would tell them.
  void log_warnings(const std::vector<std::string>& warnings) {
    for (const auto& warning : warnings) {
      log_size_check(context_.action_log);
      log_append(context_.action_log, std::string(kWarningPrefix) + warning);
    }
  }

  void report_error(std::string_view text) {
    report_.append(text).append("\r\n");
    try {
      log_append(context_.action_log, std::string(kErrorPrefix) + std::string(text));
    } catch (...) {
      // The log itself failed; the report still carries the error.
    }
  }

  [[noreturn]] void fail_check(std::string_view message) {
    report_error(message);
    throw CheckFailed{};
  }

  Context& context_;
  Mode mode_;
  std::string snapshot_;
  std::string report_;
};

}  // namespace

std::string run_detection(Context& context, Mode mode, std::string_view text) {
  return Pass(context, mode).run(text);
}

LaunchRequest make_launch_request(DriveApi& drives, std::string_view command, std::string_view root,
                                  std::string_view label) {
  LaunchRequest request;
  request.command = substitute_placeholders(command, root, label);
  request.root = std::string(root);
  request.letter = std::string(root.substr(0, 1));
  request.label = std::string(label);
  if (!request.command.empty()) {
    auto location = drives.locate(root);
    request.mount_point = std::move(location.mount_point);
    request.device = std::move(location.device);
    request.identity = std::move(location.identity);
  }
  return request;
}

std::string execute_logged(Context& context, const LaunchRequest& request) {
  log_append(context.action_log, std::string(kExecutingPrefix) + request.command);
  std::string error;
  bool launched = false;
  try {
    launched = context.launcher.launch(request, &error);
  } catch (...) {
    error = failure_text();
  }
  if (!launched) {
    if (error.empty()) error = "the command could not be started";
    log_append(context.action_log, std::string(kErrorPrefix) + error);
    if (context.events) context.events->command_not_started(request, error);
    return error;
  }
  return {};
}

}  // namespace modGeneral
