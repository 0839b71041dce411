// SPDX-License-Identifier: MIT
// "eject:" lines: how they are read and validated, and which ends of a
// command eject its drive, with what the log and the desktop hear.
#include "engine/eject.h"

#include <gtest/gtest.h>

#include "engine/detection.h"
#include "engine/events.h"
#include "engine/outcomes.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;
using modGeneral::CommandOutcome;
using modGeneral::Mode;
using modGeneral::run_detection;

class FakeEjector : public modGeneral::Ejector {
 public:
  void eject(const modGeneral::LaunchRequest& request, Done done) override {
    asked.push_back(request.mount_point);
    done(answer);
  }
  std::vector<std::string> asked;
  modGeneral::EjectResult answer{true, {}};
};

class Events : public modGeneral::EngineEvents {
 public:
  void volume_ejected(const modGeneral::LaunchRequest& request,
                      const modGeneral::EjectResult& result) override {
    heard.push_back(modGeneral::eject_notice(request, result).title);
  }
  std::vector<std::string> heard;
};

class Eject : public ::testing::Test {
 protected:
  void SetUp() override {
    world.context.ejector = &ejector;
    world.context.events = &events;
    world.machine.plug("E:\\", "PEN");
    world.machine.set_location("E:\\", "/media/me/PEN", "/dev/sdb1", "uuid:2F1C-9A7B");
  }
  std::string validate(const std::string& text) {
    return run_detection(world.context, Mode::validate, text);
  }
  // Runs the stored script's one entry and ends its command so.
  void run_and_end(const std::string& eject_line, const CommandOutcome& outcome) {
    world.store_script(crlf_lines({"label:PEN", "exec:backup %1", eject_line}));
    world.launcher.launched.clear();
    modGeneral::PollSession session(world.context, timers, nullptr);
    session.start("10");
    ASSERT_EQ(world.launcher.launched.size(), 1u);
    world.launcher.finish(0, outcome);
  }

  struct NoTimers : modGeneral::SessionTimers {
    void start_ticking() override {}
    void stop_ticking() override {}
    void start_settle(std::chrono::milliseconds) override {}
    void stop_settle() override {}
  } timers;
  FakeWorld world;
  FakeEjector ejector;
  Events events;
};

const CommandOutcome kExit0{false, 0, "", 1.0};
const CommandOutcome kExit1{false, 1, "", 1.0};
const CommandOutcome kKilled{true, 15, "SIGTERM", 1.0};

TEST_F(Eject, AValidLineIsReportedAndAnyOtherValueFailsItsEntryNamingTheLine) {
  EXPECT_EQ(validate(crlf_lines(
                {"label:PEN", "exec:backup %1", "volume:uuid:2F1C-9A7B", "eject:success"})),
            crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=PEN",
                        "  execute=backup %1", "  volume=uuid:2F1C-9A7B", "  eject=success",
                        "Entry seems okay", "", "Validation complete", ""}));
  EXPECT_NE(validate(crlf_lines({"label:PEN", "exec:b", "eject:  always "})).find("  eject=always"),
            std::string::npos);
  const std::string head = crlf_lines(
      {"Starting validation...", "", "Processing first entry...", "  label=PEN", "  execute=b"});
  EXPECT_EQ(validate(crlf_lines({"label:PEN", "exec:b", "eject:"})),
            head + crlf_lines({"'eject:' on line 3 is blank: write success (eject after exit "
                               "code 0) or always"}));
  EXPECT_EQ(validate(crlf_lines({"label:PEN", "exec:b", "eject:success", "eject:Always\x1b[2J"})),
            head + crlf_lines({"'eject:' on line 4 holds 'Always\\x1b[2J': write success (eject "
                               "after exit code 0) or always"}));
}

TEST_F(Eject, TheKeyCountsOnlyAtTheStartOfALineWithinItsEntry) {
  const auto report = validate(crlf_lines({"eject:never", "label:A", "exec:tool eject:now",
                                           " eject: soon", "label:B", "exec:b", "eject:always"}));
  EXPECT_NE(report.find("  label=A\r\n  execute=tool eject:now\r\nEntry seems okay"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("  label=B\r\n  execute=b\r\n  eject=always\r\nEntry seems okay"),
            std::string::npos)
      << report;
}

TEST_F(Eject, SuccessEjectsAfterExitCodeZeroOnly) {
  run_and_end("eject:success", kExit1);
  run_and_end("eject:success", kKilled);
  EXPECT_TRUE(ejector.asked.empty());
  run_and_end("eject:success", kExit0);
  EXPECT_EQ(ejector.asked, std::vector<std::string>{"/media/me/PEN"});
  EXPECT_NE(world.log.text().find("  finished: 'PEN' on E:\\ with exit code 0 after 1.0 s\r\n"
                                  "  ejected: 'PEN' from E:\\ (safe to remove)"),
            std::string::npos)
      << world.log.text();
  EXPECT_EQ(events.heard, std::vector<std::string>{"'PEN' can be removed"});
}

TEST_F(Eject, AlwaysEjectsAfterAnyEndAndNoLineNever) {
  run_and_end("eject:always", kExit1);
  run_and_end("eject:always", kKilled);
  EXPECT_EQ(ejector.asked.size(), 2u);
  run_and_end("", kExit0);
  EXPECT_EQ(ejector.asked.size(), 2u);
}

TEST_F(Eject, AFailureIsLoggedWithTheSystemsReasonEscaped) {
  ejector.answer = {false, "target is busy\n\x1b[31m"};
  run_and_end("eject:always", kExit0);
  EXPECT_NE(world.log.text().find("  not ejected: 'PEN' on E:\\: target is busy\\n\\x1b[31m"),
            std::string::npos)
      << world.log.text();
  EXPECT_EQ(events.heard, std::vector<std::string>{"'PEN' on E:\\ was not ejected"});

  world.context.ejector = nullptr;
  run_and_end("eject:always", kExit0);
  EXPECT_NE(world.log.text().find("  not ejected: 'PEN' on E:\\: this system cannot eject drives"),
            std::string::npos);
}

}  // namespace
