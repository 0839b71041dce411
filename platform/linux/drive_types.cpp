// SPDX-License-Identifier: MIT
// Drive types from the block device's place and attributes in sysfs.
#include "platform/linux/drive_types.h"

#include <dirent.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <memory>
#include <optional>

#include "engine/drive_api.h"

namespace kestrun::platform {

namespace {

// Device-mapper and md devices stacked deeper than this are not followed.
constexpr int kMaxStackDepth = 8;

std::optional<std::string> read_link(const std::string& path) {
  char target[PATH_MAX];
  const auto length = readlink(path.c_str(), target, sizeof target);
  if (length <= 0) return std::nullopt;
  return std::string(target, static_cast<std::size_t>(length));
}

std::string_view base_name(std::string_view path) {
  return path.substr(path.find_last_of('/') + 1);
}

std::string_view parent_name(std::string_view path) {
  const auto slash = path.find_last_of('/');
  return base_name(path.substr(0, slash == std::string_view::npos ? 0 : slash));
}

std::string device_link(const std::string& sysfs, dev_t device) {
  return sysfs + "/dev/block/" + std::to_string(major(device)) + ":" +
         std::to_string(minor(device));
}

// The first entry of a block device's slaves/ folder, by name, so the answer
// does not depend on the order of the folder.
std::optional<std::string> first_slave(const std::string& disk) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir((disk + "/slaves").c_str()), closedir);
  if (!folder) return std::nullopt;
  std::optional<std::string> first;
  while (const dirent* entry = readdir(folder.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!first || name < *first) first = std::string(name);
  }
  return first;
}

bool removable_attribute(const std::string& disk) {
  std::ifstream attribute(disk + "/removable");
  char value = '0';
  return attribute.get(value) && value == '1';
}

// Types that the kernel's name alone settles, partitions included.
std::optional<modGeneral::DriveType> type_by_name(std::string_view name, std::string_view fs_type) {
  if (name.starts_with("sr")) return modGeneral::kDriveCdrom;
  if (name.starts_with("zram") || name.starts_with("ram")) return modGeneral::kDriveRamdisk;
  if (name.starts_with("loop")) {
    // A disc image mounted from a file.
    return fs_type == "iso9660" || fs_type == "udf" ? modGeneral::kDriveCdrom
                                                    : modGeneral::kDriveFixed;
  }
  // SD and MMC cards report removable 0.
  if (name.starts_with("mmcblk")) return modGeneral::kDriveRemovable;
  return std::nullopt;
}

// `link` is a sysfs link to a block device's folder, whose target names it.
modGeneral::DriveType classify(const std::string& link, std::string_view fs_type, int depth) {
  const auto target = read_link(link);
  if (!target) return modGeneral::kDriveFixed;
  auto name = base_name(*target);
  if (const auto type = type_by_name(name, fs_type)) return *type;
  std::string disk = link;
  if (access((link + "/partition").c_str(), F_OK) == 0) {
    name = parent_name(*target);
    disk = link + "/..";
  }
  if (name.starts_with("dm-") || name.starts_with("md")) {
    const auto slave = first_slave(disk);
    if (!slave || depth >= kMaxStackDepth) return modGeneral::kDriveFixed;
    return classify(disk + "/slaves/" + *slave, fs_type, depth + 1);
  }
  return removable_attribute(disk) ? modGeneral::kDriveRemovable : modGeneral::kDriveFixed;
}

}  // namespace

std::string block_device_name(const std::string& sysfs, dev_t device) {
  const auto target = read_link(device_link(sysfs, device));
  return target ? std::string(base_name(*target)) : std::string();
}

modGeneral::DriveType block_drive_type(const std::string& sysfs, dev_t device,
                                       std::string_view fs_type) {
  return classify(device_link(sysfs, device), fs_type, 0);
}

}  // namespace kestrun::platform
