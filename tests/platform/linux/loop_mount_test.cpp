// SPDX-License-Identifier: MIT
// Real ext4, btrfs and xfs images on loop devices, listed, labelled and polled.
// Needs root; skipped otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/detection.h"
#include "engine/drives.h"
#include "platform/linux/drives.h"
#include "platform/linux/labels.h"
#include "platform/linux/launcher.h"
#include "tests/fakes/fake_machine.h"
#include "tests/hostile/system.h"
#include "tests/platform/linux/launch_record.h"
#include "tests/platform/linux/listed_mounts.h"
#include "tests/platform/linux/temp_tree.h"
#include "tests/platform/linux/unique_label.h"

namespace kestrun::platform {
namespace {

using testing::run;

struct Volume {
  Volume(std::string fs, std::string label, std::string read_label, std::string size)
      : fs(std::move(fs)),
        label(std::move(label)),
        read_label(std::move(read_label)),
        size(std::move(size)) {}

  std::string fs;
  std::string label;       // as given to mkfs
  std::string read_label;  // as the layer should read it
  std::string size;
  std::string image;
  std::string folder;
  std::string device;  // the loop device, once attached
  bool mounted = false;
};

std::vector<std::string> mkfs_command(const Volume& volume) {
  if (volume.fs == "ext4") {
    std::vector<std::string> command = {"mkfs.ext4", "-q", "-F"};
    if (!volume.label.empty()) command.insert(command.end(), {"-L", volume.label});
    command.push_back(volume.image);
    return command;
  }
  if (volume.fs == "btrfs") return {"mkfs.btrfs", "-q", "-f", "-L", volume.label, volume.image};
  return {"mkfs.xfs", "-q", "-f", "-L", volume.label, volume.image};
}

class LoopMounts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (geteuid() != 0) {
      problem_ = "loop mounts need root; CI runs these as root";
      skip_ = true;
      return;
    }
    tree_ = new testing::TempTree();
    // Only the pen is matched by label, so only its label must be this run's
    // own; the others are about how their bytes are read.
    const auto pen_label = testing::unique_label("MY PEN ");
    volumes_ = {
        {"ext4", pen_label, pen_label, "16M"},
        {"ext4", "Thirteen Char", "Thirteen Char", "16M"},
        {"ext4", "Fourteen Chars", "Fourteen Chars", "16M"},
        {"ext4", "SixteenCharLabel", "SixteenCharLabel", "16M"},
        {"ext4", "", "", "16M"},
        // 17 bytes: mkfs keeps 16 and cuts the last Ä in half.
        {"ext4", "a\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4",
         "a\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\uFFFD", "16M"},
        {"btrfs", "Btrfs \u00DCn\u00EFc\u00F8d\u00E9 Volume \u20AC",
         "Btrfs \u00DCn\u00EFc\u00F8d\u00E9 Volume \u20AC", "128M"},
        {"xfs", "XFS 12 chars", "XFS 12 chars", "320M"},
    };
    for (std::size_t i = 0; i < volumes_.size() && problem_.empty(); ++i) {
      auto& volume = volumes_[i];
      volume.image = tree_->path("image" + std::to_string(i));
      volume.folder = tree_->path("mount " + std::to_string(i));
      tree_->folder("mount " + std::to_string(i));
      attach_and_mount(volume);
    }
  }

  static void attach_and_mount(Volume& volume) {
    if (!check(run({"truncate", "-s", volume.size, volume.image})) ||
        !check(run(mkfs_command(volume)))) {
      return;
    }
    const auto attached = run({"losetup", "--find", "--show", volume.image});
    if (!check(attached)) return;
    volume.device = attached.output.substr(0, attached.output.find('\n'));
    volume.mounted = check(run({"mount", volume.device, volume.folder}));
  }

  static bool check(const testing::Outcome& outcome) {
    if (outcome.status == 0) return true;
    problem_ = outcome.output;
    return false;
  }

  // Undoes only what this suite did: its own mounts and loop devices.
  static void TearDownTestSuite() {
    for (auto& volume : volumes_) {
      if (volume.mounted) testing::unmount_folder(volume.folder);
      if (!volume.device.empty()) run({"losetup", "-d", volume.device});
    }
    volumes_.clear();
    delete tree_;
    tree_ = nullptr;
  }

  void SetUp() override {
    if (skip_) GTEST_SKIP() << problem_;
    ASSERT_TRUE(problem_.empty()) << "setting up the loop mounts failed: " << problem_;
  }

  // The root that `api` lists for the volume.
  static std::string root_of(LinuxDriveApi& api, const Volume& volume) {
    return testing::root_mounted_at(api, volume.folder);
  }

  static Volume& pen() { return volumes_[0]; }

  static inline testing::TempTree* tree_ = nullptr;
  static inline std::vector<Volume> volumes_;
  static inline std::string problem_;
  static inline bool skip_ = false;
};

TEST_F(LoopMounts, ListsEachImageWithItsLetterLabelAndType) {
  LinuxDriveApi api;
  const auto roots = modGeneral::get_drive_strings(api);
  const auto snapshot = modGeneral::get_labelled_drives(api, roots);
  for (const auto& volume : volumes_) {
    const auto root = root_of(api, volume);
    ASSERT_FALSE(root.empty()) << volume.folder << " is not listed";
    EXPECT_NE(roots.find(root + '\0'), std::string::npos);
    EXPECT_EQ(api.volume_label(root), volume.read_label) << volume.fs << " " << volume.label;
    EXPECT_EQ(api.drive_type(root), modGeneral::kDriveFixed) << "loop devices are fixed";
    const auto location = api.locate(root);
    EXPECT_EQ(location.mount_point, volume.folder);
    EXPECT_EQ(location.device, volume.device);
    const auto shown =
        volume.read_label.empty() ? std::string(modGeneral::kNoLabel) : volume.read_label;
    EXPECT_NE(snapshot.find(root + " " + shown + '\0'), std::string::npos) << shown;
  }
}

