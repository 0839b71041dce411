// SPDX-License-Identifier: MIT
// Parsing /proc/self/mountinfo and choosing the drives among its mounts.
#include "platform/linux/mountinfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_map>

namespace kestrun::platform {

namespace {

bool is_octal(char c) { return c >= '0' && c <= '7'; }

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
  const auto* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

// Fields are separated by single spaces; a mount made with an empty source
// leaves an empty field, which must keep its place.
std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at <= line.size()) {
    auto space = line.find(' ', at);
    if (space == std::string_view::npos) space = line.size();
    fields.push_back(line.substr(at, space - at));
    at = space + 1;
  }
  return fields;
}

std::optional<MountEntry> parse_line(std::string_view line) {
  const auto fields = split_fields(line);
  // The optional fields end at a lone "-"; the mount point cannot be mistaken
  // for it, because the kernel escapes the spaces around any " - " in a path.
  const auto dash = std::find(fields.begin() + std::min<std::size_t>(6, fields.size()),
                              fields.end(), std::string_view("-"));
  if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3) return std::nullopt;

  MountEntry entry;
  const auto device = fields[2];
  const auto colon = device.find(':');
  if (!parse_number(fields[0], entry.mount_id) || !parse_number(fields[1], entry.parent_id) ||
      colon == std::string_view::npos || !parse_number(device.substr(0, colon), entry.major) ||
      !parse_number(device.substr(colon + 1), entry.minor)) {
    return std::nullopt;
  }
  entry.root = decode_octal_escapes(fields[3]);
  entry.mount_point = decode_octal_escapes(fields[4]);
  entry.fs_type = decode_octal_escapes(dash[1]);
  entry.source = decode_octal_escapes(dash[2]);
  if (fields.end() - dash > 3) entry.options = std::string(dash[3]);
  return entry;
}

bool starts_with_folder(std::string_view path, std::string_view folder) {
  return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool in_system_folder(std::string_view mount_point) {
  static constexpr std::array<std::string_view, 7> kSystemFolders = {
      "/proc", "/sys", "/dev", "/snap", "/var/lib/snapd", "/var/lib/docker", "/var/lib/containers"};
  for (const auto folder : kSystemFolders) {
    if (starts_with_folder(mount_point, folder)) return true;
  }
  // Desktops mount removable media under /run/media; the rest of /run is runtime state.
  return starts_with_folder(mount_point, "/run") && !starts_with_folder(mount_point, "/run/media");
}

bool never_a_drive(std::string_view fs_type) {
  // Images of installed software and live systems, and filesystems that only
  // stack on or stand for others.
  static constexpr std::array<std::string_view, 8> kTypes = {
      "squashfs", "erofs", "autofs", "overlay", "tmpfs", "ramfs", "devtmpfs", "cramfs"};
  return std::find(kTypes.begin(), kTypes.end(), fs_type) != kTypes.end();
}

bool is_fuse(std::string_view fs_type) {
  return fs_type == "fuse" || fs_type == "fuseblk" || fs_type.starts_with("fuse.");
}

// "host:/path", "user@host:path", "remote:" or "//host/share".
bool looks_like_remote_source(std::string_view source) {
  if (source.starts_with("//")) return true;
  const auto colon = source.find(':');
  return colon != std::string_view::npos && colon > 0 && source.find('/') > colon;
}

bool is_network(const MountEntry& mount) {
  static constexpr std::array<std::string_view, 13> kKernelTypes = {
      "nfs",  "nfs4",      "cifs",  "smb3",   "smbfs", "9p",   "virtiofs",
      "ceph", "glusterfs", "ncpfs", "lustre", "afs",   "davfs"};
  static constexpr std::array<std::string_view, 14> kFuseTypes = {
      "sshfs", "rclone",   "s3fs",  "gcsfuse", "curlftpfs", "davfs2",   "glusterfs",
      "ceph",  "smbnetfs", "afpfs", "juicefs", "goofys",    "blobfuse", "blobfuse2"};
  const std::string_view type = mount.fs_type;
  if (std::find(kKernelTypes.begin(), kKernelTypes.end(), type) != kKernelTypes.end()) {
    return true;
  }
  if (type != "fuse" && !type.starts_with("fuse.")) return false;
  const auto subtype = type.substr(std::min<std::size_t>(type.size(), 5));
  if (std::find(kFuseTypes.begin(), kFuseTypes.end(), subtype) != kFuseTypes.end()) return true;
  // Local helpers such as the document portal, gvfs and AppImages name no host.
  return looks_like_remote_source(mount.source);
}

// Block filesystems whose mount table entry carries an anonymous 0:N device.
bool has_anonymous_device(std::string_view fs_type) {
  return fs_type == "btrfs" || fs_type == "fuseblk" || fs_type == "bcachefs";
}

std::string device_key(const MountEntry& mount) {
  return std::to_string(mount.major) + ":" + std::to_string(mount.minor);
}

std::optional<MountedDrive> classify(const MountEntry& mount, const DeviceResolver& resolve,
                                     uid_t user) {
  if (in_system_folder(mount.mount_point) || never_a_drive(mount.fs_type)) return std::nullopt;

  MountedDrive drive;
  drive.mount = mount;
  drive.fuse = is_fuse(mount.fs_type);
  if (drive.fuse) {
    // Any local user can mount a FUSE filesystem and choose its source and
    // type; one served by another user is theirs, not a drive of this user.
    const auto owner = fuse_owner(mount);
    if (owner && *owner != 0 && *owner != user) return std::nullopt;
  }
  if (mount.fs_type == "zfs") {
    drive.kind = DriveKind::pool;
    drive.filesystem = "zfs:" + mount.source.substr(0, mount.source.find('/'));
    return drive;
  }
  drive.filesystem = device_key(mount);
  if (is_network(mount)) {
    drive.kind = DriveKind::network;
    return drive;
  }
  // Only root can mount fuseblk, whose source is the device it serves. The
  // source of any other FUSE mount is a name its owner chose, so it never
  // stands for a block device.
  if (drive.fuse && mount.fs_type != "fuseblk") return std::nullopt;
  if (mount.major != 0) {
    drive.device = makedev(mount.major, mount.minor);
    return drive;
  }
  if (!mount.source.starts_with("/dev/")) return std::nullopt;
  drive.device = resolve(mount.source);
  if (!drive.device && !has_anonymous_device(mount.fs_type)) return std::nullopt;
  return drive;
}

// Looking up a path that runs through a network or FUSE mount can block for as
// long as the server or helper process does not answer.
bool lies_behind_remote(const MountEntry& mount, const std::vector<MountEntry>& mounts,
                        const std::unordered_map<int, std::size_t>& by_id) {
  int parent = mount.parent_id;
  for (std::size_t hops = 0; hops < mounts.size(); ++hops) {
    const auto found = by_id.find(parent);
    if (found == by_id.end()) return false;
    const auto& above = mounts[found->second];
    if (is_fuse(above.fs_type) || is_network(above)) return true;
    if (above.mount_point == "/") return false;
    parent = above.parent_id;
  }
  return false;
}

// Lower ranks are preferred as the mount a filesystem is reached through.
int preference(const MountEntry& mount) {
  if (mount.mount_point == "/") return 0;
  if (mount.root == "/") return 1;
  return 2;
}

}  // namespace

