// SPDX-License-Identifier: MIT
// What the windows ask of the desktop, behind one seam so tests can answer.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "engine/eject.h"
#include "platform/native.h"

class QSystemTrayIcon;
class QWidget;

namespace kestrun::ui {

/// How long a notification stays on screen.
inline constexpr int kNoticeShownMs = 10000;

class Desktop {
 public:
  virtual ~Desktop() = default;

  /// A Yes/No question with the question-mark icon and Yes as the default
  /// button. True for Yes.
  virtual bool ask_yes_no(QWidget* parent, const QString& text, const QString& title) = 0;
  /// A message with an OK button only; `warning` adds the warning icon.
  virtual void show_message(QWidget* parent, const QString& text, const QString& title,
                            bool warning) = 0;
  /// Whether a tray host is running, so a hidden window can come back.
  virtual bool tray_available() = 0;
  /// A desktop notification from `icon`, with the program icon.
  virtual void notify(QSystemTrayIcon* icon, const QString& title, const QString& text) = 0;
  /// Hands `url` to the desktop's handler for web addresses. The error when
  /// that handler cannot be started at all.
  virtual std::optional<platform::SystemError> open_url(const QUrl& url) = 0;
  /// Ends the event loop, and with it the program.
  virtual void quit() = 0;
  /// The system's word that volumes came or went, for the poll session.
  virtual std::unique_ptr<modGeneral::VolumeWatch> watch_volumes(std::function<void()> changed) = 0;
  /// The system's way of ejecting a drive; nullptr where there is none.
  virtual std::unique_ptr<modGeneral::Ejector> make_ejector() { return nullptr; }
  /// Whether mount_volumes() does anything here.
  virtual bool can_mount_volumes() { return false; }
  /// Mounts the filesystems that entries of `read_script()` name while kept,
  /// as platform::mount_named_volumes() does; nullptr where it cannot.
  virtual std::unique_ptr<QObject> mount_volumes(std::function<std::string()> read_script,
                                                 std::function<void(const std::string&)> log) {
    static_cast<void>(read_script);
    static_cast<void>(log);
    return nullptr;
  }
};

/// The real desktop: message boxes, QSystemTrayIcon, QDesktopServices.
class QtDesktop : public Desktop {
 public:
  bool ask_yes_no(QWidget* parent, const QString& text, const QString& title) override;
  void show_message(QWidget* parent, const QString& text, const QString& title,
                    bool warning) override;
  bool tray_available() override;
  void notify(QSystemTrayIcon* icon, const QString& title, const QString& text) override;
  std::optional<platform::SystemError> open_url(const QUrl& url) override;
  void quit() override;
  std::unique_ptr<modGeneral::VolumeWatch> watch_volumes(std::function<void()> changed) override;
  std::unique_ptr<modGeneral::Ejector> make_ejector() override;
  bool can_mount_volumes() override;
  std::unique_ptr<QObject> mount_volumes(std::function<std::string()> read_script,
                                         std::function<void(const std::string&)> log) override;
};

}  // namespace kestrun::ui
