// SPDX-License-Identifier: MIT
// The validation report, byte for byte, and what a validation leaves alone.
#include <gtest/gtest.h>

#include "engine/detection.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;
using modGeneral::Mode;
using modGeneral::run_detection;

const std::string kSampleScript = kestrun::testing::sample_script();

class Validation : public ::testing::Test {
 protected:
  std::string validate(const std::string& text) {
    return run_detection(world.context, Mode::validate, text);
  }
  FakeWorld world;
};

TEST_F(Validation, TheSampleScriptGivesTheFullReport) {
  EXPECT_EQ(
      validate(kSampleScript),
      crlf_lines({"Starting validation...", "", "Ignoring drives: d:\\,e:\\,g:\\", "",
                  "Processing first entry...", "  label=My USB Pen Drive",
                  "  execute=wscript \"c:\\something\\whatever.vbs\" \"%1\"", "Entry seems okay",
                  "", "Processing first entry...", "  label=Second Pen Drive",
                  "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"",
                  "  menu run=wscript \"c:\\OPTIONALscript.vbs\" \"%3\"", "Entry seems okay", "",
                  "Validation complete", ""}));
  EXPECT_EQ(world.log.text(), "");
}

TEST_F(Validation, AnExecBeyondTheNextLabelIsReportedThenRejected) {
  const std::string without_third_line = crlf_lines({
      "ignore:d:\\,e:\\,g:\\",
      "label:My USB Pen Drive",
      "label:Second Pen Drive",
      "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"",
      "menurun:wscript \"c:\\OPTIONALscript.vbs\" \"%3\"",
  });
  EXPECT_EQ(validate(without_third_line),
            crlf_lines({"Starting validation...", "", "Ignoring drives: d:\\,e:\\,g:\\", "",
                        "Processing first entry...", "  label=My USB Pen Drive",
                        "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"",
                        "'exec' doesn't exist for one of your entries"}));
  EXPECT_EQ(world.log.text(),
            crlf_lines({"  error: 'exec' doesn't exist for one of your entries"}));

  validate(without_third_line);
  EXPECT_EQ(world.log.text(), crlf_lines({"  error: 'exec' doesn't exist for one of your entries",
                                          "  error: 'exec' doesn't exist for one of your entries"}))
      << "every validation that meets the bad entry reports it again";
}

TEST_F(Validation, ReportsShapesOfHandTypedScripts) {
  EXPECT_EQ(validate(""), "");
  EXPECT_EQ(validate("just a note\r\n"),
            crlf_lines({"Starting validation...", "", "Validation complete", ""}));
  EXPECT_EQ(validate("label:\r\nexec:x\r\n"),
            crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=",
                        "  execute=x", "'label' or 'exec' are blank, please check your script"}));
  EXPECT_EQ(validate("label:A"),
            crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=A",
                        "  execute=", "'exec' doesn't exist for one of your entries"}));
  // LF-only line ends: the label runs on to the end and the exec value with it.
  EXPECT_EQ(
      validate("label:A\nexec:b\n"),
      crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=A\nexec:b\n",
                  "  execute=b\n", "Entry seems okay", "", "Validation complete", ""}));
}

TEST_F(Validation, KeysAreFoundAnywhereAndOnlyInLowerCase) {
  // A note mentioning the key starts an entry of its own, which stops the walk.
  const auto report =
      validate(crlf_lines({"label:A", "exec:a", "see label: below", "label:B", "exec:b"}));
  EXPECT_NE(report.find("  label=below\r\n  execute=b\r\n'exec' doesn't exist"), std::string::npos);
  EXPECT_EQ(report.find("label=B"), std::string::npos);

  // "Label:" is no key: its exec line belongs to the entry before, which reads its own first.
  EXPECT_EQ(validate(crlf_lines({"label:A", "exec:first", "Label:B", "exec:second"})),
            crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=A",
                        "  execute=first", "Entry seems okay", "", "Validation complete", ""}));
}

TEST_F(Validation, MenuRunAndExecInEitherOrderFirstOneCounts) {
  EXPECT_EQ(validate(crlf_lines({"label:A", "menurun:m1", "exec:e1", "exec:e2", "menurun:m2"})),
            crlf_lines({"Starting validation...", "", "Processing first entry...", "  label=A",
                        "  execute=e1", "  menu run=m1", "Entry seems okay", "",
                        "Validation complete", ""}));
}

TEST_F(Validation, LeavesTheSnapshotTheRunItemAndTheStoredScriptAlone) {
  world.store_script("label:stored\r\nexec:x\r\n");
  world.context.last_drive_snapshot = "kept";
  world.run_item.caption = "kept";
  world.machine.plug("E:\\", "(any)");
  const auto report = validate("label:(any)\r\nexec:x\r\n");
  EXPECT_NE(report.find("  label=(any)\r\n"), std::string::npos);
  EXPECT_EQ(world.context.last_drive_snapshot, "kept");
  EXPECT_EQ(world.run_item.caption, "kept");
  EXPECT_EQ(world.machine.listings, 0);
  EXPECT_EQ(world.settings.reads, 0);
  EXPECT_TRUE(world.launcher.launched.empty());
}

TEST_F(Validation, ALongScriptIsWalkedWhole) {
  std::string script;
  for (int i = 0; i < 5000; ++i) script += "label:L" + std::to_string(i) + "\r\nexec:x\r\n";
  const auto report = validate(script);
  EXPECT_NE(report.find("  label=L4999\r\n  execute=x\r\nEntry seems okay"), std::string::npos);
  EXPECT_EQ(report.find("menu run="), std::string::npos);
}

}  // namespace
