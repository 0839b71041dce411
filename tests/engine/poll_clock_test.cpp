// SPDX-License-Identifier: MIT
// The tick rule: passes one interval apart, a countdown that never goes below
// zero, and intervals that the tick count cannot equal exactly.
#include "engine/poll_clock.h"

#include <gtest/gtest.h>

namespace {

using modGeneral::PollClock;

std::vector<std::string> countdowns(PollClock& clock, std::string_view interval, int ticks,
                                    std::vector<int>* passes = nullptr) {
  std::vector<std::string> shown;
  for (int i = 1; i <= ticks; ++i) {
    const auto tick = clock.tick(interval);
    shown.push_back(tick.countdown);
    if (tick.run_pass && passes != nullptr) passes->push_back(i);
  }
  return shown;
}

TEST(PollClock, AWholeIntervalCountsDownToZeroAndPolls) {
  PollClock clock;
  std::vector<int> passes;
  const auto shown = countdowns(clock, "10", 20, &passes);
  EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + 11),
            (std::vector<std::string>{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0", "9"}));
  EXPECT_EQ(passes, (std::vector<int>{10, 20}));
}

TEST(PollClock, ALoweredIntervalPollsAtTheNextTickInsteadOfNever) {
  PollClock clock;
  countdowns(clock, "10", 6);
  const auto tick = clock.tick("3");
  EXPECT_TRUE(tick.run_pass);
  EXPECT_EQ(tick.countdown, "0");
  EXPECT_EQ(countdowns(clock, "3", 3), (std::vector<std::string>{"2", "1", "0"}))
      << "the count starts again after the pass";
}

TEST(PollClock, FractionsZeroAndNegativeIntervalsStillPoll) {
  PollClock clock;
  std::vector<int> passes;
  EXPECT_EQ(countdowns(clock, "2.5", 6, &passes),
            (std::vector<std::string>{"1.5", "0.5", "0", "1.5", "0.5", "0"}));
  EXPECT_EQ(passes, (std::vector<int>{3, 6}));

  passes.clear();
  clock.reset();
  EXPECT_EQ(countdowns(clock, "0", 2, &passes), (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(passes, (std::vector<int>{1, 2}));
  passes.clear();
  countdowns(clock, "-4", 2, &passes);
  EXPECT_EQ(passes, (std::vector<int>{1, 2}));
}

TEST(PollClock, ANonNumberRunsNoPassAndShowsNoCountdown) {
  PollClock clock;
  for (const auto* text : {"", "abc", "10s", "1e3", "inf", "nan", "1,5", "--1"}) {
    const auto tick = clock.tick(text);
    EXPECT_FALSE(tick.run_pass) << text;
    EXPECT_EQ(tick.countdown, "") << text;
  }
  // The count went on meanwhile, so a number typed now polls at once.
  EXPECT_TRUE(clock.tick(" 5 ").run_pass);
}

// A stored interval has no box that shows a countdown, and no one stores a
// zero to poll every second: only a positive number is polled by.
TEST(PollClock, AClockOfTheStoredIntervalPollsByPositiveNumbersOnly) {
  PollClock clock(modGeneral::IntervalRule::positive);
  for (const auto* text : {"0", "-4", "abc"}) {
    const auto tick = clock.tick(text);
    EXPECT_FALSE(tick.run_pass) << text;
    EXPECT_EQ(tick.countdown, "") << text;
  }
  EXPECT_EQ(clock.note_interval("-4"),
            "Interval '-4' is not a positive number: only drives that come or go start a pass "
            "until it is a positive number of seconds");
  EXPECT_EQ(clock.note_interval("0.5"), "");
  EXPECT_TRUE(clock.tick("0.5").run_pass);
}

TEST(PollClock, ParsesDecimalTextOnly) {
  EXPECT_EQ(modGeneral::parse_interval("10"), 10.0);
  EXPECT_EQ(modGeneral::parse_interval(" +7.25 "), 7.25);
  EXPECT_EQ(modGeneral::parse_interval("-3"), -3.0);
  EXPECT_FALSE(modGeneral::parse_interval("0x10"));
  EXPECT_EQ(modGeneral::countdown_text(9.0), "9");
  EXPECT_EQ(modGeneral::countdown_text(9.5), "9.5");
  EXPECT_EQ(modGeneral::countdown_text(-0.0), "0");
}

TEST(PollClock, LargeCountdownsAreWrittenOutWithoutAnExponent) {
  EXPECT_EQ(modGeneral::countdown_text(1e5), "100000");
  EXPECT_EQ(modGeneral::countdown_text(2e5 + 0.5), "200000.5");
  EXPECT_EQ(modGeneral::countdown_text(1e20), "100000000000000000000");
  const auto largest = modGeneral::countdown_text(1.7976931348623157e308);
  EXPECT_EQ(largest.size(), 309u);
  EXPECT_EQ(largest.find_first_not_of("0123456789"), std::string::npos);
}

TEST(PollClock, ANonNumberIsToldOnceUntilItChangesOrPollingStartsAgain) {
  PollClock clock;
  const std::string told =
      "Interval 'abc' is not a number: only drives that come or go start a pass until it is a "
      "positive number of seconds";
  EXPECT_EQ(clock.note_interval("abc"), told);
  EXPECT_EQ(clock.note_interval("abc"), "");
  EXPECT_EQ(clock.note_interval("").substr(0, 30), "Interval '' is not a number: o");
  EXPECT_EQ(clock.note_interval("10"), "");
  EXPECT_EQ(clock.note_interval("abc"), told);
  clock.reset();
  EXPECT_EQ(clock.note_interval("abc"), told);
  // A line of its own whatever the stored text holds.
  EXPECT_EQ(clock.note_interval("1\r\nlabel:x").find_first_of("\r\n"), std::string::npos);
}

}  // namespace
