// SPDX-License-Identifier: MIT
// Commands followed to their end with real processes, through the pidfd and
// through the polling the launcher falls back on without one.
#include "engine/outcomes.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <map>
#include <string>

#include "engine/detection.h"
#include "platform/linux/launcher.h"
#include "tests/fakes/fake_machine.h"
#include "tests/platform/linux/event_loop.h"
#include "tests/platform/linux/launch_record.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

using kestrun::testing::open_descriptors;
using modGeneral::CommandOutcome;
using modGeneral::LaunchRequest;

bool no_child_left() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class Outcomes : public ::testing::TestWithParam<ProcessWatch::Method> {
 protected:
  void SetUp() override {
    launcher.on_finished([this](const LaunchRequest& request, const CommandOutcome& outcome) {
      ended[request.label] = outcome;
    });
  }

  void start(const std::string& command, const std::string& label) {
    LaunchRequest request;
    request.command = command;
    request.label = label;
    request.root = "E:\\";
    std::string error;
    ASSERT_TRUE(launcher.launch(request, &error)) << error;
  }

  LinuxLauncher launcher{GetParam()};
  std::map<std::string, CommandOutcome> ended;
};

TEST_P(Outcomes, EachEndIsReportedWithItsCodeOrSignalAndItsDuration) {
  start("/bin/sh -c \"exit 0\"", "zero");
  start("/bin/sh -c \"exit 3\"", "three");
  start("/bin/sh -c \"kill -KILL $$\"", "killed");
  start("/bin/sh -c \"sleep 0.4\"", "slow");
  ASSERT_TRUE(testing::run_events_until([&] { return ended.size() == 4; }));

  EXPECT_FALSE(ended["zero"].signalled);
  EXPECT_EQ(ended["zero"].number, 0);
  EXPECT_FALSE(ended["three"].signalled);
  EXPECT_EQ(ended["three"].number, 3);
  EXPECT_TRUE(ended["killed"].signalled);
  EXPECT_EQ(ended["killed"].number, SIGKILL);
  EXPECT_EQ(ended["killed"].signal_name, "SIGKILL");
  EXPECT_GE(ended["slow"].seconds, 0.4);
  EXPECT_LT(ended["slow"].seconds, 10.0);
  EXPECT_TRUE(no_child_left());
}

TEST_P(Outcomes, ManyShortCommandsAtOnceLeaveNoZombieAndNoDescriptor) {
  const int descriptors = open_descriptors();
  constexpr int kCommands = 60;
  for (int i = 0; i < kCommands; ++i) start("/bin/true", std::to_string(i));
  ASSERT_TRUE(testing::run_events_until([&] { return ended.size() == kCommands; }));
  EXPECT_TRUE(no_child_left());
  EXPECT_EQ(open_descriptors(), descriptors);
}

TEST_P(Outcomes, ACommandThatOutlivesItsPassIsLoggedWhenItEnds) {
  kestrun::testing::FakeWorld world;
  modGeneral::Context context{world.machine, launcher,       world.settings,
                              world.log,     world.run_item, {}};
  launcher.on_finished([&](const LaunchRequest& request, const CommandOutcome& outcome) {
    modGeneral::command_finished(context, request, outcome);
  });
  world.machine.plug("E:\\", "PEN");
  world.store_script(testing::crlf_lines({"label:PEN", "exec:/bin/sh -c \"sleep 0.3; exit 3\""}));
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  const auto after_pass = world.log.text();
  EXPECT_EQ(after_pass.find("finished"), std::string::npos);

  ASSERT_TRUE(testing::run_events_until([&] { return world.log.text() != after_pass; }));
  const auto line = world.log.text().substr(after_pass.size());
  const std::string head = "  finished: 'PEN' on E:\\ with exit code 3 after ";
  ASSERT_TRUE(line.starts_with(head) && line.ends_with(" s\r\n")) << line;
  const auto seconds = line.substr(head.size(), line.size() - head.size() - 4);
  EXPECT_EQ(seconds.find('.'), seconds.size() - 2) << "one decimal: " << seconds;
  EXPECT_GE(std::stod(seconds), 0.3);
}

TEST_P(Outcomes, ACommandOutlivesItsLauncherUnharmedAndUnreported) {
  testing::TempTree tree;
  bool reported = false;
  {
    LinuxLauncher leaving(GetParam());
    leaving.on_finished([&](const LaunchRequest&, const CommandOutcome&) { reported = true; });
    LaunchRequest request;
    request.command =
        "/bin/sh -c \"sleep 0.3; exec " KESTRUN_ARGV_DUMP " " + tree.path("record") + "\"";
    std::string error;
    ASSERT_TRUE(leaving.launch(request, &error)) << error;
  }
  ASSERT_TRUE(testing::wait_for_record(tree.path("record")).has_value())
      << "the command was stopped with its launcher";
  // Still this test's child, which nothing follows any more: take it here.
  int status = -1;
  ASSERT_GT(waitpid(-1, &status, 0), 0);
  testing::run_events_until([] { return false; }, 100);
  EXPECT_FALSE(reported);
  EXPECT_TRUE(WIFEXITED(status));
}

INSTANTIATE_TEST_SUITE_P(Launcher, Outcomes,
                         ::testing::Values(ProcessWatch::Method::pidfd,
                                           ProcessWatch::Method::polling),
                         [](const auto& info) {
                           return info.param == ProcessWatch::Method::pidfd ? "pidfd" : "polling";
                         });

}  // namespace
}  // namespace kestrun::platform
