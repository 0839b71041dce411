// SPDX-License-Identifier: MIT
// Whole detection passes on a fake machine: when a poll pass acts, what it logs
// and launches, the ignore line, menu passes and the failure rules.
#include "engine/detection.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;
using modGeneral::Mode;
using modGeneral::run_detection;

constexpr auto kIgnoring = "  now ignoring the device until it's reinserted (or app is restarted)";

std::vector<std::string> commands_of(const kestrun::testing::FakeLauncher& launcher) {
  std::vector<std::string> result;
  for (const auto& request : launcher.launched) result.push_back(request.command);
  return result;
}

std::vector<std::string> commands(const FakeWorld& world) { return commands_of(world.launcher); }

class PollPass : public ::testing::Test {
 protected:
  void SetUp() override {
    world.machine.plug("C:\\", "SYSTEM", modGeneral::kDriveFixed);
    world.store_script(crlf_lines({"label:My USB Pen Drive", "exec:backup \"%1\" \"%2\" %3",
                                   "label:Second Pen Drive", "exec:sync %1"}));
  }
  std::string poll() { return run_detection(world.context, Mode::poll); }

  FakeWorld world;
};

TEST_F(PollPass, ActsOncePerChangeOfTheLabelledDrives) {
  world.machine.plug("E:\\", "My USB Pen Drive");
  poll();
  EXPECT_EQ(world.log.text(),
            crlf_lines({"Detected USB device labeled 'My USB Pen Drive' on E:\\",
                        "  executing script...backup \"E:\\\" \"My USB Pen Drive\" E", kIgnoring}));
  EXPECT_EQ(poll(), "") << "nothing changed: the pass ends before its walk";
  EXPECT_EQ(world.launcher.launched.size(), 1u);

  world.machine.plug("F:\\", "Second Pen Drive");
  poll();
  EXPECT_EQ(commands(world),
            (std::vector<std::string>{"backup \"E:\\\" \"My USB Pen Drive\" E",
                                      "backup \"E:\\\" \"My USB Pen Drive\" E", "sync F:\\"}))
      << "a change reruns every matching entry, also for the drive that stayed";

  world.machine.pull("E:\\");
  poll();
  EXPECT_EQ(commands(world).back(), "sync F:\\");
  EXPECT_EQ(world.launcher.launched.size(), 4u);

  world.machine.plug("E:\\", "My USB Pen Drive");
  poll();
  EXPECT_EQ(world.launcher.launched.size(), 6u) << "reinserting runs the entry again";
}

TEST_F(PollPass, ARelabelOrAnUnlabelledDriveChangesTheSnapshot) {
  world.machine.plug("E:\\", "Other");
  poll();
  EXPECT_TRUE(world.launcher.launched.empty());
  world.machine.relabel("E:\\", "My USB Pen Drive");
  poll();
  EXPECT_EQ(world.launcher.launched.size(), 1u);
  world.machine.plug("G:\\", std::nullopt);
  poll();
  EXPECT_EQ(world.launcher.launched.size(), 1u) << "an unreadable volume is not in the snapshot";
}

TEST_F(PollPass, EmptyingTheRememberedSnapshotActsOnEverythingPresent) {
  world.machine.plug("E:\\", "My USB Pen Drive");
  poll();
  world.context.last_drive_snapshot.clear();
  poll();
  EXPECT_EQ(world.launcher.launched.size(), 2u);
}

TEST_F(PollPass, LaunchesCarryTheDriveForTheEnvironment) {
  world.machine.plug("E:\\", "My USB Pen Drive");
  world.machine.set_location("E:\\", "/media/me/MY PEN", "/dev/sdb1");
  poll();
  ASSERT_EQ(world.launcher.launched.size(), 1u);
  const auto& request = world.launcher.launched[0];
  EXPECT_EQ(request.root, "E:\\");
  EXPECT_EQ(request.letter, "E");
  EXPECT_EQ(request.label, "My USB Pen Drive");
  EXPECT_EQ(request.mount_point, "/media/me/MY PEN");
  EXPECT_EQ(request.device, "/dev/sdb1");
}

