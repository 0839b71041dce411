// SPDX-License-Identifier: MIT
#include "ui/web_links.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QUrl>

#include "ui/desktop.h"

namespace kestrun::ui {

QString home_page_address() { return QStringLiteral(KESTRUN_HOME_URL); }

QString donation_page_address() { return QStringLiteral(KESTRUN_DONATE_URL); }

QString home_page_caption() {
  const QUrl url(home_page_address());
  QString caption = url.host() + url.path();
  if (caption.endsWith('/')) caption.chop(1);
  return caption;
}

void open_web_page(QWidget* parent, Desktop& desktop, const QString& address) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const auto failure = desktop.open_url(QUrl(address));
  // The busy pointer is over once the call returns; left on, it would sit
  // over the message until the message was closed.
  QGuiApplication::restoreOverrideCursor();
  if (!failure) return;
  desktop.show_message(
      parent,
      QString::fromStdString(platform::web_link_error_message(address.toStdString(), *failure)),
      QStringLiteral("Kestrun"), false);
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) { setCursor(Qt::WhatsThisCursor); }

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

// A click is a press and a release of the left button on the control.
void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click) emit clicked();
}

}  // namespace kestrun::ui