TEST_F(LoopMounts, LibblkidReadsTheSameLabelsFromTheDevices) {
  for (const auto& volume : volumes_) {
    struct stat node {};
    ASSERT_EQ(stat(volume.device.c_str(), &node), 0);
    const auto label = probed_label(volume.device, node.st_rdev);
    ASSERT_TRUE(label.has_value()) << volume.device;
    EXPECT_EQ(clean_label(*label), volume.read_label);
  }
}

TEST_F(LoopMounts, AMountThatWentAwayDoesNotAnswerWithTheLabelUnderIt) {
  std::ifstream table("/proc/self/mountinfo");
  const std::string text{std::istreambuf_iterator<char>(table), {}};
  int mount_id = 0;
  for (const auto& mount : parse_mountinfo(text)) {
    if (mount.mount_point == pen().folder) mount_id = mount.mount_id;
  }
  ASSERT_NE(mount_id, 0);
  EXPECT_EQ(mounted_label(pen().folder, mount_id), pen().label);
  EXPECT_EQ(mounted_label(pen().folder, mount_id + 100000), std::nullopt);

  ASSERT_TRUE(testing::unmount_folder(pen().folder));
  pen().mounted = false;
  // The folder is still there, on the filesystem the image was mounted over.
  EXPECT_EQ(mounted_label(pen().folder, mount_id), std::nullopt);
  ASSERT_EQ(run({"mount", pen().device, pen().folder}).status, 0);
  pen().mounted = true;
}

TEST_F(LoopMounts, PollPassesRunTheEntryOncePerInsertion) {
  LinuxDriveApi api;
  kestrun::testing::FakeLauncher launcher;
  kestrun::testing::MemorySettings settings;
  kestrun::testing::MemoryPane log;
  kestrun::testing::RecordingRunItem run_item;
  modGeneral::Context context{api, launcher, settings, log, run_item, {}};
  const auto script =
      kestrun::testing::crlf_lines({"label:" + pen().label, "exec:open-pen %1 %2 %3"});
  std::string ignored;
  settings.write(modGeneral::kAdvanced, script, &ignored);

  modGeneral::run_detection(context, modGeneral::Mode::poll);
  ASSERT_EQ(launcher.launched.size(), 1u) << log.text();
  const auto root = root_of(api, pen());
  const auto& request = launcher.launched[0];
  EXPECT_EQ(request.command, "open-pen " + root + " " + pen().label + " " + root.substr(0, 1));
  EXPECT_EQ(request.root, root);
  EXPECT_EQ(request.mount_point, pen().folder);
  EXPECT_EQ(request.device, pen().device);

  modGeneral::run_detection(context, modGeneral::Mode::poll);
  EXPECT_EQ(launcher.launched.size(), 1u) << "the same drives run nothing again";

  ASSERT_TRUE(testing::unmount_folder(pen().folder));
  pen().mounted = false;
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  EXPECT_EQ(launcher.launched.size(), 1u) << "the pen is gone";

  ASSERT_EQ(run({"mount", pen().device, pen().folder}).status, 0);
  pen().mounted = true;
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  ASSERT_EQ(launcher.launched.size(), 2u) << "reinserted, it runs again";

  const auto again = root_of(api, pen());
  settings.write(modGeneral::kAdvanced, "ignore:" + again + "\r\n" + script, &ignored);
  context.last_drive_snapshot.clear();
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  EXPECT_EQ(launcher.launched.size(), 2u) << "its letter is ignored";
}

TEST_F(LoopMounts, APollPassStartsTheCommandWithTheDriveInItsEnvironment) {
  LinuxDriveApi api;
  LinuxLauncher launcher;
  kestrun::testing::MemorySettings settings;
  kestrun::testing::MemoryPane log;
  kestrun::testing::RecordingRunItem run_item;
  modGeneral::Context context{api, launcher, settings, log, run_item, {}};
  const auto& volume = pen();
  const auto record_file = tree_->path("record");
  std::string ignored;
  settings.write(
      modGeneral::kAdvanced,
      kestrun::testing::crlf_lines({"label:" + volume.label, "exec:\"" KESTRUN_ARGV_DUMP "\" \"" +
                                                                 record_file + "\" %1 \"%2\" %3"}),
      &ignored);

  modGeneral::run_detection(context, modGeneral::Mode::poll);
  const auto record = kestrun::testing::wait_for_record(record_file);
  ASSERT_TRUE(record.has_value()) << log.text();
  const auto root = root_of(api, volume);
  const std::vector<std::string> arguments = {root, volume.label, root.substr(0, 1)};
  EXPECT_EQ(record->arguments, arguments);
  const std::vector<std::string> environment = {
      "KESTRUN_DRIVE=" + root, "KESTRUN_LETTER=" + root.substr(0, 1),
      "KESTRUN_LABEL=" + volume.label, "KESTRUN_MOUNT=" + volume.folder,
      "KESTRUN_DEVICE=" + volume.device};
  EXPECT_EQ(record->environment, environment);
}

}  // namespace
}  // namespace kestrun::platform
