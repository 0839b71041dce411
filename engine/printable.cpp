#include "engine/printable.h"

#include <cstdio>

namespace kestrun {
namespace {

// The length of the UTF-8 sequence at the start of `text` and its code point,
// or 0 when it is not one (stray, overlong or surrogate bytes).
std::size_t decode(std::string_view text, char32_t* code_point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  struct Form {
    unsigned char first, last;  // the lead bytes of this length
    std::size_t length;
    unsigned char payload;  // the lead byte's bits that belong to the code point
    char32_t least;         // anything below is overlong
  };
  static constexpr Form kForms[] = {
      {0xC2, 0xDF, 2, 0x1F, 0x80}, {0xE0, 0xEF, 3, 0x0F, 0x800}, {0xF0, 0xF4, 4, 0x07, 0x10000}};
  const Form* form = nullptr;
  for (const Form& candidate : kForms) {
    if (lead >= candidate.first && lead <= candidate.last) form = &candidate;
  }
  if (form == nullptr) return 0;
  const std::size_t length = form->length;
  char32_t value = lead & form->payload;
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < form->least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code_point = value;
  return length;
}

bool is_hidden_format(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string escape_controls(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  char code[16];
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      ++at;
      if (c == '\t') {
        shown += "\\t";
      } else if (c == '\n') {
        shown += "\\n";
      } else if (c == '\r') {
        shown += "\\r";
      } else if (c < 0x20 || c == 0x7F) {
        std::snprintf(code, sizeof code, "\\x%02x", c);
        shown += code;
      } else {
        shown.push_back(static_cast<char>(c));
      }
      continue;
    }
    char32_t code_point = 0;
    const std::size_t length = decode(text.substr(at), &code_point);
    if (length == 0) {
      std::snprintf(code, sizeof code, "\\x%02x", c);
      shown += code;
      ++at;
    } else if (is_hidden_format(code_point)) {
      std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(code_point));
      shown += code;
      at += length;
    } else {
      shown.append(text.substr(at, length));
      at += length;
    }
  }
  return shown;
}

}  // namespace kestrun
