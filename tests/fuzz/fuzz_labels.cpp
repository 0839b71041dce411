// SPDX-License-Identifier: MIT
// Any bytes as a label the way udev, the mount table or a share name carry it:
// what reaches the engine is valid UTF-8 without a NUL.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/linux/labels.h"

namespace {

bool valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80           ? 1
                         : (c >> 5) == 0x6  ? 2
                         : (c >> 4) == 0xE  ? 3
                         : (c >> 3) == 0x1E ? 4
                                            : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrun::platform;
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  // Every source of a label passes clean_label on its way to the engine.
  for (const auto& label :
       {clean_label(raw), clean_label(decode_hex_escapes(raw)), clean_label(share_label(raw))}) {
    if (label.find('\0') != std::string::npos || !valid_utf8(label)) __builtin_trap();
    if (clean_label(label) != label) __builtin_trap();
  }
  return 0;
}
