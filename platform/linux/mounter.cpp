// SPDX-License-Identifier: MIT
// Mounting through udisks2, as the user, the filesystems that entries name.
// The mount itself is the kernel's word to the volume watch, which starts the
// pass that runs the entry.
#include "platform/linux/mounter.h"

#include <QDBusConnection>

#include "engine/mount_targets.h"
#include "engine/text_bytes.h"

namespace kestrun::platform {

namespace {

constexpr int kTimeoutMs = 25 * 1000;

std::string quoted(const std::string& text) {
  return "'" + modGeneral::escape_for_terminal(text) + "'";
}

}  // namespace

UdisksMounter::UdisksMounter(std::function<std::string()> read_script,
                             std::function<void(const std::string&)> log)
    : read_script_(std::move(read_script)), log_(std::move(log)) {
  auto bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    say_service_failure("the system bus cannot be reached: " +
                        bus.lastError().message().toStdString());
    return;
  }
  rescan_.setSingleShot(true);
  rescan_.setInterval(0);
  connect(&rescan_, &QTimer::timeout, this, &UdisksMounter::scan);
  // A D-Bus signal reaches only a slot: QTimer's start() serves, and spares
  // this class a meta-object of its own.
  for (const auto& signal :
       {QStringLiteral("InterfacesAdded"), QStringLiteral("InterfacesRemoved")}) {
    bus.connect(kUdisksService, kUdisksPath, kObjectManager, signal, &rescan_, SLOT(start()));
  }
  scan();
}

void UdisksMounter::scan() {
  call_async(this, managed_objects_call(), kTimeoutMs,
             [this](const QDBusMessage& reply) { act_on(reply); });
}

void UdisksMounter::act_on(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ReplyMessage) {
    say_service_failure("udisks2 cannot be asked: " + reason_of(reply));
    return;
  }
  service_failure_said_ = false;
  const auto targets = modGeneral::mount_targets(read_script_());
  const auto filesystems = read_filesystems(reply);
  QSet<QString> present;
  for (const auto& filesystem : filesystems) present.insert(filesystem.object.path());
  tried_.intersect(present);  // a stick pulled and put back is new
  for (const auto& filesystem : filesystems) {
    if (filesystem.ignored || !filesystem.mount_points.empty() || filesystem.label.empty() ||
        tried_.contains(filesystem.object.path()) ||
        !modGeneral::names_volume(targets, filesystem.label, identity_of(filesystem))) {
      continue;
    }
    tried_.insert(filesystem.object.path());
    mount(filesystem);
  }
}

void UdisksMounter::mount(const UdisksFilesystem& filesystem) {
  auto message =
      udisks_call(filesystem.object.path(), kFilesystemInterface, QStringLiteral("Mount"));
  message << no_interaction();
  const auto what =
      quoted(filesystem.label) + " on " + modGeneral::escape_for_terminal(filesystem.device);
  call_async(this, message, kTimeoutMs, [this, what](const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
      log_("  not mounted: " + what + ": " + modGeneral::escape_for_terminal(reason_of(reply)));
      return;
    }
    const auto at = reply.arguments().value(0).toString().toStdString();
    log_("Mounted " + what + " at " + modGeneral::escape_for_terminal(at));
  });
}

void UdisksMounter::say_service_failure(const std::string& reason) {
  if (service_failure_said_) return;
  service_failure_said_ = true;
  log_("  not mounting drives: " + modGeneral::escape_for_terminal(reason));
}

}  // namespace kestrun::platform
