// The platform's drive API and launcher, made for the OS the program is built for.
#pragma once

#include <memory>

#include "engine/drive_api.h"
#include "engine/launcher.h"

namespace kestrun::platform {

/// The machine's drives. Drive letters that the platform invents stay fixed
/// for as long as the returned object lives, so keep one for the whole run.
std::unique_ptr<modGeneral::DriveApi> make_drive_api();

std::unique_ptr<modGeneral::Launcher> make_launcher();

}  // namespace kestrun::platform
