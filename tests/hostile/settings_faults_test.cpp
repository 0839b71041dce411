// SPDX-License-Identifier: MIT
// The settings file when the disk works against it: a folder that cannot be
// written, a damaged file, a full filesystem, and two Kestrun processes
// saving at the same moment.
// A write that fails says why in the system's words and leaves the old file
// as it was; a read that cannot be served gives the defaults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QLockFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/settings_store.h"
#include "settings/qt_settings_store.h"
#include "tests/hostile/system.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun {
namespace {

using Clock = std::chrono::steady_clock;

std::string file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

QtSettingsStore store_at(const std::string& path) {
  return QtSettingsStore(QString::fromStdString(path));
}

class SettingsFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    // An ordinary user must be able to reach the tree.
    ASSERT_EQ(chmod(tree.path().c_str(), 0755), 0);
    tree.folder("Kestrun");
  }

  // From now on the settings are an ordinary user's, and the writer runs as
  // that user when the tests run as root: permissions do not hold root back.
  void become_an_ordinary_user() {
    if (geteuid() != 0) return;
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    as_nobody_ = true;
  }

  // The writer program, as the user whose settings these are.
  std::vector<std::string> writer(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), KESTRUN_SETTINGS_WRITER);
    if (as_nobody_) {
      arguments.insert(arguments.begin(),
                       {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    return arguments;
  }

  // Stores a few values as the user the writer runs as.
  void store_known_values() {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"Interval", "7"},
                                     {"Advanced", "label:PEN\r\nexec:backup \"%1\" %2\r\n"}}) {
      const auto written = testing::run(writer({file, "write", key, value}));
      ASSERT_EQ(written.status, 0) << written.output;
    }
  }

  testing::TempTree tree;
  std::string folder = tree.path("Kestrun");
  std::string file = tree.path("Kestrun/Kestrun.conf");
  bool as_nobody_ = false;
};

TEST_F(SettingsFaults, AFolderThatCannotBeWrittenKeepsTheOldValuesAndSaysWhy) {
  become_an_ordinary_user();
  store_known_values();
  const auto before = file_bytes(file);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
  }

  const auto refused = testing::run(writer({file, "write", "Interval", "9"}));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("Permission denied"), std::string::npos) << refused.output;
  EXPECT_EQ(file_bytes(file), before);
  EXPECT_EQ(testing::run(writer({file, "read", "Interval"})).output, "7");

  // Nothing there yet, and nowhere to put it.
  const auto absent = testing::run(writer({folder + "/sub/Kestrun.conf", "write", "Auto", "1"}));
  EXPECT_EQ(absent.status, 1);
  EXPECT_NE(absent.output.find("Permission denied"), std::string::npos) << absent.output;
  EXPECT_FALSE(std::filesystem::exists(folder + "/sub"));
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
}

TEST_F(SettingsFaults, ADamagedFileReadsWhatItCanAndAWriteRepairsIt) {
  std::mt19937 random(9);
  std::string noise(4096, '\0');
  for (auto& c : noise) c = static_cast<char>(random());
  const std::string intact = "[Settings]\nInterval=7\n";
  const std::vector<std::string> damaged = {
      intact + "Advanced=\"label:X\\r\\nexec",        // cut off inside a value
      intact + "\xFF\xFE\x00\x01 garbage\n" + noise,  // stray bytes after the values
      intact + "Advanced=@ByteArray(\\xff\n",         // a half-written typed value
      intact + "[Settings\nAuto=1\n",                 // a broken group line
      intact + std::string(300000, '=') + "\n",       // one enormous line
      intact + "Interval=8\n",                        // the key twice
      noise,                                          // nothing but noise
      "",                                             // empty
      "\xEF\xBB\xBF" + intact,                        // a byte order mark
  };
  int index = 0;
  for (const auto& text : damaged) {
    SCOPED_TRACE("damaged file " + std::to_string(index++));
    tree.write("Kestrun/Kestrun.conf", text);
    QtSettingsStore store = store_at(file);
    // Whatever the damage, a read answers; the intact line is read where the
    // file starts with it.
    const auto interval = store.read(modGeneral::kInterval);
    if (text.starts_with(intact)) {
      EXPECT_TRUE(interval == "7" || interval == "8") << interval;
    }
    store.read(modGeneral::kAdvanced);
    store.read(modGeneral::kAuto);

    std::string error;
    ASSERT_TRUE(store.write(modGeneral::kAdvanced, "label:Y\r\nexec:z\r\n", &error)) << error;
    EXPECT_EQ(store.read(modGeneral::kAdvanced), "label:Y\r\nexec:z\r\n");
    EXPECT_EQ(store.read(modGeneral::kInterval), interval) << "a write loses what was readable";
  }
}

