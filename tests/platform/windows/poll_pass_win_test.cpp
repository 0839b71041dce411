// SPDX-License-Identifier: MIT
// The engine over the Windows layer: the fixture's drives as the engine sees
// them, and a whole poll pass that reads the registry and starts processes.
#include <gtest/gtest.h>

#include "engine/detection.h"
#include "engine/drives.h"
#include "fixture_drives.h"
#include "platform/windows/drives.h"
#include "platform/windows/launcher.h"
#include "platform/windows/registry_store.h"
#include "platform/windows/text.h"
#include "test_support_win.h"
#include "tests/fakes/fake_machine.h"

namespace kestrun::platform {
namespace {

using namespace std::string_literals;

TEST(EngineOnWindows, SnapshotsTheReadableRemovableAndFixedDrives) {
  WindowsDriveApi drives;
  EXPECT_EQ(modGeneral::get_labelled_drives(drives, modGeneral::get_drive_strings(drives)),
            "C:\\ (no label)\0"
            "D:\\ Überstick Ключ\0"
            "E:\\ THIRTEEN CHRS\0"
            "F:\\ FOURTEEN CHARS\0"
            "G:\\ TWENTY CHARACTERS XY\0"
            "K:\\ (no label)\0"
            "L:\\   LEADING SPACES\0"s);
}

TEST(EngineOnWindows, ListsEveryLabelledDriveForTheEditor) {
  WindowsDriveApi drives;
  testing::RecordingDriveList list;
  modGeneral::fill_drive_list(drives, modGeneral::get_drive_strings(drives), list);
  EXPECT_EQ(list.rows, (std::vector<std::string>{
                           "Überstick Ключ (D:\\)",
                           "THIRTEEN CHRS (E:\\)",
                           "FOURTEEN CHARS (F:\\)",
                           "TWENTY CHARACTERS XY (G:\\)",
                           "DISC (H:\\)",
                           "SHARE (I:\\)",
                           "RAM DISK (J:\\)",
                           "  LEADING SPACES (L:\\)",
                       }));
}

class PollPassOnWindows : public ::testing::Test {
 protected:
  void SetUp() override { remove_settings(); }
  void TearDown() override { remove_settings(); }
  static void remove_settings() {
    testing::remove_registry_settings(modGeneral::kAppName, modGeneral::kSettingsSection);
  }

  testing::ScratchFolder folder;
  std::string child = testing::stage_test_child(folder);
  WindowsDriveApi drives;
  WindowsLauncher launcher;
  RegistryStore settings;
  testing::MemoryPane log;
  testing::RecordingRunItem run_item;
  modGeneral::Context context{drives, launcher, settings, log, run_item, {}};
};

TEST_F(PollPassOnWindows, StartsTheCommandsOfThePresentDrivesWithTheirPlaceholdersFilledIn) {
  const std::string first = folder.file("first.txt");
  const std::string second = folder.file("second.txt");
  const std::string missing = "\"" + folder.file("missing.exe") + "\"";
  const std::string script = testing::crlf_lines({
      "label:THIRTEEN CHRS",
      "exec:" + child + " \"" + first + "\" %1 \"%2\" %3",
      "label:NOT PLUGGED IN",
      "exec:" + child + " \"" + folder.file("never.txt") + "\"",
      "label:FOURTEEN CHARS",
      "exec:" + missing,
      "label:Überstick Ключ",
      "exec:" + child + " \"" + second + "\" \"%2\" %3",
  });
  std::string error;
  ASSERT_TRUE(settings.write(modGeneral::kAdvanced, script, &error)) << error;

  modGeneral::run_detection(context, modGeneral::Mode::poll);

  const auto first_seen = testing::wait_for_report(first);
  ASSERT_TRUE(first_seen);
  EXPECT_EQ(first_seen->args, (std::vector<std::string>{"E:\\", "THIRTEEN CHRS", "E"}));
  EXPECT_EQ(first_seen->variables.at("KESTRUN_DRIVE"), "E:\\");
  EXPECT_EQ(first_seen->variables.at("KESTRUN_LABEL"), "THIRTEEN CHRS");
  const auto second_seen = testing::wait_for_report(second);
  ASSERT_TRUE(second_seen);
  EXPECT_EQ(second_seen->args, (std::vector<std::string>{"Überstick Ключ", "D"}));

  const std::string launched_first = child + " \"" + first + "\" E:\\ \"THIRTEEN CHRS\" E";
  const std::string launched_second = child + " \"" + second + "\" \"Überstick Ключ\" D";
  EXPECT_EQ(log.text(), testing::crlf_lines({
                            "Detected USB device labeled 'THIRTEEN CHRS' on E:\\",
                            "  executing script..." + launched_first,
                            "  now ignoring the device until it's reinserted (or app is restarted)",
                            "Detected USB device labeled 'FOURTEEN CHARS' on F:\\",
                            "  executing script..." + missing,
                            "  error: " + system_error_text(testing::kErrorFileNotFound),
                            "  now ignoring the device until it's reinserted (or app is restarted)",
                            "Detected USB device labeled 'Überstick Ключ' on D:\\",
                            "  executing script..." + launched_second,
                            "  now ignoring the device until it's reinserted (or app is restarted)",
                        }));

  // The drives stay as they are, so the next pass leaves them alone.
  const std::string before = log.text();
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  EXPECT_EQ(log.text(), before);
}

// E:'s serial reads as a FAT stick's serial does on Linux, so an entry
// pinned there runs here; F: is pinned to a serial it does not have.
TEST(EngineOnWindows, APinnedEntryRunsOnlyOnTheDriveWithItsSerial) {
  WindowsDriveApi drives;
  EXPECT_EQ(drives.locate("E:\\").identity, testing::kSerialIdentity);
  testing::FakeLauncher launcher;
  testing::MemorySettings settings;
  testing::MemoryPane log;
  testing::RecordingRunItem run_item;
  modGeneral::Context context{drives, launcher, settings, log, run_item, {}};
  std::string error;
  ASSERT_TRUE(settings.write(
      modGeneral::kAdvanced,
      testing::crlf_lines({"label:THIRTEEN CHRS", "exec:own %1",
                           "volume:" + testing::kSerialIdentity, "label:FOURTEEN CHARS",
                           "exec:never %1", "volume:" + testing::kSerialIdentity}),
      &error));
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  ASSERT_EQ(launcher.launched.size(), 1u) << log.text();
  EXPECT_EQ(launcher.launched[0].command, "own E:\\");
  EXPECT_NE(log.text().find("  not run: 'FOURTEEN CHARS' on F:\\ is volume uuid:"),
            std::string::npos)
      << log.text();
}

}  // namespace
}  // namespace kestrun::platform