TEST_F(PollPass, PlatformWarningsReachTheLogOnceAlsoWhenTheDrivesStayTheSame) {
  poll();
  world.machine.warnings = {"cannot save the drive letters in 'x': Read-only file system"};
  const auto expected =
      crlf_lines({"Warning: cannot save the drive letters in 'x': Read-only file system"});
  EXPECT_EQ(poll(), "");
  EXPECT_EQ(world.log.text(), expected);
  poll();
  EXPECT_EQ(world.log.text(), expected);
}

TEST_F(PollPass, AnyMatchesTheFirstDriveAndLogsItsOwnLabel) {
  world.store_script(crlf_lines({"label:(any)", "exec:show %2 %1"}));
  world.machine.plug("E:\\", "PEN");
  poll();
  EXPECT_EQ(commands(world), std::vector<std::string>{"show (any) C:\\"});
  EXPECT_NE(world.log.text().find("labeled '(any)' on C:\\"), std::string::npos);
}

TEST_F(PollPass, DrivesSharingALabelAreNotedAndOnlyTheFirstActs) {
  world.machine.plug("E:\\", "My USB Pen Drive");
  world.machine.plug("G:\\", "My USB Pen Drive");
  poll();
  EXPECT_EQ(world.log.text(),
            crlf_lines({"Detected USB device labeled 'My USB Pen Drive' on E:\\",
                        "  note: 2 drives are labelled 'My USB Pen Drive' (E:\\, G:\\); this "
                        "entry acts on E:\\ only",
                        "  executing script...backup \"E:\\\" \"My USB Pen Drive\" E", kIgnoring}));
  EXPECT_EQ(world.launcher.launched.size(), 1u);
}

TEST_F(PollPass, IgnoredDrivesAreNeverMatched) {
  world.store_script(crlf_lines({"ignore:c:\\,e:\\", "label:(any)", "exec:run %1"}));
  world.machine.plug("E:\\", "PEN");
  world.machine.plug("F:\\", "OTHER");
  poll();
  EXPECT_EQ(commands(world), std::vector<std::string>{"run F:\\"});

  world.store_script(crlf_lines({"ignore: c:\\, e:\\", "label:PEN", "exec:run %1"}));
  world.context.last_drive_snapshot.clear();
  poll();
  EXPECT_EQ(commands(world).back(), "run E:\\") << "a spaced item ignores nothing";
}

TEST_F(PollPass, AFailedLaunchIsLoggedAndTheWalkGoesOn) {
  world.store_script(
      crlf_lines({"label:PEN", "exec:missing-program %1", "label:PEN", "exec:second %1"}));
  world.launcher.failures["missing-program E:\\"] = "No such file or directory";
  world.machine.plug("E:\\", "PEN");
  const auto report = poll();
  EXPECT_EQ(world.log.text(), crlf_lines({"Detected USB device labeled 'PEN' on E:\\",
                                          "  executing script...missing-program E:\\",
                                          "  error: No such file or directory", kIgnoring,
                                          "Detected USB device labeled 'PEN' on E:\\",
                                          "  executing script...second E:\\", kIgnoring}));
  EXPECT_EQ(commands(world), std::vector<std::string>{"second E:\\"});
  EXPECT_NE(report.find("No such file or directory\r\n"), std::string::npos);
  EXPECT_NE(report.find("Validation complete"), std::string::npos);
}

TEST_F(PollPass, ABadEntryStopsThePassButTheSnapshotIsKept) {
  world.store_script(
      crlf_lines({"label:PEN", "exec:first", "label:see below", "label:PEN", "exec:never"}));
  world.machine.plug("E:\\", "PEN");
  poll();
  EXPECT_EQ(commands(world), std::vector<std::string>{"first"});
  EXPECT_NE(world.log.text().find("  error: 'exec' doesn't exist for one of your entries\r\n"),
            std::string::npos);
  const auto log_after_first = world.log.text();
  poll();
  EXPECT_EQ(world.log.text(), log_after_first) << "the snapshot was stored before the walk";
}

TEST_F(PollPass, BlankValuesStopThePass) {
  world.store_script(crlf_lines({"label:", "exec:x", "label:PEN", "exec:y"}));
  world.machine.plug("E:\\", "PEN");
  poll();
  EXPECT_TRUE(world.launcher.launched.empty());
  EXPECT_EQ(world.log.text(),
            crlf_lines({"  error: 'label' or 'exec' are blank, please check your script"}));
}

