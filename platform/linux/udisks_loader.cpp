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
  const std::filesystem::path folder = std::filesystem::path(running_program()).parent_path();
  Loaded loaded;
  for (const std::filesystem::path& place :
       {folder / kModuleFile, folder / KESTRUN_MODULE_DIR_FROM_BIN / kModuleFile,
        folder / KESTRUN_MODULE_DIR_FROM_WINDOW_DIR / kModuleFile}) {
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
    loaded.error = std::string("udisks2 support is not installed: no ") + kModuleFile + " in " +
                   (folder / KESTRUN_MODULE_DIR_FROM_BIN).lexically_normal().string();
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
