// SPDX-License-Identifier: MIT
// What a started command inherits from Kestrun: default signal handling, an
// empty signal mask and no descriptor beyond the standard three. Also built
// with close_range failing, to cover the kernels and seccomp profiles where it
// does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "platform/linux/launcher.h"
#include "tests/platform/linux/launch_record.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

TEST(WhatACommandInherits, DefaultSignalsAnEmptyMaskAndNoStrayDescriptor) {
  testing::TempTree tree;
  // As if Kestrun itself had been started with these: ignored under nohup or
  // by a careless parent, blocked, and a descriptor without close-on-exec.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction saved[3]{};
  const int ignored[3] = {SIGHUP, SIGCHLD, SIGUSR2};
  for (int i = 0; i < 3; ++i) sigaction(ignored[i], &ignore, &saved[i]);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  sigaddset(&blocked, SIGTERM);
  sigset_t saved_mask;
  pthread_sigmask(SIG_BLOCK, &blocked, &saved_mask);
  const int stray = open("/dev/null", O_RDONLY);
  ASSERT_GE(stray, 3);

  LinuxLauncher launcher;
  modGeneral::LaunchRequest request;
  request.command = "\"" KESTRUN_ARGV_DUMP "\" " + tree.path("record");
  std::string error;
  const bool started = launcher.launch(request, &error);
  const auto record = testing::wait_for_record(tree.path("record"));
  close(stray);
  pthread_sigmask(SIG_SETMASK, &saved_mask, nullptr);
  for (int i = 0; i < 3; ++i) sigaction(ignored[i], &saved[i], nullptr);

  ASSERT_TRUE(started) << error;
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->ignored, std::vector<std::string>{});
  EXPECT_EQ(record->blocked, std::vector<std::string>{});
  EXPECT_EQ(record->descriptors, std::vector<std::string>{});
}

}  // namespace
}  // namespace kestrun::platform
