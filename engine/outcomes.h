// SPDX-License-Identifier: MIT
// What became of a started command: its line in the action log and whether
// it is worth a desktop notification.
#pragma once

#include <optional>
#include <string>

#include "engine/detection.h"
#include "engine/launcher.h"
#include "engine/volume_pins.h"

namespace modGeneral {

/// Seconds with one decimal, whatever the locale: "2.5".
std::string format_seconds(double seconds);

/// "  finished: 'LABEL' on E:\ with exit code N after T s", or "... ended by
/// signal N (NAME) after T s".
std::string finished_line(const LaunchRequest& request, const CommandOutcome& outcome);

/// Logs a command's end like a detection (size check, line, end in view) and
/// tells the context's events; then ejects its drive where its entry asks.
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
/// For a drive that carries a pinned entry's label but none of its volumes.
Notice stranger_notice(const StrangerVolume& stranger);

}  // namespace modGeneral
