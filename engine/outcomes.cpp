// SPDX-License-Identifier: MIT
// What became of a started command: its line in the action log and whether
// it is worth a desktop notification.
#include "engine/outcomes.h"

#include <charconv>
#include <string>

#include "engine/action_log.h"
#include "engine/eject.h"
#include "engine/text_bytes.h"

namespace modGeneral {

namespace {

std::string for_drive(const LaunchRequest& request) {
  return "for '" + request.label + "' on " + request.root;
}

// "exit code 3 after 2.5 s", "ended by signal 9 (SIGKILL) after 0.4 s".
std::string how_it_ended(const CommandOutcome& outcome) {
  const auto after = " after " + format_seconds(outcome.seconds) + " s";
  if (!outcome.signalled) return "exit code " + std::to_string(outcome.number) + after;
  return "ended by signal " + std::to_string(outcome.number) + " (" + outcome.signal_name + ")" +
         after;
}

}  // namespace

std::string format_seconds(double seconds) {
  // std::to_chars ignores the locale, which Qt sets from the environment: a
  // German desktop would otherwise log "2,5 s".
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, seconds < 0 ? 0.0 : seconds,
                                     std::chars_format::fixed, 1);
  return written.ec == std::errc() ? std::string(text, written.ptr) : std::string("?");
}

std::string finished_line(const LaunchRequest& request, const CommandOutcome& outcome) {
  return "  finished: '" + request.label + "' on " + request.root +
         (outcome.signalled ? " " : " with ") + how_it_ended(outcome);
}

void command_finished(Context& context, const LaunchRequest& request,
                      const CommandOutcome& outcome) {
  TextPane& log = context.action_log;
  log_size_check(log);
  log_append(log, finished_line(request, outcome));
  log_keep_end_in_view(log);
  if (context.events) context.events->command_finished(request, outcome);
  eject_after_command(context, request, outcome);
}

Notice not_started_notice(const LaunchRequest& request, const std::string& reason) {
  return {"Could not run the command " + for_drive(request), reason};
}

std::optional<Notice> finished_notice(const LaunchRequest& request, const CommandOutcome& outcome) {
  const auto title = "The command " + for_drive(request);
  if (outcome.signalled || outcome.number != 0) {
    auto text = how_it_ended(outcome);
    text[0] = ascii_upper(text[0]);  // "Exit code ...", "Ended by ..."
    return Notice{title + " failed", text};
  }
  if (outcome.seconds < kNoticeSeconds) return std::nullopt;
  return Notice{title + " finished", "Ran for " + format_seconds(outcome.seconds) + " s"};
}

Notice stranger_notice(const StrangerVolume& stranger) {
  return {"Unknown drive labelled '" + stranger.label + "' on " + stranger.root,
          "It " + not_pinned_text(stranger) + ": the entry did not run."};
}

}  // namespace modGeneral
