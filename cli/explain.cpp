// SPDX-License-Identifier: MIT
#include "cli/explain.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/drives.h"
#include "engine/text_bytes.h"
#include "engine/volume_pins.h"

namespace kestrun::cli {

namespace {

using modGeneral::DriveVerdict;
using modGeneral::EntryVerdict;

// Calls `visit` with each character of `text`, or with a one-byte view and
// false for a byte that is not valid UTF-8.
template <typename Visit>
void for_each_character(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const auto length = modGeneral::utf8_sequence_length(text);
    visit(text.substr(0, std::max<std::size_t>(length, 1)), length > 0);
    text.remove_prefix(std::max<std::size_t>(length, 1));
  }
}

bool needs_escapes(std::string_view word) {
  bool needed = false;
  for_each_character(word, [&](std::string_view character, bool valid) {
    needed =
        needed || !valid || modGeneral::is_hidden_control(modGeneral::utf8_code_point(character));
  });
  return needed;
}

// Plain enough for a table cell: nothing escaped, no outer spaces, not empty,
// and no quote that would read as the start of a quoted cell.
bool plain(std::string_view text) {
  return !text.empty() && text.front() != ' ' && text.back() != ' ' &&
         text.find_first_of("'\"") == std::string_view::npos && !needs_escapes(text);
}

std::string cell(std::string_view text) {
  return plain(text) ? std::string(text) : shell_quote(text);
}

// Cells are quoted when they hold anything but valid, printable UTF-8.
std::size_t width(std::string_view text) { return modGeneral::character_count(text); }

std::string padded(std::string text, std::size_t to) {
  text.append(to > width(text) ? to - width(text) : 0, ' ');
  return text;
}

std::string left_out_line(const DriveVerdict& drive) {
  switch (drive.fate) {
    case DriveVerdict::Fate::matched:
      return {};
    case DriveVerdict::Fate::ignored:
      return "left out by the ignore line: " + shell_quote(drive.ignore_item);
    case DriveVerdict::Fate::unreadable:
      return "left out: its label cannot be read";
    case DriveVerdict::Fate::wrong_type:
      break;
  }
  switch (drive.type) {
    case modGeneral::kDriveRemote:
      return "left out: network drives are never matched";
    case modGeneral::kDriveCdrom:
      return "left out: optical drives are never matched";
    case modGeneral::kDriveRamdisk:
      return "left out: RAM disks are never matched";
    default:
      return "left out: drives of unknown type are never matched";
  }
}

// Columns as wide as their widest cell, and never narrower than a FAT label
// or a short mount path, so that tables of a few drives line up alike.
std::string drives_text(const std::vector<DriveVerdict>& drives) {
  constexpr std::size_t kGap = 2;
  struct Row {
    std::string root, type, label, mount, device, note;
  };
  std::vector<Row> rows;
  std::size_t type_width = 9, label_width = 11, mount_width = 20;
  for (const auto& drive : drives) {
    Row row{drive.root,
            std::string(modGeneral::drive_type_name(drive.type)),
            drive.label ? cell(*drive.label) : "(unreadable)",
            cell(drive.location.mount_point),
            cell(drive.location.device),
            left_out_line(drive)};
    if (drive.location.device.empty()) row.device.clear();
    type_width = std::max(type_width, width(row.type));
    label_width = std::max(label_width, width(row.label));
    mount_width = std::max(mount_width, width(row.mount));
    rows.push_back(std::move(row));
  }
  std::string text = "Drives\n";
  if (rows.empty()) text += "  (none)\n";
  for (const auto& row : rows) {
    std::string line = "  " + padded(row.root, row.root.size() + kGap) +
                       padded(row.type, type_width + kGap) + padded(row.label, label_width + kGap) +
                       padded(row.mount, mount_width + kGap) + row.device;
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
    if (!row.note.empty()) text += "    " + row.note + "\n";
  }
  return text;
}

std::string near_miss_text(const modGeneral::NearMiss& miss) {
  const std::string left_out = miss.ignored ? "left out by the ignore line" : "left out";
  if (miss.label == modGeneral::kNoLabel) return miss.root + " has no label but is " + left_out;
  std::string text = miss.root + " is labelled " + shell_quote(miss.label);
  if (!miss.case_differs && !miss.spaces_differ) return text + " but is " + left_out;
  text += miss.case_differs && miss.spaces_differ ? ": only the case and outer spaces differ"
          : miss.case_differs                     ? ": only the case differs"
                                                  : ": only outer spaces differ";
  return miss.left_out ? text + ", and it is " + left_out : text;
}

// The lines a poll pass writes for the drives a pinned entry does not trust.
std::string strangers_text(const EntryVerdict& entry) {
  std::string text;
  for (const auto& stranger : entry.strangers) {
    text += "  " + modGeneral::stranger_note(shell_quote(entry.label), stranger) + "\n";
  }
  return text;
}

std::string runs_text(const EntryVerdict& entry) {
  std::string text = "runs on " + entry.roots.front() + "\n";
  if (!entry.start_problem.empty()) {
    // A command of nothing but quotes ("") has no program at all.
    const std::string program = entry.words.empty() ? std::string() : entry.words.front();
    text = "fails to start on " + entry.roots.front() + ": " + shell_quote(program) + ": " +
           entry.start_problem + "\n";
  }
  if (entry.roots.size() > 1) {
    text += "  " + modGeneral::shared_label_note(shell_quote(entry.label), entry.roots) + "\n";
  }
  text += strangers_text(entry);
  text += "  argv:";
  for (const auto& word : entry.words) text += " " + shell_quote(word);
  text += "\n  env:";
  for (const auto& variable : modGeneral::kDriveVariables) {
    text += " " + std::string(variable.name) + "=" + shell_quote(entry.request.*variable.field);
  }
  text += "\n";
  return text;
}

std::string entry_text(const EntryVerdict& entry) {
  std::string text =
      "Entry " + std::to_string(entry.number) + " " + shell_quote(entry.label) + ": ";
  switch (entry.fate) {
    case EntryVerdict::Fate::runs:
      return text + runs_text(entry);
    case EntryVerdict::Fate::stops:
      return text + "stops the walk: " + std::string(entry.check_error) + "\n";
    case EntryVerdict::Fate::not_reached:
      return text + "not reached\n";
    case EntryVerdict::Fate::only_strangers:
      return text + "does not run: no drive labelled " + shell_quote(entry.label) +
             " is a pinned volume\n" + strangers_text(entry);
    case EntryVerdict::Fate::no_drive:
      break;
  }
  if (entry.label == modGeneral::kAnyLabel) {
    if (entry.near_misses.empty()) {
      return text + "does not run: no labelled removable or fixed drive is present\n";
    }
    text += "does not run: the ignore line leaves out every labelled removable or fixed drive";
    for (std::size_t i = 0; i < entry.near_misses.size(); ++i) {
      text += (i == 0 ? " (" : ", ") + entry.near_misses[i].root;
    }
    return text + ")\n";
  }
  if (!entry.unmounted_device.empty()) {
    return text + "does not run: " + shell_quote(entry.label) + " is on " +
           modGeneral::escape_for_terminal(entry.unmounted_device) +
           ", which is not mounted (start Kestrun with --mount, or mount it)\n";
  }
  std::vector<std::string> hints;
  if (!entry.special_label.empty()) {
    hints.push_back("an ordinary label: only the case differs from the special label " +
                    shell_quote(entry.special_label));
  }
  for (const auto& miss : entry.near_misses) hints.push_back(near_miss_text(miss));
  text += "does not run: no drive is labelled " + shell_quote(entry.label);
  for (std::size_t i = 0; i < hints.size(); ++i) text += (i == 0 ? " (" : "; ") + hints[i];
  return text + (hints.empty() ? "\n" : ")\n");
}

// An item such as "d:" or " e:\" ignores nothing, which nothing else shows.
std::string idle_ignore_text(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) {
    text += "  ignore line: " + shell_quote(item) +
            " ignores nothing: it is not a drive root such as 'E:\\'\n";
  }
  return text;
}

}  // namespace

