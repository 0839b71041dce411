// SPDX-License-Identifier: MIT
// A dry poll pass: the commands a first pass would start, and nothing done.
#include <gtest/gtest.h>

#include "engine/modGeneral.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;

TEST(DryRun, GivesWhatAFirstPollPassWouldStartAndDoesNothing) {
  FakeWorld world;
  world.machine.plug("C:\\", "SYSTEM", modGeneral::kDriveFixed);
  world.machine.plug("E:\\", "PEN");
  world.machine.plug("F:\\", "PEN");
  world.machine.plug("G:\\", "CAM");
  world.store_script("stored");
  const auto script = crlf_lines({"ignore:g:\\", "label:PEN", "exec:a %1", "label:CAM", "exec:b",
                                  "label:(any)", "exec:c %2", "label:X", "label:PEN", "exec:d"});

  const auto requests = modGeneral::dry_poll_pass(world.machine, script);
  std::vector<std::string> started;
  for (const auto& request : requests) started.push_back(request.command + " @" + request.root);
  // The entry without an exec line stops the walk before the second PEN.
  EXPECT_EQ(started, (std::vector<std::string>{"a E:\\ @E:\\", "c (any) @C:\\"}));
  EXPECT_TRUE(world.launcher.launched.empty());
  EXPECT_EQ(world.log.text(), "");
  EXPECT_EQ(world.context.last_drive_snapshot, "");
}

}  // namespace
