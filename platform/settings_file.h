// SPDX-License-Identifier: MIT
// The settings file on disk: reading one version of it whole, telling
// versions apart without reading them, and keeping other users out of it.
// Paths are the platform's own bytes (UTF-8 on Windows).
#pragma once

#include <cstdint>
#include <string>

namespace kestrun::platform {

/// What tells one state of a file or folder from another without opening it.
/// A rewrite, a replacement, a chmod or a chown each changes it.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // since the epoch
  std::int64_t changed_ns = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint32_t mode = 0;

  bool operator==(const FileStamp&) const = default;
};

/// The settings file and the folder that holds it, as stat() sees them.
struct SettingsFileLook {
  FileStamp file;
  FileStamp folder;  // only who owns it and who may write it
  int error = 0;     // errno of a look that failed for a reason other than absence

  bool operator==(const SettingsFileLook&) const = default;
};

/// Two stat() calls and nothing else: cheap enough for every poll pass.
SettingsFileLook look_at_settings_file(const std::string& path);

struct SettingsFileContents {
  SettingsFileLook look;  // of the version that was read
  std::string bytes;
  /// The system's words when the file exists but cannot be read.
  std::string error;
};

/// The whole file as one version of it: a file replaced while it is read is
/// read again. Absence is no error.
SettingsFileContents read_settings_file(const std::string& path);

/// Why another user could change the settings in `look`, naming what they
/// could change: the file or its folder is theirs, or they may write it. ""
/// when only the user (or the administrator) can.
std::string why_others_could_change(const std::string& path, const SettingsFileLook& look);

/// Makes `folder` and the folders above it that are missing, each private to
/// the user. The system's words on failure, "" on success.
std::string make_private_folders(const std::string& folder);

/// Nanoseconds since the epoch on the clock that file times are taken from.
std::int64_t file_clock_now_ns();

}  // namespace kestrun::platform
