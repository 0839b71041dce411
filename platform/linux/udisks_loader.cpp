// SPDX-License-Identifier: MIT
// Finds and loads the udisks2 module once, on first use. It is looked for
// beside the running program (the build tree) and where it is installed
// relative to the command-line and the window program, under any prefix.
#include <dlfcn.h>

#include <filesystem>

#include "platform/linux/udisks_module.h"
#include "platform/linux/window_places.h"

namespace kestrun::platform {

namespace {

constexpr const char* kModuleFile = "kestrun-udisks.so";

struct Loaded {
  const UdisksModule* module = nullptr;
  std::string error;
};

Loaded load() {
  const auto places =
      installed_places(running_program(), kModuleFile,
                       {KESTRUN_MODULE_DIR_FROM_BIN, KESTRUN_MODULE_DIR_FROM_WINDOW_DIR});
  Loaded loaded;
  for (const auto& place : places) {
    std::error_code ignored;
    if (!std::filesystem::exists(place, ignored)) continue;
    // Never closed: the objects it makes live as long as the program.
    void* handle = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* entry = handle != nullptr ? dlsym(handle, "kestrun_udisks_module") : nullptr;
    if (entry == nullptr) {
      const char* why = dlerror();
      loaded.error = "the udisks2 module cannot be loaded: " + std::string(why ? why : "");
      continue;
    }
    loaded.module = reinterpret_cast<decltype(&kestrun_udisks_module)>(entry)();
    return loaded;
  }
  if (loaded.error.empty()) {
    std::string tried;
    for (const auto& place : places) tried += (tried.empty() ? "" : ", ") + place;
    loaded.error = "udisks2 support is not installed; looked for " + tried;
  }
  return loaded;
}

}  // namespace

const UdisksModule* udisks_module(std::string* error) {
  static const Loaded loaded = load();
  if (loaded.module == nullptr && error != nullptr) *error = loaded.error;
  return loaded.module;
}

}  // namespace kestrun::platform
