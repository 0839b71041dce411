// SPDX-License-Identifier: MIT
// Mounting through udisks2, as the user, the filesystems that entries name.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <string>

#include "platform/linux/udisks.h"

namespace kestrun::platform {

class UdisksMounter : public QObject {
 public:
  UdisksMounter(std::function<std::string()> read_script,
                std::function<void(const std::string&)> log);

 private:
  void scan();
  void act_on(const QDBusMessage& reply);
  void mount(const UdisksFilesystem& filesystem);
  void say_service_failure(const std::string& reason);

  std::function<std::string()> read_script_;
  std::function<void(const std::string&)> log_;
  // Filesystems asked for once: one the user unmounts stays so, and a failure
  // is said once, until the device goes.
  QSet<QString> tried_;
  // udisks2's signals start it; its one run answers a burst of them.
  QTimer rescan_;
  bool service_failure_said_ = false;
};

}  // namespace kestrun::platform
