// SPDX-License-Identifier: MIT
// The reasoning behind --explain on a fake machine: which drives are left out
// and why, and each entry's fate.
#include "engine/explain.h"

#include <gtest/gtest.h>

#include "engine/detection.h"
#include "engine/drives.h"
#include "engine/script.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;
using modGeneral::DriveVerdict;
using modGeneral::EntryVerdict;

class Explain : public ::testing::Test {
 protected:
  modGeneral::Explanation explain(const std::string& script) {
    return modGeneral::explain(world.machine, world.launcher, script);
  }
  FakeWorld world;
};

TEST_F(Explain, TellsEachDrivesFateAndWhy) {
  world.machine.plug("C:\\", "", modGeneral::kDriveFixed);
  world.machine.plug("D:\\", "DVD", modGeneral::kDriveCdrom);
  world.machine.plug("E:\\", std::nullopt);
  world.machine.plug("G:\\", "PEN");
  const auto drives = explain(crlf_lines({"ignore:x,g:\\"})).drives;
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_EQ(drives[0].fate, DriveVerdict::Fate::matched);
  EXPECT_EQ(drives[0].label, "(no label)");
  EXPECT_EQ(drives[1].fate, DriveVerdict::Fate::wrong_type);
  EXPECT_EQ(drives[2].fate, DriveVerdict::Fate::unreadable);
  EXPECT_EQ(drives[3].fate, DriveVerdict::Fate::ignored);
  EXPECT_EQ(drives[3].ignore_item, "g:\\");
}

TEST_F(Explain, ALabelHoldingAnotherDrivesRecordDoesNotPutThatDriveInTheSnapshot) {
  world.machine.plug("D:\\", "FOO", modGeneral::kDriveCdrom);
  world.machine.plug("E:\\", "xD:\\ FOO");
  const auto drives = explain("").drives;
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].fate, DriveVerdict::Fate::wrong_type);
  EXPECT_EQ(drives[1].fate, DriveVerdict::Fate::matched);
}

TEST_F(Explain, AnEntryThatRunsGetsItsWordsAndEnvironmentAndNothingStarts) {
  world.machine.plug("D:\\", "MY PEN");
  world.machine.set_location("D:\\", "/media/me/MY PEN", "/dev/sdb1");
  world.machine.plug("G:\\", "MY PEN");
  const auto explanation = explain(crlf_lines({"label:MY PEN", "exec:backup %1 %3"}));
  ASSERT_EQ(explanation.entries.size(), 1u);
  const auto& entry = explanation.entries[0];
  EXPECT_EQ(entry.fate, EntryVerdict::Fate::runs);
  EXPECT_EQ(entry.roots, (std::vector<std::string>{"D:\\", "G:\\"}));
  EXPECT_EQ(entry.words, (std::vector<std::string>{"backup", "D:\\", "D"}));
  EXPECT_EQ(entry.request.mount_point, "/media/me/MY PEN");
  EXPECT_EQ(entry.request.device, "/dev/sdb1");
  EXPECT_TRUE(world.launcher.launched.empty());
  EXPECT_EQ(world.context.last_drive_snapshot, "");
  EXPECT_EQ(world.log.text(), "");
}

TEST_F(Explain, ALabelThatDiffersInCaseOrOuterSpacesOrIsLeftOutIsPointedOut) {
  world.machine.plug("E:\\", "camera");
  world.machine.plug("F:\\", " CAMERA ");
  world.machine.plug("G:\\", "CAMERA", modGeneral::kDriveRemote);
  world.machine.plug("H:\\", "CAMERA2");
  const auto explanation = explain(crlf_lines({"label:CAMERA", "exec:import"}));
  const auto& entry = explanation.entries.at(0);
  EXPECT_EQ(entry.fate, EntryVerdict::Fate::no_drive);
  ASSERT_EQ(entry.near_misses.size(), 3u);
  EXPECT_TRUE(entry.near_misses[0].case_differs && !entry.near_misses[0].spaces_differ);
  EXPECT_TRUE(!entry.near_misses[1].case_differs && entry.near_misses[1].spaces_differ);
  EXPECT_EQ(entry.near_misses[2].root, "G:\\");
  EXPECT_TRUE(entry.near_misses[2].left_out && !entry.near_misses[2].case_differs);

  world.machine.plug("K:\\",
                     "\xC3\xBC"
                     "ber \xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87");  // "über ключ"
  const auto beyond_ascii =
      explain(crlf_lines({"label:\xC3\x9C"
                          "BER \xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7",
                          "exec:open"}));  // "ÜBER КЛЮЧ"
  ASSERT_EQ(beyond_ascii.entries.at(0).near_misses.size(), 1u);
  EXPECT_TRUE(beyond_ascii.entries[0].near_misses[0].case_differs);
}

