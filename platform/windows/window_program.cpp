// SPDX-License-Identifier: MIT
// kestrun.com without arguments starts kestrun.exe beside it and returns, so
// the console that typed `kestrun` is free again while the window runs.
#include "platform/window_program.h"

#include <windows.h>

#include "engine/text_bytes.h"
#include "platform/windows/text.h"

namespace kestrun::platform {

bool open_window_program(char* /*argv*/[], std::string* error) {
  const std::wstring self = running_program_path();
  if (self.empty()) {
    *error = "cannot find the running program: " + system_error_text(GetLastError());
    return false;
  }
  const std::wstring window = self.substr(0, self.find_last_of(L"\\/") + 1) + L"kestrun.exe";
  std::wstring command_line = L"\"" + window + L"\"";  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(window.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    const DWORD code = GetLastError();
    *error = "cannot start " + modGeneral::escape_for_terminal(to_utf8(window)) + ": " +
             system_error_text(code);
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace kestrun::platform
