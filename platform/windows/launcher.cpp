// SPDX-License-Identifier: MIT
#include "platform/windows/launcher.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/windows/text.h"

namespace kestrun::platform {
namespace {

struct Variable {
  std::wstring name;
  std::wstring entry;  // "name=value", as the block holds it
};

Variable variable(std::string_view name, const std::string& value) {
  const std::wstring wide_name = to_wide(name);
  return {wide_name, wide_name + L"=" + to_wide(value)};
}

// Names compare as Windows compares them: ordinal, ignoring case.
int compare_names(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE);
}

std::vector<Variable> current_environment() {
  std::vector<Variable> variables;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return variables;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    std::wstring text(entry);
    // Names may start with '=' (the per-drive current folders, "=C:=C:\x").
    const std::size_t equals = text.find(L'=', 1);
    variables.push_back({text.substr(0, equals), text});
  }
  FreeEnvironmentStringsW(block);
  return variables;
}

// This process's environment with the request's variables set. They replace any
// that Kestrun itself inherited, from being started by one of its own commands.
std::wstring environment_block(const modGeneral::LaunchRequest& request) {
  std::vector<Variable> ours;
  for (const auto& drive_variable : modGeneral::kDriveVariables) {
    ours.push_back(variable(drive_variable.name, request.*drive_variable.field));
  }
  std::vector<Variable> variables = current_environment();
  std::erase_if(variables, [&](const Variable& inherited) {
    return std::any_of(std::begin(ours), std::end(ours), [&](const Variable& own) {
      return compare_names(inherited.name, own.name) == CSTR_EQUAL;
    });
  });
  variables.insert(variables.end(), std::begin(ours), std::end(ours));
  // Windows keeps environment blocks sorted by name, and CreateProcessW asks the same.
  std::stable_sort(variables.begin(), variables.end(), [](const Variable& a, const Variable& b) {
    return compare_names(a.name, b.name) == CSTR_LESS_THAN;
  });
  std::wstring block;
  for (const Variable& each : variables) {
    block += each.entry;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

// The names CreateProcessW tries for the program of a command line without
// an application name: a quoted first word alone; otherwise the line up to
// each blank in turn, then all of it, as "c:\program files\x.exe" is tried
// as "c:\program" first.
std::vector<std::wstring> program_candidates(const std::wstring& line) {
  if (!line.empty() && line.front() == L'"') {
    return {line.substr(1, line.find(L'"', 1) - 1)};
  }
  std::vector<std::wstring> candidates;
  for (auto blank = line.find_first_of(L" \t"); blank != std::wstring::npos;
       blank = line.find_first_of(L" \t", blank + 1)) {
    if (blank > 0) candidates.push_back(line.substr(0, blank));
  }
  candidates.push_back(line);
  return candidates;
}

}  // namespace

std::string WindowsLauncher::start_problem(std::string_view command) const {
  bool folder = false;
  for (const auto& candidate : program_candidates(to_wide(command))) {
    if (candidate.empty()) continue;
    std::wstring found(MAX_PATH, L'\0');
    const DWORD length = SearchPathW(nullptr, candidate.c_str(), L".exe",
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
    // A name longer than the buffer was found all the same.
    if (length > found.size()) return {};
    if (length == 0) continue;
    found.resize(length);
    const DWORD attributes = GetFileAttributesW(found.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return {};
    }
    folder = true;
  }
  return system_error_text(folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
}

bool WindowsLauncher::launch(const modGeneral::LaunchRequest& request, std::string* error) {
  std::wstring command_line = to_wide(request.command);  // CreateProcessW may write into it
  std::wstring environment = environment_block(request);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  const auto started = ProcessWatch::Clock::now();
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                      &process)) {
    const DWORD code = GetLastError();
    if (error != nullptr) *error = system_error_text(code);
    return false;
  }
  CloseHandle(process.hThread);
  processes_.follow(process.hProcess, request, started);
  return true;
}

}  // namespace kestrun::platform
