// SPDX-License-Identifier: MIT
// The drive API on Linux: mounted filesystems dressed as lettered drives.
#include "platform/linux/drives.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/text_bytes.h"
#include "platform/linux/drive_types.h"
#include "platform/linux/labels.h"

namespace kestrun::platform {

namespace {

bool read_from_start(int fd, std::string& text) {
  if (lseek(fd, 0, SEEK_SET) != 0) return false;
  text.clear();
  char chunk[8192];
  ssize_t got = 0;
  while ((got = read(fd, chunk, sizeof chunk)) > 0)
    text.append(chunk, static_cast<std::size_t>(got));
  return got == 0;
}

bool is_proc_file(int fd) {
  struct statfs filesystem {};
  return fstatfs(fd, &filesystem) == 0 && filesystem.f_type == PROC_SUPER_MAGIC;
}

bool is_root(std::string_view root) {
  return root.size() == 3 && root[1] == ':' && root[2] == '\\';
}

std::string device_node(const MountedDrive& drive) {
  if (drive.mount.source.starts_with("/dev/")) return drive.mount.source;
  return "/dev/block/" + std::to_string(major(*drive.device)) + ":" +
         std::to_string(minor(*drive.device));
}

}  // namespace

LinuxDriveApi::LinuxDriveApi(LinuxSources sources, DeviceResolver resolve)
    : sources_(std::move(sources)), resolve_(std::move(resolve)), letters_(sources_.letters_file) {}

LinuxDriveApi::~LinuxDriveApi() {
  if (mountinfo_fd_ >= 0) close(mountinfo_fd_);
}

std::size_t LinuxDriveApi::logical_drive_strings(std::size_t length, char* buffer) {
  auto list = std::exchange(measured_, std::nullopt);
  if (length == 0 || !list) {
    if (!refresh()) return 0;
    list = drive_strings();
  }
  const auto needed = list->size() + 1;
  if (length < needed || buffer == nullptr) {
    measured_ = std::move(list);
    return needed;
  }
  std::memcpy(buffer, list->data(), list->size());
  buffer[list->size()] = '\0';
  return list->size();
}

std::optional<std::string> LinuxDriveApi::volume_label(std::string_view root) {
  const auto* lettered = find(root);
  if (!lettered) return std::nullopt;
  const auto* drive = &lettered->drive;
  if (sources_.query_volumes && !user_can_enter(*drive)) return std::nullopt;
  std::optional<std::string> label;
  switch (drive->kind) {
    case DriveKind::network:
      label = share_label(drive->mount.source);
      break;
    case DriveKind::pool:
      label = drive->mount.source.substr(0, drive->mount.source.find('/'));
      break;
    case DriveKind::block:
      label = block_label(*drive);
      break;
  }
  if (!label) return std::nullopt;
  return clean_label(*label);
}

modGeneral::DriveType LinuxDriveApi::drive_type(std::string_view root) {
  const auto* lettered = find(root);
  if (!lettered) return modGeneral::kDriveNoRootDir;
  const auto* drive = &lettered->drive;
  switch (drive->kind) {
    case DriveKind::network:
      return modGeneral::kDriveRemote;
    case DriveKind::pool:
      return modGeneral::kDriveFixed;
    case DriveKind::block:
      break;
  }
  if (!drive->device) return modGeneral::kDriveFixed;
  return block_drive_type(sources_.sysfs, *drive->device, drive->mount.fs_type);
}

modGeneral::DriveLocation LinuxDriveApi::locate(std::string_view root) {
  const auto* lettered = find(root);
  if (!lettered) return {};
  const auto* drive = &lettered->drive;
  modGeneral::DriveLocation location{drive->mount.mount_point, {}, {}};
  if (drive->kind == DriveKind::block && drive->mount.source.starts_with("/dev/")) {
    location.device = drive->mount.source;
  }
  location.identity = lettered->identity;
  return location;
}

std::vector<std::string> LinuxDriveApi::take_warnings() { return letters_.take_warnings(); }

std::string LinuxDriveApi::volume_identity(const MountedDrive& drive) const {
  switch (drive.kind) {
    case DriveKind::network:
      return "share:" + drive.mount.source;
    case DriveKind::pool:
      return drive.filesystem;
    case DriveKind::block:
      break;
  }
  if (auto uuid = block_uuid(drive)) return "uuid:" + *uuid;
  return "label:" + drive.mount.fs_type + ":" + clean_label(block_label(drive).value_or(""));
}

bool LinuxDriveApi::refresh() {
  if (listed_ && mount_table_unchanged()) return true;
  if (!read_mount_table()) return false;
  auto found = find_drives(parse_mountinfo(mountinfo_text_), resolve_, sources_.user);
  listed_ = true;

  std::vector<PresentVolume> volumes;
  volumes.reserve(found.size());
  for (const auto& drive : found) {
    volumes.push_back(
        {volume_identity(drive), drive.mount.mount_point, drive.mount.mount_point == "/"});
  }
  const auto letters = letters_.assign(volumes);
  std::vector<LetteredDrive> lettered;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!letters[i]) continue;
    lettered.push_back({*letters[i], std::move(volumes[i].identity), std::move(found[i])});
  }
  std::sort(lettered.begin(), lettered.end(),
            [](const auto& a, const auto& b) { return a.letter < b.letter; });
  drives_ = std::move(lettered);
  return true;
}

