// SPDX-License-Identifier: MIT
// Labels and drive types read from fake sysfs, udev and by-label trees.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "engine/drives.h"
#include "platform/linux/drives.h"
#include "platform/linux/labels.h"
#include "tests/platform/linux/listed_mounts.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

// A machine with a USB stick, a SATA disk, an optical drive, a loop device, a
// RAM disk, an SD card, LUKS on the stick and LVM on RAID on the disk.
class FakeMachineTree : public ::testing::Test {
 protected:
  void SetUp() override {
    block("8:17", "pci0/usb1/block/sdb/sdb1", "1");
    block("8:1", "pci0/ata/block/sda/sda1", "0");
    block("11:0", "pci0/ata2/block/sr0", "1");
    block("7:0", "virtual/block/loop0", "0");
    block("7:1", "virtual/block/loop1", "0");
    block("252:0", "virtual/block/zram0", "0");
    block("179:1", "platform/mmc/block/mmcblk0/mmcblk0p1", "0");
    block("253:0", "virtual/block/dm-0", "0");
    tree_.link("sys/devices/virtual/block/dm-0/slaves/sdb1",
               "../../../../pci0/usb1/block/sdb/sdb1");
    block("9:0", "virtual/block/md0", "0");
    tree_.link("sys/devices/virtual/block/md0/slaves/sda1", "../../../../pci0/ata/block/sda/sda1");
    block("253:1", "virtual/block/dm-1", "0");
    tree_.link("sys/devices/virtual/block/dm-1/slaves/md0", "../../md0");

    tree_.write("udev/b8:17",
                "S:disk/by-label/MY\\x20PEN\nE:ID_FS_LABEL_ENC=MY\\x20PEN\n"
                "E:ID_FS_TYPE=vfat\nE:ID_FS_UUID=1A2B-3C4D\nE:ID_FS_UUID_ENC=1A2B-3C4D\n");
    tree_.write("udev/b8:1", "E:ID_FS_TYPE=ext4\nE:ID_FS_USAGE=filesystem\n");
    tree_.write("udev/b179:1", "E:ID_FS_LABEL_ENC=Caf\\xc3\nE:ID_FS_TYPE=exfat\n");
    tree_.write("udev/b253:0", "E:ID_FS_LABEL_ENC=AB\\x00CD\nE:ID_FS_TYPE=ext4\n");
    tree_.write("udev/b7:1", "E:ID_FS_TYPE=\n");
    tree_.link("by-label/Ubuntu\\x2024.04\\x2fLTS", "../../sr0");
    tree_.link("by-label/OTHER", "../../sdq1");
    tree_.link("by-uuid/2024-04-24-13-15-00-00", "../../sr0");

    tree_.write("mountinfo",
                "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                "21 20 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
                "22 20 11:0 / /media/disc ro - iso9660 /dev/sr0 ro\n"
                "23 20 7:0 / /mnt/image rw - ext4 /dev/loop0 rw\n"
                "24 20 7:1 / /mnt/iso ro - udf /dev/loop1 ro\n"
                "25 20 252:0 / /mnt/ram rw - ext4 /dev/zram0 rw\n"
                "26 20 179:1 / /media/card rw - exfat /dev/mmcblk0p1 rw\n"
                "27 20 253:0 / /media/secret rw - ext4 /dev/mapper/luks rw\n"
                "28 20 253:1 / /srv rw - xfs /dev/mapper/vg-srv rw\n"
                "29 20 8:99 / /mnt/gone rw - ext4 /dev/sdz1 rw\n");
    LinuxSources sources;
    sources.mountinfo = tree_.path("mountinfo");
    sources.sysfs = tree_.path("sys");
    sources.udev_data = tree_.path("udev");
    sources.by_label = tree_.path("by-label");
    sources.by_uuid = tree_.path("by-uuid");
    sources.query_volumes = false;
    api_.emplace(sources, [](const std::string&) { return std::nullopt; });
    modGeneral::get_drive_strings(*api_);
  }

  // A block device's folder under sys/devices and its sys/dev/block link;
  // partitions get a `partition` file, disks a `removable` one.
  void block(const std::string& numbers, const std::string& folder, const std::string& removable) {
    const std::string device = "sys/devices/" + folder;
    const auto name = folder.substr(folder.rfind('/') + 1);
    const auto parent = folder.substr(0, folder.rfind('/'));
    const bool partition = parent.substr(parent.rfind('/') + 1) != "block";
    if (partition) {
      tree_.write(device + "/partition", "1\n");
      tree_.write("sys/devices/" + parent + "/removable", removable + "\n");
    } else {
      tree_.write(device + "/removable", removable + "\n");
    }
    tree_.link("sys/dev/block/" + numbers, "../../devices/" + folder);
  }

