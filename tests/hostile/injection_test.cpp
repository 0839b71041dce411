// SPDX-License-Identifier: MIT
// Hostile volume labels and mount paths on real loop-mounted filesystems, run
// through whole poll passes with the real drive layer and launcher. A drive
// may come from anyone; what it carries must reach the command only through
// the KESTRUN_* variables, byte for byte, and never as words of its own.
// Needs root; skipped otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/action_log.h"
#include "engine/detection.h"
#include "engine/drive_records.h"
#include "engine/drives.h"
#include "platform/linux/drives.h"
#include "platform/linux/launcher.h"
#include "tests/fakes/fake_machine.h"
#include "tests/hostile/system.h"
#include "tests/platform/linux/launch_record.h"
#include "tests/platform/linux/listed_mounts.h"
#include "tests/platform/linux/nobody_view.h"
#include "tests/platform/linux/temp_tree.h"
#include "tests/platform/linux/unique_label.h"

namespace kestrun::platform {
namespace {

using kestrun::testing::crlf_lines;

// The real drive layer, showing the engine only the drives on one device:
// other drives on the machine (and other tests' mounts) stay out of the
// passes, so a "label:(any)" entry can only meet the test's own volume. An
// optional hook runs once, right after a list has been handed over.
class OnlyDevice : public modGeneral::DriveApi {
 public:
  OnlyDevice(LinuxDriveApi& inner, const std::string& device) : inner_(inner), device_(device) {}

  std::size_t logical_drive_strings(std::size_t length, char* buffer) override {
    const auto all = modGeneral::get_drive_strings(inner_);
    std::string mine;
    for (const auto record : modGeneral::RootRecords(all)) {
      if (inner_.locate(record.root()).device == device_) mine.append(record.bytes);
    }
    const std::size_t needed = mine.size() + 1;
    if (length < needed) return needed;
    mine.copy(buffer, mine.size());
    buffer[mine.size()] = '\0';
    if (after_listing) std::exchange(after_listing, nullptr)();
    return mine.size();
  }
  std::optional<std::string> volume_label(std::string_view root) override {
    return inner_.volume_label(root);
  }
  modGeneral::DriveType drive_type(std::string_view root) override {
    return inner_.drive_type(root);
  }
  modGeneral::DriveLocation locate(std::string_view root) override { return inner_.locate(root); }

  std::function<void()> after_listing;

 private:
  LinuxDriveApi& inner_;
  const std::string& device_;
};

// A btrfs volume (labels up to 255 bytes) and an ext4 one (16 bytes), each
// relabelled online and remounted at hostile folders rather than made anew.
class HostileDrives : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (geteuid() != 0) return;
    tree_ = new testing::TempTree();
    btrfs_ = new testing::LoopImage();
    ext4_ = new testing::LoopImage();
    problem_ = btrfs_->create(tree_->path("btrfs.img"), "128M", "btrfs",
                              {"mkfs.btrfs", "-q", "-f", "-L", "start"});
    if (problem_.empty()) {
      problem_ = ext4_->create(tree_->path("ext4.img"), "16M", "ext4",
                               {"mkfs.ext4", "-q", "-F", "-L", "start"});
    }
  }

  static void TearDownTestSuite() {
    delete btrfs_;
    delete ext4_;
    delete tree_;
    btrfs_ = ext4_ = nullptr;
    tree_ = nullptr;
  }

  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "loop mounts need root; CI runs these as root";
    ASSERT_TRUE(problem_.empty()) << "making the loop images failed: " << problem_;
  }

  // A folder inside the tree named `name` (which may hold slashes for
  // nested folders), created byte for byte.
  static std::string hostile_folder(const std::string& name) {
    const std::string path = tree_->path("mnt/" + name);
    std::filesystem::create_directories(path);
    return path;
  }

  static inline testing::TempTree* tree_ = nullptr;
  static inline testing::LoopImage* btrfs_ = nullptr;
  static inline testing::LoopImage* ext4_ = nullptr;
  static inline std::string problem_;
};

