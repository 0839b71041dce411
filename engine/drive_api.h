// SPDX-License-Identifier: MIT
// The engine's only view of the machine's drives.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modGeneral {

/// Drive type codes, as the classic drive-type query reports them. Named
/// apart from the DRIVE_* macros of <windows.h> so both can meet in one file.
enum DriveType : unsigned {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdrom = 5,
  kDriveRamdisk = 6,
};

/// Where a drive root lives on the machine. On Windows the mount point is the
/// root itself and the device is empty.
struct DriveLocation {
  std::string mount_point;
  std::string device;
  /// What the platform knows the volume by when it gives out the letters
  /// itself; empty where the system has letters of its own.
  std::string identity;
};

/// The drive queries the engine needs: the first three shaped after the
/// kernel32 calls they stand for, so each platform layer can keep the same
/// contract, and two for what those calls cannot say (where a drive is
/// mounted, and problems met while listing).
class DriveApi {
 public:
  virtual ~DriveApi() = default;

  /// Lists the drive roots as 4-byte records ("E:\" and a NUL) followed by one
  /// more NUL. With `length` 0 (buffer may be null) returns the number of bytes
  /// needed, the final NUL included. Otherwise writes into `buffer` and returns
  /// the number of bytes written without the final NUL; when `length` is too
  /// small, writes nothing and returns the number of bytes needed. 0 on failure.
  virtual std::size_t logical_drive_strings(std::size_t length, char* buffer) = 0;

  /// Reads the volume label behind `root` (3 bytes, "E:\"). The label is UTF-8
  /// and may be empty. std::nullopt when the volume cannot be read: no medium,
  /// not ready, no such root.
  virtual std::optional<std::string> volume_label(std::string_view root) = 0;

  /// One of the DriveType codes for `root`.
  virtual DriveType drive_type(std::string_view root) = 0;

  /// Where `root` is mounted, for the environment of launched commands and for
  /// showing the user. The default suits platforms with real drive letters.
  virtual DriveLocation locate(std::string_view root) {
    return DriveLocation{std::string(root), std::string(), std::string()};
  }

  /// Problems met since the last call that the user should hear of although
  /// the drives are still listed, one line each; each is given once.
  virtual std::vector<std::string> take_warnings() { return {}; }
};

}  // namespace modGeneral
