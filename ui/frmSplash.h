// SPDX-License-Identifier: MIT
// The splash window shown once at start-up.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace kestrun::ui {

/// Shown modally by the main window; closes itself when timTimer1 first
/// ticks, and neither clicks nor keys nor a close request cut it short.
class frmSplash : public QDialog {
  Q_OBJECT

 public:
  explicit frmSplash(QWidget* owner);

  QWidget* const client;  // the client area, inside the one-pixel border
  QLabel* const Image1;
  QLabel* const Label1;
  QLabel* const lblVersion;
  QLabel* const Label2;
  QLabel* const Label3;
  QTimer* const timTimer1;

  void timTimer1_Timer();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Form_Load();

  bool timer_closed_ = false;
};

}  // namespace kestrun::ui
