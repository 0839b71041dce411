// SPDX-License-Identifier: MIT
// A launched command is followed to its end on the event loop, and its exit
// code reported once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "platform/windows/launcher.h"
#include "test_support_win.h"

namespace kestrun::platform {
namespace {

TEST(WindowsProcessWatch, ReportsTheExitCodeOfAFinishedCommandOnce) {
  int argc = 0;
  QCoreApplication application(argc, nullptr);
  testing::ScratchFolder folder;
  const std::string child = testing::stage_test_child(folder);
  WindowsLauncher launcher;
  std::vector<modGeneral::CommandOutcome> outcomes;
  launcher.on_finished([&outcomes](const modGeneral::LaunchRequest& request,
                                   const modGeneral::CommandOutcome& outcome) {
    EXPECT_EQ(request.label, "Stick");
    outcomes.push_back(outcome);
  });

  modGeneral::LaunchRequest request;
  request.command = child;  // without a report file it ends with code 2
  request.label = "Stick";
  std::string error;
  ASSERT_TRUE(launcher.launch(request, &error)) << error;

  const QDeadlineTimer deadline(20000);
  while (outcomes.empty() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  QCoreApplication::processEvents();
  ASSERT_EQ(outcomes.size(), 1U);
  EXPECT_FALSE(outcomes[0].signalled);
  EXPECT_EQ(outcomes[0].number, 2);
  EXPECT_GE(outcomes[0].seconds, 0.0);
}

}  // namespace
}  // namespace kestrun::platform
