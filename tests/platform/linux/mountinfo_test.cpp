// SPDX-License-Identifier: MIT
// The mount table parser, the choice of drives and their letters.
#include "platform/linux/mountinfo.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/drives.h"
#include "platform/linux/drives.h"
#include "tests/platform/linux/listed_mounts.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

using Letters = std::vector<std::pair<std::string, std::string>>;

std::string sample(const std::string& name) {
  return std::string(KESTRUN_SAMPLE_TABLES) + "/" + name + ".mountinfo";
}

std::optional<dev_t> unresolved(const std::string&) { return std::nullopt; }

// A drive API over the table at `mountinfo` that asks nothing of this machine.
LinuxDriveApi offline_api(const testing::TempTree& tree, const std::string& mountinfo,
                          DeviceResolver resolve = unresolved) {
  LinuxSources sources;
  sources.mountinfo = mountinfo;
  sources.sysfs = tree.path("sys");
  sources.udev_data = tree.path("udev");
  sources.by_label = tree.path("by-label");
  sources.by_uuid = tree.path("by-uuid");
  sources.user = 1000;
  sources.query_volumes = false;
  return LinuxDriveApi(sources, std::move(resolve));
}

std::string line(int id, const std::string& device, const std::string& root,
                 const std::string& mount_point, const std::string& type,
                 const std::string& source) {
  return std::to_string(id) + " 1 " + device + " " + root + " " + mount_point +
         " rw,relatime shared:1 - " + type + " " + source + " rw\n";
}

TEST(Mountinfo, DecodesEscapesInEveryFieldAndFindsTheSeparator) {
  const auto mounts = parse_mountinfo(
      "98 29 8:17 /a\\040b /media/me/MY\\040-\\040PEN\\011x\\012y rw shared:4 master:7 "
      "propagate_from:3 - vfat /dev/disk/by-label/A\\134B rw\n"
      "garbage line\n"
      "99 29 8:18 / /plain rw - ext4 /dev/sdb2 rw\n"
      "100 29 0:50 / /empty\\040source rw - tmpfs  rw");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].mount_id, 98);
  EXPECT_EQ(mounts[0].parent_id, 29);
  EXPECT_EQ(mounts[0].major, 8u);
  EXPECT_EQ(mounts[0].minor, 17u);
  EXPECT_EQ(mounts[0].root, "/a b");
  EXPECT_EQ(mounts[0].mount_point, "/media/me/MY - PEN\tx\ny");
  EXPECT_EQ(mounts[0].fs_type, "vfat");
  EXPECT_EQ(mounts[0].source, "/dev/disk/by-label/A\\B");
  EXPECT_EQ(mounts[1].mount_point, "/plain");
  EXPECT_EQ(mounts[2].mount_point, "/empty source");
  EXPECT_EQ(mounts[2].fs_type, "tmpfs");
  EXPECT_EQ(mounts[2].source, "");
}

TEST(Mountinfo, LeavesWhatIsNotAByteEscapeAlone) {
  EXPECT_EQ(decode_octal_escapes("a\\0401"), "a 1");
  EXPECT_EQ(decode_octal_escapes("\\400\\9\\04"), "\\400\\9\\04");
  EXPECT_EQ(decode_octal_escapes("end\\"), "end\\");
}

TEST(Mountinfo, UbuntuDesktopSample) {
  testing::TempTree tree;
  auto api = offline_api(tree, sample("ubuntu-desktop"));
  const Letters expected = {
      {"C:\\", "/"},
      {"D:\\", "/boot/efi"},
      {"E:\\", "/home"},
      {"F:\\", "/media/user/KINGSTON USB"},
      {"G:\\", "/media/user/Backup"},
      {"H:\\", "/media/user/Ubuntu 24.04 LTS amd64"},
      {"I:\\", "/mnt/nas"},
      {"J:\\", "/mnt/music"},
      {"K:\\", "/home/user/remote"},
      {"L:\\", "/data"},
      {"M:\\", "/media/user/SD\\CARD"},
      {"N:\\", "/media/user/WD Elements"},
  };
  EXPECT_EQ(testing::listed_mounts(api), expected);

  // Network drives are not opened: type remote, label from the share name.
  for (const auto& [root, label] :
       std::map<std::string, std::string>{{"I:\\", "data"}, {"J:\\", "music"}, {"K:\\", "files"}}) {
    EXPECT_EQ(api.drive_type(root), modGeneral::kDriveRemote) << root;
    EXPECT_EQ(api.volume_label(root), label) << root;
    EXPECT_EQ(api.locate(root).device, "") << root;
  }
  EXPECT_EQ(api.locate("F:\\").device, "/dev/sdb1");
  EXPECT_EQ(api.locate("L:\\").device, "/dev/mapper/luks-5c1d");
  EXPECT_EQ(api.locate("I:\\").identity, "share:nas.local:/export/data");
  EXPECT_EQ(api.locate("K:\\").identity, "share:user@server:/srv/files");
}

