// SPDX-License-Identifier: MIT
// The detection list editor.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "engine/detection.h"

class QLabel;
class QByteArray;
class QListWidget;
class QPoint;
class QPushButton;
class QTimer;

namespace kestrun::testing {
struct EditorRig;
}

namespace kestrun::ui {

class Desktop;
class ListedDrives;
class RichTextPane;

/// The editor's controls, as the layout names them.
struct frmAdvancedControls {
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
};

/// A tool window, opened modally by the main window's "..." button. It opens
/// with the stored script and the connected labelled drives; only Save leaves
/// a trace. Validation errors reach the action log of `context`.
class frmAdvanced : public QDialog, private frmAdvancedControls {
  Q_OBJECT

 public:
  frmAdvanced(modGeneral::Context& context, Desktop& desktop, QWidget* owner = nullptr);
  ~frmAdvanced() override;

  /// Stops the drive list refresh however the window closes.
  void done(int result) override;

 protected:
  // No button is the default or the cancel button: Enter and Escape do nothing.
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls are the window's own business; the tests look at them.
  friend struct testing::EditorRig;

  /// A pane's horizontal place in the layout's twips, kept exact rather than
  /// read back from pixels, so widths computed from it are the layout's own.
  struct Span {
    int left = 0;
    int width = 0;
  };

  void Form_Load();
  void timPoll_Timer();
  void cmdSave_Click();
  void cmdCancel_Click();
  void chkValidate_Click();
  void cmdValidationLog_Click();
  void Label1_DblClick();
  void Label3_DblClick();
  void Label6_DblClick();
  void Label5_DblClick();
  void lstDrives_DblClick();
  void lstDrives_ContextMenu(const QPoint& at);

  void lay_out();
  void connect_events();
  void refresh_drive_list();
  void paste_drive(const QByteArray& row, const QByteArray& root, bool pin);
  void insert_at_caret(const std::string& text);
  void set_advanced_width(int twips);

  modGeneral::Context& context_;
  Desktop& desktop_;
  std::unique_ptr<ListedDrives> listed_;
  std::string listed_roots_;
  Span advanced_span_{120, 10815};
  Span log_span_{5760, 5175};
};

}  // namespace kestrun::ui
