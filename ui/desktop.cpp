#include "ui/desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSystemTrayIcon>

namespace kestrun::ui {
namespace {

// A box owned by a window in the tray would open out of sight.
QWidget* visible_or_none(QWidget* parent) {
  return parent && parent->isVisible() ? parent : nullptr;
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
  box.exec();
}

bool QtDesktop::tray_available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

std::optional<SystemError> QtDesktop::open_url(const QUrl& url) {
  if (QDesktopServices::openUrl(url)) return std::nullopt;
  return url_handler_failure();
}

void QtDesktop::quit() { QCoreApplication::quit(); }

}  // namespace kestrun::ui
