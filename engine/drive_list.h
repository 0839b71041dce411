// SPDX-License-Identifier: MIT
// The editor's list of labelled drives.
#pragma once

#include <string>

namespace modGeneral {

class DriveList {
 public:
  virtual ~DriveList() = default;

  virtual void clear() = 0;
  /// Appends a row at the end; rows are never sorted. `root` is the row's
  /// drive root, for tooltips.
  virtual void add_row(const std::string& row, const std::string& root) = 0;
};

}  // namespace modGeneral
