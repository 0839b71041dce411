// SPDX-License-Identifier: MIT
#include "ui/frmAdvanced.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "engine/drives.h"
#include "engine/text_bytes.h"
#include "ui/desktop.h"
#include "ui/drive_rows.h"
#include "ui/layout.h"
#include "ui/rich_text_pane.h"
#include "ui/write_setting.h"

namespace kestrun::ui {
namespace {

QLabel* dark_red_label(QWidget* parent, const QString& text, const char* name, const Twips& at) {
  auto* label = named(new QLabel(text, parent), name, at);
  set_colour(label, QPalette::WindowText, kDarkRed);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

// The example script beside the editor, a label per line; a double-click
// pastes one of the first four into the script.
struct ExampleLine {
  const char* name;
  const char* text;
  Twips at;
};
constexpr ExampleLine kExampleLines[] = {
    {"Label1", "label:My USB Pen Drive", {600, 1200, 4695, 255}},
    {"Label3", "exec:wscript \"c:\\something\\whatever.vbs\" \"%1\"", {600, 1440, 5175, 255}},
    {"Label6", "label:Second Pen Drive", {600, 1800, 4695, 255}},
    {"Label5", "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"", {600, 2040, 4695, 255}},
    {"Label9", "menurun:wscript \"c:\\OPTIONALscript.vbs\" \"%3\"", {600, 2280, 4695, 255}},
    {"Label7", "ignore:d:\\,e:\\,g:\\", {600, 2640, 4695, 255}},
};

QLabel* example_line(QWidget* parent, const ExampleLine& line) {
  QLabel* label = dark_red_label(parent, QString::fromUtf8(line.text), line.name, line.at);
  label->setFont(layout_font(Face::courier, 8.25));
  return label;
}

QPushButton* button(QWidget* parent, const QString& caption, const char* name, const Twips& at) {
  auto* push = named(new QPushButton(caption, parent), name, at);
  push->setAutoDefault(false);
  return push;
}

RichTextPane* editor_pane(QWidget* parent, const char* name) {
  auto* pane = named(new RichTextPane(parent), name);
  pane->setLineWrapMode(QPlainTextEdit::NoWrap);
  pane->setTabChangesFocus(true);
  return pane;
}

// The panes' top and height never change; only left and width are set.
constexpr int kPaneTop = 3000;
constexpr int kPaneHeight = 4095;

}  // namespace

frmAdvanced::frmAdvanced(modGeneral::Context& context, Desktop& desktop, QWidget* owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      frmAdvancedControls{
          .Label8 = named(new QLabel(QStringLiteral("Kestrun Script"), this), "Label8",
                          {120, 120, 2895, 255}),
          .Label11 = dark_red_label(
              this,
              QStringLiteral(
                  "Use the syntax below so that when a USB drive with a particular volume label is "
                  "inserted, this application can detect it and run an associated script or "
                  "application. %1 will be replaced by the drive letter, e.g. 'c:\\'. %2 will be "
                  "replaced by the volume label. %3 will be replaced with the drive letter alone, "
                  "e.g. 'c'."),
              "Label11", {120, 480, 10215, 615}),
          .Label4 = dark_red_label(this, QStringLiteral("e.g."), "Label4", {120, 1200, 855, 255}),
          .Label1 = example_line(this, kExampleLines[0]),
          .Label3 = example_line(this, kExampleLines[1]),
          .Label6 = example_line(this, kExampleLines[2]),
          .Label5 = example_line(this, kExampleLines[3]),
          .Label9 = example_line(this, kExampleLines[4]),
          .Label7 = example_line(this, kExampleLines[5]),
          .Label2 = dark_red_label(
              this, QStringLiteral("Double-click to paste a volume label into the editor..."),
              "Label2", {8520, 1200, 2415, 375}),
          .lstDrives = named(new QListWidget(this), "lstDrives", {8520, 1680, 2415, 810}),
          .txtAdvanced = editor_pane(this, "txtAdvanced"),
          .txtLog = editor_pane(this, "txtLog"),
          .chkValidate =
              button(this, QStringLiteral("Validate"), "chkValidate", {120, 7200, 1215, 375}),
          .cmdValidationLog = button(this, QStringLiteral("Close Validation Log"),
                                     "cmdValidationLog", {1440, 7200, 1695, 375}),
          .cmdSave = button(this, QStringLiteral("Save"), "cmdSave", {8520, 7200, 1215, 375}),
          .cmdCancel =
              button(this, QStringLiteral("Discard"), "cmdCancel", {9840, 7200, 1095, 375}),
          .timPoll = named(new QTimer(this), "timPoll")},
      context_(context),
      desktop_(desktop),
      listed_(std::make_unique<ListedDrives>(context.drives)) {
  setObjectName(QStringLiteral("frmAdvanced"));
  setWindowTitle(QStringLiteral("Edit Detection List..."));
  setFont(dialog_font());
  lay_out();

  txtLog->hide();
  cmdValidationLog->hide();
  timPoll->setInterval(5000);
  connect_events();
  Form_Load();
  timPoll->start();
}

frmAdvanced::~frmAdvanced() = default;

void frmAdvanced::connect_events() {
  connect(timPoll, &QTimer::timeout, this, &frmAdvanced::timPoll_Timer);
  connect(cmdSave, &QPushButton::clicked, this, &frmAdvanced::cmdSave_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmAdvanced::cmdCancel_Click);
  connect(chkValidate, &QPushButton::clicked, this, &frmAdvanced::chkValidate_Click);
  connect(cmdValidationLog, &QPushButton::clicked, this, &frmAdvanced::cmdValidationLog_Click);
  lstDrives->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstDrives, &QListWidget::customContextMenuRequested, this,
          &frmAdvanced::lstDrives_ContextMenu);
  for (QObject* watched :
       {static_cast<QObject*>(Label1), static_cast<QObject*>(Label3), static_cast<QObject*>(Label6),
        static_cast<QObject*>(Label5), static_cast<QObject*>(lstDrives->viewport())}) {
    watched->installEventFilter(this);
  }
}

void frmAdvanced::Form_Load() {
  txtAdvanced->set_text(context_.settings.read(modGeneral::kAdvanced));
  refresh_drive_list();
}

void frmAdvanced::timPoll_Timer() { refresh_drive_list(); }

// Labels are read only when a drive root came or went: an open editor must not
// wake every drive every few seconds.
void frmAdvanced::refresh_drive_list() {
  std::string roots = modGeneral::get_drive_strings(context_.drives);
  if (roots == listed_roots_) return;
  listed_->refill(roots, lstDrives);
  set_row_tips(lstDrives, *listed_, txtAdvanced->text());
  listed_roots_ = std::move(roots);
}

void frmAdvanced::cmdSave_Click() {
  const auto failure = write_setting(context_.settings, modGeneral::kAdvanced, txtAdvanced->text());
  if (!failure) {
    accept();
    return;
  }
  // Closing now would throw the user's script away with the window.
  desktop_.show_message(this, *failure, QStringLiteral("Kestrun"), true);
}

void frmAdvanced::cmdCancel_Click() { reject(); }

void frmAdvanced::chkValidate_Click() {
  txtLog->set_text(
      modGeneral::run_detection(context_, modGeneral::Mode::validate, txtAdvanced->text()));
  set_advanced_width(log_span_.left - advanced_span_.left - 30);
  txtLog->show();
  cmdValidationLog->show();
}

void frmAdvanced::cmdValidationLog_Click() {
  set_advanced_width(log_span_.left + log_span_.width - 90);
  txtLog->hide();
  cmdValidationLog->hide();
}

void frmAdvanced::set_advanced_width(int twips) {
  advanced_span_.width = twips;
  place(txtAdvanced, advanced_span_.left, kPaneTop, advanced_span_.width, kPaneHeight);
}

void frmAdvanced::Label1_DblClick() { insert_at_caret(Label1->text().toStdString()); }
void frmAdvanced::Label3_DblClick() { insert_at_caret(Label3->text().toStdString()); }
void frmAdvanced::Label6_DblClick() { insert_at_caret(Label6->text().toStdString()); }
void frmAdvanced::Label5_DblClick() { insert_at_caret(Label5->text().toStdString()); }

void frmAdvanced::lstDrives_DblClick() {
  const QList<QListWidgetItem*> selected = lstDrives->selectedItems();
  if (selected.isEmpty()) return;
  paste_drive(selected.front()->data(kRowBytesRole).toByteArray(),
              selected.front()->data(kRowRootRole).toByteArray(), false);
}

void frmAdvanced::lstDrives_ContextMenu(const QPoint& at) {
  const QListWidgetItem* row = lstDrives->itemAt(at);
  if (row == nullptr) return;
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The list may be refilled while the menu is open: the row is kept by value.
  menu->addAction(
      QStringLiteral("Paste label and volume"), this,
      [this, text = row->data(kRowBytesRole).toByteArray(),
       root = row->data(kRowRootRole).toByteArray()] { paste_drive(text, root, true); });
  menu->popup(lstDrives->viewport()->mapToGlobal(at));
}

void frmAdvanced::paste_drive(const QByteArray& row, const QByteArray& root, bool pin) {
  auto paste = drive_paste(row.toStdString(), root.toStdString(), *listed_, pin);
  if (paste.refusal) {
    desktop_.show_message(this, *paste.refusal, QStringLiteral("Kestrun"), true);
    return;
  }
  // The "volume:" line counts only at the start of a line.
  const std::string script = txtAdvanced->text();
  const auto caret = modGeneral::character_offset(script, txtAdvanced->selection_start());
  if (pin && caret > 0 && script[caret - 1] != '\n') paste.text.insert(0, "\r\n");
  insert_at_caret(paste.text);
}

// A selection is not replaced: the text goes in front of it.
void frmAdvanced::insert_at_caret(const std::string& text) {
  const std::size_t caret = txtAdvanced->selection_start();
  std::string script = txtAdvanced->text();
  script.insert(modGeneral::character_offset(script, caret), text);
  txtAdvanced->set_text(script);
  // Setting the text puts the caret at the top; after the insertion is where
  // a second double-click would be expected to add its text.
  txtAdvanced->set_selection_start(caret + modGeneral::character_count(text));
}

void frmAdvanced::done(int result) {
  timPoll->stop();
  QDialog::done(result);
}

void frmAdvanced::lay_out() {
  setFixedSize(twips_size(11040, 7680));
  if (parentWidget() == nullptr) centre_on_screen(this);

  Label8->setFont(layout_font(Face::verdana, 9.75));
  Label9->setToolTip(QStringLiteral(
      "When the device is inserted this option will appear on the system tray's menu."));
  Label7->setToolTip(QStringLiteral("Ignore certain drive letters"));

  txtAdvanced->setFont(layout_font(Face::courier, 8.25));
  place(txtAdvanced, advanced_span_.left, kPaneTop, advanced_span_.width, kPaneHeight);
  txtLog->setFont(layout_font(Face::verdana, 8.25));
  place(txtLog, log_span_.left, kPaneTop, log_span_.width, kPaneHeight);

  fit_captions(this);

  // The log pane lies over the editor pane and is shown on top of it.
  txtLog->raise();
  setTabOrder(txtAdvanced, cmdSave);
  setTabOrder(cmdSave, cmdCancel);
  setTabOrder(cmdCancel, chkValidate);
  setTabOrder(chkValidate, cmdValidationLog);
  setTabOrder(cmdValidationLog, txtLog);
  setTabOrder(txtLog, lstDrives);
}

void frmAdvanced::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

bool frmAdvanced::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == Label1) Label1_DblClick();
    if (watched == Label3) Label3_DblClick();
    if (watched == Label6) Label6_DblClick();
    if (watched == Label5) Label5_DblClick();
    if (watched == lstDrives->viewport()) lstDrives_DblClick();
  }
  // Which entries act on a drive follows the text being edited, unsaved.
  if (event->type() == QEvent::ToolTip && watched == lstDrives->viewport()) {
    set_row_tips(lstDrives, *listed_, txtAdvanced->text());
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kestrun::ui
