// SPDX-License-Identifier: MIT
// Telling removable, fixed, optical and RAM drives apart through sysfs.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "engine/drive_api.h"

namespace kestrun::platform {

/// The kernel's name for block device `device` ("sdb1", "dm-0") as `sysfs`
/// knows it; "" when it does not.
std::string block_device_name(const std::string& sysfs, dev_t device);

/// The drive type (removable, fixed, optical or RAM disk) of a
/// filesystem of type `fs_type` on block device `device`. Partitions take their
/// disk's type; device-mapper and md devices take the type of the disk under
/// them. Fixed when sysfs does not know the device.
modGeneral::DriveType block_drive_type(const std::string& sysfs, dev_t device,
                                       std::string_view fs_type);

}  // namespace kestrun::platform
