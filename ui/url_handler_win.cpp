// Qt opens web addresses with ShellExecute and reports failure with no reason;
// the thread's last error still holds it.
#include <windows.h>

#include "ui/desktop.h"

namespace kestrun::ui {

SystemError url_handler_failure() {
  const DWORD number = GetLastError();
  wchar_t* words = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, number, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
  QString description = words ? QString::fromWCharArray(words).trimmed() : QString();
  LocalFree(words);
  return {description, static_cast<long>(number)};
}

}  // namespace kestrun::ui
