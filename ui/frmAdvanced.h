// The detection list editor.
#pragma once

#include <QDialog>

#include "engine/modGeneral.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace kestrun::ui {

class RichTextPane;

/// A tool window, opened modally by the main window's "..." button.
class frmAdvanced : public QDialog {
  Q_OBJECT

 public:
  explicit frmAdvanced(modGeneral::Context& context, QWidget* owner = nullptr);

  QLabel* const Label8;
  QLabel* const Label11;
  QLabel* const Label4;
  QLabel* const Label1;
  QLabel* const Label3;
  QLabel* const Label6;
  QLabel* const Label5;
  QLabel* const Label9;
  QLabel* const Label7;
  QLabel* const Label2;
  QListWidget* const lstDrives;
  RichTextPane* const txtAdvanced;
  RichTextPane* const txtLog;
  QPushButton* const chkValidate;
  QPushButton* const cmdValidationLog;
  QPushButton* const cmdSave;
  QPushButton* const cmdCancel;
  QTimer* const timPoll;

 protected:
  // No button is the default or the cancel button: Enter and Escape do nothing.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void lay_out();

  modGeneral::Context& context_;
};

}  // namespace kestrun::ui
