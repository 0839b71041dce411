// SPDX-License-Identifier: MIT
// The machine's drives through kernel32's wide drive and volume calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/drive_api.h"

namespace kestrun::platform {

/// Roots cross as ASCII ("E:\"); labels as UTF-8, so labels outside the ANSI
/// code page survive.
class WindowsDriveApi : public modGeneral::DriveApi {
 public:
  std::size_t logical_drive_strings(std::size_t length, char* buffer) override;
  /// The whole label, however long the file system allows it to be.
  std::optional<std::string> volume_label(std::string_view root) override;
  modGeneral::DriveType drive_type(std::string_view root) override;
  /// The root itself, and as identity the volume's serial number written as
  /// Linux writes the same filesystem's: "uuid:" and "XXXX-XXXX" in upper-case
  /// hex for FAT, exFAT and most others, and all 16 digits of an NTFS serial
  /// where the volume lets itself be asked for them.
  modGeneral::DriveLocation locate(std::string_view root) override;
};

}  // namespace kestrun::platform