std::string decode_octal_escapes(std::string_view field) {
  std::string decoded;
  decoded.reserve(field.size());
  for (std::size_t at = 0; at < field.size(); ++at) {
    // Three octal digits make one byte, so the first is at most 3.
    if (field[at] == '\\' && at + 3 < field.size() && field[at + 1] <= '3' &&
        is_octal(field[at + 1]) && is_octal(field[at + 2]) && is_octal(field[at + 3])) {
      const int value =
          (field[at + 1] - '0') * 64 + (field[at + 2] - '0') * 8 + (field[at + 3] - '0');
      decoded.push_back(static_cast<char>(value));
      at += 3;
    } else {
      decoded.push_back(field[at]);
    }
  }
  return decoded;
}

int open_mount_table(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }

std::vector<MountEntry> parse_mountinfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::size_t at = 0;
  while (at < text.size()) {
    auto end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    if (auto entry = parse_line(text.substr(at, end - at))) mounts.push_back(std::move(*entry));
    at = end + 1;
  }
  return mounts;
}

std::optional<uid_t> fuse_owner(const MountEntry& mount) {
  constexpr std::string_view kOwner = "user_id=";
  std::string_view options = mount.options;
  while (!options.empty()) {
    const auto comma = options.find(',');
    const auto option = options.substr(0, comma);
    uid_t owner = 0;
    if (option.starts_with(kOwner) && parse_number(option.substr(kOwner.size()), owner)) {
      return owner;
    }
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return std::nullopt;
}

std::optional<dev_t> stat_block_device(const std::string& source) {
  struct stat node {};
  if (stat(source.c_str(), &node) != 0 || !S_ISBLK(node.st_mode)) return std::nullopt;
  return node.st_rdev;
}

std::vector<MountedDrive> find_drives(const std::vector<MountEntry>& mounts,
                                      const DeviceResolver& resolve, uid_t user) {
  std::unordered_map<int, std::size_t> by_id;
  for (std::size_t i = 0; i < mounts.size(); ++i) by_id.emplace(mounts[i].mount_id, i);

  std::vector<MountedDrive> drives;
  std::unordered_map<std::string, std::size_t> by_filesystem;
  for (const auto& mount : mounts) {
    auto drive = classify(mount, resolve, user);
    if (!drive) continue;
    const auto [known, added] = by_filesystem.emplace(drive->filesystem, drives.size());
    if (added) {
      drives.push_back(std::move(*drive));
    } else if (preference(mount) < preference(drives[known->second].mount)) {
      drives[known->second] = std::move(*drive);
    }
  }
  for (auto& drive : drives) drive.behind_remote = lies_behind_remote(drive.mount, mounts, by_id);
  return drives;
}

}  // namespace kestrun::platform
