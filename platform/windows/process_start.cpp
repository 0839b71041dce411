// SPDX-License-Identifier: MIT
// Windows hands a program its command line as UTF-16 text; the narrow argv
// the C runtime builds from it loses what the ANSI code page cannot spell.
#include <windows.h>
// Needs what <windows.h> declares.
#include <shellapi.h>

#include <cerrno>
#include <cstdio>

#include "platform/process_start.h"

namespace kestrun::platform {

namespace {

bool has_handle(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

bool reopen_closed_standard_streams() {
  // A windowed kestrun.exe started from a console without redirection has no
  // input: the console belongs to the shell, which does not wait for it.
  if (has_handle(STD_INPUT_HANDLE)) return false;
  std::FILE* null = std::freopen("NUL", "rb", stdin);
  (void)null;
  return true;
}

QStringList decode_arguments(int argc, char* argv[]) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  QStringList arguments;
  if (wide == nullptr) {
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
  }
  for (int i = 0; i < count; ++i) arguments.append(QString::fromWCharArray(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string argument_bytes(const QString& argument) { return argument.toStdString(); }

std::FILE* open_argument_file(const QString& argument) {
  return _wfopen(reinterpret_cast<const wchar_t*>(argument.utf16()), L"rb");
}

}  // namespace kestrun::platform
