// SPDX-License-Identifier: MIT
// An action log that goes to a stream as it is written, for the headless mode.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/text_pane.h"

namespace kestrun::cli {

/// Writes each addition to the stream at once, as terminal_lines() gives it;
/// a text set whole (Start, the size cap) is written whole.
class StreamPane : public modGeneral::TextPane {
 public:
  explicit StreamPane(std::FILE* stream) : stream_(stream) {}

  std::string text() const override { return text_; }
  void set_text(const std::string& text) override;
  void append_text(std::string_view addition) override;
  std::size_t length() const override { return length_; }
  std::size_t selection_start() const override { return 0; }
  void set_selection_start(std::size_t) override {}
  void set_selection_length(std::size_t) override {}

 private:
  std::FILE* stream_;
  std::string text_;
  std::size_t length_ = 0;
};

/// Writes all of `bytes` to `stream` and flushes it, so that what the program
/// says is out before it goes on (or ends).
void write_all(std::FILE* stream, std::string_view bytes);

/// CR LF (and lone CR LF pairs only) as LF, for terminals and pipes.
std::string to_lf(std::string_view text);
/// Lone LF as CR LF, as the editor's text has it; CR LF stays.
std::string to_crlf(std::string_view text);
/// CR LF lines as LF lines for a terminal or the journal. A line may carry a
/// drive's label, so each is escaped with modGeneral::escape_for_terminal(): a lone CR or
/// LF, a control or a bidirectional override inside it shows as an escape. A
/// TAB stays: it only moves the cursor along its line, and written as \t it
/// could not be told from a backslash and a "t" (P:\tab).
std::string terminal_lines(std::string_view text);

}  // namespace kestrun::cli
