// SPDX-License-Identifier: MIT
#include "platform/windows/drives.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <optional>

#include "platform/windows/text.h"

namespace kestrun::platform {

namespace {

// An empty card reader or floppy drive would otherwise make Windows ask the
// user to insert a disk, holding up the poll until someone answers.
class NoDiskPrompts {
 public:
  NoDiskPrompts() : set_(SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_)) {}
  ~NoDiskPrompts() {
    if (set_) SetThreadErrorMode(previous_, nullptr);
  }
  NoDiskPrompts(const NoDiskPrompts&) = delete;
  NoDiskPrompts& operator=(const NoDiskPrompts&) = delete;

 private:
  DWORD previous_ = 0;
  bool set_;
};

// GetVolumeInformationW gives only the low half of an NTFS serial; the file
// system gives the whole of it to anyone who may open the volume, even
// without read access.
std::optional<ULONGLONG> ntfs_serial(std::string_view root) {
  const std::wstring volume = L"\\\\.\\" + to_wide(root.substr(0, 2));
  const HANDLE handle =
      CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  NTFS_VOLUME_DATA_BUFFER data{};
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(handle, FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, &data,
                                  sizeof data, &returned, nullptr);
  CloseHandle(handle);
  if (!ok || returned < sizeof data.VolumeSerialNumber) return std::nullopt;
  return static_cast<ULONGLONG>(data.VolumeSerialNumber.QuadPart);
}

}  // namespace

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
  const NoDiskPrompts quiet;
  if (!GetVolumeInformationW(to_wide(root).c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                             nullptr, 0)) {
    return std::nullopt;
  }
  return to_utf8(label);
}

modGeneral::DriveLocation WindowsDriveApi::locate(std::string_view root) {
  modGeneral::DriveLocation location{std::string(root), {}, {}};
  DWORD serial = 0;
  wchar_t filesystem[MAX_PATH + 1] = {};
  const NoDiskPrompts quiet;
  if (!GetVolumeInformationW(to_wide(root).c_str(), nullptr, 0, &serial, nullptr, nullptr,
                             filesystem, MAX_PATH + 1)) {
    return location;
  }
  char digits[24];
  const auto full = std::wcscmp(filesystem, L"NTFS") == 0 ? ntfs_serial(root) : std::nullopt;
  if (full) {
    std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(*full));
  } else {
    std::snprintf(digits, sizeof digits, "%04lX-%04lX", static_cast<unsigned long>(serial >> 16),
                  static_cast<unsigned long>(serial & 0xFFFF));
  }
  location.identity = std::string("uuid:") + digits;
  return location;
}

modGeneral::DriveType WindowsDriveApi::drive_type(std::string_view root) {
  return static_cast<modGeneral::DriveType>(GetDriveTypeW(to_wide(root).c_str()));
}

}  // namespace kestrun::platform
