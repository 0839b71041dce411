// SPDX-License-Identifier: MIT
// Which unmounted filesystems the script lets Kestrun mount.
#include "engine/mount_targets.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using modGeneral::mount_targets;
using modGeneral::names_volume;

TEST(MountTargets, OnlyLabelsAndVolumesThatEntriesNameAndNoneBeyondABrokenEntry) {
  const auto targets =
      mount_targets(crlf_lines({"label:(any)", "exec:a", "label:(no label)", "exec:n",
                                "label:BACKUP", "exec:b", "label:PHOTOS", "volume:uuid:2F1C-9A7B",
                                "exec:p", "label:BROKEN", "label:LATER", "exec:l"}));
  // The special labels would have every filesystem, or every unlabelled one, mounted.
  EXPECT_FALSE(names_volume(targets, "(any)", ""));
  EXPECT_FALSE(names_volume(targets, "(no label)", ""));
  EXPECT_TRUE(names_volume(targets, "BACKUP", ""));
  EXPECT_FALSE(names_volume(targets, "backup", ""));
  EXPECT_TRUE(names_volume(targets, "PHOTOS", "uuid:2f1c-9a7b"));
  EXPECT_FALSE(names_volume(targets, "PHOTOS", "uuid:1111-2222"));
  EXPECT_FALSE(names_volume(targets, "PHOTOS", ""));
  // A pass stops at the entry without exec:, so nothing after it runs either.
  EXPECT_FALSE(names_volume(targets, "LATER", ""));
}

}  // namespace