TEST(Mountinfo, FedoraBtrfsSample) {
  testing::TempTree tree;
  // The subvolumes share the anonymous device 0:33; the block device is found
  // through the source node.
  const DeviceResolver resolve = [](const std::string& source) {
    return source == "/dev/nvme0n1p3" ? std::optional<dev_t>(makedev(259, 3)) : std::nullopt;
  };
  auto api = offline_api(tree, sample("fedora-btrfs"), resolve);
  const Letters expected = {
      {"C:\\", "/"}, {"D:\\", "/boot"}, {"E:\\", "/boot/efi"}, {"F:\\", "/run/media/user/STICK"}};
  EXPECT_EQ(testing::listed_mounts(api), expected);
  std::ifstream table(sample("fedora-btrfs"));
  const std::string text{std::istreambuf_iterator<char>(table), {}};
  const auto drives = find_drives(parse_mountinfo(text), resolve, 1000);
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives[0].device, makedev(259, 3));
}

TEST(Mountinfo, ZfsSampleGivesOneDrivePerPoolLabelledWithItsName) {
  testing::TempTree tree;
  auto api = offline_api(tree, sample("ubuntu-zfs"));
  const Letters expected = {
      {"C:\\", "/"}, {"D:\\", "/boot"}, {"E:\\", "/boot/efi"}, {"F:\\", "/tank"}};
  EXPECT_EQ(testing::listed_mounts(api), expected);
  EXPECT_EQ(api.volume_label("C:\\"), "rpool");
  EXPECT_EQ(api.volume_label("f:\\"), "tank");
  EXPECT_EQ(api.locate("F:\\").identity, "zfs:tank");
  EXPECT_EQ(api.drive_type("D:\\"), modGeneral::kDriveFixed);
}

TEST(Mountinfo, LeavesOutNoiseAndKeepsNetworkSharesAndRemovableMedia) {
  testing::TempTree tree;
  tree.write("mountinfo",
             line(20, "8:1", "/", "/", "ext4", "/dev/sda1") +
                 line(21, "0:40", "/", "/run/user/1000/doc", "fuse.portal", "portal") +
                 line(22, "0:41", "/", "/tmp/.mount_App", "fuse.App.AppImage", "App.AppImage") +
                 line(23, "0:42", "/", "/mnt/cloud", "fuse.rclone", "gdrive:") +
                 line(24, "0:43", "/", "/mnt/vault", "fuse.gocryptfs", "/home/me/.vault") +
                 line(25, "8:33", "/", "/run/media/me/STICK", "vfat", "/dev/sdc1") +
                 line(26, "8:49", "/", "/running/disk", "ext4", "/dev/sdd1") +
                 line(27, "0:44", "/", "/mnt/fake", "tmpfs", "/dev/fake") +
                 line(28, "0:45", "/", "/mnt/odd", "weirdfs", "/dev/nowhere") +
                 line(29, "7:3", "/", "/var/lib/docker/x", "ext4", "/dev/loop3") +
                 line(30, "254:0", "/", "/mnt/zram", "ext4", "/dev/zram0") +
                 line(31, "0:46", "/", "/mnt/vm", "9p", "hostshare"));
  auto api = offline_api(tree, tree.path("mountinfo"));
  const Letters expected = {{"C:\\", "/"},
                            {"D:\\", "/mnt/cloud"},
                            {"E:\\", "/run/media/me/STICK"},
                            {"F:\\", "/running/disk"},
                            {"G:\\", "/mnt/zram"},
                            {"H:\\", "/mnt/vm"}};
  EXPECT_EQ(testing::listed_mounts(api), expected);
  EXPECT_EQ(api.volume_label("D:\\"), "gdrive");
  EXPECT_EQ(api.volume_label("H:\\"), "hostshare");
}

