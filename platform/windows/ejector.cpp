// SPDX-License-Identifier: MIT
// Ejecting a volume on Windows: locked, which fails while any program has a
// file open on it (so a busy volume is never forced), then dismounted, which
// writes out the cache, then its medium ejected. Locking works on the volume
// alone, with no walk of the device tree from the volume up to its USB device.
#include <windows.h>
#include <winioctl.h>

#include "platform/storage_service.h"
#include "platform/windows/text.h"

namespace kestrun::platform {

namespace {

using modGeneral::EjectResult;

class HandleCloser {
 public:
  explicit HandleCloser(HANDLE handle) : handle_(handle) {}
  ~HandleCloser() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool control(HANDLE volume, DWORD code, void* input = nullptr, DWORD input_size = 0) {
  DWORD returned = 0;
  return DeviceIoControl(volume, code, input, input_size, nullptr, 0, &returned, nullptr) != 0;
}

std::string failed(const std::string& what) {
  return what + ": " + system_error_text(GetLastError());
}

EjectResult eject_volume(const std::string& root) {
  // "\\.\E:" names the volume behind "E:\".
  const std::wstring path = L"\\\\.\\" + to_wide(root.substr(0, 2));
  const HandleCloser volume(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  if (volume.get() == INVALID_HANDLE_VALUE) return {false, failed("the volume cannot be opened")};
  if (!control(volume.get(), FSCTL_LOCK_VOLUME)) {
    return {false, failed("it is in use by another program")};
  }
  if (!control(volume.get(), FSCTL_DISMOUNT_VOLUME)) {
    return {false, failed("it cannot be dismounted")};
  }
  PREVENT_MEDIA_REMOVAL allow{FALSE};
  control(volume.get(), IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow);
  // A USB hard disk has no medium to eject; dismounted and locked until the
  // handle closes, its data is written out all the same.
  if (!control(volume.get(), IOCTL_STORAGE_EJECT_MEDIA)) {
    return {false, failed("dismounted, but its medium cannot be ejected")};
  }
  return {true, {}};
}

// Synchronous: a dismount writes out the cache, which the event loop waits on.
class VolumeEjector : public modGeneral::Ejector {
 public:
  void eject(const modGeneral::LaunchRequest& request, Done done) override {
    done(eject_volume(request.root));
  }
};

}  // namespace

std::unique_ptr<modGeneral::Ejector> make_ejector() { return std::make_unique<VolumeEjector>(); }

}  // namespace kestrun::platform
