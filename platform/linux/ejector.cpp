// SPDX-License-Identifier: MIT
// Ejecting through udisks2: the filesystem still mounted where the command
// ran is unmounted, never forced, then its drive is powered off.
#include <algorithm>

#include "platform/linux/udisks.h"

namespace kestrun::platform {

namespace {

// Unmounting writes out what the cache holds, which on a slow stick after a
// large backup takes minutes.
constexpr int kUnmountTimeoutMs = 10 * 60 * 1000;
constexpr int kQueryTimeoutMs = 25 * 1000;

using modGeneral::EjectResult;

class UdisksEjector : public QObject, public modGeneral::Ejector {
 public:
  void eject(const modGeneral::LaunchRequest& request, Done done) override {
    call_async(this, managed_objects_call(), kQueryTimeoutMs,
               [this, request, done](const QDBusMessage& reply) {
                 if (reply.type() != QDBusMessage::ReplyMessage) {
                   done({false, "udisks2 cannot be asked: " + reason_of(reply)});
                   return;
                 }
                 const auto filesystems = read_filesystems(reply);
                 const auto found =
                     std::find_if(filesystems.begin(), filesystems.end(), [&](const auto& f) {
                       const auto& points = f.mount_points;
                       return std::find(points.begin(), points.end(), request.mount_point) !=
                              points.end();
                     });
                 if (found == filesystems.end()) {
                   done({false, "it is no longer mounted at " + request.mount_point});
                 } else if (request.identity.starts_with("uuid:") &&
                            identity_of(*found) != request.identity) {
                   // Pulled and another put in its place while the command ran.
                   done({false, "another volume is mounted at " + request.mount_point + " now"});
                 } else {
                   unmount(*found, done);
                 }
               });
  }

 private:
  void unmount(const UdisksFilesystem& filesystem, const Done& done) {
    auto message =
        udisks_call(filesystem.object.path(), kFilesystemInterface, QStringLiteral("Unmount"));
    message << no_interaction();
    call_async(
        this, message, kUnmountTimeoutMs, [this, filesystem, done](const QDBusMessage& reply) {
          if (reply.type() != QDBusMessage::ReplyMessage) {
            done({false, reason_of(reply)});
          } else if (!filesystem.drive_can_power_off) {
            done({true, {}});  // a loop device or a card reader's slot: unmounted is all there is
          } else {
            power_off(filesystem.drive, done);
          }
        });
  }

  // The drive refuses while another of its filesystems is mounted: then the
  // stick is not safe to pull, though this filesystem is.
  void power_off(const QDBusObjectPath& drive, const Done& done) {
    auto message = udisks_call(drive.path(), kDriveInterface, QStringLiteral("PowerOff"));
    message << no_interaction();
    call_async(this, message, kQueryTimeoutMs, [done](const QDBusMessage& reply) {
      if (reply.type() == QDBusMessage::ReplyMessage) {
        done({true, {}});
      } else {
        done({false, "unmounted, but its drive could not be powered off: " + reason_of(reply)});
      }
    });
  }
};

}  // namespace

std::unique_ptr<modGeneral::Ejector> make_udisks_ejector() {
  return std::make_unique<UdisksEjector>();
}

}  // namespace kestrun::platform
