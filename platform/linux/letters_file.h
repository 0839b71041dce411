// SPDX-License-Identifier: MIT
// The letters file that every Kestrun process of one user shares.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/letter_table.h"

namespace kestrun::platform {

/// $XDG_STATE_HOME/kestrun/letters, by default ~/.local/state/kestrun/letters;
/// "" when no home folder can be found.
std::string default_letters_path();

/// A letter table kept in a file. Each assignment locks the file, reads it
/// again when another process has changed it, gives out the letters and writes
/// the table back atomically, so every process agrees and two of them never
/// give one volume two letters. Nothing here stops the letters: a file that
/// cannot be read is set aside as `<path>.bad`, and one that cannot be written
/// leaves the letters to this process. Each such problem is told once.
class LettersFile {
 public:
  /// With an empty `path` the letters are remembered by this object alone.
  explicit LettersFile(std::string path);

  /// The letters of `volumes`, as assign_letters gives them.
  std::vector<std::optional<char>> assign(const std::vector<PresentVolume>& volumes);

  /// Warnings not yet taken, one line each.
  std::vector<std::string> take_warnings();

 private:
  struct Stamp {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
  };
  class Lock;

  std::optional<std::string> load();
  void set_aside(const std::string& reason);
  void save(const std::string& text, const Lock& lock);
  void warn(std::string text);
  static bool same(const Stamp& stamp, const struct stat& now);

  std::string path_;
  LetterTable table_;
  // What the file held when this process last read or wrote it.
  std::optional<Stamp> stamp_;
  std::string text_;
  // Set when a file that could not be read could not be set aside either:
  // writing would destroy it.
  bool keep_off_ = false;
  std::vector<std::string> warnings_;
  std::set<std::string> warned_;
};

}  // namespace kestrun::platform
