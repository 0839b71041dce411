// SPDX-License-Identifier: MIT
// Sizes a hand-kept script and a long-running headless log can reach: a
// 1 MB script validates and polls correctly and quickly, and a log that keeps
// passing its cap stays bounded in memory while its stream loses no line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "cli/stream_pane.h"
#include "engine/action_log.h"
#include "engine/detection.h"
#include "tests/fakes/fake_machine.h"

namespace {

using Clock = std::chrono::steady_clock;
using kestrun::testing::FakeWorld;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t found = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
  return found;
}

// Entries "label:Drive N" / "exec:backup %1 N" / "menurun:open N" up to 1 MB.
std::string megabyte_script(int* entries) {
  std::string script = "ignore:z:\\\r\n";
  *entries = 0;
  while (script.size() < 1024 * 1024) {
    const auto n = std::to_string((*entries)++);
    script += "label:Drive " + n + "\r\nexec:backup %1 " + n + "\r\nmenurun:open " + n + "\r\n";
  }
  return script;
}

TEST(BigInput, AMegabyteScriptValidatesAndPollsCorrectlyAndQuickly) {
  int entries = 0;
  const auto script = megabyte_script(&entries);
  FakeWorld world;

  auto start = Clock::now();
  const auto report = modGeneral::run_detection(world.context, modGeneral::Mode::validate, script);
  const double validate_ms = milliseconds_since(start);
  EXPECT_EQ(count(report, "Entry seems okay\r\n"), static_cast<std::size_t>(entries));
  EXPECT_TRUE(report.ends_with("Validation complete\r\n\r\n"));

  const auto last = std::to_string(entries - 1);
  world.machine.plug("E:\\", "Drive " + last);
  world.store_script(script);
  start = Clock::now();
  modGeneral::run_detection(world.context, modGeneral::Mode::poll);
  const double poll_ms = milliseconds_since(start);
  ASSERT_EQ(world.launcher.launched.size(), 1u);
  EXPECT_EQ(world.launcher.launched[0].command, "backup E:\\ " + last);

  start = Clock::now();
  modGeneral::run_detection(world.context, modGeneral::Mode::menu);
  const double menu_ms = milliseconds_since(start);
  EXPECT_EQ(world.run_item.caption, "Run script for Drive " + last + " on E:\\");

  std::printf("%d entries, %zu bytes: validate %.1f ms, poll %.1f ms, menu %.1f ms\n", entries,
              script.size(), validate_ms, poll_ms, menu_ms);
  // Generous for a loaded machine or a sanitizer build; a walk that searched
  // the script afresh for every entry takes minutes.
  EXPECT_LT(validate_ms + poll_ms + menu_ms, 5000.0);
}

TEST(BigInput, AMegabyteLineIsCarriedWhole) {
  const std::string argument(1024 * 1024, 'a');
  FakeWorld world;
  world.machine.plug("E:\\", "PEN");
  world.store_script("label:PEN\r\nexec:tool " + argument + " %1\r\n");
  modGeneral::run_detection(world.context, modGeneral::Mode::poll);
  ASSERT_EQ(world.launcher.launched.size(), 1u);
  EXPECT_EQ(world.launcher.launched[0].command, "tool " + argument + " E:\\");
}

TEST(BigInput, AHeadlessLogPastItsCapStaysBoundedAndItsStreamLosesNothing) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  kestrun::cli::StreamPane log(stream);
  FakeWorld world;
  modGeneral::Context context{world.machine, world.launcher, world.settings,
                              log,           world.run_item, {}};
  world.store_script("label:(any)\r\nexec:backup %1\r\n");
  modGeneral::log_replace(log, modGeneral::kStartedLine);

  constexpr int kInsertions = 2000;
  std::size_t longest = 0;
  for (int i = 0; i < kInsertions; ++i) {
    world.machine.plug("E:\\", "Pen " + std::to_string(i));
    modGeneral::run_detection(context, modGeneral::Mode::poll);
    world.machine.pull("E:\\");
    modGeneral::run_detection(context, modGeneral::Mode::poll);
    longest = std::max(longest, log.length());
  }
  // At most one detection's lines beyond the cap: the check comes first.
  EXPECT_LE(longest, modGeneral::kLogCap + 200);

  std::string written(static_cast<std::size_t>(std::ftell(stream)), '\0');
  std::rewind(stream);
  ASSERT_EQ(std::fread(written.data(), 1, written.size(), stream), written.size());
  std::fclose(stream);
  EXPECT_EQ(count(written, "Detected USB device labeled '(any)' on E:\\\n"),
            static_cast<std::size_t>(kInsertions));
  EXPECT_EQ(count(written, "  executing script...backup E:\\\n"),
            static_cast<std::size_t>(kInsertions));
  const auto cuts = count(written, "Output cleared due to it's size getting too big!\n");
  // About 150 characters a detection: a cut every 400 or so.
  EXPECT_GE(cuts, static_cast<std::size_t>(kInsertions) * 100 / modGeneral::kLogCap);
  EXPECT_EQ(written.find('\r'), std::string::npos);
}

}  // namespace