TEST_F(SettingsFaults, AMegabyteScriptIsStoredAndReadBackWhole) {
  std::string script;
  for (int i = 0; script.size() < 1024 * 1024; ++i) {
    script += "label:Drive " + std::to_string(i) +
              " \"quoted\" a=b; #hash \\back\\ \xC3\xA4 \t tab\r\nexec:run \"%1\" %2 %3\r\n";
  }
  QtSettingsStore store = store_at(file);
  std::string error;
  auto start = Clock::now();
  ASSERT_TRUE(store.write(modGeneral::kAdvanced, script, &error)) << error;
  const auto written = Clock::now() - start;
  start = Clock::now();
  EXPECT_EQ(store.read(modGeneral::kAdvanced), script);
  const auto read = Clock::now() - start;
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("1 MB script: write %.0f ms, read %.0f ms\n", ms(written), ms(read));
  EXPECT_LT(ms(written) + ms(read), 10000.0);
}

// Two Kestrun processes saving at the same moment, while a third reads.
TEST_F(SettingsFaults, TwoProcessesSavingAtOnceLeaveOneOfTheirValues) {
  store_known_values();
  constexpr int kWrites = 150;
  std::atomic<bool> done{false};
  std::vector<std::string> odd_reads;
  std::thread reader([&] {
    QtSettingsStore store = store_at(file);
    while (!done) {
      const auto value = store.read(modGeneral::kInterval);
      if (value != "7" && !value.starts_with("first") && !value.starts_with("second")) {
        odd_reads.push_back(value);
      }
    }
  });
  testing::Outcome first;
  std::thread other([&] {
    first = testing::run(writer({file, "write", "Interval", "first", std::to_string(kWrites)}));
  });
  const auto second =
      testing::run(writer({file, "write", "Interval", "second", std::to_string(kWrites)}));
  other.join();
  done = true;
  reader.join();

  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(second.status, 0) << second.output;
  EXPECT_TRUE(odd_reads.empty()) << odd_reads.front();
  const auto last = std::to_string(kWrites - 1);
  const auto value = store_at(file).read(modGeneral::kInterval);
  EXPECT_TRUE(value == "first" + last || value == "second" + last) << value;
  EXPECT_EQ(store_at(file).read(modGeneral::kAdvanced), "label:PEN\r\nexec:backup \"%1\" %2\r\n");
}

TEST_F(SettingsFaults, TwoProcessesSavingDifferentValuesLoseNeither) {
  store_known_values();
  constexpr int kWrites = 100;
  testing::Outcome first;
  std::thread other([&] {
    first = testing::run(writer({file, "write", "Interval", "first", std::to_string(kWrites)}));
  });
  const auto second =
      testing::run(writer({file, "write", "Minimise", "second", std::to_string(kWrites)}));
  other.join();
  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(second.status, 0) << second.output;
  const auto last = std::to_string(kWrites - 1);
  QtSettingsStore store = store_at(file);
  EXPECT_EQ(store.read(modGeneral::kInterval), "first" + last);
  EXPECT_EQ(store.read(modGeneral::kMinimise), "second" + last);
}