TEST_F(PollPass, AnEmptyScriptDoesNothingAndKeepsTheSnapshot) {
  world.store_script("");
  world.context.last_drive_snapshot = "remembered";
  EXPECT_EQ(poll(), "");
  EXPECT_EQ(world.context.last_drive_snapshot, "remembered");
  EXPECT_EQ(world.machine.listings, 0);
  EXPECT_EQ(world.log.text(), "");
}

TEST_F(PollPass, AScriptWithoutEntriesStillStoresTheSnapshot) {
  world.store_script("ignore:d:\\\r\n");
  poll();
  EXPECT_EQ(world.context.last_drive_snapshot, std::string("C:\\ SYSTEM\0", 11));
}

TEST_F(PollPass, TheLogIsCutBackBeforeADetectionWhenOverTheCap) {
  world.machine.plug("E:\\", "My USB Pen Drive");
  world.log.set_text(std::string(60001, 'x'));
  poll();
  EXPECT_EQ(world.log.text().rfind("Output cleared due to it's size getting too big!\r\n"
                                   "Detected USB device labeled 'My USB Pen Drive' on E:\\\r\n",
                                   0),
            0u);
}

TEST_F(PollPass, TheNewestDetectionIsBroughtIntoView) {
  // Records where the caret went and what the log held at that moment.
  struct Pane : kestrun::testing::MemoryPane {
    std::vector<std::pair<std::string, std::size_t>> carets;
    void set_selection_start(std::size_t position) override {
      MemoryPane::set_selection_start(position);
      carets.emplace_back(text(), position);
    }
  } log;
  modGeneral::Context context{world.machine, world.launcher, world.settings,
                              log,           world.run_item, {}};
  world.machine.plug("E:\\", "My USB Pen Drive");
  world.machine.plug("F:\\", "Second Pen Drive");
  log.set_text("Started...\r\n");
  run_detection(context, Mode::poll);
  ASSERT_EQ(log.carets.size(), 2u) << "once per detected drive";
  const std::string first =
      "Started...\r\nDetected USB device labeled 'My USB Pen Drive' on E:\\\r\n";
  EXPECT_EQ(log.carets[0].first, first);
  EXPECT_EQ(log.carets[0].second, first.size() - 1);
  EXPECT_EQ(log.selection_length(), 0u) << "later appends set the whole text again";
}

// Platform code that throws instead of answering: the pass must report it as
// a failure of its own, never let it out into a timer or button handler.
class ThrowingMachine : public kestrun::testing::FakeMachine {
 public:
  std::size_t logical_drive_strings(std::size_t length, char* buffer) override {
    if (listing_throws) throw std::runtime_error("the mount table went away");
    return FakeMachine::logical_drive_strings(length, buffer);
  }
  modGeneral::DriveLocation locate(std::string_view root) override {
    if (locate_throws > 0 && locate_throws-- > 0) throw std::runtime_error("no such mount");
    return FakeMachine::locate(root);
  }
  bool listing_throws = false;
  int locate_throws = 0;  // how many of the next calls throw
};

class ThrowingLauncher : public kestrun::testing::FakeLauncher {
 public:
  bool launch(const modGeneral::LaunchRequest& request, std::string* error) override {
    if (request.command == throws_for) throw std::bad_alloc();
    return FakeLauncher::launch(request, error);
  }
  std::string throws_for;
};

class ThrowingSettings : public kestrun::testing::MemorySettings {
 public:
  using MemorySettings::read;
  std::string read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view default_value) override {
    if (read_throws) throw std::runtime_error("settings unreadable");
    return MemorySettings::read(app, section, key, default_value);
  }
  bool read_throws = false;
};

class PassFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.plug("E:\\", "PEN");
    std::string ignored;
    settings.write(modGeneral::kAdvanced,
                   crlf_lines({"label:PEN", "exec:first %1", "menurun:m", "label:PEN",
                               "exec:second %1", "label:PEN", "exec:third %1"}),
                   &ignored);
  }

  ThrowingMachine machine;
  ThrowingLauncher launcher;
  ThrowingSettings settings;
  kestrun::testing::MemoryPane log;
  kestrun::testing::RecordingRunItem run_item;
  modGeneral::Context context{machine, launcher, settings, log, run_item, "remembered"};
};

