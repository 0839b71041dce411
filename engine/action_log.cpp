// SPDX-License-Identifier: MIT
// The action log's operations. Appends set the pane's whole text, as the pane
// offers nothing finer; the size cap bounds what that costs.
#include "engine/action_log.h"

#include <string>
#include <string_view>

namespace modGeneral {

std::size_t TextPane::length() const { return character_count(text()); }

void log_append(TextPane& log, std::string_view line) {
  std::string text = log.text();
  text.reserve(text.size() + line.size() + 2);
  text.append(line).append("\r\n");
  log.set_text(text);
}

void log_replace(TextPane& log, std::string_view line) { log.set_text(std::string(line) + "\r\n"); }

void log_size_check(TextPane& log) {
  if (log.length() > kLogCap) log_replace(log, kLogClearedLine);
}

void log_keep_end_in_view(TextPane& log) {
  const auto length = log.length();
  log.set_selection_start(length > 0 ? length - 1 : 0);
  log.set_selection_length(1);
}

}  // namespace modGeneral
