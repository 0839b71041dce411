// SPDX-License-Identifier: MIT
// Volume labels and UUIDs from the mounted filesystem, udev's records and the device itself.
#include "platform/linux/labels.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/btrfs.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <utility>

#include "engine/text_bytes.h"
#include "platform/linux/fd_closer.h"

namespace kestrun::platform {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct ProbeFree {
  void operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }
};

// FS_IOC_GETFSUUID (Linux 6.5), which this system's headers may predate.
struct FsUuid {
  std::uint8_t length;
  std::uint8_t uuid[16];
};
constexpr unsigned long kGetFsUuid = _IOR(0x15, 0, FsUuid);

// The folder `mount_point`, provided it is still the root of mount `mount_id`:
// a mount that went away would otherwise answer for the filesystem underneath.
int open_mount_root(const std::string& mount_point, int mount_id) {
  const int fd = open(mount_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct statx identity {};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &identity) == 0 &&
      (identity.stx_mask & STATX_MNT_ID) != 0 &&
      identity.stx_mnt_id != static_cast<std::uint64_t>(mount_id)) {
    close(fd);
    return -1;
  }
  return fd;
}

// 16 bytes as libblkid prints them; none for all zeros, which some images carry.
std::optional<std::string> format_uuid(const std::uint8_t* bytes) {
  if (std::all_of(bytes, bytes + 16, [](std::uint8_t b) { return b == 0; })) return std::nullopt;
  std::string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back("0123456789abcdef"[bytes[i] >> 4]);
    text.push_back("0123456789abcdef"[bytes[i] & 15]);
  }
  return text;
}

// The value of `key` in udev's record of `device`; `found_filesystem` tells
// whether the record names a filesystem type.
std::optional<std::string> udev_value(const std::string& udev_data, dev_t device,
                                      std::string_view key, bool* found_filesystem) {
  std::ifstream record(udev_data + "/b" + std::to_string(major(device)) + ":" +
                       std::to_string(minor(device)));
  if (!record) return std::nullopt;
  constexpr std::string_view kType = "E:ID_FS_TYPE=";
  for (std::string line; std::getline(record, line);) {
    if (line.starts_with("E:") && line.compare(2, key.size(), key) == 0 &&
        line.size() > 2 + key.size() && line[2 + key.size()] == '=') {
      return decode_hex_escapes(std::string_view(line).substr(3 + key.size()));
    }
    if (line.starts_with(kType) && line.size() > kType.size()) *found_filesystem = true;
  }
  return std::nullopt;
}

}  // namespace

std::string decode_hex_escapes(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\\' && at + 3 < text.size() && text[at + 1] == 'x' &&
        hex_value(text[at + 2]) >= 0 && hex_value(text[at + 3]) >= 0) {
      decoded.push_back(static_cast<char>(hex_value(text[at + 2]) * 16 + hex_value(text[at + 3])));
      at += 3;
    } else {
      decoded.push_back(text[at]);
    }
  }
  return decoded;
}

std::string clean_label(std::string_view raw) {
  raw = raw.substr(0, raw.find('\0'));
  std::string clean;
  clean.reserve(raw.size());
  while (!raw.empty()) {
    const auto length = modGeneral::utf8_sequence_length(raw);
    if (length == 0) {
      clean.append("\xEF\xBF\xBD");
      raw.remove_prefix(1);
    } else {
      clean.append(raw.substr(0, length));
      raw.remove_prefix(length);
    }
  }
  return clean;
}

std::string share_label(std::string_view source) {
  while (source.size() > 1 && source.back() == '/') source.remove_suffix(1);
  const auto cut = source.find_last_of("/:");
  if (cut == std::string_view::npos) return std::string(source);
  if (cut + 1 < source.size()) return std::string(source.substr(cut + 1));
  // A whole server ("host:/" or "user@host:"): the host names it.
  auto host = source.substr(0, source.find(':'));
  host.remove_prefix(std::min(host.size(), host.find('@') + 1));
  return std::string(host);
}

