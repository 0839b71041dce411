// SPDX-License-Identifier: MIT
// The XDG autostart entry: $XDG_CONFIG_HOME/autostart/<desktop file id>,
// which shadows an entry of the same name in the system's folders
// ($XDG_CONFIG_DIRS/autostart).
#include "platform/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "engine/text_bytes.h"
#include "platform/linux/user_files.h"
#include "platform/linux/window_places.h"
#include "platform/settings_file.h"

namespace kestrun::platform::autostart {
namespace {

// The name of the desktop entry the package installs, so that a desktop's
// settings show the two as one program.
constexpr const char* kEntryName = KESTRUN_DESKTOP_ID ".desktop";

enum class Entry { absent, on, off };

std::string user_folder() {
  const std::string config = xdg_folder("XDG_CONFIG_HOME", ".config");
  return config.empty() ? config : config + "/autostart";
}

std::vector<std::string> system_folders() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::istringstream list(dirs != nullptr && dirs[0] != '\0' ? dirs : "/etc/xdg");
  std::vector<std::string> folders;
  for (std::string dir; std::getline(list, dir, ':');) {
    if (!dir.empty() && dir[0] == '/') folders.push_back(dir + "/autostart");
  }
  return folders;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The user or the desktop's settings switch an entry off with one of two
// keys; an entry that is there but cannot be read starts nothing either.
Entry read_entry(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    return lstat(path.c_str(), &status) == 0 ? Entry::off : Entry::absent;  // a broken link
  }
  if (!S_ISREG(status.st_mode)) return Entry::off;
  std::ifstream file(path);
  if (!file) return Entry::off;
  bool in_main_group = false;
  for (std::string line; std::getline(file, line);) {
    if (line.starts_with('[')) in_main_group = trimmed(line) == "[Desktop Entry]";
    const auto equals = line.find('=');
    if (!in_main_group || equals == std::string::npos) continue;
    const std::string key = trimmed(line.substr(0, equals));
    const std::string value = trimmed(line.substr(equals + 1));
    if ((key == "Hidden" && value == "true") ||
        (key == "X-GNOME-Autostart-enabled" && value == "false")) {
      return Entry::off;
    }
  }
  return Entry::on;
}

// Whether `front`, the command-line program, opens `program` as its window.
bool opens_window(const char* front, const std::string& program) {
  for (const auto& place : window_program_places(front)) {
    char* real = realpath(place.c_str(), nullptr);
    const bool same = real != nullptr && program == real;
    std::free(real);
    if (same) return true;
  }
  return false;
}

// Whether "kestrun", looked up on PATH as a desktop's launcher does, is
// `program` or opens it as its window.
bool found_on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream list(path != nullptr ? path : "");
  for (std::string dir; std::getline(list, dir, ':');) {
    if (dir.empty() || dir[0] != '/') continue;
    const std::string candidate = dir + "/kestrun";
    if (access(candidate.c_str(), X_OK) != 0) continue;
    char* real = realpath(candidate.c_str(), nullptr);
    const bool same = real != nullptr && (program == real || opens_window(real, program));
    std::free(real);
    return same;
  }
  return false;
}

// `program` as an Exec value: one quoted argument, with the quoting rule's
// escapes and the string rule's escape of the backslash on top. A path comes
// from wherever the program was started, a drive's label in its mount point
// included: nothing in it may reach a launcher unquoted, and what an entry
// cannot carry is refused. That includes '%': GLib's launcher looks for the
// program before it turns "%%" into '%', finds none, and starts nothing.
std::optional<std::string> exec_value(const std::string& program, std::string* error) {
  std::string value = "\"";
  for (std::string_view rest = program; !rest.empty();) {
    const std::size_t length = modGeneral::utf8_sequence_length(rest);
    const char32_t c = length == 0 ? 0 : modGeneral::utf8_code_point(rest.substr(0, length));
    if (c < 0x20 || c == 0x7f || c == '%') {
      const char* what = length == 0 ? "is not UTF-8"
                         : c == '%'  ? "holds '%'"
                                     : "holds a control character";
      *error = "the program's path '" + modGeneral::escape_for_terminal(program) + "' " + what +
               ", which a desktop entry cannot name";
      return std::nullopt;
    }
    if (c == '\\') {
      value += "\\\\\\\\";
    } else if (c == '"' || c == '`' || c == '$') {
      value += "\\\\";
      value += static_cast<char>(c);
    } else {
      value += rest.substr(0, length);
    }
    rest.remove_prefix(length);
  }
  return value + "\"";
}

std::optional<std::string> entry_text(bool hidden, std::string* error) {
  const std::string program = running_program();
  if (program.empty()) {
    *error = std::string("cannot find the running program: ") + std::strerror(errno);
    return std::nullopt;
  }
  std::string exec = "kestrun";
  if (!found_on_path(program)) {
    const auto quoted = exec_value(program, error);
    if (!quoted) return std::nullopt;
    exec = *quoted;
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Kestrun\n"
         "Comment=Run your commands when a drive with a given volume label is plugged in\n"
         "Exec=" +
         exec +
         "\n"
         "Icon=kestrun\n"
         "Terminal=false\n" +
         (hidden ? "Hidden=true\n" : "");
}

bool write_entry(bool hidden, std::string* error) {
  const std::string folder = user_folder();
  if (folder.empty()) {
    *error = "no home folder to keep the entry in";
    return false;
  }
  if (const auto why = make_private_folders(folder); !why.empty()) {
    *error = "cannot create the folder '" + folder + "': " + why;
    return false;
  }
  const auto text = entry_text(hidden, error);
  if (!text) return false;
  const std::string path = folder + "/" + kEntryName;
  if (const auto why = replace_file(path, *text, 0644); !why.empty()) {
    *error = "cannot write '" + path + "': " + why;
    return false;
  }
  return true;
}

Entry system_entry() {
  for (const auto& folder : system_folders()) {
    if (const Entry entry = read_entry(folder + "/" + kEntryName); entry != Entry::absent) {
      return entry;
    }
  }
  return Entry::absent;
}

}  // namespace

bool is_enabled() {
  const std::string folder = user_folder();
  if (!folder.empty()) {
    if (const Entry entry = read_entry(folder + "/" + kEntryName); entry != Entry::absent) {
      return entry == Entry::on;
    }
  }
  return system_entry() == Entry::on;
}

bool set_enabled(bool enabled, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (enabled) return write_entry(false, error);
  // An entry in the system's folders would start Kestrun all the same: one of
  // the user's own, switched off, keeps it from doing so.
  if (system_entry() == Entry::on) return write_entry(true, error);
  const std::string folder = user_folder();
  if (folder.empty()) return true;
  const std::string path = folder + "/" + kEntryName;
  if (unlink(path.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR) {
    *error = "cannot remove '" + path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace kestrun::platform::autostart
