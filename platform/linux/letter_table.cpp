// SPDX-License-Identifier: MIT
// Giving out remembered letters, and the letters file's text.
#include "platform/linux/letter_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <tuple>

namespace kestrun::platform {

namespace {

constexpr std::string_view kHeader = "kestrun-letters 1";
constexpr std::string_view kMounted = "mounted";

std::size_t index_of(char letter) { return static_cast<std::size_t>(letter - 'A'); }

// Lines are split at spaces and line breaks, so those and every other byte
// outside printable ASCII, and the backslash itself, are written as \xNN.
std::string escape(std::string_view field) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(field.size());
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7f && c != '\\') {
      escaped.push_back(c);
    } else {
      escaped.append({'\\', 'x', kHex[byte >> 4], kHex[byte & 15]});
    }
  }
  return escaped;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> unescape(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t at = 0; at < field.size(); ++at) {
    const auto byte = static_cast<unsigned char>(field[at]);
    if (byte <= 0x20 || byte >= 0x7f) return std::nullopt;
    if (field[at] != '\\') {
      text.push_back(field[at]);
      continue;
    }
    if (field.size() - at < 4 || field[at + 1] != 'x') return std::nullopt;
    const int high = hex_digit(field[at + 2]);
    const int low = hex_digit(field[at + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    text.push_back(static_cast<char>(high * 16 + low));
    at += 3;
  }
  return text;
}

std::optional<RememberedVolume> parse_line(std::string_view line) {
  std::array<std::string_view, 4> fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto space = line.find(' ');
    if ((space == std::string_view::npos) != (i + 1 == fields.size())) return std::nullopt;
    fields[i] = line.substr(0, space);
    line.remove_prefix(space == std::string_view::npos ? line.size() : space + 1);
  }
  RememberedVolume volume;
  if (fields[0].size() != 1 || fields[0][0] < 'D' || fields[0][0] > 'Z') return std::nullopt;
  volume.letter = fields[0][0];
  if (fields[1] != kMounted) {
    std::uint64_t seen = 0;
    const auto* end = fields[1].data() + fields[1].size();
    const auto [stop, error] = std::from_chars(fields[1].data(), end, seen);
    if (fields[1].empty() || error != std::errc() || stop != end) return std::nullopt;
    volume.last_seen = seen;
  }
  auto identity = unescape(fields[2]);
  auto where = unescape(fields[3]);
  if (!identity || identity->empty() || !where) return std::nullopt;
  volume.identity = std::move(*identity);
  volume.where = std::move(*where);
  return volume;
}

// The lowest letter from D: that is neither taken nor remembered.
std::optional<char> unremembered_letter(const std::array<bool, 26>& taken,
                                        const std::array<bool, 26>& remembered) {
  for (char letter = 'D'; letter <= 'Z'; ++letter) {
    if (!taken[index_of(letter)] && !remembered[index_of(letter)]) return letter;
  }
  return std::nullopt;
}

// The absent volume seen longest ago; ties go to the lower letter.
std::optional<std::size_t> seen_longest_ago(const LetterTable& table,
                                            const std::vector<bool>& present) {
  std::optional<std::size_t> oldest;
  for (std::size_t e = 0; e < table.size(); ++e) {
    if (present[e]) continue;
    if (!oldest || std::tie(*table[e].last_seen, table[e].letter) <
                       std::tie(*table[*oldest].last_seen, table[*oldest].letter)) {
      oldest = e;
    }
  }
  return oldest;
}

// One look at the mounted volumes: the letters given so far, and which
// letters and which entries of the table they took.
class Assignment {
 public:
  Assignment(LetterTable& table, const std::vector<PresentVolume>& volumes)
      : table_(table), volumes_(volumes), letters_(volumes.size()), present_(table.size(), false) {}

