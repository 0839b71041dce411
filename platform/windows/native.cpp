// SPDX-License-Identifier: MIT
// Console control events as termination requests, volume broadcasts, the
// console of the program that started a windowed kestrun.exe, and why
// ShellExecute failed.
#include "platform/native.h"

#include <io.h>
#include <windows.h>

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <cstdio>

#include "platform/windows/text.h"
#include "platform/windows/volume_window.h"

namespace kestrun::platform {

namespace {

// Control events arrive on a thread the system starts for them; only the
// event loop may act on them. One watcher at a time, as on Linux.
class ConsoleWatch : public QObject {
 public:
  explicit ConsoleWatch(std::function<void()> requested)
      : requested_(std::move(requested)), finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    current_.store(this);
    SetConsoleCtrlHandler(on_control_event, TRUE);
  }
  ~ConsoleWatch() override {
    SetConsoleCtrlHandler(on_control_event, FALSE);
    current_.store(nullptr);
    // The process is about to end its event loop's work: let a handler that
    // holds the process open for it return.
    if (finished_ != nullptr) {
      SetEvent(finished_);
      CloseHandle(finished_);
    }
  }

 private:
  static BOOL WINAPI on_control_event(DWORD type) {
    ConsoleWatch* watch = current_.load();
    if (watch == nullptr) return FALSE;
    QMetaObject::invokeMethod(watch, watch->requested_, Qt::QueuedConnection);
    // Windows ends the process once this returns for a closed console, a
    // logoff or a shutdown: give the loop a moment to say "Stopped." first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
      WaitForSingleObject(watch->finished_, 4000);
    }
    return TRUE;
  }

  static inline std::atomic<ConsoleWatch*> current_{nullptr};
  std::function<void()> requested_;
  HANDLE finished_;
};

bool has_stream(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

class WindowsNative : public NativeInterface {
 public:
  std::unique_ptr<QObject> watch_termination_requests(std::function<void()> requested) override {
    return std::make_unique<ConsoleWatch>(std::move(requested));
  }
  std::unique_ptr<modGeneral::VolumeWatch> watch_volumes(std::function<void()> changed) override {
    return make_volume_window(std::move(changed));
  }
  void attach_parent_console() override;
  SystemError web_link_failure() override {
    const DWORD number = GetLastError();
    return {system_error_text(number), number};
  }
};

}  // namespace

std::unique_ptr<NativeInterface> make_native_interface() {
  return std::make_unique<WindowsNative>();
}

void WindowsNative::attach_parent_console() {
  // Streams redirected to a file or pipe are already there and stay so.
  const bool out = has_stream(STD_OUTPUT_HANDLE);
  const bool err = has_stream(STD_ERROR_HANDLE);
  if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out && std::freopen("CONOUT$", "w", stdout) != nullptr) {
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))));
  }
  if (!err && std::freopen("CONOUT$", "w", stderr) != nullptr) {
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr))));
  }
}

}  // namespace kestrun::platform
