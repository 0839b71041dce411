// SPDX-License-Identifier: MIT
// udisks2 on the system bus: its block devices that carry a filesystem, read
// from one answer of its object manager, and its calls' common options.
#include "platform/linux/udisks.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QMap>

#include "platform/linux/labels.h"

namespace kestrun::platform {

namespace {

const QString kBlockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");

// udisks2 gives paths as byte strings ending in a NUL.
std::string byte_string(const QByteArray& bytes) {
  std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

// A byte string arrives as a byte array, or still marshalled inside a variant.
std::string byte_string(const QVariant& value) {
  if (value.canConvert<QDBusArgument>()) {
    return byte_string(qdbus_cast<QByteArray>(value.value<QDBusArgument>()));
  }
  return byte_string(value.toByteArray());
}

std::vector<std::string> byte_strings(const QVariant& value) {
  std::vector<std::string> texts;
  if (!value.canConvert<QDBusArgument>()) return texts;
  const auto list = qdbus_cast<QList<QByteArray>>(value.value<QDBusArgument>());
  for (const auto& bytes : list) texts.push_back(byte_string(bytes));
  return texts;
}

std::string utf8(const QVariant& value) { return value.toString().toStdString(); }

UdisksFilesystem read_filesystem(const QDBusObjectPath& object,
                                 const QMap<QString, QVariantMap>& interfaces) {
  const auto& block = interfaces.value(kBlockInterface);
  const auto& filesystem = interfaces.value(kFilesystemInterface);
  UdisksFilesystem found;
  found.object = object;
  found.device = byte_string(block.value(QStringLiteral("PreferredDevice")));
  if (found.device.empty()) found.device = byte_string(block.value(QStringLiteral("Device")));
  found.label = clean_label(utf8(block.value(QStringLiteral("IdLabel"))));
  found.uuid = utf8(block.value(QStringLiteral("IdUUID")));
  found.mount_points = byte_strings(filesystem.value(QStringLiteral("MountPoints")));
  found.drive = block.value(QStringLiteral("Drive")).value<QDBusObjectPath>();
  found.ignored = block.value(QStringLiteral("HintIgnore")).toBool();
  return found;
}

}  // namespace

std::string identity_of(const UdisksFilesystem& filesystem) {
  return filesystem.uuid.empty() ? std::string() : "uuid:" + filesystem.uuid;
}

QDBusMessage udisks_call(const QString& object, const QString& interface, const QString& method) {
  return QDBusMessage::createMethodCall(kUdisksService, object, interface, method);
}

QDBusMessage managed_objects_call() {
  return udisks_call(kUdisksPath, kObjectManager, QStringLiteral("GetManagedObjects"));
}

void call_async(QObject* owner, const QDBusMessage& message, int timeout_ms,
                std::function<void(const QDBusMessage&)> then) {
  auto* watcher = new QDBusPendingCallWatcher(
      QDBusConnection::systemBus().asyncCall(message, timeout_ms), owner);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                   [watcher, then = std::move(then)] {
                     watcher->deleteLater();
                     then(watcher->reply());
                   });
}

QVariantMap no_interaction() { return {{QStringLiteral("auth.no_user_interaction"), true}}; }

std::vector<UdisksFilesystem> read_filesystems(const QDBusMessage& reply) {
  std::vector<UdisksFilesystem> found;
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return found;
  QMap<QString, bool> can_power_off;  // by drive object
  const auto objects = reply.arguments().constFirst().value<QDBusArgument>();
  objects.beginMap();
  while (!objects.atEnd()) {
    QDBusObjectPath object;
    QMap<QString, QVariantMap> interfaces;
    objects.beginMapEntry();
    objects >> object >> interfaces;
    objects.endMapEntry();
    if (interfaces.contains(kBlockInterface) && interfaces.contains(kFilesystemInterface)) {
      found.push_back(read_filesystem(object, interfaces));
    }
    if (interfaces.contains(kDriveInterface)) {
      can_power_off[object.path()] =
          interfaces.value(kDriveInterface).value(QStringLiteral("CanPowerOff")).toBool();
    }
  }
  objects.endMap();
  for (auto& filesystem : found) {
    filesystem.drive_can_power_off = can_power_off.value(filesystem.drive.path(), false);
  }
  return found;
}

std::string reason_of(const QDBusMessage& reply) {
  auto text = reply.errorMessage().toStdString();
  if (text.empty()) text = reply.errorName().toStdString();
  return text.empty() ? std::string("no answer from udisks2") : text;
}

}  // namespace kestrun::platform
