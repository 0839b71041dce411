// SPDX-License-Identifier: MIT
// Entries pinned to a volume on a fake machine: how "volume:" lines are read
// and validated, and what poll, menu and explain make of a stranger's drive
// that carries the entry's label.
#include <gtest/gtest.h>

#include "engine/detection.h"
#include "engine/explain.h"
#include "engine/outcomes.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;
using modGeneral::Mode;
using modGeneral::run_detection;

constexpr auto kIgnoring = "  now ignoring the device until it's reinserted (or app is restarted)";

class RecordingEvents : public modGeneral::EngineEvents {
 public:
  void stranger_volume(const modGeneral::StrangerVolume& stranger) override {
    strangers.push_back(stranger);
  }
  std::vector<modGeneral::StrangerVolume> strangers;
};

class VolumePins : public ::testing::Test {
 protected:
  void SetUp() override { world.context.events = &events; }
  std::string validate(const std::string& text) {
    return run_detection(world.context, Mode::validate, text);
  }
  // Two sticks labelled BACKUP: a stranger's in F:, the user's own in G:.
  void plug_two_backup_sticks() {
    world.machine.plug("F:\\", "BACKUP");
    world.machine.set_location("F:\\", "/media/f", "/dev/sdf1", "uuid:1111-2222");
    world.machine.plug("G:\\", "BACKUP");
    world.machine.set_location("G:\\", "/media/g", "/dev/sdg1", "uuid:2F1C-9A7B");
  }

  FakeWorld world;
  RecordingEvents events;
};

TEST_F(VolumePins, AValidPinIsReportedUnderTheExecuteLine) {
  EXPECT_EQ(validate(crlf_lines({"label:BACKUP", "exec:backup %1", "volume:uuid:2F1C-9A7B",
                                 "volume:uuid:0123456789abcdef", "menurun:m"})),
            crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=BACKUP",
                        "  execute=backup %1", "  volume=uuid:2F1C-9A7B",
                        "  volume=uuid:0123456789abcdef", "  menu run=m", "Entry seems okay", "",
                        "Validation complete", ""}));
}

TEST_F(VolumePins, ABlankOrMalformedPinFailsItsEntryNamingTheLine) {
  const std::string start = crlf_lines({"label:A", "exec:a", "label:BACKUP", "exec:b"});
  const std::string head = crlf_lines(
      {"Starting validation...", "", "Processing first entry...", "  label=A", "  execute=a",
       "Entry seems okay", "", "Processing first entry...", "  label=BACKUP", "  execute=b"});
  const std::string how =
      ": write the identity that --list-drives shows for the drive, such as uuid:2F1C-9A7B";
  EXPECT_EQ(validate(start + "volume:  \r\nlabel:C\r\nexec:c\r\n"),
            head + crlf_lines({"'volume:' on line 5 is blank" + how}));
  for (const auto* bad : {"2F1C-9A7B", "uuid:", "uuid:2F1C 9A7B", "uuid:-2F1C", "uuid:2F1C--9A7B",
                          "UUID:2F1C-9A7B", "uuid:2G1C-9A7B", "share:nas:/data"}) {
    EXPECT_EQ(validate(start + "volume:uuid:2F1C-9A7B\r\nvolume:" + bad),
              head + crlf_lines({"  volume=uuid:2F1C-9A7B",
                                 "'volume:' on line 6 holds no volume identity" + how}))
        << bad;
  }
  EXPECT_EQ(world.log.text().find("  error: 'volume:' on line 5 is blank"), 0u);

  // The pass stops there too: a pin it cannot read must not leave the entry
  // running on every stick with the label.
  plug_two_backup_sticks();
  world.store_script(start + "volume:uuid:2F1C-9A7B\r\nvolume:G:\\\r\n");
  run_detection(world.context, Mode::poll);
  EXPECT_TRUE(world.launcher.launched.empty());
  EXPECT_NE(world.log.text().find("  error: 'volume:' on line 6 holds no volume identity"),
            std::string::npos);
}

