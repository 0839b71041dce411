// SPDX-License-Identifier: MIT
// In-memory stand-ins for the engine's seams: a machine whose drives a test
// plugs and pulls, a launcher that records, a settings map, a text pane.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/detection.h"
#include "engine/drive_list.h"
#include "engine/poll_session.h"

namespace kestrun::testing {

/// A machine with drive letters. Drives are listed in letter order, as Windows does.
class FakeMachine : public modGeneral::DriveApi {
 public:
  struct Drive {
    std::string root;                  // "E:\"
    std::optional<std::string> label;  // nullopt: the volume cannot be read
    modGeneral::DriveType type = modGeneral::kDriveRemovable;
    std::string mount_point;
    std::string device;
    std::string identity;
  };

  /// Plugs in (or replaces) the drive at `root`.
  void plug(std::string root, std::optional<std::string> label,
            modGeneral::DriveType type = modGeneral::kDriveRemovable);
  void pull(const std::string& root);
  void relabel(const std::string& root, std::optional<std::string> label);
  void set_location(const std::string& root, std::string mount_point, std::string device,
                    std::string identity = {});
  /// Makes listing the drives fail until cleared.
  void fail_listing(bool fail) { listing_fails_ = fail; }

  std::size_t logical_drive_strings(std::size_t length, char* buffer) override;
  std::optional<std::string> volume_label(std::string_view root) override;
  modGeneral::DriveType drive_type(std::string_view root) override;
  modGeneral::DriveLocation locate(std::string_view root) override;
  std::vector<std::string> take_warnings() override;

  /// Given, and emptied, by the next take_warnings().
  std::vector<std::string> warnings;
  int label_reads = 0;
  int type_reads = 0;
  int listings = 0;

 private:
  const Drive* find(std::string_view root) const;
  std::map<std::string, Drive> drives_;
  bool listing_fails_ = false;
};

class FakeLauncher : public modGeneral::Launcher {
 public:
  bool launch(const modGeneral::LaunchRequest& request, std::string* error) override;
  void on_finished(Finished finished) override { finished_ = std::move(finished); }
  /// Splits at spaces outside double quotes, which group.
  std::vector<std::string> words(std::string_view command) const override;
  /// The failure its launch would give, as a real launcher tells it beforehand.
  std::string start_problem(std::string_view command) const override;

  /// Ends the command launched at `index` as the platform would report it.
  void finish(std::size_t index, const modGeneral::CommandOutcome& outcome);

  std::vector<modGeneral::LaunchRequest> launched;
  /// Commands whose launch fails, with the words the "platform" gives.
  std::map<std::string, std::string> failures;

 private:
  Finished finished_;
};

class MemorySettings : public modGeneral::SettingsStore {
 public:
  using SettingsStore::read;
  using SettingsStore::write;
  std::string read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view default_value) override;
  bool write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value, std::string* error) override;

  std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
  /// When set, every write fails with this reason.
  std::optional<std::string> write_error;
  int reads = 0;
};

class MemoryPane : public modGeneral::TextPane {
 public:
  std::string text() const override { return text_; }
  void set_text(const std::string& text) override;
  std::size_t length() const override { return length_; }
  std::size_t selection_start() const override { return selection_start_; }
  void set_selection_start(std::size_t position) override;
  void set_selection_length(std::size_t length) override;
  std::size_t selection_length() const { return selection_length_; }

 private:
  std::string text_;
  std::size_t length_ = 0;
  std::size_t selection_start_ = 0;
  std::size_t selection_length_ = 0;
};

class RecordingRunItem : public modGeneral::RunItem {
 public:
  void set_caption(const std::string& caption) override { this->caption = caption; }
  void set_tag(const modGeneral::LaunchRequest& tag) override { this->tag = tag; }

  std::string caption;
  modGeneral::LaunchRequest tag;
};

class RecordingDriveList : public modGeneral::DriveList {
 public:
  void clear() override { rows.clear(); }
  void add_row(const std::string& row, const std::string&) override { rows.push_back(row); }

  std::vector<std::string> rows;
};

/// A volume watch whose words the test gives: it calls the session itself
/// while the watch is not held, and sets `kept` while it is.
class FakeVolumeWatch : public modGeneral::VolumeWatch {
 public:
  void hold() override { held = true; }
  void release() override { held = false; }
  bool changed() override { return std::exchange(kept, false); }

  bool held = false;
  bool kept = false;
};

/// All of the above wired into one engine context, for tests of whole passes.
struct FakeWorld {
  FakeMachine machine;
  FakeLauncher launcher;
  MemorySettings settings;
  MemoryPane log;
  RecordingRunItem run_item;
  modGeneral::Context context{machine, launcher, settings, log, run_item, {}};

  void store_script(const std::string& script);
};

/// Joins lines with CR LF after each, as the editor's text gives them.
std::string crlf_lines(std::initializer_list<std::string_view> lines);

/// The editor's example lines as one script: an ignore line and two entries,
/// the second with a menu command.
std::string sample_script();

}  // namespace kestrun::testing
