// SPDX-License-Identifier: MIT
// Started by the launch tests: reports how it was started into the file named
// by its first argument, written whole so a reader never sees half of it.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& wide) {
  const int size = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

std::string variable(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return "<unset>";
  return utf8(std::wstring(value, length));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::string report = "command_line=" + utf8(GetCommandLineW()) + "\n";
  for (int i = 2; i < argc; ++i) report += "arg=" + utf8(argv[i]) + "\n";
  STARTUPINFOW startup{};
  GetStartupInfoW(&startup);
  const bool show_given = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
  report += "show=" + (show_given ? std::to_string(startup.wShowWindow) : "none") + "\n";
  for (const wchar_t* name : {L"KESTRUN_DRIVE", L"KESTRUN_LETTER", L"KESTRUN_LABEL",
                              L"KESTRUN_MOUNT", L"KESTRUN_DEVICE", L"KESTRUN_TEST_INHERITED"}) {
    report += utf8(name) + "=" + variable(name) + "\n";
  }

  const std::wstring path = argv[1];
  const std::wstring partial = path + L".partial";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