// The kernel raises POLLPRI on its mount table after every mount, unmount or
// remount, so a table without it still reads as it did last time.
bool LinuxDriveApi::mount_table_unchanged() const {
  if (mountinfo_fd_ < 0) return false;
  pollfd watch{mountinfo_fd_, POLLPRI, 0};
  return poll(&watch, 1, 0) == 0;
}

bool LinuxDriveApi::read_mount_table() {
  if (mountinfo_fd_ >= 0) return read_from_start(mountinfo_fd_, mountinfo_text_);
  const int fd = open_mount_table(sources_.mountinfo);
  if (fd < 0) return false;
  const bool read = read_from_start(fd, mountinfo_text_);
  if (read && is_proc_file(fd)) {
    mountinfo_fd_ = fd;
  } else {
    close(fd);
  }
  return read;
}

std::string LinuxDriveApi::drive_strings() const {
  std::string list;
  list.reserve(drives_.size() * 4);
  for (const auto& drive : drives_) {
    list.push_back(drive.letter);
    list.append(":\\");
    list.push_back('\0');
  }
  return list;
}

const LetteredDrive* LinuxDriveApi::find(std::string_view root) {
  if (!is_root(root)) return nullptr;
  if (!listed_) refresh();
  for (const auto& drive : drives_) {
    if (drive.letter == modGeneral::ascii_upper(root[0])) return &drive;
  }
  return nullptr;
}

// First source that answers wins: the mounted filesystem, udev's record, the
// /dev/disk link, then the device itself. The mounted filesystem is only asked
// when no FUSE process stands in the way, since a hung one would hang the
// window; the device only where volumes may be queried.
template <typename Mounted, typename Udev, typename Probed>
std::optional<std::string> LinuxDriveApi::first_answer(const MountedDrive& drive, Mounted mounted,
                                                       Udev udev, const std::string& links,
                                                       Probed probed) const {
  if (sources_.query_volumes && !drive.fuse && !drive.behind_remote) {
    if (auto answer = mounted()) return answer;
  }
  if (!drive.device) return std::nullopt;
  if (auto answer = udev(sources_.udev_data, *drive.device)) return answer;
  if (auto answer = by_label_link(links, block_device_name(sources_.sysfs, *drive.device))) {
    return answer;
  }
  if (!sources_.query_volumes) return std::nullopt;
  return probed(device_node(drive), *drive.device);
}

std::optional<std::string> LinuxDriveApi::block_label(const MountedDrive& drive) const {
  return first_answer(
      drive, [&] { return mounted_label(drive.mount.mount_point, drive.mount.mount_id); },
      udev_label, sources_.by_label, probed_label);
}

// Every source gives the UUID as libblkid does.
std::optional<std::string> LinuxDriveApi::block_uuid(const MountedDrive& drive) const {
  return first_answer(
      drive,
      [&] {
        return mounted_uuid(drive.mount.mount_point, drive.mount.mount_id, drive.mount.fs_type);
      },
      udev_uuid, sources_.by_uuid,
      [](const std::string& node, dev_t device) -> std::optional<std::string> {
        auto probed = probe_volume(node, device);
        if (!probed || probed->uuid.empty()) return std::nullopt;
        return std::move(probed->uuid);
      });
}

}  // namespace kestrun::platform