// Any local user can mount FUSE and name its source: such a mount must not
// pass for the user's stick, nor another user's share for the user's own.
TEST(Mountinfo, FuseCountsOnlyForItsOwnerAndRootAndNeverStandsForABlockDevice) {
  testing::TempTree tree;
  const auto fuse = [](int id, const std::string& mount_point, const std::string& type,
                       const std::string& source, const std::string& owner) {
    return std::to_string(id) + " 20 0:" + std::to_string(id) + " / " + mount_point +
           " rw,nosuid,nodev - " + type + " " + source + " rw,user_id=" + owner +
           ",group_id=" + owner + "\n";
  };
  tree.write("mountinfo", line(20, "8:1", "/", "/", "ext4", "/dev/sda1") +
                              fuse(41, "/tmp/squat", "fuse.demo", "/dev/sdb1", "65534") +
                              fuse(42, "/home/me/mine", "fuse", "/dev/sdb1", "1000") +
                              fuse(43, "/tmp/theirs", "fuse.sshfs", "host:/srv", "65534") +
                              fuse(44, "/home/me/remote", "fuse.sshfs", "host:/srv", "1000") +
                              fuse(45, "/media/me/STICK", "fuseblk", "/dev/sdb1", "0") +
                              fuse(46, "/media/other/DISK", "fuseblk", "/dev/sdc1", "1001"));
  auto api = offline_api(tree, tree.path("mountinfo"), [](const std::string& source) {
    return source == "/dev/sdb1"   ? std::optional<dev_t>(makedev(8, 17))
           : source == "/dev/sdc1" ? std::optional<dev_t>(makedev(8, 33))
                                   : std::nullopt;
  });
  const Letters expected = {
      {"C:\\", "/"}, {"D:\\", "/home/me/remote"}, {"E:\\", "/media/me/STICK"}};
  EXPECT_EQ(testing::listed_mounts(api), expected);
  EXPECT_EQ(api.locate("E:\\").device, "/dev/sdb1");
}

TEST(Mountinfo, DrivesBehindANetworkOrFuseMountAreMarked) {
  const auto drives =
      find_drives(parse_mountinfo("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                  "21 20 0:50 / /mnt/nas rw - nfs4 nas:/data rw\n"
                                  "22 21 8:17 / /mnt/nas/usb rw - vfat /dev/sdb1 rw\n"
                                  "23 20 8:33 / /media/stick rw - vfat /dev/sdc1 rw\n"),
                  unresolved, 1000);
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_FALSE(drives[0].behind_remote);
  EXPECT_TRUE(drives[2].behind_remote);
  EXPECT_FALSE(drives[3].behind_remote);
}

TEST(Mountinfo, OneDrivePerFilesystemReachedThroughItsBestMount) {
  testing::TempTree tree;
  // A bind mount of /home's filesystem comes first; the whole filesystem's
  // mount is preferred but the letter follows the first appearance.
  tree.write("mountinfo", line(20, "8:1", "/", "/", "ext4", "/dev/sda1") +
                              line(21, "8:2", "/me/share", "/srv/share", "ext4", "/dev/sda2") +
                              line(22, "8:17", "/", "/media/stick", "vfat", "/dev/sdb1") +
                              line(23, "8:2", "/", "/home", "ext4", "/dev/sda2") +
                              line(24, "8:1", "/var", "/var", "ext4", "/dev/sda1") +
                              line(25, "8:17", "/", "/media/again", "vfat", "/dev/sdb1"));
  auto api = offline_api(tree, tree.path("mountinfo"));
  const Letters expected = {{"C:\\", "/"}, {"D:\\", "/home"}, {"E:\\", "/media/stick"}};
  EXPECT_EQ(testing::listed_mounts(api), expected);
}

