// SPDX-License-Identifier: MIT
// The mount table, and the mounts in it that a user would call drives.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::platform {

/// This process's mount table.
inline constexpr std::string_view kMountTablePath = "/proc/self/mountinfo";

/// Opens the mount table at `path` for reading and for its change event: the
/// kernel raises POLLPRI on it after every mount, unmount or remount, and
/// clears it when it is polled. It keeps that event per open file, so each
/// reader that follows changes opens the table itself; a shared descriptor
/// would let one take the other's news. -1 with errno on failure.
int open_mount_table(const std::string& path);

/// One line of a mountinfo table, its escapes decoded.
struct MountEntry {
  int mount_id = 0;
  int parent_id = 0;
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;  ///< the folder of the filesystem that appears at the mount point
  std::string mount_point;
  std::string fs_type;
  std::string source;
  std::string options;  ///< the filesystem's own options, as the kernel wrote them
};

/// Decodes the kernel's octal escapes (`\040` space, `\134` backslash, ...).
std::string decode_octal_escapes(std::string_view field);

/// Parses a whole mountinfo text. Lines that do not parse are skipped.
std::vector<MountEntry> parse_mountinfo(std::string_view text);

enum class DriveKind {
  block,    ///< a filesystem on a block device, RAM disks included
  network,  ///< a remote share; never opened, since a dead server would hang the caller
  pool,     ///< a ZFS pool: all its datasets are one drive
};

/// One filesystem that counts as a drive, seen through its preferred mount.
struct MountedDrive {
  DriveKind kind = DriveKind::block;
  std::string filesystem;  ///< the same for every mount of one filesystem
  MountEntry mount;
  std::optional<dev_t> device;  ///< the block device, when known
  bool fuse = false;            ///< served by a user-space process
  bool behind_remote = false;   ///< its mount point lies under a network or FUSE mount
};

/// The block device that a `/dev/...` mount source names, for filesystems whose
/// mount table entry carries an anonymous device number (btrfs, fuseblk).
using DeviceResolver = std::function<std::optional<dev_t>(const std::string& source)>;

/// stat(source).st_rdev, when `source` is a block device node.
std::optional<dev_t> stat_block_device(const std::string& source);

/// The uid of the process serving a FUSE mount, from its `user_id=` option.
std::optional<uid_t> fuse_owner(const MountEntry& mount);

/// The drives among `mounts`, one per filesystem, in the order in which each
/// filesystem first appears. The mount preferred for a filesystem is `/`, then
/// one that shows the filesystem's own root, then the first one. FUSE mounts
/// served by anyone but `user` or root are left out.
std::vector<MountedDrive> find_drives(const std::vector<MountEntry>& mounts,
                                      const DeviceResolver& resolve, uid_t user);

}  // namespace kestrun::platform
