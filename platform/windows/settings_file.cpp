// SPDX-License-Identifier: MIT
// Windows keeps the settings in the registry; the file store here lets the
// settings file and its tests work there as well. A profile folder's ACLs
// already keep other users out, so nothing is refused.
#include "platform/settings_file.h"

#include <windows.h>

#include "platform/windows/text.h"

namespace kestrun::platform {
namespace {

std::int64_t nanoseconds(const FILETIME& time) {
  // 100 ns steps since 1601; only equality and "recent" matter, so the epoch
  // is the one file_clock_now_ns() uses too.
  return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) |
                                   time.dwLowDateTime) *
         100;
}

FileStamp stamp_of(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp.modified_ns = nanoseconds(data.ftLastWriteTime);
  stamp.changed_ns = nanoseconds(data.ftCreationTime);
  stamp.mode = data.dwFileAttributes;
  return stamp;
}

}  // namespace

SettingsFileLook look_at_settings_file(const std::string& path) {
  SettingsFileLook look;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(to_wide(path).c_str(), GetFileExInfoStandard, &data)) {
    look.file = stamp_of(data);
  } else if (const DWORD code = GetLastError();
             code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
    look.error = static_cast<int>(code);
  }
  return look;
}

SettingsFileContents read_settings_file(const std::string& path) {
  SettingsFileContents contents;
  contents.look = look_at_settings_file(path);
  if (!contents.look.file.exists && contents.look.error == 0) return contents;
  const HANDLE file =
      CreateFileW(to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    contents.error = system_error_text(GetLastError());
    return contents;
  }
  char chunk[65536];
  DWORD got = 0;
  BOOL ok = TRUE;
  while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0) {
    contents.bytes.append(chunk, got);
  }
  if (!ok) contents.error = system_error_text(GetLastError());
  CloseHandle(file);
  return contents;
}

std::string why_others_could_change(const std::string&, const SettingsFileLook&) { return {}; }

std::string make_private_folders(const std::string& folder) {
  const std::wstring wide = to_wide(folder);
  for (std::size_t end = wide.find_first_of(L"\\/", 3);;
       end = wide.find_first_of(L"\\/", end + 1)) {
    if (!CreateDirectoryW(wide.substr(0, end).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      return system_error_text(GetLastError());
    }
    if (end == std::wstring::npos) return {};
  }
}

std::int64_t file_clock_now_ns() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return nanoseconds(now);
}

}  // namespace kestrun::platform
