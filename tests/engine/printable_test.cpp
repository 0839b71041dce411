// What may reach a one-line display from a drive's label or a user's text.
#include "engine/printable.h"

#include <gtest/gtest.h>

namespace {

using kestrun::escape_controls;

TEST(Printable, ControlsAndReorderingAreWrittenOutAndTheRestKept) {
  EXPECT_EQ(escape_controls("a\tb\nc\rd\x1b[2J\x7f"), "a\\tb\\nc\\rd\\x1b[2J\\x7f");
  EXPECT_EQ(escape_controls("\xC2\x9B"
                            "31m"),
            "\\u009b31m");  // C1 CSI
  EXPECT_EQ(escape_controls("abc\xE2\x80\xAE"
                            "fdp.exe"),
            "abc\\u202efdp.exe");  // RLO
  EXPECT_EQ(escape_controls("\xE2\x81\xA6x\xE2\x81\xA9"), "\\u2066x\\u2069");
  EXPECT_EQ(escape_controls("bad\xFF\xC0\xAFname\xE2\x82"), "bad\\xff\\xc0\\xafname\\xe2\\x82");
  EXPECT_EQ(escape_controls("E:\\ n\xC2\xB0 2 \xE2\x82\xAC \xF0\x9F\x93\xB7  "),
            "E:\\ n\xC2\xB0 2 \xE2\x82\xAC \xF0\x9F\x93\xB7  ");
}

}  // namespace