bool user_can_enter(const MountedDrive& drive) {
  if (drive.behind_remote) return true;
  const std::string& folder = drive.mount.mount_point;
  if (drive.fuse || drive.kind == DriveKind::network) {
    const auto cut = folder.find_last_of('/');
    const std::string parent = cut == 0 || cut == std::string::npos ? "/" : folder.substr(0, cut);
    return faccessat(AT_FDCWD, parent.c_str(), X_OK, AT_EACCESS) == 0;
  }
  if (faccessat(AT_FDCWD, folder.c_str(), X_OK, AT_EACCESS) != 0) return false;
  // Unmounted, or mounted over: the folder leads elsewhere now.
  struct statx identity {};
  if (statx(AT_FDCWD, folder.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID, &identity) != 0) return false;
  return (identity.stx_mask & STATX_MNT_ID) == 0 ||
         identity.stx_mnt_id == static_cast<std::uint64_t>(drive.mount.mount_id);
}

std::optional<std::string> mounted_label(const std::string& mount_point, int mount_id) {
  const FdCloser folder{open_mount_root(mount_point, mount_id)};
  if (folder.fd < 0) return std::nullopt;
  char label[FSLABEL_MAX + 1] = {};
  if (ioctl(folder.fd, FS_IOC_GETFSLABEL, label) != 0) return std::nullopt;
  return std::string(label, strnlen(label, FSLABEL_MAX));
}

std::optional<std::string> udev_label(const std::string& udev_data, dev_t device) {
  bool has_filesystem = false;
  if (auto label = udev_value(udev_data, device, "ID_FS_LABEL_ENC", &has_filesystem)) return label;
  if (has_filesystem) return std::string();
  return std::nullopt;
}

std::optional<std::string> udev_uuid(const std::string& udev_data, dev_t device) {
  bool has_filesystem = false;
  auto uuid = udev_value(udev_data, device, "ID_FS_UUID_ENC", &has_filesystem);
  if (!uuid || uuid->empty()) return std::nullopt;
  return uuid;
}

std::optional<std::string> mounted_uuid(const std::string& mount_point, int mount_id,
                                        std::string_view fs_type) {
  const FdCloser folder{open_mount_root(mount_point, mount_id)};
  if (folder.fd < 0) return std::nullopt;
  // btrfs keeps its UUID to its own call; asking another filesystem that call
  // could mean something else to it.
  if (fs_type == "btrfs") {
    btrfs_ioctl_fs_info_args info{};
    if (ioctl(folder.fd, BTRFS_IOC_FS_INFO, &info) != 0) return std::nullopt;
    return format_uuid(info.fsid);
  }
  FsUuid uuid{};
  if (ioctl(folder.fd, kGetFsUuid, &uuid) != 0 || uuid.length != sizeof uuid.uuid) {
    return std::nullopt;
  }
  return format_uuid(uuid.uuid);
}

std::optional<std::string> by_label_link(const std::string& by_label,
                                         std::string_view kernel_name) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(by_label.c_str()), closedir);
  if (!folder || kernel_name.empty()) return std::nullopt;
  while (const dirent* entry = readdir(folder.get())) {
    char target[PATH_MAX];
    const auto length = readlinkat(dirfd(folder.get()), entry->d_name, target, sizeof target);
    if (length <= 0) continue;
    std::string_view path(target, static_cast<std::size_t>(length));
    if (path.substr(path.find_last_of('/') + 1) == kernel_name) {
      return decode_hex_escapes(entry->d_name);
    }
  }
  return std::nullopt;
}

std::optional<ProbedVolume> probe_volume(const std::string& node, dev_t device) {
  const FdCloser fd{open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (fd.fd < 0) return std::nullopt;
  struct stat opened {};
  if (fstat(fd.fd, &opened) != 0 || !S_ISBLK(opened.st_mode) || opened.st_rdev != device) {
    return std::nullopt;
  }
  std::unique_ptr<blkid_struct_probe, ProbeFree> probe(blkid_new_probe());
  if (!probe || blkid_probe_set_device(probe.get(), fd.fd, 0, 0) != 0) return std::nullopt;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(),
                                    BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
  if (blkid_do_safeprobe(probe.get()) != 0) return std::nullopt;
  const auto value = [&](const char* name) {
    const char* text = nullptr;
    std::size_t size = 0;
    if (blkid_probe_lookup_value(probe.get(), name, &text, &size) != 0) return std::string();
    return std::string(text, strnlen(text, size));
  };
  return ProbedVolume{value("LABEL"), value("UUID")};
}

std::optional<std::string> probed_label(const std::string& node, dev_t device) {
  auto volume = probe_volume(node, device);
  if (!volume) return std::nullopt;
  return std::move(volume->label);
}

}  // namespace kestrun::platform
