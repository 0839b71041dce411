// SPDX-License-Identifier: MIT
// udisks2 on the system bus: its block devices that carry a filesystem, read
// from one answer of its object manager, and its calls' common options.
#pragma once

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/eject.h"

namespace kestrun::platform {

inline const QString kUdisksService = QStringLiteral("org.freedesktop.UDisks2");
inline const QString kUdisksPath = QStringLiteral("/org/freedesktop/UDisks2");
inline const QString kFilesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
inline const QString kDriveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");
inline const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");

/// A block device with a filesystem, as udisks2 describes it. Every field but
/// `object` comes from the device or the mount table: not to be trusted.
struct UdisksFilesystem {
  QDBusObjectPath object;
  std::string device;  ///< "/dev/sdb1"
  std::string label;   ///< cleaned as the drive listing cleans labels
  std::string uuid;    ///< as the filesystem gives it; "" for none
  std::vector<std::string> mount_points;
  QDBusObjectPath drive;  ///< "/" for none, as for a loop device
  bool drive_can_power_off = false;
  bool ignored = false;  ///< udisks2 was told to keep it out of sight
};

/// "uuid:" and the filesystem's UUID, as the drive listing writes identities;
/// "" when it has none.
std::string identity_of(const UdisksFilesystem& filesystem);

/// A method call to udisks2 on `object`.
QDBusMessage udisks_call(const QString& object, const QString& interface, const QString& method);

/// The call that lists every object udisks2 manages.
QDBusMessage managed_objects_call();

/// Sends `message` on the system bus without waiting; `then` gets the reply
/// (or the error after `timeout_ms`) on the event loop, unless `owner` has gone.
void call_async(QObject* owner, const QDBusMessage& message, int timeout_ms,
                std::function<void(const QDBusMessage&)> then);

/// The options every call gets: a service asks no one for a password.
QVariantMap no_interaction();

/// The filesystems in a reply to GetManagedObjects.
std::vector<UdisksFilesystem> read_filesystems(const QDBusMessage& reply);

/// udisks2's reason in a failed reply, escaped for the log by the caller.
std::string reason_of(const QDBusMessage& reply);

/// Ejects through udisks2.
std::unique_ptr<modGeneral::Ejector> make_udisks_ejector();

}  // namespace kestrun::platform
