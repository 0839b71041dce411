// SPDX-License-Identifier: MIT
// The udisks2 module's entry: ejecting, mounting and the filesystems present
// but not mounted, all through udisks2 on the system bus.
#include "platform/linux/udisks_module.h"

#include <QDBusConnection>

#include "platform/linux/mounter.h"
#include "platform/linux/udisks.h"

namespace kestrun::platform {

namespace {

// Short: --explain waits on it, and a service that does not answer soon is
// as good as absent.
constexpr int kTimeoutMs = 3000;

std::optional<std::vector<modGeneral::UnmountedVolume>> unmounted_volumes() {
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

std::unique_ptr<QObject> mount_named_volumes(std::function<std::string()> read_script,
                                             std::function<void(const std::string&)> log) {
  return std::make_unique<UdisksMounter>(std::move(read_script), std::move(log));
}

}  // namespace

}  // namespace kestrun::platform

extern "C" __attribute__((visibility("default"))) const kestrun::platform::UdisksModule*
kestrun_udisks_module() {
  static const kestrun::platform::UdisksModule module{kestrun::platform::make_udisks_ejector,
                                                      kestrun::platform::unmounted_volumes,
                                                      kestrun::platform::mount_named_volumes};
  return &module;
}