TEST_F(SettingsFaults, ASaveWaitsForAnotherAndNeverForADeadOne) {
  store_known_values();
  const auto before = file_bytes(file);
  {
    // A live instance in the middle of a save that does not end.
    QLockFile held(QString::fromStdString(file + ".lock"));
    ASSERT_TRUE(held.tryLock(0));
    const auto start = Clock::now();
    const auto refused = testing::run(writer({file, "write", "Interval", "9"}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "another Kestrun is saving its settings; please try again\n");
    EXPECT_EQ(file_bytes(file), before);
    std::printf("a save gave up on a held lock after %.1f s\n",
                std::chrono::duration<double>(Clock::now() - start).count());
  }
  // An instance that died while saving leaves its lock behind.
  const pid_t child = fork();
  if (child == 0) {
    QLockFile* abandoned = new QLockFile(QString::fromStdString(file + ".lock"));
    _exit(abandoned->tryLock(0) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(std::filesystem::exists(file + ".lock"));
  const auto start = Clock::now();
  const auto written = testing::run(writer({file, "write", "Interval", "9"}));
  EXPECT_EQ(written.status, 0) << written.output;
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

// The reproduction: with the settings folder open to all, another user put
// settings of their own in its place, and a headless instance ran their
// command at the next pass.
TEST_F(SettingsFaults, SettingsAnotherUserCouldPutInPlaceAreNeverUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs a second user; CI runs this as root";
  store_known_values();
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  const std::string ran = tree.path("ran");
  tree.write("theirs.conf", "[Settings]\nAdvanced=\"label:(any)\\r\\nexec:touch " + ran +
                                "\\r\\n\"\nInterval=1\n");
  const auto replaced = testing::run({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                      "sh", "-c", "cp \"$1\" \"$2.new\" && mv \"$2.new\" \"$2\"",
                                      "sh", tree.path("theirs.conf"), file});
  ASSERT_EQ(replaced.status, 0) << replaced.output;
  tree.folder("runtime");
  ASSERT_EQ(chmod(tree.path("runtime").c_str(), 0700), 0);
  for (const char* mode : {"--headless", "--validate"}) {
    const auto outcome = testing::run(
        {"env", "HOME=" + tree.path(), "XDG_CONFIG_HOME=" + tree.path(),
         "XDG_STATE_HOME=" + tree.path("runtime"), "XDG_RUNTIME_DIR=" + tree.path("runtime"),
         "timeout", "20", KESTRUN_PROGRAM, mode});
    EXPECT_EQ(outcome.status, 2) << mode;
    EXPECT_EQ(outcome.output, "kestrun: will not use the settings '" + file +
                                  "': the file is owned by another user (uid 65534)\n")
        << mode;
  }
  EXPECT_FALSE(std::filesystem::exists(ran));
}

// A small filesystem of its own, filled up. Needs root.
TEST_F(SettingsFaults, AFullDiskKeepsTheOldFileAndSaysWhy) {
  if (geteuid() != 0) GTEST_SKIP() << "loop mounts need root; CI runs this as root";
  testing::LoopImage disk;
  ASSERT_EQ(disk.create(tree.path("small.img"), "4M", "ext4", {"mkfs.ext4", "-q", "-F", "-m", "0"}),
            "");
  tree.folder("disk");
  ASSERT_EQ(disk.mount_at(tree.path("disk")), "");
  const std::string path = tree.path("disk/Kestrun/Kestrun.conf");
  QtSettingsStore store = store_at(path);
  std::string error;
  const std::string script = "label:PEN\r\nexec:backup %1\r\n";
  ASSERT_TRUE(store.write(modGeneral::kAdvanced, script, &error)) << error;
  ASSERT_TRUE(store.write(modGeneral::kInterval, "7", &error)) << error;
  const auto before = file_bytes(path);

  // Down to the last byte: big chunks first, then ever smaller ones.
  const int filler = open(tree.path("disk/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(filler, 0);
  const std::string chunk(64 * 1024, 'f');
  for (std::size_t size = chunk.size(); size > 0; size /= 2) {
    while (write(filler, chunk.data(), size) == static_cast<ssize_t>(size)) {
    }
  }
  fsync(filler);
  close(filler);
  std::string big(256 * 1024, 'x');
  EXPECT_FALSE(store.write(modGeneral::kAdvanced, big, &error));
  EXPECT_EQ(error, "No space left on device");
  EXPECT_FALSE(store.write(modGeneral::kInterval, "9", &error));
  EXPECT_EQ(error, "No space left on device");
  EXPECT_EQ(file_bytes(path), before);
  EXPECT_EQ(store.read(modGeneral::kAdvanced), script);
  EXPECT_EQ(store.read(modGeneral::kInterval), "7");
  for (const auto& entry : std::filesystem::directory_iterator(tree.path("disk/Kestrun"))) {
    EXPECT_TRUE(entry.path().filename() == "Kestrun.conf" ||
                entry.path().filename() == "Kestrun.conf.lock")
        << "left behind: " << entry.path();
  }

  // Room again: the next save goes through.
  std::filesystem::remove(tree.path("disk/filler"));
  EXPECT_TRUE(store.write(modGeneral::kInterval, "9", &error)) << error;
}

}  // namespace
}  // namespace kestrun
