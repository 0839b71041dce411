#include "cli/explain.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/modGeneral.h"

namespace kestrun::cli {

namespace {

using modGeneral::DriveVerdict;
using modGeneral::EntryVerdict;

// The length of the UTF-8 character at the start of `text` (1 to 4), or 0 for
// a byte that does not start a valid one.
std::size_t utf8_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const auto lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

char32_t code_point(std::string_view character) {
  if (character.size() == 1) return static_cast<unsigned char>(character[0]);
  char32_t code = static_cast<unsigned char>(character[0]) & (0x7F >> character.size());
  for (std::size_t i = 1; i < character.size(); ++i) {
    code = (code << 6) | (static_cast<unsigned char>(character[i]) & 0x3F);
  }
  return code;
}

// Characters a terminal would act on or that change how a line reads: C0 and
// C1 controls, DEL, line and paragraph separators, and the bidirectional
// marks, embeddings, overrides and isolates.
bool must_escape(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Calls `visit` with each character of `text`, or with a one-byte view and
// false for a byte that is not valid UTF-8.
template <typename Visit>
void for_each_character(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const auto length = utf8_length(text);
    visit(text.substr(0, std::max<std::size_t>(length, 1)), length > 0);
    text.remove_prefix(std::max<std::size_t>(length, 1));
  }
}

bool needs_escapes(std::string_view word) {
  bool needed = false;
  for_each_character(word, [&](std::string_view character, bool valid) {
    needed = needed || !valid || must_escape(code_point(character));
  });
  return needed;
}

// Plain enough for a table cell: nothing escaped, no outer spaces, not empty.
bool plain(std::string_view text) {
  return !text.empty() && text.front() != ' ' && text.back() != ' ' && !needs_escapes(text);
}

std::string cell(std::string_view text) {
  return plain(text) ? std::string(text) : shell_quote(text);
}

std::size_t width(std::string_view text) {
  std::size_t characters = 0;
  for_each_character(text, [&](std::string_view, bool) { ++characters; });
  return characters;
}

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
  std::string text = miss.root + " is labelled " + shell_quote(miss.label);
  if (!miss.case_differs && !miss.spaces_differ) return text + " but is left out";
  text += miss.case_differs && miss.spaces_differ ? ": only the case and outer spaces differ"
          : miss.case_differs                     ? ": only the case differs"
                                                  : ": only outer spaces differ";
  return miss.left_out ? text + ", and it is left out" : text;
}

std::string runs_text(const EntryVerdict& entry) {
  std::string text = "runs on " + entry.roots.front() + "\n";
  if (entry.roots.size() > 1) {
    text += "  " + modGeneral::shared_label_note(shell_quote(entry.label), entry.roots) + "\n";
  }
  text += "  argv:";
  for (const auto& word : entry.words) text += " " + shell_quote(word);
  const auto& request = entry.request;
  text += "\n  env: KESTRUN_DRIVE=" + shell_quote(request.root) +
          " KESTRUN_LETTER=" + shell_quote(request.letter) +
          " KESTRUN_LABEL=" + shell_quote(request.label) +
          " KESTRUN_MOUNT=" + shell_quote(request.mount_point) +
          " KESTRUN_DEVICE=" + shell_quote(request.device) + "\n";
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
    case EntryVerdict::Fate::no_drive:
      break;
  }
  if (entry.label == modGeneral::kAnyLabel) {
    return text + "does not run: no labelled removable or fixed drive is present\n";
  }
  text += "does not run: no drive is labelled " + shell_quote(entry.label);
  for (std::size_t i = 0; i < entry.near_misses.size(); ++i) {
    text += (i == 0 ? " (" : "; ") + near_miss_text(entry.near_misses[i]);
  }
  return text + (entry.near_misses.empty() ? "\n" : ")\n");
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
    if (valid && !must_escape(code_point(character))) {
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
  std::string text = drives_text(explanation.drives);
  if (explanation.script_empty) return text + "No entries: the script is empty\n";
  if (explanation.entries.empty()) return text + "No entries: the script has no 'label:' line\n";
  for (const auto& entry : explanation.entries) text += entry_text(entry);
  return text;
}

}  // namespace kestrun::cli
