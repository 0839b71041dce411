// SPDX-License-Identifier: MIT
// Reading the detection script: key search, line values, the ignore line,
// placeholder substitution and the walk over entries. The script is never
// parsed into a structure: each pass reads it by positions.
#include "engine/script.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "engine/eject.h"
#include "engine/volume_pins.h"

namespace modGeneral {

std::size_t find_key(std::string_view script, std::string_view key, std::size_t from) {
  if (from == 0) from = 1;
  if (from > script.size()) return 0;
  const auto at = script.find(key, from - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string read_line_value(std::string_view script, std::size_t start) {
  if (start == 0) start = 1;
  if (start > script.size()) return {};
  auto value = script.substr(start - 1);
  const auto line_end = value.find("\r\n");
  if (line_end != std::string_view::npos) value = value.substr(0, line_end);

  const auto first = value.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = value.find_last_not_of(' ');
  return std::string(value.substr(first, last - first + 1));
}

std::size_t line_number(std::string_view script, std::size_t position) {
  std::size_t line = 1;
  const auto before = script.substr(0, std::min(position - 1, script.size()));
  for (auto at = before.find("\r\n"); at != std::string_view::npos;
       at = before.find("\r\n", at + 2)) {
    ++line;
  }
  return line;
}

std::string get_ignore_list(std::string_view script) {
  const auto at = find_key(script, kIgnoreKey, 1);
  if (at == 0) return {};
  return read_line_value(script, at + kIgnoreKey.size());
}

namespace {

// "volume:" where a line starts: scripts written before the key existed may
// hold the word inside a command or a note, and must read as they always did.
constexpr std::string_view kVolumeLineStart = "\r\nvolume:";
constexpr std::string_view kEjectLineStart = "\r\neject:";

std::string replace_all(std::string_view text, std::string_view what, std::string_view with) {
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
    result.append(text.substr(from, at - from)).append(with);
    from = at + what.size();
  }
  result.append(text.substr(from));
  return result;
}

}  // namespace

std::string substitute_placeholders(std::string_view command, std::string_view root,
                                    std::string_view label) {
  // The order matters: a "%3" that arrives with the label is filled in as well.
  auto result = replace_all(command, "%1", root);
  result = replace_all(result, "%2", label);
  return replace_all(result, "%3", root.substr(0, 1));
}

std::string first_error(const ScriptEntry& entry) {
  if (!entry.check_error.empty()) return std::string(entry.check_error);
  if (!entry.volume_error.empty()) return entry.volume_error;
  return entry.eject_error;
}

std::size_t EntryWalker::KeyFinder::at_or_after(std::size_t from) {
  const bool still_valid = searched_ && from >= from_ && (found_ == 0 || from <= found_);
  if (!still_valid) {
    found_ = find_key(script_, key_, from);
    searched_ = true;
  }
  from_ = from;
  return found_;
}

EntryWalker::EntryWalker(std::string_view script)
    : script_(script),
      labels_(script, kLabelKey),
      execs_(script, kExecKey),
      menus_(script, kMenuRunKey),
      volume_lines_(script, kVolumeLineStart),
      eject_lines_(script, kEjectLineStart),
      label_at_(labels_.at_or_after(1)) {}

bool EntryWalker::next(ScriptEntry* entry) {
  if (label_at_ == 0) return false;
  const auto next_label_at = labels_.at_or_after(label_at_ + 1);
  const auto exec_at = execs_.at_or_after(label_at_);
  const auto menu_at = menus_.at_or_after(label_at_);

  entry->label = read_line_value(script_, label_at_ + kLabelKey.size());
  entry->exec = exec_at > 0 ? read_line_value(script_, exec_at + kExecKey.size()) : "";
  entry->menu.reset();
  if (menu_at > 0 && (next_label_at == 0 || menu_at < next_label_at)) {
    entry->menu = read_line_value(script_, menu_at + kMenuRunKey.size());
  }
  if (exec_at == 0 || (next_label_at > 0 && next_label_at < exec_at)) {
    entry->check_error = kExecMissingError;
  } else if (entry->label.empty() || entry->exec.empty()) {
    entry->check_error = kBlankError;
  } else {
    entry->check_error = {};
  }
  read_pins(next_label_at, entry);
  read_eject(next_label_at, entry);
  label_at_ = next_label_at;
  return true;
}

void EntryWalker::read_pins(std::size_t next_label_at, ScriptEntry* entry) {
  entry->pins.clear();
  entry->volume_error.clear();
  for (auto at = volume_lines_.at_or_after(label_at_);
       at > 0 && (next_label_at == 0 || at < next_label_at);
       at = volume_lines_.at_or_after(at + 1)) {
    const auto key_at = at + 2;  // past the CR LF
    auto value = read_line_value(script_, key_at + kVolumeKey.size());
    if (!is_pinnable_identity(value)) {
      entry->volume_error = volume_line_error(script_, key_at, value);
      return;
    }
    entry->pins.push_back(std::move(value));
  }
}

// Every line is checked, so a mistyped second line is not passed over; the
// last one counts.
void EntryWalker::read_eject(std::size_t next_label_at, ScriptEntry* entry) {
  entry->eject = EjectWhen::never;
  entry->eject_error.clear();
  for (auto at = eject_lines_.at_or_after(label_at_);
       at > 0 && (next_label_at == 0 || at < next_label_at);
       at = eject_lines_.at_or_after(at + 1)) {
    const auto key_at = at + 2;  // past the CR LF
    const auto value = read_line_value(script_, key_at + kEjectKey.size());
    const auto when = parse_eject_value(value);
    if (!when) {
      entry->eject_error = eject_line_error(script_, key_at, value);
      return;
    }
    entry->eject = *when;
  }
}

}  // namespace modGeneral
