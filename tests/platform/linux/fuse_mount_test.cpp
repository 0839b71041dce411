// SPDX-License-Identifier: MIT
// FUSE mounts against real drives: one made by another local user (nobody)
// or by root that names a block device as its source must not pass for that
// device, while the user's own exFAT stick through FUSE stays a drive.
// Needs root; skipped otherwise. Runs in a mount namespace of its own, so its
// mounts are invisible to the rest of the machine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/detection.h"
#include "engine/drives.h"
#include "platform/linux/drives.h"
#include "tests/fakes/fake_machine.h"
#include "tests/platform/linux/listed_mounts.h"
#include "tests/platform/linux/nobody_view.h"
#include "tests/platform/linux/temp_tree.h"

extern char** environ;

namespace kestrun::platform {
namespace {

constexpr uid_t kNobody = 65534;

struct Outcome {
  int status = -1;
  std::string output;
};

// Runs `command` with `extra_environment` added and waits for it. Descriptors
// without close-on-exec are passed on.
Outcome run(const std::vector<std::string>& command,
            const std::vector<std::string>& extra_environment = {}) {
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> environment(extra_environment);
  for (char** variable = environ; *variable != nullptr; ++variable)
    environment.push_back(*variable);
  std::vector<char*> envp;
  for (auto& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  Outcome outcome;
  char chunk[4096];
  ssize_t got = 0;
  while ((got = read(out[0], chunk, sizeof chunk)) > 0) outcome.output.append(chunk, got);
  close(out[0]);
  if (failed != 0) return {-1, command[0] + ": cannot start"};
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

// A FUSE mount whose process never answers: fusermount3 mounts it and hands
// the connection over, and the test only holds it, as an attacker would.
class HeldFuseMount {
 public:
  HeldFuseMount(const std::string& folder, const std::string& fsname, bool as_nobody)
      : folder_(folder) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> command;
    if (as_nobody) {
      command = {"setpriv", "--reuid=" + std::to_string(kNobody),
                 "--regid=" + std::to_string(kNobody), "--clear-groups"};
    }
    command.insert(command.end(),
                   {"fusermount3", "-o", "fsname=" + fsname + ",subtype=demo", "--", folder});
    outcome_ = run(command, {"_FUSE_COMMFD=" + std::to_string(ends[1])});
    close(ends[1]);
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const auto got = recvmsg(ends[0], &message, MSG_DONTWAIT);
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (got > 0 && header != nullptr && header->cmsg_type == SCM_RIGHTS) {
      std::memcpy(&fd_, CMSG_DATA(header), sizeof fd_);
    }
    close(ends[0]);
  }
  ~HeldFuseMount() {
    if (fd_ >= 0) close(fd_);  // aborts the connection, so the mount can go
    umount2(folder_.c_str(), MNT_DETACH);
  }
  HeldFuseMount(const HeldFuseMount&) = delete;
  HeldFuseMount& operator=(const HeldFuseMount&) = delete;

  bool mounted() const { return fd_ >= 0; }
  const Outcome& outcome() const { return outcome_; }

 private:
  std::string folder_;
  int fd_ = -1;
  Outcome outcome_;
};

class FuseMounts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (geteuid() != 0) {
      skip_ = "mounting needs root; CI runs this as root";
      return;
    }
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)) {
      problem_ = std::string("no mount namespace of its own: ") + std::strerror(errno);
      return;
    }
    tree_ = new testing::TempTree();
    // nobody must reach its mount points, and open /dev/fuse as on a usual
    // desktop (0666); the bind mount lives in this namespace only.
    chmod(tree_->path().c_str(), 0755);
    const auto node = tree_->path("fuse");
    if (mknod(node.c_str(), S_IFCHR | 0666, makedev(10, 229)) != 0 ||
        chmod(node.c_str(), 0666) != 0 ||
        mount(node.c_str(), "/dev/fuse", nullptr, MS_BIND, nullptr) != 0) {
      problem_ = std::string("cannot offer /dev/fuse to nobody: ") + std::strerror(errno);
      return;
    }
    std::random_device random;
    suffix_ = std::to_string(random() % 100000000);
    label_ = "KV" + suffix_;
    real_ = tree_->path("real");
    tree_->folder("real");
    device_ = attach("ext4", {"mkfs.ext4", "-q", "-F", "-L", label_}, "16M");
    if (!device_.empty() && !check(run({"mount", device_, real_}))) device_.clear();
  }

  static void TearDownTestSuite() {
    if (tree_ != nullptr) {
      umount2(real_.c_str(), MNT_DETACH);
      for (const auto& device : devices_) run({"losetup", "-d", device});
      umount2("/dev/fuse", MNT_DETACH);
    }
    devices_.clear();
    delete tree_;
    tree_ = nullptr;
  }

  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
    ASSERT_TRUE(problem_.empty()) << problem_;
    ASSERT_FALSE(device_.empty()) << problem_;
  }

  static bool check(const Outcome& outcome) {
    if (outcome.status == 0) return true;
    problem_ = outcome.output;
    return false;
  }

  // A new image made by `mkfs` and then `tune` (the image's file name last
  // in each) on a loop device. Tuning before attaching keeps udevd, where it
  // runs, from holding on to what mkfs wrote until it probes the device again.
  static std::string attach(const std::string& name, std::vector<std::string> mkfs,
                            const std::string& size, std::vector<std::string> tune = {}) {
    const auto image = tree_->path(name + ".img");
    mkfs.push_back(image);
    if (!check(run({"truncate", "-s", size, image})) || !check(run(mkfs))) return {};
    if (!tune.empty()) {
      tune.push_back(image);
      if (!check(run(tune))) return {};
    }
    const auto attached = run({"losetup", "--find", "--show", image});
    if (!check(attached)) return {};
    const auto device = attached.output.substr(0, attached.output.find('\n'));
    devices_.push_back(device);
    return device;
  }

  static std::string folder_for(const std::string& name, uid_t owner) {
    tree_->folder(name);
    if (chown(tree_->path(name).c_str(), owner, owner) != 0) ADD_FAILURE() << std::strerror(errno);
    return tree_->path(name);
  }

  static std::vector<std::string> mount_points(LinuxDriveApi& api) {
    std::vector<std::string> found;
    for (const auto& listed : testing::listed_mounts(api)) found.push_back(listed.second);
    return found;
  }

  static bool listed(LinuxDriveApi& api, const std::string& folder) {
    const auto found = mount_points(api);
    return std::find(found.begin(), found.end(), folder) != found.end();
  }

  static inline testing::TempTree* tree_ = nullptr;
  static inline std::vector<std::string> devices_;
  static inline std::string device_, real_, label_, suffix_, problem_, skip_;
};

