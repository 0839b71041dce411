#include "engine/text_bytes.h"

#include <cstdio>

namespace kestrun {

namespace {

char32_t decode(std::string_view sequence) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
  switch (sequence.size()) {
    case 1:
      return byte(0);
    case 2:
      return (char32_t(byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
      return (char32_t(byte(0) & 0x0F) << 12) | (char32_t(byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
      return (char32_t(byte(0) & 0x07) << 18) | (char32_t(byte(1) & 0x3F) << 12) |
             (char32_t(byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
  }
}

// Code points a terminal acts on rather than shows.
bool is_hidden_control(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

void append_escape(std::string& out, char32_t c, bool is_byte) {
  switch (c) {
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    default:
      break;
  }
  char code[16];
  if (is_byte) {
    std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(c));
  } else {
    std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
  }
  out += code;
}

}  // namespace

std::size_t utf8_sequence_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::string escape_for_terminal(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  while (!text.empty()) {
    const auto length = utf8_sequence_length(text);
    if (length == 0) {
      // A stray byte from 0x80 up is a C1 control to a terminal in 8-bit mode.
      append_escape(escaped, static_cast<unsigned char>(text[0]), true);
      text.remove_prefix(1);
      continue;
    }
    const auto sequence = text.substr(0, length);
    const char32_t c = decode(sequence);
    if (is_hidden_control(c)) {
      append_escape(escaped, c, length == 1);
    } else {
      escaped.append(sequence);
    }
    text.remove_prefix(length);
  }
  return escaped;
}

}  // namespace kestrun
