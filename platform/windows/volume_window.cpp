// SPDX-License-Identifier: MIT
// Windows sends DBT_DEVICEARRIVAL and DBT_DEVICEREMOVECOMPLETE for volumes to
// every top-level window, never to message-only ones, so the watch is a
// top-level window that is never shown. Qt's event dispatcher hands every
// window of its thread its messages, so this works without a Qt window too.
#include "platform/windows/volume_window.h"

#include <windows.h>
// dbt.h needs windows.h first.
#include <dbt.h>

#include <QMetaObject>
#include <QObject>

namespace kestrun::platform {

namespace {

constexpr wchar_t kClassName[] = L"KestrunVolumeWatch";

bool is_volume_change(WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return false;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_VOLUME;
}

class VolumeWindow : public QObject, public modGeneral::VolumeWatch {
 public:
  explicit VolumeWindow(std::function<void()> changed) : changed_(std::move(changed)) {}
  ~VolumeWindow() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  bool open() {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = kClassName;
    // A second watch in the process finds the class already there.
    if (RegisterClassExW(&type) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    window_ = CreateWindowExW(0, kClassName, L"Kestrun", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                              nullptr, type.hInstance, this);
    return window_ != nullptr;
  }

  void hold() override { held_ = true; }
  void release() override {
    held_ = false;
    if (kept_) report();
  }
  bool changed() override {
    const bool kept = kept_;
    kept_ = false;
    return kept;
  }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    } else if (message == WM_DEVICECHANGE && is_volume_change(w, l)) {
      auto* self = reinterpret_cast<VolumeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self != nullptr) self->heard();
      return TRUE;
    }
    return DefWindowProcW(window, message, w, l);
  }

  void heard() {
    kept_ = true;
    if (!held_) report();
  }

  // The broadcaster waits for this window's answer: the pass runs after it,
  // from the event loop.
  void report() {
    if (queued_) return;
    queued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          queued_ = false;
          if (held_ || !kept_) return;
          kept_ = false;
          changed_();
        },
        Qt::QueuedConnection);
  }

  std::function<void()> changed_;
  HWND window_ = nullptr;
  bool held_ = false;
  bool kept_ = false;    // heard and not yet reported or asked for
  bool queued_ = false;  // a report is on its way to the event loop
};

}  // namespace

std::unique_ptr<modGeneral::VolumeWatch> make_volume_window(std::function<void()> changed) {
  auto window = std::make_unique<VolumeWindow>(std::move(changed));
  if (!window->open()) return nullptr;
  return window;
}

}  // namespace kestrun::platform