TEST_F(FuseMounts, AnotherUsersMountNamingTheDeviceNeitherFiresNorRedirectsTheEntry) {
  const auto squat = folder_for("squat", kNobody);
  const HeldFuseMount same_device(squat, device_, true);
  ASSERT_TRUE(same_device.mounted()) << same_device.outcome().output;
  // A name that leads to the device, chosen to break a line where it is shown.
  const auto link = tree_->path("evil\nKESTRUN_FORGED=1");
  ASSERT_EQ(symlink(device_.c_str(), link.c_str()), 0);
  const auto newline = folder_for("newline", kNobody);
  const HeldFuseMount chosen_name(newline, "/dev/.." + link, true);
  ASSERT_TRUE(chosen_name.mounted()) << chosen_name.outcome().output;

  LinuxDriveApi api;
  testing::FakeLauncher launcher;
  testing::MemorySettings settings;
  testing::MemoryPane log;
  testing::RecordingRunItem run_item;
  modGeneral::Context context{api, launcher, settings, log, run_item, {}};
  std::string ignored;
  settings.write(modGeneral::kAdvanced, testing::crlf_lines({"label:" + label_, "exec:run %1"}),
                 &ignored);

  modGeneral::run_detection(context, modGeneral::Mode::poll);
  ASSERT_EQ(launcher.launched.size(), 1u) << log.text();
  EXPECT_EQ(launcher.launched[0].mount_point, real_);
  EXPECT_EQ(launcher.launched[0].device, device_);
  EXPECT_FALSE(listed(api, squat));
  EXPECT_FALSE(listed(api, newline));
  for (const auto& listed : testing::listed_mounts(api)) {
    const auto device = api.locate(listed.first).device;
    EXPECT_EQ(device.find('\n'), std::string::npos) << device;
  }

  // With the real drive gone, nothing stands in for it.
  ASSERT_EQ(umount2(real_.c_str(), 0), 0);
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  const bool back = mount(device_.c_str(), real_.c_str(), "ext4", 0, nullptr) == 0;
  EXPECT_EQ(launcher.launched.size(), 1u) << log.text();
  for (const auto& request : launcher.launched) {
    EXPECT_EQ(request.device.find('\n'), std::string::npos) << request.device;
  }
  ASSERT_TRUE(back) << std::strerror(errno);
}

