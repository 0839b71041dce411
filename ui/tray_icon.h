// SPDX-License-Identifier: MIT
// The tray icon and its menu.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <string>

#include "engine/run_item.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace kestrun::ui {

/// Tells the main window of left and right presses on the icon; the window
/// connects the menu's items itself. A menu pass fills the run item.
class TrayIcon : public QObject, public modGeneral::RunItem {
  Q_OBJECT

 public:
  explicit TrayIcon(const QIcon& icon, QObject* parent = nullptr);
  ~TrayIcon() override;

  // The menu tree. Only ever popped up, never shown as a menu bar.
  QMenu* const mPopupSys;
  QAction* const mPopRestore;
  QAction* const mSep1;
  QAction* const mPopRun;  // the run item, index 0 of its family
  QAction* const mSep2;
  QAction* const mPopNotify;  // check item: notify when commands finish or fail
  QAction* const mPopMount;   // check item: mount the filesystems that entries name
  QAction* const mPopLogin;   // check item: the desktop starts Kestrun at login
  QAction* const mPopExit;

  void set_caption(const std::string& caption) override;
  void set_tag(const modGeneral::LaunchRequest& tag) override;
  /// The command of the run item.
  const modGeneral::LaunchRequest& run_tag() const { return run_tag_; }

  /// Puts the icon in the tray with `tip`, cut to what a tray tip holds.
  void add(const QString& tip);
  void remove();
  bool is_added() const;

  /// Shows the run item and its separator only while the item has a
  /// caption, then pops the menu up at `position`.
  void popup_menu(const QPoint& position);
  /// Checks the login item when the system starts Kestrun at login. The menu
  /// does so each time it opens: the user may have changed the entry outside.
  void show_login_state();

  QSystemTrayIcon* icon() const { return icon_; }

 signals:
  void left_button_down();
  void right_button_down();

 private:
  QSystemTrayIcon* icon_;
  std::string run_caption_;
  modGeneral::LaunchRequest run_tag_;
};

}  // namespace kestrun::ui
