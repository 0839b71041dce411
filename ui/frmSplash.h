// SPDX-License-Identifier: MIT
// The splash window shown once at start-up.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace kestrun::testing {
struct SplashRig;
}

namespace kestrun::ui {

/// The splash's controls, as the layout names them.
struct frmSplashControls {
  QWidget* const client;  // the client area, inside the one-pixel border
  QLabel* const Image1;
  QLabel* const Label1;
  QLabel* const lblVersion;
  QLabel* const Label2;
  QLabel* const Label3;
  QTimer* const timTimer1;
};

/// Shown modally by the main window; closes itself when timTimer1 first
/// ticks, and neither clicks nor keys nor a close request cut it short.
class frmSplash : public QDialog, private frmSplashControls {
  Q_OBJECT

 public:
  explicit frmSplash(QWidget* owner);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The controls are the window's own business; the tests look at them.
  friend struct testing::SplashRig;

  void Form_Load();
  void timTimer1_Timer();

  bool timer_closed_ = false;
};

}  // namespace kestrun::ui
