// SPDX-License-Identifier: MIT
// Drive letters, labels and types for a Linux machine, behind the engine's drive API.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drive_api.h"
#include "platform/linux/letters_file.h"
#include "platform/linux/mountinfo.h"

namespace kestrun::platform {

/// Where the layer looks. Tests point these at temporary trees.
struct LinuxSources {
  std::string mountinfo = std::string(kMountTablePath);
  std::string sysfs = "/sys";
  std::string udev_data = "/run/udev/data";
  std::string by_label = "/dev/disk/by-label";
  std::string by_uuid = "/dev/disk/by-uuid";
  /// The file that remembers the letters for every process of the user; with
  /// "" they are remembered by the drive API alone.
  std::string letters_file;
  /// The user whose own FUSE mounts count as drives, besides root's.
  uid_t user = getuid();
  /// Also ask the mounted filesystems and the device nodes for their labels,
  /// and leave out the drives whose mount points this user cannot enter.
  /// Tests on fake trees turn this off so the machine's own volumes stay out.
  bool query_volumes = true;
};

/// A drive and the letter it holds.
struct LetteredDrive {
  char letter = 'C';
  std::string identity;  ///< what the volume is known by, see volume_identity()
  MountedDrive drive;
};

/// Gives every mounted drive a letter: `/` is C:, and every other volume the
/// letter remembered for it in the letters file, or a new one by the rules of
/// assign_letters(), in the order the drives appear. Drives beyond Z: are left
/// out until a letter frees up. The letters are worked out again only when the
/// mount table changes.
class LinuxDriveApi : public modGeneral::DriveApi {
 public:
  explicit LinuxDriveApi(LinuxSources sources = {}, DeviceResolver resolve = stat_block_device);
  ~LinuxDriveApi() override;
  LinuxDriveApi(const LinuxDriveApi&) = delete;
  LinuxDriveApi& operator=(const LinuxDriveApi&) = delete;

  std::size_t logical_drive_strings(std::size_t length, char* buffer) override;
  std::optional<std::string> volume_label(std::string_view root) override;
  modGeneral::DriveType drive_type(std::string_view root) override;
  /// The preferred mount's folder, and the device node ("" for network drives
  /// and ZFS pools).
  modGeneral::DriveLocation locate(std::string_view root) override;
  /// Problems with the letters file, each told once.
  std::vector<std::string> take_warnings() override;

  /// What a volume is known by across mounts and reboots: "uuid:" and its
  /// filesystem UUID where one can be read, otherwise "label:", its filesystem
  /// type, ":" and its label; "share:" and the source for a network share;
  /// "zfs:" and the pool's name for ZFS.
  std::string volume_identity(const MountedDrive& drive) const;

 private:
  bool refresh();
  bool mount_table_unchanged() const;
  bool read_mount_table();
  std::string drive_strings() const;
  const LetteredDrive* find(std::string_view root);
  std::optional<std::string> block_label(const MountedDrive& drive) const;
  std::optional<std::string> block_uuid(const MountedDrive& drive) const;
  template <typename Mounted, typename Udev, typename Probed>
  std::optional<std::string> first_answer(const MountedDrive& drive, Mounted mounted, Udev udev,
                                          const std::string& links, Probed probed) const;

  LinuxSources sources_;
  DeviceResolver resolve_;
  LettersFile letters_;
  std::vector<LetteredDrive> drives_;
  bool listed_ = false;
  // The list a sizing call measured, kept for the call that fills the buffer
  // so both see the same drives.
  std::optional<std::string> measured_;
  std::string mountinfo_text_;
  // Kept open when it is the kernel's own table, which flags every change.
  int mountinfo_fd_ = -1;
};

}  // namespace kestrun::platform
