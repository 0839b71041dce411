// SPDX-License-Identifier: MIT
// Entries pinned to volumes: which identities a "volume:" line may hold, and
// which of the drives carrying an entry's label it may act on.
#include "engine/volume_pins.h"

#include <algorithm>
#include <string>

#include "engine/drives.h"
#include "engine/script.h"
#include "engine/text_bytes.h"

namespace modGeneral {

namespace {

constexpr std::string_view kUuidPrefix = "uuid:";
// Longer than any UUID or serial a filesystem gives; a pasted line gone wrong
// should not pass for one.
constexpr std::size_t kMostDigits = 64;

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool same_identity(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return ascii_upper(x) == ascii_upper(y); });
}

}  // namespace

bool is_pinnable_identity(std::string_view identity) {
  if (!identity.starts_with(kUuidPrefix)) return false;
  const auto digits = identity.substr(kUuidPrefix.size());
  if (digits.empty() || digits.size() > kMostDigits) return false;
  if (digits.front() == '-' || digits.back() == '-' ||
      digits.find("--") != std::string_view::npos) {
    return false;
  }
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return c == '-' || is_hex_digit(c); });
}

bool pins_trust(const std::vector<std::string>& pins, std::string_view identity) {
  return std::any_of(pins.begin(), pins.end(),
                     [&](const std::string& pin) { return same_identity(pin, identity); });
}

std::string volume_line_error(std::string_view script, std::size_t position,
                              std::string_view value) {
  const auto line = "'volume:' on line " + std::to_string(line_number(script, position));
  const auto how = "the identity that --list-drives shows for the drive, such as uuid:2F1C-9A7B";
  if (value.empty()) return line + " is blank: write " + how;
  return line + " holds no volume identity: write " + how;
}

std::string not_pinned_text(const StrangerVolume& stranger) {
  std::string text = stranger.identity.empty()
                         ? "is a volume of unknown identity"
                         : "is volume " + escape_for_terminal(stranger.identity);
  text += ", not the pinned ";
  for (std::size_t i = 0; i < stranger.pins.size(); ++i) {
    if (i > 0) text += " or ";
    text += stranger.pins[i];
  }
  return text;
}

std::string stranger_note(std::string_view quoted_label, const StrangerVolume& stranger) {
  return "not run: " + std::string(quoted_label) + " on " + stranger.root + " " +
         not_pinned_text(stranger);
}

LabelMatch match_entry(DriveApi& drives, std::string_view snapshot, std::string_view label,
                       const std::vector<std::string>& pins) {
  LabelMatch match;
  auto carrying = drives_labelled(snapshot, label);
  if (pins.empty()) {
    match.roots = std::move(carrying);
    return match;
  }
  for (auto& root : carrying) {
    auto identity = drives.locate(root).identity;
    if (pins_trust(pins, identity)) {
      match.roots.push_back(std::move(root));
    } else {
      match.strangers.push_back({std::string(label), std::move(root), std::move(identity), pins});
    }
  }
  return match;
}

}  // namespace modGeneral
