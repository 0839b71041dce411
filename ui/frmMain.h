// SPDX-License-Identifier: MIT
// The main window: settings, Start/Stop and the poll timer, the script view,
// the action log, the tray and the web links.
#pragma once

#include <QWidget>
#include <memory>

#include "engine/detection.h"
#include "engine/outcomes.h"
#include "platform/session_driver.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kestrun::testing {
struct MainWindowRig;
}

namespace kestrun::ui {

class Desktop;
class LinkLabel;
class RichTextPane;
class TrayIcon;

/// The main window's controls, as the layout names them.
struct frmMainControls {
  QLabel* const Label9;
  QPushButton* const cmdAction;
  QCheckBox* const chkAuto;
  QLabel* const Label3;
  QLineEdit* const txtInterval;
  QCheckBox* const chkMin;
  QLabel* const Label7;
  QLabel* const Label11;
  RichTextPane* const txtAdvanced;
  QPushButton* const cmdRegEx;
  QFrame* const Line1;
  QLabel* const Label12;
  QLabel* const lblTimer;
  RichTextPane* const txtOutput;
  QLabel* const Label4;
  LinkLabel* const Image1;
  LinkLabel* const Label6;
  QTimer* const timTimer;
  TrayIcon* const tray;
};

class frmMain : public QWidget, private modGeneral::EngineEvents, private frmMainControls {
  Q_OBJECT

 public:
  frmMain(modGeneral::DriveApi& drives, modGeneral::Launcher& launcher,
          modGeneral::SettingsStore& settings, Desktop& desktop, QWidget* parent = nullptr);
  ~frmMain() override;

  /// The start-up sequence: splash, settings, automatic Start, show,
  /// minimise to the tray.
  void Form_Load();
  /// Hides the window and puts its icon in the tray.
  void minimize_to_tray();
  /// A later start of Kestrun asked for the main window: it comes back from
  /// the tray, or stays shown after start-up.
  void show_main_window();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls and the context are the window's own business; the tests
  // look at them.
  friend struct testing::MainWindowRig;

  void cmdAction_Click();
  void timTimer_Timer();
  void txtInterval_LostFocus();
  void chkAuto_Click();
  void chkMin_Click();
  void cmdRegEx_Click();
  void Image1_Click();
  void Label6_Click();
  void tray_left_button_down();
  void tray_right_button_down();
  void mPopRestore_Click();
  void mPopRun_Click();
  void mPopNotify_Click();
  void mPopMount_Click(bool checked);
  void mPopLogin_Click(bool checked);
  void mPopExit_Click();

  void lay_out();
  void connect_events();
  bool store(const modGeneral::SettingKey& key, const QString& value);
  void report_store_failure(const QString& text);
  void restore_from_tray();
  void log_interval_note();
  bool confirm_exit();
  void script_read(const std::string& script) override;
  void command_not_started(const modGeneral::LaunchRequest& request,
                           const std::string& reason) override;
  void command_finished(const modGeneral::LaunchRequest& request,
                        const modGeneral::CommandOutcome& outcome) override;
  void stranger_volume(const modGeneral::StrangerVolume& stranger) override;
  void volume_ejected(const modGeneral::LaunchRequest& request,
                      const modGeneral::EjectResult& result) override;
  void set_mounting(bool on);
  void notify(const modGeneral::Notice& notice);
  void warn(const modGeneral::Notice& notice);

  modGeneral::SettingsStore& settings_;
  Desktop& desktop_;
  std::unique_ptr<modGeneral::Context> context_;
  // cmdAction's caption shows whether it polls: "Stop" while it does.
  platform::SessionDriver driver_;
  modGeneral::PollSession& session_;
  // After the context, so they go first: their answers write to its log.
  std::unique_ptr<modGeneral::Ejector> ejector_;
  std::unique_ptr<QObject> mounter_;
  bool quitting_ = false;
  bool loaded_ = false;
  bool show_when_loaded_ = false;
  bool reporting_store_failure_ = false;
  QString saved_interval_;  // the interval as last loaded or stored
};

}  // namespace kestrun::ui