// One poll-pass world over the real layer and launcher, with the drive layer
// kept for the whole run as the program keeps it.
struct World {
  explicit World(const std::string& device) : only(api, device) {}
  LinuxDriveApi api;
  OnlyDevice only;
  LinuxLauncher launcher;
  kestrun::testing::MemorySettings settings;
  kestrun::testing::MemoryPane log;
  kestrun::testing::RecordingRunItem run_item;
  modGeneral::Context context{only, launcher, settings, log, run_item, {}};

  void store(const std::string& script) {
    std::string ignored;
    settings.write(modGeneral::kAdvanced, script, &ignored);
  }
  void poll() { modGeneral::run_detection(context, modGeneral::Mode::poll); }
  std::string root() {
    const auto roots = modGeneral::get_drive_strings(only);
    return roots.size() >= 3 ? roots.substr(0, 3) : std::string();
  }
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

struct Case {
  Case(std::string label, std::string mount, std::string read_as = {}, bool ext4 = false)
      : label(std::move(label)), mount(std::move(mount)), read_as(std::move(read_as)), ext4(ext4) {}

  std::string label;    // as set on the volume
  std::string mount;    // folder name(s) under the tree
  std::string read_as;  // the label as the layer reads it, when it differs
  bool ext4 = false;
};

std::string printable(const std::string& text) {
  std::string shown;
  for (const unsigned char c : text.substr(0, 60)) {
    if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown.push_back(static_cast<char>(c));
    }
  }
  return shown;
}

// Whether a "label:" line can name the label: a line value ends at CR LF, is
// trimmed of spaces, and the script's keys count wherever they stand.
bool nameable(const std::string& label) {
  for (const std::string_view key : {"label:", "exec:", "menurun:", "ignore:"}) {
    if (label.find(key) != std::string::npos) return false;
  }
  return label.find("\r\n") == std::string::npos && !label.empty() && label.front() != ' ' &&
         label.back() != ' ';
}

std::vector<Case> hostile_cases() {
  const std::string long_name(255, 'N');
  std::string euros;
  for (int i = 0; i < 85; ++i) euros += "\xE2\x82\xAC";  // 255 bytes, 85 characters
  std::string mixed;
  while (mixed.size() < 255) mixed += "\"$(x)`y`;|%1\n";
  mixed.resize(255);
  std::string deep;
  for (int i = 0; i < 12; ++i) deep += std::string(i ? "/" : "") + std::string(250, 'a' + i);
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD, what a stray byte reads as

  return {
      {"\"quoted\"", "MY PEN"},
      {"it's", " lead space"},
      {"two  spaces", "trail space "},
      {" padded ", "\"quoted\""},
      {"$(reboot)", "it's"},
      {"`id`", "$(touch pwned)"},
      {"a;b", "`id`"},
      {"a|b", "a;b|c&d"},
      {"a&&b || c", ">out <in"},
      {">out", "new\nline"},
      {"line\nbreak", "tab\there"},
      {"cr\r\nlf", "cr\r\nlf"},
      {"tab\there", "back\\slash"},
      {"%1", "\\040 literal"},
      {"%2", "x - y"},
      {"%3", "shared:1 master:2 - ext4 /dev/evil rw"},
      {"%1%2%3", "%1%2%3"},
      {"100%", "%HOME%"},
      {"%%3", "$HOME"},
      {"\xFF\xFE", "~"},
      {"ab\xC3", "\xFF\xFE"},
      {"\xED\xA0\x80", "\xC3("},
      {"\xC0\xAF", "\xED\xA0\x80"},
      {"\x80 cont", "\x80"},
      {long_name, long_name},
      {euros, "euro \xE2\x82\xAC"},
      {mixed, deep},
      {"-rf", "-rf"},
      {"--help", "--help"},
      {"*", "*"},
      {"?", "?"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"C:\\", "C:\\Windows"},
      {"E:\\ FAKE", "E:\\"},
      {"(any)", "any"},
      {"(no label)", "no label"},
      {"   ", "blank label"},
      {"", "empty label"},
      {"exec:rm -rf ~", "label:x"},
      {"label:(any)", "exec:evil"},
      {"\xE2\x80\xAE"
       "RTL",
       "\xE2\x80\xAE"
       "RTL"},
      {"zero\xE2\x80\x8Bwidth", "zero\xE2\x80\x8Bwidth"},
      {"no\xC2\xA0"
       "break",
       "no\xC2\xA0"
       "break"},
      {"emoji \xF0\x9F\x92\xA3", "emoji \xF0\x9F\x92\xA3"},
      {"\"\"\"", "\"\"\""},
      {"\\\"", "\\\""},
      {"'$IFS'", "${IFS}"},
      {"a\x01"
       "b\x1B[2J",
       "ctrl\x01\x1B[2J"},
      {"x\x7F", "del\x7F"},
      {"& start", "& start"},
      {"^|^&", "nested/$(x)/`y`/a b"},
      // ext4: 16 bytes at most; a character cut in half reads as U+FFFD.
      {"$(id)`id`;|\"'\n%1", "ext4 $(id)", "", true},
      {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3", "ext4 cut",
       "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4" + bad, true},
      {"%3%2%1", "ext4 \xFF", "", true},
      {"", "ext4 no label", "", true},
  };
}

