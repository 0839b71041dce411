// SPDX-License-Identifier: MIT
// What may reach a one-line display from a drive's label or a user's text.
#include <gtest/gtest.h>

#include "engine/text_bytes.h"

namespace {

using modGeneral::escape_for_terminal;

TEST(Printable, ControlsAndReorderingAreWrittenOutAndTheRestKept) {
  EXPECT_EQ(escape_for_terminal("a\tb\nc\rd\x1b[2J\x7f"), "a\\tb\\nc\\rd\\x1b[2J\\x7f");
  EXPECT_EQ(escape_for_terminal("\xC2\x9B"
                                "31m"),
            "\\u009b31m");  // C1 CSI
  EXPECT_EQ(escape_for_terminal("abc\xE2\x80\xAE"
                                "fdp.exe"),
            "abc\\u202efdp.exe");  // RLO
  EXPECT_EQ(escape_for_terminal("\xE2\x81\xA6x\xE2\x81\xA9"), "\\u2066x\\u2069");
  EXPECT_EQ(escape_for_terminal("bad\xFF\xC0\xAFname\xE2\x82"), "bad\\xff\\xc0\\xafname\\xe2\\x82");
  EXPECT_EQ(escape_for_terminal("E:\\ n\xC2\xB0 2 \xE2\x82\xAC \xF0\x9F\x93\xB7  "),
            "E:\\ n\xC2\xB0 2 \xE2\x82\xAC \xF0\x9F\x93\xB7  ");
}

}  // namespace