TEST_F(PassFailures, AFailureBeforeTheWalkIsLoggedAndKeepsTheSnapshot) {
  machine.listing_throws = true;
  run_detection(context, Mode::poll);
  run_detection(context, Mode::menu);
  machine.listing_throws = false;
  settings.read_throws = true;
  EXPECT_EQ(run_detection(context, Mode::poll), "settings unreadable\r\n");
  EXPECT_EQ(log.text(),
            crlf_lines({"  error: the mount table went away", "  error: the mount table went away",
                        "  error: settings unreadable"}));
  EXPECT_EQ(context.last_drive_snapshot, "remembered")
      << "a pass that saw no drives must not make the next one rerun every entry";
  EXPECT_TRUE(launcher.launched.empty());
  EXPECT_EQ(run_item.caption, "");
}

TEST_F(PassFailures, AnOperationThatThrowsIsLoggedAndTheWalkGoesOn) {
  machine.locate_throws = 1;
  launcher.throws_for = "second E:\\";
  const auto report = run_detection(context, Mode::poll);
  const std::string detected = "Detected USB device labeled 'PEN' on E:\\";
  EXPECT_EQ(log.text(),
            crlf_lines({detected, "  error: no such mount", kIgnoring, detected,
                        "  executing script...second E:\\", "  error: std::bad_alloc", kIgnoring,
                        detected, "  executing script...third E:\\", kIgnoring}));
  EXPECT_EQ(commands_of(launcher), std::vector<std::string>{"third E:\\"});
  EXPECT_NE(report.find("no such mount\r\n"), std::string::npos);
  EXPECT_NE(report.find("Validation complete"), std::string::npos);

  machine.locate_throws = 1;
  run_detection(context, Mode::menu);
  EXPECT_EQ(log.text().substr(log.text().rfind("  error:")), "  error: no such mount\r\n");
}

class MenuPass : public ::testing::Test {
 protected:
  FakeWorld world;
};

TEST_F(MenuPass, OffersTheLastMatchingEntryAndLaunchesNothing) {
  world.store_script(
      crlf_lines({"label:PEN", "exec:a", "menurun:open %1 %3", "label:OTHER", "exec:b",
                  "menurun:show %2", "label:NONE", "exec:c", "menurun:never"}));
  world.machine.plug("E:\\", "PEN");
  world.machine.plug("F:\\", "OTHER");
  run_detection(world.context, Mode::menu);
  EXPECT_EQ(world.run_item.caption, "Run script for OTHER on F:\\");
  EXPECT_EQ(world.run_item.tag.command, "show OTHER");
  EXPECT_EQ(world.run_item.tag.root, "F:\\");
  EXPECT_TRUE(world.launcher.launched.empty());
  EXPECT_EQ(world.log.text(), "");
  EXPECT_EQ(world.context.last_drive_snapshot, "") << "menu passes never touch the snapshot";
}

TEST_F(MenuPass, EmptiesTheRunItemFirstAndOffersOnlyEntriesWithMenuCommands) {
  world.run_item.caption = "stale";
  world.run_item.tag.command = "stale";
  world.store_script(crlf_lines({"label:PEN", "exec:a", "menurun:open %1", "label:(any)", "exec:b",
                                 "label:OTHER", "menurun:m", "exec:c"}));
  run_detection(world.context, Mode::menu);
  EXPECT_EQ(world.run_item.caption, "");
  EXPECT_EQ(world.run_item.tag.command, "");

  world.machine.plug("E:\\", "PEN");
  run_detection(world.context, Mode::menu);
  EXPECT_EQ(world.run_item.caption, "Run script for PEN on E:\\")
      << "(any) matches too, but has no menu command of its own to offer";
  EXPECT_EQ(world.run_item.tag.command, "open E:\\");
}

TEST(ExecuteLogged, LogsTheCommandAndAFailureAfterIt) {
  FakeWorld world;
  world.log.set_text("Stopped.\r\n");
  world.launcher.failures["nope"] = "Permission denied";
  modGeneral::LaunchRequest request;
  request.command = "nope";
  EXPECT_EQ(modGeneral::execute_logged(world.context, request), "Permission denied");
  EXPECT_EQ(world.log.text(),
            crlf_lines({"Stopped.", "  executing script...nope", "  error: Permission denied"}));
}

}  // namespace
