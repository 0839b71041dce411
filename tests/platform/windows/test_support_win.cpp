// SPDX-License-Identifier: MIT
#include "test_support_win.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/windows/registry_store.h"

namespace kestrun::testing {
namespace fs = std::filesystem;
namespace {

fs::path from_utf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

ScratchFolder::ScratchFolder() {
  // Process ids come round again, and a folder an earlier run could not
  // remove (a child it started still held a file) must not be shared.
  static int count = 0;
  const auto base = fs::temp_directory_path();
  fs::create_directories(base);
  do {
    path_ = base / ("kestrun tests " + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(++count) + "-" + std::to_string(GetTickCount64()));
  } while (!fs::create_directory(path_));
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScratchFolder::file(const std::string& name) const {
  const std::u8string text = (path_ / from_utf8(name)).u8string();
  return std::string(text.begin(), text.end());
}

void remove_registry_settings(std::string_view app, std::string_view section) {
  RegDeleteTreeW(HKEY_CURRENT_USER, platform::registry_settings_path(app, section).c_str());
}

std::string stage_test_child(const ScratchFolder& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  fs::copy_file(fs::path(self).parent_path() / "kestrun_test_child.exe",
                folder.path() / "child.exe", fs::copy_options::overwrite_existing);
  return "\"" + folder.file("child.exe") + "\"";
}

std::optional<ChildReport> wait_for_report(const std::string& path) {
  const fs::path file = from_utf8(path);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(file)) {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ifstream in(file, std::ios::binary);
  ChildReport report;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "command_line") {
      report.command_line = value;
    } else if (key == "arg") {
      report.args.push_back(value);
    } else if (key == "show") {
      report.show = value;
    } else {
      report.variables[key] = value;
    }
  }
  return report;
}

}  // namespace kestrun::testing
