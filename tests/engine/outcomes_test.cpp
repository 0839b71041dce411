// SPDX-License-Identifier: MIT
// A started command's end: its log line, and which ends reach the desktop.
#include "engine/outcomes.h"

#include <gtest/gtest.h>

#include "engine/detection.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;
using modGeneral::CommandOutcome;

modGeneral::LaunchRequest pen() {
  modGeneral::LaunchRequest request;
  request.command = "backup E:\\";
  request.root = "E:\\";
  request.label = "MY PEN";
  return request;
}

const CommandOutcome kExit3{false, 3, "", 2.46};
const CommandOutcome kKilled{true, 9, "SIGKILL", 0.04};

TEST(CommandEnd, IsLoggedAsADetectionIsAndToldToTheEvents) {
  struct Events : modGeneral::EngineEvents {
    void command_finished(const modGeneral::LaunchRequest& request,
                          const CommandOutcome& outcome) override {
      heard.push_back(request.label + " " + std::to_string(outcome.number));
    }
    std::vector<std::string> heard;
  } events;
  FakeWorld world;
  world.context.events = &events;
  world.log.set_text(std::string(60001, 'x'));
  modGeneral::command_finished(world.context, pen(), kExit3);
  modGeneral::command_finished(world.context, pen(), kKilled);
  EXPECT_EQ(world.log.text(),
            crlf_lines({"Output cleared due to it's size getting too big!",
                        "  finished: 'MY PEN' on E:\\ with exit code 3 after 2.5 s",
                        "  finished: 'MY PEN' on E:\\ ended by signal 9 (SIGKILL) after 0.0 s"}));
  EXPECT_EQ(world.log.selection_length(), 1u) << "the newest line is brought into view";
  EXPECT_EQ(events.heard, (std::vector<std::string>{"MY PEN 3", "MY PEN 9"}));
}

TEST(CommandEnd, OnlyFailuresAndLongSuccessesReachTheDesktop) {
  EXPECT_FALSE(modGeneral::finished_notice(pen(), {false, 0, "", 9.9}));

  const auto long_success = modGeneral::finished_notice(pen(), {false, 0, "", 12.0});
  ASSERT_TRUE(long_success);
  EXPECT_EQ(long_success->title, "The command for 'MY PEN' on E:\\ finished");
  EXPECT_EQ(long_success->text, "Ran for 12.0 s");

  const auto failed = modGeneral::finished_notice(pen(), kExit3);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->title, "The command for 'MY PEN' on E:\\ failed");
  EXPECT_EQ(failed->text, "Exit code 3 after 2.5 s");
  EXPECT_EQ(modGeneral::finished_notice(pen(), kKilled)->text,
            "Ended by signal 9 (SIGKILL) after 0.0 s");

  const auto not_started = modGeneral::not_started_notice(pen(), "No such file or directory");
  EXPECT_EQ(not_started.title, "Could not run the command for 'MY PEN' on E:\\");
  EXPECT_EQ(not_started.text, "No such file or directory");
}

TEST(CommandEnd, AFailedStartIsToldToTheEvents) {
  struct Events : modGeneral::EngineEvents {
    void command_not_started(const modGeneral::LaunchRequest& request,
                             const std::string& reason) override {
      heard = request.command + ": " + reason;
    }
    std::string heard;
  } events;
  FakeWorld world;
  world.context.events = &events;
  world.launcher.failures["backup E:\\"] = "Permission denied";
  modGeneral::execute_logged(world.context, pen());
  EXPECT_EQ(events.heard, "backup E:\\: Permission denied");
}

}  // namespace
