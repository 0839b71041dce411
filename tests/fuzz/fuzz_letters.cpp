// SPDX-License-Identifier: MIT
// Any bytes as a letters file, and any volumes given letters from what it
// holds: a table that parses writes back to itself, and no two volumes ever
// share a letter.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/letter_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto table = kestrun::platform::parse_letter_table(text, &error);
  if (!table) return 0;
  if (kestrun::platform::parse_letter_table(kestrun::platform::format_letter_table(*table),
                                            &error) != table) {
    __builtin_trap();
  }
  // Volumes named after the input's own bytes, some of them remembered.
  std::vector<kestrun::platform::PresentVolume> volumes;
  for (std::size_t at = 0; at < size && volumes.size() < 30; at += 7) {
    volumes.push_back({"uuid:" + std::string(text.substr(at, 3)),
                       "/media/" + std::string(text.substr(at + 3 < size ? at + 3 : at, 2)),
                       at == 0});
  }
  for (const auto& entry : *table) volumes.push_back({entry.identity, entry.where, false});
  const auto letters = kestrun::platform::assign_letters(*table, volumes);
  std::set<char> given;
  for (const auto& letter : letters) {
    if (letter && !given.insert(*letter).second) __builtin_trap();
  }
  if (kestrun::platform::parse_letter_table(kestrun::platform::format_letter_table(*table),
                                            &error) != table) {
    __builtin_trap();
  }
  return 0;
}
