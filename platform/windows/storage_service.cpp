// SPDX-License-Identifier: MIT
// Windows mounts every volume itself and gives it a letter: there is nothing
// to mount and nothing present but unmounted.
#include "platform/storage_service.h"

namespace kestrun::platform {

std::vector<modGeneral::UnmountedVolume> unmounted_volumes() { return {}; }

bool can_mount_volumes() { return false; }

std::unique_ptr<QObject> mount_named_volumes(std::function<std::string()>,
                                             std::function<void(const std::string&)>) {
  return nullptr;
}

}  // namespace kestrun::platform
