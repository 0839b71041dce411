// SPDX-License-Identifier: MIT
// The storage service on Linux. The labelled filesystems present but not
// mounted are named by udev's database, which any user can read, and where
// it names any and udisks2 runs, by udisks2, which also knows the ones it was
// told to keep out of sight. Ejecting and mounting go through udisks2.
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/text_bytes.h"
#include "platform/linux/labels.h"
#include "platform/linux/mountinfo.h"
#include "platform/linux/udisks_module.h"
#include "platform/storage_service.h"

namespace kestrun::platform {

namespace {

constexpr std::string_view kUdevData = "/run/udev/data";

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

// Without a system bus there is no udisks2 to ask, and loading D-Bus only to
// learn that would cost --list-drives most of its time.
bool system_bus_present() {
  if (std::getenv("DBUS_SYSTEM_BUS_ADDRESS") != nullptr) return true;
  std::error_code ignored;
  return std::filesystem::exists("/var/run/dbus/system_bus_socket", ignored);
}

// Until the first eject, whose answer it waits for anyway, the module need
// not be loaded.
class LoadingEjector : public modGeneral::Ejector {
 public:
  void eject(const modGeneral::LaunchRequest& request, Done done) override {
    if (!ejector_) {
      std::string why;
      const auto* module = udisks_module(&why);
      if (!module) {
        done({false, why});
        return;
      }
      ejector_ = module->make_ejector();
    }
    ejector_->eject(request, std::move(done));
  }

 private:
  std::unique_ptr<modGeneral::Ejector> ejector_;
};

// Stands in for the mounter when the module cannot be loaded: says so once.
class NoMounter : public QObject {
 public:
  explicit NoMounter(const std::function<void(const std::string&)>& log, const std::string& why) {
    log("  not mounting drives: " + modGeneral::escape_for_terminal(why));
  }
};

}  // namespace

std::unique_ptr<modGeneral::Ejector> make_ejector() { return std::make_unique<LoadingEjector>(); }

std::vector<modGeneral::UnmountedVolume> unmounted_volumes() {
  auto volumes = from_udev();
  // udisks2 learns of filesystems from udev: where udev's database has none,
  // udisks2 has none either, and need not be asked.
  if (volumes.empty() || !system_bus_present()) return volumes;
  if (const auto* module = udisks_module(nullptr)) {
    if (auto known = module->unmounted_volumes()) return std::move(*known);
  }
  return volumes;
}

bool can_mount_volumes() { return true; }

std::unique_ptr<QObject> mount_named_volumes(std::function<std::string()> read_script,
                                             std::function<void(const std::string&)> log) {
  std::string why;
  const auto* module = udisks_module(&why);
  if (!module) return std::make_unique<NoMounter>(log, why);
  return module->mount_named_volumes(std::move(read_script), std::move(log));
}

}  // namespace kestrun::platform
