// SPDX-License-Identifier: MIT
// Reading what argv_dump recorded about the process it ran in.
#pragma once

#include <dirent.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kestrun::testing {

/// How many descriptors this process has open, to see that launches return them.
inline int open_descriptors() {
  int count = 0;
  if (DIR* folder = opendir("/proc/self/fd")) {
    while (readdir(folder)) ++count;
    closedir(folder);
  }
  return count;
}

struct LaunchRecord {
  std::vector<std::string> arguments;    // after the record file's own name
  std::vector<std::string> environment;  // "KESTRUN_...=value", in a fixed order
  std::string folder;
  std::vector<std::string> ignored;      // numbers of the signals it started ignoring
  std::vector<std::string> blocked;      // numbers of the signals it started blocking
  std::vector<std::string> descriptors;  // open descriptors from 3 up
};

/// Waits up to 10 s for argv_dump to rename its record into `path`.
inline std::optional<LaunchRecord> wait_for_record(const std::string& path) {
  for (int tries = 0; tries < 1000; ++tries) {
    std::ifstream file(path, std::ios::binary);
    if (file) {
      const std::string text{std::istreambuf_iterator<char>(file), {}};
      LaunchRecord record;
      std::istringstream records(text);
      for (std::string item; std::getline(records, item, '\0');) {
        if (item.starts_with("arg="))
          record.arguments.push_back(item.substr(4));
        else if (item.starts_with("cwd="))
          record.folder = item.substr(4);
        else if (item.starts_with("ignored="))
          record.ignored.push_back(item.substr(8));
        else if (item.starts_with("blocked="))
          record.blocked.push_back(item.substr(8));
        else if (item.starts_with("fd="))
          record.descriptors.push_back(item.substr(3));
        else
          record.environment.push_back(item);
      }
      return record;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace kestrun::testing
