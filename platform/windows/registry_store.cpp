// SPDX-License-Identifier: MIT
#include "platform/windows/registry_store.h"

#include <windows.h>

#include "platform/windows/text.h"

namespace kestrun::platform {

std::wstring registry_settings_path(std::string_view app, std::string_view section) {
  return L"Software\\VB and VBA Program Settings\\" + to_wide(app) + L"\\" + to_wide(section);
}

std::string RegistryStore::read(std::string_view app, std::string_view section,
                                std::string_view key, std::string_view default_value) {
  const std::wstring path = registry_settings_path(app, section);
  const std::wstring name = to_wide(key);
  std::wstring data;
  LSTATUS status = ERROR_MORE_DATA;
  // Loops only when another program makes the value longer between the calls.
  while (status == ERROR_MORE_DATA) {
    DWORD bytes = 0;
    status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                          nullptr, &bytes);
    if (status != ERROR_SUCCESS) break;
    data.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                          data.data(), &bytes);
  }
  if (status != ERROR_SUCCESS) return std::string(default_value);
  return to_utf8(data.c_str());
}

long write_user_text(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  HKEY hkey = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &hkey, nullptr);
  if (status == ERROR_SUCCESS) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(hkey, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(hkey);
  }
  return status;
}

bool RegistryStore::write(std::string_view app, std::string_view section, std::string_view key,
                          std::string_view value, std::string* error) {
  const LSTATUS status =
      write_user_text(registry_settings_path(app, section), to_wide(key), to_wide(value));
  if (status == ERROR_SUCCESS) return true;
  if (error != nullptr) *error = system_error_text(static_cast<DWORD>(status));
  return false;
}

}  // namespace kestrun::platform
