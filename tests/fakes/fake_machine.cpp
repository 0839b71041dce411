// SPDX-License-Identifier: MIT
#include "tests/fakes/fake_machine.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "engine/text_bytes.h"

namespace kestrun::testing {

void FakeMachine::plug(std::string root, std::optional<std::string> label,
                       modGeneral::DriveType type) {
  Drive drive{root, std::move(label), type, root, {}, {}};
  drives_[root] = std::move(drive);
}

void FakeMachine::pull(const std::string& root) { drives_.erase(root); }

void FakeMachine::relabel(const std::string& root, std::optional<std::string> label) {
  drives_.at(root).label = std::move(label);
}

void FakeMachine::set_location(const std::string& root, std::string mount_point, std::string device,
                               std::string identity) {
  auto& drive = drives_.at(root);
  drive.mount_point = std::move(mount_point);
  drive.device = std::move(device);
  drive.identity = std::move(identity);
}

std::size_t FakeMachine::logical_drive_strings(std::size_t length, char* buffer) {
  ++listings;
  if (listing_fails_) return 0;
  std::string records;
  for (const auto& [root, drive] : drives_) records.append(root).push_back('\0');
  const auto needed = records.size() + 1;
  if (length < needed) return needed;
  std::memcpy(buffer, records.data(), records.size());
  buffer[records.size()] = '\0';
  return records.size();
}

const FakeMachine::Drive* FakeMachine::find(std::string_view root) const {
  for (const auto& [key, drive] : drives_) {
    if (key.size() == root.size() &&
        std::equal(key.begin(), key.end(), root.begin(),
                   [](char a, char b) { return std::toupper(a) == std::toupper(b); })) {
      return &drive;
    }
  }
  return nullptr;
}

std::optional<std::string> FakeMachine::volume_label(std::string_view root) {
  ++label_reads;
  const auto* drive = find(root);
  if (drive == nullptr) return std::nullopt;
  return drive->label;
}

modGeneral::DriveType FakeMachine::drive_type(std::string_view root) {
  ++type_reads;
  const auto* drive = find(root);
  return drive == nullptr ? modGeneral::kDriveNoRootDir : drive->type;
}

modGeneral::DriveLocation FakeMachine::locate(std::string_view root) {
  const auto* drive = find(root);
  if (drive == nullptr) return {};
  return {drive->mount_point, drive->device, drive->identity};
}

std::vector<std::string> FakeMachine::take_warnings() { return std::exchange(warnings, {}); }

bool FakeLauncher::launch(const modGeneral::LaunchRequest& request, std::string* error) {
  const auto failure = failures.find(request.command);
  if (failure != failures.end()) {
    *error = failure->second;
    return false;
  }
  launched.push_back(request);
  return true;
}

std::string FakeLauncher::start_problem(std::string_view command) const {
  const auto failure = failures.find(std::string(command));
  return failure == failures.end() ? std::string() : failure->second;
}

std::vector<std::string> FakeLauncher::words(std::string_view command) const {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool started = false;
  for (const char c : command) {
    if (c == '"') {
      quoted = !quoted;
      started = true;
    } else if (c == ' ' && !quoted) {
      if (started) words.push_back(word);
      word.clear();
      started = false;
    } else {
      word.push_back(c);
      started = true;
    }
  }
  if (started) words.push_back(word);
  return words;
}

void FakeLauncher::finish(std::size_t index, const modGeneral::CommandOutcome& outcome) {
  if (finished_) finished_(launched.at(index), outcome);
}

std::string MemorySettings::read(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view default_value) {
  ++reads;
  const auto found = values.find({std::string(app), std::string(section), std::string(key)});
  return found == values.end() ? std::string(default_value) : found->second;
}

bool MemorySettings::write(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view value, std::string* error) {
  if (write_error) {
    *error = *write_error;
    return false;
  }
  values[{std::string(app), std::string(section), std::string(key)}] = std::string(value);
  return true;
}

void MemoryPane::set_text(const std::string& text) {
  text_ = text;
  length_ = modGeneral::character_count(text_);
  selection_start_ = 0;
  selection_length_ = 0;
}

void MemoryPane::set_selection_start(std::size_t position) {
  selection_start_ = std::min(position, length());
  selection_length_ = 0;
}

void MemoryPane::set_selection_length(std::size_t length) {
  selection_length_ = std::min(length, this->length() - selection_start_);
}

void FakeWorld::store_script(const std::string& script) {
  std::string ignored;
  settings.write(modGeneral::kAdvanced, script, &ignored);
}

std::string crlf_lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const auto line : lines) text.append(line).append("\r\n");
  return text;
}

std::string sample_script() {
  return crlf_lines({
      "ignore:d:\\,e:\\,g:\\",
      "label:My USB Pen Drive",
      "exec:wscript \"c:\\something\\whatever.vbs\" \"%1\"",
      "label:Second Pen Drive",
      "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"",
      "menurun:wscript \"c:\\OPTIONALscript.vbs\" \"%3\"",
  });
}

}  // namespace kestrun::testing
