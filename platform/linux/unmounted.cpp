// SPDX-License-Identifier: MIT
// The labelled filesystems present but not mounted: udisks2 knows them when
// it runs; else udev's database, which any user can read, names them.
#include <sys/sysmacros.h>

#include <QDBusConnection>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/linux/labels.h"
#include "platform/linux/mounter.h"
#include "platform/linux/mountinfo.h"
#include "platform/linux/udisks.h"
#include "platform/storage_service.h"

namespace kestrun::platform {

namespace {

// Short: --explain waits on it, and a service that does not answer soon is
// as good as absent.
constexpr int kTimeoutMs = 3000;
constexpr std::string_view kUdevData = "/run/udev/data";

std::optional<std::vector<modGeneral::UnmountedVolume>> from_udisks() {
  auto bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return std::nullopt;
  const auto reply = bus.call(managed_objects_call(), QDBus::Block, kTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) return std::nullopt;
  std::vector<modGeneral::UnmountedVolume> volumes;
  for (const auto& filesystem : read_filesystems(reply)) {
    if (filesystem.ignored || !filesystem.mount_points.empty() || filesystem.label.empty()) {
      continue;
    }
    volumes.push_back({filesystem.device, filesystem.label, identity_of(filesystem)});
  }
  return volumes;
}

std::set<dev_t> mounted_devices() {
  std::ifstream file{std::string(kMountTablePath)};
  std::stringstream text;
  text << file.rdbuf();
  std::set<dev_t> devices;
  for (const auto& mount : parse_mountinfo(text.str())) {
    devices.insert(makedev(mount.major, mount.minor));
    // btrfs and fuseblk show an anonymous number; their source names the device.
    if (mount.source.starts_with("/dev/")) {
      if (auto device = stat_block_device(mount.source)) devices.insert(*device);
    }
  }
  return devices;
}

// "DEVNAME=sdb1" in the device's uevent.
std::string device_node(dev_t device) {
  std::ifstream uevent("/sys/dev/block/" + std::to_string(major(device)) + ":" +
                       std::to_string(minor(device)) + "/uevent");
  for (std::string line; std::getline(uevent, line);) {
    if (line.starts_with("DEVNAME=")) return "/dev/" + line.substr(8);
  }
  return {};
}

std::vector<modGeneral::UnmountedVolume> from_udev() {
  std::vector<modGeneral::UnmountedVolume> volumes;
  std::error_code error;
  const std::string data(kUdevData);
  const auto mounted = mounted_devices();
  for (const auto& record : std::filesystem::directory_iterator(data, error)) {
    unsigned major_number = 0;
    unsigned minor_number = 0;
    const auto name = record.path().filename().string();
    if (std::sscanf(name.c_str(), "b%u:%u", &major_number, &minor_number) != 2) continue;
    const dev_t device = makedev(major_number, minor_number);
    if (mounted.count(device) > 0) continue;
    const auto label = udev_label(data, device);
    if (!label || label->empty()) continue;
    const auto uuid = udev_uuid(data, device);
    volumes.push_back(
        {device_node(device), clean_label(*label), uuid ? "uuid:" + *uuid : std::string()});
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const auto& a, const auto& b) { return a.device < b.device; });
  return volumes;
}

}  // namespace

std::vector<modGeneral::UnmountedVolume> unmounted_volumes() {
  if (auto volumes = from_udisks()) return std::move(*volumes);
  return from_udev();
}

bool can_mount_volumes() { return true; }

std::unique_ptr<QObject> mount_named_volumes(std::function<std::string()> read_script,
                                             std::function<void(const std::string&)> log) {
  return std::make_unique<UdisksMounter>(std::move(read_script), std::move(log));
}

}  // namespace kestrun::platform