  void give_root_c() {
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
      if (volumes_[i].root && !taken_[index_of('C')]) {
        letters_[i] = 'C';
        taken_[index_of('C')] = true;
      }
    }
  }

  // Volumes that share an identity (cloned sticks) are told apart by where
  // they were mounted, so each keeps its own letter while both are there.
  void give_remembered_letters() {
    for (const bool same_place : {true, false}) {
      for (std::size_t i = 0; i < volumes_.size(); ++i) {
        if (letters_[i]) continue;
        if (const auto entry = remembered_entry(volumes_[i], same_place)) give(i, *entry);
      }
    }
  }

  // Volumes mounted at the last look and gone now were seen last at `now`.
  void date_the_departed(std::uint64_t now) {
    for (std::size_t e = 0; e < table_.size(); ++e) {
      if (!present_[e] && !table_[e].last_seen) table_[e].last_seen = now;
    }
  }

  void give_new_letters() {
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
      if (letters_[i]) continue;
      if (const auto entry = free_entry(volumes_[i])) give(i, *entry);
    }
  }

  std::vector<std::optional<char>> letters() && { return std::move(letters_); }

 private:
  std::optional<std::size_t> remembered_entry(const PresentVolume& volume, bool same_place) const {
    for (std::size_t e = 0; e < table_.size(); ++e) {
      if (!present_[e] && !taken_[index_of(table_[e].letter)] &&
          table_[e].identity == volume.identity &&
          (!same_place || table_[e].where == volume.where)) {
        return e;
      }
    }
    return std::nullopt;
  }

  // A new entry for `volume`, or the entry of the volume seen longest ago when
  // every free letter is remembered; none when D: to Z: are all in use.
  std::optional<std::size_t> free_entry(const PresentVolume& volume) {
    std::array<bool, 26> remembered{};
    for (std::size_t e = 0; e < table_.size(); ++e) {
      if (!present_[e]) remembered[index_of(table_[e].letter)] = true;
    }
    if (const auto letter = unremembered_letter(taken_, remembered)) {
      table_.push_back({*letter, std::nullopt, volume.identity, volume.where});
      present_.push_back(false);
      return table_.size() - 1;
    }
    const auto oldest = seen_longest_ago(table_, present_);
    if (oldest) table_[*oldest].identity = volume.identity;
    return oldest;
  }

  void give(std::size_t volume, std::size_t entry) {
    letters_[volume] = table_[entry].letter;
    taken_[index_of(table_[entry].letter)] = true;
    present_[entry] = true;
    table_[entry].last_seen.reset();
    table_[entry].where = volumes_[volume].where;
  }

  LetterTable& table_;
  const std::vector<PresentVolume>& volumes_;
  std::vector<std::optional<char>> letters_;
  std::array<bool, 26> taken_{};
  std::vector<bool> present_;
};

}  // namespace

std::vector<std::optional<char>> assign_letters(LetterTable& table,
                                                const std::vector<PresentVolume>& volumes) {
  std::uint64_t latest = 0;
  for (const auto& entry : table) latest = std::max(latest, entry.last_seen.value_or(0));

  Assignment assignment(table, volumes);
  assignment.give_root_c();
  assignment.give_remembered_letters();
  assignment.date_the_departed(latest + 1);
  assignment.give_new_letters();

  std::sort(table.begin(), table.end(),
            [](const auto& a, const auto& b) { return a.letter < b.letter; });
  return std::move(assignment).letters();
}

std::string format_letter_table(const LetterTable& table) {
  std::string text(kHeader);
  text.push_back('\n');
  for (const auto& volume : table) {
    text.push_back(volume.letter);
    text.push_back(' ');
    text.append(volume.last_seen ? std::to_string(*volume.last_seen) : std::string(kMounted));
    text.append(" ").append(escape(volume.identity));
    text.append(" ").append(escape(volume.where));
    text.push_back('\n');
  }
  return text;
}

std::optional<LetterTable> parse_letter_table(std::string_view text, std::string* error) {
  if (!text.starts_with(kHeader) || text.substr(kHeader.size(), 1) != "\n") {
    *error = "it does not start with '" + std::string(kHeader) + "'";
    return std::nullopt;
  }
  if (text.back() != '\n') {
    *error = "its last line is cut off";
    return std::nullopt;
  }
  text.remove_prefix(kHeader.size() + 1);
  LetterTable table;
  std::array<bool, 26> seen{};
  for (int number = 2; !text.empty(); ++number) {
    const auto end = text.find('\n');
    auto volume = parse_line(text.substr(0, end));
    text.remove_prefix(end + 1);
    if (!volume || seen[index_of(volume->letter)]) {
      *error = "line " + std::to_string(number) + " is not a volume and its letter";
      return std::nullopt;
    }
    seen[index_of(volume->letter)] = true;
    table.push_back(std::move(*volume));
  }
  std::sort(table.begin(), table.end(),
            [](const auto& a, const auto& b) { return a.letter < b.letter; });
  return table;
}

}  // namespace kestrun::platform