TEST_F(FuseMounts, RootsOwnPlainFuseMountIsNoBlockDeviceEither) {
  const auto folder = folder_for("root-fuse", 0);
  const HeldFuseMount held(folder, device_, false);
  ASSERT_TRUE(held.mounted()) << held.outcome().output;
  LinuxDriveApi api;
  EXPECT_FALSE(listed(api, folder));
  EXPECT_TRUE(listed(api, real_));
}

// Its serial is its identity, written as a FAT stick's is, so an entry can be
// pinned to it.
TEST_F(FuseMounts, TheUsersOwnExfatStickThroughFuseStaysADriveAndCanBePinned) {
  const auto label = "KX" + suffix_;
  const auto device =
      attach("exfat", {"mkfs.exfat", "-L", label}, "8M", {"tune.exfat", "-I", "0x1a2b3c4d"});
  ASSERT_FALSE(device.empty()) << problem_;
  const auto folder = folder_for("exfat", 0);
  ASSERT_EQ(run({"mount.exfat-fuse", device, folder}).status, 0);
  LinuxDriveApi api;
  const auto root = testing::root_mounted_at(api, folder);
  EXPECT_FALSE(root.empty());
  if (!root.empty()) {
    EXPECT_EQ(api.volume_label(root), label);
    EXPECT_EQ(api.locate(root).device, device);
    EXPECT_EQ(api.locate(root).identity, "uuid:1A2B-3C4D");

    testing::FakeLauncher launcher;
    testing::MemorySettings settings;
    testing::MemoryPane log;
    testing::RecordingRunItem run_item;
    modGeneral::Context context{api, launcher, settings, log, run_item, {}};
    std::string ignored;
    settings.write(
        modGeneral::kAdvanced,
        testing::crlf_lines({"label:" + label, "exec:run %1", "volume:uuid:1A2B-3C4D",
                             "label:" + label, "exec:never %1", "volume:uuid:1A2B-3C4E"}),
        &ignored);
    modGeneral::run_detection(context, modGeneral::Mode::poll);
    ASSERT_EQ(launcher.launched.size(), 1u) << log.text();
    EXPECT_EQ(launcher.launched[0].command, "run " + root);
  }
  umount2(folder.c_str(), 0);
}

// The FUSE process must not be asked whether the user may enter, since it
// may never answer; the folder holding the mount point can still lock them out.
TEST_F(FuseMounts, AStickThroughFuseInAFolderTheUserCannotEnterIsUnreadableToThem) {
  const auto device = attach("locked", {"mkfs.exfat", "-L", "KL" + suffix_}, "8M");
  ASSERT_FALSE(device.empty()) << problem_;
  const auto folder = folder_for("locked", 0) + "/stick";
  ASSERT_EQ(chmod(tree_->path("locked").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(run({"mount.exfat-fuse", device, folder}).status, 0);
  EXPECT_EQ(testing::seen_by_nobody(folder), "");
  umount2(folder.c_str(), 0);
}

}  // namespace
}  // namespace kestrun::platform
