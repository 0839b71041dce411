// SPDX-License-Identifier: MIT
// A drive's bytes on their way to a terminal.
#include "engine/text_bytes.h"

#include <gtest/gtest.h>

namespace {

using modGeneral::escape_for_terminal;

TEST(EscapeForTerminal, KeepsTextAndEscapesWhatATerminalWouldActOn) {
  EXPECT_EQ(escape_for_terminal("E:\\ My Pen \xE2\x82\xAC \xC2\xA0 \xE2\x80\xAF"),
            "E:\\ My Pen \xE2\x82\xAC \xC2\xA0 \xE2\x80\xAF");
  EXPECT_EQ(escape_for_terminal(std::string("a\tb\nc\rd\x1B[2J\x7F\0", 13)),
            "a\\tb\\nc\\rd\\x1b[2J\\x7f\\x00");
  EXPECT_EQ(escape_for_terminal("\xC2\x9B"
                                "31m\xC2\x85\xC2\x80"),
            "\\u009b31m\\u0085\\u0080")
      << "C1 controls: CSI, NEL";
  EXPECT_EQ(escape_for_terminal("\xE2\x80\xAA\xE2\x80\xAE"
                                "fdp.exe\xE2\x81\xA6x\xE2\x81\xA9\xE2\x81\xA5"),
            "\\u202a\\u202efdp.exe\\u2066x\\u2069\xE2\x81\xA5")
      << "bidirectional embeddings, overrides and isolates";
  EXPECT_EQ(escape_for_terminal("\x9B"
                                "1m ab\xC3 \xED\xA0\x80"),
            "\\x9b1m ab\\xc3 \\xed\\xa0\\x80")
      << "bytes that are not UTF-8, which an 8-bit terminal reads as C1";
  EXPECT_EQ(escape_for_terminal("a\xE2\x80\xA8"
                                "b\xE2\x80\x8F"
                                "c\xD8\x9C"),
            "a\\u2028b\\u200fc\\u061c")
      << "a line separator and the bidirectional marks";
}

}  // namespace