TEST(DriveLetters, StayWhileMountedAndAreRememberedOnceUnmounted) {
  testing::TempTree tree;
  const auto root = line(20, "8:1", "/", "/", "ext4", "/dev/sda1");
  const auto a = line(21, "8:17", "/", "/media/A", "vfat", "/dev/sdb1");
  const auto b = line(22, "8:33", "/", "/media/B", "vfat", "/dev/sdc1");
  const auto c = line(23, "8:49", "/", "/media/C", "vfat", "/dev/sdd1");
  tree.write("udev/b8:17", "E:ID_FS_UUID_ENC=AAAA-0001\n");
  tree.write("udev/b8:33", "E:ID_FS_UUID_ENC=BBBB-0002\n");
  tree.write("udev/b8:49", "E:ID_FS_UUID_ENC=CCCC-0003\n");
  tree.write("mountinfo", root + a + b);
  auto api = offline_api(tree, tree.path("mountinfo"));
  EXPECT_EQ(testing::listed_mounts(api),
            (Letters{{"C:\\", "/"}, {"D:\\", "/media/A"}, {"E:\\", "/media/B"}}));

  // A goes; B keeps E:, and C, new, passes over the D: that A is remembered by.
  tree.write("mountinfo", root + b + c);
  EXPECT_EQ(testing::listed_mounts(api),
            (Letters{{"C:\\", "/"}, {"E:\\", "/media/B"}, {"F:\\", "/media/C"}}));
  EXPECT_EQ(api.volume_label("F:\\"), std::nullopt) << "nothing can answer offline";
  EXPECT_EQ(api.drive_type("D:\\"), modGeneral::kDriveNoRootDir);

  // A comes back to its D:.
  tree.write("mountinfo", root + c + a);
  EXPECT_EQ(testing::listed_mounts(api),
            (Letters{{"C:\\", "/"}, {"D:\\", "/media/A"}, {"F:\\", "/media/C"}}));
}

TEST(DriveLetters, BeyondZDrivesWaitForAFreeLetter) {
  testing::TempTree tree;
  std::string table;
  for (int i = 0; i < 24; ++i) {
    table += line(100 + i, "8:" + std::to_string(i), "/", "/media/d" + std::to_string(i), "ext4",
                  "/dev/sdx" + std::to_string(i));
  }
  tree.write("mountinfo", table);
  auto api = offline_api(tree, tree.path("mountinfo"));
  // No "/" drive: C: stays unused, D: to Z: take 23 drives, the 24th waits.
  auto letters = testing::listed_mounts(api);
  ASSERT_EQ(letters.size(), 23u);
  EXPECT_EQ(letters.front(), (std::pair<std::string, std::string>{"D:\\", "/media/d0"}));
  EXPECT_EQ(letters.back(), (std::pair<std::string, std::string>{"Z:\\", "/media/d22"}));

  tree.write("mountinfo", table.substr(table.find('\n') + 1));
  letters = testing::listed_mounts(api);
  ASSERT_EQ(letters.size(), 23u);
  EXPECT_EQ(letters.front(), (std::pair<std::string, std::string>{"D:\\", "/media/d23"}));
}

TEST(DriveStrings, SizingAndFillingCallsSeeTheSameDrives) {
  testing::TempTree tree;
  const auto root = line(20, "8:1", "/", "/", "ext4", "/dev/sda1");
  const auto stick = line(21, "8:17", "/", "/media/A", "vfat", "/dev/sdb1");
  tree.write("mountinfo", root);
  auto api = offline_api(tree, tree.path("mountinfo"));

  ASSERT_EQ(api.logical_drive_strings(0, nullptr), 5u);
  tree.write("mountinfo", root + stick);  // arrives between the two calls
  char buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  ASSERT_EQ(api.logical_drive_strings(5, buffer), 4u);
  EXPECT_EQ(std::string(buffer, 5), std::string("C:\\\0\0", 5));

  // The next sizing call sees the stick; a buffer too small is left untouched.
  ASSERT_EQ(api.logical_drive_strings(0, nullptr), 9u);
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  EXPECT_EQ(api.logical_drive_strings(5, buffer), 9u);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(api.logical_drive_strings(9, buffer), 8u);
  EXPECT_EQ(std::string(buffer, 9), std::string("C:\\\0D:\\\0\0", 9));
}

TEST(DriveStrings, AnUnreadableTableIsAFailedListing) {
  testing::TempTree tree;
  auto api = offline_api(tree, tree.path("missing"));
  EXPECT_EQ(api.logical_drive_strings(0, nullptr), 0u);
  EXPECT_EQ(modGeneral::get_drive_strings(api), "");
  EXPECT_EQ(api.volume_label("C:\\"), std::nullopt);
}

}  // namespace
}  // namespace kestrun::platform
