// SPDX-License-Identifier: MIT
// Drive enumeration against a fake machine: the root list, labels, the snapshot
// and the editor's rows.
#include "engine/drives.h"

#include <gtest/gtest.h>

#include "engine/drive_records.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::FakeMachine;
using kestrun::testing::RecordingDriveList;
using modGeneral::kDriveCdrom;
using modGeneral::kDriveFixed;
using modGeneral::kDriveRamdisk;
using modGeneral::kDriveRemote;
using modGeneral::kDriveRemovable;
using modGeneral::kDriveUnknown;
using namespace std::string_literals;

TEST(DriveStrings, AreFourByteRecordsAndAFinalNul) {
  FakeMachine machine;
  machine.plug("C:\\", "SYSTEM", kDriveFixed);
  machine.plug("D:\\", std::nullopt, kDriveCdrom);
  machine.plug("E:\\", "PEN");
  const auto roots = modGeneral::get_drive_strings(machine);
  EXPECT_EQ(roots, "C:\\\0D:\\\0E:\\\0\0"s);
  EXPECT_EQ(roots.size(), 13u);
}

// Every reader of the two formats walks them through these, so a malformed
// list from the platform is read alike everywhere.
TEST(DriveRecords, ReadEmptyListsAndRecordsCutShortOrWithoutTheirNul) {
  const auto roots_of = [](std::string_view list) {
    std::vector<std::string> roots;
    for (const auto record : modGeneral::RootRecords(list)) roots.emplace_back(record.root());
    return roots;
  };
  EXPECT_TRUE(roots_of("").empty());
  EXPECT_EQ(roots_of("e:\\\0F:"s), (std::vector<std::string>{"e:\\", "F:"}));
  EXPECT_EQ(roots_of("E:\\\0\0F:\\\0\0"s), std::vector<std::string>{"E:\\"});
  EXPECT_EQ(modGeneral::RootRecords("E:\\\0\0F:\\\0\0"s).tail(), "\0F:\\\0\0"s);
  EXPECT_EQ(modGeneral::RootRecords("E:\\"s).tail(), "");

  const auto snapshot = "E:\\ PEN\0\0E:\\\0F:\\ CAM"s;
  std::vector<std::string> records;
  std::vector<std::string> labels;
  for (const auto record : modGeneral::SnapshotRecords(snapshot)) {
    records.emplace_back(record.text);
    labels.emplace_back(record.whole() ? record.label() : "-");
  }
  EXPECT_EQ(records, (std::vector<std::string>{"E:\\ PEN", "", "E:\\", "F:\\ CAM"}));
  EXPECT_EQ(labels, (std::vector<std::string>{"PEN", "-", "-", "CAM"}));
  const modGeneral::SnapshotRecords empty("");
  EXPECT_TRUE(empty.begin() == empty.end());
}

TEST(DriveStrings, AreEmptyWhenListingFailsOrThereAreNoDrives) {
  FakeMachine machine;
  EXPECT_EQ(modGeneral::get_drive_strings(machine).find_first_not_of('\0'), std::string::npos);
  machine.plug("E:\\", "PEN");
  machine.fail_listing(true);
  EXPECT_EQ(modGeneral::get_drive_strings(machine), "");
  EXPECT_EQ(modGeneral::get_labelled_drives(machine, ""), "");
}

// A drive that arrives between the sizing call and the real call.
class GrowingMachine : public FakeMachine {
 public:
  std::size_t logical_drive_strings(std::size_t length, char* buffer) override {
    if (length > 0 && !grown_) {
      grown_ = true;
      plug("F:\\", "LATE");
    }
    return FakeMachine::logical_drive_strings(length, buffer);
  }

 private:
  bool grown_ = false;
};

TEST(DriveStrings, ADriveArrivingMidListingIsNotReportedAsNoDrives) {
  GrowingMachine machine;
  machine.plug("E:\\", "PEN");
  EXPECT_EQ(modGeneral::get_drive_strings(machine), "E:\\\0F:\\\0\0"s);
}

TEST(VolumeInfo, KeepsTheLabelAsTheVolumeCarriesIt) {
  FakeMachine machine;
  machine.plug("E:\\", " My Pen ");
  machine.plug("F:\\", "");
  machine.plug("G:\\", "   ");
  machine.plug("H:\\", std::nullopt);
  machine.plug("I:\\", "AB\0CD"s);
  machine.plug("J:\\", "A label longer than thirteen characters");
  EXPECT_EQ(modGeneral::get_volume_info(machine, "E:\\"), " My Pen ");
  EXPECT_EQ(modGeneral::get_volume_info(machine, "F:\\"), "(no label)");
  EXPECT_EQ(modGeneral::get_volume_info(machine, "G:\\"), "(no label)");
  EXPECT_EQ(modGeneral::get_volume_info(machine, "H:\\").find_first_not_of(' '), std::string::npos)
      << "an unreadable volume gives a blank label";
  EXPECT_FALSE(modGeneral::get_volume_info(machine, "H:\\").empty());
  EXPECT_EQ(modGeneral::get_volume_info(machine, "I:\\"), "AB");
  EXPECT_EQ(modGeneral::get_volume_info(machine, "J:\\"), "A label longer than thirteen characters")
      << "long labels are read whole, not treated as unreadable";
  EXPECT_EQ(modGeneral::get_volume_info(machine, "Q:\\").find_first_not_of(' '), std::string::npos);
}

