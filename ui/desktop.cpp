#include "ui/desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "platform/web_link.h"

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

void QtDesktop::notify(QSystemTrayIcon* icon, const QString& title, const QString& text) {
  // With a tray host, Qt hands this to the desktop's notification service
  // where there is one and shows a balloon by the icon otherwise.
  constexpr int kShownMs = 10000;
  icon->showMessage(title, text, icon->icon(), kShownMs);
}

std::optional<SystemError> QtDesktop::open_url(const QUrl& url) {
  if (QDesktopServices::openUrl(url)) return std::nullopt;
  // Qt says no more than that it failed; the platform finds out why.
  const auto failure = platform::web_link_failure();
  return SystemError{QString::fromStdString(failure.description),
                     static_cast<long>(failure.number)};
}

void QtDesktop::quit() { QCoreApplication::quit(); }

}  // namespace kestrun::ui
