// SPDX-License-Identifier: MIT
// The drive API against Wine's kernel32 and the drives of the test prefix.
#include <gtest/gtest.h>

#include <string>

#include "fixture_drives.h"
#include "platform/windows/drives.h"

namespace kestrun::platform {
namespace {

using testing::kFixtureDrives;
using testing::kGoneRoot;

std::string fixture_root_list() {
  std::string roots;
  for (const auto& drive : kFixtureDrives) roots += drive.root + '\0';
  return roots + kGoneRoot + '\0' + '\0';
}

TEST(WindowsDrives, ListsEveryRootAfterASizingCall) {
  WindowsDriveApi api;
  const std::string expected = fixture_root_list();
  const std::size_t needed = api.logical_drive_strings(0, nullptr);
  ASSERT_EQ(needed, expected.size());

  std::string buffer(needed, 'x');
  EXPECT_EQ(api.logical_drive_strings(needed, buffer.data()), needed - 1);
  EXPECT_EQ(buffer, expected);
}

TEST(WindowsDrives, ABufferTooSmallIsLeftAloneAndTheSizeIsGiven) {
  WindowsDriveApi api;
  const std::size_t needed = fixture_root_list().size();
  std::string buffer(needed - 1, 'x');
  EXPECT_EQ(api.logical_drive_strings(buffer.size(), buffer.data()), needed);
  EXPECT_EQ(buffer, std::string(needed - 1, 'x'));
}

TEST(WindowsDrives, ReadsWholeLabelsAsUtf8) {
  WindowsDriveApi api;
  for (const auto& drive : kFixtureDrives) {
    SCOPED_TRACE(drive.root);
    EXPECT_EQ(api.volume_label(drive.root), drive.label);
  }
}

TEST(WindowsDrives, ReadsLowerCaseRootsToo) {
  WindowsDriveApi api;
  EXPECT_EQ(api.volume_label("e:\\"), "THIRTEEN CHRS");
  EXPECT_EQ(api.drive_type("e:\\"), modGeneral::kDriveRemovable);
}

TEST(WindowsDrives, ReportsEachDriveType) {
  WindowsDriveApi api;
  for (const auto& drive : kFixtureDrives) {
    SCOPED_TRACE(drive.root);
    EXPECT_EQ(api.drive_type(drive.root), drive.type);
  }
  EXPECT_EQ(api.drive_type(kGoneRoot), modGeneral::kDriveNoRootDir);
}

TEST(WindowsDrives, ARootThatDoesNotExistCannotBeRead) {
  WindowsDriveApi api;
  EXPECT_EQ(api.volume_label("Q:\\"), std::nullopt);
  EXPECT_EQ(api.drive_type("Q:\\"), modGeneral::kDriveNoRootDir);
}

}  // namespace
}  // namespace kestrun::platform
