// SPDX-License-Identifier: MIT
// The value "Kestrun" under the user's Run key. Task Manager and the Startup
// apps settings switch such a value off without removing it, by a flag under
// StartupApproved\Run that the installer and this file both honour.
#include "platform/autostart.h"

#include <windows.h>

#include <string>

#include "platform/windows/registry_store.h"
#include "platform/windows/text.h"

namespace kestrun::platform::autostart {
namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kApprovedKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr const wchar_t* kValueName = L"Kestrun";

// The first byte of the flag is odd while the entry is switched off.
bool switched_off() {
  BYTE flag[64] = {};
  DWORD size = sizeof flag;
  const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, kApprovedKey, kValueName,
                                      RRF_RT_REG_BINARY, nullptr, flag, &size);
  return (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && size > 0 && (flag[0] & 1);
}

bool failed(LSTATUS status, const std::string& what, std::string* error) {
  if (status == ERROR_SUCCESS) return false;
  if (error != nullptr) *error = what + ": " + system_error_text(static_cast<DWORD>(status));
  return true;
}

// Removes `value` under `key`; one that is not there is no failure.
LSTATUS delete_value(const wchar_t* key, const wchar_t* value) {
  const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, key, value);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

bool is_enabled() {
  const LSTATUS status =
      RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName,
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr, nullptr);
  return status == ERROR_SUCCESS && !switched_off();
}

bool set_enabled(bool enabled, std::string* error) {
  const std::string where = "HKEY_CURRENT_USER\\" + to_utf8(kRunKey);
  if (!enabled) {
    if (failed(delete_value(kRunKey, kValueName), "cannot remove the value Kestrun under " + where,
               error)) {
      return false;
    }
    delete_value(kApprovedKey, kValueName);
    return true;
  }
  const std::wstring program = running_program_path();
  if (program.empty()) {
    failed(static_cast<LSTATUS>(GetLastError()), "cannot find the running program", error);
    return false;
  }
  // Quoted, as the path has spaces in it under "Program Files".
  const std::wstring command = L"\"" + program + L"\"";
  const LSTATUS status = write_user_text(kRunKey, kValueName, command);
  if (failed(status, "cannot write the value Kestrun under " + where, error)) return false;
  // Switching it on where the system's settings had switched it off.
  delete_value(kApprovedKey, kValueName);
  return true;
}

}  // namespace kestrun::platform::autostart
