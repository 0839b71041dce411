// SPDX-License-Identifier: MIT
// Run by the settings fault tests, often as another user or twice at once:
//   kestrun_settings_writer INI write KEY VALUE [TIMES]   (VALUE, then VALUE1..)
//   kestrun_settings_writer INI read KEY
// A write that fails prints the store's reason on standard error and exits 1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/qt_settings_store.h"

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  kestrun::QtSettingsStore store(QString::fromLocal8Bit(argv[1]));
  const std::string action = argv[2];
  const std::string key = argv[3];
  if (action == "read") {
    const auto value = store.read("Kestrun", "Settings", key, "(default)");
    std::fwrite(value.data(), 1, value.size(), stdout);
    return 0;
  }
  if (action != "write" || argc < 5) return 2;
  const int times = argc > 5 ? std::atoi(argv[5]) : 1;
  for (int i = 0; i < times; ++i) {
    const std::string value = times == 1 ? argv[4] : argv[4] + std::to_string(i);
    std::string error;
    if (!store.write("Kestrun", "Settings", key, value, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
