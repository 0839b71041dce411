// SPDX-License-Identifier: MIT
#include "platform/web_link_win.h"

#include <windows.h>
// Needs what <windows.h> declares.
#include <shellapi.h>

#include "platform/text_win.h"

namespace kestrun::platform {
namespace {

// ShellExecuteW's own failure codes (0 to 32) as the system error codes they stand
// for, for when it leaves no last error behind.
DWORD system_code_for(INT_PTR result) {
  switch (result) {
    case 0:
    case SE_ERR_OOM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_SHARE:
      return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
      return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
      return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND:
      return ERROR_DLL_NOT_FOUND;
    default:  // SE_ERR_FNF, SE_ERR_PNF, SE_ERR_ACCESSDENIED and ERROR_BAD_FORMAT are the same
              // numbers
      return static_cast<DWORD>(result);
  }
}

}  // namespace

bool open_web_address(std::string_view address, std::uintptr_t owner_window, std::string* message) {
  SetLastError(ERROR_SUCCESS);
  const HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(owner_window), L"open",
                                         to_wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // Anything above 32 is success; the value is no real handle.
  const auto code = reinterpret_cast<INT_PTR>(result);
  if (code > 32) return true;
  DWORD number = GetLastError();
  if (number == ERROR_SUCCESS) number = system_code_for(code);
  if (message != nullptr)
    *message = web_link_error_message(address, {system_error_text(number), number});
  return false;
}

}  // namespace kestrun::platform
