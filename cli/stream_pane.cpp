// SPDX-License-Identifier: MIT
#include "cli/stream_pane.h"

#include "engine/text_bytes.h"

namespace kestrun::cli {

void write_all(std::FILE* stream, std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

std::string to_lf(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result.push_back(text[i]);
  }
  return result;
}

std::string to_crlf(std::string_view text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result.push_back('\r');
    result.push_back(text[i]);
  }
  return result;
}

namespace {

// A TAB cannot be part of a longer UTF-8 sequence, so escaping the pieces
// between TABs escapes everything else as escaping the whole line would.
std::string escape_line(std::string_view line) {
  std::string escaped;
  escaped.reserve(line.size());
  for (auto tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t')) {
    escaped += modGeneral::escape_for_terminal(line.substr(0, tab));
    escaped += '\t';
    line.remove_prefix(tab + 1);
  }
  return escaped + modGeneral::escape_for_terminal(line);
}

}  // namespace

std::string terminal_lines(std::string_view text) {
  std::string lines;
  lines.reserve(text.size());
  for (auto end = text.find("\r\n"); !text.empty(); end = text.find("\r\n")) {
    lines += escape_line(text.substr(0, end));
    if (end == std::string_view::npos) break;
    lines += '\n';
    text.remove_prefix(end + 2);
  }
  return lines;
}

void StreamPane::set_text(const std::string& text) {
  write_all(stream_, terminal_lines(text));
  text_ = text;
  length_ = modGeneral::character_count(text_);
}

// Characters are counted as continuation bytes subtracted from bytes, so the
// counts of a text and an addition add up whatever bytes meet between them.
void StreamPane::append_text(std::string_view addition) {
  write_all(stream_, terminal_lines(addition));
  text_.append(addition);
  length_ += modGeneral::character_count(addition);
}

}  // namespace kestrun::cli
