// The Windows drive API and launcher behind the platform factory.
#include "platform/drives_win.h"
#include "platform/launcher_win.h"
#include "platform/platform.h"

namespace kestrun::platform {

std::unique_ptr<modGeneral::DriveApi> make_drive_api() {
  return std::make_unique<WindowsDriveApi>();
}

std::unique_ptr<modGeneral::Launcher> make_launcher() {
  return std::make_unique<WindowsLauncher>();
}

}  // namespace kestrun::platform
