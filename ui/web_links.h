// SPDX-License-Identifier: MIT
// The two web links of the main window: the donation picture and the
// home-page label.
#pragma once

#include <QLabel>
#include <QString>

namespace kestrun::ui {

class Desktop;

/// The product's home page; packagers set it with KESTRUN_HOME_URL.
QString home_page_address();
/// The donation page; packagers set it with KESTRUN_DONATE_URL.
QString donation_page_address();
/// The home page as the link label shows it: without the scheme.
QString home_page_caption();

/// Opens `address` under the wait cursor. When the desktop cannot start its
/// handler at all, says so with the system's words and number, once the wait
/// cursor is gone.
void open_web_page(QWidget* parent, Desktop& desktop, const QString& address);

/// A label or picture that opens a page when clicked. The pointer turns into
/// the arrow with a question mark over it.
class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit LinkLabel(QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace kestrun::ui
