// The detection pass: one walk over the script's entries shared by the poll,
// menu and validate modes.
#include <exception>
#include <string>
#include <string_view>

#include "engine/modGeneral.h"

namespace modGeneral {

namespace {

// Ends the walk after a check's message; the report keeps what it has so far.
struct CheckFailed {};

class Pass {
 public:
  Pass(Context& context, Mode mode) : context_(context), mode_(mode) {}

  std::string run(std::string_view given_text) {
    if (mode_ == Mode::menu) {
      context_.run_item.set_caption({});
      context_.run_item.set_tag({});
    }
    const std::string script =
        mode_ == Mode::validate ? std::string(given_text) : context_.settings.read(kAdvanced);
    if (script.empty()) return {};

    report_ = "Starting validation...\r\n\r\n";
    const auto ignore_list = get_ignore_list(script);
    if (!ignore_list.empty()) report_ += "Ignoring drives: " + ignore_list + "\r\n\r\n";

    if (mode_ != Mode::validate) {
      auto roots = get_drive_strings(context_.drives);
      if (!ignore_list.empty()) roots = remove_ignored_roots(roots, ignore_list);
      snapshot_ = get_labelled_drives(context_.drives, roots);
      if (mode_ == Mode::poll) {
        if (snapshot_ == context_.last_drive_snapshot) return {};
        context_.last_drive_snapshot = snapshot_;
      }
    }

    try {
      walk(script);
      report_ += "Validation complete\r\n\r\n";
    } catch (const CheckFailed&) {
    } catch (const std::exception& e) {
      // Nothing in the walk is expected to throw; if it does (out of memory),
      // the pass reports it like any other failure rather than take the
      // program down from inside a timer or button handler.
      report_error(e.what());
    }
    return report_;
  }

 private:
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

      const std::string& menu = entry.menu ? *entry.menu : no_menu;
      if (entry.menu) report_.append("  menu run=").append(menu).append("\r\n");

      if (mode_ == Mode::validate) {
        report_ += "Entry seems okay\r\n\r\n";
      } else {
        const auto match = find_drive_for_label(snapshot_, entry.label);
        if (!match.empty()) {
          const auto root = match.substr(0, 3);
          if (mode_ == Mode::poll) {
            poll_actions(entry.label, entry.exec, root);
          } else {
            menu_actions(entry.label, menu, root);
          }
        }
      }
    }
  }

  void poll_actions(const std::string& label, const std::string& exec, const std::string& root) {
    TextPane& log = context_.action_log;
    log_size_check(log);
    log_append(log, "Detected USB device labeled '" + label + "' on " + root);
    if (const auto roots = drives_labelled(snapshot_, label); roots.size() > 1) {
      log_append(log, "  " + shared_label_note("'" + label + "'", roots));
    }
    log_keep_end_in_view(log);
    const auto error =
        execute_logged(context_, make_launch_request(context_.drives, exec, root, label));
    if (!error.empty()) report_ += error + "\r\n";
    log_append(log, kIgnoringLine);
  }

  void menu_actions(const std::string& label, const std::string& menu, const std::string& root) {
    context_.run_item.set_caption("Run script for " + label + " on " + root);
    context_.run_item.set_tag(make_launch_request(context_.drives, menu, root, label));
  }

  void report_error(std::string_view text) {
    report_.append(text).append("\r\n");
    log_append(context_.action_log, std::string(kErrorPrefix) + std::string(text));
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
  }
  return request;
}

std::string execute_logged(Context& context, const LaunchRequest& request) {
  log_append(context.action_log, std::string(kExecutingPrefix) + request.command);
  std::string error;
  if (!context.launcher.launch(request, &error)) {
    if (error.empty()) error = "the command could not be started";
    log_append(context.action_log, std::string(kErrorPrefix) + error);
    if (context.events) context.events->command_not_started(request, error);
    return error;
  }
  return {};
}

}  // namespace modGeneral
