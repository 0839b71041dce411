// SPDX-License-Identifier: MIT
// A main window over a fake machine, a recording desktop and a settings file
// in a temporary folder.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/qt_settings_store.h"
#include "tests/fakes/fake_machine.h"
#include "ui/desktop.h"
#include "ui/frmAdvanced.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"

namespace kestrun::testing {

/// Answers questions as told and records what the windows asked for.
class FakeDesktop : public ui::Desktop {
 public:
  struct Box {
    QString text;
    QString title;
    bool warning = false;
    int cursor = -1;  // the override cursor's shape while it was up, -1 for none
  };

  bool ask_yes_no(QWidget* parent, const QString& text, const QString& title) override;
  void show_message(QWidget* parent, const QString& text, const QString& title,
                    bool warning) override;
  bool tray_available() override { return tray; }
  void notify(QSystemTrayIcon*, const QString& title, const QString& text) override {
    notices.push_back(title + " | " + text);
  }
  std::optional<platform::SystemError> open_url(const QUrl& url) override;
  void quit() override { ++quits; }
  // The tests' drives come and go only when a test says so.
  std::unique_ptr<modGeneral::VolumeWatch> watch_volumes(std::function<void()>) override {
    return nullptr;
  }
  // Ejects at once, answering `eject_answer`.
  std::unique_ptr<modGeneral::Ejector> make_ejector() override;
  bool can_mount_volumes() override { return true; }
  // A mounter that only counts how many live and hands the test its log.
  std::unique_ptr<QObject> mount_volumes(std::function<std::string()> read_script,
                                         std::function<void(const std::string&)> log) override;

  bool answer_yes = true;
  bool tray = true;
  std::optional<platform::SystemError> open_failure;

  std::vector<Box> questions;
  std::vector<Box> messages;
  std::vector<QUrl> opened;
  QStringList notices;  // "title | text"
  modGeneral::EjectResult eject_answer{true, {}};
  int mounters = 0;  // alive now
  std::function<void(const std::string&)> mount_log;
  std::vector<int> cursor_while_opening;
  int quits = 0;
};

/// Everything a main window needs, with nothing real but the settings file
/// and, when given, the drives.
struct MainWindowRig {
  explicit MainWindowRig(modGeneral::DriveApi* drives = nullptr);

  /// Runs the start-up sequence, closing the splash by firing its timer.
  /// `during_splash` runs while the splash is up.
  void load(const std::function<void()>& during_splash = {});
  void store(const modGeneral::SettingKey& key, const std::string& value);
  std::string stored(const modGeneral::SettingKey& key);
  std::string log() const;
  /// What the window's passes work with, as the editor it opens is given it.
  modGeneral::Context& context();

  QTemporaryDir folder;
  QString settings_path;
  FakeMachine machine;
  FakeLauncher launcher;
  QtSettingsStore settings;
  FakeDesktop desktop;
  std::unique_ptr<ui::frmMain> window;
  /// The window's controls, which it shows no other caller.
  const ui::frmMainControls& controls;
};

/// An editor opened over a main window's context as its "..." button opens
/// it, or one already open.
struct EditorRig {
  explicit EditorRig(MainWindowRig& main);
  explicit EditorRig(ui::frmAdvanced& open);

  /// Shows the editor; false if it did not come on screen.
  bool show();
  /// The editor pane's width in twips, as the layout keeps it.
  int advanced_width() const;

  std::unique_ptr<ui::frmAdvanced> owned;
  ui::frmAdvanced& window;
  /// The editor's controls, which it shows no other caller.
  const ui::frmAdvancedControls& controls;
};

/// A splash's controls, which it shows no other caller.
struct SplashRig {
  explicit SplashRig(ui::frmSplash& splash) : controls(splash) {}

  const ui::frmSplashControls& controls;
};

/// Chooses `action` from the context menu of the editor's drive row `row`.
void choose_from_row_menu(const EditorRig& editor, int row, const QString& action);

/// Fires `timer` once, reaching its handler as the event loop does, without
/// waiting for it.
void fire(QTimer* timer);

/// Runs `work` on the modal dialog once one is up.
void when_modal_shown(const std::function<void(QWidget*)>& work);

}  // namespace kestrun::testing