// The label the layer reports for a raw label: stray bytes as U+FFFD.
std::string expected_read(const Case& c) {
  if (!c.read_as.empty()) return c.read_as;
  static const std::vector<std::pair<std::string, std::string>> cleaned = {
      {"\xFF\xFE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"ab\xC3", "ab\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\x80 cont", "\xEF\xBF\xBD cont"},
  };
  for (const auto& [raw, clean] : cleaned) {
    if (c.label == raw) return clean;
  }
  return c.label;
}

TEST_F(HostileDrives, TheDrivesTextReachesTheCommandOnlyThroughItsEnvironment) {
  const auto cases = hostile_cases();
  std::cout << cases.size() << " hostile label and mount path cases\n";
  ASSERT_GE(cases.size(), 50u);
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(index) + ": label '" + printable(c.label) + "' at '" +
                 printable(c.mount) + "'");
    testing::LoopImage& volume = c.ext4 ? *ext4_ : *btrfs_;
    const std::string folder = hostile_folder(c.mount);
    ASSERT_EQ(volume.mount_at(folder), "");
    ASSERT_EQ(volume.set_label(c.label), "");

    const std::string read = expected_read(c);
    // An entry naming the label where a line can hold it; "(any)" otherwise.
    const bool blank = read.find_first_not_of(' ') == std::string::npos;
    const std::string entry = blank ? "(no label)" : nameable(read) ? read : "(any)";
    const std::string record = tree_->path("record" + std::to_string(index++));
    World world(volume.device());
    world.store(crlf_lines({"label:" + entry, "exec:" + quoted(KESTRUN_ARGV_DUMP) + " " +
                                                  quoted(record) + " %1 %3 fixed \"two words\""}));
    world.poll();
    const auto root = world.root();
    ASSERT_EQ(root.size(), 3u) << "the volume is not listed";
    EXPECT_EQ(world.api.volume_label(root), read);

    const auto launched = kestrun::testing::wait_for_record(record);
    ASSERT_TRUE(launched.has_value()) << world.log.text();
    const std::string letter = root.substr(0, 1);
    EXPECT_EQ(launched->arguments, (std::vector<std::string>{root, letter, "fixed", "two words"}));
    EXPECT_EQ(launched->environment,
              (std::vector<std::string>{"KESTRUN_DRIVE=" + root, "KESTRUN_LETTER=" + letter,
                                        "KESTRUN_LABEL=" + entry, "KESTRUN_MOUNT=" + folder,
                                        "KESTRUN_DEVICE=" + volume.device()}));
    EXPECT_EQ(world.log.text(),
              crlf_lines({"Detected USB device labeled '" + entry + "' on " + root,
                          "  executing script..." + quoted(KESTRUN_ARGV_DUMP) + " " +
                              quoted(record) + " " + root + " " + letter + " fixed \"two words\"",
                          std::string(modGeneral::kIgnoringLine)}));
    ASSERT_TRUE(volume.unmount());
  }
}