TEST_F(VolumePins, TheKeyCountsOnlyAtTheStartOfALineWithinItsEntry) {
  plug_two_backup_sticks();
  // Written before pins existed: the word in a command, an indented note and
  // a line above the first entry change nothing.
  const std::string legacy = crlf_lines(
      {"volume:uuid:2F1C-9A7B", "label:BACKUP", "exec:tool --volume:uuid:1 %1", " volume: loud"});
  EXPECT_EQ(validate(legacy), crlf_lines({"Starting validation...", "", "Processing first entry...",
                                          "  label=BACKUP", "  execute=tool --volume:uuid:1 %1",
                                          "Entry seems okay", "", "Validation complete", ""}));
  world.store_script(legacy);
  run_detection(world.context, Mode::poll);
  EXPECT_EQ(world.launcher.launched.size(), 1u);
  EXPECT_EQ(world.launcher.launched[0].root, "F:\\");

  // A pin after the next "label:" belongs to that entry alone.
  const auto report =
      validate(crlf_lines({"label:A", "exec:a", "label:B", "volume:uuid:2F1C-9A7B", "exec:b"}));
  EXPECT_NE(report.find("  label=B\r\n  execute=b\r\n  volume=uuid:2F1C-9A7B\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("  label=A\r\n  execute=a\r\nEntry seems okay"), std::string::npos);
}

TEST_F(VolumePins, APinnedEntryRunsOnItsOwnVolumeAndReportsTheStranger) {
  plug_two_backup_sticks();
  // The first drive with the label is the stranger's; hex digits match in
  // either case.
  world.store_script(
      crlf_lines({"label:BACKUP", "exec:backup %1", "menurun:open %1", "volume:uuid:2f1c-9a7b"}));
  run_detection(world.context, Mode::poll);
  EXPECT_EQ(world.log.text(),
            crlf_lines({"Detected USB device labeled 'BACKUP' on F:\\",
                        "  not run: 'BACKUP' on F:\\ is volume uuid:1111-2222, not the pinned "
                        "uuid:2f1c-9a7b",
                        "Detected USB device labeled 'BACKUP' on G:\\",
                        "  executing script...backup G:\\", kIgnoring}));
  ASSERT_EQ(world.launcher.launched.size(), 1u);
  EXPECT_EQ(world.launcher.launched[0].mount_point, "/media/g");
  ASSERT_EQ(events.strangers.size(), 1u);
  const auto notice = modGeneral::stranger_notice(events.strangers[0]);
  EXPECT_EQ(notice.title, "Unknown drive labelled 'BACKUP' on F:\\");
  EXPECT_EQ(notice.text,
            "It is volume uuid:1111-2222, not the pinned uuid:2f1c-9a7b: the entry did not run.");

  run_detection(world.context, Mode::menu);
  EXPECT_EQ(world.run_item.caption, "Run script for BACKUP on G:\\");

  // --explain says the same as the pass.
  const auto entry = modGeneral::explain(world.machine,
                                         "label:BACKUP\r\nexec:x\r\n"
                                         "volume:uuid:2F1C-9A7B\r\n")
                         .entries.at(0);
  EXPECT_EQ(entry.fate, modGeneral::EntryVerdict::Fate::runs);
  EXPECT_EQ(entry.roots, std::vector<std::string>{"G:\\"});
  ASSERT_EQ(entry.strangers.size(), 1u);
  EXPECT_EQ(entry.strangers[0].root, "F:\\");
}

TEST_F(VolumePins, AStrangerAloneRunsNothingAndItsIdentityIsEscaped) {
  world.machine.plug("F:\\", "BACKUP");
  world.machine.set_location("F:\\", "/media/f", "/dev/sdf1", "uuid:1\r\nDetected \x1b[2J");
  world.machine.plug("H:\\", "BACKUP");  // no identity known
  const std::string script =
      crlf_lines({"label:BACKUP", "exec:backup %1", "volume:uuid:2F1C-9A7B", "volume:uuid:AB-CD"});
  world.store_script(script);
  run_detection(world.context, Mode::poll);
  EXPECT_TRUE(world.launcher.launched.empty());
  EXPECT_EQ(world.log.text(),
            crlf_lines({"Detected USB device labeled 'BACKUP' on F:\\",
                        "  not run: 'BACKUP' on F:\\ is volume uuid:1\\r\\nDetected \\x1b[2J, not "
                        "the pinned uuid:2F1C-9A7B or uuid:AB-CD",
                        "Detected USB device labeled 'BACKUP' on H:\\",
                        "  not run: 'BACKUP' on H:\\ is a volume of unknown identity, not the "
                        "pinned uuid:2F1C-9A7B or uuid:AB-CD"}));
  EXPECT_EQ(events.strangers.size(), 2u);
  EXPECT_EQ(modGeneral::explain(world.machine, script).entries.at(0).fate,
            modGeneral::EntryVerdict::Fate::only_strangers);
}

}  // namespace
