// SPDX-License-Identifier: MIT
// The places a Linux volume's label and UUID can be read from, each on its own.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/mountinfo.h"

namespace kestrun::platform {

/// Decodes udev's `\xNN` escapes, as in ID_FS_LABEL_ENC and /dev/disk/by-label.
std::string decode_hex_escapes(std::string_view text);

/// A label the engine can carry safely: cut at its first NUL, which would end a
/// snapshot record, and with every byte that is not part of valid UTF-8 (ext4
/// may cut a character in half) replaced by U+FFFD.
std::string clean_label(std::string_view raw);

/// A network drive's label: the last component of its share name, so
/// "nas:/export/data" and "//nas/data" both give "data".
std::string share_label(std::string_view source);

/// Whether this process can enter the drive's mount point and find the drive's
/// mount there. A drive that fails this could not be used by the user's
/// command, so it reads as unreadable whatever else could tell its label. Of a
/// mount whose own filesystem must not be asked, since a FUSE process or a
/// server may never answer, only the folder holding the mount point is
/// checked; under such a mount, nothing is.
bool user_can_enter(const MountedDrive& drive);

/// FS_IOC_GETFSLABEL on the folder `mount_point`, provided that folder is still
/// the root of mount `mount_id`: a mount that went away would otherwise answer
/// with the label of the filesystem underneath.
std::optional<std::string> mounted_label(const std::string& mount_point, int mount_id);

/// The label in udev's record of block device `device` under `udev_data`; ""
/// when udev saw a filesystem without a label.
std::optional<std::string> udev_label(const std::string& udev_data, dev_t device);

/// The name of the link in `by_label` that leads to the device node `kernel_name`.
std::optional<std::string> by_label_link(const std::string& by_label, std::string_view kernel_name);

/// What libblkid finds on a device's superblock; "" for what it lacks.
struct ProbedVolume {
  std::string label;
  std::string uuid;
};

/// libblkid's look at the device node `node`, provided it is block device
/// `device`. Only root can open most device nodes.
std::optional<ProbedVolume> probe_volume(const std::string& node, dev_t device);

/// The label libblkid finds on the device node `node`, provided it is block
/// device `device`; "" for a filesystem without a label.
std::optional<std::string> probed_label(const std::string& node, dev_t device);

/// The UUID that the filesystem of type `fs_type` mounted at `mount_point`
/// reports of itself, in the form libblkid gives it, provided the folder is
/// still the root of mount `mount_id`. Not asked of FUSE filesystems, whose
/// process would answer.
std::optional<std::string> mounted_uuid(const std::string& mount_point, int mount_id,
                                        std::string_view fs_type);

/// The filesystem UUID in udev's record of block device `device`.
std::optional<std::string> udev_uuid(const std::string& udev_data, dev_t device);

}  // namespace kestrun::platform
