// SPDX-License-Identifier: MIT
#include "ui/desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <algorithm>

#include "platform/native.h"
#include "platform/storage_service.h"

namespace kestrun::ui {
namespace {

// A box owned by a window in the tray would open out of sight.
QWidget* visible_or_none(QWidget* parent) {
  return parent && parent->isVisible() ? parent : nullptr;
}

// A message box wraps its text at half the screen's width, which can leave
// the last word or two ("(Error 2)") alone on a line. Each line of a message
// is kept whole instead, as far as the screen allows.
void fit_lines(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label == nullptr) return;
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n'))) {
    widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
  }
  const QScreen* screen = box.screen();
  const int room = screen ? screen->availableGeometry().width() * 3 / 4 : widest;
  // A pixel or two of slack, so rounding never wraps the last word.
  label->setMinimumWidth(std::min(widest + 4, room));
}

}  // namespace

bool QtDesktop::ask_yes_no(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                  visible_or_none(parent));
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtDesktop::show_message(QWidget* parent, const QString& text, const QString& title,
                             bool warning) {
  QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                  QMessageBox::Ok, visible_or_none(parent));
  box.setTextFormat(Qt::PlainText);
  fit_lines(box);
  box.exec();
}

bool QtDesktop::tray_available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtDesktop::notify(QSystemTrayIcon* icon, const QString& title, const QString& text) {
  // With a tray host, Qt hands this to the desktop's notification service
  // where there is one and shows a balloon by the icon otherwise.
  icon->showMessage(title, text, icon->icon(), kNoticeShownMs);
}

std::optional<platform::SystemError> QtDesktop::open_url(const QUrl& url) {
  if (QDesktopServices::openUrl(url)) return std::nullopt;
  // Qt says no more than that it failed; the platform finds out why.
  return platform::make_native_interface()->web_link_failure();
}

void QtDesktop::quit() { QCoreApplication::quit(); }

std::unique_ptr<modGeneral::VolumeWatch> QtDesktop::watch_volumes(std::function<void()> changed) {
  return platform::make_native_interface()->watch_volumes(std::move(changed));
}

std::unique_ptr<modGeneral::Ejector> QtDesktop::make_ejector() { return platform::make_ejector(); }

bool QtDesktop::can_mount_volumes() { return platform::can_mount_volumes(); }

std::unique_ptr<QObject> QtDesktop::mount_volumes(std::function<std::string()> read_script,
                                                  std::function<void(const std::string&)> log) {
  return platform::mount_named_volumes(std::move(read_script), std::move(log));
}

}  // namespace kestrun::ui