// The pass keeps its reading of these; the explanation says what it makes of them.
TEST_F(Explain, SpecialLabelsAndIgnoreItemsThatDoNotDoWhatTheySeemAreToldWhy) {
  world.machine.plug("C:\\", "", modGeneral::kDriveFixed);
  world.machine.plug("E:\\", "PEN");
  const auto explanation =
      explain(crlf_lines({"ignore:c:\\, e:\\,f:,g,E:\\", "label:(no label)", "exec:a",
                          "label:(any)", "exec:b", "label:(ANY)", "exec:c"}));
  EXPECT_EQ(explanation.idle_ignore_items, (std::vector<std::string>{" e:\\", "f:", "g"}));
  ASSERT_EQ(explanation.entries.size(), 3u);
  for (const auto& entry : explanation.entries) {
    EXPECT_EQ(entry.fate, EntryVerdict::Fate::no_drive) << entry.label;
  }
  const auto& no_label = explanation.entries[0].near_misses;
  ASSERT_EQ(no_label.size(), 1u);
  EXPECT_TRUE(no_label[0].root == "C:\\" && no_label[0].ignored);
  const auto& any = explanation.entries[1].near_misses;
  ASSERT_EQ(any.size(), 2u) << "every drive is ignored, the last by 'E:\\'";
  EXPECT_TRUE(any[0].ignored && any[1].root == "E:\\" && any[1].ignored);
  EXPECT_EQ(explanation.entries[2].special_label, modGeneral::kAnyLabel);
}

TEST_F(Explain, ACheckMessageStopsTheWalkAndLaterEntriesAreNotReached) {
  world.machine.plug("E:\\", "PEN");
  const auto explanation = explain(crlf_lines(
      {"label:PEN", "exec:first", "label:BROKEN", "label:PEN", "exec:never", "label:LAST"}));
  ASSERT_EQ(explanation.entries.size(), 4u);
  EXPECT_TRUE(explanation.stopped);
  EXPECT_EQ(explanation.entries[0].fate, EntryVerdict::Fate::runs);
  EXPECT_EQ(explanation.entries[1].fate, EntryVerdict::Fate::stops);
  EXPECT_EQ(explanation.entries[1].check_error, modGeneral::kExecMissingError);
  EXPECT_EQ(explanation.entries[2].fate, EntryVerdict::Fate::not_reached);
  EXPECT_EQ(explanation.entries[3].label, "LAST");
  EXPECT_EQ(explanation.entries[3].fate, EntryVerdict::Fate::not_reached);
}

// The editor's tooltips and --explain both stand on this: what explain()
// says runs is what a first poll pass starts, and nothing else.
TEST_F(Explain, WhatRunsIsWhatAFirstPollPassStarts) {
  world.machine.plug("C:\\", "SYSTEM", modGeneral::kDriveFixed);
  world.machine.plug("E:\\", "PEN");
  world.machine.plug("F:\\", "PEN");
  world.machine.plug("G:\\", "CAM");
  const auto script = crlf_lines({"ignore:g:\\", "label:PEN", "exec:a %1", "label:CAM", "exec:b",
                                  "label:(any)", "exec:c %2", "label:X", "label:PEN", "exec:d"});

  std::vector<std::string> explained;
  for (const auto& entry : explain(script).entries) {
    if (entry.fate == EntryVerdict::Fate::runs) {
      explained.push_back(entry.request.command + " @" + entry.request.root);
    }
  }
  EXPECT_TRUE(world.launcher.launched.empty());
  world.store_script(script);
  modGeneral::run_detection(world.context, modGeneral::Mode::poll);
  std::vector<std::string> started;
  for (const auto& request : world.launcher.launched) {
    started.push_back(request.command + " @" + request.root);
  }
  // The entry without an exec line stops the walk before the second PEN.
  EXPECT_EQ(started, (std::vector<std::string>{"a E:\\ @E:\\", "c (any) @C:\\"}));
  EXPECT_EQ(explained, started);
}

}  // namespace
