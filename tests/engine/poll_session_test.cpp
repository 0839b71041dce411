// SPDX-License-Identifier: MIT
// A session's passes for the system's word that volumes came or went: one per
// settled burst, a removal seen, nothing while stopped.
#include "engine/poll_session.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using modGeneral::PollSession;

class FakeTimers : public modGeneral::SessionTimers {
 public:
  void start_ticking() override { ticking = true; }
  void stop_ticking() override { ticking = false; }
  void start_settle(std::chrono::milliseconds wait) override { settle = wait; }
  void stop_settle() override { settle.reset(); }

  bool ticking = false;
  std::optional<std::chrono::milliseconds> settle;
};

class Session : public ::testing::Test {
 protected:
  Session() {
    world.store_script(crlf_lines({"label:PEN", "exec:backup %1", "label:DATA", "exec:sync %1"}));
  }

  // The system's word, as the platform passes it on.
  void volumes_change() {
    if (watch.held) {
      watch.kept = true;
    } else {
      session.volumes_changed();
    }
  }
  // The settle that runs now comes to its end.
  void settle() {
    ASSERT_EQ(timers.settle, PollSession::kSettle);
    timers.settle.reset();
    session.settled();
  }
  std::size_t runs() const { return world.launcher.launched.size(); }

  kestrun::testing::FakeWorld world;
  FakeTimers timers;
  kestrun::testing::FakeVolumeWatch watch;
  PollSession session{world.context, timers, &watch};
};

TEST_F(Session, TheVolumesOfOneStickRunEachEntryOnceAfterTheyHaveSettled) {
  session.start("10");
  world.machine.plug("E:\\", "PEN");
  volumes_change();
  world.machine.plug("F:\\", "DATA");  // the stick's second volume, 50 ms later
  volumes_change();
  EXPECT_EQ(runs(), 0u) << "nothing runs before the system is quiet";
  settle();
  EXPECT_EQ(runs(), 0u) << "the second volume came during the settle";
  settle();
  ASSERT_EQ(runs(), 2u);
  EXPECT_EQ(world.launcher.launched[0].command, "backup E:\\");
  EXPECT_EQ(world.launcher.launched[1].command, "sync F:\\");
  EXPECT_FALSE(watch.held);
  EXPECT_FALSE(timers.settle);
}

TEST_F(Session, AStickPutBackWithinOneIntervalRunsItsEntryAgain) {
  world.machine.plug("E:\\", "PEN");
  session.start("10");
  world.machine.pull("E:\\");
  volumes_change();
  settle();
  world.machine.plug("E:\\", "PEN");
  volumes_change();
  settle();
  EXPECT_EQ(runs(), 2u);
}

TEST_F(Session, AStormThatNeverQuietsGetsAPassEveryFewSettles) {
  session.start("10");
  const int one_pass = world.machine.listings;
  volumes_change();
  for (int settles = 0; settles < 3 * PollSession::kMostSettles; ++settles) {
    watch.kept = true;  // mounts all through the settle
    settle();
    if (!watch.held) volumes_change();
  }
  EXPECT_EQ(world.machine.listings, 4 * one_pass) << "Start's pass and one per five settles";
  EXPECT_EQ(runs(), 0u);
}

TEST_F(Session, ATickDueWhileABurstSettlesLeavesItsPassToTheSettle) {
  session.start("1");
  world.machine.plug("E:\\", "PEN");
  volumes_change();
  EXPECT_TRUE(session.tick("1").run_pass);
  EXPECT_EQ(runs(), 0u);
  settle();
  EXPECT_EQ(runs(), 1u);
}

TEST_F(Session, OnlyAStartedSessionHearsTheSystem) {
  EXPECT_TRUE(watch.held);
  world.machine.plug("E:\\", "PEN");
  volumes_change();
  EXPECT_FALSE(timers.settle);

  session.start("10");
  EXPECT_TRUE(timers.ticking);
  EXPECT_FALSE(watch.held);
  EXPECT_FALSE(watch.kept) << "what came before Start, Start's own pass saw";
  world.machine.pull("E:\\");
  volumes_change();
  session.stop();
  EXPECT_FALSE(timers.ticking);
  EXPECT_FALSE(timers.settle);
  EXPECT_TRUE(watch.held);
  world.machine.plug("E:\\", "PEN");
  session.settled();  // a settle timer that had already fired
  EXPECT_EQ(runs(), 1u);
  EXPECT_EQ(world.log.text(), crlf_lines({"Started...", "Detected USB device labeled 'PEN' on E:\\",
                                          "  executing script...backup E:\\",
                                          "  now ignoring the device until it's reinserted (or "
                                          "app is restarted)",
                                          "Stopped."}));
}

}  // namespace