TEST(Snapshot, HoldsReadableRemovableAndFixedDrivesInListOrder) {
  FakeMachine machine;
  machine.plug("C:\\", "SYSTEM", kDriveFixed);
  machine.plug("D:\\", "DISC", kDriveCdrom);
  machine.plug("E:\\", "PEN");
  machine.plug("F:\\", "", kDriveRemovable);
  machine.plug("G:\\", std::nullopt);
  machine.plug("H:\\", "SHARE", kDriveRemote);
  machine.plug("I:\\", "RAM", kDriveRamdisk);
  machine.plug("J:\\", "ODD", kDriveUnknown);
  machine.plug("K:\\", " spaced ", kDriveFixed);
  machine.plug("L:\\", "Sixteen chars ok", kDriveRemovable);
  const auto roots = modGeneral::get_drive_strings(machine);
  EXPECT_EQ(modGeneral::get_labelled_drives(machine, roots),
            "C:\\ SYSTEM\0E:\\ PEN\0F:\\ (no label)\0K:\\  spaced \0L:\\ Sixteen chars ok\0"s);
}

TEST(Snapshot, ReadsTheVolumeBeforeTheTypeOfEveryRoot) {
  FakeMachine machine;
  machine.plug("A:\\", std::nullopt, kDriveRemovable);
  machine.plug("D:\\", "DISC", kDriveCdrom);
  const auto roots = modGeneral::get_drive_strings(machine);
  modGeneral::get_labelled_drives(machine, roots);
  EXPECT_EQ(machine.label_reads, 2);
  EXPECT_EQ(machine.type_reads, 1) << "an unreadable volume is never asked its type";
}

TEST(Snapshot, UpperCasesRootsAndStopsAtTheFirstEmptyRecord) {
  FakeMachine machine;
  machine.plug("e:\\", "PEN");
  machine.plug("f:\\", "OTHER");
  EXPECT_EQ(modGeneral::get_labelled_drives(machine, "e:\\\0\0f:\\\0\0"s), "E:\\ PEN\0"s);
  EXPECT_EQ(modGeneral::get_labelled_drives(machine, "e:\\\0f:\\"s), "E:\\ PEN\0F:\\ OTHER\0"s)
      << "a list cut short still gives its whole records";
}

TEST(DriveListRows, ShowLabelledDrivesOfAnyType) {
  FakeMachine machine;
  machine.plug("C:\\", "SYSTEM", kDriveFixed);
  machine.plug("D:\\", "DISC", kDriveCdrom);
  machine.plug("E:\\", "");
  machine.plug("F:\\", "(no label)");
  machine.plug("G:\\", "(No Label)");
  machine.plug("H:\\", std::nullopt);
  machine.plug("i:\\", " PEN ");
  RecordingDriveList list;
  list.rows = {"stale row"};
  modGeneral::fill_drive_list(machine, modGeneral::get_drive_strings(machine), list);
  EXPECT_EQ(list.rows, (std::vector<std::string>{"SYSTEM (C:\\)", "DISC (D:\\)",
                                                 "(No Label) (G:\\)", " PEN  (I:\\)"}));
  EXPECT_EQ(machine.type_reads, 0) << "the list never asks drive types";

  modGeneral::fill_drive_list(machine, "", list);
  EXPECT_TRUE(list.rows.empty());
}

TEST(FindDriveForLabel, MatchesExactlyOrTheFirstDriveForAny) {
  const auto snapshot = "C:\\ SYSTEM\0E:\\ PEN\0F:\\ (no label)\0G:\\ PEN\0"s;
  EXPECT_EQ(modGeneral::find_drive_for_label(snapshot, "PEN"), "E:\\ PEN");
  EXPECT_EQ(modGeneral::find_drive_for_label(snapshot, "pen"), "");
  EXPECT_EQ(modGeneral::find_drive_for_label(snapshot, "(any)"), "C:\\ SYSTEM");
  EXPECT_EQ(modGeneral::find_drive_for_label(snapshot, "(ANY)"), "");
  EXPECT_EQ(modGeneral::find_drive_for_label(snapshot, "(no label)"), "F:\\ (no label)");
  EXPECT_EQ(modGeneral::find_drive_for_label(snapshot, " PEN"), "");
  EXPECT_EQ(modGeneral::find_drive_for_label("", "(any)"), "");
  EXPECT_EQ(modGeneral::find_drive_for_label("E:\\ \0"s, "(no label)"), "E:\\ ");
}

TEST(IgnoreFilter, CutsWholeRecordsNamedExactly) {
  const auto roots = "C:\\\0D:\\\0E:\\\0G:\\\0\0"s;
  EXPECT_EQ(modGeneral::remove_ignored_roots(roots, "d:\\,e:\\,g:\\"), "C:\\\0\0"s);
  EXPECT_EQ(modGeneral::remove_ignored_roots(roots, "D:\\"), "C:\\\0E:\\\0G:\\\0\0"s);
  EXPECT_EQ(modGeneral::remove_ignored_roots(roots, "d:\\, e:\\, g:\\"), "C:\\\0E:\\\0G:\\\0\0"s)
      << "items keep their spaces and then name no root";
  EXPECT_EQ(modGeneral::remove_ignored_roots(roots, "d,e:,,d:\\x, "), roots);
  EXPECT_EQ(modGeneral::remove_ignored_roots(roots, "c:\\,d:\\,e:\\,g:\\"), "\0"s);
}

}  // namespace
