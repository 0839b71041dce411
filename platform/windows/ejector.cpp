// SPDX-License-Identifier: MIT
// Ejecting a volume: not yet done on Windows, where the engine says so.
#include "platform/storage_service.h"

namespace kestrun::platform {

std::unique_ptr<modGeneral::Ejector> make_ejector() { return nullptr; }

}  // namespace kestrun::platform
