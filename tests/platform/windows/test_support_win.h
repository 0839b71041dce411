// SPDX-License-Identifier: MIT
// Scratch folders and the report child, shared by the Windows layer's tests.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::testing {

/// A new folder in the user's temporary folder, removed with its contents at
/// the end. Its name has a space, so commands that name it must quote it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// `name` inside the folder, as UTF-8 text for a command line.
  std::string file(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

/// ERROR_FILE_NOT_FOUND, for tests that also use the engine's drive type names:
/// <windows.h> defines macros of the same names.
inline constexpr unsigned long kErrorFileNotFound = 2;

/// Removes HKEY_CURRENT_USER's settings key for `section` of `app`.
void remove_registry_settings(std::string_view app, std::string_view section);

/// Copies test_child.exe into `folder`; gives its path, quoted, for a command line.
std::string stage_test_child(const ScratchFolder& folder);

/// What test_child.exe saw when it started.
struct ChildReport {
  std::string command_line;
  std::vector<std::string> args;  // after the report path
  std::string show;               // wShowWindow, or "none" without STARTF_USESHOWWINDOW
  std::map<std::string, std::string> variables;
};

/// The child's report at `path` (UTF-8), once it appears; nullopt after 20 s.
std::optional<ChildReport> wait_for_report(const std::string& path);

}  // namespace kestrun::testing