// %2 is the entry's label as the user wrote it, so it does enter the command
// line, split like the rest of the line; what the drive says does not.
TEST_F(HostileDrives, PlaceholdersAreFilledInFromTheEntryAndTheRootOnly) {
  const struct {
    std::string label;
    std::string exec;                    // after the program and the record file
    std::vector<std::string> arguments;  // with "E" for the letter and "E:\" for the root
  } cases[] = {
      {"a b", "\"%2\" %2", {"a b", "a", "b"}},
      {"%3", "%2 [%1]", {"E", "[E:\\]"}},
      {"%1", "%2", {"%1"}},
      {"x\"y", "%2 end", {"xy end"}},
      {"$(id)", "%2", {"$(id)"}},
  };
  World world(btrfs_->device());
  ASSERT_EQ(btrfs_->mount_at(hostile_folder("placeholders")), "");
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(btrfs_->set_label(c.label), "");
    const std::string record = tree_->path("placeholder" + std::to_string(index++));
    world.store(crlf_lines({"label:" + c.label, "exec:" + quoted(KESTRUN_ARGV_DUMP) + " " +
                                                    quoted(record) + " " + c.exec}));
    world.poll();
    const auto launched = kestrun::testing::wait_for_record(record);
    ASSERT_TRUE(launched.has_value()) << world.log.text();
    // The drive may get any letter, E included: "E:\" in the expected words
    // stands for whichever root it got, filled in once, left to right.
    const auto root = world.root();
    auto expected = c.arguments;
    for (auto& word : expected) {
      for (std::size_t at = 0; (at = word.find("E:\\", at)) != std::string::npos;
           at += root.size()) {
        word.replace(at, 3, root);
      }
      if (word == "E") word = root.substr(0, 1);
    }
    EXPECT_EQ(launched->arguments, expected);
  }
  EXPECT_TRUE(btrfs_->unmount());
}

TEST_F(HostileDrives, ADriveUnmountedBetweenListingAndLabelIsNotActedOn) {
  World world(btrfs_->device());
  const std::string folder = hostile_folder("goes away");
  ASSERT_EQ(btrfs_->mount_at(folder), "");
  ASSERT_EQ(btrfs_->set_label("Going"), "");
  const std::string record = tree_->path("race-record");
  world.store(
      crlf_lines({"label:Going", "exec:" + quoted(KESTRUN_ARGV_DUMP) + " " + quoted(record)}));

  // Listed while mounted, gone before its label is read: the folder is still
  // there, on the filesystem underneath, and must not answer for it.
  world.only.after_listing = [] { ASSERT_TRUE(btrfs_->unmount()); };
  world.poll();
  EXPECT_EQ(world.context.last_drive_snapshot, "");
  EXPECT_EQ(world.log.text(), "");

  world.poll();
  ASSERT_EQ(btrfs_->mount_at(folder), "");
  world.poll();
  ASSERT_TRUE(kestrun::testing::wait_for_record(record).has_value())
      << "mounted again, it is acted on: " << world.log.text();
  EXPECT_TRUE(btrfs_->unmount());
}

// Whichever source could tell its label (udev's records among them, which
// anyone may read), a drive its user cannot enter is one their command could
// not use.
TEST_F(HostileDrives, AMountPointTheUserCannotOpen) {
  const std::string folder = hostile_folder("locked");
  const std::string label = testing::unique_label("Locked Away ");
  ASSERT_EQ(btrfs_->mount_at(folder), "");
  ASSERT_EQ(btrfs_->set_label(label), "");
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);  // the volume's own root folder
  // Open up to the locked folder, so that it alone stands in the way.
  ASSERT_EQ(chmod(tree_->path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(tree_->path("mnt").c_str(), 0755), 0);
  const auto seen = testing::seen_by_nobody(folder);
  ASSERT_EQ(chmod(tree_->path().c_str(), 0700), 0);
  EXPECT_EQ(seen, "");

  World world(btrfs_->device());
  EXPECT_EQ(world.api.volume_label(world.root()), label) << "root can still read it";
  EXPECT_TRUE(btrfs_->unmount());
}

}  // namespace
}  // namespace kestrun::platform
