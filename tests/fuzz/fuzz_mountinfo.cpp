// SPDX-License-Identifier: MIT
// Any bytes as a mount table: parsing, escapes and picking one mount per drive.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/linux/mountinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto mounts = kestrun::platform::parse_mountinfo(text);
  // A fixed answer keeps the run free of the machine's own device nodes.
  const auto drives = kestrun::platform::find_drives(
      mounts,
      [](const std::string& source) -> std::optional<dev_t> {
        if (source.size() % 3 == 0) return std::nullopt;
        return static_cast<dev_t>(source.size());
      },
      1000);
  if (drives.size() > mounts.size()) __builtin_trap();
  kestrun::platform::decode_octal_escapes(text);
  return 0;
}
