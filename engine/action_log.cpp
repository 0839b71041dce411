// SPDX-License-Identifier: MIT
// The action log's operations.
#include "engine/action_log.h"

#include <string>
#include <string_view>

namespace modGeneral {

std::size_t TextPane::length() const { return character_count(text()); }

void TextPane::append_text(std::string_view addition) { set_text(text().append(addition)); }

void log_append(TextPane& log, std::string_view line) {
  std::string added;
  added.reserve(line.size() + 2);
  added.append(line).append("\r\n");
  log.append_text(added);
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
