// SPDX-License-Identifier: MIT
// The action log's lines and the rules every writer to it follows.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/text_pane.h"

namespace modGeneral {

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

}  // namespace modGeneral
