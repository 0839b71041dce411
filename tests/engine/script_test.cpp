// SPDX-License-Identifier: MIT
// Reading rules of the detection script: key search, values, ignore line, placeholders.
#include "engine/script.h"

#include <gtest/gtest.h>

namespace {

using modGeneral::find_key;
using modGeneral::get_ignore_list;
using modGeneral::read_line_value;
using modGeneral::substitute_placeholders;

TEST(KeySearch, PositionsAreOneBasedAndZeroWhenAbsent) {
  const std::string script = "xx label:A\r\nlabel:B";
  EXPECT_EQ(find_key(script, "label:", 1), 4u);
  EXPECT_EQ(find_key(script, "label:", 4), 4u);
  EXPECT_EQ(find_key(script, "label:", 5), 13u);
  EXPECT_EQ(find_key(script, "label:", 14), 0u);
  EXPECT_EQ(find_key(script, "Label:", 1), 0u) << "keys are case-sensitive";
  EXPECT_EQ(find_key("", "label:", 1), 0u);
}

}  // namespace

namespace {

TEST(ReadLineValue, TakesTheRestOfTheLineTrimmedOfSpacesOnly) {
  const std::string script = "label:  My Pen  \r\nexec:\tx \r\nlast: tail  ";
  EXPECT_EQ(read_line_value(script, 7), "My Pen");
  EXPECT_EQ(read_line_value(script, 24), "\tx") << "tabs are not trimmed";
  EXPECT_EQ(read_line_value(script, 34), "tail") << "the last line needs no CR LF";
  EXPECT_EQ(read_line_value(script, script.size() + 1), "");
  EXPECT_EQ(read_line_value("label:\r\n", 7), "");
  EXPECT_EQ(read_line_value("label:   \r\n", 7), "");
}

TEST(ReadLineValue, OnlyCrLfEndsAValue) {
  // A script saved with LF or CR alone runs on to the next CR LF or the end.
  EXPECT_EQ(read_line_value("label:A\nexec:b\r\nx", 7), "A\nexec:b");
  EXPECT_EQ(read_line_value("label:A\rexec:b", 7), "A\rexec:b");
  EXPECT_EQ(read_line_value("label:A\n\r\n", 7), "A\n");
}

TEST(IgnoreList, IsTheValueOfTheFirstIgnoreLineAnywhere) {
  EXPECT_EQ(get_ignore_list(""), "");
  EXPECT_EQ(get_ignore_list("label:A\r\nexec:b\r\n"), "");
  EXPECT_EQ(get_ignore_list("label:A\r\nignore: d:\\, e:\\ \r\nignore:f:\\\r\n"), "d:\\, e:\\");
  EXPECT_EQ(get_ignore_list("label:A\r\nexec:b\r\nignore:g:\\"), "g:\\");
  EXPECT_EQ(get_ignore_list("Ignore:d:\\\r\n"), "");
}

TEST(Placeholders, AreFilledInOrderLeftToRightCaseSensitive) {
  EXPECT_EQ(substitute_placeholders("wscript \"c:\\x.vbs\" \"%1\"", "E:\\", "PEN"),
            "wscript \"c:\\x.vbs\" \"E:\\\"");
  EXPECT_EQ(substitute_placeholders("%1|%2|%3|%1%3", "F:\\", "Second Pen"),
            "F:\\|Second Pen|F|F:\\F");
  EXPECT_EQ(substitute_placeholders("backup --all", "E:\\", "PEN"), "backup --all");
  EXPECT_EQ(substitute_placeholders("50%4 %x %", "E:\\", "PEN"), "50%4 %x %");
  EXPECT_EQ(substitute_placeholders("%%1", "E:\\", "PEN"), "%E:\\");
  EXPECT_EQ(substitute_placeholders("", "E:\\", "PEN"), "");
}

TEST(Placeholders, AThreeInsideTheLabelIsFilledTooButNotAOne) {
  // %3 runs after %2, so it reaches text the label brought in; %1 ran before.
  EXPECT_EQ(substitute_placeholders("[%2]", "E:\\", "a%3b%1"), "[aEb%1]");
}

}  // namespace