std::string shell_quote(std::string_view word) {
  if (!needs_escapes(word)) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  std::string quoted = "$'";
  for_each_character(word, [&](std::string_view character, bool valid) {
    if (valid && !modGeneral::is_hidden_control(modGeneral::utf8_code_point(character))) {
      if (character == "'" || character == "\\") quoted += '\\';
      quoted += character;
      return;
    }
    for (const char byte : character) {
      switch (byte) {
        case '\n':
          quoted += "\\n";
          break;
        case '\t':
          quoted += "\\t";
          break;
        case '\r':
          quoted += "\\r";
          break;
        default: {
          // Three octal digits always: a digit that follows cannot join in.
          char code[8];
          std::snprintf(code, sizeof code, "\\%03o", static_cast<unsigned char>(byte));
          quoted += code;
        }
      }
    }
  });
  return quoted + "'";
}

std::string explanation_text(const modGeneral::Explanation& explanation) {
  std::string text =
      drives_text(explanation.drives) + idle_ignore_text(explanation.idle_ignore_items);
  if (explanation.script_empty) return text + "No entries: the script is empty\n";
  if (explanation.entries.empty()) return text + "No entries: the script has no 'label:' line\n";
  for (const auto& entry : explanation.entries) text += entry_text(entry);
  return text;
}

}  // namespace kestrun::cli