  std::string root_of(const std::string& mount_point) {
    const auto root = testing::root_mounted_at(*api_, mount_point);
    return root.empty() ? "?:\\" : root;
  }

  testing::TempTree tree_;
  std::optional<LinuxDriveApi> api_;
};

TEST_F(FakeMachineTree, DriveTypesFollowTheDiskUnderneath) {
  const std::map<std::string, unsigned> expected = {
      {"/", modGeneral::kDriveFixed},
      {"/media/stick", modGeneral::kDriveRemovable},
      {"/media/disc", modGeneral::kDriveCdrom},
      {"/mnt/image", modGeneral::kDriveFixed},
      {"/mnt/iso", modGeneral::kDriveCdrom},
      {"/mnt/ram", modGeneral::kDriveRamdisk},
      {"/media/card", modGeneral::kDriveRemovable},
      {"/media/secret", modGeneral::kDriveRemovable},
      {"/srv", modGeneral::kDriveFixed},
      {"/mnt/gone", modGeneral::kDriveFixed},
  };
  for (const auto& [mount_point, type] : expected) {
    EXPECT_EQ(api_->drive_type(root_of(mount_point)), type) << mount_point;
  }
}

TEST_F(FakeMachineTree, LabelsFromUdevAndByLabelDecodedAndMadeSafe) {
  EXPECT_EQ(api_->volume_label(root_of("/media/stick")), "MY PEN");
  EXPECT_EQ(api_->volume_label(root_of("/")), "") << "a filesystem without a label";
  EXPECT_EQ(api_->volume_label(root_of("/media/disc")), "Ubuntu 24.04/LTS");
  EXPECT_EQ(api_->volume_label(root_of("/media/card")), "Caf\xEF\xBF\xBD");
  EXPECT_EQ(api_->volume_label(root_of("/media/secret")), "AB");
  EXPECT_EQ(api_->volume_label(root_of("/mnt/image")), std::nullopt) << "nothing answers";
  EXPECT_EQ(api_->volume_label(root_of("/mnt/iso")), std::nullopt) << "udev saw no filesystem";

  // The engine's view: the unreadable loop image stays out, the optical disc
  // is listed in the editor only, the unlabelled root reads "(no label)".
  const auto roots = modGeneral::get_drive_strings(*api_);
  const auto snapshot = modGeneral::get_labelled_drives(*api_, roots);
  EXPECT_NE(snapshot.find(root_of("/") + " (no label)" + '\0'), std::string::npos);
  EXPECT_NE(snapshot.find(root_of("/media/stick") + " MY PEN" + '\0'), std::string::npos);
  EXPECT_EQ(snapshot.find("Ubuntu"), std::string::npos);
  EXPECT_EQ(snapshot.find(root_of("/mnt/image")), std::string::npos);
}

TEST_F(FakeMachineTree, EachVolumeIsKnownByItsUuidOrElseByTypeAndLabel) {
  EXPECT_EQ(api_->locate(root_of("/media/stick")).identity, "uuid:1A2B-3C4D");
  EXPECT_EQ(api_->locate(root_of("/media/disc")).identity, "uuid:2024-04-24-13-15-00-00");
  EXPECT_EQ(api_->locate(root_of("/media/card")).identity, "label:exfat:Caf\xEF\xBF\xBD");
  EXPECT_EQ(api_->locate(root_of("/")).identity, "label:ext4:");
}

TEST(Labels, CleanLabelKeepsValidUtf8AndReplacesTheRest) {
  EXPECT_EQ(clean_label("Ünïcødé €𝄞"), "Ünïcødé €𝄞");
  EXPECT_EQ(clean_label("ab\xC3"), "ab\xEF\xBF\xBD") << "a character cut in half";
  EXPECT_EQ(clean_label("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD") << "overlong";
  EXPECT_EQ(clean_label("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD") << "surrogate";
  EXPECT_EQ(clean_label("\xF4\x90\x80\x80x"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx");
  EXPECT_EQ(clean_label(std::string("A\0B", 3)), "A");
}

TEST(Labels, ShareLabelIsTheLastComponentOfTheShare) {
  EXPECT_EQ(share_label("nas.local:/export/data"), "data");
  EXPECT_EQ(share_label("//nas/music"), "music");
  EXPECT_EQ(share_label("user@server:/srv/files"), "files");
  EXPECT_EQ(share_label("user@server:"), "server");
  EXPECT_EQ(share_label("remote:photos"), "photos");
}

}  // namespace
}  // namespace kestrun::platform
