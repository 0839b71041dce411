// SPDX-License-Identifier: MIT
#include "platform/windows/drives.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/text.h"

namespace kestrun::platform {

std::size_t WindowsDriveApi::logical_drive_strings(std::size_t length, char* buffer) {
  const DWORD capacity = static_cast<DWORD>(std::min<std::size_t>(length, MAXDWORD));
  if (capacity == 0 || buffer == nullptr) return GetLogicalDriveStringsW(0, nullptr);
  std::wstring wide(capacity, L'\0');
  const DWORD result = GetLogicalDriveStringsW(capacity, wide.data());
  // 0 is failure; more than the capacity is the size needed, and nothing was written.
  if (result == 0 || result >= capacity) return result;
  // Drive roots are letters, a colon and a backslash: plain ASCII.
  std::transform(wide.begin(), wide.begin() + result + 1, buffer,
                 [](wchar_t c) { return static_cast<char>(c); });
  return result;
}

std::optional<std::string> WindowsDriveApi::volume_label(std::string_view root) {
  wchar_t label[MAX_PATH + 1] = {};
  // An empty card reader or floppy drive would otherwise make Windows ask the
  // user to insert a disk, holding up the poll until someone answers.
  DWORD previous_mode = 0;
  const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_mode);
  const BOOL ok = GetVolumeInformationW(to_wide(root).c_str(), label, MAX_PATH + 1, nullptr,
                                        nullptr, nullptr, nullptr, 0);
  if (mode_set) SetThreadErrorMode(previous_mode, nullptr);
  if (!ok) return std::nullopt;
  return to_utf8(label);
}

modGeneral::DriveType WindowsDriveApi::drive_type(std::string_view root) {
  return static_cast<modGeneral::DriveType>(GetDriveTypeW(to_wide(root).c_str()));
}

}  // namespace kestrun::platform
