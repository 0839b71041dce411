// SPDX-License-Identifier: MIT
// The action log's rules: appends, the size cap and keeping the end in view,
// with lengths counted in characters rather than bytes.
#include "engine/action_log.h"

#include <gtest/gtest.h>

#include "engine/text_bytes.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::MemoryPane;

TEST(ActionLog, AppendAddsALineAfterEverythingAndReplaceDropsIt) {
  MemoryPane log;
  modGeneral::log_replace(log, modGeneral::kStartedLine);
  modGeneral::log_append(log, "  error: x");
  modGeneral::log_append(log, modGeneral::kStoppedLine);
  EXPECT_EQ(log.text(), "Started...\r\n  error: x\r\nStopped.\r\n");
  modGeneral::log_replace(log, modGeneral::kStartedLine);
  EXPECT_EQ(log.text(), "Started...\r\n");
}

TEST(ActionLog, IsCutBackOnlyWhenStrictlyOverTheCap) {
  MemoryPane log;
  log.set_text(std::string(60000, 'x'));
  modGeneral::log_size_check(log);
  EXPECT_EQ(log.text().size(), 60000u);

  log.set_text(std::string(59999, 'x') + "\r\n");
  modGeneral::log_size_check(log);
  EXPECT_EQ(log.text(), "Output cleared due to it's size getting too big!\r\n")
      << "a CR LF counts two characters";
}

TEST(ActionLog, CountsCharactersNotBytes) {
  MemoryPane log;
  // 30000 two-byte characters are 60000 characters: at the cap, not over it.
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "\xC3\xA9";
  log.set_text(text);
  modGeneral::log_size_check(log);
  EXPECT_EQ(log.text(), text);
  EXPECT_EQ(modGeneral::character_count("a\xE2\x82\xAC\r\n"), 4u);
}

TEST(ActionLog, KeepingTheEndInViewSelectsTheLastCharacter) {
  MemoryPane log;
  log.set_text("Started...\r\n\xC3\xA9\r\n");
  modGeneral::log_keep_end_in_view(log);
  EXPECT_EQ(log.selection_start(), 14u);
  EXPECT_EQ(log.selection_length(), 1u);
}

}  // namespace

namespace {

TEST(CharacterCount, CountsEveryKindOfByteRunAlike) {
  // Long texts are counted a word at a time: mix widths across word borders.
  std::string text;
  std::size_t characters = 0;
  const char* pieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x94\x8C", "\r\n", "\x80"};
  // A stray continuation byte joins the character before it.
  const std::size_t widths[] = {1, 1, 1, 1, 2, 0};
  for (int i = 0; i < 1000; ++i) {
    text += pieces[i % 6];
    characters += widths[i % 6];
  }
  EXPECT_EQ(modGeneral::character_count(text), characters);
  EXPECT_EQ(modGeneral::character_count(""), 0u);
}

}  // namespace
