// SPDX-License-Identifier: MIT
// UTF-8 for the engine, UTF-16 for the wide Windows calls, the system's own words for errors,
// and the running program's path.
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

/// The running program's full path; "" with the thread's last error set when
/// Windows does not tell.
std::wstring running_program_path();

}  // namespace kestrun::platform
