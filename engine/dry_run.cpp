// SPDX-License-Identifier: MIT
// A poll pass that starts nothing: what the script would do with the drives.
#include <string>
#include <vector>

#include "engine/modGeneral.h"

namespace modGeneral {

namespace {

// Everything a pass writes to goes nowhere; the script is the one given, and
// every launch is only written down.
class DryRun : public Launcher, public SettingsStore, public TextPane, public RunItem {
 public:
  explicit DryRun(std::string_view script) : script_(script) {}

  bool launch(const LaunchRequest& request, std::string*) override {
    launched.push_back(request);
    return true;
  }

  using SettingsStore::read;
  using SettingsStore::write;
  std::string read(std::string_view, std::string_view, std::string_view key,
                   std::string_view default_value) override {
    return key == kAdvanced.name ? std::string(script_) : std::string(default_value);
  }
  bool write(std::string_view, std::string_view, std::string_view, std::string_view,
             std::string* error) override {
    *error = "a dry run stores nothing";
    return false;
  }

  std::string text() const override { return {}; }
  void set_text(const std::string&) override {}
  std::size_t selection_start() const override { return 0; }
  void set_selection_start(std::size_t) override {}
  void set_selection_length(std::size_t) override {}

  void set_caption(const std::string&) override {}
  void set_tag(const LaunchRequest&) override {}

  std::vector<LaunchRequest> launched;

 private:
  std::string_view script_;
};

}  // namespace

std::vector<LaunchRequest> dry_poll_pass(DriveApi& drives, std::string_view script) {
  DryRun dry(script);
  Context context{drives, dry, dry, dry, dry, {}};
  run_detection(context, Mode::poll);
  return std::move(dry.launched);
}

}  // namespace modGeneral
