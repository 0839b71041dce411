// SPDX-License-Identifier: MIT
#include "engine/text_bytes.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace modGeneral {

namespace {

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

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

// Upper and lower case side by side: even code points are capitals, each
// followed by its small letter.
bool is_paired_capital(char32_t c) {
  const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
  const bool even = in(0x0100, 0x012F) || in(0x0132, 0x0137) || in(0x014A, 0x0177) ||
                    in(0x0460, 0x0481) || in(0x048A, 0x04BF) || in(0x04D0, 0x052F) ||
                    in(0x1E00, 0x1E95) || in(0x1EA0, 0x1EFF);
  const bool odd = in(0x0139, 0x0148) || in(0x0179, 0x017E) || in(0x04C1, 0x04CE);
  return (even && c % 2 == 0) || (odd && c % 2 == 1);
}

char32_t fold_case(char32_t c) {
  const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
  if (in('A', 'Z') || (in(0xC0, 0xDE) && c != 0xD7) || (in(0x391, 0x3AB) && c != 0x3A2) ||
      in(0x410, 0x42F) || in(0xFF21, 0xFF3A)) {
    return c + 0x20;
  }
  if (is_paired_capital(c)) return c + 1;
  if (in(0x400, 0x40F)) return c + 0x50;
  if (in(0x531, 0x556)) return c + 0x30;
  if (in(0x388, 0x38A)) return c + 0x25;
  if (in(0x38E, 0x38F)) return c + 0x3F;
  switch (c) {
    case 0x178:
      return 0xFF;
    case 0x386:
      return 0x3AC;
    case 0x38C:
      return 0x3CC;
    case 0x3C2:  // final sigma
      return 0x3C3;
    case 0x4C0:
      return 0x4CF;
    default:
      return c;
  }
}

// The next character of `text` folded, or its first byte when it is not UTF-8
// (above any code point, so that it equals no character); `text` moves on.
char32_t next_folded(std::string_view& text) {
  const auto length = utf8_sequence_length(text);
  if (length == 0) {
    const char32_t byte = 0x110000 + static_cast<unsigned char>(text[0]);
    text.remove_prefix(1);
    return byte;
  }
  const char32_t c = fold_case(utf8_code_point(text.substr(0, length)));
  text.remove_prefix(length);
  return c;
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

char32_t utf8_code_point(std::string_view sequence) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
  if (sequence.size() == 1) return byte(0);
  char32_t code = byte(0) & (0x7F >> sequence.size());
  for (std::size_t i = 1; i < sequence.size(); ++i) code = (code << 6) | (byte(i) & 0x3F);
  return code;
}

std::size_t character_count(std::string_view text) {
  // The log is measured before every detection, so count eight bytes at a time.
  constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;
  std::size_t continuations = 0;
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + at, sizeof word);
    continuations += static_cast<std::size_t>(std::popcount((word >> 7) & ~(word >> 6) & kLowBits));
  }
  for (; at < text.size(); ++at) continuations += is_continuation(text[at]);
  return text.size() - continuations;
}

std::size_t character_bytes(std::string_view text) {
  std::size_t length = 1;
  while (length < text.size() && is_continuation(text[length])) ++length;
  return length;
}

std::size_t character_offset(std::string_view text, std::size_t position) {
  std::size_t at = 0;
  for (std::size_t character = 0; character < position && at < text.size(); ++character) {
    at += character_bytes(text.substr(at));
  }
  return at;
}

std::string ascii_upper(std::string_view text) {
  std::string upper(text);
  for (auto& c : upper) c = ascii_upper(c);
  return upper;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    if (next_folded(a) != next_folded(b)) return false;
  }
  return a.empty() && b.empty();
}

bool is_hidden_control(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
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
    const char32_t c = utf8_code_point(sequence);
    if (is_hidden_control(c)) {
      append_escape(escaped, c, length == 1);
    } else {
      escaped.append(sequence);
    }
    text.remove_prefix(length);
  }
  return escaped;
}

}  // namespace modGeneral
