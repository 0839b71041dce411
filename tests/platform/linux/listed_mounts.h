// SPDX-License-Identifier: MIT
// Which drive a test's mount became, asked the way the engine asks: the roots
// listed, then where each is mounted.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/drive_api.h"
#include "engine/drive_records.h"
#include "engine/drives.h"

namespace kestrun::testing {

/// Every root `drives` lists now, with the folder it is mounted at.
inline std::vector<std::pair<std::string, std::string>> listed_mounts(
    modGeneral::DriveApi& drives) {
  std::vector<std::pair<std::string, std::string>> listed;
  const auto roots = modGeneral::get_drive_strings(drives);
  for (const auto record : modGeneral::RootRecords(roots)) {
    listed.emplace_back(record.root(), drives.locate(record.root()).mount_point);
  }
  return listed;
}

/// The root `drives` lists for the drive mounted at `folder`, or "".
inline std::string root_mounted_at(modGeneral::DriveApi& drives, const std::string& folder) {
  std::string found;
  for (const auto& [root, mount_point] : listed_mounts(drives)) {
    if (mount_point == folder) found = root;
  }
  return found;
}

}  // namespace kestrun::testing
