// SPDX-License-Identifier: MIT
// A temporary folder that tests fill with fake system files; removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kestrun::testing {

class TempTree {
 public:
  TempTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-XXXXXX").string();
    root_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  /// The absolute path of `relative` inside the tree.
  std::string path(const std::string& relative = {}) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
  }

  /// Writes `text` to `relative`, creating the folders on the way.
  void write(const std::string& relative, const std::string& text) const {
    const std::filesystem::path file = path(relative);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  }

  /// Makes `relative` a symbolic link to `target`, creating the folders on the way.
  void link(const std::string& relative, const std::string& target) const {
    const std::filesystem::path file = path(relative);
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::create_symlink(target, file);
  }

  void folder(const std::string& relative) const {
    std::filesystem::create_directories(path(relative));
  }

 private:
  std::string root_;
};

}  // namespace kestrun::testing
