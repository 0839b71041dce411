// SPDX-License-Identifier: MIT
// The main window's time in the tray: going there and coming back, the tray
// menu, notifications, and leaving the program.
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QTimer>

#include "engine/action_log.h"
#include "engine/detection.h"
#include "engine/eject.h"
#include "engine/outcomes.h"
#include "platform/autostart.h"
#include "ui/desktop.h"
#include "ui/frmMain.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"

namespace kestrun::ui {

void frmMain::minimize_to_tray() {
  if (!desktop_.tray_available()) {
    // With no tray to come back from, a hidden window would be lost for good.
    if (!isMinimized()) showMinimized();
    return;
  }
  hide();
  tray->add(windowTitle());
}

void frmMain::restore_from_tray() {
  showNormal();
  raise();
  activateWindow();
  tray->remove();
}

void frmMain::show_main_window() {
  if (!loaded_) {
    show_when_loaded_ = true;
    return;
  }
  // An open editor or question keeps the main window blocked; it is what the
  // user needs to see.
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    modal->activateWindow();
    return;
  }
  restore_from_tray();
}

void frmMain::tray_left_button_down() { restore_from_tray(); }

void frmMain::tray_right_button_down() {
  modGeneral::run_detection(*context_, modGeneral::Mode::menu);
  tray->popup_menu(QCursor::pos());
}

void frmMain::mPopRestore_Click() { restore_from_tray(); }

void frmMain::mPopRun_Click() {
  const modGeneral::LaunchRequest& request = tray->run_tag();
  if (request.command.empty()) return;
  modGeneral::execute_logged(*context_, request);
}

void frmMain::mPopNotify_Click() {
  store(modGeneral::kNotify,
        tray->mPopNotify->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMain::mPopMount_Click(bool checked) {
  store(modGeneral::kMount, checked ? QStringLiteral("1") : QStringLiteral("0"));
  set_mounting(checked);
}

// Each line is what the platform made of a filesystem's answer, escaped there.
void frmMain::set_mounting(bool on) {
  if (!on) {
    mounter_.reset();
    return;
  }
  if (mounter_) return;
  mounter_ = desktop_.mount_volumes([this] { return settings_.read(modGeneral::kAdvanced); },
                                    [this](const std::string& line) {
                                      modGeneral::log_size_check(*txtOutput);
                                      modGeneral::log_append(*txtOutput, line);
                                      modGeneral::log_keep_end_in_view(*txtOutput);
                                    });
}

void frmMain::mPopLogin_Click(bool checked) {
  std::string reason;
  if (!platform::autostart::set_enabled(checked, &reason)) {
    const QString text = checked
                             ? QStringLiteral("Unable to start Kestrun at login: %1")
                             : QStringLiteral("Unable to stop Kestrun from starting at login: %1");
    desktop_.show_message(this, text.arg(QString::fromStdString(reason)), QStringLiteral("Kestrun"),
                          true);
  }
  // The check mark follows the entry, whether or not the change went through.
  tray->show_login_state();
}

void frmMain::command_not_started(const modGeneral::LaunchRequest& request,
                                  const std::string& reason) {
  notify(modGeneral::not_started_notice(request, reason));
}

void frmMain::command_finished(const modGeneral::LaunchRequest& request,
                               const modGeneral::CommandOutcome& outcome) {
  if (const auto notice = modGeneral::finished_notice(request, outcome)) notify(*notice);
}

void frmMain::notify(const modGeneral::Notice& notice) {
  // Notifications come from the tray icon, which is there while the window is
  // in the tray; a window on screen shows the same in its log.
  if (!tray->mPopNotify->isChecked() || !tray->is_added() || !desktop_.tray_available()) return;
  desktop_.notify(tray->icon(), QString::fromStdString(notice.title),
                  QString::fromStdString(notice.text));
}

// Whether the stick may be pulled is what the user waits for: it is shown
// like a warning, whatever the notify item says.
void frmMain::volume_ejected(const modGeneral::LaunchRequest& request,
                             const modGeneral::EjectResult& result) {
  warn(modGeneral::eject_notice(request, result));
}

void frmMain::stranger_volume(const modGeneral::StrangerVolume& stranger) {
  warn(modGeneral::stranger_notice(stranger));
}

// A warning is not a command's result: it is shown whatever the notify item
// says, and while the window is on screen too, from an icon put in the tray
// for as long as the notification shows.
void frmMain::warn(const modGeneral::Notice& notice) {
  if (!desktop_.tray_available()) return;
  if (!tray->is_added()) {
    tray->add(windowTitle());
    QTimer::singleShot(kNoticeShownMs, this, [this] {
      if (isVisible()) tray->remove();
    });
  }
  desktop_.notify(tray->icon(), QString::fromStdString(notice.title),
                  QString::fromStdString(notice.text));
}

bool frmMain::confirm_exit() {
  if (!desktop_.ask_yes_no(this, QStringLiteral("Shut down Kestrun?"), QStringLiteral("Exit?"))) {
    return false;
  }
  tray->remove();
  quitting_ = true;
  return true;
}

void frmMain::mPopExit_Click() {
  if (confirm_exit()) desktop_.quit();
}

void frmMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  // Hiding a window while the platform is still minimising it can leave it
  // half-iconified (X11), so hide once that has finished.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (isMinimized() && isVisible()) minimize_to_tray();
      },
      Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (quitting_) {
    event->accept();
    return;
  }
  if (desktop_.tray_available()) {
    event->ignore();
    minimize_to_tray();
    return;
  }
  // Without a tray the close box is the only way out left.
  if (confirm_exit()) {
    event->accept();
    QMetaObject::invokeMethod(
        this, [this] { desktop_.quit(); }, Qt::QueuedConnection);
  } else {
    event->ignore();
  }
}

}  // namespace kestrun::ui
