// SPDX-License-Identifier: MIT
// UTF-8 for the engine, UTF-16 for the wide Windows calls, and the system's own words for errors.
#pragma once

#include <string>
#include <string_view>

namespace kestrun::platform {

/// UTF-16 of `utf8`; invalid sequences become U+FFFD.
std::wstring to_wide(std::string_view utf8);

/// UTF-8 of `wide`; unpaired surrogates become U+FFFD.
std::string to_utf8(std::wstring_view wide);

/// FormatMessageW's description of a system error code (a DWORD), without the
/// line end Windows puts after it.
std::string system_error_text(unsigned long code);

}  // namespace kestrun::platform
